#include <gtest/gtest.h>

#include "model/settings.h"
#include "players/player_access.h"
#include "players/player_detection.h"
#include "model/player_table.h"
#include "scripted_player_system.h"

using namespace tunelet;
using namespace tunelet::testing;

namespace {

class FindPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }
  uintptr_t Find(int mode) { return FindPlayer(routes, mode); }

  ScriptedPlayerSystem sys;
  ScriptedAutomation automation;
  ScriptedOpenFiles openFiles;
  PlayerRoutes routes{sys, automation, openFiles};
};

constexpr char kFoobarClass[] = "{DA7CD0DE-1602-45e6-89A1-C2CA151E008E}";

}  // namespace

// Every row as the players show themselves: a changed class, title or name
// means a player that is no longer found or is shown under a wrong name.
TEST(PlayerTable, EveryRowKeepsItsClassTitleAndDisplayName) {
  struct Row {
    const char* cls;
    const char* title;  // null: any title
    const char16_t* name;
  };
  const Row rows[] = {
      {"WMPlayerApp", nullptr, u"Windows Media Player"},
      {"MediaPlayerClassicW", nullptr, u"Media Player Classic"},
      {"GomPlayer1.x", nullptr, u"GOM Player"},
      {"LightAlloyFront", nullptr, u"Light Alloy"},
      {"BSplayer", "BSplayer", u"BSplayer"},
      {"TmainForm", "Zoom Player", u"ZoomPlayer"},
      {"Winamp v1.x", nullptr, u"KMPlayer"},
      {"CrystalPlayerClass", nullptr, u"Crystal Player"},
      {"Winamp v1.x", nullptr, u"Winamp"},
      {kFoobarClass, nullptr, u"Foobar2000"},
      {"{DA7CD0DE-1602-45e6-89A1-C2CA151E008E}/1", nullptr, u"Foobar2000"},
      {"{97E27FAA-C0B3-4b8e-A693-ED7881E99FC1}", nullptr, u"Foobar2000"},
      {"AIMP2_RemoteInfo", "AIMP2_RemoteInfo", u"AIMP2"},
      {"COWON Jet-Audio Remocon Class", "Jet-Audio Remote Control", u"jetAudio"},
      {"iTunes", "iTunes", u"iTunes"},
      {"Winamp v1.x", nullptr, u"MediaMonkey"},
      {"PlayerCanvas", nullptr, u"QMP"},
      {"Apollo - Main Window", nullptr, u"Apollo"},
      {"XMPLAY-MAIN", nullptr, u"XMPlay"},
      {"GeminiWindowClass", nullptr, u"RealPlayer"},
      {"BasicWindow", "Imp's Player", u"Imp's Player"},
  };
  ASSERT_EQ(std::size(rows), size_t(kPlayerCount));
  for (int id = 0; id < kPlayerCount; ++id) {
    EXPECT_EQ(PlayerWindowClass(id), rows[id].cls) << id;
    if (rows[id].title)
      EXPECT_STREQ(PlayerWindowTitle(id), rows[id].title) << id;
    else
      EXPECT_EQ(PlayerWindowTitle(id), nullptr) << id;
    EXPECT_EQ(PlayerDisplayName(id), rows[id].name) << id;
  }
}

TEST(PlayerTable, RowsKeepTheirStoredIdsAndSearchStrings) {
  // The ids are stored in the host's options record, so each row's place matters.
  EXPECT_EQ(PlayerWindowClass(0), "WMPlayerApp");
  EXPECT_EQ(PlayerWindowClass(6), "Winamp v1.x");
  EXPECT_EQ(PlayerWindowClass(8), "Winamp v1.x");
  EXPECT_EQ(PlayerWindowClass(15), "Winamp v1.x");
  EXPECT_EQ(PlayerWindowClass(9), kFoobarClass);
  EXPECT_EQ(PlayerWindowClass(10), "{DA7CD0DE-1602-45e6-89A1-C2CA151E008E}/1");
  EXPECT_EQ(PlayerWindowClass(11), "{97E27FAA-C0B3-4b8e-A693-ED7881E99FC1}");
  EXPECT_STREQ(PlayerWindowTitle(12), "AIMP2_RemoteInfo");
  EXPECT_STREQ(PlayerWindowTitle(13), "Jet-Audio Remote Control");
  EXPECT_STREQ(PlayerWindowTitle(20), "Imp's Player");
  EXPECT_EQ(PlayerWindowTitle(8), nullptr);
  for (int id : {9, 10, 11}) EXPECT_EQ(PlayerDisplayName(id), u"Foobar2000");
  EXPECT_EQ(PlayerDisplayName(12), u"AIMP2");
  EXPECT_EQ(PlayerDisplayName(kMediaSession), u"Windows media session");
  EXPECT_EQ(PlayerDisplayName(22), u"");
  EXPECT_EQ(PlayerWindowClass(-1), "");
}

TEST_F(FindPlayerTest, NothingRunningSearchesEveryRowInOrderAndKeepsCurrentPlayer) {
  Settings().CurrentPlayer = 17;
  EXPECT_EQ(Find(1), 0u);
  EXPECT_EQ(Settings().CurrentPlayer, 17);
  ASSERT_EQ(sys.searches.size(), 23u);  // 21 rows, id 9 also tries the classes of 10 and 11
  EXPECT_EQ(sys.searches[0], "WMPlayerApp|*");
  EXPECT_EQ(sys.searches[9], std::string(kFoobarClass) + "|*");
  EXPECT_EQ(sys.searches[14], "AIMP2_RemoteInfo|AIMP2_RemoteInfo");
  EXPECT_EQ(sys.searches[22], "BasicWindow|Imp's Player");
}

TEST_F(FindPlayerTest, SharedWinampClassIsDecidedByTheProcessCheck) {
  const uintptr_t w = sys.AddWindow("Winamp v1.x", "x", u"winamp.exe");
  EXPECT_EQ(Find(1), w);
  EXPECT_EQ(Settings().CurrentPlayer, kWinamp);

  ScriptedPlayerSystem kmSys;
  PlayerRoutes kmRoutes{kmSys, automation, openFiles};
  const uintptr_t km = kmSys.AddWindow("Winamp v1.x", "", u"KMPlayer.exe");
  EXPECT_EQ(FindPlayer(kmRoutes, 1), km);
  EXPECT_EQ(Settings().CurrentPlayer, kKmPlayer);
}

TEST_F(FindPlayerTest, OnlyAimp2IsFoundByItsRemoteWindowNotItsWinampWindow) {
  const uintptr_t winampWindow = sys.AddWindow("Winamp v1.x", "", u"AIMP2.EXE");
  const uintptr_t remote = sys.AddWindow("AIMP2_RemoteInfo", "AIMP2_RemoteInfo", u"AIMP2.EXE");
  EXPECT_EQ(Find(1), remote);
  EXPECT_EQ(Settings().CurrentPlayer, kAimp2);
  // Row 12 comes before MediaMonkey's version query could ask the Winamp window.
  EXPECT_TRUE(sys.sent.empty());
  EXPECT_NE(winampWindow, 0u);
}

TEST_F(FindPlayerTest, MediaMonkeyIsKnownByItsVersionAnswer) {
  for (intptr_t version : {39387, 39179}) {
    ScriptedPlayerSystem s;
    PlayerRoutes r{s, automation, openFiles};
    const uintptr_t w = s.AddWindow("Winamp v1.x", "", u"MediaMonkey.exe");
    s.Answer(w, kWmUser, 0, 0, version);
    EXPECT_EQ(FindPlayer(r, 1), w);
    EXPECT_EQ(Settings().CurrentPlayer, kMediaMonkey);
  }
  ScriptedPlayerSystem s;
  PlayerRoutes r{s, automation, openFiles};
  const uintptr_t w = s.AddWindow("Winamp v1.x", "", u"MediaMonkey.exe");
  s.Answer(w, kWmUser, 0, 0, 0x5666);  // a Winamp version
  EXPECT_EQ(FindPlayer(r, 1), 0u);
  s.Hang(w);  // no answer in time: not MediaMonkey either
  EXPECT_EQ(FindPlayer(r, 1), 0u);
}

TEST_F(FindPlayerTest, EarlierRowsWinAndWmpNeedsItsOwnProcess) {
  const uintptr_t wmpOther = sys.AddWindow("WMPlayerApp", "", u"other.exe");
  const uintptr_t mpc = sys.AddWindow("MediaPlayerClassicW", "", u"mpc.exe");
  sys.AddWindow("Winamp v1.x", "", u"winamp.exe");
  EXPECT_EQ(Find(1), mpc);
  EXPECT_EQ(Settings().CurrentPlayer, kMpc);
  EXPECT_NE(wmpOther, 0u);
}

TEST_F(FindPlayerTest, TitledRowsNeedTheirTitle) {
  sys.AddWindow("TmainForm", "Some other program", u"x.exe");
  EXPECT_EQ(Find(1), 0u);
  const uintptr_t zoom = sys.AddWindow("TmainForm", "Zoom Player", u"zplayer.exe");
  EXPECT_EQ(Find(1), zoom);
  EXPECT_EQ(Settings().CurrentPlayer, kZoomPlayer);
}

TEST_F(FindPlayerTest, FoobarWindowsOfAnyOfItsThreeClassesMakeId9) {
  const uintptr_t alt2 = sys.AddWindow("{97E27FAA-C0B3-4b8e-A693-ED7881E99FC1}", "", u"foobar2000.exe");
  EXPECT_EQ(Find(1), alt2);
  EXPECT_EQ(Settings().CurrentPlayer, kFoobar2000);
  EXPECT_EQ(Find(0), alt2);
}

TEST_F(FindPlayerTest, FoobarThroughAutomation) {
  Settings().OLEfoobar = true;
  automation.foobarRunning = true;
  sys.AddWindow("PlayerCanvas", "", u"qmp.exe");  // a later row
  EXPECT_EQ(Find(1), kFoobarAutomationHandle);
  EXPECT_EQ(Settings().CurrentPlayer, kFoobar2000);

  // No automation object: its window still finds it, and the path then
  // comes from the open-file scan.
  automation.foobarRunning = false;
  ScriptedPlayerSystem s;
  PlayerRoutes r{s, automation, openFiles};
  const uintptr_t w = s.AddWindow(kFoobarClass, "", u"foobar2000.exe");
  EXPECT_EQ(FindPlayer(r, 1), w);
  Settings().PlayerHandle = w;
  PlayerAccess access(r);
  EXPECT_EQ(access.GetPlayingPath(), u"C:\\open.mp3");
  EXPECT_EQ(openFiles.asked, std::vector<uintptr_t>{w});
}

TEST_F(FindPlayerTest, ManualChoiceRechecksOnlyTheChosenPlayer) {
  sys.AddWindow("MediaPlayerClassicW", "", u"mpc.exe");
  const uintptr_t winamp = sys.AddWindow("Winamp v1.x", "", u"WINAMP.EXE");
  Settings().CurrentPlayer = kWinamp;
  EXPECT_EQ(Find(0), winamp);
  EXPECT_EQ(sys.searches, std::vector<std::string>{"Winamp v1.x|*"});
  Settings().CurrentPlayer = kKmPlayer;  // the same window fails KMPlayer's check
  EXPECT_EQ(Find(0), 0u);
  Settings().CurrentPlayer = kGom;
  EXPECT_EQ(Find(0), 0u);
  EXPECT_EQ(Settings().CurrentPlayer, kGom);
  Settings().CurrentPlayer = 200;  // a damaged stored id finds nothing
  EXPECT_EQ(Find(0), 0u);
  EXPECT_EQ(Find(2), 0u);
  EXPECT_EQ(Find(-1), 0u);
}

TEST_F(FindPlayerTest, ManualFoobarWithAutomationAnswersWithoutLooking) {
  Settings().CurrentPlayer = kFoobar2000;
  Settings().OLEfoobar = true;
  EXPECT_EQ(Find(0), kFoobarAutomationHandle);
  EXPECT_TRUE(sys.searches.empty());
  Settings().OLEfoobar = false;
  EXPECT_EQ(Find(0), 0u);
  EXPECT_EQ(sys.searches.size(), 3u);
}

namespace {

// Records the rows a search looked at and the ones that matched.
struct RowRecorder : IDetectionObserver {
  bool everyRow = false;
  std::vector<int> started;
  std::vector<std::pair<int, uintptr_t>> matched;
  void RowStarted(int id) override { started.push_back(id); }
  void RowMatched(int id, uintptr_t handle) override { matched.push_back({id, handle}); }
  bool SearchEveryRow() const override { return everyRow; }
};

}  // namespace

TEST_F(FindPlayerTest, AnObserverSeesEachRowWithoutChangingTheSearch) {
  const uintptr_t mpc = sys.AddWindow("MediaPlayerClassicW", "", u"mpc.exe");
  const uintptr_t winamp = sys.AddWindow("Winamp v1.x", "", u"WINAMP.EXE");
  const uintptr_t alt1 = sys.AddWindow("{DA7CD0DE-1602-45e6-89A1-C2CA151E008E}/1", "", u"foobar2000.exe");
  RowRecorder plain;
  EXPECT_EQ(FindPlayer(routes, 1, &plain), mpc);
  EXPECT_EQ(plain.started, (std::vector<int>{0, 1}));  // stops at the first hit, as without it
  EXPECT_EQ(plain.matched, (std::vector<std::pair<int, uintptr_t>>{{1, mpc}}));
  const auto searchesOfOnePlainPass = sys.searches.size();
  EXPECT_EQ(searchesOfOnePlainPass, 2u);

  // Every row: the rows after the hit are searched as well, but the first hit
  // still decides the result and CurrentPlayer; rows 9 and 10 both see the
  // foobar2000 window (row 9 searches all three of its classes).
  Settings().CurrentPlayer = 0;
  RowRecorder every;
  every.everyRow = true;
  EXPECT_EQ(FindPlayer(routes, 1, &every), mpc);
  EXPECT_EQ(Settings().CurrentPlayer, kMpc);
  ASSERT_EQ(every.started.size(), size_t(kPlayerCount));
  for (int id = 0; id < kPlayerCount; ++id) EXPECT_EQ(every.started[id], id);
  EXPECT_EQ(every.matched, (std::vector<std::pair<int, uintptr_t>>{{1, mpc}, {8, winamp}, {9, alt1}, {10, alt1}}));
  // Nothing beyond the rows' own checks: MediaMonkey's version query to the
  // Winamp window is the one message.
  EXPECT_EQ(sys.sent, (std::vector<SentPlayerMessage>{{winamp, kWmUser, 0, 0}}));

  // The re-check of the chosen player reports that row only.
  Settings().CurrentPlayer = kWinamp;
  RowRecorder manual;
  EXPECT_EQ(FindPlayer(routes, 0, &manual), winamp);
  EXPECT_EQ(manual.started, std::vector<int>{kWinamp});
  EXPECT_EQ(manual.matched, (std::vector<std::pair<int, uintptr_t>>{{kWinamp, winamp}}));
}
