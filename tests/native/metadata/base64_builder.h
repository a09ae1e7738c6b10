// Base64 for test inputs that carry pictures inside text comments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test_encoding {

// Standard Base64 (RFC 4648) with '=' padding.
inline std::string Base64(const std::vector<uint8_t>& in) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < in.size(); i += 3) {
    const uint32_t n = uint32_t(in[i]) << 16 | (i + 1 < in.size() ? uint32_t(in[i + 1]) << 8 : 0) |
                       (i + 2 < in.size() ? in[i + 2] : 0);
    out.push_back(kAlphabet[n >> 18]);
    out.push_back(kAlphabet[(n >> 12) & 63]);
    out.push_back(i + 1 < in.size() ? kAlphabet[(n >> 6) & 63] : '=');
    out.push_back(i + 2 < in.size() ? kAlphabet[n & 63] : '=');
  }
  return out;
}

}  // namespace test_encoding
