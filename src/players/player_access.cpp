#include "players/player_access.h"

#include <optional>
#include <utility>
#include <vector>

#include "model/settings.h"
#include "platform/platform.h"
#include "metadata/cover.h"
#include "metadata/entry_points.h"
#include "players/player_commands.h"
#include "players/player_detection.h"
#include "model/player_table.h"
#include "players/window_message_players.h"

namespace tunelet {

namespace {

// GetPlayerInfo kinds and the Winamp (wParam, lParam) that answer them.
constexpr int kInfoBitrate = 21;
constexpr int kInfoSampleRate = 22;
constexpr int kInfoLength = 23;
constexpr intptr_t kGetTrackInfo = 126;
constexpr intptr_t kGetOutputTime = 105;

// MediaMonkey answers the Winamp state query (WM_USER, 0, 104) with 0 or 10
// when it plays nothing; paused (3) still has a current song.
constexpr intptr_t kGetWinampState = 104;
constexpr intptr_t kMediaMonkeyStopped[] = {0, 10};

struct WinampInfoQuery {
  uintptr_t wParam;
  intptr_t lParam;
};

std::optional<WinampInfoQuery> WinampInfoQueryFor(int kind) {
  switch (kind) {
    case kInfoBitrate: return WinampInfoQuery{1, kGetTrackInfo};
    case kInfoSampleRate: return WinampInfoQuery{0, kGetTrackInfo};
    case kInfoLength: return WinampInfoQuery{1, kGetOutputTime};
    default: return std::nullopt;
  }
}

int32_t AskWinampInfo(IPlayerSystem& system, uintptr_t window, int kind) {
  const auto query = WinampInfoQueryFor(kind);
  if (!query || !window) return 0;
  return int32_t(system.SendBounded(window, kWmUser, query->wParam, query->lParam).value_or(0));
}

}  // namespace

IMediaSessionRoute& NoMediaSessionRoute() {
  static IMediaSessionRoute none;
  return none;
}

uintptr_t PlayerAccess::FindPlayer(int mode) {
  if (mode == 0 && Settings().CurrentPlayer == kMediaSession) return FindMediaSession();
  const uintptr_t classic = tunelet::FindPlayer(routes_, mode);
  // The classic players come first; the media session speaks when none runs.
  if (classic || mode != 1) return classic;
  return FindMediaSession();
}

uintptr_t PlayerAccess::FindMediaSession() {
  PluginSettings& s = Settings();
  switch (session_.Poll(s.Returnonpause)) {
    case MediaSessionPlayer::Answer::Plays:
      s.CurrentPlayer = kMediaSession;
      return kMediaSessionHandle;
    case MediaSessionPlayer::Answer::NoAnswer:
      // A session that is shown and does not answer in time has not stopped.
      if (!session_.ShowsTrack(s.Track)) return 0;
      s.CurrentPlayer = kMediaSession;
      return kMediaSessionHandle;
    case MediaSessionPlayer::Answer::NothingPlays:
      break;
  }
  return 0;
}

PathAnswer PlayerAccess::GetMediaMonkeyPath() {
  const auto state = routes_.system.SendBounded(Settings().PlayerHandle, kWmUser, 0, kGetWinampState);
  if (!state) return std::nullopt;
  for (intptr_t stopped : kMediaMonkeyStopped)
    if (*state == stopped) return u"";
  return routes_.automation.GetMediaMonkeyCurrentSongPath();
}

std::optional<std::u16string> PlayerAccess::GetPlayingPath() {
  PluginSettings& s = Settings();
  paused_ = false;
  if (s.CurrentPlayer == kMediaSession) return SessionPlayingAddress();
  PathAnswer answer = GetClassicPlayingPath();
  // A classic player that plays nothing (stopped, closed, paused with
  // Returnonpause) leaves the word to the media session in automatic mode.
  if (!answer || !answer->empty() || s.ManualPlayer) return answer;
  if (FindMediaSession() != kMediaSessionHandle) return answer;
  s.PlayerHandle = kMediaSessionHandle;
  return SessionPlayingAddress();
}

std::optional<std::u16string> PlayerAccess::SessionPlayingAddress() {
  const MediaSession* chosen = session_.Chosen();
  paused_ = chosen && chosen->status == SessionStatus::Paused;
  return session_.PlayingAddress(Settings().IgnoreVideo);
}

std::u16string PlayerAccess::SessionAppId() {
  const MediaSession* chosen = session_.Chosen();
  return chosen ? chosen->appId : std::u16string();
}

PathAnswer PlayerAccess::GetClassicPlayingPath() {
  const PluginSettings& s = Settings();
  IPlayerSystem& system = routes_.system;
  const uintptr_t handle = s.PlayerHandle;
  switch (s.CurrentPlayer) {
    case kWinamp: return GetWinampPath(system, handle, &paused_);
    case kFoobar2000:
      if (handle == kFoobarAutomationHandle) return routes_.automation.GetFoobar2000Path();
      return routes_.openFiles.FindOpenMediaFile(handle);
    case kAimp2: return GetAimp2Path(system, handle, &paused_);
    case kJetAudio: {
      const auto playing = JetAudioIsPlaying(system, handle, &paused_);
      if (!playing) return std::nullopt;
      return *playing ? routes_.openFiles.FindOpenMediaFile(handle) : u"";
    }
    case kITunes: return routes_.automation.GetItunesPath();
    case kMediaMonkey: return GetMediaMonkeyPath();
    case kApollo: return GetApolloPath(system, handle);
    case kWmp: case kMpc: case kGom: case kLightAlloy: case kBsPlayer: case kZoomPlayer: case kKmPlayer:
    case kCrystal: case kQmp: case kXmPlay: case kRealPlayer: case kImpsPlayer:
      return routes_.openFiles.FindOpenMediaFile(handle);
    default: return u"";
  }
}

bool PlayerAccess::ReadFoobar2000Track() { return routes_.automation.ReadFoobar2000Track(); }

bool PlayerAccess::ReadWinampStreamTitle(std::u16string_view url) {
  return tunelet::ReadWinampStreamTitle(routes_.system, Settings().PlayerHandle, url);
}

bool PlayerAccess::ReadAimp2StreamTitle(std::u16string_view url) {
  return tunelet::ReadAimp2StreamTitle(routes_.system, Settings().PlayerHandle, url);
}

int PlayerAccess::ClassifyAndRead(std::u16string_view path) { return tunelet::ClassifyAndRead(path); }

bool PlayerAccess::FileExists(std::u16string_view path) { return platform::FileExists(path); }

int32_t PlayerAccess::GetPlayerInfo(int kind) {
  switch (Settings().CurrentPlayer) {
    case kWinamp: return AskWinampInfo(routes_.system, Settings().PlayerHandle, kind);
    case kAimp2:
      // AIMP2 answers on its Winamp-compatible window, looked up anew each time.
      return AskWinampInfo(routes_.system, routes_.system.FindTopWindow("Winamp v1.x", nullptr), kind);
    case kITunes:
      return kind == kInfoBitrate || kind == kInfoSampleRate || kind == kInfoLength
                 ? routes_.automation.GetItunesInfo(kind)
                 : 0;
    default: return 0;
  }
}

void PlayerAccess::SendPlayerCommand(int command) {
  const PluginSettings& s = Settings();
  if (s.CurrentPlayer != kMediaSession) return tunelet::SendPlayerCommand(routes_, command);
  if (s.PluginOn) session_.SendCommand(command);
}

bool PlayerAccess::ReadMediaSessionTrack() {
  TrackInfo& track = Track();
  const bool isNew = session_.ReadTrack(track);
  // The previous track's thumbnail files go with it (as a file read does).
  if (isNew) DeleteTemporaryCovers();
  if (std::optional<std::vector<uint8_t>> thumbnail = session_.TakeThumbnail()) {
    if (OptText path = SaveCoverImage(*thumbnail, ImageTypeFromData(*thumbnail), u"thumb")) {
      track.CoverFile = std::move(path);
      lateCover_ = true;
    }
  }
  return isNew;
}

bool PlayerAccess::TakeLateCover() { return std::exchange(lateCover_, false); }

}  // namespace tunelet
