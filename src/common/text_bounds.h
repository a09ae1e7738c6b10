// Bounds on texts from outside: cutting to a length without splitting a
// character, and flattening control characters for text that stays on one line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/text.h"

namespace tunelet {

// The length of the longest start of text with at most maxChars UTF-16 units
// that does not end between the two halves of a surrogate pair.
size_t WholeCharactersPrefix(std::u16string_view text, size_t maxChars);
// Cuts text to at most maxChars units, never inside a surrogate pair.
void TruncateText(std::u16string& text, size_t maxChars);
inline void TruncateText(OptText& text, size_t maxChars) {
  if (text) TruncateText(*text, maxChars);
}

// Line breaks, tabs and the other control characters (C0, DEL, C1 and the
// Unicode line and paragraph separators).
bool IsControlCharacter(char16_t c);
// text with every run of control characters turned into one space, for text
// that must stay on one line.
std::u16string FlattenControlCharacters(std::u16string_view text);

}  // namespace tunelet
