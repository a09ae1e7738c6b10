// Shared by the fuzz targets: the input as a file in memory, and clean-up of
// the cover files a reader may have written for it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "metadata/cover.h"
#include "metadata/memory_file.h"
#include "model/track_info.h"

namespace tunelet::fuzz {

// Runs f(file, info) over the input and forgets whatever it wrote.
template <typename F>
void WithInput(const uint8_t* data, size_t size, F&& f) {
  MemoryFile file(ByteSpan(data, size));
  TrackInfo info;
  f(file, info);
  DeleteTemporaryCovers();
}

}  // namespace tunelet::fuzz
