// Writes the fuzz seed corpus: small images built like the test suite's own
// fixtures, each showing one feature of the format or one kind of damage.
//   make_fuzz_corpus tests/fuzz/corpus
#include <cstdio>
#include <string>

#include "d88_builder.h"

namespace d88test {
namespace {

// Four tracks of four 256-byte sectors, files on tracks 2 and 3.
DiskBuilder SmallDisk(const std::string& name, uint8_t seed) {
  DiskBuilder disk = DiskBuilder::Standard(name, 4, 4, 1, seed);
  disk.SetEntry(0, {"ONE", 2, 1, 2, 2, 300}, 4);
  disk.SetEntry(1, {"SPAN", 2, 3, 3, 2, 1000}, 4);
  disk.SetEntry(2, {" FREE", 2, 1, 2, 1, 10}, 4);
  disk.SetEntry(3, {"OLD", 2, 1, 2, 1, 10, 'K'}, 4);
  disk.SetEntry(4, {"BACK", 3, 2, 2, 1, 10}, 4);
  return disk;
}

void Write(const std::string& directory, const std::string& name, const Bytes& bytes) {
  WriteBytes(directory + "/" + name, bytes);
}

void WriteCorpus(const std::string& directory) {
  Write(directory, "files.d88", SmallDisk("FILES", 1).Build());

  DiskBuilder system = DiskBuilder::Standard("SYSTEM", 4, 8, 1, 2);
  system.SetEntry(0, {"     ", 0, 0, 0, 0, 1}, 8);
  system.SetEntry(1, {"APP", 3, 1, 3, 2, 400}, 8);
  Write(directory, "system.d88", system.Build());

  DiskBuilder bios = DiskBuilder::Standard("2DD", 11, 4, 1, 3);
  bios.mediaType = 0x10;
  bios.SetEntry(0, {"BIOS", 2, 1, 2, 2, 512}, 4);
  bios.SetEntry(1, {"BIOS2", 3, 1, 3, 1, 256}, 4);
  bios.SetEntry(2, {"BIOS3", 4, 1, 4, 1, 256}, 4);
  Write(directory, "bios2dd.d88", bios.Build());

  DiskBuilder indexed = SmallDisk("INDEXED", 4);
  SectorRecord indexRecord;
  indexRecord.h = 1;
  indexRecord.r = 0xF7;
  indexRecord.n = 0;
  indexed.Track(1).insert(indexed.Track(1).begin(), indexRecord);
  Write(directory, "index-record.d88", indexed.Build());

  DiskBuilder names = DiskBuilder::Standard("NAMES", 3, 4, 1, 5);
  const std::string hostile[] = {"../x", "..", ".", "/", std::string("\0A", 2), "sp ce "};
  for (int j = 0; j < 6; ++j) names.SetEntry(j, {hostile[j], 2, 1, 2, 1, 100}, 4);
  Write(directory, "names.d88", names.Build());

  DiskBuilder broken = SmallDisk("BROKEN", 6);
  broken.Sector(2, 2).data.resize(100);
  broken.Sector(3, 1).sectorCount = 0;
  Write(directory, "broken-run.d88", broken.Build());

  DiskBuilder large = DiskBuilder::Standard("LARGE", 3, 2, 1, 7);
  for (SectorRecord& record : large.Track(1)) record.n = 24;
  large.SetEntry(0, {"HUGE", 2, 1, 2, 2, 65536}, 2);
  Write(directory, "size-code-24.d88", large.Build());

  DiskBuilder offsets = SmallDisk("OFFSETS", 8);
  offsets.trackOffsetOverrides[2] = 0x80000000u;
  offsets.trackOffsetOverrides[3] = 0xFFFFFFFFu;
  offsets.diskSizeField = 0xFFFFFFF0u;
  Write(directory, "huge-offsets.d88", Concat({offsets.Build(), SmallDisk("NEXT", 9).Build()}));

  DiskBuilder repeat = SmallDisk("REPEAT", 10);
  repeat.diskSizeField = 0;
  Write(directory, "size-zero.d88", repeat.Build());

  Bytes truncated = SmallDisk("CUT", 11).Build();
  truncated.resize(truncated.size() - 700);
  Write(directory, "truncated.d88", Concat({SmallDisk("WHOLE", 12).Build(), truncated}));
}

}  // namespace
}  // namespace d88test

int main(int argc, char* argv[]) {
  return d88test::GeneratorMain(argc, argv, "DIRECTORY", d88test::WriteCorpus);
}
