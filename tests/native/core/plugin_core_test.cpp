#include <gtest/gtest.h>
#include <functional>

#include "core/plugin_core.h"
#include "model/settings.h"
#include "core_fakes.h"
#include "players/player_access.h"
#include "../players/scripted_player_system.h"
#include "templates/xstatus_policy.h"

namespace tunelet::testing {

int FakePlayers::ClassifyAndRead(std::u16string_view path) {
  classified.emplace_back(path);
  TrackInfo& t = Track();
  ClearTrackInfo(t);
  SetText(t.LastReadPath, path);
  SetText(t.Title, path);
  return 1;
}

void FakePublisher::PublishTrack() {
  ++published;
  host_.SetXStatus(11, std::u16string(u"Слушаю:"), Track().Title);
}

}  // namespace tunelet::testing

using namespace tunelet;
using namespace tunelet::testing;

namespace {

constexpr char16_t kSongA[] = u"C:\\Music\\a.mp3";
constexpr char16_t kSongB[] = u"C:\\Music\\b.mp3";

class PluginCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    ini.Set(u"Others", u"temp", u"1");
    ini.Set(u"Others", u"Firstrun", u"0");
    host.record.Initialised = true;
    host.record.PluginOn = true;
    players.existing = {kSongA, kSongB};
    MakeCore(publisher);
  }

  void MakeCore(IPublisher& publishing, IPollWorker* worker = nullptr, IPlayerAccess* access = nullptr) {
    CoreEnvironment env;
    env.host = &host;
    env.timers = &timers;
    env.pollWorker = worker;
    env.ini = &ini;
    env.subsystems.players = access ? access : &players;
    env.subsystems.publisher = &publishing;
    env.subsystems.ui = &ui;
    env.subsystems.update = &update;
    env.subsystems.language = &language;
    env.fileVersion = "3.0.1.0";
    core = std::make_unique<PluginCore>(env);
  }

  void StartAndSettle() {
    core->HandleHostMessage(MSG_STARTUP, 0, nullptr);
    core->OnTimer(CoreTimer::Poll);  // consumes the "just saved" flag
    host.TakeLog();
    ui.popups.clear();
  }
  void Fire(CoreTimer t) {
    ASSERT_TRUE(timers.IsEnabled(t));
    core->OnTimer(t);
  }
  void Play(const char16_t* path) {
    players.window = 0x1234;
    players.playing = path;
  }
  void StopPlayer() {
    players.window = 0;
    players.playing = u"";
  }

  FakeHost host;
  MemoryIni ini;
  FakeTimers timers;
  FakePlayers players;
  FakePublisher publisher{host};
  FakeUi ui;
  FakeUpdate update;
  FakeLanguage language;
  std::unique_ptr<PluginCore> core;
};

std::vector<int32_t> Codes(const std::vector<SentMessage>& log) {
  std::vector<int32_t> codes;
  for (auto& m : log) codes.push_back(m.msg);
  return codes;
}

TEST_F(PluginCoreTest, StartReadsVersionSettingsAndCreatesTheTimers) {
  ini.Set(u"Main", u"Refreshinterval", u"7000");
  core->HandleHostMessage(MSG_STARTUP, 0, nullptr);
  EXPECT_EQ(Settings().PluginVersion, "3.0.1.0");
  EXPECT_EQ(timers.pollInterval, 7000u);
  EXPECT_TRUE(timers.IsEnabled(CoreTimer::Poll));
  EXPECT_TRUE(timers.IsEnabled(CoreTimer::StartupUpdate));
  EXPECT_FALSE(timers.IsEnabled(CoreTimer::Apply));
  EXPECT_TRUE(Settings().Started);
  EXPECT_EQ(ui.resets, 0);  // not the first start
}

TEST_F(PluginCoreTest, NewTrackSavesClearsAndPublishesAfterTheApplyDelay) {
  StartAndSettle();
  Play(kSongA);
  core->OnTimer(CoreTimer::Poll);
  auto log = host.TakeLog();
  // Title read, save, clear.
  ASSERT_EQ(Codes(log), (std::vector<int32_t>{MSG_GET_XSTATUS, MSG_GET_XSTATUS, MSG_SET_XSTATUS}));
  EXPECT_EQ(log[2].picture, 0);
  EXPECT_FALSE(log[2].title || log[2].text);
  EXPECT_TRUE(Settings().SavedXStatusValid);
  EXPECT_EQ(*Settings().SavedXStatusTitle, u"My title");
  EXPECT_EQ(publisher.published, 0);

  Fire(CoreTimer::Apply);
  EXPECT_FALSE(timers.IsEnabled(CoreTimer::Apply));  // one-shot
  log = host.TakeLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].picture, 11);
  EXPECT_EQ(*log[0].text, kSongA);
  EXPECT_FALSE(Settings().CurrentXStatusTitle.has_value());
}

TEST_F(PluginCoreTest, SameFileIsNotNewAndTheNextTrackDoesNotSaveAgain) {
  StartAndSettle();
  Play(kSongA);
  core->OnTimer(CoreTimer::Poll);
  Fire(CoreTimer::Apply);
  host.TakeLog();

  core->OnTimer(CoreTimer::Poll);  // the same file again: not new
  EXPECT_TRUE(host.TakeLog().empty());
  // The same path in other letters names the same file (file names ignore case).
  players.playing = u"c:\\music\\A.MP3";
  players.existing.push_back(*players.playing);
  core->OnTimer(CoreTimer::Poll);
  EXPECT_TRUE(host.TakeLog().empty());
  EXPECT_EQ(players.classified.size(), 1u);

  Play(kSongB);
  core->OnTimer(CoreTimer::Poll);
  // Title read and clear, but no second save.
  EXPECT_EQ(Codes(host.TakeLog()), (std::vector<int32_t>{MSG_GET_XSTATUS, MSG_SET_XSTATUS}));
  EXPECT_EQ(*Settings().SavedXStatusTitle, u"My title");  // the user's own, first saved
  Fire(CoreTimer::Apply);
  host.TakeLog();

  StopPlayer();
  core->OnTimer(CoreTimer::Poll);
  auto log = host.TakeLog();
  ASSERT_EQ(Codes(log), (std::vector<int32_t>{MSG_GET_XSTATUS, MSG_SET_XSTATUS}));
  EXPECT_EQ(log[1].picture, 0);
  Fire(CoreTimer::Restore);
  log = host.TakeLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].picture, 5);
  EXPECT_EQ(*log[0].title, u"My title");
  EXPECT_EQ(*log[0].text, u"My text");
  EXPECT_FALSE(Settings().SavedXStatusValid);

  core->OnTimer(CoreTimer::Poll);  // restored once; nothing more
  EXPECT_TRUE(host.TakeLog().empty());

  Play(kSongA);  // the same file after a stop is new again
  core->OnTimer(CoreTimer::Poll);
  EXPECT_EQ(Codes(host.TakeLog()).size(), 3u);
}

// A busy or hung player answers nothing in time: that is not the end of
// playback. The X-status and the track stay until a real answer comes.
TEST_F(PluginCoreTest, APlayerThatGivesNoAnswerKeepsTheXStatusAndTheTrack) {
  StartAndSettle();
  Play(kSongA);
  core->OnTimer(CoreTimer::Poll);
  Fire(CoreTimer::Apply);
  host.TakeLog();

  players.playing = std::nullopt;
  core->OnTimer(CoreTimer::Poll);
  core->OnTimer(CoreTimer::Poll);
  EXPECT_TRUE(host.TakeLog().empty());
  EXPECT_FALSE(timers.IsEnabled(CoreTimer::Restore));
  EXPECT_TRUE(Settings().SavedXStatusValid);
  EXPECT_EQ(View(Track().LastReadPath), kSongA);

  players.playing = kSongA;  // answers again, same file: nothing to do
  core->OnTimer(CoreTimer::Poll);
  EXPECT_TRUE(host.TakeLog().empty());
  EXPECT_EQ(players.classified.size(), 1u);

  players.playing = u"";  // a real answer: stopped
  core->OnTimer(CoreTimer::Poll);
  EXPECT_EQ(host.shown.picture, 0);
  Fire(CoreTimer::Restore);
  EXPECT_EQ(host.shown.picture, 5);
}

TEST_F(PluginCoreTest, RestoreKeepsTheCurrentTitleWithKeepXStatusName) {
  host.record.KeepXStatusName = true;
  StartAndSettle();
  Play(kSongA);
  core->OnTimer(CoreTimer::Poll);
  Fire(CoreTimer::Apply);
  host.shown.title = u"Renamed by the user";
  StopPlayer();
  core->OnTimer(CoreTimer::Poll);
  Fire(CoreTimer::Restore);
  const auto log = host.TakeLog();
  EXPECT_EQ(*log.back().title, u"Renamed by the user");
  EXPECT_EQ(*log.back().text, u"My text");
}

TEST_F(PluginCoreTest, SavedXStatusInTheHostRecordIsSentBackAtStart) {
  host.record.SavedXStatusValid = true;
  host.record.SavedXStatusPicture = 0x10007;  // low 16 bits
  host.record.SavedXStatusTitle = u"Left behind";
  host.record.SavedXStatusText = u"by the last run";
  core->HandleHostMessage(MSG_STARTUP, 0, nullptr);
  const auto log = host.TakeLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].msg, MSG_SET_XSTATUS);
  EXPECT_EQ(log[0].picture, 7);
  EXPECT_EQ(*log[0].title, u"Left behind");
  EXPECT_FALSE(Settings().SavedXStatusValid);
}

// Loading the language may show a modal message box, and its message loop
// runs the poll timer: a tick during the load must find the user's X-status
// already back and nothing left to restore.
TEST_F(PluginCoreTest, ALanguageLoadThatRunsATickKeepsTheRestoredXStatus) {
  host.record.SavedXStatusValid = true;
  host.record.SavedXStatusPicture = 5;
  host.record.SavedXStatusTitle = u"Left behind";
  host.record.UseLanguageFile = true;
  host.shown = {0, u"", u""};
  language.duringLoad = [&] { core->OnTimer(CoreTimer::Poll); };  // no player runs
  core->HandleHostMessage(MSG_STARTUP, 0, nullptr);
  EXPECT_EQ(language.loadsAsked, 1);
  EXPECT_FALSE(timers.IsEnabled(CoreTimer::Restore));
  core->OnTimer(CoreTimer::Restore);  // even a stray tick sends nothing
  const auto log = host.TakeLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].msg, MSG_SET_XSTATUS);
  EXPECT_EQ(log[0].picture, 5);
  EXPECT_EQ(host.shown.picture, 5);
  EXPECT_EQ(host.shown.title, u"Left behind");
}

TEST_F(PluginCoreTest, TheLanguageIsLoadedOnlyWhenAskedAndAFailureClearsTheFlag) {
  core->HandleHostMessage(MSG_STARTUP, 0, nullptr);
  EXPECT_EQ(language.loadsAsked, 0);

  host.record.UseLanguageFile = true;
  core->HandleHostMessage(MSG_ENABLED, 0, nullptr);
  EXPECT_EQ(language.loadsAsked, 1);
  EXPECT_TRUE(Settings().UseLanguageFile);

  language.loads = false;
  core->HandleHostMessage(MSG_ENABLED, 0, nullptr);
  EXPECT_FALSE(Settings().UseLanguageFile);
  core->HandleHostMessage(MSG_SHUTDOWN, 0, nullptr);
  EXPECT_FALSE(host.record.UseLanguageFile);  // the stored record no longer asks for it
}

TEST_F(PluginCoreTest, FirstRunOpensTheLanguageDialogAndStoppingClosesIt) {
  ini.Set(u"Others", u"Firstrun", u"1");
  core->HandleHostMessage(MSG_STARTUP, 0, nullptr);
  EXPECT_EQ(language.dialogsShown, 1);
  core->HandleHostMessage(MSG_DISABLED, 0, nullptr);
  EXPECT_EQ(language.dialogsClosed, 1);
  core->HandleHostMessage(MSG_ENABLED, 0, nullptr);
  EXPECT_EQ(language.dialogsShown, 2);  // until a language is applied, at every start
  core->HandleHostMessage(MSG_SHUTDOWN, 0, nullptr);
  EXPECT_EQ(language.dialogsClosed, 2);
}

TEST_F(PluginCoreTest, DisableDuringPlaybackLeavesTheXStatus) {
  StartAndSettle();
  Play(kSongA);
  core->OnTimer(CoreTimer::Poll);
  Fire(CoreTimer::Apply);
  host.TakeLog();
  core->HandleHostMessage(MSG_DISABLED, 0, nullptr);
  EXPECT_TRUE(host.record.PluginOn);  // stored before the switch is cleared
  EXPECT_FALSE(host.record.SavedXStatusValid);
  EXPECT_FALSE(Settings().PluginOn);
  EXPECT_FALSE(Settings().Started);
  core->OnTimer(CoreTimer::Poll);
  core->OnTimer(CoreTimer::Poll);
  for (auto& m : host.TakeLog()) EXPECT_NE(m.msg, MSG_SET_XSTATUS);
  EXPECT_EQ(host.shown.picture, 11);
}

TEST_F(PluginCoreTest, SwitchedOffAtStartShowsTheStatePopupOnce) {
  host.record.PluginOn = false;
  core->HandleHostMessage(MSG_STARTUP, 0, nullptr);
  core->OnTimer(CoreTimer::Poll);
  core->OnTimer(CoreTimer::Poll);
  EXPECT_EQ(ui.popups, std::vector<int>{1});
  EXPECT_EQ(players.lastFindMode, -1);  // switched off: no player search
}

TEST_F(PluginCoreTest, SwitchingOffDuringPlaybackRestoresAtTheNextTick) {
  StartAndSettle();
  Play(kSongA);
  core->OnTimer(CoreTimer::Poll);
  Fire(CoreTimer::Apply);
  host.TakeLog();
  Settings().PluginOn = false;
  Settings().SettingsJustSaved = true;  // the options dialog saved
  core->OnTimer(CoreTimer::Poll);
  EXPECT_EQ(ui.popups, std::vector<int>{1});
  Fire(CoreTimer::Restore);
  EXPECT_EQ(host.shown.picture, 5);
}

TEST_F(PluginCoreTest, ModeElevenOnlyQueriesThePictureWhileAnotherIsShown) {
  ini.Set(u"Main", u"Action", u"11");
  StartAndSettle();
  Play(kSongA);
  core->OnTimer(CoreTimer::Poll);
  core->OnTimer(CoreTimer::Poll);
  EXPECT_EQ(Codes(host.TakeLog()), (std::vector<int32_t>{MSG_GET_XSTATUS, MSG_GET_XSTATUS}));
  EXPECT_TRUE(players.classified.empty());

  host.shown.picture = 11;  // the user chooses "Music"
  core->OnTimer(CoreTimer::Poll);
  EXPECT_EQ(players.classified.size(), 1u);
}

TEST_F(PluginCoreTest, ModeElevenForgetsTheTrackWhileAnotherPictureIsShown) {
  ini.Set(u"Main", u"Action", u"11");
  host.shown.picture = 11;
  StartAndSettle();
  Play(kSongA);
  core->OnTimer(CoreTimer::Poll);
  Fire(CoreTimer::Apply);
  host.TakeLog();

  host.shown.picture = 5;  // the user picks another X-status
  core->OnTimer(CoreTimer::Poll);
  EXPECT_EQ(Codes(host.TakeLog()), std::vector<int32_t>{MSG_GET_XSTATUS});
  EXPECT_FALSE(Settings().SavedXStatusValid);
  EXPECT_FALSE(Track().LastReadPath.has_value());
  EXPECT_FALSE(timers.IsEnabled(CoreTimer::Restore));

  host.shown.picture = 11;  // "Music" again: the same file is a new track
  core->OnTimer(CoreTimer::Poll);
  EXPECT_EQ(players.classified.size(), 2u);
  EXPECT_TRUE(timers.IsEnabled(CoreTimer::Apply));
}

// The host's picture is a 32-bit value: the mode-11 check reads its low byte,
// the saved X-status its low 16 bits.
TEST_F(PluginCoreTest, OnlyTheLowBitsOfTheHostsPictureCount) {
  ini.Set(u"Main", u"Action", u"11");
  host.shown.picture = 0x3F0B;  // low byte 11
  StartAndSettle();
  Play(kSongA);
  core->OnTimer(CoreTimer::Poll);
  EXPECT_EQ(players.classified.size(), 1u);
  EXPECT_EQ(Settings().SavedXStatusPicture, 0x3F0B);
}

TEST_F(PluginCoreTest, DisableForgetsTheLastReadPath) {
  StartAndSettle();
  Play(kSongA);
  core->OnTimer(CoreTimer::Poll);
  Fire(CoreTimer::Apply);
  core->HandleHostMessage(MSG_DISABLED, 0, nullptr);
  EXPECT_FALSE(Track().LastReadPath.has_value());
  core->HandleHostMessage(MSG_ENABLED, 0, nullptr);
  Settings().PluginOn = true;
  core->OnTimer(CoreTimer::Poll);  // the same file is new after the restart
  EXPECT_EQ(players.classified.size(), 2u);
}

// Who decides that a track is new: foobar2000's automation read, the Winamp
// and AIMP2 stream-title reads for URLs, else the path and the file readers.
TEST_F(PluginCoreTest, ThePlayersOwnReadsDecideWhatIsNew) {
  host.record.PlayerId = 9;
  StartAndSettle();
  Settings().OLEfoobar = true;
  players.window = 4;  // foobar2000 through automation
  players.playing = kSongA;
  core->OnTimer(CoreTimer::Poll);
  EXPECT_EQ(players.trackReads, std::vector<std::string>{"foobar2000"});
  EXPECT_TRUE(players.classified.empty());
  EXPECT_TRUE(host.TakeLog().empty());  // not new
  players.foobarNew = true;
  core->OnTimer(CoreTimer::Poll);
  EXPECT_TRUE(timers.IsEnabled(CoreTimer::Apply));
  EXPECT_TRUE(players.classified.empty());

  players.window = 0x1234;  // foobar2000 found by its window: the path decides
  core->OnTimer(CoreTimer::Poll);
  EXPECT_EQ(players.classified.size(), 1u);

  players.trackReads.clear();
  Settings().CurrentPlayer = 12;  // AIMP2: a URL goes to its stream-title read
  players.playing = u"http://radio/aimp";
  core->OnTimer(CoreTimer::Poll);
  Settings().CurrentPlayer = 8;
  core->OnTimer(CoreTimer::Poll);
  EXPECT_EQ(players.trackReads, (std::vector<std::string>{"aimp2", "winamp"}));
  Settings().CurrentPlayer = 1;  // any other player: a URL names no file
  core->OnTimer(CoreTimer::Poll);
  EXPECT_EQ(players.trackReads.size(), 2u);
  EXPECT_EQ(players.classified.size(), 1u);
}

TEST_F(PluginCoreTest, StartUpTimerChecksForUpdatesOnlyWhenAsked) {
  EXPECT_EQ(kStartupUpdateDelayMs, 3000u);
  ini.Set(u"Main", u"Updateonstartup", u"0");
  core->HandleHostMessage(MSG_STARTUP, 0, nullptr);
  Fire(CoreTimer::StartupUpdate);
  EXPECT_FALSE(timers.IsEnabled(CoreTimer::StartupUpdate));  // one-shot
  EXPECT_EQ(update.started, 0);
  EXPECT_EQ(update.skipped, 1);

  ini.Set(u"Main", u"Updateonstartup", u"1");
  core->HandleHostMessage(MSG_ENABLED, 0, nullptr);
  Fire(CoreTimer::StartupUpdate);
  EXPECT_EQ(update.started, 1);
  EXPECT_EQ(update.skipped, 1);
}

// Loading set the "checking" state; the options dialog switched the check
// off before the timer came, so the update subsystem is told to drop it.
TEST_F(PluginCoreTest, AStartUpCheckSwitchedOffMeanwhileIsReportedSkipped) {
  ini.Set(u"Main", u"Updateonstartup", u"1");
  core->HandleHostMessage(MSG_STARTUP, 0, nullptr);
  EXPECT_TRUE(Settings().UpdateCheckPending);
  Settings().Updateonstartup = false;  // the options dialog's save
  Fire(CoreTimer::StartupUpdate);
  EXPECT_EQ(update.started, 0);
  EXPECT_EQ(update.skipped, 1);
}

TEST_F(PluginCoreTest, FirstStartResetsAndShowTlcShowsTheControlWindow) {
  core->HandleHostMessage(MSG_STARTUP, 0, nullptr);
  EXPECT_EQ(ui.resets, 0);
  EXPECT_EQ(ui.controlShown, 0);

  ini.Set(u"Others", u"temp", u"0");
  ini.Set(u"Others", u"Show_tlc", u"1");
  core->HandleHostMessage(MSG_ENABLED, 0, nullptr);
  EXPECT_EQ(ui.resets, 1);
  EXPECT_EQ(ui.controlShown, 1);
}

TEST_F(PluginCoreTest, ManualChoiceSearchesOnlyTheChosenPlayer) {
  host.record.ManualPlayer = true;
  StartAndSettle();
  EXPECT_EQ(players.lastFindMode, 0);
}

TEST_F(PluginCoreTest, PathsThatNameNoFileAndIgnoredVideosAreNotNew) {
  host.record.IgnoreVideo = true;
  StartAndSettle();
  Play(u"http://radio.example/stream");
  core->OnTimer(CoreTimer::Poll);
  EXPECT_TRUE(host.TakeLog().empty());
  players.existing.push_back(u"C:\\clip.avi");
  Play(u"C:\\clip.avi");
  core->OnTimer(CoreTimer::Poll);
  EXPECT_TRUE(host.TakeLog().empty());
  EXPECT_TRUE(players.classified.empty());
}

TEST_F(PluginCoreTest, UnknownCodesAndEarlyShutdownDoNothing) {
  for (int32_t code : {0, 1, 7, 8, 9, 10, 11, 13, 99, -1}) core->HandleHostMessage(code, 0, nullptr);
  core->HandleHostMessage(MSG_SHUTDOWN, 0, nullptr);
  EXPECT_TRUE(host.log.empty());
  EXPECT_EQ(host.stores, 0);
  EXPECT_EQ(timers.creations, 0);
}

TEST_F(PluginCoreTest, ShutdownStoresTheRecordAndForgetsTheTrack) {
  StartAndSettle();
  Play(kSongA);
  core->OnTimer(CoreTimer::Poll);
  Fire(CoreTimer::Apply);
  core->HandleHostMessage(MSG_SHUTDOWN, 0, nullptr);
  EXPECT_EQ(host.stores, 1);
  EXPECT_TRUE(host.record.SavedXStatusValid);  // the next start puts it back
  EXPECT_EQ(host.record.SavedXStatusTitle, u"My title");
  EXPECT_FALSE(Track().LastReadPath.has_value());
  EXPECT_EQ(ui.controlClosed, 1);
  EXPECT_EQ(ui.dialogsClosed, 1);
}

// Stopping (MSG_DISABLED, MSG_SHUTDOWN) while the publish or the restore is
// pending, in every mode with the real X-status policy: the user's own
// X-status ends up shown, the record keeps nothing to put back twice, and the
// timer's late tick sends nothing.
struct PendingStop {
  int mode;
  CoreTimer pending;
  int32_t stop;
};

class StopWithPendingStepTest : public PluginCoreTest, public ::testing::WithParamInterface<PendingStop> {
 protected:
  void SetUp() override {
    PluginCoreTest::SetUp();
    MakeCore(policy);
    ini.Set(u"Main", u"Action", GetParam().mode == 10   ? u"10"
                                : GetParam().mode == 11 ? u"11"
                                : GetParam().mode == 21 ? u"21"
                                                        : u"31");
    host.shown = {11, u"My title", u"My text"};  // "Music", so mode 11 plays too
  }
  XStatusPolicy policy{host, ui};
};

TEST_P(StopWithPendingStepTest, PutsTheUsersOwnXStatusBackAndSendsNothingLater) {
  StartAndSettle();
  Play(kSongA);
  core->OnTimer(CoreTimer::Poll);
  ASSERT_TRUE(timers.IsEnabled(CoreTimer::Apply));
  if (GetParam().pending == CoreTimer::Restore) {
    Fire(CoreTimer::Apply);
    StopPlayer();
    core->OnTimer(CoreTimer::Poll);
    ASSERT_TRUE(timers.IsEnabled(CoreTimer::Restore));
  }
  ASSERT_EQ(host.shown.picture, 0);  // cleared, waiting for the step
  host.TakeLog();

  core->HandleHostMessage(GetParam().stop, 0, nullptr);
  EXPECT_FALSE(timers.IsEnabled(CoreTimer::Apply));
  EXPECT_FALSE(timers.IsEnabled(CoreTimer::Restore));
  // Ticks the system had already queued come late.
  core->OnTimer(CoreTimer::Apply);
  core->OnTimer(CoreTimer::Restore);

  const auto log = host.TakeLog();
  ASSERT_EQ(Codes(log), std::vector<int32_t>{MSG_SET_XSTATUS});
  EXPECT_EQ(log[0].picture, 11);
  EXPECT_EQ(*log[0].title, u"My title");
  EXPECT_EQ(*log[0].text, u"My text");
  EXPECT_FALSE(host.record.SavedXStatusValid);  // shown: nothing to put back at the next start
  EXPECT_EQ(publisher.published, 0);
}

std::vector<PendingStop> AllPendingStops() {
  std::vector<PendingStop> all;
  for (int mode : {10, 11, 21, 31})
    for (CoreTimer pending : {CoreTimer::Apply, CoreTimer::Restore})
      for (int32_t stop : {MSG_DISABLED, MSG_SHUTDOWN}) all.push_back({mode, pending, stop});
  return all;
}

INSTANTIATE_TEST_SUITE_P(EveryModeTimerAndStop, StopWithPendingStepTest, ::testing::ValuesIn(AllPendingStops()),
                         [](const ::testing::TestParamInfo<PendingStop>& info) {
                           return "Mode" + std::to_string(info.param.mode) +
                                  (info.param.pending == CoreTimer::Apply ? "Publish" : "Restore") +
                                  (info.param.stop == MSG_DISABLED ? "Disabled" : "Shutdown");
                         });

}  // namespace

namespace {

// A poll worker that holds each query until the test runs it, and counts
// what reaches the players while the host's thread handles a tick.
class HeldPollWorker : public IPollWorker {
 public:
  bool Submit(PollRequest request) override {
    if (held) return false;  // one query at a time
    held = std::move(request);
    ++submitted;
    return true;
  }
  bool Busy() const override { return busyAnswer && held.has_value(); }
  bool busyAnswer = false;  // whether Busy() tells, or Submit must refuse
  // Runs the held query as the worker thread would, on its own copy.
  std::pair<uint64_t, PollAnswer> Run(IPlayerAccess& players) {
    PollRequest request = std::move(*held);
    held.reset();
    return {request.serial, RunPollQuery(players, request)};
  }
  std::optional<PollRequest> held;
  int submitted = 0;
};

// Counts every call the core makes into player access.
class CountingPlayers : public FakePlayers {
 public:
  int calls = 0;
  uintptr_t FindPlayer(int mode) override {
    ++calls;
    // The query works on its copy of the record: this write must not reach
    // the host's record before the answer does.
    if (window) Settings().CurrentPlayer = 8;
    return FakePlayers::FindPlayer(mode);
  }
  std::optional<std::u16string> GetPlayingPath() override {
    ++calls;
    return FakePlayers::GetPlayingPath();
  }
  bool FileExists(std::u16string_view path) override {
    ++calls;
    return FakePlayers::FileExists(path);
  }
};

class PluginCoreWorkerTest : public PluginCoreTest {
 protected:
  void SetUp() override {
    PluginCoreTest::SetUp();
    MakeCore(publisher, &worker);
  }
  void StartAndSettle() {
    PluginCoreTest::StartAndSettle();
    if (worker.held) Deliver();  // the first tick's query (no player)
  }
  void Deliver() {
    auto [serial, answer] = worker.Run(counting);
    core->OnPollAnswer(serial, std::move(answer));
  }
  void Play(const char16_t* path) {
    counting.window = 0x1234;
    counting.playing = path;
    counting.existing = {kSongA, kSongB};
  }
  void UseCountingPlayers() { MakeCore(publisher, &worker, &counting); }

  HeldPollWorker worker;
  CountingPlayers counting;
};

TEST_F(PluginCoreWorkerTest, ATickOnTheHostThreadAsksNoPlayerAndTheAnswerPublishes) {
  UseCountingPlayers();
  StartAndSettle();
  Play(kSongA);
  const int before = counting.calls;
  core->OnTimer(CoreTimer::Poll);
  EXPECT_EQ(counting.calls, before);  // the tick only handed the query over
  EXPECT_TRUE(worker.held.has_value());
  EXPECT_TRUE(host.TakeLog().empty());

  auto [serial, answer] = worker.Run(counting);
  EXPECT_GT(counting.calls, before);
  EXPECT_NE(Settings().CurrentPlayer, 8);  // still the host's own record
  EXPECT_FALSE(Settings().Track.LastReadPath.has_value());
  core->OnPollAnswer(serial, std::move(answer));
  EXPECT_EQ(Settings().CurrentPlayer, 8);
  EXPECT_EQ(Settings().PlayerHandle, 0x1234u);
  EXPECT_EQ(*Settings().Track.LastReadPath, kSongA);
  EXPECT_TRUE(timers.IsEnabled(CoreTimer::Apply));
  Fire(CoreTimer::Apply);
  EXPECT_EQ(publisher.published, 1);
}

TEST_F(PluginCoreWorkerTest, PollsNeverOverlapAndTheRunningQueryStaysAwaited) {
  UseCountingPlayers();
  StartAndSettle();
  Play(kSongA);
  core->OnTimer(CoreTimer::Poll);
  core->OnTimer(CoreTimer::Poll);  // the first query is still running: Submit refuses
  worker.busyAnswer = true;
  core->OnTimer(CoreTimer::Poll);  // ... or Busy() says so before the record is copied
  EXPECT_EQ(worker.submitted, 2);  // the settle tick and this one
  Deliver();
  EXPECT_TRUE(timers.IsEnabled(CoreTimer::Apply));
  core->OnTimer(CoreTimer::Poll);
  EXPECT_EQ(worker.submitted, 3);
}

TEST_F(PluginCoreWorkerTest, AnAnswerThatComesAfterDisableStopSaveOrRestoreIsDropped) {
  UseCountingPlayers();
  struct Case {
    const char* what;
    std::function<void(PluginCore&)> meanwhile;
  };
  const std::vector<Case> cases = {
      {"disabled", [](PluginCore& c) { c.HandleHostMessage(MSG_DISABLED, 0, nullptr); }},
      {"shut down", [](PluginCore& c) { c.HandleHostMessage(MSG_SHUTDOWN, 0, nullptr); }},
      {"saved", [](PluginCore&) { Settings().SettingsJustSaved = true; }},
      {"another player chosen",
       [](PluginCore&) {
         Settings().ManualPlayer = true;
         Settings().CurrentPlayer = 14;
       }},
      {"switched off by hot key", [](PluginCore&) { Settings().PluginOn = false; }},
      {"sharing paused by hot key", [this](PluginCore&) { ToggleSharingPause(Settings(), timers.now, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetSettings();
    host.record.PluginOn = true;
    host.shown = {5, u"My title", u"My text"};
    counting.window = 0;
    counting.playing = u"";
    UseCountingPlayers();
    StartAndSettle();
    Play(kSongA);
    core->OnTimer(CoreTimer::Poll);
    auto [serial, answer] = worker.Run(counting);
    ASSERT_EQ(answer.outcome, PollAnswer::Outcome::Plays);
    c.meanwhile(*core);
    host.TakeLog();
    core->OnPollAnswer(serial, std::move(answer));
    EXPECT_TRUE(host.TakeLog().empty());
    EXPECT_FALSE(timers.IsEnabled(CoreTimer::Apply));
    EXPECT_FALSE(Settings().Track.LastReadPath.has_value());
  }
}

TEST_F(PluginCoreWorkerTest, AnAnswerStartedBeforeARestoreDoesNotBringTheOldTrackBack) {
  UseCountingPlayers();
  StartAndSettle();
  Play(kSongA);
  core->OnTimer(CoreTimer::Poll);
  Deliver();
  Fire(CoreTimer::Apply);
  // The next query starts while song A is shown; before it answers, the
  // user's X-status goes back and the track is forgotten.
  core->OnTimer(CoreTimer::Poll);
  core->RestoreTick();
  host.TakeLog();
  Deliver();
  EXPECT_FALSE(Settings().Track.LastReadPath.has_value());
  // The next poll takes the playing track as new and publishes it again.
  core->OnTimer(CoreTimer::Poll);
  Deliver();
  EXPECT_TRUE(timers.IsEnabled(CoreTimer::Apply));
}

TEST_F(PluginCoreWorkerTest, NoAnswerKeepsTheTrackAndNothingPlaysRestores) {
  UseCountingPlayers();
  StartAndSettle();
  Play(kSongA);
  core->OnTimer(CoreTimer::Poll);
  Deliver();
  Fire(CoreTimer::Apply);
  host.TakeLog();

  counting.playing.reset();  // busy or hung
  core->OnTimer(CoreTimer::Poll);
  Deliver();
  EXPECT_TRUE(host.TakeLog().empty());
  EXPECT_FALSE(timers.IsEnabled(CoreTimer::Restore));
  EXPECT_EQ(*Settings().Track.LastReadPath, kSongA);

  counting.playing = u"";  // stopped
  core->OnTimer(CoreTimer::Poll);
  Deliver();
  EXPECT_TRUE(timers.IsEnabled(CoreTimer::Restore));
}

TEST_F(PluginCoreWorkerTest, ModeElevenDecidesAtTheTickWhetherTheTrackIsRead) {
  ini.Set(u"Main", u"Action", u"11");
  UseCountingPlayers();
  StartAndSettle();
  Play(kSongA);
  core->OnTimer(CoreTimer::Poll);
  EXPECT_EQ(Codes(host.TakeLog()), std::vector<int32_t>{MSG_GET_XSTATUS});
  EXPECT_FALSE(worker.held->readsTrack);
  Deliver();
  EXPECT_TRUE(counting.classified.empty());

  host.shown.picture = 11;
  core->OnTimer(CoreTimer::Poll);
  EXPECT_TRUE(worker.held->readsTrack);
  Deliver();
  EXPECT_EQ(counting.classified.size(), 1u);
}

// The real player access over a player system that counts every call that
// would cross into another process: the host thread's part of a poll (the
// tick and the answer applied) makes none; the worker's part makes them all.
TEST_F(PluginCoreWorkerTest, TheHostThreadsPartOfAPollMakesNoCrossProcessCall) {
  ScriptedPlayerSystem sys;
  ScriptedAutomation automation;
  ScriptedOpenFiles openFiles;
  sys.AddWindow("MediaPlayerClassicW", "Media Player Classic", u"mpc-hc.exe");
  PlayerAccess access(PlayerRoutes{sys, automation, openFiles});
  MakeCore(publisher, &worker, &access);
  auto crossProcessCalls = [&] { return sys.searches.size() + sys.sent.size() + openFiles.asked.size(); };

  for (int poll = 0; poll < 3; ++poll) {
    const size_t before = crossProcessCalls();
    if (poll == 0)
      core->HandleHostMessage(MSG_STARTUP, 0, nullptr);
    else
      core->OnTimer(CoreTimer::Poll);
    EXPECT_EQ(crossProcessCalls(), before);
    if (poll == 0) core->OnTimer(CoreTimer::Poll);
    EXPECT_EQ(crossProcessCalls(), before);
    ASSERT_TRUE(worker.held.has_value());

    auto [serial, answer] = worker.Run(access);  // the worker's part
    const size_t afterQuery = crossProcessCalls();
    EXPECT_GT(afterQuery, before);
    EXPECT_EQ(openFiles.asked.size(), size_t(poll + 1));
    core->OnPollAnswer(serial, std::move(answer));
    EXPECT_EQ(crossProcessCalls(), afterQuery);
  }
  EXPECT_EQ(Settings().CurrentPlayer, kMpc);
}

}  // namespace
