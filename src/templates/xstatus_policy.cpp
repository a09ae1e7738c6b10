#include "templates/xstatus_policy.h"

#include "common/text_bounds.h"
#include "model/settings.h"
#include "model/file_kind.h"
#include "templates/template_engine.h"

namespace tunelet {

namespace {

constexpr int kNewTrackPopup = 2;

bool IsPublishingMode(uint8_t action) {
  return action == kModeContentOnly || action == kModeFromMusic || action == kModeReplaceAny ||
         action == kModeAppendToUser;
}

// Titles go out as written: templates are allowed in the text only.
OptText PublishedTitle(const PluginSettings& s, bool video) {
  if (s.KeepXStatusName) return s.CurrentXStatusTitle;
  // The "Music" picture is an audio status, whatever the file is.
  const bool useVideo = video && s.Action != kModeFromMusic;
  return useVideo ? s.VideoTitleTemplate : s.AudioTitleTemplate;
}

std::u16string TextTemplate(const PluginSettings& s, bool video) {
  const bool useVideo = video && s.Action != kModeFromMusic;
  std::u16string text(View(useVideo ? s.VideoTextTemplate : s.AudioTextTemplate));
  // The user's own text goes through the expansion with the template.
  if (s.Action == kModeAppendToUser) text = std::u16string(View(s.SavedXStatusText)) + u" " + text;
  return text;
}

int32_t PublishedPicture(const PluginSettings& s, bool video) {
  switch (s.Action) {
    case kModeFromMusic: return kMusicPicture;
    case kModeReplaceAny: return video ? s.Xstat_v : s.Xstat_a;
    default: return s.SavedXStatusPicture;  // 10 and 31 keep the user's picture
  }
}

// The next poll takes the playing track as new: a file by its path, a
// Winamp or AIMP2 stream by the window title its song came from.
void RepublishAtNextPoll(PluginSettings& s) {
  Forget(s.Track.LastReadPath);
  Forget(s.LastWindowTitle);
}

}  // namespace

std::optional<XStatusContent> BuildXStatusContent() {
  const PluginSettings& s = Settings();
  if (!IsPublishingMode(s.Action)) return std::nullopt;
  const bool video = TrackIsVideo(s.Track);

  XStatusContent content;
  content.picture = PublishedPicture(s, video);
  content.title = PublishedTitle(s, video);
  // The host's own title goes back as it was; a stored template is cut to
  // what the host takes.
  if (!s.KeepXStatusName) TruncateText(content.title, kMaxXStatusTitleChars);
  if (IsEmpty(content.title)) content.title.reset();
  content.text = TextTemplate(s, video);
  // A block error still publishes: what precedes it is expanded, the rest
  // stays as written.
  ExpandConditionalBlocks(content.text, nullptr, true);
  SubstituteVariables(content.text, kMaxXStatusTextChars);
  return content;
}

void XStatusPolicy::PublishTrack() {
  std::optional<XStatusContent> content = BuildXStatusContent();
  if (!content) return;
  host_.SetXStatus(content->picture, content->title, OptText(std::move(content->text)));
  if (Settings().PopupsOn) ui_.ShowPopup(kNewTrackPopup);
}

void XStatusPolicy::OnXStatusChanged(int32_t picture, std::u16string_view text) {
  PluginSettings& s = Settings();
  if ((s.Action == kModeContentOnly || s.Action == kModeAppendToUser) && s.SavedXStatusValid) {
    // The user's choice becomes the X-status put back when playback ends;
    // the text only comes with a new picture (0 means none was chosen).
    if (picture != s.SavedXStatusPicture && picture > 0) SetText(s.SavedXStatusText, text);
    s.SavedXStatusPicture = uint16_t(picture & 0xFFFF);
    RepublishAtNextPoll(s);  // over the new choice
  } else if (s.Action == kModeFromMusic && picture == kMusicPicture) {
    RepublishAtNextPoll(s);  // "Music" chosen
  }
}

}  // namespace tunelet
