#include "core/poll_query.h"

#include <utility>

#include "model/file_kind.h"
#include "model/player_table.h"
#include "platform/wait_budget.h"
#include "templates/privacy_rules.h"

namespace tunelet {

namespace {

using Outcome = PollAnswer::Outcome;

// Reads what plays into the record; true when it is a new track.
bool ReadPlayingTrack(IPlayerAccess& players, PluginSettings& s, const std::u16string& path, bool& lateCover) {
  const bool isStream = Contains(path, u"://");
  if (s.CurrentPlayer == kMediaSession) {
    const bool isNew = players.ReadMediaSessionTrack();
    lateCover = players.TakeLateCover();
    return isNew;
  }
  if (s.CurrentPlayer == kFoobar2000 && s.OLEfoobar && s.PlayerHandle == kFoobarAutomationHandle)
    return players.ReadFoobar2000Track();
  if (s.CurrentPlayer == kWinamp && isStream) return players.ReadWinampStreamTitle(path);
  if (s.CurrentPlayer == kAimp2 && isStream) return players.ReadAimp2StreamTitle(path);
  if (EqualsIgnoreCase(path, View(s.Track.LastReadPath)) || !players.FileExists(path)) return false;
  SetText(s.Track.FilePath, path);
  return players.ClassifyAndRead(path) != 0;
}

// The player switches and the patterns, on the track as read.
void JudgeSharing(const PluginSettings& s, PollAnswer& a) {
  if (!PlayerShared(s.Privacy, a.currentPlayer, a.sessionAppId)) {
    a.hiddenBy = HiddenBy::PlayerSwitchedOff;
    return;
  }
  if (s.Privacy.ExclusionLines.empty()) return;
  const std::vector<ExclusionPattern> patterns = ParseExclusionPatterns(s.Privacy.ExclusionLines);
  const std::u16string_view playerName =
      IsEmpty(a.track.PlayerName) ? PlayerDisplayName(a.currentPlayer) : View(a.track.PlayerName);
  if (const ExclusionPattern* p = ExclusionThatHides(a.track, playerName, patterns)) {
    a.hiddenBy = HiddenBy::Pattern;
    a.hidingPattern = p->line;
  }
}

}  // namespace

PollAnswer RunPollQuery(IPlayerAccess& players, PollRequest& request) {
  PluginSettings& s = request.record;
  const ThreadRecordScope onCopy(s);
  const TickWaitScope waits(kTickWaitBudgetMs);
  PollAnswer a;
  s.PlayerHandle = players.FindPlayer(s.ManualPlayer ? 0 : 1);
  a.currentPlayer = s.CurrentPlayer;
  a.playerHandle = s.PlayerHandle;
  if (s.PlayerHandle == 0) return a;
  if (!request.readsTrack) {
    a.outcome = Outcome::NotAsked;
    return a;
  }

  std::optional<std::u16string> answer = players.GetPlayingPath();
  // Asking for the path may hand the word to the media session.
  a.currentPlayer = s.CurrentPlayer;
  a.playerHandle = s.PlayerHandle;
  if (!answer) {
    a.outcome = Outcome::NoAnswer;
    return a;
  }
  std::u16string& path = *answer;
  if (s.IgnoreVideo && !path.empty() && IsVideoFile(path)) path.clear();
  if (path.empty()) {
    a.outcome = Outcome::NothingPlays;
    return a;
  }
  a.outcome = Outcome::Plays;
  a.paused = players.PlayerPaused();
  a.isNew = ReadPlayingTrack(players, s, path, a.lateCover);
  if (a.currentPlayer == kMediaSession) a.sessionAppId = players.SessionAppId();
  a.track = std::move(s.Track);
  a.lastWindowTitle = std::move(s.LastWindowTitle);
  JudgeSharing(s, a);
  return a;
}

PollBasis PollBasis::Of(const PluginSettings& s) {
  PollBasis b;
  b.pluginOn = s.PluginOn;
  b.manualPlayer = s.ManualPlayer;
  b.chosenPlayer = s.ManualPlayer ? s.CurrentPlayer : 0;
  b.returnOnPause = s.Returnonpause;
  b.ignoreVideo = s.IgnoreVideo;
  b.oleFoobar = s.OLEfoobar;
  b.getFromName = s.Getfromname;
  b.tagCodePage = s.a_u;
  b.track = s.Track;
  b.lastWindowTitle = s.LastWindowTitle;
  return b;
}

}  // namespace tunelet
