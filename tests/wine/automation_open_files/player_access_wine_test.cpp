// The whole road of player access (detection, path, track read, commands) for
// the automation players and an open-file player, with every real route.
#include <gtest/gtest.h>

#include <windows.h>

#include "model/settings.h"
#include "fake_player_process.h"
#include "players/open_files.h"
#include "players/player_access.h"
#include "model/player_table.h"
#include "players/win32/automation_win32.h"
#include "players/win32/open_files_win32.h"
#include "players/win32/player_system_win32.h"
#include "wine_test_util.h"

using namespace tunelet;
using tunelet::test::FakePlayerProcess;

namespace {

class PlayerAccessRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    OpenFiles() = OpenFileLists{};
    Settings().PluginOn = true;
    ASSERT_TRUE(player_.Ready());
  }
  void Run(const std::string& lines) { ASSERT_NE(player_.Run(lines), INTPTR_MIN) << lines; }
  // "(no answer)" when the player did not answer in time.
  std::u16string Poll(int mode = 1) {
    Settings().PlayerHandle = access_.FindPlayer(mode);
    return Settings().PlayerHandle ? access_.GetPlayingPath().value_or(u"(no answer)") : u"";
  }

  FakePlayerProcess player_{L"player-access-road"};
  PlayerAccess access_{PlayerRoutes{win32::PlayerSystem(), win32::Win32AutomationRoutes(), win32::Win32OpenFileRoutes()}};
};

}  // namespace

TEST_F(PlayerAccessRoad, Foobar2000ThroughItsAutomationObject) {
  Settings().OLEfoobar = true;
  EXPECT_EQ(Poll(), u"");  // not running yet: no player at all
  Run("automation-serve foobar2000\n"
      "automation-text foobar2000 Playback.FormatTitle(%path%) http://radio.example/jazz\n"
      "automation-text foobar2000 Playback.FormatTitle([%title%]) \"Some Tune\"");
  EXPECT_EQ(Poll(), u"http://radio.example/jazz");
  EXPECT_EQ(Settings().PlayerHandle, kFoobarAutomationHandle);
  EXPECT_EQ(Settings().CurrentPlayer, kFoobar2000);
  ASSERT_TRUE(access_.ReadFoobar2000Track());
  EXPECT_EQ(View(Track().Title), u"Some Tune");

  Run("log-clear");
  for (int command = 0; command <= 4; ++command) access_.SendPlayerCommand(command);
  Settings().PluginOn = false;
  access_.SendPlayerCommand(0);
  const std::vector<std::string> calls = {"automation foobar2000 call Playback.Stop",
                                          "automation foobar2000 call Playback.Start false",
                                          "automation foobar2000 call Playback.Pause",
                                          "automation foobar2000 call Playback.Previous",
                                          "automation foobar2000 call Playback.Next"};
  EXPECT_EQ(player_.LogLines("automation foobar2000 call"), calls);
  Run("automation-stop foobar2000");
}

TEST_F(PlayerAccessRoad, Foobar2000ByItsWindowUsesTheOpenFileAndTakesNoCommands) {
  test::TempFolder dir(L"road_foobar");
  const std::wstring song = dir.File(L"song.ape", "MAC ");
  Run("window main {DA7CD0DE-1602-45e6-89A1-C2CA151E008E}\nopen-file s \"" + test::Utf8(song) + "\"");
  EXPECT_TRUE(EqualsIgnoreCase(Poll(), U16(song)));
  EXPECT_NE(Settings().PlayerHandle, kFoobarAutomationHandle);
  Run("log-clear");
  for (int command = 0; command <= 4; ++command) access_.SendPlayerCommand(command);
  EXPECT_TRUE(player_.LogLines("automation").empty());
  EXPECT_TRUE(player_.LogLines("msg").empty());
}

TEST_F(PlayerAccessRoad, ManualFoobar2000WithoutItsObjectYieldsNothing) {
  Settings().OLEfoobar = true;
  Settings().ManualPlayer = true;
  Settings().CurrentPlayer = kFoobar2000;
  EXPECT_EQ(Poll(0), u"");
  EXPECT_EQ(Settings().PlayerHandle, kFoobarAutomationHandle);
  EXPECT_FALSE(access_.ReadFoobar2000Track());
}

TEST_F(PlayerAccessRoad, ItunesFoundByItsWindowReportsWhilePlaying) {
  Run("window main iTunes iTunes\nautomation-serve itunes\n"
      "automation-int itunes PlayerState 1\n"
      "automation-text itunes CurrentTrack.Location \"C:\\Music\\x.m4a\"\n"
      "automation-int itunes CurrentTrack.BitRate 320");
  EXPECT_EQ(Poll(), u"C:\\Music\\x.m4a");
  EXPECT_EQ(Settings().CurrentPlayer, kITunes);
  EXPECT_EQ(access_.GetPlayerInfo(21), 320);
  Run("automation-int itunes PlayerState 2");  // paused
  EXPECT_EQ(Poll(), u"");
  EXPECT_EQ(access_.GetPlayerInfo(21), 0);
  Run("automation-stop itunes");
}

TEST_F(PlayerAccessRoad, MediaMonkeyStateDecidesWhetherItsObjectIsAsked) {
  // MediaMonkey's Winamp-compatible window: version 39387, then the state.
  Run("window main \"Winamp v1.x\"\nanswer main 1024 0 0 39387\nautomation-serve mediamonkey\n"
      "automation-text mediamonkey Player.CurrentSong.Path \"C:\\Songs\\y.mp3\"");
  for (int state : {1, 3}) {
    Run("answer main 1024 0 104 " + std::to_string(state));
    EXPECT_EQ(Poll(), u"C:\\Songs\\y.mp3") << state;
    EXPECT_EQ(Settings().CurrentPlayer, kMediaMonkey);
  }
  for (int state : {0, 10}) {
    Run("answer main 1024 0 104 " + std::to_string(state) + "\nlog-clear");
    EXPECT_EQ(Poll(), u"") << state;
    EXPECT_TRUE(player_.LogLines("automation").empty());
  }
  Run("automation-stop mediamonkey");
}
