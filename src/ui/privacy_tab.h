// The rules of the options dialog's privacy tab that need no window: the
// rows of its list of players and media-session applications, the pattern
// field's text to and from the stored lines, and the two numbers' checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/privacy_settings.h"
#include "model/ui_texts.h"

namespace tunelet {

// One check box of the list: a classic player (by its sharing row) or a
// remembered media-session application (by its id).
struct PrivacyListRow {
  bool isApp = false;
  PlayerId player = 0;   // !isApp
  std::u16string appId;  // isApp
  bool webBrowser = false;
  bool shared = true;
  bool operator==(const PrivacyListRow&) const = default;
};

// The classic players in table order, one per switch (19), then the
// remembered applications in the order first seen.
std::vector<PrivacyListRow> PrivacyListRows(const PrivacySettings& privacy);
// The row's caption: the player's name; for an application the name a person
// knows it by with its id beside it when they differ, and browsers marked
// with browserMark ("(браузер)").
std::u16string PrivacyRowCaption(const PrivacyListRow& row, std::u16string_view browserMark);
// The list's ticks into the settings: a player's switch (the foobar2000 rows
// together) and the choice of each listed application found by its id.
// Applications remembered meanwhile keep their own choice.
void StorePrivacyListRows(const std::vector<PrivacyListRow>& rows, PrivacySettings& privacy);

// The pattern field shows the stored lines one a line.
std::u16string ExclusionFieldText(const std::vector<std::u16string>& lines);

// The field's text split at CR, LF or CRLF, each line trimmed of blanks,
// empty lines dropped. firstTooLong is the 1-based number (counting empty
// lines, as the field shows them) of the first line longer than
// kMaxExclusionPatternChars (0: none); tooMany is set when more
// than kMaxExclusionPatterns lines remain. Either refuses the save: a cut
// line or a dropped one would hide other tracks than those the user meant.
struct ExclusionFieldLines {
  std::vector<std::u16string> lines;
  size_t firstTooLong = 0;
  bool tooMany = false;
  bool Acceptable() const { return firstTooLong == 0 && !tooMany; }
};
ExclusionFieldLines SplitExclusionField(std::u16string_view text);

// A number field of the tab: its digits (blanks around them allowed) as a
// value within 0..max; nothing for an empty field, other characters, or a
// value past max.
std::optional<int32_t> ParsePrivacyNumber(std::u16string_view text, int32_t max);

// The warnings of a refused save (texts from the selected table, the limits
// filled in).
std::u16string PrivacyRangeMessage(const IUiTexts& texts, int32_t max);
std::u16string PrivacyTooManyPatternsMessage(const IUiTexts& texts);
std::u16string PrivacyPatternTooLongMessage(const IUiTexts& texts, size_t lineNumber);

}  // namespace tunelet
