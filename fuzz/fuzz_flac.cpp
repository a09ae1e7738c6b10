// FLAC metadata (with the ID3 tags around it) and TFLACfile.
#include "fuzz_input.h"
#include "metadata/flac.h"

using namespace tunelet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WithInput(data, size, [](platform::ReadableFile& f, TrackInfo& info) {
    ReadFlacMetadata(f, info);
    TFLACfile flac;
    if (flac.LoadFromStream(f)) (void)flac.Bitrate();
  });
  return 0;
}
