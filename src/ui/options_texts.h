// The options dialog's texts: each control's built-in (Russian) caption and
// hint, and the language-file keys that replace them while UseLanguageFile
// is set. The pages make their controls with the built-in texts and apply a
// language file's through the same table, so the two never drift apart.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/ui_texts.h"

namespace tunelet {

struct OptionsControlText {
  int control;                     // OptionsControlId
  std::u16string_view caption;     // built-in caption ("" for none)
  std::u16string_view hint;        // built-in hint ("" for none)
  std::u16string_view captionKey;  // "" : a language file leaves the caption
  std::u16string_view hintKey;     // "" : leaves the hint; kClearedHint: empties it
};

// A hintKey meaning "a language file empties this hint".
inline constexpr std::u16string_view kClearedHint = u"-";

std::span<const OptionsControlText> OptionsControlTexts();
const OptionsControlText* FindOptionsControlText(int control);

// The control's built-in caption and hint ("" when the table has none).
std::u16string_view BuiltInCaption(int control);
std::u16string_view BuiltInHint(int control);
// What a language file makes of them: no value when it leaves them alone.
std::optional<std::u16string> LanguageCaption(int control, const IUiTexts& language);
std::optional<std::u16string> LanguageHint(int control, const IUiTexts& language);

// MainPageControl's tabs, 0..8.
constexpr int kOptionsTabCount = 9;
constexpr int kPrivacyTab = 8;
std::u16string_view BuiltInTabCaption(int tab);
// TAB1..TAB7 caption tabs 0..6 (so "About" lands on the control-window tab),
// TAB9 the privacy tab; the About tab keeps its built-in caption.
std::optional<std::u16string> LanguageTabCaption(int tab, const IUiTexts& language);
// xstatPageControl's two tabs: 0 audio, 1 video.
std::u16string_view BuiltInTemplateTabCaption(int tab);
std::u16string LanguageTemplateTabCaption(int tab, const IUiTexts& language);

// The dialog's window caption.
inline constexpr std::u16string_view kOptionsCaption = u"Tunelet - Настройки";
inline constexpr std::u16string_view kOptionsCaptionKey = u"MFCAPTION";

}  // namespace tunelet
