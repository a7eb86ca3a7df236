// Reader for D88 floppy-disk images.
//
// A D88 file is a sequence of disks. Each disk starts with a 688-byte header
// (name, media type, total size, and a table of 164 track offsets); each track
// is a run of 16-byte sector records, every record followed by that sector's
// data. The layout is named once, in d88_layout.h; every byte taken from the
// file goes through D88Image::ReadAt, which is the only place that touches the
// stream.
//
// Nothing here throws or prints: failures come back as false or as a count
// of zero, and the extraction simply produces less output.
#ifndef D88EXTRACT_IMAGE_D88_IMAGE_H_
#define D88EXTRACT_IMAGE_D88_IMAGE_H_

#include <cstdint>
#include <cstdio>
#include <vector>

#include "image/d88_layout.h"

namespace d88 {

// The four identifier bytes of a sector as recorded in the image.
struct SectorId {
  uint8_t c;  // cylinder
  uint8_t h;  // head
  uint8_t r;  // sector number
  uint8_t n;  // size code: the sector nominally holds 128 << n bytes
};

class D88Image {
 public:
  D88Image() = default;
  ~D88Image();
  D88Image(const D88Image&) = delete;
  D88Image& operator=(const D88Image&) = delete;

  // Opens the file and indexes the disks in it. False only when the file
  // cannot be opened; a file without a single complete header opens with no
  // disks.
  bool Open(const char* path);
  int32_t DiskCount() const { return diskCount; }

  // Makes disk `index` current. A refused index leaves no disk current, so
  // every sector read fails until a good index is selected.
  bool SelectDisk(int32_t index);
  const char* DiskName() const { return diskName; }
  int32_t MediaType() const { return mediaType; }

  // After sector `last` a run of sectors continues at sector `first` of the
  // next track index.
  void SetSectorRange(int32_t first, int32_t last);

  // Copies the data of sector (c, h, r, n) of `track`, at most `capacity`
  // bytes, and returns the number of bytes asked of the file; 0 when the
  // sector is not found.
  int32_t ReadSector(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n, uint8_t* dest,
                     int32_t capacity);

  // Reads `length` bytes of the run of sectors that starts at (track; c, h,
  // r, n), one nominal sector (128 << n bytes) at a time, stepping through
  // the sector range and on to the next track. Returns the bytes read in
  // whole pieces; stops at the first piece that cannot be read.
  int32_t ReadSectors(int32_t track, int32_t c, int32_t h, int32_t r, int32_t n, uint8_t* dest,
                      int32_t length);

  // Lists the identifiers of the track's records in recorded order, 4 bytes
  // each, as many as fit in `capacity`; returns 4 times the number listed.
  int32_t ReadTrackIds(int32_t track, uint8_t* dest, int32_t capacity);

  static uint32_t ReadLe32(const uint8_t* bytes);
  static uint16_t ReadLe16(const uint8_t* bytes);

 private:
  // Where a sector's data lies, found once by the sweep over the disk's
  // tracks.
  struct IndexedSector {
    uint16_t key;  // R << 8 | N
    uint16_t dataSize;
    uint64_t dataOffset;
    static bool KeyBefore(const IndexedSector& a, const IndexedSector& b) { return a.key < b.key; }
  };
  // The search as the format defines it: walk the track's records from its
  // start until a record matches or the walk ends.
  int32_t WalkForSector(uint64_t position, int32_t c, int32_t h, int32_t r, int32_t n,
                        uint8_t* dest, int32_t capacity);
  // Builds the index of every readable track of the current disk.
  void IndexTracks();
  void ForgetTrackIndexes();

  // The one path by which bytes leave the file: reads up to `count` bytes at
  // absolute `offset` and returns how many the file supplied. Offsets past the
  // end of the file simply supply nothing.
  size_t ReadAt(uint64_t offset, uint8_t* dest, size_t count);
  // Makes `block` hold the aligned block of the file around `offset`; false
  // when the file has nothing there.
  bool LoadBlockAround(uint64_t offset);
  // File offset of the first record of `track`, or false when the track is
  // not readable on the current disk.
  bool TrackStart(int32_t track, uint64_t* start) const;
  void ClearCurrentDisk();

  std::FILE* file = nullptr;
  int32_t diskCount = 0;
  int32_t firstSector = 1;
  int32_t lastSector = 16;
  // Offsets and sizes are the image's unsigned 32-bit fields, added up in 64
  // bits: a corrupt size of 2^31 or more then points past the end of the
  // file (where nothing can be read) instead of wrapping around to a
  // negative or earlier offset.
  uint64_t diskOffsets[layout::kMaxDisks] = {};
  uint32_t diskSize = 0;
  int64_t diskOffset = 0;  // -1 after a refused SelectDisk
  uint32_t trackOffsets[layout::kTrackCount] = {};
  int32_t mediaType = -1;
  char diskName[layout::kDiskNameLength + 1] = {};
  // The block of the file last read. Walking a track reads 16-byte records
  // a few bytes apart, and asking the stream for each one costs a seek.
  static constexpr size_t kBlockSize = 64 * 1024;
  std::vector<uint8_t> block;
  uint64_t blockStart = 0;
  size_t blockLength = 0;
  // For each track of the current disk, the sectors a search can find:
  // the first record of each identifier only, sorted by key. Built for all
  // tracks together the first time any track is searched.
  bool tracksIndexed = false;
  std::vector<std::vector<IndexedSector>> trackIndexes =
      std::vector<std::vector<IndexedSector>>(layout::kTrackCount);
};

}  // namespace d88

#endif  // D88EXTRACT_IMAGE_D88_IMAGE_H_
