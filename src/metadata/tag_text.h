// Small text helpers shared by the tag and stream readers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/byte_reader.h"

namespace tunelet {

// Bytes as an 8-bit string (no conversion).
inline std::string_view AsChars(ByteSpan b) { return {reinterpret_cast<const char*>(b.data()), b.size()}; }
// The text before the first NUL.
std::string_view CutAtNul(std::string_view s);
// Drops trailing bytes of value 0x20 or below (blanks, NULs, control bytes).
std::string_view TrimRightBlanks(std::string_view s);
// Drops bytes of value 0x20 or below at both ends.
std::string_view TrimBlanks(std::string_view s);
std::u16string_view TrimBlanks(std::u16string_view s);

// A field of fixed width (ID3v1): cut at its first NUL, then at trailing blanks.
inline std::string_view FixedField(ByteSpan b) { return TrimRightBlanks(CutAtNul(AsChars(b))); }

// UTF-16 units up to the first zero unit (an odd last byte is dropped). A
// leading byte-order mark decides the byte order and is removed; without one
// the units are little-endian unless bigEndian is set.
std::u16string DecodeUtf16(ByteSpan bytes, bool bigEndian = false);

// All of s as a decimal number; nullopt when s is empty or holds anything
// but digits, or the value does not fit 32 bits.
std::optional<uint32_t> ParseDecimal(std::string_view s);

}  // namespace tunelet
