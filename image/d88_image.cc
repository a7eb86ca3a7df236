#include "image/d88_image.h"

#include <sys/types.h>

#include <algorithm>
#include <bitset>
#include <cstring>
#include <limits>
#include <queue>

namespace d88 {

namespace {

// The largest size code whose nominal sector size, 128 << n, is still a
// positive 32-bit count.
constexpr int32_t kLargestPieceSizeCode = 23;

bool Matches(const uint8_t* record, int32_t c, int32_t h, int32_t r, int32_t n) {
  return record[layout::kRecordCOffset] == c && record[layout::kRecordHOffset] == h &&
         record[layout::kRecordROffset] == r && record[layout::kRecordNOffset] == n;
}

}  // namespace

D88Image::~D88Image() {
  if (file != nullptr) std::fclose(file);
}

uint32_t D88Image::ReadLe32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint16_t D88Image::ReadLe16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

bool D88Image::LoadBlockAround(uint64_t offset) {
  block.resize(kBlockSize);
  blockStart = offset - offset % kBlockSize;
  blockLength = 0;
  // Offsets are sums of at most 65 unsigned 32-bit fields, far inside off_t.
  if (fseeko(file, static_cast<off_t>(blockStart), SEEK_SET) != 0) return false;
  blockLength = std::fread(block.data(), 1, kBlockSize, file);
  return offset < blockStart + blockLength;
}

size_t D88Image::ReadAt(uint64_t offset, uint8_t* dest, size_t count) {
  if (file == nullptr) return 0;
  size_t done = 0;
  while (done < count) {
    const bool inBlock = offset >= blockStart && offset - blockStart < blockLength;
    if (!inBlock && !LoadBlockAround(offset)) break;
    const size_t available = static_cast<size_t>(blockStart + blockLength - offset);
    const size_t take = std::min(count - done, available);
    std::memcpy(dest + done, block.data() + (offset - blockStart), take);
    done += take;
    offset += take;
  }
  return done;
}

bool D88Image::Open(const char* path) {
  std::FILE* opened = std::fopen(path, "rb");
  if (opened == nullptr) return false;
  if (file != nullptr) std::fclose(file);
  file = opened;
  blockLength = 0;
  ForgetTrackIndexes();

  uint64_t offset = 0;
  diskCount = 0;
  while (diskCount < layout::kMaxDisks) {
    diskOffsets[diskCount] = offset;
    uint8_t header[layout::kDiskHeaderSize];
    if (ReadAt(offset, header, sizeof header) != sizeof header) break;
    // Only the size field is consulted here. A size of 0 keeps the offset
    // where it is, so the same header is indexed again until the index is
    // full; a corrupt size only moves the next header, perhaps past the end.
    offset += ReadLe32(header + layout::kDiskSizeOffset);
    ++diskCount;
  }
  return true;
}

void D88Image::ClearCurrentDisk() {
  ForgetTrackIndexes();
  diskOffset = -1;
  mediaType = -1;
  diskSize = 0;
  std::memset(diskName, 0, sizeof diskName);
}

bool D88Image::SelectDisk(int32_t index) {
  if (file == nullptr) return false;
  ClearCurrentDisk();
  if (index < 0 || index >= diskCount) return false;

  uint8_t header[layout::kDiskHeaderSize];
  // Open read this header whole; it can only come up short if the file
  // shrank since. Such a disk is treated like a refused index: nothing is
  // current and every read of it fails.
  if (ReadAt(diskOffsets[index], header, sizeof header) != sizeof header) return false;

  diskOffset = static_cast<int64_t>(diskOffsets[index]);
  for (int t = 0; t < layout::kTrackCount; ++t) {
    trackOffsets[t] = ReadLe32(header + layout::kTrackTableOffset + 4 * t);
  }
  mediaType = header[layout::kMediaTypeOffset];
  diskSize = ReadLe32(header + layout::kDiskSizeOffset);
  for (size_t i = 0; i < layout::kDiskNameLength; ++i) {
    const uint8_t byte = header[layout::kDiskNameOffset + i];
    if (byte == 0) break;
    diskName[i] = static_cast<char>(byte);
  }
  return true;
}

void D88Image::SetSectorRange(int32_t first, int32_t last) {
  firstSector = first;
  lastSector = last;
}

bool D88Image::TrackStart(int32_t track, uint64_t* start) const {
  if (file == nullptr || track < 0 || track >= layout::kTrackCount) return false;
  const uint32_t offset = trackOffsets[track];
  // An offset equal to the disk size still counts as inside the disk.
  if (offset == 0 || offset > diskSize) return false;
  *start = static_cast<uint64_t>(diskOffset) + offset;
  return true;
}

void D88Image::ForgetTrackIndexes() {
  tracksIndexed = false;
  for (std::vector<IndexedSector>& index : trackIndexes) index.clear();
}

// Searching a track means walking its records from the start, and a track
// may hold any number of records before the sector asked for: a hostile
// image can put tens of thousands of empty ones in front, and a run of
// sectors searches its tracks again for every sector. So the walks are made
// once, and what each can find is kept. They read records through the file
// rather than reading the image into memory, so memory stays small whatever
// the image's size.
//
// Tracks share records, too: a table entry may point into another track, and
// when sector counts disagree a walk runs on into the following tracks. So
// the walks of all tracks of a disk are made together, in one sweep along the
// file: walks that reach the same record go on as one, each keeping its own
// position so that it still stops where it would alone. Every record is then
// read once per disk, however many tracks reach it.
//
// Only records naming the track's own cylinder and head (t / 2, t mod 2) are
// kept: those are the only ones this program's reads ask for, since runs
// step cylinder and head together with the track. A record names one
// cylinder and head, so it is kept for one track at most, and a track keeps
// at most 65,536 entries.
void D88Image::IndexTracks() {
  tracksIndexed = true;
  struct Walk {
    int64_t start;  // the sweep's record count where this walk began
    int32_t track;
    static bool StartBefore(const Walk& a, const Walk& b) { return a.start < b.start; }
  };
  struct Sweep {
    uint64_t position;        // file offset of the next record
    int64_t index;            // records passed so far
    std::vector<Walk> walks;  // sorted by start
  };
  std::vector<Sweep> sweeps;
  std::vector<int> sweepOfTrack(layout::kTrackCount, -1);  // -1: no walk going on
  for (int32_t t = 0; t < layout::kTrackCount; ++t) {
    uint64_t start;
    if (!TrackStart(t, &start)) continue;
    auto same = std::find_if(sweeps.begin(), sweeps.end(),
                             [&](const Sweep& sweep) { return sweep.position == start; });
    if (same == sweeps.end()) same = sweeps.insert(sweeps.end(), Sweep{start, 0, {}});
    same->walks.push_back({0, t});
    sweepOfTrack[t] = static_cast<int>(same - sweeps.begin());
  }

  auto isLater = [&](int a, int b) { return sweeps[a].position > sweeps[b].position; };
  std::priority_queue<int, std::vector<int>, decltype(isLater)> queue(isLater);
  for (int id = 0; id < static_cast<int>(sweeps.size()); ++id) queue.push(id);
  std::vector<std::bitset<65536>> seen(layout::kTrackCount);
  auto endWalks = [&](Sweep& sweep, std::vector<Walk>::iterator first,
                      std::vector<Walk>::iterator last) {
    for (auto walk = first; walk != last; ++walk) sweepOfTrack[walk->track] = -1;
    sweep.walks.erase(first, last);
  };

  while (!queue.empty()) {
    const int id = queue.top();
    queue.pop();
    Sweep& sweep = sweeps[id];
    while (!queue.empty() && sweeps[queue.top()].position == sweep.position) {
      Sweep& other = sweeps[queue.top()];
      queue.pop();
      const size_t middle = sweep.walks.size();
      for (Walk walk : other.walks) {
        walk.start += sweep.index - other.index;
        sweepOfTrack[walk.track] = id;
        sweep.walks.push_back(walk);
      }
      other.walks.clear();
      std::inplace_merge(sweep.walks.begin(), sweep.walks.begin() + middle, sweep.walks.end(),
                         Walk::StartBefore);
    }

    // Alone until it reaches the next sweep's record, the sweep needs no
    // queue: real tracks lie one after another, so this is most records.
    const uint64_t next =
        queue.empty() ? std::numeric_limits<uint64_t>::max() : sweeps[queue.top()].position;
    while (!sweep.walks.empty() && sweep.position < next) {
      // The same stops as WalkForSector, for every walk at this record.
      uint8_t record[layout::kSectorRecordSize];
      const uint16_t sectorCount = ReadAt(sweep.position, record, sizeof record) == sizeof record
                                       ? ReadLe16(record + layout::kRecordSectorCountOffset)
                                       : 0;
      if (sectorCount == 0) {
        endWalks(sweep, sweep.walks.begin(), sweep.walks.end());
        break;
      }
      const uint16_t dataSize = ReadLe16(record + layout::kRecordDataSizeOffset);
      const int c = record[layout::kRecordCOffset];
      const int h = record[layout::kRecordHOffset];
      const int ownTrack = 2 * c + h;
      if (h <= 1 && ownTrack < layout::kTrackCount && sweepOfTrack[ownTrack] == id) {
        const uint16_t key = static_cast<uint16_t>(record[layout::kRecordROffset] << 8 |
                                                   record[layout::kRecordNOffset]);
        if (!seen[ownTrack][key]) {
          seen[ownTrack].set(key);
          trackIndexes[ownTrack].push_back({key, dataSize, sweep.position + sizeof record});
        }
      }
      // A walk ends after the record at its position sectorCount - 1.
      const int64_t endingStart = sweep.index - (sectorCount - 1);
      const auto ending = std::equal_range(sweep.walks.begin(), sweep.walks.end(),
                                           Walk{endingStart, 0}, Walk::StartBefore);
      endWalks(sweep, ending.first, ending.second);
      sweep.position += sizeof record + dataSize;
      ++sweep.index;
    }
    if (!sweep.walks.empty()) queue.push(id);
  }
  for (std::vector<IndexedSector>& index : trackIndexes) {
    std::sort(index.begin(), index.end(), IndexedSector::KeyBefore);
  }
}

int32_t D88Image::ReadSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                             uint8_t* dest, int32_t capacity) {
  uint64_t start;
  if (!TrackStart(track, &start)) return 0;
  // The index holds only the track's own cylinder and head; another
  // identifier (no read of this program asks for one) is walked for.
  if (c != (track >> 1) || h != (track & 1)) {
    return WalkForSector(start, c, h, r, n, dest, capacity);
  }
  if (r < 0 || r > 255 || n < 0 || n > 255) return 0;
  if (!tracksIndexed) IndexTracks();
  const std::vector<IndexedSector>& index = trackIndexes[track];
  const IndexedSector wanted = {static_cast<uint16_t>(r << 8 | n), 0, 0};
  const auto found = std::lower_bound(index.begin(), index.end(), wanted, IndexedSector::KeyBefore);
  if (found == index.end() || found->key != wanted.key) return 0;
  const int32_t size = capacity < 0 ? 0 : std::min<int32_t>(found->dataSize, capacity);
  // Data missing at the end of the file leaves `dest` as it was; the count
  // still says what the record promised.
  ReadAt(found->dataOffset, dest, static_cast<size_t>(size));
  return size;
}

int32_t D88Image::WalkForSector(uint64_t position, int32_t c, int32_t h, int32_t r, int32_t n,
                                uint8_t* dest, int32_t capacity) {
  // The walk is bounded by each record's own sector count, not by a count
  // taken from the first record: D88 writers disagree about that field, and
  // this is the rule images have been read by. A count of 0 ends the walk
  // before the record is compared; the first match wins.
  for (int64_t i = 0;; ++i) {
    uint8_t record[layout::kSectorRecordSize];
    if (ReadAt(position, record, sizeof record) != sizeof record) return 0;
    position += sizeof record;
    const uint16_t sectorCount = ReadLe16(record + layout::kRecordSectorCountOffset);
    if (sectorCount == 0) return 0;
    const uint16_t dataSize = ReadLe16(record + layout::kRecordDataSizeOffset);
    if (Matches(record, c, h, r, n)) {
      const int32_t size = capacity < 0 ? 0 : std::min<int32_t>(dataSize, capacity);
      ReadAt(position, dest, static_cast<size_t>(size));
      return size;
    }
    position += dataSize;
    if (i == sectorCount - 1) return 0;
  }
}

int32_t D88Image::ReadSectors(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                              uint8_t* dest, int32_t length) {
  // For size codes past 23, 128 << n no longer fits a positive 32-bit count.
  // Such a sector is larger than any request, so the whole request is one
  // piece; since no record holds more than 65,535 bytes, it is read only when
  // it is shorter than the record's data, just as for codes 9 to 23.
  int32_t piece = (n >= 0 && n <= kLargestPieceSizeCode) ? (int32_t{128} << n)
                                                         : std::numeric_limits<int32_t>::max();
  int32_t done = 0;
  while (done < length) {
    if (length - done < piece) piece = length - done;
    if (ReadSector(track, c, h, r, n, dest + done, piece) < piece) return done;
    done += piece;
    // A sector was found, so track, c and r are all below 256 here: the
    // steps below cannot overflow.
    if (r == lastSector) {
      ++track;
      r = firstSector;
      if (h == 0) {
        h = 1;
      } else {
        h = 0;
        ++c;
      }
    } else {
      ++r;
    }
  }
  return done;
}

int32_t D88Image::ReadTrackIds(int32_t track, uint8_t* dest, int32_t capacity) {
  uint64_t position;
  if (!TrackStart(track, &position)) return 0;
  int32_t count = 0;
  // Unlike ReadSector, a sector count of 0 does not end this walk.
  for (int64_t i = 0; 4 * i + 4 <= capacity; ++i) {
    uint8_t record[layout::kSectorRecordSize];
    if (ReadAt(position, record, sizeof record) != sizeof record) break;
    std::memcpy(dest + 4 * i, record + layout::kRecordCOffset, 4);
    count += 4;
    position += sizeof record + ReadLe16(record + layout::kRecordDataSizeOffset);
    if (i == ReadLe16(record + layout::kRecordSectorCountOffset) - 1) break;
  }
  return count;
}

}  // namespace d88
