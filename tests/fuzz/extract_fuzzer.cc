// Fuzz target: arbitrary bytes taken as a D88 image and run through the whole
// job (open, every disk, geometry probe, directory, system areas, every listed
// file) with output going into a scratch directory that is emptied for each
// input. Besides the sanitizers, it checks what reached the host: inside the
// scratch directory, only numbered directories and regular files of at most
// 65,536 bytes, never a link, and nothing at all outside it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "extract/command.h"

namespace {

namespace fs = std::filesystem;

// The largest file an image can produce: a directory entry of 65,536 bytes.
constexpr uintmax_t kLargestOutputFile = 65536;

struct Scratch {
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "d88fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    root = pattern;
    image = root + "/image.d88";
    out = root + "/out";
    sink = std::fopen("/dev/null", "w");
    if (sink == nullptr) std::abort();
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  std::string root;
  std::string image;
  std::string out;
  std::FILE* sink;
};

Scratch& TheScratch() {
  static Scratch scratch;
  return scratch;
}

void Fail(const char* what, const fs::path& path) {
  std::fprintf(stderr, "extract_fuzzer: %s: %s\n", what, path.c_str());
  std::abort();
}

void CheckOutput(const Scratch& scratch) {
  for (const fs::directory_entry& entry : fs::directory_iterator(scratch.root)) {
    const fs::path name = entry.path().filename();
    if (name != "image.d88" && name != "out") Fail("written outside the output directory", name);
  }
  for (auto it = fs::recursive_directory_iterator(scratch.out);
       it != fs::recursive_directory_iterator(); ++it) {
    const fs::file_status status = it->symlink_status();
    if (fs::is_directory(status)) {
      if (it.depth() != 0) Fail("a directory below a disk directory", it->path());
    } else if (fs::is_regular_file(status)) {
      if (it.depth() > 1) Fail("a file too deep", it->path());
      if (fs::file_size(it->path()) > kLargestOutputFile) Fail("a file too large", it->path());
    } else {
      Fail("neither a file nor a directory", it->path());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Scratch& scratch = TheScratch();
  std::FILE* image = std::fopen(scratch.image.c_str(), "wb");
  if (image == nullptr || std::fwrite(data, 1, size, image) != size || std::fclose(image) != 0) {
    std::abort();
  }
  if (mkdir(scratch.out.c_str(), 0755) != 0) std::abort();
  const int outDirectory = open(scratch.out.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (outDirectory < 0) std::abort();

  {
    // A fresh reader and fresh buffers, so that every input runs alone.
    auto reader = std::make_unique<d88::D88Image>();
    d88::HostOutput output(scratch.sink, outDirectory);
    auto extractor = std::make_unique<d88::DiskExtractor>(*reader, output, scratch.sink);
    // Odd-sized inputs run with -d, so both ways of writing are explored.
    char program[] = "d88extract";
    char flat[] = "-d";
    char* argv[] = {program, scratch.image.data(), size % 2 == 1 ? flat : nullptr, nullptr};
    const int status = d88::RunCommand(size % 2 == 1 ? 3 : 2, argv, *extractor);
    if (status != 0 && status != 2) std::abort();
  }
  close(outDirectory);
  CheckOutput(scratch);
  std::error_code ignored;
  fs::remove_all(scratch.out, ignored);
  return 0;
}
