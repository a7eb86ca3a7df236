// The per-disk steps of an extraction: probe the sector geometry of track 1,
// read the directory, save the fixed system areas, and write every file the
// directory lists.
//
// The working buffers are fixed in size and owned here; the program keeps one
// instance for the whole run, and the buffers are shared by the disks in turn.
#ifndef D88EXTRACT_EXTRACT_DISK_EXTRACTOR_H_
#define D88EXTRACT_EXTRACT_DISK_EXTRACTOR_H_

#include <cstdint>
#include <cstdio>

#include "extract/disk_layout.h"
#include "extract/host_output.h"
#include "image/d88_image.h"

namespace d88 {

class DiskExtractor {
 public:
  static constexpr size_t kIdBufferSize = 64;  // 16 identifiers
  static constexpr size_t kNameBufferSize = 260;
  static constexpr size_t kTransferBufferSize = 737280;

  // Reads from `image`, writes files through `output`, prints the report on
  // `report`.
  DiskExtractor(D88Image& image, HostOutput& output, std::FILE* report)
      : image(image), output(output), report(report) {}

  // Sets the current disk's geometry from track 1, prints it and sets the
  // image's sector range.
  void ProbeGeometry();
  // Fills the directory area from track 1.
  void ReadDirectory();
  // Saves the fixed areas of disks recognised by their directory.
  void ExtractSystemAreas();
  // Prints a line for every listed entry and writes its file.
  void ExtractDirectoryFiles();

  // Reads `skip` + `length` bytes of the sector run starting at (track; c, h,
  // r, n) and, if anything was read, writes `length` of them from `skip` as
  // the file `name`. False when nothing could be read.
  bool ExtractArea(const char* name, int32_t track, int32_t c, int32_t h, int32_t r, int32_t n,
                   int32_t skip, int32_t length);

  D88Image& Image() { return image; }
  HostOutput& Output() { return output; }
  std::FILE* Report() { return report; }

  int32_t SectorsPerTrack() const { return sectorsPerTrack; }
  int32_t SizeCode() const { return sizeCode; }
  int32_t SectorSize() const { return sectorSize; }
  int32_t TrackSize() const { return trackSize; }
  const uint8_t* DirectoryArea() const { return directoryArea; }

 private:
  D88Image& image;
  HostOutput& output;
  std::FILE* report;

  // Not cleared between disks: a disk whose probe lists fewer identifiers
  // sees what an earlier disk left in the later slots.
  uint8_t idBuffer[kIdBufferSize] = {};
  int32_t sectorsPerTrack = 0;
  int32_t sizeCode = 0;
  int32_t sectorSize = 0;
  int32_t trackSize = 0;
  uint8_t directoryArea[disk::kDirectoryAreaSize] = {};
  char nameBuffer[kNameBufferSize] = {};
  int currentEntry = -1;  // the directory entry being written, for messages
  uint8_t transferBuffer[kTransferBufferSize] = {};
};

}  // namespace d88

#endif  // D88EXTRACT_EXTRACT_DISK_EXTRACTOR_H_
