// The template engine and its check: a user's template (as the options
// dialog checks and previews it, and as a publish and the paste hot key fill
// it) over a track whose texts and numbers come from the input too.
//
// Input: NUL-separated parts, one character a byte (see text_input.h): the
// template, then Artist, Title, Album, Genre, Year, PlayerName and FilePath;
// a ninth part gives FileSize, Bitrate, SampleRate, Duration and TrackNumber
// (4 bytes each, little-endian).
#include <string>
#include <vector>

#include "model/settings.h"
#include "templates/template_engine.h"
#include "templates/xstatus_policy.h"
#include "text_input.h"

using namespace tunelet;

namespace {

class CountingReporter final : public ITemplateErrorReporter {
 public:
  size_t reports = 0;
  void Report(std::u16string, std::u16string) override { ++reports; }
};

void FillTrack(const std::vector<std::u16string>& parts, const std::vector<uint8_t>& numbers) {
  TrackInfo& t = Track();
  OptText* texts[] = {&t.Artist, &t.Title, &t.Album, &t.Genre, &t.Year, &t.PlayerName, &t.FilePath};
  for (size_t i = 0; i < std::size(texts); ++i)
    if (i + 1 < parts.size()) texts[i]->emplace(parts[i + 1]);
  uint32_t* values[] = {&t.FileSize, &t.Bitrate, &t.SampleRate, &t.Duration, &t.TrackNumber};
  for (size_t i = 0; i < std::size(values) && 4 * i + 4 <= numbers.size(); ++i)
    *values[i] = fuzz::LittleEndian32(numbers.data() + 4 * i);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::vector<uint8_t>> raw = fuzz::SplitParts(data, size, 9);
  std::vector<std::u16string> parts;
  for (const auto& p : raw) parts.push_back(fuzz::ByteText(p));
  ResetSettings();
  FillTrack(parts, raw.size() > 8 ? raw[8] : std::vector<uint8_t>{});
  const std::u16string& tmpl = parts[0];

  CountingReporter reporter;
  std::u16string checked = tmpl;
  const uint8_t result = ExpandConditionalBlocks(checked, &reporter, false);
  if ((result == kBlocksFailed) != (reporter.reports == 1)) __builtin_trap();  // every failed check is told once
  (void)PreviewTemplateText(tmpl, &reporter);
  (void)PastePreviewText(tmpl);

  std::u16string live = tmpl;
  ExpandConditionalBlocks(live, nullptr, true);
  SubstituteVariables(live);

  SetText(Settings().PasteTemplate, tmpl);
  (void)PasteText();
  SetText(Settings().AudioTextTemplate, tmpl);
  SetText(Settings().VideoTextTemplate, tmpl);
  SetText(Settings().SavedXStatusText, tmpl);
  for (uint8_t mode : {kModeContentOnly, kModeFromMusic, kModeReplaceAny, kModeAppendToUser}) {
    Settings().Action = mode;
    (void)BuildXStatusContent();
  }
  return 0;
}
