#include "metadata/tag_text.h"

namespace tunelet {

std::string_view CutAtNul(std::string_view s) {
  const size_t nul = s.find('\0');
  return nul == std::string_view::npos ? s : s.substr(0, nul);
}

std::string_view TrimRightBlanks(std::string_view s) {
  while (!s.empty() && uint8_t(s.back()) <= 0x20) s.remove_suffix(1);
  return s;
}

std::string_view TrimBlanks(std::string_view s) {
  s = TrimRightBlanks(s);
  while (!s.empty() && uint8_t(s.front()) <= 0x20) s.remove_prefix(1);
  return s;
}

std::u16string_view TrimBlanks(std::u16string_view s) {
  while (!s.empty() && s.back() <= 0x20) s.remove_suffix(1);
  while (!s.empty() && s.front() <= 0x20) s.remove_prefix(1);
  return s;
}

std::u16string DecodeUtf16(ByteSpan bytes, bool bigEndian) {
  size_t i = 0;
  if (bytes.size() >= 2) {
    if (bytes[0] == 0xFF && bytes[1] == 0xFE) {
      bigEndian = false;
      i = 2;
    } else if (bytes[0] == 0xFE && bytes[1] == 0xFF) {
      bigEndian = true;
      i = 2;
    }
  }
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (; bytes.size() - i >= 2; i += 2) {
    const char16_t u = bigEndian ? char16_t(bytes[i] << 8 | bytes[i + 1]) : char16_t(bytes[i] | bytes[i + 1] << 8);
    if (u == 0) break;
    out.push_back(u);
  }
  return out;
}

std::optional<uint32_t> ParseDecimal(std::string_view s) {
  if (s.empty()) return std::nullopt;
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + uint32_t(c - '0');
    if (v > 0xFFFFFFFFull) return std::nullopt;
  }
  return uint32_t(v);
}

}  // namespace tunelet
