// The per-disk steps on images built in code: the geometry probe, the
// directory walk and its entry lines, the files written, and the system
// areas.
#include "extract/disk_extractor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>

#include "d88_builder.h"
#include "test_support.h"

namespace d88test {
namespace {

using d88::D88Image;
using d88::DiskExtractor;
using d88::HostOutput;

class ExtractorTest : public ::testing::Test {
 protected:
  ExtractorTest()
      : reportFile(std::tmpfile()),
        errorFile(std::tmpfile()),
        outputDirectory(open(output.Path().c_str(), O_RDONLY | O_DIRECTORY)),
        host(errorFile, outputDirectory),
        extractor(std::make_unique<DiskExtractor>(image, host, reportFile)) {}
  ~ExtractorTest() override {
    std::fclose(reportFile);
    std::fclose(errorFile);
    close(outputDirectory);
  }

  void Open(const Bytes& bytes) {
    WriteBytes(imageDir / "image.d88", bytes);
    ASSERT_TRUE(image.Open((imageDir / "image.d88").c_str()));
  }
  // Runs the steps of one disk, as the disk loop does.
  void ExtractDisk(int index) {
    image.SelectDisk(index);
    extractor->ProbeGeometry();
    extractor->ReadDirectory();
    extractor->ExtractSystemAreas();
    extractor->ExtractDirectoryFiles();
  }
  std::string Report() { return DrainStream(reportFile); }
  std::string Errors() { return DrainStream(errorFile); }
  std::map<std::string, std::string> Files() { return Tree(output.Path()); }
  void ClearFiles() {
    for (const auto& [name, content] : Files()) unlink((output / name).c_str());
  }

  TempDir imageDir;
  TempDir output;
  std::FILE* reportFile;
  std::FILE* errorFile;
  int outputDirectory;
  D88Image image;
  HostOutput host;
  std::unique_ptr<DiskExtractor> extractor;
};

std::string GeometryLine(const std::string& report) { return report.substr(0, report.find('\n')); }

TEST_F(ExtractorTest, GeometryComesFromTrackOne) {
  DiskBuilder standard = DiskBuilder::Standard("STD", 3);
  DiskBuilder indexed("IDX");
  indexed.FormatTrack(1, 17);
  SectorRecord indexRecord;
  indexRecord.h = 1;
  indexRecord.r = 0xF7;
  indexRecord.n = 0;
  indexed.Track(1).insert(indexed.Track(1).begin(), indexRecord);
  DiskBuilder single("ONE");
  single.FormatTrack(1, 1, 3);
  DiskBuilder absent = DiskBuilder::Standard("NONE", 1);
  DiskBuilder large("BIG");
  large.FormatTrack(1, 8, 2);
  Open(Concat({absent.Build(), standard.Build(), indexed.Build(), absent.Build(), single.Build(),
               large.Build()}));
  const char* expected[] = {
      // Nothing listed yet: the ID buffer is still all zeros.
      "N=0, Sec/Trk = 0, secsize = 0x0080, trksize = 0x0000",
      "N=1, Sec/Trk = 16, secsize = 0x0100, trksize = 0x1000",
      // The index record does not count; 16 identifiers at most are listed.
      "N=1, Sec/Trk = 15, secsize = 0x0100, trksize = 0x0f00",
      // Nothing listed: the earlier disk's index record in slot 0 still
      // counts, and so does its size code in slot 1.
      "N=1, Sec/Trk = -1, secsize = 0x0100, trksize = 0xffffff00",
      // One sector of size code 3: the size code is still the earlier one.
      "N=1, Sec/Trk = 1, secsize = 0x0100, trksize = 0x0100",
      "N=2, Sec/Trk = 8, secsize = 0x0200, trksize = 0x1000",
  };
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    ExtractDisk(i);
    EXPECT_EQ(GeometryLine(Report()), expected[i]);
  }
}

TEST_F(ExtractorTest, HugeSizeCodesPrintWrappedThirtyTwoBitValues) {
  struct Case {
    uint8_t n;
    const char* line;
  } cases[] = {
      {23, "N=23, Sec/Trk = 2, secsize = 0x40000000, trksize = 0x80000000"},
      {24, "N=24, Sec/Trk = 2, secsize = 0x80000000, trksize = 0x0000"},
      {25, "N=25, Sec/Trk = 2, secsize = 0x0000, trksize = 0x0000"},
      {255, "N=255, Sec/Trk = 2, secsize = 0x0000, trksize = 0x0000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    DiskBuilder disk("D");
    disk.FormatTrack(1, 2, 1);
    for (SectorRecord& record : disk.Track(1)) record.n = c.n;
    disk.SetEntry(0, {"A", 1, 1, 1, 2, 100});
    Open(disk.Build());
    ExtractDisk(0);
    const std::string report = Report();
    EXPECT_EQ(GeometryLine(report), c.line);
  }
  EXPECT_TRUE(Files().empty());
}

TEST_F(ExtractorTest, EntryLinesAndFileSizes) {
  DiskBuilder disk = DiskBuilder::Standard("D", 18);
  disk.SetEntry(0, {"AB", 2, 1, 2, 2, 0x200});
  disk.SetEntry(1, {"LONGER", 2, 1, 2, 2, 0x1000});  // the span caps the size
  disk.SetEntry(2, {"BACK", 3, 5, 3, 4, 10});        // end before start: nothing written
  disk.SetEntry(3, {"SP  ", 4, 16, 5, 1, 300});      // trailing spaces are part of the name
  disk.SetEntry(4, {"FULL", 2, 1, 17, 16, 65536});
  Open(disk.Build());
  ExtractDisk(0);
  EXPECT_EQ(Report(),
            "N=1, Sec/Trk = 16, secsize = 0x0100, trksize = 0x1000\n"
            "AB       START:02 01    END:02 02   ENTRYSIZE: 200   SIZE: 200\n"
            "LONGER   START:02 01    END:02 02   ENTRYSIZE:1000   SIZE: 200\n"
            "BACK     START:03 05    END:03 04   ENTRYSIZE:   a   SIZE:   0\n"
            "SP       START:04 10    END:05 01   ENTRYSIZE: 12c   SIZE: 12c\n"
            "FULL     START:02 01    END:11 10   ENTRYSIZE:10000   SIZE:10000\n");
  const std::map<std::string, std::string> expected = {
      {"AB", AsString(disk.Collect(2, 1, 0x200))},
      {"LONGER", AsString(disk.Collect(2, 1, 0x200))},
      {"SP  ", AsString(disk.Collect(4, 16, 300))},
      {"FULL", AsString(disk.Collect(2, 1, 65536))},
  };
  EXPECT_EQ(Files(), expected);
  EXPECT_EQ(Errors(), "");
}

TEST_F(ExtractorTest, NegativeSpanPrintsTwosComplementAndWritesNothing) {
  DiskBuilder disk = DiskBuilder::Standard("D", 4);
  disk.SetEntryBytes(0, {'N', 'E', 'G', 0, 0, 0, 0, 0, 0, 0, 9, 0, 3, 2, 3, 0});
  Open(disk.Build());
  ExtractDisk(0);
  EXPECT_EQ(Report(),
            "N=1, Sec/Trk = 16, secsize = 0x0100, trksize = 0x1000\n"
            "NEG      START:03 02    END:03 00   ENTRYSIZE:   a   SIZE:ffffff00\n");
  EXPECT_TRUE(Files().empty());
}

TEST_F(ExtractorTest, WalkSkipsVacantAndMarkedEntriesAndStopsAtTheEnd) {
  DiskBuilder disk = DiskBuilder::Standard("D", 4);
  disk.SetEntry(0, {"ONE", 2, 1, 2, 1, 10});
  disk.SetEntry(1, {" GAP", 2, 1, 2, 1, 10});
  disk.SetEntry(2, {"\xFF"
                    "KEEP",
                    2, 1, 2, 1, 10, 'K'});  // marked, not the end
  disk.SetEntry(3, {"TWO", 2, 2, 2, 2, 10});
  disk.SetEntry(4, {"\xFF"
                    "END",
                    2, 1, 2, 1, 10});
  disk.SetEntry(5, {"AFTER", 2, 1, 2, 1, 10});
  Open(disk.Build());
  ExtractDisk(0);
  const std::string report = Report();
  EXPECT_NE(report.find("\nONE    "), std::string::npos);
  EXPECT_NE(report.find("\nTWO    "), std::string::npos);
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 3);
  EXPECT_EQ(Files().size(), 2u);
}

TEST_F(ExtractorTest, AFullDirectoryEndsAfterEntry319) {
  // 512-byte sectors: track 1 holds 8,192 bytes, of which only the 5,120 of
  // the directory area are read and walked.
  DiskBuilder disk = DiskBuilder::Standard("D", 4, 16, 2);
  for (int j = 0; j < 400; ++j) disk.SetEntry(j, {"F", 2, 1, 2, 1, 1}, 16);
  Open(disk.Build());
  ExtractDisk(0);
  const std::string report = Report();
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1 + 320);
  EXPECT_EQ(Bytes(extractor->DirectoryArea(), extractor->DirectoryArea() + 5120),
            disk.Collect(1, 1, 5120));
}

TEST_F(ExtractorTest, ABrokenRunKeepsItsSizeAndNoBytesOfAnotherFile) {
  DiskBuilder disk = DiskBuilder::Standard("D", 4);
  disk.SetEntry(0, {"FIRST", 2, 1, 2, 4, 1024});
  disk.SetEntry(1, {"BROKEN", 3, 1, 3, 4, 1024});
  disk.Sector(3, 2).data.resize(100);  // ends the run, after its 100 bytes
  Open(disk.Build());
  ExtractDisk(0);
  Bytes expected = disk.Collect(3, 1, 356);
  expected.resize(1024, 0);
  EXPECT_EQ(Files()["BROKEN"], AsString(expected));
  EXPECT_EQ(Files()["FIRST"], AsString(disk.Collect(2, 1, 1024)));
  EXPECT_EQ(Errors(),
            "d88extract: ./BROKEN: run of sectors broke: 256 bytes read, 1024 bytes written, the "
            "rest zeros\n");
  EXPECT_FALSE(host.HadFailure());
}

TEST_F(ExtractorTest, DataPastTheEndOfTheImageIsZeros) {
  // The last file's second sector runs 200 bytes past the end of the image;
  // the file before it filled the transfer buffer with its own bytes.
  DiskBuilder disk = DiskBuilder::Standard("D", 4);
  disk.SetEntry(0, {"FIRST", 2, 1, 2, 4, 1024});
  disk.SetEntry(1, {"LAST", 3, 15, 3, 16, 512});
  Bytes file = disk.Build();
  file.resize(file.size() - 200);
  Open(file);
  ExtractDisk(0);
  Bytes expected = disk.Collect(3, 15, 312);
  expected.resize(512, 0);
  EXPECT_EQ(Files()["LAST"], AsString(expected));
  EXPECT_EQ(Errors(), "");
}

TEST_F(ExtractorTest, MissingFirstSectorCreatesNoFile) {
  DiskBuilder disk = DiskBuilder::Standard("D", 4);
  disk.SetEntry(0, {"GONE", 9, 1, 9, 2, 512});
  Open(disk.Build());
  ExtractDisk(0);
  EXPECT_NE(Report().find("GONE     START:09 01"), std::string::npos);
  EXPECT_TRUE(Files().empty());
}

TEST_F(ExtractorTest, BootDisksYieldTheirSystemAreas) {
  for (int sectorsPerTrack : {16, 8}) {
    SCOPED_TRACE(sectorsPerTrack);
    DiskBuilder disk = DiskBuilder::Standard("SYS", 12, sectorsPerTrack);
    disk.SetEntry(0, {"     ", 0, 0, 0, 0, 1}, sectorsPerTrack);
    Open(disk.Build());
    ClearFiles();
    ExtractDisk(0);
    EXPECT_EQ(Report(), "N=1, Sec/Trk = " + std::to_string(sectorsPerTrack) +
                            ", secsize = 0x0100, trksize = 0x" +
                            (sectorsPerTrack == 16 ? "1000" : "0800") + "\n");
    std::map<std::string, std::string> expected = {
        {"BIOS", AsString(disk.Collect(2, 1, 8192, sectorsPerTrack))},
        {"SEDAT", AsString(disk.Collect(3, 1, 4096, sectorsPerTrack))},
    };
    // With 8 sectors a track there is no sector 9 for SS000 to start at.
    if (sectorsPerTrack == 16) expected["SS000"] = AsString(disk.Collect(3, 9, 1280));
    EXPECT_EQ(Files(), expected);
  }
}

TEST_F(ExtractorTest, TwoDDBiosDisksYieldSS039) {
  for (int mediaType : {0x10, 0x00, 0x20}) {
    SCOPED_TRACE(mediaType);
    DiskBuilder disk = DiskBuilder::Standard("2DD", 12);
    disk.mediaType = static_cast<uint8_t>(mediaType);
    disk.SetEntry(0, {"BIOSX", 2, 1, 2, 1, 16});
    disk.SetEntry(1, {"BIOS2", 2, 2, 2, 2, 16});
    disk.SetEntry(2, {"BIOS3", 2, 3, 2, 3, 16});
    Open(disk.Build());
    ClearFiles();
    ExtractDisk(0);
    std::map<std::string, std::string> files = Files();
    EXPECT_EQ(files.size(), mediaType == 0x10 ? 4u : 3u);
    if (mediaType == 0x10) {
      EXPECT_EQ(files["SS039"], AsString(disk.Collect(10, 9, 1072)));
    }
    EXPECT_EQ(files["BIOS2"], AsString(disk.Collect(2, 2, 16)));
  }
}

TEST_F(ExtractorTest, AnAreaWithoutItsFirstSectorIsSkippedAndTheOthersTried) {
  DiskBuilder disk = DiskBuilder::Standard("SYS", 12);
  disk.SetEntry(0, {"     ", 0, 0, 0, 0, 1});
  disk.Sector(2, 1).r = 99;  // BIOS starts here
  Open(disk.Build());
  ExtractDisk(0);
  const std::map<std::string, std::string> files = Files();
  EXPECT_EQ(files.count("BIOS"), 0u);
  EXPECT_EQ(files.at("SEDAT"), AsString(disk.Collect(3, 1, 4096)));
  EXPECT_EQ(files.at("SS000"), AsString(disk.Collect(3, 9, 1280)));
}

}  // namespace
}  // namespace d88test
