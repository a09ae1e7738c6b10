// Inputs of the targets that take texts and small records rather than files:
// NUL-separated parts, and text one character a byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tunelet::fuzz {

// The input cut at NUL bytes into at most maxParts parts (at least one); the
// last one takes the rest, NULs included, so it can carry binary values.
inline std::vector<std::vector<uint8_t>> SplitParts(const uint8_t* data, size_t size, size_t maxParts) {
  std::vector<std::vector<uint8_t>> parts(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0 && parts.size() < maxParts) {
      parts.emplace_back();
      continue;
    }
    parts.back().push_back(data[i]);
  }
  return parts;
}

// One character a byte: ASCII as it is, bytes from 0x80 up Cyrillic letters
// (the texts users write in the built-in language).
inline std::u16string ByteText(const std::vector<uint8_t>& bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (uint8_t b : bytes) text += b < 0x80 ? char16_t(b) : char16_t(0x0400 + (b - 0x80));
  return text;
}

inline uint32_t LittleEndian32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace tunelet::fuzz
