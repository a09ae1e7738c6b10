#include "fuzz_input.h"
#include "metadata/mp4.h"

using namespace tunelet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WithInput(data, size, [](platform::ReadableFile& f, TrackInfo& info) { ReadMp4Atoms(f, info); });
  return 0;
}
