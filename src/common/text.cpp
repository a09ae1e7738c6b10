#include "common/text.h"

namespace tunelet {

void SetText(OptText& field, std::u16string_view v) {
  if (v.empty())
    field.reset();
  else
    field.emplace(v);
}

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  auto cont = [&](size_t k) { return k < s.size() && (uint8_t(s[k]) & 0xC0) == 0x80; };
  while (i < s.size()) {
    const uint8_t b = uint8_t(s[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0 && cont(i + 1)) {
      cp = (uint32_t(b & 0x1F) << 6) | (uint8_t(s[i + 1]) & 0x3F);
      len = 2;
      if (cp < 0x80) cp = 0xFFFD;
    } else if ((b & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
      cp = (uint32_t(b & 0x0F) << 12) | (uint32_t(uint8_t(s[i + 1]) & 0x3F) << 6) | (uint8_t(s[i + 2]) & 0x3F);
      len = 3;
      if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    } else if ((b & 0xF8) == 0xF0 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
      cp = (uint32_t(b & 0x07) << 18) | (uint32_t(uint8_t(s[i + 1]) & 0x3F) << 12) |
           (uint32_t(uint8_t(s[i + 2]) & 0x3F) << 6) | (uint8_t(s[i + 3]) & 0x3F);
      len = 4;
      if (cp < 0x10000 || cp > 0x10FFFF) cp = 0xFFFD;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
    i += len;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(char(cp));
    } else if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (cp >> 18)));
      out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::u16string AsciiToUtf16(std::string_view s) {
  std::u16string out(s.size(), u'\0');
  for (size_t i = 0; i < s.size(); ++i) out[i] = char16_t(uint8_t(s[i]));
  return out;
}

char16_t ToUpperChar(char16_t c) {
  if (c >= u'a' && c <= u'z') return char16_t(c - 32);
  if (c < 0x80) return c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return char16_t(c - 32);
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A pairs: even upper, odd lower (with a few exceptions
    // around 0x138..0x148 and 0x179..0x17E where the parity flips).
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : char16_t(c - 1);
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    return (c & 1) ? char16_t(c - 1) : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return char16_t(c - 32);
  if (c >= 0x430 && c <= 0x44F) return char16_t(c - 32);
  if (c >= 0x450 && c <= 0x45F) return char16_t(c - 80);
  if (c >= 0x460 && c <= 0x4FF && (c & 1)) return char16_t(c - 1);
  return c;
}

std::u16string ToUpper(std::u16string_view s) {
  std::u16string out(s);
  for (auto& c : out) c = ToUpperChar(c);
  return out;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (ToUpperChar(a[i]) != ToUpperChar(b[i])) return false;
  return true;
}

size_t FindIgnoreCase(std::u16string_view hay, std::u16string_view needle, size_t from) {
  if (needle.empty()) return from <= hay.size() ? from : std::u16string_view::npos;
  if (needle.size() > hay.size()) return std::u16string_view::npos;
  for (size_t i = from; i <= hay.size() - needle.size(); ++i)
    if (EqualsIgnoreCase(hay.substr(i, needle.size()), needle)) return i;
  return std::u16string_view::npos;
}

bool Contains(std::u16string_view hay, std::u16string_view needle) {
  return hay.find(needle) != std::u16string_view::npos;
}

namespace {
template <typename Char>
uint32_t LeadingDigitsOf(std::basic_string_view<Char> s) {
  uint64_t v = 0;
  for (Char c : s) {
    if (c < Char('0') || c > Char('9')) break;
    v = v * 10 + uint32_t(c - Char('0'));
    if (v > 0xFFFFFFFFull) return 0xFFFFFFFFu;
  }
  return uint32_t(v);
}
}  // namespace

uint32_t LeadingDigits(std::u16string_view s) { return LeadingDigitsOf(s); }
uint32_t LeadingDigits(std::string_view s) { return LeadingDigitsOf(s); }

std::u16string ToU16(uint32_t v) {
  std::u16string s;
  do {
    s.insert(s.begin(), char16_t(u'0' + v % 10));
    v /= 10;
  } while (v);
  return s;
}

std::u16string_view TrimSpacesAndTabs(std::u16string_view s) {
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace tunelet
