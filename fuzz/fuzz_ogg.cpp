#include "fuzz_input.h"
#include "metadata/ogg_vorbis.h"

using namespace tunelet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WithInput(data, size, [](platform::ReadableFile& f, TrackInfo&) {
    TOggVorbis ogg;
    if (ogg.LoadFromFile(f)) (void)ogg.Valid();
  });
  return 0;
}
