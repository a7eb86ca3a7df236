#include "sample_image.h"

namespace d88test {

std::vector<DiskBuilder> SampleDisks() {
  DiskBuilder system = DiskBuilder::Standard("SAMPLE SYSTEM", 12, 16, 1, 1);
  system.SetEntry(0, {"     ", 0, 0, 0, 0, 1});
  const std::string hello = "Hello from a D88 disk.\r\n";
  system.SetEntry(1, {"HELLO", 6, 1, 6, 1, static_cast<uint32_t>(hello.size())});
  system.Put(6, 1, 0, Text(hello));
  system.SetEntry(2, {"OLD", 6, 2, 6, 2, 256, 'K'});
  // 3,000 bytes from sector 10 of track 4 to sector 7 of track 5.
  system.SetEntry(3, {"GAME", 4, 10, 5, 7, 3000});
  system.SetEntry(4, {"DATA", 7, 1, 7, 4, 1000});

  DiskBuilder disk2dd = DiskBuilder::Standard("SAMPLE 2DD", 12, 16, 1, 2);
  disk2dd.mediaType = 0x10;
  disk2dd.SetEntry(0, {"BIOS", 2, 1, 3, 16, 8192});
  disk2dd.SetEntry(1, {"BIOS2", 4, 1, 4, 16, 4096});
  disk2dd.SetEntry(2, {"BIOS3", 5, 1, 5, 8, 2048});
  disk2dd.SetEntry(3, {"NOTES", 8, 1, 8, 1, 200});
  disk2dd.Put(8, 1, 0, Text("Notes kept on the second disk of the sample image.\r\n"));

  return {system, disk2dd};
}

Bytes BuildSampleImage() {
  std::vector<Bytes> disks;
  for (const DiskBuilder& disk : SampleDisks()) disks.push_back(disk.Build());
  return Concat(disks);
}

}  // namespace d88test
