// Shared by the fuzz targets: the input as a file in memory, clean-up of the
// cover files a reader may have written for it, and a folder of the target's
// own under the temporary folder for files it writes itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "common/text.h"
#include "metadata/cover.h"
#include "metadata/memory_file.h"
#include "model/track_info.h"
#include "platform/platform.h"

namespace tunelet::fuzz {

// Runs f(file, info) over the input and forgets whatever it wrote.
template <typename F>
void WithInput(const uint8_t* data, size_t size, F&& f) {
  MemoryFile file(ByteSpan(data, size));
  TrackInfo info;
  f(file, info);
  DeleteTemporaryCovers();
}

// "<temporary folder>tunelet-fuzz-<name>/", created; the temporary folder is
// TMPDIR, the scratch folder of the build tree under ctest.
inline std::u16string ScratchFolder(std::u16string_view name) {
  std::u16string folder = platform::TempFolder() + u"tunelet-fuzz-" + std::u16string(name) + u"/";
  std::filesystem::create_directories(Utf16ToUtf8(folder));
  return folder;
}

}  // namespace tunelet::fuzz
