// The template language of the X-status text and the paste text: variables
// such as %artist% and conditional blocks {{%var%=text}} that keep their text
// only when the variable has a value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tunelet {

struct TemplateVariable {
  std::u16string_view name;    // with its percent signs, as the user writes it
  std::u16string_view sample;  // value shown by previews when no track is needed
};

constexpr size_t kTemplateVariableCount = 12;

// The index is significant: it selects the live value and the block
// condition (TemplateVariableValue, TemplateVariableHolds).
extern const std::array<TemplateVariable, kTemplateVariableCount> TemplateVariables;

// Index of the variable whose name equals name exactly (case-sensitive).
std::optional<size_t> FindTemplateVariable(std::u16string_view name);
// Live value of variable index, taken from Track(); empty when it has none.
std::u16string TemplateVariableValue(size_t index);
// Whether a block on variable index keeps its text in live mode.
bool TemplateVariableHolds(size_t index);

// Results of ExpandConditionalBlocks.
constexpr uint8_t kBlocksFailed = 0;
constexpr uint8_t kNoBlocks = 9;
constexpr uint8_t kBlocksExpanded = 10;

struct TemplateError {
  std::u16string caption;
  std::u16string text;
};

// Where check mode reports a template error; the options dialog shows it in
// a topmost warning box owned by its window.
class ITemplateErrorReporter {
 public:
  virtual ~ITemplateErrorReporter() = default;
  virtual void Report(std::u16string caption, std::u16string text) = 0;
};

struct BlockExpansion {
  uint8_t result = kNoBlocks;
  std::optional<TemplateError> error;  // set when result is kBlocksFailed
};

// Expands the blocks of text in place and returns the result with the error
// that stopped it, if any; reports nothing. live picks the variables'
// conditions; otherwise (check mode) every block keeps its text.
BlockExpansion ExpandBlocks(std::u16string& text, bool live);

// ExpandBlocks; in check mode an error also goes to owner (may be null).
// Returns 9 (no "{{" in text), 10 (every block expanded) or 0 (an error
// stopped the expansion; blocks before it stay expanded).
uint8_t ExpandConditionalBlocks(std::u16string& text, ITemplateErrorReporter* owner, bool live);

// The longest text a substitution makes; what would go beyond is dropped.
constexpr size_t kMaxSubstitutedChars = 32768;

// Replace every variable, ignoring case, by its live or its sample value, in
// one pass from left to right. A value is inserted as it is and never read
// again, so a tag that holds variable names shows them literally. Live values
// are put on one line: line breaks, tabs and other control characters in
// them become a space (the template's own text keeps them).
void SubstituteVariables(std::u16string& text, size_t maxChars = kMaxSubstitutedChars);
void SubstituteSampleValues(std::u16string& text);

// The options dialog's preview of an X-status text: the check, then the
// sample values; nothing when the check fails (owner has been told why).
std::optional<std::u16string> PreviewTemplateText(std::u16string text, ITemplateErrorReporter* owner);

// The longest line the paste types; the direct paste posts one message per
// character, and a thread's message queue holds some ten thousand.
constexpr size_t kMaxPasteTextChars = 4096;

// The line the paste hot key types: the paste template with live values.
// Blocks are not expanded there; they are pasted as written. An empty
// artist takes the space after it along, so the line neither starts with a
// space nor has two in a row where the artist would be.
std::u16string PasteText();
// The paste template preview: the given (possibly unsaved) template with the
// sample values.
std::u16string PastePreviewText(std::u16string pasteTemplate);

}  // namespace tunelet
