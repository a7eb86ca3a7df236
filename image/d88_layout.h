// The on-disk layout of a D88 image, named in one place.
#ifndef D88EXTRACT_IMAGE_D88_LAYOUT_H_
#define D88EXTRACT_IMAGE_D88_LAYOUT_H_

#include <cstddef>

namespace d88::layout {

// Disk header: 688 bytes at the start of every disk.
inline constexpr size_t kDiskHeaderSize = 0x2B0;
inline constexpr size_t kDiskNameOffset = 0x00;
inline constexpr size_t kDiskNameLength = 16;  // byte 0x10 is a terminator, never read
inline constexpr size_t kMediaTypeOffset = 0x1B;
inline constexpr size_t kDiskSizeOffset = 0x1C;  // bytes from this header to the next disk
inline constexpr size_t kTrackTableOffset = 0x20;
inline constexpr int kTrackCount = 164;  // 4-byte offsets from the header; 0 = absent

// Sector record: 16 bytes in front of each sector's data.
inline constexpr size_t kSectorRecordSize = 16;
inline constexpr size_t kRecordCOffset = 0;
inline constexpr size_t kRecordHOffset = 1;
inline constexpr size_t kRecordROffset = 2;
inline constexpr size_t kRecordNOffset = 3;
inline constexpr size_t kRecordSectorCountOffset = 4;  // sectors recorded on this track
inline constexpr size_t kRecordDataSizeOffset = 14;    // data bytes after the record

// The media-type code D88 writers use for a 2DD disk.
inline constexpr int kMediaType2DD = 0x10;

// A D88 file is indexed up to this many disks; later ones are never seen.
inline constexpr int kMaxDisks = 64;

}  // namespace d88::layout

#endif  // D88EXTRACT_IMAGE_D88_LAYOUT_H_
