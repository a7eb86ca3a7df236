#include "image/d88_image.h"

#include <sys/types.h>

#include <algorithm>
#include <bitset>
#include <cstring>
#include <limits>

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
    // full: that is how such images have always been read.
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
  // A track at exactly the disk size is still readable: real images with a
  // final empty track point there.
  if (offset == 0 || offset > diskSize) return false;
  *start = static_cast<uint64_t>(diskOffset) + offset;
  return true;
}

void D88Image::ForgetTrackIndexes() {
  for (TrackIndex& index : trackIndexes) {
    index.built = false;
    index.sectors.clear();
  }
}

// Searching a track means walking its records from the start, and a track
// may hold any number of records before the sector asked for: a hostile
// image can put tens of thousands of empty ones in front, and a run of
// sectors searches its tracks again for every sector. So each track is
// walked once, the first time it is searched, and what that walk can find
// is kept. The walk reads records through the file rather than reading the
// image into memory, so memory stays small whatever the image's size.
//
// Only records naming the track's own cylinder and head (t / 2, t mod 2) are
// kept: those are the only ones this program's reads ask for, since runs
// step cylinder and head together with the track. A record names one
// cylinder and head, so it is kept for one track index at most: the indexes
// of a disk hold at most one entry per record position their walks reach,
// and at most 65,536 entries for a track.
const D88Image::TrackIndex& D88Image::IndexOfTrack(int32_t track, uint64_t start) {
  TrackIndex& index = trackIndexes[track];
  if (index.built) return index;
  index.built = true;
  const int32_t cylinder = track >> 1;
  const int32_t head = track & 1;
  std::bitset<65536> seen;
  uint64_t position = start;
  // The same walk, with the same stops, as WalkForSector.
  for (int64_t i = 0;; ++i) {
    uint8_t record[layout::kSectorRecordSize];
    if (ReadAt(position, record, sizeof record) != sizeof record) break;
    const uint16_t sectorCount = ReadLe16(record + layout::kRecordSectorCountOffset);
    if (sectorCount == 0) break;
    const uint16_t dataSize = ReadLe16(record + layout::kRecordDataSizeOffset);
    if (record[layout::kRecordCOffset] == cylinder && record[layout::kRecordHOffset] == head) {
      const uint16_t key = static_cast<uint16_t>(record[layout::kRecordROffset] << 8 |
                                                 record[layout::kRecordNOffset]);
      if (!seen[key]) {
        seen.set(key);
        index.sectors.push_back({key, dataSize, position + sizeof record});
      }
    }
    position += sizeof record + dataSize;
    if (i == sectorCount - 1) break;
  }
  std::sort(index.sectors.begin(), index.sectors.end(),
            [](const IndexedSector& a, const IndexedSector& b) { return a.key < b.key; });
  return index;
}

int32_t D88Image::ReadSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                             uint8_t* dest, int32_t capacity) {
  uint64_t start;
  if (!TrackStart(track, &start)) return 0;
  if (c != (track >> 1) || h != (track & 1)) {
    return WalkForSector(start, c, h, r, n, dest, capacity);
  }
  if (r < 0 || r > 255 || n < 0 || n > 255) return 0;
  const TrackIndex& index = IndexOfTrack(track, start);
  const uint16_t key = static_cast<uint16_t>(r << 8 | n);
  const auto found = std::lower_bound(
      index.sectors.begin(), index.sectors.end(), key,
      [](const IndexedSector& sector, uint16_t wanted) { return sector.key < wanted; });
  if (found == index.sectors.end() || found->key != key) return 0;
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
