#include "extract/host_output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>

namespace d88 {

namespace {

constexpr const char* kProgram = "d88extract";

// Writes all of `data` or reports why not (errno is then set).
bool WriteAll(int fd, const uint8_t* data, size_t length) {
  while (length > 0) {
    const ssize_t written = write(fd, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    length -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

std::string SafeFileName(const std::string& name) {
  if (name == ".") return "_";
  if (name == "..") return "__";
  std::string safe = name;
  for (char& byte : safe) {
    if (byte == '/') byte = '_';
  }
  return safe;
}

HostOutput::HostOutput(std::FILE* errors, int baseDirectory)
    : errors(errors), baseDirectory(baseDirectory), directory(baseDirectory) {}

HostOutput::~HostOutput() { CloseDiskDirectory(); }

void HostOutput::CloseDiskDirectory() {
  if (directory != baseDirectory) close(directory);
  directory = baseDirectory;
  location = ".";
}

bool HostOutput::EnterDiskDirectory(const char* name) {
  CloseDiskDirectory();
  if (mkdirat(baseDirectory, name, 0777) != 0 && errno != EEXIST) {
    Message("%s: cannot create directory: %s; disk skipped", name, std::strerror(errno));
    failed = true;
    return false;
  }
  // The numbered directories are the program's own names, not the image's:
  // a user who made one a link to a directory elsewhere is followed there.
  const int opened = openat(baseDirectory, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (opened < 0) {
    Message("%s: cannot enter directory: %s; disk skipped", name, std::strerror(errno));
    failed = true;
    return false;
  }
  directory = opened;
  location = name;
  return true;
}

void HostOutput::UseBaseDirectory() { CloseDiskDirectory(); }

void HostOutput::Message(const char* format, ...) {
  // The report waiting on standard output goes first, so that a log taking
  // both streams shows each message after the lines it is about.
  std::fflush(nullptr);
  std::fprintf(errors, "%s: ", kProgram);
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(errors, format, arguments);
  va_end(arguments);
  std::fputc('\n', errors);
}

void HostOutput::NoteAboutFile(const std::string& name, const char* format, ...) {
  char detail[256];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(detail, sizeof detail, format, arguments);
  va_end(arguments);
  Message("%s/%s: %s", Location(), name.c_str(), detail);
}

void HostOutput::CannotWrite(const std::string& name, int error) {
  NoteAboutFile(name, "cannot write: %s", std::strerror(error));
  failed = true;
}

bool HostOutput::WriteFile(const char* name, int entryIndex, const uint8_t* data, size_t length) {
  if (name[0] == '\0') {
    Message("%s: entry %d has an empty name; not written", Location(), entryIndex);
    failed = true;
    return false;
  }
  const std::string safe = SafeFileName(name);
  if (safe != name) {
    Message("%s: entry %d \"%s\" written as \"%s\"", Location(), entryIndex, name, safe.c_str());
  }

  // Whatever stands at the name goes first and the file is then created
  // exclusively: a link, FIFO or device left there is replaced, never
  // written through. A directory in the way stays and the file is refused.
  if (unlinkat(directory, safe.c_str(), 0) != 0 && errno != ENOENT) {
    CannotWrite(safe, errno);
    return false;
  }
  const int fd =
      openat(directory, safe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    CannotWrite(safe, errno);
    return false;
  }
  bool complete = WriteAll(fd, data, length);
  int savedErrno = errno;
  if (close(fd) != 0 && complete) {
    complete = false;
    savedErrno = errno;
  }
  if (!complete) {
    // A file cut short would pass for the real thing: take it away.
    unlinkat(directory, safe.c_str(), 0);
    CannotWrite(safe, savedErrno);
    return false;
  }
  return true;
}

}  // namespace d88
