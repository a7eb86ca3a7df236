#include "d88_builder.h"

#include <cstdio>
#include <exception>
#include <stdexcept>

namespace d88test {

namespace {

void PutLe16(Bytes& out, size_t at, uint32_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(Bytes& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

Bytes Pattern(uint8_t seed, int t, int r, size_t size) {
  Bytes data(size);
  for (size_t i = 0; i < size; ++i) {
    data[i] = static_cast<uint8_t>(seed * 101 + t * 37 + r * 11 + i * 3 + (i >> 8));
  }
  const uint8_t marker[] = {0xD8, seed, static_cast<uint8_t>(t), static_cast<uint8_t>(r)};
  for (size_t i = 0; i < sizeof marker && i < size; ++i) data[i] = marker[i];
  return data;
}

Bytes RecordBytes(uint8_t c, uint8_t h, uint8_t r, uint8_t n, uint16_t sectorCount,
                  uint16_t dataSize) {
  Bytes record(16, 0);
  record[0] = c;
  record[1] = h;
  record[2] = r;
  record[3] = n;
  PutLe16(record, 4, sectorCount);
  PutLe16(record, 14, dataSize);
  return record;
}

Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot create " + path);
  const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
  if (std::fclose(file) != 0 || written != bytes.size()) {
    throw std::runtime_error("cannot write " + path);
  }
}

int GeneratorMain(int argc, char* argv[], const char* pathName,
                  void (*write)(const std::string& path)) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: %s %s\n", argv[0], pathName);
    return 1;
  }
  try {
    write(argv[1]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}

DiskBuilder::DiskBuilder(std::string name, uint8_t mediaType, uint8_t seed)
    : nameBytes(name.begin(), name.end()), mediaType(mediaType), seed(seed) {}

DiskBuilder DiskBuilder::Standard(std::string name, int trackCount, int sectorsPerTrack,
                                  int sizeCode, uint8_t seed) {
  DiskBuilder disk(std::move(name), 0, seed);
  for (int t = 0; t < trackCount; ++t) disk.FormatTrack(t, sectorsPerTrack, sizeCode);
  if (trackCount > 1) {
    for (SectorRecord& record : disk.Track(1)) record.data.assign(record.data.size(), 0xFF);
  }
  return disk;
}

DiskBuilder& DiskBuilder::FormatTrack(int t, int sectorsPerTrack, int sizeCode) {
  std::vector<SectorRecord>& track = tracks[t];
  track.clear();
  for (int r = 1; r <= sectorsPerTrack; ++r) {
    SectorRecord record;
    record.c = static_cast<uint8_t>(t / 2);
    record.h = static_cast<uint8_t>(t % 2);
    record.r = static_cast<uint8_t>(r);
    record.n = static_cast<uint8_t>(sizeCode);
    record.data = Pattern(seed, t, r, size_t{128} << sizeCode);
    track.push_back(record);
  }
  return *this;
}

SectorRecord& DiskBuilder::Sector(int t, int r) {
  for (SectorRecord& record : tracks.at(t)) {
    if (record.r == r) return record;
  }
  throw std::out_of_range("no such sector");
}

void DiskBuilder::Put(int t, int r, size_t offset, const Bytes& bytes, int sectorsPerTrack) {
  size_t done = 0;
  while (done < bytes.size()) {
    Bytes& data = Sector(t, r).data;
    if (offset < data.size()) {
      const size_t take = std::min(data.size() - offset, bytes.size() - done);
      std::copy(bytes.begin() + done, bytes.begin() + done + take, data.begin() + offset);
      done += take;
      offset = 0;
    } else {
      offset -= data.size();
    }
    if (r == sectorsPerTrack) {
      ++t;
      r = 1;
    } else {
      ++r;
    }
  }
}

Bytes DiskBuilder::Collect(int t, int r, size_t length, int sectorsPerTrack) const {
  Bytes out;
  while (out.size() < length) {
    auto track = tracks.find(t);
    const SectorRecord* found = nullptr;
    if (track != tracks.end()) {
      for (const SectorRecord& record : track->second) {
        if (record.r == r) {
          found = &record;
          break;
        }
      }
    }
    if (found == nullptr) break;
    const size_t take = std::min(found->data.size(), length - out.size());
    out.insert(out.end(), found->data.begin(), found->data.begin() + take);
    if (r == sectorsPerTrack) {
      ++t;
      r = 1;
    } else {
      ++r;
    }
  }
  out.resize(length, 0);
  return out;
}

void DiskBuilder::SetEntryBytes(int j, const Bytes& sixteenBytes, int sectorsPerTrack) {
  Put(1, 1, static_cast<size_t>(j) * 16, sixteenBytes, sectorsPerTrack);
}

void DiskBuilder::SetEntry(int j, const DirectoryEntry& entry, int sectorsPerTrack) {
  Bytes bytes(16, 0);
  for (size_t i = 0; i < entry.name.size() && i < 6; ++i) bytes[i] = entry.name[i];
  bytes[7] = entry.mark;
  PutLe16(bytes, 10, entry.length - 1);
  bytes[12] = static_cast<uint8_t>(entry.startTrack);
  bytes[13] = static_cast<uint8_t>(entry.startSector);
  bytes[14] = static_cast<uint8_t>(entry.endTrack);
  bytes[15] = static_cast<uint8_t>(entry.endSector);
  SetEntryBytes(j, bytes, sectorsPerTrack);
}

Bytes DiskBuilder::Build() const {
  Bytes out(0x2B0, 0);
  for (size_t i = 0; i < nameBytes.size() && i < 17; ++i) out[i] = nameBytes[i];
  out[0x1B] = mediaType;
  for (const auto& [t, records] : tracks) {
    PutLe32(out, 0x20 + 4 * t, static_cast<uint32_t>(out.size()));
    if (auto prefix = trackPrefixes.find(t); prefix != trackPrefixes.end()) {
      out.insert(out.end(), prefix->second.begin(), prefix->second.end());
    }
    for (const SectorRecord& record : records) {
      const Bytes header =
          RecordBytes(record.c, record.h, record.r, record.n,
                      record.sectorCount.value_or(static_cast<uint16_t>(records.size())),
                      record.dataSize.value_or(static_cast<uint16_t>(record.data.size())));
      out.insert(out.end(), header.begin(), header.end());
      out.insert(out.end(), record.data.begin(), record.data.end());
    }
    if (auto suffix = trackSuffixes.find(t); suffix != trackSuffixes.end()) {
      out.insert(out.end(), suffix->second.begin(), suffix->second.end());
    }
  }
  for (const auto& [t, offset] : trackOffsetOverrides) PutLe32(out, 0x20 + 4 * t, offset);
  PutLe32(out, 0x1C, diskSizeField.value_or(static_cast<uint32_t>(out.size())));
  return out;
}

}  // namespace d88test
