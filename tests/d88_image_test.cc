// The D88 reader on images built in code: the disk index, disk selection,
// sector search, runs across tracks and track identifier listings.
#include "image/d88_image.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <random>

#include "d88_builder.h"
#include "test_support.h"

namespace d88test {
namespace {

using d88::D88Image;

class ReaderTest : public ::testing::Test {
 protected:
  // Opens `bytes` as an image file.
  D88Image& Open(const Bytes& bytes) {
    WriteBytes(scratch / "image.d88", bytes);
    EXPECT_TRUE(image.Open((scratch / "image.d88").c_str()));
    return image;
  }
  D88Image& OpenDisk(const DiskBuilder& disk) {
    Open(disk.Build());
    EXPECT_TRUE(image.SelectDisk(0));
    return image;
  }

  TempDir scratch;
  D88Image image;
};

TEST_F(ReaderTest, DecodesLittleEndianByteByByte) {
  const uint8_t bytes[] = {0x78, 0x56, 0x34, 0xF2};
  EXPECT_EQ(D88Image::ReadLe32(bytes), 0xF2345678u);
  EXPECT_EQ(D88Image::ReadLe16(bytes + 2), 0xF234u);
}

TEST_F(ReaderTest, OpenFailsOnlyWhenTheFileCannotBeOpened) {
  EXPECT_FALSE(image.Open((scratch / "missing.d88").c_str()));
  EXPECT_EQ(image.DiskCount(), 0);
  EXPECT_FALSE(image.SelectDisk(0));
}

Bytes Header(uint32_t size) {
  DiskBuilder disk("H");
  disk.diskSizeField = size;
  return disk.Build();
}

TEST_F(ReaderTest, IndexesDisksBySizeFields) {
  const Bytes one = DiskBuilder::Standard("ONE", 2).Build();
  const Bytes two = DiskBuilder::Standard("TWO", 2).Build();
  std::vector<Bytes> sixtyFive(65, Header(0x2B0));
  struct Case {
    const char* what;
    Bytes file;
    int disks;
  } cases[] = {
      {"shorter than a header", Bytes(687, 0), 0},
      {"one disk", one, 1},
      {"two disks", Concat({one, two}), 2},
      {"687 trailing bytes ignored", Concat({one, Bytes(687, 0xAA)}), 1},
      {"688 trailing bytes are a disk", Concat({one, Bytes(688, 0xAA)}), 2},
      {"size 0 repeats the header", Header(0), 64},
      {"more than 64 disks", Concat(sixtyFive), 64},
      {"size 2^31 points past the file", Concat({Header(0x80000000u), one}), 1},
      {"size 2^32 - 1 points past the file", Concat({Header(0xFFFFFFFFu), one}), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    D88Image fresh;
    WriteBytes(scratch / "image.d88", c.file);
    ASSERT_TRUE(fresh.Open((scratch / "image.d88").c_str()));
    EXPECT_EQ(fresh.DiskCount(), c.disks);
  }
}

TEST_F(ReaderTest, SelectsDisksInFileOrder) {
  DiskBuilder first = DiskBuilder::Standard("FIRST", 2);
  DiskBuilder second = DiskBuilder::Standard("SECOND", 2);
  second.mediaType = 0x20;
  Open(Concat({first.Build(), second.Build()}));
  EXPECT_STREQ(image.DiskName(), "");
  EXPECT_EQ(image.MediaType(), -1);

  ASSERT_TRUE(image.SelectDisk(1));
  EXPECT_STREQ(image.DiskName(), "SECOND");
  EXPECT_EQ(image.MediaType(), 32);
  ASSERT_TRUE(image.SelectDisk(0));
  EXPECT_STREQ(image.DiskName(), "FIRST");
  EXPECT_EQ(image.MediaType(), 0);

  for (int bad : {2, -1, 64}) {
    EXPECT_FALSE(image.SelectDisk(bad));
    EXPECT_STREQ(image.DiskName(), "");
    EXPECT_EQ(image.MediaType(), -1);
    uint8_t ids[64];
    EXPECT_EQ(image.ReadTrackIds(0, ids, sizeof ids), 0);
  }
}

TEST_F(ReaderTest, AHeaderThatNoLongerReadsWholeLeavesNoDiskCurrent) {
  const Bytes first = DiskBuilder::Standard("FIRST", 20).Build();  // past the first 64 KiB
  Open(Concat({first, DiskBuilder::Standard("SECOND", 2).Build()}));
  ASSERT_EQ(image.DiskCount(), 2);
  ASSERT_TRUE(image.SelectDisk(0));
  // The file shrinks during the run, cutting the second disk's header.
  ASSERT_EQ(truncate((scratch / "image.d88").c_str(), first.size() + 100), 0);
  EXPECT_FALSE(image.SelectDisk(1));
  EXPECT_STREQ(image.DiskName(), "");
  EXPECT_EQ(image.MediaType(), -1);
  uint8_t ids[64];
  EXPECT_EQ(image.ReadTrackIds(1, ids, sizeof ids), 0);
  EXPECT_TRUE(image.SelectDisk(0));
  EXPECT_STREQ(image.DiskName(), "FIRST");
}

TEST_F(ReaderTest, DiskNamesStopAtZeroAndAtSixteenBytes) {
  DiskBuilder full("");
  full.nameBytes = Text("ABCDEFGHIJKLMNOPQ");  // 17 bytes: the 17th is never read
  DiskBuilder shortName("");
  shortName.nameBytes = {'A', 'B', 'C', 'D', 'E', 0, 'X', 'Y'};
  Open(Concat({full.Build(), shortName.Build()}));
  ASSERT_TRUE(image.SelectDisk(0));
  EXPECT_STREQ(image.DiskName(), "ABCDEFGHIJKLMNOP");
  ASSERT_TRUE(image.SelectDisk(1));
  EXPECT_STREQ(image.DiskName(), "ABCDE");
}

TEST_F(ReaderTest, TracksOutsideTheDiskAreNotReadable) {
  DiskBuilder disk = DiskBuilder::Standard("D", 4);
  disk.trackOffsetOverrides[2] = 0;           // absent
  disk.trackOffsetOverrides[3] = 0x7FFFFFF0;  // past the disk size
  OpenDisk(disk);
  uint8_t buffer[256];
  for (int track : {2, 3, 164, -1, 1000}) {
    SCOPED_TRACE(track);
    EXPECT_EQ(image.ReadSector(track, track / 2, track % 2, 1, 1, buffer, 256), 0);
    EXPECT_EQ(image.ReadSectors(track, track / 2, track % 2, 1, 1, buffer, 256), 0);
    EXPECT_EQ(image.ReadTrackIds(track, buffer, 64), 0);
  }
  EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), 256);
}

TEST_F(ReaderTest, OffsetsOfTwoToTheThirtyFirstAndMorePointPastTheFile) {
  DiskBuilder disk = DiskBuilder::Standard("D", 4);
  disk.diskSizeField = 0xFFFFFFFFu;
  disk.trackOffsetOverrides[2] = 0x80000000u;
  disk.trackOffsetOverrides[3] = 0xFFFFFFFFu;
  OpenDisk(disk);
  uint8_t buffer[256];
  for (int track : {2, 3}) {
    SCOPED_TRACE(track);
    EXPECT_EQ(image.ReadSector(track, track / 2, track % 2, 1, 1, buffer, 256), 0);
    EXPECT_EQ(image.ReadTrackIds(track, buffer, 64), 0);
  }
  EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), 256);
}

TEST_F(ReaderTest, TrackAtExactlyTheDiskSizeIsReadable) {
  DiskBuilder disk("D");
  disk.FormatTrack(0, 1);
  disk.diskSizeField = 0x2B0;  // the track's own offset
  OpenDisk(disk);
  uint8_t buffer[256];
  EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), 256);
  EXPECT_EQ(Bytes(buffer, buffer + 256), Pattern(0, 0, 1, 256));
}

TEST_F(ReaderTest, SectorSearchFollowsTheRecordsRules) {
  DiskBuilder disk("D");
  std::vector<SectorRecord>& track = disk.Track(0);
  auto record = [](uint8_t r, uint8_t n, uint8_t fill, size_t size) {
    SectorRecord s;
    s.r = r;
    s.n = n;
    s.data = Bytes(size, fill);
    return s;
  };
  track = {record(1, 1, 0x11, 256), record(2, 2, 0x22, 512), record(3, 1, 0x33, 256),
           record(3, 1, 0x34, 256), record(4, 1, 0x44, 128)};
  OpenDisk(disk);
  uint8_t buffer[600];
  struct Case {
    const char* what;
    int r, n, capacity, expected;
    uint8_t fill;
  } cases[] = {
      {"first sector", 1, 1, 256, 256, 0x11},
      {"size code must match too", 2, 1, 256, 0, 0},
      {"whole larger sector", 2, 2, 600, 512, 0x22},
      {"first of two equal identifiers wins", 3, 1, 256, 256, 0x33},
      {"capacity lowers the count", 1, 1, 100, 100, 0x11},
      {"short record gives what it holds", 4, 1, 256, 128, 0x44},
      {"absent sector", 9, 1, 256, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(image.ReadSector(0, 0, 0, c.r, c.n, buffer, c.capacity), c.expected);
    for (int i = 0; i < c.expected; ++i) ASSERT_EQ(buffer[i], c.fill);
    EXPECT_EQ(buffer[c.expected], 0xEE);
  }
}

TEST_F(ReaderTest, SectorSearchStopsAtCountZeroAndAtItsOwnCount) {
  DiskBuilder disk = DiskBuilder::Standard("D", 3, 4);
  disk.Sector(0, 2).sectorCount = 0;  // the walk ends here, before comparing
  disk.Sector(2, 2).sectorCount = 2;  // position 1 with a count of 2: the last one examined
  OpenDisk(disk);
  uint8_t buffer[256];
  EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), 256);
  EXPECT_EQ(image.ReadSector(0, 0, 0, 2, 1, buffer, 256), 0);
  EXPECT_EQ(image.ReadSector(0, 0, 0, 3, 1, buffer, 256), 0);
  EXPECT_EQ(image.ReadSector(2, 1, 0, 2, 1, buffer, 256), 256);
  EXPECT_EQ(image.ReadSector(2, 1, 0, 3, 1, buffer, 256), 0);
  EXPECT_EQ(image.ReadSector(1, 0, 1, 4, 1, buffer, 256), 256);
}

TEST_F(ReaderTest, DataMissingAtTheEndOfTheFileLeavesTheBufferAsItWas) {
  Bytes file = DiskBuilder::Standard("D", 1, 1).Build();
  file.resize(file.size() - 56);  // the sector keeps 200 of its 256 bytes
  Open(file);
  ASSERT_TRUE(image.SelectDisk(0));
  uint8_t buffer[256];
  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(image.ReadSector(0, 0, 0, 1, 1, buffer, 256), 256);
  EXPECT_EQ(Bytes(buffer, buffer + 200), Bytes(Pattern(0, 0, 1, 200)));
  EXPECT_EQ(Bytes(buffer + 200, buffer + 256), Bytes(56, 0xEE));
}

TEST_F(ReaderTest, RunsContinueAcrossTracksWithinTheSectorRange) {
  DiskBuilder disk = DiskBuilder::Standard("D", 5);
  OpenDisk(disk);
  image.SetSectorRange(1, 16);
  Bytes buffer(17 * 256);
  // Track 1 (C 0, H 1) sectors 1 to 16, then track 2 (C 1, H 0) sector 1.
  EXPECT_EQ(image.ReadSectors(1, 0, 1, 1, 1, buffer.data(), 17 * 256), 17 * 256);
  EXPECT_EQ(buffer, disk.Collect(1, 1, 17 * 256));
  // Track 2 sector 16 continues at track 3 (C 1, H 1) sector 1.
  EXPECT_EQ(image.ReadSectors(2, 1, 0, 16, 1, buffer.data(), 512), 512);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 512), disk.Collect(2, 16, 512));
  // 600 bytes: two whole sectors and the front of a third.
  EXPECT_EQ(image.ReadSectors(3, 1, 1, 1, 1, buffer.data(), 600), 600);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 600), disk.Collect(3, 1, 600));
  EXPECT_EQ(image.ReadSectors(3, 1, 1, 1, 1, buffer.data(), 0), 0);
  EXPECT_EQ(image.ReadSectors(3, 1, 1, 1, 1, buffer.data(), -5), 0);
}

TEST_F(ReaderTest, ReadsAreWholeAcrossTheFilesBlocks) {
  // 40 tracks of 4,352 bytes: sectors straddle every 64 KiB boundary of the
  // file, and the image ends part way through the last sector's data.
  DiskBuilder disk = DiskBuilder::Standard("D", 40);
  Bytes file = disk.Build();
  file.resize(file.size() - 100);
  Open(file);
  ASSERT_TRUE(image.SelectDisk(0));
  image.SetSectorRange(1, 16);
  const int32_t length = 40 * 16 * 256;
  Bytes buffer(length, 0);
  EXPECT_EQ(image.ReadSectors(0, 0, 0, 1, 1, buffer.data(), length), length);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.end() - 100), disk.Collect(0, 1, length - 100));
  EXPECT_EQ(Bytes(buffer.end() - 100, buffer.end()), Bytes(100, 0));
}

TEST_F(ReaderTest, RunsFollowTheSectorRangeThatWasSet) {
  DiskBuilder disk = DiskBuilder::Standard("D", 4, 8);
  OpenDisk(disk);
  image.SetSectorRange(1, 8);
  Bytes buffer(10 * 256);
  EXPECT_EQ(image.ReadSectors(2, 1, 0, 7, 1, buffer.data(), 4 * 256), 4 * 256);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 1024), disk.Collect(2, 7, 1024, 8));
  // A run starting past the last sector never reaches the step to the next
  // track: it asks for sectors 9, 10, ... and ends at the first missing one.
  disk.FormatTrack(2, 10);
  OpenDisk(disk);
  image.SetSectorRange(1, 8);
  EXPECT_EQ(image.ReadSectors(2, 1, 0, 9, 1, buffer.data(), 10 * 256), 2 * 256);
}

TEST_F(ReaderTest, RunsStopAtTheFirstPieceThatCannotBeRead) {
  DiskBuilder disk = DiskBuilder::Standard("D", 3);
  disk.Sector(2, 3).data.resize(128);
  OpenDisk(disk);
  image.SetSectorRange(1, 16);
  Bytes buffer(1024, 0xEE);
  EXPECT_EQ(image.ReadSectors(2, 1, 0, 1, 1, buffer.data(), 1024), 512);
  // The sector that ended the run has still copied its 128 bytes.
  EXPECT_EQ(Bytes(buffer.begin() + 512, buffer.begin() + 640), Pattern(0, 2, 3, 128));
  EXPECT_EQ(buffer[640], 0xEE);
}

TEST_F(ReaderTest, LargeSizeCodesReadOnlyRequestsShorterThanTheRecord) {
  DiskBuilder disk("D");
  for (uint8_t n : {9, 23, 24, 31, 200, 255}) {
    SectorRecord record;
    record.r = 1;
    record.n = n;
    record.data = Bytes(300, n);
    disk.Track(0).push_back(record);
  }
  OpenDisk(disk);
  image.SetSectorRange(1, 16);
  for (int n : {9, 23, 24, 31, 200, 255}) {
    SCOPED_TRACE(n);
    Bytes buffer(400, 0xEE);
    EXPECT_EQ(image.ReadSectors(0, 0, 0, 1, n, buffer.data(), 300), 300);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 300), Bytes(300, n));
    EXPECT_EQ(buffer[300], 0xEE);
    EXPECT_EQ(image.ReadSectors(0, 0, 0, 1, n, buffer.data(), 301), 0);
  }
}

// Sector searches are answered from an index built by one walk of the
// track; these pin that the answers are the walk's, in whatever order the
// sectors are asked for.
TEST_F(ReaderTest, IndexedSearchesGiveTheWalksAnswers) {
  DiskBuilder disk("D");
  Bytes fillers;
  for (int i = 0; i < 3000; ++i) {
    const Bytes filler = RecordBytes(0xEE, 0xEE, 0xEE, 0xEE, 65535, 0);
    fillers.insert(fillers.end(), filler.begin(), filler.end());
  }
  auto sector = [](int t, uint8_t r, uint8_t fill, std::optional<uint16_t> count) {
    SectorRecord s;
    s.c = static_cast<uint8_t>(t / 2);
    s.h = static_cast<uint8_t>(t % 2);
    s.r = r;
    s.data = Bytes(256, fill);
    s.sectorCount = count;
    return s;
  };
  // Track 4: 3,000 fillers, then R1, R2 twice, R3 (the last record the walk
  // examines: position 3,003 with a count of 3,004), and R4 past the walk.
  disk.trackPrefixes[4] = fillers;
  disk.Track(4) = {sector(4, 1, 0x11, 9999), sector(4, 2, 0x21, 9999), sector(4, 2, 0x22, 9999),
                   sector(4, 3, 0x31, 3004), sector(4, 4, 0x41, 9999)};
  // Track 5: R1, then R2 with a count of 0, which ends the search, then R3.
  disk.Track(5) = {sector(5, 1, 0x51, 3), sector(5, 2, 0x52, 0), sector(5, 3, 0x53, 3)};
  OpenDisk(disk);

  struct Case {
    int track, r;
    int expected;
    uint8_t fill;
  } cases[] = {{4, 3, 256, 0x31}, {4, 4, 0, 0}, {4, 2, 256, 0x21}, {4, 1, 256, 0x11}, {4, 0, 0, 0},
               {4, 256, 0, 0},    {5, 3, 0, 0}, {5, 2, 0, 0},      {5, 1, 256, 0x51}};
  for (int pass = 0; pass < 2; ++pass) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "track " << c.track << " R" << c.r << " pass " << pass);
      uint8_t buffer[256] = {};
      EXPECT_EQ(image.ReadSector(c.track, c.track / 2, c.track % 2, c.r, 1, buffer, 256),
                c.expected);
      if (c.expected > 0) {
        EXPECT_EQ(buffer[255], c.fill);
      }
    }
  }
}

// The search as the format defines it, over the image's bytes in memory:
// the count it returns, and where the data it copies starts.
int32_t ReferenceSearch(const Bytes& file, uint64_t position, int c, int h, int r, int n,
                        int32_t capacity, uint64_t* data) {
  auto le16 = [&](uint64_t at) { return file[at] | file[at + 1] << 8; };
  for (int64_t i = 0;; ++i) {
    if (position + 16 > file.size()) return 0;
    const int count = le16(position + 4);
    if (count == 0) return 0;
    const int size = le16(position + 14);
    if (file[position] == c && file[position + 1] == h && file[position + 2] == r &&
        file[position + 3] == n) {
      *data = position + 16;
      return std::min(size, capacity);
    }
    position += 16 + size;
    if (i == count - 1) return 0;
  }
}

TEST_F(ReaderTest, SearchesAgreeWithTheDefinedWalkOnRandomTracks) {
  std::mt19937 random(20261211);
  auto pick = [&](int below) { return static_cast<int>(random() % below); };
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    DiskBuilder disk("R");
    for (int t = 0; t < 6; ++t) {
      const int records = pick(12);
      for (int k = 0; k < records; ++k) {
        SectorRecord record;
        // Few distinct values, so that identifiers repeat and often name the
        // track's own cylinder and head.
        record.c = static_cast<uint8_t>(pick(3) == 0 ? pick(4) : t / 2);
        record.h = static_cast<uint8_t>(pick(3) == 0 ? pick(3) : t % 2);
        record.r = static_cast<uint8_t>(1 + pick(5));
        record.n = static_cast<uint8_t>(pick(3));
        record.data = Bytes(static_cast<size_t>(pick(3) == 0 ? pick(300) : 128 << record.n),
                            static_cast<uint8_t>(k));
        const int countKind = pick(6);
        if (countKind == 0) record.sectorCount = 0;
        if (countKind == 1) record.sectorCount = static_cast<uint16_t>(1 + pick(records + 2));
        disk.Track(t).push_back(record);
      }
    }
    // Some tracks start inside others: at one of their records, or a few
    // bytes off one, so that walks cross, merge and run side by side.
    Bytes file = disk.Build();
    for (int overlap = pick(4); overlap > 0; --overlap) {
      uint64_t start = D88Image::ReadLe32(file.data() + 0x20 + 4 * pick(6));
      if (start == 0) continue;
      for (int skip = pick(6); skip > 0 && start + 16 <= file.size(); --skip) {
        start += 16 + D88Image::ReadLe16(file.data() + start + 14);
      }
      if (pick(3) == 0) start += pick(20);
      if (start < file.size()) disk.trackOffsetOverrides[pick(6)] = static_cast<uint32_t>(start);
    }
    file = disk.Build();
    Open(file);
    ASSERT_TRUE(image.SelectDisk(0));
    for (int query = 0; query < 200; ++query) {
      const int t = pick(6);
      const int c = pick(4) == 0 ? pick(4) : t / 2;
      const int h = pick(4) == 0 ? pick(2) : t % 2;
      const int r = pick(7);
      const int n = pick(3);
      const int32_t capacity = 1 + pick(600);
      const uint64_t start = D88Image::ReadLe32(file.data() + 0x20 + 4 * t);
      uint64_t data = 0;
      const int32_t expected =
          start == 0 ? 0 : ReferenceSearch(file, start, c, h, r, n, capacity, &data);
      Bytes buffer(600, 0);
      ASSERT_EQ(image.ReadSector(t, c, h, r, n, buffer.data(), capacity), expected)
          << "track " << t << " C" << c << " H" << h << " R" << r << " N" << n;
      for (int32_t i = 0; i < expected; ++i) {
        ASSERT_EQ(buffer[i], data + i < file.size() ? file[data + i] : 0) << "byte " << i;
      }
    }
  }
}

TEST_F(ReaderTest, RecordsNamingAnotherCylinderAreFoundByTheirOwnIdentifier) {
  // Copy-protected disks record sectors whose identifier names a cylinder
  // other than the track's.
  DiskBuilder disk("D");
  SectorRecord odd;
  odd.c = 0x50;
  odd.r = 1;
  odd.data = Bytes(256, 0x50);
  SectorRecord normal = odd;
  normal.c = 3;
  normal.data = Bytes(256, 0x03);
  disk.Track(6) = {odd, normal};
  OpenDisk(disk);
  uint8_t buffer[256];
  EXPECT_EQ(image.ReadSector(6, 3, 0, 1, 1, buffer, 256), 256);
  EXPECT_EQ(buffer[0], 0x03);
  EXPECT_EQ(image.ReadSector(6, 0x50, 0, 1, 1, buffer, 256), 256);
  EXPECT_EQ(buffer[0], 0x50);
  EXPECT_EQ(image.ReadSector(6, 0x51, 0, 1, 1, buffer, 256), 0);
}

TEST_F(ReaderTest, SearchesNeverAnswerFromAnotherDisk) {
  DiskBuilder first = DiskBuilder::Standard("A", 3, 16, 1, 1);
  DiskBuilder second = DiskBuilder::Standard("B", 3, 16, 1, 2);
  second.Track(2).erase(second.Track(2).begin());  // no sector 1 on track 2
  Open(Concat({first.Build(), second.Build()}));
  uint8_t buffer[256];
  for (int disk : {0, 1, 0}) {
    SCOPED_TRACE(disk);
    ASSERT_TRUE(image.SelectDisk(disk));
    EXPECT_EQ(image.ReadSector(2, 1, 0, 1, 1, buffer, 256), disk == 0 ? 256 : 0);
    EXPECT_EQ(image.ReadSector(2, 1, 0, 2, 1, buffer, 256), 256);
    EXPECT_EQ(Bytes(buffer, buffer + 256), (disk == 0 ? first : second).Collect(2, 2, 256));
  }
}

TEST_F(ReaderTest, TrackIdsListRecordsInOrderUpToTheCapacity) {
  DiskBuilder disk("D");
  disk.FormatTrack(0, 26);
  disk.FormatTrack(1, 4);
  disk.Sector(1, 2).sectorCount = 0;  // does not end this walk
  disk.FormatTrack(2, 5);
  disk.Sector(2, 3).sectorCount = 3;  // position 2 with a count of 3 ends it
  OpenDisk(disk);
  uint8_t ids[64];
  EXPECT_EQ(image.ReadTrackIds(0, ids, 64), 64);
  EXPECT_EQ(ids[60 + 2], 16);
  EXPECT_EQ(image.ReadTrackIds(1, ids, 64), 16);
  const uint8_t expected[] = {0, 1, 1, 1, 0, 1, 2, 1, 0, 1, 3, 1, 0, 1, 4, 1};
  EXPECT_EQ(std::memcmp(ids, expected, 16), 0);
  EXPECT_EQ(image.ReadTrackIds(2, ids, 64), 12);
  uint8_t small[8];
  std::memset(small, 0xEE, sizeof small);
  EXPECT_EQ(image.ReadTrackIds(0, small, 6), 4);  // never a partial identifier
  EXPECT_EQ(small[4], 0xEE);
}

}  // namespace
}  // namespace d88test
