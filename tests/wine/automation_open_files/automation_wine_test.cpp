// iTunes, MediaMonkey and foobar2000 automation against the simulated
// player's objects; the player's log shows exactly what was called.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "counts.h"

#include "model/settings.h"
#include "fake_player_process.h"
#include "players/win32/automation_win32.h"
#include "wine_test_util.h"

using namespace tunelet;
using tunelet::test::FakePlayerProcess;
using Lines = std::vector<std::string>;

namespace {

IAutomationRoutes& Routes() { return win32::Win32AutomationRoutes(); }

// One simulated player serving all three objects for the whole suite: each
// test sets the answers it needs and clears the log first.
class Automation : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    player_ = new FakePlayerProcess(L"automation-player");
    ASSERT_TRUE(player_->Ready());
    ASSERT_EQ(player_->Run("automation-serve itunes\nautomation-serve mediamonkey\nautomation-serve foobar2000"), 0);
  }
  static void TearDownTestSuite() {
    delete player_;
    player_ = nullptr;
  }
  void SetUp() override {
    ResetSettings();
    ASSERT_EQ(player_->Run("log-clear"), 0);
  }
  static void Run(const std::string& lines) { ASSERT_NE(player_->Run(lines), INTPTR_MIN) << lines; }
  static Lines Calls(const std::string& player) { return player_->LogLines("automation " + player + " "); }

  // foobar2000 playing a local file.
  static void FoobarPlaysLocalFile(const std::wstring& path) {
    Run("automation-text foobar2000 Playback.FormatTitle(%path%) \"" + test::Utf8(path) + "\"\n"
        "automation-text foobar2000 Playback.FormatTitle([%title%]) Song\n"
        "automation-text foobar2000 Playback.FormatTitle([%artist%]) Band\n"
        "automation-text foobar2000 Playback.FormatTitle([%album%]) LP\n"
        "automation-text foobar2000 Playback.FormatTitle([%genre%]) Rock\n"
        "automation-text foobar2000 Playback.FormatTitle([%date%]) 2001\n"
        "automation-text foobar2000 Playback.FormatTitle([%tracknumber%]) 07/12\n"
        "automation-text foobar2000 Playback.FormatTitle(%bitrate%) 256\n"
        "automation-text foobar2000 Playback.FormatTitle(%samplerate%) 44100\n"
        "automation-text foobar2000 Playback.FormatTitle([%length_seconds%]) 187");
  }

  static FakePlayerProcess* player_;
};
FakePlayerProcess* Automation::player_ = nullptr;

}  // namespace

TEST_F(Automation, Foobar2000LocalFileIsReadWithEveryFormatString) {
  test::TempFolder dir(L"foobar");
  const std::wstring path = dir.File(L"track.mp3", std::string(1234, 'x'));
  FoobarPlaysLocalFile(path);

  EXPECT_TRUE(Routes().Foobar2000AutomationRunning());
  EXPECT_EQ(Routes().GetFoobar2000Path(), U16(path));
  ASSERT_EQ(player_->Run("log-clear"), 0);
  ASSERT_TRUE(Routes().ReadFoobar2000Track());

  const std::string f = "automation foobar2000 call Playback.FormatTitle ";
  const Lines expected = {"automation foobar2000 get Playback",
                          f + "%path%",          f + "[%title%]",   f + "[%title%]",
                          f + "[%artist%]",      f + "[%album%]",   f + "[%genre%]",
                          f + "[%date%]",        f + "[%tracknumber%]", f + "%bitrate%",
                          f + "%samplerate%",    f + "[%length_seconds%]"};
  EXPECT_EQ(Calls("foobar2000"), expected);
  const TrackInfo& t = Track();
  EXPECT_EQ(View(t.FilePath), U16(path));
  EXPECT_EQ(View(t.LastReadPath), U16(path));
  EXPECT_EQ(View(t.Title), u"Song");
  EXPECT_EQ(View(t.Artist), u"Band");
  EXPECT_EQ(View(t.Album), u"LP");
  EXPECT_EQ(View(t.Genre), u"Rock");
  EXPECT_EQ(View(t.Year), u"2001");
  EXPECT_EQ(View(t.PlayerName), u"Foobar2000");
  EXPECT_EQ(t.TrackNumber, 7u);
  EXPECT_EQ(t.Bitrate, 256u);
  EXPECT_EQ(t.SampleRate, 44100u);
  EXPECT_EQ(t.Duration, 187u);
  EXPECT_EQ(t.FileSize, 1234u);

  EXPECT_FALSE(Routes().ReadFoobar2000Track());  // nothing new
}

TEST_F(Automation, Foobar2000StreamTitleChangesMakeNewTracks) {
  Run("automation-text foobar2000 Playback.FormatTitle(%path%) http://radio.example/live\n"
      "automation-text foobar2000 Playback.FormatTitle([%title%]) \"Band - First\"\n"
      "automation-text foobar2000 Playback.FormatTitle(%bitrate%) 128\n"
      "automation-text foobar2000 Playback.FormatTitle([%length_seconds%]) \"\"");
  ASSERT_TRUE(Routes().ReadFoobar2000Track());
  EXPECT_EQ(Track().Duration, 0u);
  EXPECT_EQ(Track().FileSize, 0u);
  EXPECT_EQ(Track().Bitrate, 128u);
  EXPECT_TRUE(player_->LogLines("automation foobar2000 call Playback.FormatTitle [%length_seconds%]").empty());
  EXPECT_FALSE(Routes().ReadFoobar2000Track());
  Run("automation-text foobar2000 Playback.FormatTitle([%title%]) \"Band - Second\"");
  ASSERT_TRUE(Routes().ReadFoobar2000Track());
  EXPECT_EQ(View(Track().Title), u"Band - Second");
}

TEST_F(Automation, Foobar2000FailuresGiveNothingAndTheReadIsRepeated) {
  test::TempFolder dir(L"foobar_fail");
  FoobarPlaysLocalFile(dir.File(L"t.ogg", "OggS"));
  Run("automation-text foobar2000 Playback.FormatTitle([%length_seconds%]) \"\"");
  EXPECT_FALSE(Routes().ReadFoobar2000Track());
  EXPECT_EQ(View(Track().Title), u"Song");  // what was read stays
  Run("automation-text foobar2000 Playback.FormatTitle([%length_seconds%]) 60");
  EXPECT_TRUE(Routes().ReadFoobar2000Track());

  Run("automation-fail foobar2000 Playback.FormatTitle");
  EXPECT_EQ(Routes().GetFoobar2000Path(), u"");
  ResetSettings();
  EXPECT_FALSE(Routes().ReadFoobar2000Track());
  Run("automation-clear foobar2000 Playback.FormatTitle");
}

TEST_F(Automation, Foobar2000CommandsCallPlaybackMethods) {
  for (int command = 0; command <= 5; ++command) Routes().SendFoobar2000Command(command);
  const Lines expected = {
      "automation foobar2000 get Playback", "automation foobar2000 call Playback.Stop",
      "automation foobar2000 get Playback", "automation foobar2000 call Playback.Start false",
      "automation foobar2000 get Playback", "automation foobar2000 call Playback.Pause",
      "automation foobar2000 get Playback", "automation foobar2000 call Playback.Previous",
      "automation foobar2000 get Playback", "automation foobar2000 call Playback.Next"};
  EXPECT_EQ(Calls("foobar2000"), expected);
}

// The path and the track's numbers come in one visit; the numbers asked
// right after it need no other.
TEST_F(Automation, ItunesReportsOnlyWhilePlaying) {
  Run("automation-int itunes PlayerState 1\n"
      "automation-text itunes CurrentTrack.Location \"C:\\Music\\Трек.m4a\"\n"
      "automation-int itunes CurrentTrack.BitRate 256\n"
      "automation-int itunes CurrentTrack.SampleRate 44100\n"
      "automation-int itunes CurrentTrack.Duration 245");
  EXPECT_EQ(Routes().GetItunesPath(), u"C:\\Music\\Трек.m4a");
  EXPECT_EQ(Routes().GetItunesInfo(21), 256);
  EXPECT_EQ(Routes().GetItunesInfo(22), 44100);
  EXPECT_EQ(Routes().GetItunesInfo(23), 245);
  EXPECT_EQ(Routes().GetItunesInfo(24), 0);
  Lines calls = Calls("itunes");
  std::erase(calls, "automation itunes create");  // made once, whichever test came first
  EXPECT_EQ(calls, (Lines{"automation itunes get PlayerState", "automation itunes get CurrentTrack",
                          "automation itunes get CurrentTrack.Location", "automation itunes get CurrentTrack.BitRate",
                          "automation itunes get CurrentTrack.SampleRate",
                          "automation itunes get CurrentTrack.Duration"}));

  // Once the path answer is no longer recent, the numbers are asked anew.
  const DWORD freshness = win32::SetItunesAnswerFreshness(0);
  Run("automation-int itunes CurrentTrack.BitRate 320");
  ASSERT_EQ(player_->Run("log-clear"), 0);
  EXPECT_EQ(Routes().GetItunesInfo(21), 320);
  EXPECT_EQ(player_->LogLines("automation itunes get PlayerState").size(), 1u);
  win32::SetItunesAnswerFreshness(freshness);

  for (int paused : {0, 2}) {
    Run("automation-int itunes PlayerState " + std::to_string(paused));
    ASSERT_EQ(player_->Run("log-clear"), 0);
    EXPECT_EQ(Routes().GetItunesPath(), u"");
    EXPECT_EQ(Routes().GetItunesInfo(21), 0);
    EXPECT_TRUE(player_->LogLines("automation itunes get CurrentTrack").empty());
  }
}

// One call per poll asks iTunes for the path and the bit rate, sample rate
// and duration of its track; the MP4 reader's question right after is
// answered from it. A player that quits and starts again is reached again.
TEST_F(Automation, ItunesAnswersThePathAndItsStreamValuesInOneCall) {
  Run("automation-stop itunes\nautomation-serve itunes\n"
      "automation-int itunes PlayerState 1\n"
      "automation-text itunes CurrentTrack.Location C:\\k.m4a\n"
      "automation-int itunes CurrentTrack.BitRate 128");
  ASSERT_EQ(player_->Run("log-clear"), 0);
  for (int query = 0; query < 3; ++query) {
    EXPECT_EQ(Routes().GetItunesPath(), u"C:\\k.m4a") << query;
    EXPECT_EQ(Routes().GetItunesInfo(21), 128) << query;  // from the path's answer
  }
  // One object per poll, let go after it; each member's id looked up once on it.
  EXPECT_EQ(player_->LogLines("automation itunes create").size(), 3u);
  EXPECT_EQ(player_->LogLines("automation itunes get PlayerState").size(), 3u);
  EXPECT_EQ(player_->LogLines("automation-ids itunes BitRate").size(), 3u);
  EXPECT_EQ(player_->LogLines("automation-ids itunes ").size(), 3u * 6u);

  Run("automation-stop itunes\nautomation-serve itunes");  // a restarted player
  ASSERT_EQ(player_->Run("log-clear"), 0);
  EXPECT_EQ(Routes().GetItunesPath(), u"C:\\k.m4a");
  EXPECT_EQ(player_->LogLines("automation itunes create").size(), 1u);
}

// foobar2000 is attached to, never started: it serves while it runs, and
// once it quits nothing is made in its place.
TEST_F(Automation, Foobar2000IsAttachedWhileItRunsAndNeverStarted) {
  Run("automation-text foobar2000 Playback.FormatTitle(%path%) C:\\f.mp3");
  EXPECT_TRUE(Routes().Foobar2000AutomationRunning());
  EXPECT_EQ(Routes().GetFoobar2000Path(), u"C:\\f.mp3");

  Run("automation-stop foobar2000");
  EXPECT_FALSE(Routes().Foobar2000AutomationRunning());
  EXPECT_EQ(Routes().GetFoobar2000Path(), u"");
  Run("automation-serve foobar2000");
  EXPECT_TRUE(Routes().Foobar2000AutomationRunning());
  EXPECT_EQ(Routes().GetFoobar2000Path(), u"C:\\f.mp3");
}

TEST_F(Automation, ItunesWithoutACurrentTrackGivesNothing) {
  Run("automation-int itunes PlayerState 1\nautomation-clear itunes CurrentTrack");
  EXPECT_EQ(Routes().GetItunesPath(), u"");
  EXPECT_EQ(Routes().GetItunesInfo(21), 0);
  Run("automation-serve itunes");  // brings the sub-object back
}

TEST_F(Automation, MediaMonkeyPathOfTheCurrentSong) {
  Run("automation-text mediamonkey Player.CurrentSong.Path \"D:\\Songs\\a.mp3\"");
  EXPECT_EQ(Routes().GetMediaMonkeyCurrentSongPath(), u"D:\\Songs\\a.mp3");
  EXPECT_EQ(Calls("mediamonkey"),
            (Lines{"automation mediamonkey create", "automation mediamonkey get Player",
                   "automation mediamonkey get Player.CurrentSong", "automation mediamonkey get Player.CurrentSong.Path"}));
  Run("automation-fail mediamonkey Player.CurrentSong.Path");
  EXPECT_EQ(Routes().GetMediaMonkeyCurrentSongPath(), u"");
  Run("automation-clear mediamonkey Player.CurrentSong.Path");
}

// The time-out the hang tests set, and what the wait may take beyond it.
constexpr DWORD kShortTimeoutMs = 200, kSlackMs = 800;

// Waits until no call of the player is stuck any more.
bool StuckCallsEnd(win32::AutomationPlayer player) {
  for (int i = 0; i < 500; ++i) {
    if (win32::StuckAutomationCalls(player) == 0) return true;
    Sleep(20);
  }
  return false;
}

// A player whose object stops answering costs nothing but its answers: the
// call is given up as "no answer", and while it is stuck further calls of
// that player are refused at once; all is well once the player answers
// again.
TEST_F(Automation, AHungObjectIsGivenUpAndTheRouteRecovers) {
  Run("automation-text foobar2000 Playback.FormatTitle(%path%) C:\\a.mp3");
  ASSERT_EQ(Routes().GetFoobar2000Path(), u"C:\\a.mp3");
  const DWORD previous = win32::SetAutomationTimeout(kShortTimeoutMs);
  Run("automation-hang");
  const DWORD started = GetTickCount();
  EXPECT_EQ(Routes().GetFoobar2000Path(), std::nullopt);
  EXPECT_LT(GetTickCount() - started, kShortTimeoutMs + kSlackMs);
  EXPECT_EQ(win32::StuckAutomationCalls(win32::AutomationPlayer::Foobar2000), 1u);
  EXPECT_FALSE(Routes().Foobar2000AutomationRunning());  // refused
  EXPECT_EQ(Routes().GetFoobar2000Path(), std::nullopt);  // refused
  EXPECT_EQ(win32::StuckAutomationCalls(win32::AutomationPlayer::Foobar2000), 1u);
  Run("automation-unhang");
  win32::SetAutomationTimeout(previous);
  ASSERT_TRUE(StuckCallsEnd(win32::AutomationPlayer::Foobar2000));
  EXPECT_EQ(Routes().GetFoobar2000Path(), u"C:\\a.mp3");
}

// One player's hung object costs only that player: foobar2000 answers while
// iTunes hangs, and iTunes answers again once it is back.
TEST_F(Automation, AHungPlayerDoesNotHideAnother) {
  Run("automation-stop itunes");
  FakePlayerProcess itunes(L"hung-itunes");
  ASSERT_TRUE(itunes.Ready());
  ASSERT_EQ(itunes.Run("automation-serve itunes\n"
                       "automation-int itunes PlayerState 1\n"
                       "automation-text itunes CurrentTrack.Location C:\\it.m4a"),
            0);
  ASSERT_EQ(Routes().GetItunesPath(), u"C:\\it.m4a");
  Run("automation-text foobar2000 Playback.FormatTitle(%path%) C:\\fb.mp3");
  const DWORD previous = win32::SetAutomationTimeout(200);
  ASSERT_EQ(itunes.Run("automation-hang"), 0);

  for (int tick = 0; tick < 4; ++tick) {
    EXPECT_EQ(Routes().GetItunesPath(), std::nullopt) << tick;
    EXPECT_EQ(Routes().GetFoobar2000Path(), u"C:\\fb.mp3") << tick;
    EXPECT_TRUE(Routes().Foobar2000AutomationRunning()) << tick;
  }
  EXPECT_EQ(win32::StuckAutomationCalls(win32::AutomationPlayer::Itunes), 1u);
  EXPECT_EQ(win32::StuckAutomationCalls(win32::AutomationPlayer::Foobar2000), 0u);

  ASSERT_EQ(itunes.Run("automation-unhang"), 0);
  win32::SetAutomationTimeout(previous);
  ASSERT_TRUE(StuckCallsEnd(win32::AutomationPlayer::Itunes));
  EXPECT_EQ(Routes().GetItunesPath(), u"C:\\it.m4a");
  ASSERT_EQ(itunes.Run("automation-stop itunes"), 0);
  Run("automation-serve itunes");
}

// Handles the process holds now, by object type.
std::map<std::string, int> HandlesByType() {
  std::map<std::string, int> byType;
  for (const std::string& h : soak::HandleSnapshot()) ++byType[h.substr(0, h.find(' '))];
  return byType;
}

// A user ends a player that hangs under one of our calls (four times, a new
// player each time): the process lives on, the stuck call ends, and the
// process holds nothing more than what Wine's COM keeps of a server that died
// under a call (docs/wine-notes.md): an event and two mutexes each when the
// call was stuck making the object, and with the object kept from an earlier
// call (as now), up to two files and two registry keys besides. Two calls
// stuck in the dying player crashed the process there.
TEST_F(Automation, APlayerEndedWhileItHangsUnderACallLeavesNothingOfOurs) {
  Run("automation-stop itunes");
  constexpr int kRounds = 4;
  constexpr int kWineEventsPerEnd = 1, kWineMutexesPerEnd = 2, kWineFilesPerEnd = 2, kWineKeysPerEnd = 2;
  std::map<std::string, int> before;
  for (int round = 0; round <= kRounds; ++round) {
    if (round == 1) before = HandlesByType();
    FakePlayerProcess itunes(L"itunes-ended-hung-" + std::to_wstring(round));
    ASSERT_TRUE(itunes.Ready());
    ASSERT_EQ(itunes.Run("automation-serve itunes\nautomation-int itunes PlayerState 1\n"
                         "automation-text itunes CurrentTrack.Location C:\\e.m4a"),
              0);
    ASSERT_EQ(Routes().GetItunesPath(), u"C:\\e.m4a") << round;
    if (round == 0) {  // a player that quits in peace first: COM is up from here on
      ASSERT_EQ(itunes.Run("automation-stop itunes"), 0);
      continue;
    }
    const DWORD previous = win32::SetAutomationTimeout(200);
    ASSERT_EQ(itunes.Run("automation-hang"), 0);
    EXPECT_EQ(Routes().GetItunesPath(), std::nullopt);
    EXPECT_EQ(Routes().GetItunesInfo(21), 0);  // refused
    EXPECT_EQ(win32::StuckAutomationCalls(win32::AutomationPlayer::Itunes), 1u);
    win32::SetAutomationTimeout(previous);
    // Leaving the scope ends the player, its hung object with it.
  }
  ASSERT_TRUE(StuckCallsEnd(win32::AutomationPlayer::Itunes));
  std::map<std::string, int> added = HandlesByType();
  for (const auto& [type, n] : before) added[type] -= n;
  EXPECT_LE(added["Event"], kRounds * kWineEventsPerEnd);
  EXPECT_LE(added["Mutant"], kRounds * kWineMutexesPerEnd);
  EXPECT_LE(added["File"], kRounds * kWineFilesPerEnd);
  EXPECT_LE(added["Key"], kRounds * kWineKeysPerEnd);
  for (const char* type : {"Event", "Mutant", "File", "Key"}) added.erase(type);
  for (const auto& [type, n] : added) EXPECT_LE(n, 0) << type;
  Run("automation-serve itunes");
}

// Last: withdraws the objects.
TEST_F(Automation, ObjectsThatAreNotRunningGiveNothing) {
  Run("automation-stop foobar2000\nautomation-stop itunes\nautomation-stop mediamonkey");
  EXPECT_FALSE(Routes().Foobar2000AutomationRunning());
  EXPECT_EQ(Routes().GetFoobar2000Path(), u"");
  EXPECT_FALSE(Routes().ReadFoobar2000Track());
  Routes().SendFoobar2000Command(0);
  EXPECT_EQ(Routes().GetItunesPath(), u"");
  EXPECT_EQ(Routes().GetMediaMonkeyCurrentSongPath(), u"");
  EXPECT_TRUE(player_->LogLines("automation ").empty());
}
