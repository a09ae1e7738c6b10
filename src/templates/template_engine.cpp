#include "templates/template_engine.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/text.h"
#include "common/text_bounds.h"
#include "model/settings.h"
#include "model/file_kind.h"
#include "metadata/format.h"

namespace tunelet {

const std::array<TemplateVariable, kTemplateVariableCount> TemplateVariables = {{
    {u"%artist%", u"Idiot Pilot"},
    {u"%title%", u"Retina And The Sky"},
    {u"%album%", u"Wolves"},
    {u"%genre%", u"Electronica\\Alt-Rock"},
    {u"%year%", u"2007"},
    {u"%player%", u"Winamp"},
    {u"%#%", u"3"},
    {u"%size%", u"5,96 MB"},
    {u"%bitrate%", u"229 kbps"},
    {u"%khz%", u"44,1 kHz"},
    {u"%time%", u"3:37"},
    {u"%ft%", u"MP3"},
}};

namespace {

enum Variable : size_t { kArtist, kTitle, kAlbum, kGenre, kYear, kPlayer, kTrack, kSize, kBitrate, kKhz, kTime, kFileType };

constexpr std::u16string_view kOpening = u"{{";
constexpr std::u16string_view kSeparator = u"=";
constexpr std::u16string_view kClosing = u"}}";

constexpr std::u16string_view kCountsCaption = u"Ошибка в условных блоках";
constexpr std::u16string_view kCountsMismatch = u"Количество тэгов {{ несоответствует количеству тэгов }}";
constexpr std::u16string_view kBlockCaption = u"Ошибка в условном блоке #";
constexpr std::u16string_view kClosingBeforeSeparator = u"Ожидался = но }} был найден";
constexpr std::u16string_view kNoSeparator = u"Отсутствует =";
constexpr std::u16string_view kNoTag = u"Отсутствует тэг между {{ и =";
constexpr std::u16string_view kNoText = u"Отсутствует тэг между = и }}";
constexpr std::u16string_view kUndefinedTag = u"Неопределённый шаблон \"";

// Block positions are 1-based with 0 for "not found", which keeps the order
// tests between opening, separator and closing simple.
size_t FindFrom(std::u16string_view text, std::u16string_view marker, size_t from) {
  const size_t start = from == 0 ? 0 : from - 1;
  if (start > text.size()) return 0;
  const size_t p = text.find(marker, start);
  return p == std::u16string_view::npos ? 0 : p + 1;
}

// Every starting position counts, so "{{{" holds two openings.
size_t CountOverlapping(std::u16string_view text, std::u16string_view marker) {
  size_t n = 0;
  for (size_t p = text.find(marker); p != std::u16string_view::npos; p = text.find(marker, p + 1)) ++n;
  return n;
}

BlockExpansion Failed(std::u16string caption, std::u16string text) {
  return {kBlocksFailed, TemplateError{std::move(caption), std::move(text)}};
}

std::u16string BlockCaption(size_t pass) { return std::u16string(kBlockCaption) + ToU16(uint32_t(pass)); }

// The marker-order errors of one block, or empty when its markers are sound.
std::u16string_view MarkerError(size_t opening, size_t separator, size_t closing) {
  if (separator > closing) return kClosingBeforeSeparator;  // also: no closing after the separator
  if (separator == 0) return kNoSeparator;
  if (separator == opening + 2) return kNoTag;
  if (closing == separator + 1) return kNoText;
  return {};
}

// The text under block expansion as a list of its characters: deleting a
// block is one relink, and searches step over what is gone. Two
// characters that a deletion brings together form a marker, as they would in
// the plain text. Positions are indexes into the original text, so their
// order is the text's order.
class LinkedText {
 public:
  static constexpr size_t kNone = SIZE_MAX;

  explicit LinkedText(std::u16string_view text) : text_(text), next_(text.size()), prev_(text.size()) {
    for (size_t i = 0; i < text.size(); ++i) {
      next_[i] = i + 1 < text.size() ? i + 1 : kNone;
      prev_[i] = i > 0 ? i - 1 : kNone;
    }
    first_ = text.empty() ? kNone : 0;
  }

  size_t First() const { return first_; }
  size_t Next(size_t i) const { return i == kNone ? kNone : next_[i]; }
  size_t Prev(size_t i) const { return i == kNone ? kNone : prev_[i]; }

  // The first position at or after from where marker (one or two
  // characters) starts, or kNone.
  size_t Find(size_t from, std::u16string_view marker) const {
    for (size_t i = from; i != kNone; i = next_[i])
      if (StartsWith(i, marker)) return i;
    return kNone;
  }

  // The characters from first through last, in text order.
  std::u16string Slice(size_t first, size_t last) const {
    std::u16string out;
    for (size_t i = first; i != kNone; i = next_[i]) {
      out += text_[i];
      if (i == last) break;
    }
    return out;
  }

  // Deletes the characters from first through last.
  void Erase(size_t first, size_t last) {
    const size_t before = prev_[first], after = next_[last];
    (before == kNone ? first_ : next_[before]) = after;
    if (after != kNone) prev_[after] = before;
  }

  std::u16string Text() const {
    std::u16string out;
    out.reserve(text_.size());
    for (size_t i = first_; i != kNone; i = next_[i]) out += text_[i];
    return out;
  }

 private:
  bool StartsWith(size_t i, std::u16string_view marker) const {
    for (char16_t c : marker) {
      if (i == kNone || text_[i] != c) return false;
      i = next_[i];
    }
    return true;
  }

  std::u16string_view text_;
  std::vector<size_t> next_, prev_;
  size_t first_ = kNone;
};

// A pass that finds no opening left (a failed outer block took it along)
// meets a stray closing; which error it reports depends on where the first
// "=" and "}}" of the whole text are, as for a block at position 0.
BlockExpansion NoOpeningLeft(const std::u16string& text, size_t pass) {
  const size_t separator = FindFrom(text, kSeparator, 1);
  const size_t closing = FindFrom(text, kClosing, 2);
  const std::u16string_view error = MarkerError(0, separator, closing);
  return Failed(BlockCaption(pass), std::u16string(error.empty() ? kClosingBeforeSeparator : error));
}

// The error of a block whose markers are out of order, or empty. Same rules
// as MarkerError, on positions of the linked text (kNone: not found).
std::u16string_view LinkedMarkerError(const LinkedText& t, size_t opening, size_t separator, size_t closing) {
  constexpr size_t kNone = LinkedText::kNone;
  if (separator != kNone && (closing == kNone || separator > closing)) return kClosingBeforeSeparator;
  if (separator == kNone) return kNoSeparator;
  if (separator == t.Next(t.Next(opening))) return kNoTag;
  if (closing == t.Next(separator)) return kNoText;
  return {};
}

// The live values of the variables, flattened to one line: a tag's line
// breaks must not end the X-status line or send the pasted one early.
std::array<std::u16string, kTemplateVariableCount> LiveValues() {
  std::array<std::u16string, kTemplateVariableCount> values;
  for (size_t i = 0; i < values.size(); ++i) values[i] = FlattenControlCharacters(TemplateVariableValue(i));
  return values;
}

std::array<std::u16string, kTemplateVariableCount> SampleValues() {
  std::array<std::u16string, kTemplateVariableCount> values;
  for (size_t i = 0; i < values.size(); ++i) values[i] = std::u16string(TemplateVariables[i].sample);
  return values;
}

// The variable whose name, ignoring case, starts text at pos.
std::optional<size_t> VariableAt(std::u16string_view text, size_t pos) {
  for (size_t i = 0; i < TemplateVariables.size(); ++i) {
    const std::u16string_view name = TemplateVariables[i].name;
    if (text.size() - pos >= name.size() && EqualsIgnoreCase(text.substr(pos, name.size()), name)) return i;
  }
  return std::nullopt;
}

enum class EmptyArtist { KeepsTheSpaceAfterIt, TakesTheSpaceAfterIt };

// One pass over the template: each variable is replaced by its value and the
// values are never searched again, so a tag holding variable names keeps them
// as written. Stops at maxChars.
std::u16string Substitute(std::u16string_view text, const std::array<std::u16string, kTemplateVariableCount>& values,
                          size_t maxChars, EmptyArtist emptyArtist = EmptyArtist::KeepsTheSpaceAfterIt) {
  std::u16string out;
  out.reserve(std::min(text.size(), maxChars));
  // Appends what fits of piece; false once the cap is reached.
  auto append = [&](std::u16string_view piece) {
    const size_t fits = WholeCharactersPrefix(piece, maxChars - out.size());
    out.append(piece.substr(0, fits));
    return fits == piece.size();
  };
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t percent = std::min(text.find(u'%', pos), text.size());
    if (percent > pos) {
      if (!append(text.substr(pos, percent - pos))) break;
      pos = percent;
      continue;
    }
    const std::optional<size_t> variable = VariableAt(text, pos);
    if (!variable) {
      if (!append(u"%")) break;
      ++pos;
      continue;
    }
    const std::u16string& value = values[*variable];
    if (!append(value)) break;
    pos += TemplateVariables[*variable].name.size();
    if (*variable == kArtist && value.empty() && emptyArtist == EmptyArtist::TakesTheSpaceAfterIt &&
        pos < text.size() && text[pos] == u' ')
      ++pos;
  }
  return out;
}

}  // namespace

std::optional<size_t> FindTemplateVariable(std::u16string_view name) {
  for (size_t i = 0; i < TemplateVariables.size(); ++i)
    if (TemplateVariables[i].name == name) return i;
  return std::nullopt;
}

std::u16string TemplateVariableValue(size_t index) {
  const TrackInfo& t = Track();
  switch (index) {
    case kArtist: return std::u16string(View(t.Artist));
    case kTitle: return std::u16string(View(t.Title));
    case kAlbum: return std::u16string(View(t.Album));
    case kGenre: return std::u16string(View(t.Genre));
    case kYear: return std::u16string(View(t.Year));
    case kPlayer: return std::u16string(View(t.PlayerName));
    case kTrack: return ToU16(t.TrackNumber);
    case kSize: return FormatTrackValue(1);
    case kBitrate: return FormatTrackValue(2);
    case kKhz: return FormatTrackValue(3);
    case kTime: return FormatTrackValue(4);
    case kFileType: return FileExtension(View(t.FilePath));
    default: return {};
  }
}

bool TemplateVariableHolds(size_t index) {
  const TrackInfo& t = Track();
  switch (index) {
    // A text counts once it is there, even when a tag stored it empty.
    case kArtist: return t.Artist.has_value();
    case kTitle: return t.Title.has_value();
    case kAlbum: return t.Album.has_value();
    case kGenre: return t.Genre.has_value();
    case kYear: return t.Year.has_value();
    case kPlayer: return true;
    // Lets "{{%#%=%#%. }}" number the usual album tracks and drop the
    // running counters some players and tag writers put there.
    case kTrack: return t.TrackNumber < 100;
    case kSize: return t.FileSize > 0;
    case kBitrate: return t.Bitrate > 0;
    case kKhz: return t.SampleRate > 0;
    case kTime: return t.Duration > 0;
    case kFileType: return true;
    default: return false;
  }
}

BlockExpansion ExpandBlocks(std::u16string& text, bool live) {
  constexpr size_t kNone = LinkedText::kNone;
  const size_t openings = CountOverlapping(text, kOpening);
  if (openings == 0) return {kNoBlocks, std::nullopt};
  if (CountOverlapping(text, kClosing) != openings)
    return Failed(std::u16string(kCountsCaption), std::u16string(kCountsMismatch));

  // Each pass takes the first opening and the first closing after it, so
  // blocks expand left to right and an inner block is met in a later pass.
  // What precedes a pass's opening holds no opening and is never touched
  // again, and each pass's closing lies beyond the one before: the searches
  // resume where the last ones stopped, which keeps the whole run linear.
  LinkedText t(text);
  size_t rest = t.First();        // where the next opening is searched from
  size_t closingFrom = kNone;     // where the next closing search may resume
  auto fail = [&](size_t pass, std::u16string_view error) {
    text = t.Text();
    return Failed(BlockCaption(pass), std::u16string(error));
  };
  for (size_t pass = 1; pass <= openings; ++pass) {
    const size_t opening = t.Find(rest, kOpening);
    if (opening == kNone) {
      text = t.Text();
      return NoOpeningLeft(text, pass);
    }
    const size_t afterOpening = t.Next(t.Next(opening));
    const size_t separator = t.Find(afterOpening, kSeparator);
    // A closing that the last deletion made out of the braces around it
    // starts just before the deleted one: closingFrom is that character.
    const bool resume = closingFrom != kNone && closingFrom > afterOpening;
    const size_t closing = t.Find(resume ? closingFrom : afterOpening, kClosing);
    if (auto error = LinkedMarkerError(t, opening, separator, closing); !error.empty()) return fail(pass, error);

    const std::u16string tag = t.Slice(afterOpening, t.Prev(separator));
    const std::optional<size_t> index = FindTemplateVariable(tag);
    if (!index) return fail(pass, std::u16string(kUndefinedTag) + tag + u"\"");

    const size_t closingEnd = t.Next(closing);
    if (!live || TemplateVariableHolds(*index)) {
      rest = t.Next(separator);
      closingFrom = t.Prev(closing);
      t.Erase(closing, closingEnd);   // the closing marker
      t.Erase(opening, separator);    // "{{", the tag and "="
    } else {
      rest = t.Next(closingEnd);
      closingFrom = kNone;
      t.Erase(opening, closingEnd);   // the whole block
    }
  }
  text = t.Text();
  return {kBlocksExpanded, std::nullopt};
}

uint8_t ExpandConditionalBlocks(std::u16string& text, ITemplateErrorReporter* owner, bool live) {
  BlockExpansion expansion = ExpandBlocks(text, live);
  if (!live && owner && expansion.error) owner->Report(std::move(expansion.error->caption), std::move(expansion.error->text));
  return expansion.result;
}

void SubstituteVariables(std::u16string& text, size_t maxChars) { text = Substitute(text, LiveValues(), maxChars); }

void SubstituteSampleValues(std::u16string& text) { text = Substitute(text, SampleValues(), kMaxSubstitutedChars); }

std::optional<std::u16string> PreviewTemplateText(std::u16string text, ITemplateErrorReporter* owner) {
  if (ExpandConditionalBlocks(text, owner, false) == kBlocksFailed) return std::nullopt;
  SubstituteSampleValues(text);
  return text;
}

std::u16string PasteText() {
  return Substitute(View(Settings().PasteTemplate), LiveValues(), kMaxPasteTextChars,
                    EmptyArtist::TakesTheSpaceAfterIt);
}

std::u16string PastePreviewText(std::u16string pasteTemplate) {
  SubstituteSampleValues(pasteTemplate);
  return pasteTemplate;
}

}  // namespace tunelet
