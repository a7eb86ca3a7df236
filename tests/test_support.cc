#include "test_support.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace d88test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "d88test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}

std::optional<Bytes> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path) {
  std::optional<Bytes> bytes = ReadBytes(path);
  return bytes ? AsString(*bytes) : std::string();
}

std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string DrainStream(std::FILE* stream) {
  std::fflush(stream);
  std::rewind(stream);
  std::string text;
  for (int c; (c = std::fgetc(stream)) != EOF;) text.push_back(static_cast<char>(c));
  std::rewind(stream);
  if (ftruncate(fileno(stream), 0) != 0) throw std::runtime_error("cannot empty a stream");
  return text;
}

std::map<std::string, std::string> Tree(const std::string& root) {
  std::map<std::string, std::string> tree;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string relative = fs::relative(it->path(), root).string();
    const fs::file_status status = it->symlink_status();
    if (fs::is_symlink(status)) {
      tree[relative] = "<link>";
    } else if (fs::is_directory(status)) {
      tree[relative] = "<dir>";
    } else if (fs::is_regular_file(status)) {
      tree[relative] = ReadText(it->path().string());
    } else {
      tree[relative] = "<other>";
    }
  }
  return tree;
}

RunResult RunBinary(const std::vector<std::string>& arguments, const std::string& directory,
                    std::optional<uint64_t> fileSizeLimit, bool oneStream) {
  TempDir capture;
  const std::string outPath = capture / "out";
  const std::string errPath = capture / "err";
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0 || dup2(out, 1) < 0 || dup2(oneStream ? out : err, 2) < 0 ||
        dup2(in, 0) < 0 || chdir(directory.c_str()) != 0) {
      _exit(127);
    }
    if (fileSizeLimit) {
      const rlimit limit = {*fileSizeLimit, *fileSizeLimit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
    }
    execv(D88EXTRACT_BINARY, argv.data());
    _exit(127);
  }
  int wstatus = 0;
  while (waitpid(child, &wstatus, 0) < 0) {
  }
  RunResult result;
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  result.out = ReadText(outPath);
  result.err = ReadText(errPath);
  return result;
}

RunResult RunOnImage(const Bytes& image, const std::string& directory,
                     const std::vector<std::string>& extra, std::optional<uint64_t> fileSizeLimit) {
  TempDir imageDir;
  const std::string imagePath = imageDir / "image.d88";
  WriteBytes(imagePath, image);
  std::vector<std::string> arguments = {"d88extract", imagePath};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return RunBinary(arguments, directory, fileSizeLimit);
}

}  // namespace d88test
