// Builds D88 images in memory for the tests and the sample image: a disk
// header, its track table, sector records and their data, and the directory
// on track 1. Every field the reader looks at can be set on its own, so a
// test starts from one valid disk and damages a single field.
#ifndef D88EXTRACT_TESTS_D88_BUILDER_H_
#define D88EXTRACT_TESTS_D88_BUILDER_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace d88test {

using Bytes = std::vector<uint8_t>;

struct SectorRecord {
  uint8_t c = 0;
  uint8_t h = 0;
  uint8_t r = 0;
  uint8_t n = 1;
  Bytes data;
  std::optional<uint16_t> sectorCount;  // default: the number of records on the track
  std::optional<uint16_t> dataSize;     // default: data.size()
};

struct DirectoryEntry {
  std::string name;  // up to 6 bytes; shorter names are ended by a zero byte
  int startTrack = 0;
  int startSector = 1;
  int endTrack = 0;
  int endSector = 1;
  uint32_t length = 1;  // 1 to 65,536: stored as length - 1
  uint8_t mark = 0;     // byte 7; 'K' passes the entry over
};

class DiskBuilder {
 public:
  explicit DiskBuilder(std::string name = "DISK", uint8_t mediaType = 0, uint8_t seed = 0);

  // Tracks 0 to trackCount - 1, each with sectors 1 to sectorsPerTrack of
  // size code n numbered as the interleaved layout expects (C = t / 2, H = t
  // mod 2), data from Pattern(); track 1, the directory, is all 0xFF.
  static DiskBuilder Standard(std::string name, int trackCount, int sectorsPerTrack = 16,
                              int sizeCode = 1, uint8_t seed = 0);

  // Replaces track t by sectors 1 to sectorsPerTrack of size code n.
  DiskBuilder& FormatTrack(int t, int sectorsPerTrack, int sizeCode = 1);
  std::vector<SectorRecord>& Track(int t) { return tracks[t]; }
  void RemoveTrack(int t) { tracks.erase(t); }
  // The first record of track t numbered r; it must exist.
  SectorRecord& Sector(int t, int r);

  // Writes `bytes` into the run of sectors from (t, r), `offset` bytes in,
  // stepping through sectors 1 to sectorsPerTrack of each track in turn.
  void Put(int t, int r, size_t offset, const Bytes& bytes, int sectorsPerTrack = 16);
  // The bytes such a run holds, `length` of them, zero where it breaks.
  Bytes Collect(int t, int r, size_t length, int sectorsPerTrack = 16) const;
  // Writes directory entry j on track 1.
  void SetEntry(int j, const DirectoryEntry& entry, int sectorsPerTrack = 16);
  void SetEntryBytes(int j, const Bytes& sixteenBytes, int sectorsPerTrack = 16);

  Bytes Build() const;

  // The disk's name as up to 17 raw header bytes.
  Bytes nameBytes;
  uint8_t mediaType;
  uint8_t seed;
  std::optional<uint32_t> diskSizeField;         // default: the built disk's length
  std::map<int, uint32_t> trackOffsetOverrides;  // table entries to store as given
  std::map<int, Bytes> trackPrefixes;            // raw bytes at a track's start, before its records
  std::map<int, Bytes> trackSuffixes;            // raw bytes after a track's records

 private:
  std::map<int, std::vector<SectorRecord>> tracks;
};

// The data of a standard sector: it names its disk seed, track and sector in
// its first bytes, so a wrong sector in a file is easy to spot.
Bytes Pattern(uint8_t seed, int t, int r, size_t size);
// A raw 16-byte sector record: identifier, sector count, data size.
Bytes RecordBytes(uint8_t c, uint8_t h, uint8_t r, uint8_t n, uint16_t sectorCount,
                  uint16_t dataSize);
Bytes Concat(const std::vector<Bytes>& parts);
Bytes Text(const std::string& text);
void WriteBytes(const std::string& path, const Bytes& bytes);

// The main of a small tool that writes images to the one path it is given:
// usage and errors on standard error, exit status 1 on failure.
int GeneratorMain(int argc, char* argv[], const char* pathName,
                  void (*write)(const std::string& path));

}  // namespace d88test

#endif  // D88EXTRACT_TESTS_D88_BUILDER_H_
