#include <cstddef>
#include <cstdint>

#include "metadata/picture_size.h"

using namespace tunelet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (const auto picture = ReadPictureSize(ByteSpan(data, size))) (void)CoverSizeAllowed(*picture);
  return 0;
}
