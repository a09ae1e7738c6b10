// Shared helpers of the container reader tests.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/text.h"
#include "metadata/memory_file.h"
#include "model/track_info.h"

namespace container_builders {

// Runs reader(file, info) over bytes in memory and returns the record.
template <typename Reader>
tunelet::TrackInfo ReadBytes(const std::vector<uint8_t>& bytes, Reader reader, bool* result = nullptr) {
  tunelet::TrackInfo info;
  tunelet::MemoryFile f(bytes);
  const bool r = reader(f, info);
  if (result) *result = r;
  return info;
}

inline std::vector<uint8_t> FileBytes(const tunelet::OptText& path) {
  if (!path) return {};
  std::ifstream in(tunelet::Utf16ToUtf8(*path), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline std::u16string U(const tunelet::OptText& t) { return t ? *t : u"<absent>"; }

}  // namespace container_builders
