#include "metadata/entry_common.h"

#include "model/settings.h"
#include "metadata/cover.h"
#include "metadata/stream_values.h"
#include "platform/platform.h"
#include "model/file_kind.h"
#include "model/player_table.h"
#include "model/track_caps.h"

namespace tunelet {

namespace {

// '/' and ':' cannot be part of a Windows file name, so all three separators
// are safe to split on, and the same code serves the posix tools and tests.
bool IsPathSeparator(char16_t c) { return c == u'\\' || c == u'/' || c == u':'; }

// "1", "01", "101" (disc and track); four digits are more likely a year.
constexpr size_t kMaxTrackNumberDigits = 3;

}  // namespace

std::u16string_view FileNameOf(std::u16string_view path) {
  size_t i = path.size();
  while (i > 0 && !IsPathSeparator(path[i - 1])) --i;
  return path.substr(i);
}

std::u16string_view FileNameWithoutExtension(std::u16string_view path) {
  std::u16string_view name = FileNameOf(path);
  const size_t dot = name.rfind(u'.');
  return dot == std::u16string_view::npos ? name : name.substr(0, dot);
}

std::u16string StripLeadingNumber(std::u16string name) {
  // A track number is one to three digits followed by spaces or dashes; the
  // digits of a name ("2Pac", "4 Non Blondes" after the separator, "M83")
  // are not a track number and stay.
  size_t digits = 0;
  while (digits < name.size() && name[digits] >= u'0' && name[digits] <= u'9') ++digits;
  if (digits == 0 || digits > kMaxTrackNumberDigits) return name;
  size_t end = digits;
  while (end < name.size() && (name[end] == u' ' || name[end] == u'-')) ++end;
  if (end == digits) return name;
  name.erase(0, end);
  return name;
}

void SplitFileName(TrackInfo& t, std::u16string_view path) {
  std::u16string name(FileNameWithoutExtension(path));
  for (auto& c : name)
    if (c == u'_') c = u' ';
  std::erase(name, u'#');
  if (!IsVideoFile(path)) name = StripLeadingNumber(std::move(name));

  std::u16string_view n(name);
  size_t sep = n.find(u" - ");
  size_t skip = 3;
  if (sep == std::u16string_view::npos) {
    sep = n.find(u'-');
    skip = 1;
  }
  if (sep == std::u16string_view::npos) {
    SetText(t.Artist, n);
    SetText(t.Title, n);
  } else {
    SetText(t.Artist, n.substr(0, sep));
    SetText(t.Title, n.substr(sep + skip));
  }
  if (t.Artist && t.Title && EqualsIgnoreCase(*t.Artist, *t.Title)) t.Artist.reset();
}

void ApplyNameFallback(TrackInfo& t, std::u16string_view path, NameFallback fallback) {
  if (Settings().Getfromname) {
    if (!t.Title || !t.Artist) SplitFileName(t, path);
    if (!t.Title) SetText(t.Title, FileNameOf(path));
    return;
  }
  if (fallback == NameFallback::kNameOnly)
    SetText(t.Title, FileNameOf(path));
  else if (!t.Title)
    SetText(t.Title, FileNameWithoutExtension(path));
}

int RunEntryPoint(std::u16string_view path, const std::function<void(TrackInfo&)>& readers,
                  NameFallback fallback) {
  TrackInfo& t = Track();
  ClearTrackInfo(t);
  // The previous track's cover files are no longer referenced by anything.
  DeleteTemporaryCovers();
  SetText(t.LastReadPath, path);
  try {
    readers(t);
  } catch (...) {
    // A reader that fails keeps what it had written; the fallback still runs.
  }
  DropImpossibleStreamValues(t);
  SetText(t.PlayerName, PlayerDisplayName(Settings().CurrentPlayer));
  ApplyNameFallback(t, path, fallback);
  CapTrackValues(t);
  return 1;
}

std::u16string ConvertTagText(std::string_view bytes) {
  return bytes.empty() ? std::u16string() : platform::MultiByteToWide(bytes, TagCodePage());
}

void SetConverted(OptText& field, std::string_view bytes) { field.emplace(ConvertTagText(bytes)); }

std::u16string AnsiToUtf16(std::string_view bytes) {
  return bytes.empty() ? std::u16string() : platform::MultiByteToWide(bytes, 0);
}

}  // namespace tunelet
