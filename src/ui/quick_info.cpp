#include "ui/quick_info.h"

#include <array>

#include "metadata/format.h"
#include "model/file_kind.h"
#include "model/settings.h"
#include "platform/platform.h"

namespace tunelet {

ScreenPoint QuickInfoPosition(const ScreenRect& workArea) {
  return {workArea.right - kQuickInfoWidth - kQuickInfoRightMargin,
          workArea.bottom - kQuickInfoHeight - kQuickInfoBottomMargin};
}

namespace {
std::u16string OrElse(const OptText& value, std::u16string_view fallback) {
  return value ? *value : std::u16string(fallback);
}
}  // namespace

QuickInfoTexts CurrentQuickInfoTexts(const IUiTexts& texts) {
  const TrackInfo& t = Track();
  QuickInfoTexts q;
  q.title = t.Title ? *t.Title : texts.Text(u"UNKNOWN_TRACK");
  q.artist = t.Artist ? *t.Artist : texts.Text(u"UNKNOWN_ARTIST");
  q.album = OrElse(t.Album, u"-");
  q.genre = OrElse(t.Genre, u"-");
  q.time = FormatTrackValue(kValueDuration);
  q.year = OrElse(t.Year, u"");
  q.fileName = OrElse(t.FilePath, u"");
  q.fileInfo = StreamFactsLine();
  return q;
}

std::u16string StreamFactsLine() {
  const TrackInfo& t = Track();
  std::u16string line;
  auto add = [&line](uint32_t field, int kind) {
    if (field == 0) return;
    if (!line.empty()) line += u", ";
    line += FormatTrackValue(kind);
  };
  add(t.SampleRate, kValueSampleRate);
  add(t.Bitrate, kValueBitrate);
  add(t.FileSize, kValueSize);
  return line;
}

bool QuickInfoStays(const std::u16string* titleUnderMouse) {
  if (!titleUnderMouse) return false;
  return std::u16string_view(*titleUnderMouse).substr(0, kQuickInfoTitleCheckLength) == kQuickInfoCaption;
}

std::u16string FolderOf(std::u16string_view path) {
  if (path.find(u"://") != std::u16string_view::npos) return {};
  const size_t slash = path.find_last_of(u"\\/");
  if (slash == std::u16string_view::npos) return {};
  return std::u16string(path.substr(0, slash + 1));
}

namespace {
constexpr std::array<std::u16string_view, 6> kCoverPatterns = {u"cover.*",  u"*cover*.*", u"folder.*",
                                                               u"*front.*", u"album*.*",  u"*.jpg"};
constexpr std::array<std::u16string_view, 6> kCoverExtensions = {u"JPG", u"JPEG", u"BMP", u"GIF", u"PNG", u"TIFF"};
constexpr uint64_t kCoverMinBytes = 1000, kCoverMaxBytes = 1000000;  // both excluded

bool UsableCover(const platform::FoundEntry& e) {
  if (e.size <= kCoverMinBytes || e.size >= kCoverMaxBytes) return false;
  const std::u16string ext = FileExtension(e.name);
  for (std::u16string_view known : kCoverExtensions)
    if (ext == known) return true;
  return false;
}
}  // namespace

std::u16string FindFolderCover(std::u16string_view path) {
  const std::u16string folder = FolderOf(path);
  if (folder.empty()) return {};
  for (std::u16string_view pattern : kCoverPatterns) {
    const std::optional<platform::FoundEntry> first = platform::FindFirstEntry(folder, pattern);
    if (first && UsableCover(*first)) return folder + first->name;
  }
  return {};
}

bool EnsureCoverFile(TrackInfo& track) {
  if (!IsEmpty(track.CoverFile)) return true;
  const std::u16string found = FindFolderCover(View(track.FilePath));
  if (found.empty()) return false;
  SetText(track.CoverFile, found);
  return true;
}

}  // namespace tunelet
