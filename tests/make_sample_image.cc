// Writes the bundled sample image: make_sample_image samples/sample.d88
#include <cstdio>
#include <exception>

#include "sample_image.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: %s OUTPUT.d88\n", argv[0]);
    return 1;
  }
  try {
    d88test::WriteBytes(argv[1], d88test::BuildSampleImage());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
