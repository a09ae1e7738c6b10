// Small helpers shared by the container readers (ASF, MP4, FLAC, RIFF).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_reader.h"
#include "platform/platform.h"

namespace tunelet::container {

// Reads exactly n bytes at offset; an empty result when the file has fewer.
inline bool ReadExact(platform::ReadableFile& f, uint64_t offset, size_t n, std::vector<uint8_t>& out) {
  out.resize(n);
  if (n == 0) return true;
  if (f.ReadAt(offset, out.data(), n) != n) {
    out.clear();
    return false;
  }
  return true;
}

// Little-endian UTF-16 units from bytes, up to the first zero unit; an odd
// trailing byte is dropped.
inline std::u16string Utf16LeText(ByteSpan bytes) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; bytes.size() - i >= 2; i += 2) {
    const char16_t u = char16_t(bytes[i] | bytes[i + 1] << 8);
    if (u == 0) break;
    out.push_back(u);
  }
  return out;
}

// Do the first tag.size() bytes at p equal tag? (p must hold that many.)
inline bool BytesAre(const uint8_t* p, std::string_view tag) {
  for (size_t i = 0; i < tag.size(); ++i)
    if (p[i] != uint8_t(tag[i])) return false;
  return true;
}

inline std::string_view AsChars(ByteSpan b) {
  return std::string_view(reinterpret_cast<const char*>(b.data()), b.size());
}

}  // namespace tunelet::container
