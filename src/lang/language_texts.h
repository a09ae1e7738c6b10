// The texts of a language file (LanguageTexts) and the texts object every
// window reads: the language file's texts while UseLanguageFile is set, the
// built-in Russian ones otherwise.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/ui_texts.h"

namespace tunelet {

struct LanguageKey {
  std::u16string_view key;
  std::u16string_view english;  // the text when a language file lacks the key
};

// Every key of a language file's section "Main" in the order the loader
// reads them: the shown ones, then those that no window shows.
std::span<const LanguageKey> LanguageKeys();
// The position of key in LanguageKeys(), or npos.
size_t LanguageKeyIndex(std::u16string_view key);
inline constexpr size_t kUnknownLanguageKey = size_t(-1);

// One text per key, the English defaults until a file is loaded.
class LanguageTexts final : public IUiTexts {
 public:
  LanguageTexts();
  // The text of key; empty for a key that is not a language key.
  std::u16string Text(std::u16string_view key) const override;
  // Replaces every text; texts.size() must be LanguageKeys().size().
  void Replace(std::vector<std::u16string> texts);
  void ResetToEnglish();

 private:
  std::vector<std::u16string> texts_;
};

// What every window asks at the moment it shows a text: with
// UseLanguageFile set, the language file's text (or its English default);
// otherwise the built-in Russian text, and the English default for a key the
// built-in table does not carry (never an empty caption).
class SelectedUiTexts final : public IUiTexts {
 public:
  explicit SelectedUiTexts(const LanguageTexts& file) : file_(file) {}
  std::u16string Text(std::u16string_view key) const override;

 private:
  const LanguageTexts& file_;
  BuiltInUiTexts builtIn_;
};

}  // namespace tunelet
