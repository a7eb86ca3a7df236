// d88extract IMAGE [-d]: writes the files of every disk in a D88 image.
#include <csignal>
#include <cstdio>

#include "extract/command.h"

namespace {

// One image, one output and one set of working buffers for the whole run.
d88::D88Image image;
d88::HostOutput output(stderr);
d88::DiskExtractor extractor(image, output, stdout);

}  // namespace

int main(int argc, char* argv[]) {
  // A write past the file-size limit then fails with an error the program
  // reports, instead of killing it with a half-written file.
  std::signal(SIGXFSZ, SIG_IGN);
  return d88::RunCommand(argc, argv, extractor);
}
