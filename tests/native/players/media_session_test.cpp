#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "metadata/cover.h"
#include "model/file_kind.h"
#include "model/player_table.h"
#include "model/settings.h"
#include "model/track_caps.h"
#include "players/media_session.h"
#include "players/player_access.h"
#include "scripted_player_system.h"

using namespace tunelet;
using namespace tunelet::testing;

namespace {

constexpr int64_t kSecond = 10'000'000;  // timeline units per second

MediaSession Session(std::u16string appId, SessionStatus status, bool current = false) {
  MediaSession s;
  s.appId = std::move(appId);
  s.status = status;
  s.current = current;
  s.title = u"Title of " + s.appId;
  s.artist = u"Artist";
  return s;
}

std::optional<size_t> Choose(std::vector<MediaSession> sessions, bool returnOnPause = false) {
  return ChooseSession(sessions, returnOnPause);
}

// A session manager that answers what the test says and records what it is asked.
struct ScriptedSessions : IMediaSessionRoute {
  std::optional<MediaSessionList> list = MediaSessionList{true, {}};
  std::vector<std::pair<std::u16string, uint64_t>> thumbnailRequests;
  std::optional<Thumbnail> arrived;
  std::vector<std::pair<std::u16string, int>> commands;
  int reads = 0;

  std::optional<MediaSessionList> ReadSessions(bool) override {
    ++reads;
    return list;
  }
  void RequestThumbnail(const std::u16string& appId, uint64_t generation) override {
    thumbnailRequests.emplace_back(appId, generation);
  }
  std::optional<Thumbnail> TakeThumbnail() override { return std::exchange(arrived, std::nullopt); }
  void SendCommand(const std::u16string& appId, int command) override { commands.emplace_back(appId, command); }

  void Play(MediaSession s) { list = MediaSessionList{true, {std::move(s)}}; }
};

// The eight bytes every PNG file starts with, and a little more.
const std::vector<uint8_t> kPngBytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D, 'I', 'H', 'D', 'R'};

}  // namespace

TEST(MediaSessionChoice, PlayingWinsCurrentFirstThenPausedUnlessPausesEndPlayback) {
  using S = SessionStatus;
  // A paused current session must not hide one that plays.
  EXPECT_EQ(Choose({Session(u"a", S::Paused, true), Session(u"b", S::Playing)}), 1u);
  // Among playing sessions the system's current one wins, else the first.
  EXPECT_EQ(Choose({Session(u"a", S::Playing), Session(u"b", S::Playing, true)}), 1u);
  EXPECT_EQ(Choose({Session(u"a", S::Stopped, true), Session(u"b", S::Playing), Session(u"c", S::Playing)}), 1u);
  // Only paused ones: shown while pauses count as playing, the current first.
  EXPECT_EQ(Choose({Session(u"a", S::Paused), Session(u"b", S::Paused, true)}), 1u);
  EXPECT_EQ(Choose({Session(u"a", S::Paused, true)}, true), std::nullopt);
  // Nothing plays anywhere.
  EXPECT_EQ(Choose({Session(u"a", S::Stopped, true), Session(u"b", S::Closed), Session(u"c", S::Opened),
                    Session(u"d", S::Changing)}),
            std::nullopt);
  EXPECT_EQ(Choose({}), std::nullopt);
}

TEST(MediaSessionFields, FillTheRecordAsASessionSaysIt) {
  MediaSession s = Session(u"Spotify.exe", SessionStatus::Playing);
  s.title = u"Song";
  s.artist = u"";
  s.albumArtist = u"Band";
  s.album = u"Record";
  s.genre = u"Rock";
  s.trackNumber = 7;
  s.startTicks = 5 * kSecond;
  s.endTicks = 215 * kSecond + kSecond / 2;  // 210.5 s after the start
  TrackInfo t;
  SetText(t.Comment, u"from the track before");
  FillTrackFromSession(s, t);
  EXPECT_EQ(View(t.Title), u"Song");
  EXPECT_EQ(View(t.Artist), u"Band");  // the album artist stands in for an empty artist
  EXPECT_EQ(View(t.Album), u"Record");
  EXPECT_EQ(View(t.Genre), u"Rock");
  EXPECT_EQ(View(t.PlayerName), u"Spotify");
  EXPECT_EQ(View(t.FilePath), u"session://Spotify.exe");
  EXPECT_EQ(View(t.LastReadPath), u"session://Spotify.exe");
  EXPECT_FALSE(t.Comment);
  EXPECT_EQ(t.TrackNumber, 7u);
  EXPECT_EQ(t.Duration, 210u);
  EXPECT_FALSE(t.IsVideo);

  // The artist wins over the album artist; hostile numbers give nothing.
  s.artist = u"Singer";
  s.video = true;
  s.trackNumber = -3;
  s.startTicks = INT64_MAX;
  s.endTicks = INT64_MIN;
  FillTrackFromSession(s, t);
  EXPECT_EQ(View(t.Artist), u"Singer");
  EXPECT_EQ(t.TrackNumber, 0u);
  EXPECT_EQ(t.Duration, 0u);
  EXPECT_TRUE(t.IsVideo);
  s.startTicks = INT64_MIN;  // the widest span there is saturates, it does not wrap
  s.endTicks = INT64_MAX;
  FillTrackFromSession(s, t);
  EXPECT_EQ(t.Duration, UINT32_MAX);

  s.title.assign(kMaxTrackValueChars + 100, u'x');
  FillTrackFromSession(s, t);
  EXPECT_EQ(t.Title->size(), kMaxTrackValueChars);
}

TEST(MediaSessionFields, PlayerNamesFromWellKnownIdsThenTheExecutableThenTheId) {
  EXPECT_EQ(SessionPlayerName(u"Spotify.exe"), u"Spotify");
  EXPECT_EQ(SessionPlayerName(u"SpotifyAB.SpotifyMusic_zpdnekdrzrea0!Spotify"), u"Spotify");
  EXPECT_EQ(SessionPlayerName(u"Microsoft.ZuneMusic_8wekyb3d8bbwe!Microsoft.ZuneMusic"), u"Media Player");
  EXPECT_EQ(SessionPlayerName(u"308046B0AF4A39CB"), u"Firefox");
  EXPECT_EQ(SessionPlayerName(u"MSEdge"), u"Edge");
  EXPECT_EQ(SessionPlayerName(u"C:\\Program Files\\MusicBee\\MUSICBEE.EXE"), u"MusicBee");
  EXPECT_EQ(SessionPlayerName(u"vlc.exe"), u"VLC");
  // Unknown executables by their name, anything else by the id itself.
  EXPECT_EQ(SessionPlayerName(u"D:\\Tools\\Tidal.EXE"), u"Tidal");
  EXPECT_EQ(SessionPlayerName(u"Tidal.exe"), u"Tidal");
  EXPECT_EQ(SessionPlayerName(u"Contoso.Player_abc123!App"), u"Contoso.Player_abc123!App");
  EXPECT_EQ(SessionPlayerName(u".exe"), u".exe");
  EXPECT_EQ(SessionPlayerName(u""), u"");
}

class MediaSessionAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    Settings().PluginOn = true;
  }
  void TearDown() override { DeleteTemporaryCovers(); }

  // One polling tick as the core runs it; the path, or "no answer".
  std::optional<std::u16string> Tick() {
    PluginSettings& s = Settings();
    s.PlayerHandle = access.FindPlayer(s.ManualPlayer ? 0 : 1);
    if (!s.PlayerHandle) return u"";
    return access.GetPlayingPath();
  }
  uintptr_t AddMpc() { return sys.AddWindow("MediaPlayerClassicW", "", u"mpc-hc.exe"); }

  ScriptedPlayerSystem sys;
  ScriptedAutomation automation;
  ScriptedOpenFiles openFiles;
  ScriptedSessions sessions;
  PlayerAccess access{PlayerRoutes{sys, automation, openFiles, sessions}};
};

TEST_F(MediaSessionAccess, SpeaksOnlyWhenNoClassicPlayerPlays) {
  sessions.Play(Session(u"Spotify.exe", SessionStatus::Playing, true));
  // No classic player: the session.
  EXPECT_EQ(Tick(), u"session://Spotify.exe");
  EXPECT_EQ(Settings().CurrentPlayer, kMediaSession);
  EXPECT_EQ(Settings().PlayerHandle, kMediaSessionHandle);

  // A classic player that plays keeps its priority; the session is not asked.
  const uintptr_t mpc = AddMpc();
  const int readsBefore = sessions.reads;
  EXPECT_EQ(Tick(), u"C:\\open.mp3");
  EXPECT_EQ(Settings().CurrentPlayer, kMpc);
  EXPECT_EQ(Settings().PlayerHandle, mpc);
  EXPECT_EQ(sessions.reads, readsBefore);

  // The classic player runs but plays nothing: the session again.
  openFiles.path = u"";
  EXPECT_EQ(Tick(), u"session://Spotify.exe");
  EXPECT_EQ(Settings().CurrentPlayer, kMediaSession);
  EXPECT_EQ(Settings().PlayerHandle, kMediaSessionHandle);

  // Chosen by hand, a classic player is the only one asked.
  Settings().ManualPlayer = true;
  Settings().CurrentPlayer = kMpc;
  EXPECT_EQ(Tick(), u"");
  EXPECT_EQ(Settings().CurrentPlayer, kMpc);

  // Chosen by hand, the media session is asked even while a classic player plays.
  openFiles.path = u"C:\\open.mp3";
  Settings().CurrentPlayer = kMediaSession;
  EXPECT_EQ(Tick(), u"session://Spotify.exe");

  // A paused session shows while pauses do not end playback, and says so.
  sessions.Play(Session(u"Spotify.exe", SessionStatus::Paused, true));
  EXPECT_EQ(Tick(), u"session://Spotify.exe");
  EXPECT_TRUE(access.PlayerPaused());
  EXPECT_EQ(access.SessionAppId(), u"Spotify.exe");

  // Nothing plays anywhere.
  sessions.Play(Session(u"Spotify.exe", SessionStatus::Stopped, true));
  EXPECT_EQ(Tick(), u"");
  Settings().ManualPlayer = false;
  openFiles.path = u"";
  EXPECT_EQ(Tick(), u"");
}

TEST_F(MediaSessionAccess, NoAnswerKeepsAShownTrackAndIgnoredVideosPlayNothing) {
  // Before anything was shown, a manager that does not answer means no player.
  sessions.list.reset();
  EXPECT_EQ(Tick(), u"");

  sessions.Play(Session(u"chrome.exe", SessionStatus::Playing));
  EXPECT_EQ(Tick(), u"session://chrome.exe");
  EXPECT_TRUE(access.ReadMediaSessionTrack());
  // Now shown: no answer in time is "no answer", not "stopped".
  sessions.list.reset();
  EXPECT_EQ(Tick(), std::nullopt);
  EXPECT_EQ(Settings().PlayerHandle, kMediaSessionHandle);

  MediaSession video = Session(u"chrome.exe", SessionStatus::Playing);
  video.video = true;
  sessions.Play(video);
  Settings().IgnoreVideo = true;
  EXPECT_EQ(Tick(), u"");
  Settings().IgnoreVideo = false;
  EXPECT_EQ(Tick(), u"session://chrome.exe");
}

TEST_F(MediaSessionAccess, ANewTrackIsAChangeOfAppTitleArtistOrAlbum) {
  MediaSession s = Session(u"Spotify.exe", SessionStatus::Playing);
  auto readAfterTick = [&] {
    sessions.Play(s);
    Tick();
    return access.ReadMediaSessionTrack();
  };
  EXPECT_TRUE(readAfterTick());
  EXPECT_FALSE(readAfterTick());
  s.positionTicks += 30 * kSecond;  // the timeline moves on: the same track
  s.genre = u"Pop";
  EXPECT_FALSE(readAfterTick());
  for (auto change : {+[](MediaSession& m) { m.title += u"!"; }, +[](MediaSession& m) { m.artist += u"!"; },
                      +[](MediaSession& m) { m.album += u"!"; }, +[](MediaSession& m) { m.appId = u"AIMP.exe"; }}) {
    change(s);
    EXPECT_TRUE(readAfterTick());
    EXPECT_FALSE(readAfterTick());
  }
  EXPECT_EQ(View(Track().PlayerName), u"AIMP");
  // The core forgets the track (playback ended, or a republish): read again.
  Forget(Track().LastReadPath);
  EXPECT_TRUE(readAfterTick());
  // A read whose record never reached the host (the poll's answer was
  // dropped) leaves the older track there: the newer one is new again.
  const TrackInfo older = Track();
  s.title = u"Next song";
  EXPECT_TRUE(readAfterTick());
  Track() = older;
  EXPECT_TRUE(readAfterTick());
  EXPECT_EQ(View(Track().Title), u"Next song");
}

TEST_F(MediaSessionAccess, AThumbnailIsShownOnlyWithTheTrackItWasReadFor) {
  MediaSession first = Session(u"Spotify.exe", SessionStatus::Playing);
  first.hasThumbnail = true;
  sessions.Play(first);
  Tick();
  ASSERT_TRUE(access.ReadMediaSessionTrack());
  ASSERT_EQ(sessions.thumbnailRequests.size(), 1u);
  const uint64_t firstGeneration = sessions.thumbnailRequests[0].second;

  // The next track is read before the first one's thumbnail arrives.
  MediaSession second = first;
  second.title = u"Next";
  sessions.Play(second);
  Tick();
  ASSERT_TRUE(access.ReadMediaSessionTrack());
  ASSERT_EQ(sessions.thumbnailRequests.size(), 2u);
  sessions.arrived = IMediaSessionRoute::Thumbnail{firstGeneration, kPngBytes};
  Tick();
  EXPECT_FALSE(access.ReadMediaSessionTrack());
  EXPECT_FALSE(Track().CoverFile);
  EXPECT_FALSE(access.TakeLateCover());

  // Its own thumbnail arrives late: the cover file of the record, once.
  sessions.arrived = IMediaSessionRoute::Thumbnail{sessions.thumbnailRequests[1].second, kPngBytes};
  Tick();
  EXPECT_FALSE(access.ReadMediaSessionTrack());
  ASSERT_TRUE(Track().CoverFile);
  EXPECT_EQ(FileExtension(*Track().CoverFile), u"PNG");
  EXPECT_TRUE(access.TakeLateCover());
  EXPECT_FALSE(access.TakeLateCover());

  // Bytes over the cap, or none, are no thumbnail.
  const OptText shown = Track().CoverFile;
  sessions.arrived = IMediaSessionRoute::Thumbnail{sessions.thumbnailRequests[1].second,
                                                   std::vector<uint8_t>(kMaxSessionThumbnailBytes + 1, 0x89)};
  Tick();
  access.ReadMediaSessionTrack();
  EXPECT_EQ(Track().CoverFile, shown);
  EXPECT_FALSE(access.TakeLateCover());
}

TEST_F(MediaSessionAccess, CommandsReachTheSessionShown) {
  sessions.Play(Session(u"MusicBee.exe", SessionStatus::Playing));
  Tick();
  access.ReadMediaSessionTrack();
  for (int c = 0; c <= 4; ++c) access.SendPlayerCommand(c);
  EXPECT_EQ(sessions.commands, (std::vector<std::pair<std::u16string, int>>{
                                   {u"MusicBee.exe", 0}, {u"MusicBee.exe", 1}, {u"MusicBee.exe", 2},
                                   {u"MusicBee.exe", 3}, {u"MusicBee.exe", 4}}));
  EXPECT_TRUE(sys.sent.empty());
  Settings().PluginOn = false;
  access.SendPlayerCommand(1);
  EXPECT_EQ(sessions.commands.size(), 5u);
}
