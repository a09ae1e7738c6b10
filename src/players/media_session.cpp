#include "players/media_session.h"

#include <array>
#include <utility>

#include "common/text.h"
#include "model/track_caps.h"

namespace tunelet {

namespace {

constexpr int64_t kTicksPerSecond = 10'000'000;

// Index of the first session with the status, the current one preferred.
std::optional<size_t> FirstWithStatus(const std::vector<MediaSession>& sessions, SessionStatus status) {
  std::optional<size_t> first;
  for (size_t i = 0; i < sessions.size(); ++i) {
    if (sessions[i].status != status) continue;
    if (sessions[i].current) return i;
    if (!first) first = i;
  }
  return first;
}

struct KnownApp {
  std::u16string_view key;  // an executable's name or a package's name, compared ignoring case
  std::u16string_view name;
};

// Source applications people know by another name than their id. Browsers
// and store apps name themselves by an id of their own; Win32 players by
// their executable.
constexpr std::array<KnownApp, 17> kKnownApps{{
    {u"Spotify.exe", u"Spotify"},
    {u"SpotifyAB.SpotifyMusic", u"Spotify"},
    {u"Chrome", u"Chrome"},
    {u"chrome.exe", u"Chrome"},
    {u"MSEdge", u"Edge"},
    {u"msedge.exe", u"Edge"},
    {u"308046B0AF4A39CB", u"Firefox"},
    {u"firefox.exe", u"Firefox"},
    {u"opera.exe", u"Opera"},
    {u"Microsoft.ZuneMusic", u"Media Player"},
    {u"Microsoft.ZuneVideo", u"Movies & TV"},
    {u"MusicBee.exe", u"MusicBee"},
    {u"AIMP.exe", u"AIMP"},
    {u"vlc.exe", u"VLC"},
    {u"foobar2000.exe", u"foobar2000"},
    {u"iTunes.exe", u"iTunes"},
    {u"AppleInc.AppleMusicWin", u"Apple Music"},
}};

// A store app's id is "<package name>_<publisher id>!<app>": the package name.
std::u16string_view PackageName(std::u16string_view appId) {
  if (appId.find(u'!') == std::u16string_view::npos) return appId;
  return appId.substr(0, appId.find(u'_'));
}

// The file name of an executable's path or name, without ".exe"; empty when
// the id is not an executable.
std::u16string_view ExecutableStem(std::u16string_view appId) {
  const size_t slash = appId.find_last_of(u"\\/");
  const std::u16string_view file = slash == std::u16string_view::npos ? appId : appId.substr(slash + 1);
  constexpr std::u16string_view kExe = u".exe";
  if (file.size() <= kExe.size() || !EqualsIgnoreCase(file.substr(file.size() - kExe.size()), kExe)) return {};
  return file.substr(0, file.size() - kExe.size());
}

uint32_t DurationSeconds(int64_t startTicks, int64_t endTicks) {
  if (endTicks <= startTicks) return 0;
  // Unsigned difference: exact for any end above start, without overflow.
  const uint64_t ticks = uint64_t(endTicks) - uint64_t(startTicks);
  const uint64_t seconds = ticks / uint64_t(kTicksPerSecond);
  return seconds > UINT32_MAX ? UINT32_MAX : uint32_t(seconds);
}

}  // namespace

std::optional<size_t> ChooseSession(const std::vector<MediaSession>& sessions, bool returnOnPause) {
  if (auto playing = FirstWithStatus(sessions, SessionStatus::Playing)) return playing;
  if (returnOnPause) return std::nullopt;
  return FirstWithStatus(sessions, SessionStatus::Paused);
}

std::u16string SessionPlayerName(std::u16string_view appId) {
  const std::u16string_view file = appId.substr(appId.find_last_of(u"\\/") + 1);
  const std::u16string_view package = PackageName(appId);
  for (const KnownApp& app : kKnownApps)
    if (EqualsIgnoreCase(file, app.key) || EqualsIgnoreCase(package, app.key)) return std::u16string(app.name);
  if (const std::u16string_view stem = ExecutableStem(appId); !stem.empty()) return std::u16string(stem);
  return std::u16string(appId);
}

std::u16string SessionTrackAddress(std::u16string_view appId) { return u"session://" + std::u16string(appId); }

SessionTrackKey TrackKeyOf(const MediaSession& s) { return {s.appId, s.title, s.artist, s.album}; }

void FillTrackFromSession(const MediaSession& s, TrackInfo& track) {
  ClearTrackInfo(track);
  const std::u16string address = SessionTrackAddress(s.appId);
  SetText(track.FilePath, address);
  SetText(track.LastReadPath, address);
  SetText(track.Title, s.title);
  SetText(track.Artist, s.artist.empty() ? s.albumArtist : s.artist);
  SetText(track.Album, s.album);
  SetText(track.Genre, s.genre);
  SetText(track.PlayerName, SessionPlayerName(s.appId));
  track.TrackNumber = s.trackNumber > 0 ? uint32_t(s.trackNumber) : 0;
  track.Duration = DurationSeconds(s.startTicks, s.endTicks);
  track.IsVideo = s.video;
  CapTrackValues(track);
}

}  // namespace tunelet
