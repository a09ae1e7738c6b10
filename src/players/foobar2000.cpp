#include "players/foobar2000.h"

#include <limits>

#include "common/text.h"
#include "model/track_caps.h"

namespace tunelet {

namespace {
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
}  // namespace

std::optional<int32_t> ParseInteger(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  const size_t firstDigit = i;
  int64_t v = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    v = v * 10 + (text[i] - u'0');
    if (v > int64_t(std::numeric_limits<int32_t>::max()) + 1) return std::nullopt;
  }
  if (i == firstDigit) return std::nullopt;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i != text.size()) return std::nullopt;
  if (negative) v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return int32_t(v);
}

bool ReadFoobar2000TrackFrom(const TitleFormatter& format, const FileSizeQuery& fileSize, TrackInfo& track) {
  const auto path = format(u"%path%");
  if (!path) return false;
  const auto title = format(u"[%title%]");
  if (!title) return false;
  // A new title under the same path (a stream) makes a new track. The record
  // keeps the title capped, so the capped title is what is compared.
  if (!EqualsIgnoreCase(CappedTrackValue(*title), View(track.Title))) Forget(track.LastReadPath);
  if (EqualsIgnoreCase(*path, View(track.LastReadPath))) return false;

  SetText(track.FilePath, *path);
  ClearTrackInfo(track);

  struct TextField {
    std::u16string_view format;
    OptText TrackInfo::*field;
  };
  static constexpr TextField kTextFields[] = {
      {u"[%title%]", &TrackInfo::Title},   {u"[%artist%]", &TrackInfo::Artist},
      {u"[%album%]", &TrackInfo::Album},   {u"[%genre%]", &TrackInfo::Genre},
      {u"[%date%]", &TrackInfo::Year},
  };
  for (const TextField& f : kTextFields) {
    const auto text = format(f.format);
    if (!text) return false;
    SetText(track.*f.field, CappedTrackValue(*text));
  }

  struct NumberField {
    std::u16string_view format;
    uint32_t TrackInfo::*field;
  };
  static constexpr NumberField kNumberFields[] = {
      {u"[%tracknumber%]", &TrackInfo::TrackNumber},
      {u"%bitrate%", &TrackInfo::Bitrate},
      {u"%samplerate%", &TrackInfo::SampleRate},
  };
  for (const NumberField& f : kNumberFields) {
    const auto text = format(f.format);
    if (!text) return false;
    track.*f.field = LeadingDigits(*text);
  }

  if (!Contains(*path, u"://")) {
    const auto lengthText = format(u"[%length_seconds%]");
    if (!lengthText) return false;
    const auto seconds = ParseInteger(*lengthText);
    if (!seconds || *seconds < 0) return false;
    track.Duration = uint32_t(*seconds);
    track.FileSize = fileSize(*path);
  }

  SetText(track.PlayerName, u"Foobar2000");
  track.LastReadPath = track.FilePath;
  return true;
}

std::optional<Foobar2000Method> Foobar2000MethodFor(int command) {
  switch (command) {
    case 0: return Foobar2000Method{u"Stop"};
    case 1: return Foobar2000Method{u"Start", true};
    case 2: return Foobar2000Method{u"Pause"};
    case 3: return Foobar2000Method{u"Previous"};
    case 4: return Foobar2000Method{u"Next"};
    default: return std::nullopt;
  }
}

}  // namespace tunelet
