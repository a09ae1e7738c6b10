// UTF-16 text helpers shared by every subsystem. Inside the plug-in all text is
// UTF-16 (char16_t); the Win32 adapters reinterpret it as wchar_t at the edge.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tunelet {

// A text member of the global records: std::nullopt means absent. A present
// but empty text exists too (8-bit conversions produce it, see SetConverted).
using OptText = std::optional<std::u16string>;

// Copies v into field; an empty v stores absent (the records' copy rule).
void SetText(OptText& field, std::u16string_view v);
inline void Forget(OptText& field) { field.reset(); }
inline std::u16string_view View(const OptText& t) { return t ? std::u16string_view(*t) : std::u16string_view(); }
inline bool IsEmpty(const OptText& t) { return !t || t->empty(); }

// UTF-8 to UTF-16; four-byte sequences become surrogate pairs, malformed
// bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view s);
std::string Utf16ToUtf8(std::u16string_view s);
// Latin-1 / ASCII widening (used for fixed ASCII identifiers only).
std::u16string AsciiToUtf16(std::string_view s);

// Simple upper-casing of one UTF-16 unit (Latin-1, Latin Extended-A, Greek,
// Cyrillic); enough for case-insensitive path and name comparison.
char16_t ToUpperChar(char16_t c);
std::u16string ToUpper(std::u16string_view s);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);
// Position of needle in hay ignoring case, or npos.
size_t FindIgnoreCase(std::u16string_view hay, std::u16string_view needle, size_t from = 0);

bool Contains(std::u16string_view hay, std::u16string_view needle);
// s without the spaces and tabs at its ends.
std::u16string_view TrimSpacesAndTabs(std::u16string_view s);
// The value of the decimal digits at the start ("07/12" gives 7; none gives
// 0); values beyond 32 bits saturate.
uint32_t LeadingDigits(std::u16string_view s);
uint32_t LeadingDigits(std::string_view s);
std::u16string ToU16(uint32_t v);

}  // namespace tunelet
