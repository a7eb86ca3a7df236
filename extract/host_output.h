// The one module that writes to the host file system.
//
// Everything the extractor creates, the numbered disk directories and every
// output file, is created here, and the rules that keep a damaged or hostile
// image from hurting the user's file system live here too:
//  - a name from a disk's directory becomes one file name inside the output
//    directory, never a path ('/' becomes '_', "." and ".." become "_" and
//    "__"), and an empty name is not written;
//  - whatever already stands at an output name (a file, a symbolic link, a
//    FIFO) is removed and a new file is created in its place, so nothing is
//    ever written through a link;
//  - a file that cannot be written completely is removed again;
//  - directories are reached through descriptors, never by changing the
//    process's working directory, so every disk starts from the same place.
// Each refusal prints one line on the error stream and marks the run as
// failed, which turns into exit status 2.
#ifndef D88EXTRACT_EXTRACT_HOST_OUTPUT_H_
#define D88EXTRACT_EXTRACT_HOST_OUTPUT_H_

#include <fcntl.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace d88 {

// The file name under which a directory entry's name is written.
std::string SafeFileName(const std::string& name);

class HostOutput {
 public:
  // Output goes below `baseDirectory` (a directory descriptor, or AT_FDCWD
  // for the current directory); messages go to `errors`.
  explicit HostOutput(std::FILE* errors, int baseDirectory = AT_FDCWD);
  ~HostOutput();
  HostOutput(const HostOutput&) = delete;
  HostOutput& operator=(const HostOutput&) = delete;

  // Creates the directory `name` below the base directory unless it exists
  // (an existing one, or a link to one, is used again) and sends the files
  // that follow there. False, with a message, when it cannot be created or
  // entered.
  bool EnterDiskDirectory(const char* name);
  // Sends the files that follow to the base directory itself.
  void UseBaseDirectory();

  // Writes `length` bytes of `data` as the file `name`. `entryIndex` is the
  // directory entry the name comes from, for messages (-1 for the fixed
  // system areas). False, with a message, when nothing was written.
  bool WriteFile(const char* name, int entryIndex, const uint8_t* data, size_t length);

  // A line on the error stream about file `name` in the current directory.
  void NoteAboutFile(const std::string& name, const char* format, ...)
      __attribute__((format(printf, 3, 4)));

  std::FILE* Errors() { return errors; }

  // True once any output could not be written.
  bool HadFailure() const { return failed; }

 private:
  // One line on the error stream, after the report so far.
  void Message(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void CannotWrite(const std::string& name, int error);
  void CloseDiskDirectory();
  // The current output directory as messages name it: "000" or ".".
  const char* Location() const { return location.c_str(); }

  std::FILE* errors;
  int baseDirectory;
  int directory;  // where files go now: baseDirectory or an opened disk directory
  std::string location = ".";
  bool failed = false;
};

}  // namespace d88

#endif  // D88EXTRACT_EXTRACT_HOST_OUTPUT_H_
