#include "templates/template_engine.h"

#include "common/text.h"
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

void ReplaceAllIgnoreCase(std::u16string& text, std::u16string_view name, std::u16string_view value) {
  size_t found = FindIgnoreCase(text, name, 0);
  if (found == std::u16string_view::npos) return;
  std::u16string out;
  size_t from = 0;
  for (; found != std::u16string_view::npos; found = FindIgnoreCase(text, name, from)) {
    out.append(text, from, found - from);
    out.append(value);
    from = found + name.size();  // the inserted value is not searched again for this name
  }
  out.append(text, from, std::u16string::npos);
  text = std::move(out);
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
  const size_t openings = CountOverlapping(text, kOpening);
  if (openings == 0) return {kNoBlocks, std::nullopt};
  if (CountOverlapping(text, kClosing) != openings)
    return Failed(std::u16string(kCountsCaption), std::u16string(kCountsMismatch));

  // Each pass takes the first opening and the first closing after it, so
  // blocks expand left to right and an inner block is met in a later pass.
  for (size_t pass = 1; pass <= openings; ++pass) {
    const size_t opening = FindFrom(text, kOpening, 1);
    const size_t separator = FindFrom(text, kSeparator, opening + 1);
    const size_t closing = FindFrom(text, kClosing, opening + 2);
    if (auto error = MarkerError(opening, separator, closing); !error.empty())
      return Failed(BlockCaption(pass), std::u16string(error));
    // Earlier passes can use up the openings (a failed outer block takes the
    // inner opening with it); what is left is a closing without its block.
    if (opening == 0) return Failed(BlockCaption(pass), std::u16string(kClosingBeforeSeparator));

    const std::u16string_view tag = std::u16string_view(text).substr(opening + 1, separator - opening - 2);
    const std::optional<size_t> index = FindTemplateVariable(tag);
    if (!index) return Failed(BlockCaption(pass), std::u16string(kUndefinedTag) + std::u16string(tag) + u"\"");

    if (!live || TemplateVariableHolds(*index)) {
      text.erase(closing - 1, kClosing.size());              // after the separator, so O..S stay put
      text.erase(opening - 1, separator - opening + 1);      // "{{", the tag and "="
    } else {
      text.erase(opening - 1, closing + 1 - opening + 1);    // the whole block
    }
  }
  return {kBlocksExpanded, std::nullopt};
}

uint8_t ExpandConditionalBlocks(std::u16string& text, ITemplateErrorReporter* owner, bool live) {
  BlockExpansion expansion = ExpandBlocks(text, live);
  if (!live && owner && expansion.error) owner->Report(std::move(expansion.error->caption), std::move(expansion.error->text));
  return expansion.result;
}

void SubstituteVariables(std::u16string& text) {
  for (size_t i = 0; i < TemplateVariables.size(); ++i)
    ReplaceAllIgnoreCase(text, TemplateVariables[i].name, TemplateVariableValue(i));
}

void SubstituteSampleValues(std::u16string& text) {
  for (const TemplateVariable& v : TemplateVariables) ReplaceAllIgnoreCase(text, v.name, v.sample);
}

std::optional<std::u16string> PreviewTemplateText(std::u16string text, ITemplateErrorReporter* owner) {
  if (ExpandConditionalBlocks(text, owner, false) == kBlocksFailed) return std::nullopt;
  SubstituteSampleValues(text);
  return text;
}

std::u16string PasteText() {
  std::u16string text(View(Settings().PasteTemplate));
  SubstituteVariables(text);
  return text;
}

std::u16string PastePreviewText(std::u16string pasteTemplate) {
  SubstituteSampleValues(pasteTemplate);
  return pasteTemplate;
}

}  // namespace tunelet
