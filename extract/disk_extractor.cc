#include "extract/disk_extractor.h"

#include <algorithm>
#include <cstring>

namespace d88 {

namespace {

// The geometry and span arithmetic is 32-bit and wraps as 32-bit
// two's-complement registers do. Computing in 64 bits and then wrapping
// keeps every size code defined: a sector of size code 24 is 0x80000000
// bytes, one of 25 or more wraps to 0.
int32_t WrapTo32(int64_t value) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

int32_t NominalSectorSize(int32_t sizeCode) {
  return sizeCode <= 24 ? WrapTo32(int64_t{128} << sizeCode) : 0;
}

}  // namespace

void DiskExtractor::ProbeGeometry() {
  sectorsPerTrack = image.ReadTrackIds(disk::kDirectoryTrack, idBuffer, kIdBufferSize) / 4;
  // The ID buffer is tested whatever the count was: an earlier disk's first
  // identifier still counts when this disk's track 1 listed none.
  if (idBuffer[2] == disk::kIndexRecordSector && idBuffer[3] == 0) --sectorsPerTrack;
  // The second identifier gives the size code, so an index record in front
  // of the data sectors does not hide it.
  sizeCode = idBuffer[7];
  sectorSize = NominalSectorSize(sizeCode);
  trackSize = WrapTo32(int64_t{sectorsPerTrack} * sectorSize);
  std::fprintf(report, "N=%d, Sec/Trk = %d, secsize = 0x%04x, trksize = 0x%04x\n", sizeCode,
               sectorsPerTrack, static_cast<unsigned>(sectorSize),
               static_cast<unsigned>(trackSize));
  image.SetSectorRange(1, sectorsPerTrack);
}

void DiskExtractor::ReadDirectory() {
  // What the read does not cover reads as the end of the directory.
  std::memset(directoryArea, disk::kEndOfDirectory, sizeof directoryArea);
  // A track of larger sectors can hold more than the directory area; only
  // the area's 5,120 bytes are ever examined, so only those are read.
  const int32_t length = std::min<int32_t>(trackSize, disk::kDirectoryAreaSize);
  image.ReadSectors(disk::kDirectoryTrack, 0, 1, 1, sizeCode, directoryArea, length);
}

void DiskExtractor::ExtractSystemAreas() {
  if (std::memcmp(directoryArea, "     ", 5) == 0) {
    for (const disk::SystemArea& area : disk::kBootAreas) {
      ExtractArea(area.name, area.track, area.c, area.h, area.r, disk::kSystemAreaSizeCode, 0,
                  area.length);
    }
  }
  const uint8_t* entries = directoryArea;
  if (image.MediaType() == layout::kMediaType2DD && std::memcmp(entries, "BIOS", 4) == 0 &&
      std::memcmp(entries + disk::kDirectoryEntrySize, "BIOS2", 5) == 0 &&
      std::memcmp(entries + 2 * disk::kDirectoryEntrySize, "BIOS3", 5) == 0) {
    const disk::SystemArea& area = disk::kBios2ddArea;
    ExtractArea(area.name, area.track, area.c, area.h, area.r, disk::kSystemAreaSizeCode, 0,
                area.length);
  }
}

void DiskExtractor::ExtractDirectoryFiles() {
  for (int j = 0; j < disk::kDirectoryEntryCount; ++j) {
    const uint8_t* entry = directoryArea + j * disk::kDirectoryEntrySize;
    // The mark is tested before the end marker: an entry starting 0xFF with
    // the K mark is passed over, not taken as the end.
    if (entry[disk::kEntryNameOffset] == disk::kVacantEntry) continue;
    if (entry[disk::kEntryMarkOffset] == disk::kPassedOverMark) continue;
    if (entry[disk::kEntryNameOffset] == disk::kEndOfDirectory) break;

    std::memset(nameBuffer, 0, sizeof nameBuffer);
    for (size_t k = 0; k < disk::kEntryNameLength && entry[disk::kEntryNameOffset + k] != 0; ++k) {
      nameBuffer[k] = static_cast<char>(entry[disk::kEntryNameOffset + k]);
    }
    const int startTrack = entry[disk::kEntryStartTrackOffset];
    const int startSector = entry[disk::kEntryStartSectorOffset];
    const int endTrack = entry[disk::kEntryEndTrackOffset];
    const int endSector = entry[disk::kEntryEndSectorOffset];
    const int32_t entrySize = D88Image::ReadLe16(entry + disk::kEntryLengthOffset) + 1;
    // Sectors from start to end inclusive, times the sector size. An end
    // before the start makes this 0 or negative, and nothing is written.
    const int32_t span = WrapTo32(
        (int64_t{sectorsPerTrack} * (endTrack - startTrack) + (endSector - startSector) + 1) *
        sectorSize);
    const int32_t size = entrySize <= span ? entrySize : span;

    std::fprintf(report, "%-6s   START:%02x %02x    END:%02x %02x   ENTRYSIZE:%4x   SIZE:%4x\n",
                 nameBuffer, startTrack, startSector, endTrack, endSector,
                 static_cast<unsigned>(entrySize), static_cast<unsigned>(size));
    currentEntry = j;
    ExtractArea(nameBuffer, startTrack, startTrack >> 1, startTrack & 1, startSector, sizeCode, 0,
                size);
    currentEntry = -1;
  }
}

bool DiskExtractor::ExtractArea(const char* name, int32_t track, int32_t c, int32_t h, int32_t r,
                                int32_t n, int32_t skip, int32_t length) {
  if (skip < 0 || length <= 0 || int64_t{skip} + length > int64_t{kTransferBufferSize}) {
    return false;
  }
  const int32_t total = skip + length;
  // Cleared first, so that a run that breaks early, or a sector whose data
  // runs past the end of the image, leaves zeros in the file and never the
  // bytes of an earlier file.
  std::memset(transferBuffer, 0, static_cast<size_t>(total));
  const int32_t read = image.ReadSectors(track, c, h, r, n, transferBuffer, total);
  if (read == 0) return false;
  if (output.WriteFile(name, currentEntry, transferBuffer + skip, static_cast<size_t>(length)) &&
      read < total) {
    output.NoteAboutFile(SafeFileName(name),
                         "run of sectors broke: %d bytes read, %d bytes written, the rest zeros",
                         read, length);
  }
  return true;
}

}  // namespace d88
