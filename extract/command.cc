#include "extract/command.h"

#include <cstdio>
#include <cstring>

namespace d88 {

namespace {

// "Cannot open the file" in Shift-JIS, as users of these disks read it.
constexpr char kOpenFailure[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xC5\x82\xAB"
    "\x82\xDC\x82\xB9\x82\xF1\n";

}  // namespace

int RunCommand(int argc, char* argv[], DiskExtractor& extractor) {
  D88Image& image = extractor.Image();
  HostOutput& output = extractor.Output();
  std::FILE* report = extractor.Report();

  if (argc < 2) {
    // A program started with an empty argument list has no name to show.
    const char* invokedAs = argc > 0 && argv[0] != nullptr ? argv[0] : "d88extract";
    std::fprintf(output.Errors(), "Usage: %s [d88file] [-d]\n", invokedAs);
    return 1;
  }
  const bool makeDirs = !(argc >= 3 && std::strcmp(argv[2], "-d") == 0);
  if (!image.Open(argv[1])) {
    std::fputs(kOpenFailure, output.Errors());
    return 1;
  }

  const int32_t diskCount = image.DiskCount();
  for (int32_t i = 0; i < diskCount; ++i) {
    image.SelectDisk(i);
    if (makeDirs) {
      char directoryName[12];
      std::snprintf(directoryName, sizeof directoryName, "%03d", static_cast<int>(i));
      if (!output.EnterDiskDirectory(directoryName)) continue;
      std::fprintf(report, "\n[%s] -> %s\n", image.DiskName(), directoryName);
    } else {
      std::fprintf(report, "\n[%s]\n", image.DiskName());
    }
    extractor.ProbeGeometry();
    extractor.ReadDirectory();
    extractor.ExtractSystemAreas();
    extractor.ExtractDirectoryFiles();
    output.UseBaseDirectory();
  }
  return output.HadFailure() ? 2 : 0;
}

}  // namespace d88
