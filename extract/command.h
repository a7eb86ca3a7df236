// The command line and the loop over the disks of an image.
#ifndef D88EXTRACT_EXTRACT_COMMAND_H_
#define D88EXTRACT_EXTRACT_COMMAND_H_

#include "extract/disk_extractor.h"

namespace d88 {

// Runs `d88extract IMAGE [-d]` with the extractor's image, output and report
// and returns the exit status: 1 when the run could not start, 2 when some
// output could not be written, 0 otherwise.
int RunCommand(int argc, char* argv[], DiskExtractor& extractor);

}  // namespace d88

#endif  // D88EXTRACT_EXTRACT_COMMAND_H_
