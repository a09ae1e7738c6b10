// RIFF/WAVE and WavPack (with its APE and ID3v1 tags).
#include "fuzz_input.h"
#include "metadata/riff.h"

using namespace tunelet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WithInput(data, size, [](platform::ReadableFile& f, TrackInfo& info) { ReadRiffInfo(f, info); });
  return 0;
}
