// Helpers for the tests: scratch directories, whole-file reads, and runs of
// the built d88extract binary with captured output.
#ifndef D88EXTRACT_TESTS_TEST_SUPPORT_H_
#define D88EXTRACT_TESTS_TEST_SUPPORT_H_

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "d88_builder.h"

namespace d88test {

// A fresh directory under the system's temporary directory, removed with
// everything in it (links are removed, not followed) when this goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path; }
  std::string operator/(const std::string& name) const { return path + "/" + name; }

 private:
  std::string path;
};

std::optional<Bytes> ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);

// Every entry below `root` by relative path: regular files with their bytes,
// directories as "<dir>", links as "<link>", anything else as "<other>".
std::map<std::string, std::string> Tree(const std::string& root);
std::string AsString(const Bytes& bytes);
// Everything written so far to `stream` (a temporary file), which is then
// emptied for what follows.
std::string DrainStream(std::FILE* stream);

struct RunResult {
  int status = -1;  // exit status, or -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// Runs the binary with `arguments` (argument 0 included) in `directory`.
// `fileSizeLimit`, when set, is the limit in bytes on files it writes; with
// `oneStream`, standard error goes to the same file as standard output.
RunResult RunBinary(const std::vector<std::string>& arguments, const std::string& directory,
                    std::optional<uint64_t> fileSizeLimit = std::nullopt, bool oneStream = false);

// Runs d88extract on `image` (written into a scratch place of its own) in
// `directory`, with extra arguments after the image path.
RunResult RunOnImage(const Bytes& image, const std::string& directory,
                     const std::vector<std::string>& extra = {},
                     std::optional<uint64_t> fileSizeLimit = std::nullopt);

}  // namespace d88test

#endif  // D88EXTRACT_TESTS_TEST_SUPPORT_H_
