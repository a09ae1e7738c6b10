#include "common/text_bounds.h"

namespace tunelet {

size_t WholeCharactersPrefix(std::u16string_view text, size_t maxChars) {
  if (text.size() <= maxChars) return text.size();
  size_t n = maxChars;
  if (n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;  // its low half would be cut off
  return n;
}

void TruncateText(std::u16string& text, size_t maxChars) { text.resize(WholeCharactersPrefix(text, maxChars)); }

bool IsControlCharacter(char16_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

std::u16string FlattenControlCharacters(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (!IsControlCharacter(text[i])) {
      out += text[i];
      continue;
    }
    out += u' ';
    while (i + 1 < text.size() && IsControlCharacter(text[i + 1])) ++i;
  }
  return out;
}

}  // namespace tunelet
