// Writes the bundled sample image: make_sample_image samples/sample.d88
#include "sample_image.h"

int main(int argc, char* argv[]) {
  return d88test::GeneratorMain(argc, argv, "OUTPUT.d88", [](const std::string& path) {
    d88test::WriteBytes(path, d88test::BuildSampleImage());
  });
}
