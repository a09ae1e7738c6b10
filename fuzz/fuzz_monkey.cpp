// Monkey's Audio with the ID3v2, ID3v1 and APE tags it reads.
#include "fuzz_input.h"
#include "metadata/monkey.h"

using namespace tunelet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WithInput(data, size, [](platform::ReadableFile& f, TrackInfo&) {
    TMonkey monkey;
    monkey.LoadFromFile(f);
  });
  return 0;
}
