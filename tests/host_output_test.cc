// The module that writes to the host: name rules, what it does with whatever
// already stands at an output name, and directories it cannot use.
#include "extract/host_output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_support.h"

namespace d88test {
namespace {

using d88::HostOutput;
using d88::SafeFileName;

TEST(SafeFileNameTest, NamesNeverLeaveTheOutputDirectory) {
  const std::pair<std::string, std::string> cases[] = {
      {"AB", "AB"},
      {"a/b", "a_b"},
      {"/", "_"},
      {"//..", "__.."},
      {".", "_"},
      {"..", "__"},
      {"...", "..."},
      {"../x", ".._x"},
      {".A", ".A"},
      {"A B  ", "A B  "},
      {"\x83\x74", "\x83\x74"},
      {"\\x", "\\x"},
  };
  for (const auto& [name, safe] : cases) EXPECT_EQ(SafeFileName(name), safe) << name;
}

class HostOutputTest : public ::testing::Test {
 protected:
  HostOutputTest()
      : errorFile(std::tmpfile()),
        base(open(root.Path().c_str(), O_RDONLY | O_DIRECTORY)),
        output(errorFile, base) {}
  ~HostOutputTest() override {
    std::fclose(errorFile);
    close(base);
  }
  std::string Errors() { return DrainStream(errorFile); }
  bool Write(const char* name, const std::string& content, int entry = 7) {
    return output.WriteFile(name, entry, reinterpret_cast<const uint8_t*>(content.data()),
                            content.size());
  }

  TempDir root;
  TempDir elsewhere;
  std::FILE* errorFile;
  int base;
  HostOutput output;
};

TEST_F(HostOutputTest, RenamedNamesAreReportedAndWrittenInside) {
  ASSERT_TRUE(output.EnterDiskDirectory("000"));
  EXPECT_TRUE(Write("a/b", "1"));
  EXPECT_TRUE(Write("..", "2"));
  EXPECT_TRUE(Write(".", "3"));
  EXPECT_TRUE(Write("OK", "4"));
  const std::map<std::string, std::string> expected = {
      {"000", "<dir>"}, {"000/a_b", "1"}, {"000/__", "2"}, {"000/_", "3"}, {"000/OK", "4"}};
  EXPECT_EQ(Tree(root.Path()), expected);
  EXPECT_EQ(Errors(),
            "d88extract: 000: entry 7 \"a/b\" written as \"a_b\"\n"
            "d88extract: 000: entry 7 \"..\" written as \"__\"\n"
            "d88extract: 000: entry 7 \".\" written as \"_\"\n");
  EXPECT_FALSE(output.HadFailure());
}

TEST_F(HostOutputTest, AnEmptyNameIsNotWritten) {
  EXPECT_FALSE(Write("", "data", 12));
  EXPECT_EQ(Errors(), "d88extract: .: entry 12 has an empty name; not written\n");
  EXPECT_TRUE(output.HadFailure());
  EXPECT_TRUE(Tree(root.Path()).empty());
}

TEST_F(HostOutputTest, WhateverStandsAtTheNameIsReplacedNeverFollowed) {
  WriteBytes(root / "FILE", Text("old contents that are longer"));
  WriteBytes(elsewhere / "target", Text("must stay"));
  ASSERT_EQ(symlink((elsewhere / "target").c_str(), (root / "LINK").c_str()), 0);
  ASSERT_EQ(symlink((elsewhere / "nothing").c_str(), (root / "DANGLE").c_str()), 0);
  ASSERT_EQ(mkfifo((root / "FIFO").c_str(), 0600), 0);
  for (const char* name : {"FILE", "LINK", "DANGLE", "FIFO"}) EXPECT_TRUE(Write(name, "new"));
  const std::map<std::string, std::string> expected = {
      {"FILE", "new"}, {"LINK", "new"}, {"DANGLE", "new"}, {"FIFO", "new"}};
  EXPECT_EQ(Tree(root.Path()), expected);
  EXPECT_EQ(ReadText(elsewhere / "target"), "must stay");
  EXPECT_FALSE(ReadBytes(elsewhere / "nothing").has_value());
  EXPECT_EQ(Errors(), "");
}

TEST_F(HostOutputTest, ADirectoryInTheWayRefusesTheFile) {
  ASSERT_EQ(mkdir((root / "NAME").c_str(), 0755), 0);
  WriteBytes(root / "NAME/inside", Text("kept"));
  EXPECT_FALSE(Write("NAME", "data"));
  EXPECT_EQ(Errors(), "d88extract: ./NAME: cannot write: Is a directory\n");
  EXPECT_TRUE(output.HadFailure());
  EXPECT_EQ(ReadText(root / "NAME/inside"), "kept");
  EXPECT_TRUE(Write("OTHER", "fine"));
}

TEST_F(HostOutputTest, DiskDirectoriesAreCreatedReusedOrRefused) {
  ASSERT_EQ(mkdir((root / "001").c_str(), 0755), 0);
  WriteBytes(root / "001/KEEP", Text("kept"));
  WriteBytes(root / "002", Text("a file in the way"));
  ASSERT_EQ(mkdir((elsewhere / "real").c_str(), 0755), 0);
  ASSERT_EQ(symlink((elsewhere / "real").c_str(), (root / "003").c_str()), 0);

  ASSERT_TRUE(output.EnterDiskDirectory("000"));
  EXPECT_TRUE(Write("A", "0"));
  ASSERT_TRUE(output.EnterDiskDirectory("001"));
  EXPECT_TRUE(Write("A", "1"));
  EXPECT_FALSE(output.EnterDiskDirectory("002"));
  ASSERT_TRUE(output.EnterDiskDirectory("003"));
  EXPECT_TRUE(Write("A", "3"));
  output.UseBaseDirectory();
  EXPECT_TRUE(Write("A", "base"));

  EXPECT_EQ(Errors(), "d88extract: 002: cannot enter directory: Not a directory; disk skipped\n");
  EXPECT_TRUE(output.HadFailure());
  EXPECT_EQ(ReadText(root / "000/A"), "0");
  EXPECT_EQ(ReadText(root / "001/A"), "1");
  EXPECT_EQ(ReadText(root / "001/KEEP"), "kept");
  EXPECT_EQ(ReadText(root / "002"), "a file in the way");
  EXPECT_EQ(ReadText(elsewhere / "real/A"), "3");
  EXPECT_EQ(ReadText(root / "A"), "base");
}

TEST_F(HostOutputTest, DiskDirectoriesThatLeadNowhereAreRefused) {
  ASSERT_EQ(symlink((elsewhere / "gone").c_str(), (root / "000").c_str()), 0);
  WriteBytes(elsewhere / "file", Text("a file"));
  ASSERT_EQ(symlink((elsewhere / "file").c_str(), (root / "001").c_str()), 0);
  EXPECT_FALSE(output.EnterDiskDirectory("000"));
  EXPECT_FALSE(output.EnterDiskDirectory("001"));
  EXPECT_EQ(Errors(),
            "d88extract: 000: cannot enter directory: No such file or directory; disk skipped\n"
            "d88extract: 001: cannot enter directory: Not a directory; disk skipped\n");
  EXPECT_FALSE(ReadBytes(elsewhere / "gone").has_value());
  EXPECT_EQ(ReadText(elsewhere / "file"), "a file");
}

TEST(HostOutputBaseTest, ADiskDirectoryThatCannotBeCreatedIsRefused) {
  // The base directory is removed after it was opened: nothing can be made in it.
  TempDir root;
  ASSERT_EQ(mkdir((root / "base").c_str(), 0755), 0);
  const int base = open((root / "base").c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(rmdir((root / "base").c_str()), 0);
  std::FILE* errors = std::tmpfile();
  {
    HostOutput output(errors, base);
    EXPECT_FALSE(output.EnterDiskDirectory("000"));
    EXPECT_TRUE(output.HadFailure());
  }
  EXPECT_EQ(DrainStream(errors),
            "d88extract: 000: cannot create directory: No such file or directory; disk skipped\n");
  std::fclose(errors);
  close(base);
}

}  // namespace
}  // namespace d88test
