// The file system of the disks this tool serves, as far as it is read: the
// directory on track 1 and the fixed system areas.
#ifndef D88EXTRACT_EXTRACT_DISK_LAYOUT_H_
#define D88EXTRACT_EXTRACT_DISK_LAYOUT_H_

#include <cstddef>
#include <cstdint>

namespace d88::disk {

// Track index 1 (cylinder 0, head 1) holds the directory.
inline constexpr int kDirectoryTrack = 1;
inline constexpr size_t kDirectoryAreaSize = 5120;
inline constexpr size_t kDirectoryEntrySize = 16;
inline constexpr int kDirectoryEntryCount = kDirectoryAreaSize / kDirectoryEntrySize;  // 320

// One 16-byte directory entry.
inline constexpr size_t kEntryNameOffset = 0;
inline constexpr size_t kEntryNameLength = 6;  // up to the first zero byte
inline constexpr size_t kEntryMarkOffset = 7;
inline constexpr size_t kEntryLengthOffset = 10;  // little-endian length minus 1
inline constexpr size_t kEntryStartTrackOffset = 12;
inline constexpr size_t kEntryStartSectorOffset = 13;
inline constexpr size_t kEntryEndTrackOffset = 14;
inline constexpr size_t kEntryEndSectorOffset = 15;

inline constexpr uint8_t kVacantEntry = 0x20;  // first name byte of an unused entry
inline constexpr uint8_t kEndOfDirectory = 0xFF;
inline constexpr uint8_t kPassedOverMark = 0x4B;  // 'K' in the mark byte

// Some formatters start track 1 with an extra index record numbered 0xF7 of
// size code 0; it is not a data sector and does not count.
inline constexpr uint8_t kIndexRecordSector = 0xF7;

// The fixed system areas, all read as runs of 256-byte sectors.
struct SystemArea {
  const char* name;
  int track;
  int c;
  int h;
  int r;
  int32_t length;
};
inline constexpr int kSystemAreaSizeCode = 1;
// Disks whose directory begins with five spaces.
inline constexpr SystemArea kBootAreas[] = {
    {"BIOS", 2, 1, 0, 1, 0x2000},
    {"SEDAT", 3, 1, 1, 1, 0x1000},
    {"SS000", 3, 1, 1, 9, 0x500},
};
// 2DD disks whose entries 0 to 2 begin "BIOS", "BIOS2" and "BIOS3".
inline constexpr SystemArea kBios2ddArea = {"SS039", 10, 5, 0, 9, 0x430};

}  // namespace d88::disk

#endif  // D88EXTRACT_EXTRACT_DISK_LAYOUT_H_
