// The bundled sample image, extracted by the real binary: the exact report
// and every byte of every file, into numbered directories and with -d.
#include "sample_image.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace d88test {
namespace {

const char kSystemLines[] =
    "N=1, Sec/Trk = 16, secsize = 0x0100, trksize = 0x1000\n"
    "HELLO    START:06 01    END:06 01   ENTRYSIZE:  18   SIZE:  18\n"
    "GAME     START:04 0a    END:05 07   ENTRYSIZE: bb8   SIZE: bb8\n"
    "DATA     START:07 01    END:07 04   ENTRYSIZE: 3e8   SIZE: 3e8\n";
const char k2ddLines[] =
    "N=1, Sec/Trk = 16, secsize = 0x0100, trksize = 0x1000\n"
    "BIOS     START:02 01    END:03 10   ENTRYSIZE:2000   SIZE:2000\n"
    "BIOS2    START:04 01    END:04 10   ENTRYSIZE:1000   SIZE:1000\n"
    "BIOS3    START:05 01    END:05 08   ENTRYSIZE: 800   SIZE: 800\n"
    "NOTES    START:08 01    END:08 01   ENTRYSIZE:  c8   SIZE:  c8\n";

std::map<std::string, std::string> SystemFiles(const DiskBuilder& disk) {
  return {
      {"BIOS", AsString(disk.Collect(2, 1, 8192))},  {"SEDAT", AsString(disk.Collect(3, 1, 4096))},
      {"SS000", AsString(disk.Collect(3, 9, 1280))}, {"HELLO", "Hello from a D88 disk.\r\n"},
      {"GAME", AsString(disk.Collect(4, 10, 3000))}, {"DATA", AsString(disk.Collect(7, 1, 1000))},
  };
}

std::map<std::string, std::string> TwoDDFiles(const DiskBuilder& disk) {
  return {
      {"SS039", AsString(disk.Collect(10, 9, 1072))}, {"BIOS", AsString(disk.Collect(2, 1, 8192))},
      {"BIOS2", AsString(disk.Collect(4, 1, 4096))},  {"BIOS3", AsString(disk.Collect(5, 1, 2048))},
      {"NOTES", AsString(disk.Collect(8, 1, 200))},
  };
}

TEST(SampleImageTest, CheckedInImageIsWhatTheGeneratorBuilds) {
  EXPECT_EQ(ReadBytes(D88_SAMPLE_IMAGE), BuildSampleImage())
      << "regenerate with: build/tests/make_sample_image samples/sample.d88";
}

TEST(SampleImageTest, ExtractsIntoNumberedDirectories) {
  TempDir work;
  const RunResult run = RunBinary({"d88extract", D88_SAMPLE_IMAGE}, work.Path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, std::string("\n[SAMPLE SYSTEM] -> 000\n") + kSystemLines +
                         "\n[SAMPLE 2DD] -> 001\n" + k2ddLines);
  const std::vector<DiskBuilder> disks = SampleDisks();
  std::map<std::string, std::string> expected = {{"000", "<dir>"}, {"001", "<dir>"}};
  for (const auto& [name, bytes] : SystemFiles(disks[0])) expected["000/" + name] = bytes;
  for (const auto& [name, bytes] : TwoDDFiles(disks[1])) expected["001/" + name] = bytes;
  EXPECT_EQ(Tree(work.Path()), expected);
}

TEST(SampleImageTest, ExtractsIntoTheCurrentDirectoryWithDashD) {
  TempDir work;
  const RunResult run = RunBinary({"d88extract", D88_SAMPLE_IMAGE, "-d"}, work.Path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            std::string("\n[SAMPLE SYSTEM]\n") + kSystemLines + "\n[SAMPLE 2DD]\n" + k2ddLines);
  const std::vector<DiskBuilder> disks = SampleDisks();
  std::map<std::string, std::string> expected = SystemFiles(disks[0]);
  // The second disk's BIOS entry replaces the first disk's BIOS area.
  for (const auto& [name, bytes] : TwoDDFiles(disks[1])) expected[name] = bytes;
  EXPECT_EQ(Tree(work.Path()), expected);
}

}  // namespace
}  // namespace d88test
