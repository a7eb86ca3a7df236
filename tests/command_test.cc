// End-to-end runs of the built d88extract in fresh directories: the command
// line, the disk loop, exit statuses, and what the program does when the
// image or the host stands in its way.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "d88_builder.h"
#include "test_support.h"

namespace d88test {
namespace {

const char kOpenFailure[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xC5\x82\xAB"
    "\x82\xDC\x82\xB9\x82\xF1\n";
const char kGeometry[] = "N=1, Sec/Trk = 16, secsize = 0x0100, trksize = 0x1000\n";

// A small disk with one 300-byte file called `name` at track 2, whose bytes
// depend on `seed`.
DiskBuilder OneFileDisk(const std::string& diskName, const std::string& fileName,
                        uint8_t seed = 0) {
  DiskBuilder disk = DiskBuilder::Standard(diskName, 4, 16, 1, seed);
  disk.SetEntry(0, {fileName, 2, 1, 2, 2, 300});
  return disk;
}

std::string EntryLine(const std::string& name) {
  std::string padded = name;
  if (padded.size() < 6) padded.resize(6, ' ');
  return padded + "   START:02 01    END:02 02   ENTRYSIZE: 12c   SIZE: 12c\n";
}

TEST(CommandTest, WithoutAnImagePathPrintsUsage) {
  TempDir work;
  const RunResult run = RunBinary({"./my extractor"}, work.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "Usage: ./my extractor [d88file] [-d]\n");
}

TEST(CommandTest, AnImageThatCannotBeOpenedIsReportedInShiftJis) {
  TempDir work;
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"d88extract", "missing.d88"},
        std::vector<std::string>{"d88extract", "-d"}}) {
    const RunResult run = RunBinary(arguments, work.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, std::string(kOpenFailure));
    EXPECT_EQ(run.err.size(), 29u);
  }
  EXPECT_TRUE(Tree(work.Path()).empty());
}

TEST(CommandTest, AnImageWithoutACompleteHeaderDoesNothing) {
  TempDir work;
  const RunResult run = RunOnImage(Bytes(687, 0x41), work.Path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(Tree(work.Path()).empty());
}

TEST(CommandTest, OnlyDashDAsSecondArgumentTurnsDirectoriesOff) {
  const Bytes image = OneFileDisk("D", "F").Build();
  struct Case {
    std::vector<std::string> extra;
    bool directories;
  } cases[] = {
      {{}, true}, {{"-x"}, true}, {{"-d"}, false}, {{"-d", "more"}, false}, {{"x", "-d"}, true}};
  for (const Case& c : cases) {
    TempDir work;
    const RunResult run = RunOnImage(image, work.Path(), c.extra);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, (c.directories ? "\n[D] -> 000\n" : "\n[D]\n") + std::string(kGeometry) +
                           EntryLine("F"));
    EXPECT_EQ(Tree(work.Path()).count(c.directories ? "000/F" : "F"), 1u);
  }
}

TEST(CommandTest, ExistingDiskDirectoriesAreReusedAndFilesReplaced) {
  TempDir work;
  ASSERT_EQ(mkdir((work / "000").c_str(), 0755), 0);
  WriteBytes(work / "000/F", Bytes(5000, 1));
  WriteBytes(work / "000/OTHER", Text("untouched"));
  const DiskBuilder disk = OneFileDisk("D", "F");
  const RunResult run = RunOnImage(disk.Build(), work.Path());
  EXPECT_EQ(run.status, 0);
  const std::map<std::string, std::string> expected = {
      {"000", "<dir>"}, {"000/F", AsString(disk.Collect(2, 1, 300))}, {"000/OTHER", "untouched"}};
  EXPECT_EQ(Tree(work.Path()), expected);
}

TEST(CommandTest, WithDashDALaterDiskReplacesFilesOnlyWhenItCanReadThem) {
  const DiskBuilder first = OneFileDisk("ONE", "SAME", 1);
  const DiskBuilder second = OneFileDisk("TWO", "SAME", 2);
  DiskBuilder unreadable = OneFileDisk("THREE", "SAME", 3);
  unreadable.Sector(2, 1).r = 77;
  {
    TempDir work;
    EXPECT_EQ(RunOnImage(Concat({first.Build(), second.Build()}), work.Path(), {"-d"}).status, 0);
    EXPECT_EQ(ReadBytes(work / "SAME"), second.Collect(2, 1, 300));
  }
  {
    TempDir work;
    EXPECT_EQ(RunOnImage(Concat({first.Build(), unreadable.Build()}), work.Path(), {"-d"}).status,
              0);
    EXPECT_EQ(ReadBytes(work / "SAME"), first.Collect(2, 1, 300));
  }
}

TEST(CommandTest, DiskNamesArePrintedByteForByte) {
  TempDir work;
  const std::string shiftJisName = "\x83\x54\x83\x93\x83\x76\x83\x8B";
  const RunResult run = RunOnImage(OneFileDisk(shiftJisName, "F").Build(), work.Path());
  EXPECT_EQ(run.out.substr(0, 1 + 2 + shiftJisName.size() + 8),
            "\n[" + shiftJisName + "] -> 000\n");
}

TEST(CommandTest, HostileNamesStayInsideTheDiskDirectory) {
  DiskBuilder disk = DiskBuilder::Standard("EVIL", 4);
  const std::string names[] = {"../x", "..", ".", "/", "a/b/c", "../../", std::string("\0AB", 3),
                               "OK"};
  for (int j = 0; j < 8; ++j) disk.SetEntry(j, {names[j], 2, 1, 2, 2, 300});
  TempDir work;
  const RunResult run = RunOnImage(disk.Build(), work.Path());
  EXPECT_EQ(run.status, 2);
  std::string out = "\n[EVIL] -> 000\n" + std::string(kGeometry);
  for (const std::string& name : names) out += EntryLine(name.c_str());
  EXPECT_EQ(run.out, out);
  EXPECT_EQ(run.err,
            "d88extract: 000: entry 0 \"../x\" written as \".._x\"\n"
            "d88extract: 000: entry 1 \"..\" written as \"__\"\n"
            "d88extract: 000: entry 2 \".\" written as \"_\"\n"
            "d88extract: 000: entry 3 \"/\" written as \"_\"\n"
            "d88extract: 000: entry 4 \"a/b/c\" written as \"a_b_c\"\n"
            "d88extract: 000: entry 5 \"../../\" written as \".._.._\"\n"
            "d88extract: 000: entry 6 has an empty name; not written\n");
  const std::string content = AsString(disk.Collect(2, 1, 300));
  const std::map<std::string, std::string> expected = {
      {"000", "<dir>"},       {"000/.._x", content},   {"000/__", content}, {"000/_", content},
      {"000/a_b_c", content}, {"000/.._.._", content}, {"000/OK", content}};
  EXPECT_EQ(Tree(work.Path()), expected);
}

TEST(CommandTest, MessagesFollowTheReportLinesTheyAreAbout) {
  DiskBuilder disk = DiskBuilder::Standard("D", 4);
  disk.SetEntry(0, {"A/B", 2, 1, 2, 2, 300});
  disk.SetEntry(1, {"OK", 2, 1, 2, 2, 300});
  TempDir work;
  TempDir imageDir;
  WriteBytes(imageDir / "image.d88", disk.Build());
  const RunResult run =
      RunBinary({"d88extract", imageDir / "image.d88"}, work.Path(), std::nullopt, true);
  EXPECT_EQ(run.out, "\n[D] -> 000\n" + std::string(kGeometry) + EntryLine("A/B") +
                         "d88extract: 000: entry 0 \"A/B\" written as \"A_B\"\n" + EntryLine("OK"));
}

TEST(CommandTest, ADiskDirectoryThatCannotBeEnteredSkipsOnlyThatDisk) {
  TempDir work;
  WriteBytes(work / "001", Text("in the way"));
  const Bytes image = Concat({OneFileDisk("A", "F", 1).Build(), OneFileDisk("B", "F", 2).Build(),
                              OneFileDisk("C", "F", 3).Build()});
  const RunResult run = RunOnImage(image, work.Path());
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "\n[A] -> 000\n" + std::string(kGeometry) + EntryLine("F") + "\n[C] -> 002\n" +
                         kGeometry + EntryLine("F"));
  EXPECT_EQ(run.err, "d88extract: 001: cannot enter directory: Not a directory; disk skipped\n");
  const std::map<std::string, std::string> tree = Tree(work.Path());
  EXPECT_EQ(tree.size(), 5u);
  EXPECT_EQ(tree.at("001"), "in the way");
  EXPECT_EQ(tree.at("002/F"), AsString(OneFileDisk("C", "F", 3).Collect(2, 1, 300)));
}

TEST(CommandTest, ALinkedDiskDirectoryIsUsedAndTheRunReturnsToItsStart) {
  TempDir work;
  TempDir elsewhere;
  ASSERT_EQ(mkdir((elsewhere / "real").c_str(), 0755), 0);
  ASSERT_EQ(symlink((elsewhere / "real").c_str(), (work / "000").c_str()), 0);
  const Bytes image = Concat({OneFileDisk("A", "F", 1).Build(), OneFileDisk("B", "F", 2).Build()});
  const RunResult run = RunOnImage(image, work.Path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(ReadBytes(elsewhere / "real/F"), OneFileDisk("A", "F", 1).Collect(2, 1, 300));
  EXPECT_EQ(ReadBytes(work / "001/F"), OneFileDisk("B", "F", 2).Collect(2, 1, 300));
  EXPECT_FALSE(ReadBytes(elsewhere / "001/F").has_value());
}

TEST(CommandTest, ALinkAtAnOutputNameIsReplacedNotFollowed) {
  TempDir work;
  TempDir elsewhere;
  WriteBytes(elsewhere / "precious", Text("keep me"));
  ASSERT_EQ(mkdir((work / "000").c_str(), 0755), 0);
  ASSERT_EQ(symlink((elsewhere / "precious").c_str(), (work / "000/F").c_str()), 0);
  const DiskBuilder disk = OneFileDisk("A", "F");
  EXPECT_EQ(RunOnImage(disk.Build(), work.Path()).status, 0);
  EXPECT_EQ(ReadText(elsewhere / "precious"), "keep me");
  EXPECT_EQ(Tree(work.Path()).at("000/F"), AsString(disk.Collect(2, 1, 300)));
}

TEST(CommandTest, FilesThatCannotBeWrittenAreReportedAndTheRunGoesOn) {
  DiskBuilder disk = DiskBuilder::Standard("D", 4);
  disk.SetEntry(0, {"BLOCK", 2, 1, 2, 2, 300});
  disk.SetEntry(1, {"BIG", 2, 1, 3, 16, 8192});
  disk.SetEntry(2, {"SMALL", 2, 1, 2, 1, 100});
  TempDir work;
  ASSERT_EQ(mkdir((work / "000").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((work / "000/BLOCK").c_str(), 0755), 0);
  // Files may not grow past 4,096 bytes: BIG fails part way through.
  const RunResult run = RunOnImage(disk.Build(), work.Path(), {}, 4096);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            "d88extract: 000/BLOCK: cannot write: Is a directory\n"
            "d88extract: 000/BIG: cannot write: File too large\n");
  const std::map<std::string, std::string> expected = {
      {"000", "<dir>"}, {"000/BLOCK", "<dir>"}, {"000/SMALL", AsString(disk.Collect(2, 1, 100))}};
  EXPECT_EQ(Tree(work.Path()), expected);
}

TEST(CommandTest, AShortFileIsNotedButIsNoFailure) {
  DiskBuilder disk = DiskBuilder::Standard("D", 4);
  disk.SetEntry(0, {"SHORT", 2, 1, 2, 4, 1024});
  disk.Sector(2, 2).r = 99;
  TempDir work;
  const RunResult run = RunOnImage(disk.Build(), work.Path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err,
            "d88extract: 000/SHORT: run of sectors broke: 256 bytes read, 1024 bytes written, the "
            "rest zeros\n");
  Bytes expected = disk.Collect(2, 1, 256);
  expected.resize(1024, 0);
  EXPECT_EQ(ReadBytes(work / "000/SHORT"), expected);
}

}  // namespace
}  // namespace d88test
