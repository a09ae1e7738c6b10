// The user's privacy rules on the road: what the contacts see (the X-status
// changes the host receives) while players play, pause and change tracks.
#include <gtest/gtest.h>

#include <map>

#include "core/plugin_core.h"
#include "core/privacy_store.h"
#include "core_fakes.h"
#include "model/settings.h"

using namespace tunelet;
using namespace tunelet::testing;

namespace {

constexpr char16_t kSongA[] = u"C:\\Music\\a.mp3";
constexpr char16_t kSongB[] = u"C:\\Music\\b.mp3";
constexpr char16_t kSongC[] = u"C:\\Music\\c.mp3";
constexpr char16_t kSongD[] = u"C:\\Music\\d.mp3";
constexpr char16_t kSongE[] = u"C:\\Music\\e.mp3";
constexpr char16_t kPodcast[] = u"C:\\Talk\\episode.mp3";
constexpr int64_t kSecond = 1000;
constexpr int64_t kMinute = 60 * kSecond;

// One-shot timers that fire by the clock: each remembers when it was armed
// and with which delay, and RunUntil fires them in time order.
class ClockTimers : public FakeTimers {
 public:
  void Enable(CoreTimer t) override {
    FakeTimers::Enable(t);
    Arm(t, t == CoreTimer::Apply ? kApplyDelayMs : t == CoreTimer::Restore ? kRestoreDelayMs : 0);
  }
  void EnableAfter(CoreTimer t, uint32_t delayMs) override {
    FakeTimers::EnableAfter(t, delayMs);
    Arm(t, delayMs);
  }
  // The one-shot timer due first at or before `until`, if any.
  std::optional<CoreTimer> NextDue(int64_t until) const {
    std::optional<CoreTimer> next;
    for (CoreTimer t : {CoreTimer::Apply, CoreTimer::Restore, CoreTimer::Calm}) {
      if (!IsEnabled(t) || due_[int(t)] > until) continue;
      if (!next || due_[int(t)] < due_[int(*next)]) next = t;
    }
    return next;
  }
  int64_t DueOf(CoreTimer t) const { return due_[int(t)]; }

 private:
  void Arm(CoreTimer t, uint32_t delayMs) { due_[int(t)] = now + delayMs; }
  int64_t due_[kCoreTimerCount + 1] = {};
};

// A player that reports pause and names a session application, with an
// artist per file.
class PrivacyPlayers : public FakePlayers {
 public:
  uint8_t player = kWinamp;
  bool paused = false;
  std::u16string appId;
  std::map<std::u16string, std::u16string> artists;

  uintptr_t FindPlayer(int mode) override {
    if (window) Settings().CurrentPlayer = player;
    return FakePlayers::FindPlayer(mode);
  }
  bool PlayerPaused() override { return paused; }
  // The session's track is new when its address is (as the real read
  // compares its fields with the record).
  bool ReadMediaSessionTrack() override {
    const std::u16string address = playing.value_or(u"");
    if (address == View(Track().LastReadPath)) return false;
    SetText(Track().FilePath, address);
    return ClassifyAndRead(address) != 0;
  }
  std::u16string SessionAppId() override { return appId; }
  int ClassifyAndRead(std::u16string_view path) override {
    const int taken = FakePlayers::ClassifyAndRead(path);
    const auto artist = artists.find(std::u16string(path));
    if (artist != artists.end()) SetText(Track().Artist, artist->second);
    return taken;
  }
};

// What the contacts see: the X-status set, without the clearing that starts
// every change.
struct Shown {
  int64_t atMs;
  int32_t picture;
  std::u16string text;
  bool operator==(const Shown&) const = default;
};

void PrintTo(const Shown& s, std::ostream* os) {
  *os << "{" << s.atMs << " ms, picture " << s.picture << ", " << s.text.size() << " chars}";
}

class RecordingPublisher : public IPublisher {
 public:
  explicit RecordingPublisher(IHost& host) : host_(host) {}
  void PublishTrack() override { host_.SetXStatus(11, std::u16string(u"Слушаю:"), Track().Title); }

 private:
  IHost& host_;
};

class PrivacyRoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    ini.Set(u"Others", u"temp", u"1");
    ini.Set(u"Others", u"Firstrun", u"0");
    host.record.Initialised = true;
    host.record.PluginOn = true;
    host.record.PopupsOn = true;
    players.existing = {kSongA, kSongB, kSongC, kSongD, kSongE, kPodcast};
    players.artists[kPodcast] = u"The Weekly Podcast";
  }

  void Start() {
    CoreEnvironment env;
    env.host = &host;
    env.timers = &timers;
    env.ini = &ini;
    env.subsystems.players = &players;
    env.subsystems.publisher = &publisher;
    env.subsystems.ui = &ui;
    env.fileVersion = "3.0.1.0";
    core = std::make_unique<PluginCore>(env);
    core->HandleHostMessage(MSG_STARTUP, 0, nullptr);
    Poll(0);  // consumes the "just saved" flag, nothing plays yet
  }

  // Fires the one-shot timers due until `atMs`, then polls at `atMs`.
  void Poll(int64_t atMs) {
    RunUntil(atMs);
    core->OnTimer(CoreTimer::Poll);
    Record();
  }
  void RunUntil(int64_t atMs) {
    while (std::optional<CoreTimer> t = timers.NextDue(atMs)) {
      timers.now = timers.DueOf(*t);
      core->OnTimer(*t);
      Record();
    }
    timers.now = atMs;
  }
  void Play(const char16_t* path) {
    players.window = 0x1234;
    players.playing = path;
  }
  void StopPlayer() { players.playing = u""; }

  void Record() {
    for (const SentMessage& m : host.TakeLog())
      if (m.msg == MSG_SET_XSTATUS && m.picture != 0) shown.push_back({timers.now, m.picture, m.text.value_or(u"")});
  }
  static Shown Track(int64_t atMs, const char16_t* path) { return {atMs, 11, path}; }
  static Shown Own(int64_t atMs) { return {atMs, 5, u"My text"}; }

  FakeHost host;
  MemoryIni ini;
  ClockTimers timers;
  PrivacyPlayers players;
  RecordingPublisher publisher{host};
  FakeUi ui;
  std::unique_ptr<PluginCore> core;
  std::vector<Shown> shown;
};

// Tracks change every 5 s, the player stops and starts again, the plug-in is
// switched off and on: the changes today's plug-in makes, each 900 ms after
// the poll that saw it.
const std::vector<Shown> kEverydayRoadAsToday{{5900, 11, kSongA},   {10900, 11, kSongB}, {20900, 5, u"My text"},
                                              {25900, 11, kPodcast}, {30900, 5, u"My text"}, {35900, 11, kPodcast}};

class EverydayRoadTest : public PrivacyRoadTest {
 protected:
  void Drive() {
    Start();
    Play(kSongA);
    Poll(5 * kSecond);
    Play(kSongB);
    Poll(10 * kSecond);
    Poll(15 * kSecond);
    StopPlayer();
    Poll(20 * kSecond);
    Play(kPodcast);
    Poll(25 * kSecond);
    Settings().PluginOn = false;
    Poll(30 * kSecond);
    Settings().PluginOn = true;
    Poll(35 * kSecond);
    Poll(40 * kSecond);
    RunUntil(60 * kSecond);
    EXPECT_FALSE(timers.IsEnabled(CoreTimer::Calm));
    EXPECT_EQ(core->LastHiddenBy(), HiddenBy::Nothing);
  }
};

TEST_F(EverydayRoadTest, TheDefaultsShowExactlyWhatThePlugInShowedBefore) {
  Drive();
  EXPECT_EQ(shown, kEverydayRoadAsToday);
}

TEST_F(EverydayRoadTest, APrivacySectionWrittenWithTheDefaultsShowsTheSame) {
  SavePrivacySettings(ini, PrivacySettings{});
  Drive();
  EXPECT_EQ(shown, kEverydayRoadAsToday);
}

TEST_F(PrivacyRoadTest, APlayerSwitchedOffKeepsTheUsersOwnXStatusAndIsNotReadAgain) {
  static_assert(kWinamp == 8);
  ini.Set(u"Privacy", u"Player8", u"0");
  Start();
  Play(kSongA);
  for (int64_t t = 5; t <= 20; t += 5) Poll(t * kSecond);
  RunUntil(30 * kSecond);
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(core->LastHiddenBy(), HiddenBy::PlayerSwitchedOff);
  // Nothing of the hidden track is in the record the paste and QuickInfo read.
  EXPECT_TRUE(IsEmpty(Settings().Track.Title));
  EXPECT_FALSE(Settings().SavedXStatusValid);
  EXPECT_EQ(players.classified.size(), 1u);  // held apart, not read at every poll

  // Another player, switched on, is shown at once.
  players.player = kFoobar2000;
  Play(kSongB);
  Poll(35 * kSecond);
  RunUntil(40 * kSecond);
  EXPECT_EQ(shown, (std::vector<Shown>{Track(35900, kSongB)}));
}

TEST_F(PrivacyRoadTest, AnExcludedArtistMidSessionBringsTheUsersOwnBackAndTheNextTrackIsShown) {
  ini.Set(u"Privacy", u"Exclusions", u"2");
  ini.Set(u"Privacy", u"Exclusion1", u"title:*secret*");
  ini.Set(u"Privacy", u"Exclusion2", u"artist:*PODCAST*");
  Start();
  Play(kSongA);
  Poll(5 * kSecond);
  Play(kPodcast);
  Poll(10 * kSecond);
  EXPECT_EQ(core->LastHiddenBy(), HiddenBy::Pattern);
  EXPECT_EQ(core->LastHidingPattern(), u"artist:*PODCAST*");
  Poll(15 * kSecond);
  Play(kSongB);
  Poll(20 * kSecond);
  RunUntil(30 * kSecond);
  EXPECT_EQ(shown, (std::vector<Shown>{Track(5900, kSongA), Own(10900), Track(20900, kSongB)}));
  EXPECT_EQ(core->LastHiddenBy(), HiddenBy::Nothing);
}

TEST_F(PrivacyRoadTest, PausedSharingAsksNoPlayerEndsAfterAnHourAndASecondPressResumesAtOnce) {
  Start();
  Play(kSongA);
  Poll(5 * kSecond);
  RunUntil(6 * kSecond);
  EXPECT_TRUE(ToggleSharingPause(Settings(), timers.now, 13 * 60 + 5));
  EXPECT_EQ(Settings().SharingPausedUntilClock, u"14:05");
  players.lastFindMode = -1;
  Poll(10 * kSecond);
  EXPECT_EQ(players.lastFindMode, -1);  // no player asked while paused
  EXPECT_EQ(core->LastHiddenBy(), HiddenBy::SharingPaused);
  Poll(15 * kSecond);
  RunUntil(20 * kSecond);
  EXPECT_TRUE(IsEmpty(Settings().Track.Title));
  EXPECT_TRUE(ui.popups.empty());  // the hot key or the menu says it, not the core

  // The hour ends by itself: the state popup says so and the track is back.
  Poll(6 * kSecond + 60 * kMinute - 1);
  EXPECT_TRUE(ui.popups.empty());
  Poll(6 * kSecond + 60 * kMinute + 4 * kSecond);
  EXPECT_EQ(ui.popups, (std::vector<int>{3}));
  EXPECT_FALSE(Settings().SharingPaused.Until());

  // Paused again and resumed by a second press: shown at the next poll.
  const int64_t again = 2 * 60 * kMinute;
  Poll(again);
  RunUntil(again + kSecond);
  EXPECT_TRUE(ToggleSharingPause(Settings(), timers.now, 0));
  EXPECT_EQ(Settings().SharingPausedUntilClock, u"1:00");
  Poll(again + 5 * kSecond);
  EXPECT_FALSE(ToggleSharingPause(Settings(), timers.now, 0));
  Poll(again + 10 * kSecond);
  RunUntil(again + 20 * kSecond);
  const int64_t end = 6 * kSecond + 60 * kMinute + 4 * kSecond;
  EXPECT_EQ(shown, (std::vector<Shown>{Track(5900, kSongA), Own(10900), Track(end + 900, kSongA),
                                       Own(again + 5900), Track(again + 10900, kSongA)}));

  // A pause does not outlive the plug-in's run.
  EXPECT_TRUE(ToggleSharingPause(Settings(), timers.now, 0));
  core->HandleHostMessage(MSG_DISABLED, 0, nullptr);
  core->HandleHostMessage(MSG_ENABLED, 0, nullptr);
  EXPECT_FALSE(Settings().SharingPaused.Active(timers.now));
}

TEST_F(PrivacyRoadTest, APlayerPausedLongerThanTheLimitShowsTheUsersOwnUntilItPlaysAgain) {
  ini.Set(u"Privacy", u"Pauselimit", u"1");
  Start();
  Play(kSongA);
  Poll(5 * kSecond);
  players.paused = true;
  for (int64_t t = 10; t <= 65; t += 5) Poll(t * kSecond);  // 55 s of pause: not yet
  EXPECT_EQ(core->LastHiddenBy(), HiddenBy::Nothing);
  Poll(70 * kSecond);  // a minute
  EXPECT_EQ(core->LastHiddenBy(), HiddenBy::PausedTooLong);
  Poll(75 * kSecond);
  players.paused = false;
  Poll(80 * kSecond);
  // A pause of another track counts from its own start.
  players.paused = true;
  Play(kSongB);
  Poll(85 * kSecond);
  Poll(140 * kSecond);
  RunUntil(150 * kSecond);
  EXPECT_EQ(shown, (std::vector<Shown>{Track(5900, kSongA), Own(70900), Track(80900, kSongA),
                                       Track(85900, kSongB)}));
  EXPECT_EQ(core->LastHiddenBy(), HiddenBy::Nothing);
}

TEST_F(PrivacyRoadTest, CalmPublishingShowsTheLastOfFastSkipsOnceTheIntervalHasPassed) {
  ini.Set(u"Privacy", u"Calminterval", u"10");
  Start();
  const char16_t* skips[] = {kSongA, kSongB, kSongC, kSongD, kSongE};
  int64_t t = 5 * kSecond;
  for (const char16_t* song : skips) {
    Play(song);
    Poll(t);
    t += 2 * kSecond;
  }
  RunUntil(30 * kSecond);
  // A at once; B..D replaced while they waited; E when the interval since A
  // had passed (A went out at 5 s, its publish 900 ms later).
  EXPECT_EQ(shown, (std::vector<Shown>{Track(5900, kSongA), Track(15900, kSongE)}));
  EXPECT_EQ(timers.calmDelayMs, 2000u);  // E asked at 13 s waited until 15 s
}

TEST_F(PrivacyRoadTest, CalmPublishingNeverDelaysTheUsersOwnByMoreThanTheInterval) {
  ini.Set(u"Privacy", u"Calminterval", u"10");
  Start();
  Play(kSongA);
  Poll(5 * kSecond);
  Play(kSongB);
  Poll(8 * kSecond);  // waits for 15 s
  StopPlayer();
  Poll(11 * kSecond);  // the stop replaces it: B is never shown
  RunUntil(40 * kSecond);
  // Asked for at 11 s, begun at 15 s: within the interval.
  EXPECT_EQ(shown, (std::vector<Shown>{Track(5900, kSongA), Own(15900)}));

  // A change waiting when the plug-in stops is settled at once.
  Play(kSongC);
  Poll(45 * kSecond);
  Play(kSongD);
  Poll(47 * kSecond);
  EXPECT_TRUE(timers.IsEnabled(CoreTimer::Calm));
  shown.clear();
  core->HandleHostMessage(MSG_DISABLED, 0, nullptr);
  Record();
  EXPECT_EQ(shown, (std::vector<Shown>{Own(47 * kSecond)}));
  EXPECT_FALSE(timers.IsEnabled(CoreTimer::Calm));
}

TEST_F(PrivacyRoadTest, SessionApplicationsAreRememberedAndABrowserStartsSwitchedOff) {
  Start();
  players.player = kMediaSession;
  players.appId = u"Microsoft.MicrosoftEdge_8wekyb3d8bbwe!MSEDGE";
  Play(kSongA);
  Poll(5 * kSecond);
  players.appId = u"SpotifyAB.SpotifyMusic_zpdnekdrzrea0!Spotify";
  Play(kSongB);
  Poll(10 * kSecond);
  RunUntil(20 * kSecond);
  EXPECT_EQ(shown, (std::vector<Shown>{Track(10900, kSongB)}));
  const PrivacySettings stored = LoadPrivacySettings(ini);
  ASSERT_EQ(stored.SessionApps.size(), 2u);
  EXPECT_EQ(stored.SessionApps[0], (SessionAppChoice{u"Microsoft.MicrosoftEdge_8wekyb3d8bbwe!MSEDGE", false}));
  EXPECT_TRUE(stored.SessionApps[1].shared);
  EXPECT_EQ(Settings().Privacy.SessionApps, stored.SessionApps);
}

}  // namespace
