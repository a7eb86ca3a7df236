// The bundled sample image, samples/sample.d88, as the project builds it.
#ifndef D88EXTRACT_TESTS_SAMPLE_IMAGE_H_
#define D88EXTRACT_TESTS_SAMPLE_IMAGE_H_

#include "d88_builder.h"

namespace d88test {

// Two disks: a system disk whose directory begins with five spaces (so its
// BIOS, SEDAT and SS000 areas are saved), holding a small text file, a file
// that spans two tracks, a vacant and a K-marked entry; and a 2DD disk whose
// directory begins BIOS, BIOS2, BIOS3 (so its SS039 area is saved).
std::vector<DiskBuilder> SampleDisks();
Bytes BuildSampleImage();

}  // namespace d88test

#endif  // D88EXTRACT_TESTS_SAMPLE_IMAGE_H_
