// Writes the images the speed benchmark extracts:
//   make_bench_images DIRECTORY
// realistic.d88: 16 disks of 164 tracks of 16 sectors of 256 bytes, each with
//   256 directory entries of 10 sectors.
// crafted-4096.d88, crafted-65534.d88: 8 disks whose data tracks begin with
//   that many empty filler records (sector count 65,535, no data) before the
//   real sectors, and whose 320 entries each ask for 65,536 bytes of them.
#include <cstdio>
#include <string>

#include "tests/d88_builder.h"

namespace d88test {
namespace {

std::string EntryName(int j) {
  char name[16];
  std::snprintf(name, sizeof name, "F%03d", j);
  return name;
}

Bytes RealisticDisk(int index) {
  DiskBuilder disk = DiskBuilder::Standard("REAL " + std::to_string(index), 164, 16, 1,
                                           static_cast<uint8_t>(index));
  for (int j = 0; j < 256; ++j) {
    const int first = 32 + 10 * j;  // sectors counted from track 0, sector 1
    const int last = first + 9;
    disk.SetEntry(j, {EntryName(j), first / 16, first % 16 + 1, last / 16, last % 16 + 1,
                      10 * 256 - static_cast<uint32_t>(j % 7)});
  }
  return disk.Build();
}

Bytes CraftedDisk(int index, int fillers) {
  // 512-byte sectors, so that track 1 holds all 320 directory entries.
  DiskBuilder disk("CRAFTED " + std::to_string(index), 0, static_cast<uint8_t>(index));
  disk.FormatTrack(1, 16, 2);
  for (SectorRecord& record : disk.Track(1)) record.data.assign(record.data.size(), 0xFF);
  Bytes filler;
  for (int i = 0; i < fillers; ++i) {
    const Bytes record = RecordBytes(0xEE, 0xEE, 0xEE, 0xEE, 65535, 0);
    filler.insert(filler.end(), record.begin(), record.end());
  }
  for (int t = 2; t <= 9; ++t) {
    disk.FormatTrack(t, 16, 2);
    disk.trackPrefixes[t] = filler;
    // A record with a sector count of 0 ends every search of the track.
    disk.trackSuffixes[t] = RecordBytes(0, 0, 0, 0, 0, 0);
  }
  for (int j = 0; j < 320; ++j) disk.SetEntry(j, {EntryName(j), 2, 1, 9, 16, 65536});
  return disk.Build();
}

void WriteImages(const std::string& directory) {
  std::vector<Bytes> realistic;
  for (int i = 0; i < 16; ++i) realistic.push_back(RealisticDisk(i));
  WriteBytes(directory + "/realistic.d88", Concat(realistic));
  for (int fillers : {4096, 65534}) {
    std::vector<Bytes> crafted;
    for (int i = 0; i < 8; ++i) crafted.push_back(CraftedDisk(i, fillers));
    WriteBytes(directory + "/crafted-" + std::to_string(fillers) + ".d88", Concat(crafted));
  }
}

}  // namespace
}  // namespace d88test

int main(int argc, char* argv[]) {
  return d88test::GeneratorMain(argc, argv, "DIRECTORY", d88test::WriteImages);
}
