// Player access against simulated players in their own processes: detection
// by window class and process, the window-message routes, AIMP2's shared
// memory, remote control and a player that stops answering.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>

#include "common/text.h"
#include "model/settings.h"
#include "fake_player_client.h"
#include "players/player_access.h"
#include "players/player_commands.h"
#include "players/player_detection.h"
#include "model/player_table.h"
#include "players/win32/open_files_win32.h"
#include "platform/win32/unique_handle.h"
#include "players/win32/player_system_win32.h"

using namespace tunelet;
using tunelet::testing::FakePlayer;

namespace {

class PlayersUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    Settings().PluginOn = true;
  }
  // One poll as the core makes it: find the player, then ask for the path.
  // "(no answer)" when the player did not answer in time.
  std::u16string Poll(int mode = 1) {
    Settings().PlayerHandle = access.FindPlayer(mode);
    return Settings().PlayerHandle ? access.GetPlayingPath().value_or(u"(no answer)") : u"";
  }
  static uintptr_t H(HWND w) { return reinterpret_cast<uintptr_t>(w); }
  // "msg <window-id> <message> <wParam> <lParam>" as the player logs it.
  static std::string Msg(const char* id, unsigned message, uintptr_t w, intptr_t l) {
    return std::string(id) + " " + std::to_string(message) + " " + std::to_string(w) + " " + std::to_string(l);
  }

  IAutomationRoutes noAutomation;
  PlayerAccess access{PlayerRoutes{win32::PlayerSystem(), noAutomation, win32::Win32OpenFileRoutes()}};
};

// A Winamp that plays entry 2 of its playlist.
void ScriptWinamp(FakePlayer& p, const char* path, int state = 1) {
  ASSERT_EQ(p.Run("window main \"Winamp v1.x\" \"Winamp\"\n"
                  "answer main 1024 0 104 " + std::to_string(state) + "\n"
                  "answer main 1024 0 125 2\n"),
            0);
  ASSERT_NE(p.Run(std::string("playlist 2 \"") + path + "\""), FakePlayer::kFailed);
}

void ScriptAimp2(FakePlayer& p, int state = 1) {
  ASSERT_EQ(p.Run("window winamp \"Winamp v1.x\" \"AIMP2\"\n"
                  "window remote AIMP2_RemoteInfo AIMP2_RemoteInfo\n"
                  "answer remote 1141 1 4 " + std::to_string(state)),
            0);
}

}  // namespace

TEST_F(PlayersUnderWine, SharedWinampClassIsDecidedByTheOwningProcess) {
  {
    FakePlayer other(L"OTHER.EXE");  // a stranger's "Winamp v1.x" window is no player
    ASSERT_TRUE(other.ready());
    ASSERT_NE(other.Run("window main \"Winamp v1.x\""), FakePlayer::kFailed);
    EXPECT_EQ(access.FindPlayer(1), 0u);
  }
  FakePlayer winamp(L"WINAMP.EXE");
  ASSERT_TRUE(winamp.ready());
  ScriptWinamp(winamp, "C:\\x.mp3");
  EXPECT_EQ(access.FindPlayer(1), H(winamp.Window("main")));
  EXPECT_EQ(Settings().CurrentPlayer, kWinamp);
  {
    FakePlayer km(L"KMPlayer.exe");
    ASSERT_TRUE(km.ready());
    ASSERT_NE(km.Run("window main \"Winamp v1.x\""), FakePlayer::kFailed);
    // Only the one window the class search returns is checked; raising each
    // window in turn lets either be that one.
    for (HWND top : {winamp.Window("main"), km.Window("main")}) {
      SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      const HWND found = FindWindowA("Winamp v1.x", nullptr);
      EXPECT_EQ(access.FindPlayer(1), H(found));
      EXPECT_EQ(Settings().CurrentPlayer, found == km.Window("main") ? kKmPlayer : kWinamp);
    }
  }
  EXPECT_EQ(access.FindPlayer(1), H(winamp.Window("main")));
}

TEST_F(PlayersUnderWine, Aimp2AloneIsFoundByItsRemoteWindowAndReadFromItsMapping) {
  FakePlayer aimp(L"AIMP2.EXE");
  ASSERT_TRUE(aimp.ready());
  ScriptAimp2(aimp);
  ASSERT_EQ(aimp.Run("aimp2-map Artist Album Title \"C:\\Музыка\\трек.mp3\""), 0);
  EXPECT_EQ(Poll(), u"C:\\Музыка\\трек.mp3");
  EXPECT_EQ(Settings().CurrentPlayer, kAimp2);
  EXPECT_EQ(Settings().PlayerHandle, H(aimp.Window("remote")));

  // Lengths that put string 4 past the 2048 bytes viewed give nothing.
  ASSERT_EQ(aimp.Run("aimp2-lengths 1000 0 0 20"), 0);
  EXPECT_EQ(access.GetPlayingPath(), u"");
  ASSERT_EQ(aimp.Run("aimp2-unmap"), 0);
  EXPECT_EQ(access.GetPlayingPath(), u"");

  // A paused AIMP2 plays on unless Returnonpause says otherwise.
  ASSERT_EQ(aimp.Run("aimp2-map a b c D:\\b.ogg\nanswer remote 1141 1 4 2"), 0);
  EXPECT_EQ(access.GetPlayingPath(), u"D:\\b.ogg");
  Settings().Returnonpause = true;
  EXPECT_EQ(access.GetPlayingPath(), u"");
  ASSERT_EQ(aimp.Run("aimp2-unmap"), 0);
}

TEST_F(PlayersUnderWine, Aimp2StreamTitleComesFromItsWinampWindow) {
  FakePlayer aimp(L"aimp2.exe");
  ASSERT_TRUE(aimp.ready());
  ScriptAimp2(aimp);
  ASSERT_NE(access.FindPlayer(1), 0u);
  Settings().PlayerHandle = H(aimp.Window("remote"));
  ASSERT_EQ(aimp.Run("title winamp \"01. Radio - Song - Winamp\""), 0);
  EXPECT_TRUE(access.ReadAimp2StreamTitle(u"http://radio/live"));
  EXPECT_EQ(View(Track().Artist), u"Radio");
  EXPECT_EQ(View(Track().Title), u"Song");
  EXPECT_EQ(View(Track().PlayerName), u"AIMP2");
  EXPECT_FALSE(access.ReadAimp2StreamTitle(u"http://radio/live"));
  ASSERT_EQ(aimp.Run("title winamp \"02. Radio - Next - Winamp\""), 0);
  EXPECT_TRUE(access.ReadAimp2StreamTitle(u"http://radio/live"));
  EXPECT_EQ(View(Track().Title), u"Next");
}

TEST_F(PlayersUnderWine, ManualChoiceFindsOnlyTheChosenPlayer) {
  FakePlayer aimp(L"AIMP2.EXE");
  ASSERT_TRUE(aimp.ready());
  ScriptAimp2(aimp);
  Settings().ManualPlayer = true;
  Settings().CurrentPlayer = kWinamp;
  EXPECT_EQ(access.FindPlayer(0), 0u);  // AIMP2's Winamp window is not Winamp
  Settings().CurrentPlayer = kAimp2;
  EXPECT_EQ(access.FindPlayer(0), H(aimp.Window("remote")));
  Settings().CurrentPlayer = kFoobar2000;
  Settings().OLEfoobar = true;
  EXPECT_EQ(access.FindPlayer(0), kFoobarAutomationHandle);  // not running, yet answered
}

TEST_F(PlayersUnderWine, WinampPathIsReadFromItsMemory) {
  FakePlayer winamp(L"winamp.exe");
  ASSERT_TRUE(winamp.ready());
  ScriptWinamp(winamp, "C:\\Music\\Artist - Song.mp3");
  winamp.ClearLog();
  EXPECT_EQ(Poll(), u"C:\\Music\\Artist - Song.mp3");
  EXPECT_EQ(winamp.Messages(), (std::vector<std::string>{Msg("main", 1024, 0, 104), Msg("main", 1024, 0, 125),
                                                         Msg("main", 1024, 2, 211)}));
  // Another entry becomes current, and Winamp shows its title.
  ASSERT_NE(winamp.Run("playlist 5 C:\\Music\\next.mp3\nanswer main 1024 0 125 5\ntitle main \"6. next - Winamp\""),
            FakePlayer::kFailed);
  EXPECT_EQ(Poll(), u"C:\\Music\\next.mp3");
  // An entry whose address is 0 gives nothing.
  ASSERT_EQ(winamp.Run("answer main 1024 0 125 9\ntitle main \"10. gone - Winamp\""), 0);
  EXPECT_EQ(Poll(), u"");
}

TEST_F(PlayersUnderWine, PausedWinampWithAndWithoutReturnOnPause) {
  FakePlayer winamp(L"WINAMP.EXE");
  ASSERT_TRUE(winamp.ready());
  ScriptWinamp(winamp, "C:\\a.mp3", 3);
  EXPECT_EQ(Poll(), u"C:\\a.mp3");
  Settings().Returnonpause = true;
  EXPECT_EQ(Poll(), u"");
  ASSERT_EQ(winamp.Run("answer main 1024 0 104 0"), 0);
  Settings().Returnonpause = false;
  EXPECT_EQ(Poll(), u"");
}

TEST_F(PlayersUnderWine, WinampStreamTitleChanges) {
  FakePlayer winamp(L"WINAMP.EXE");
  ASSERT_TRUE(winamp.ready());
  ScriptWinamp(winamp, "http://radio.example/stream");
  ASSERT_EQ(winamp.Run("title main \"12. DJ - First - Winamp\""), 0);
  const std::u16string url = Poll();
  ASSERT_EQ(url, u"http://radio.example/stream");
  EXPECT_TRUE(access.ReadWinampStreamTitle(url));
  EXPECT_EQ(View(Track().Artist), u"DJ");
  EXPECT_EQ(View(Track().Title), u"First");
  EXPECT_EQ(View(Track().FilePath), url);
  EXPECT_FALSE(access.ReadWinampStreamTitle(url));  // same title: no new track
  ASSERT_EQ(winamp.Run("title main \"[Connecting 50%] - Winamp\""), 0);
  EXPECT_FALSE(access.ReadWinampStreamTitle(url));
  ASSERT_EQ(winamp.Run("title main \"DJ - Second - Winamp\""), 0);
  EXPECT_TRUE(access.ReadWinampStreamTitle(url));
  EXPECT_EQ(View(Track().Artist), u"DJ");
  EXPECT_EQ(View(Track().Title), u"Second");
}

TEST_F(PlayersUnderWine, PlayerInfoFromWinamp) {
  FakePlayer winamp(L"WINAMP.EXE");
  ASSERT_TRUE(winamp.ready());
  ScriptWinamp(winamp, "C:\\a.mp3");
  ASSERT_EQ(winamp.Run("answer main 1024 1 126 320\nanswer main 1024 0 126 48\nanswer main 1024 1 105 61"), 0);
  ASSERT_NE(Poll(), u"");
  ASSERT_TRUE(PlayerReportsInfo());
  EXPECT_EQ(access.GetPlayerInfo(21), 320);
  EXPECT_EQ(access.GetPlayerInfo(22), 48);
  EXPECT_EQ(access.GetPlayerInfo(23), 61);
}

TEST_F(PlayersUnderWine, JetAudioInSeekModeCountsAsPlaying) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring song = std::wstring(temp) + L"tunelet jet song.mp3";
  {
    std::ofstream(song.c_str(), std::ios::binary) << "ID3 not really";
  }
  FakePlayer jet(L"JetAudio.exe");
  ASSERT_TRUE(jet.ready());
  ASSERT_EQ(jet.Run("window main \"COWON Jet-Audio Remocon Class\" \"Jet-Audio Remote Control\"\n"
                    "answer main 33508 0 1 525"),
            0);
  ASSERT_NE(jet.Run("open-file song \"" + std::string(song.begin(), song.end()) + "\""), FakePlayer::kFailed);
  EXPECT_EQ(Poll(), u"");  // 525: stopped
  EXPECT_EQ(Settings().CurrentPlayer, kJetAudio);
  ASSERT_EQ(jet.Run("answer main 33508 0 1 528"), 0);
  EXPECT_TRUE(EqualsIgnoreCase(Poll(), std::u16string(win32::U(song.c_str()))));
  ASSERT_EQ(jet.Run("close-file song"), 0);
  DeleteFileW(song.c_str());
}

TEST_F(PlayersUnderWine, ApolloPathIsTheTextOfTheWindowItNames) {
  FakePlayer apollo(L"Apollo.exe");
  ASSERT_TRUE(apollo.ready());
  ASSERT_EQ(apollo.Run("window main \"Apollo - Main Window\"\n"
                       "child file main ApolloFileText \"C:\\Apollo\\song.mp3\"\n"
                       "answer main 1027 24 0 @file"),
            0);
  EXPECT_EQ(Poll(), u"");  // (1027, 1, 0) answers 0: nothing plays
  ASSERT_EQ(apollo.Run("answer main 1027 1 0 1"), 0);
  EXPECT_EQ(Poll(), u"C:\\Apollo\\song.mp3");
  EXPECT_EQ(Settings().CurrentPlayer, kApollo);
  // An answer that names no window (here: the broadcast handle) is never sent to.
  ASSERT_EQ(apollo.Run("answer main 1027 24 0 0xFFFF"), 0);
  EXPECT_EQ(Poll(), u"");
}

TEST_F(PlayersUnderWine, EachCommandReachesEachWindowMessagePlayerWithItsNumbers) {
  struct Route {
    const wchar_t* image;
    const char* script;
    const char* target;
    PlayerId id;
  };
  const Route routes[] = {
      {L"WMPLAYER.EXE", "window main WMPlayerApp", "main", kWmp},
      {L"WINAMP.EXE", "window main \"Winamp v1.x\"", "main", kWinamp},
      {L"MediaMonkey.exe", "window main \"Winamp v1.x\"\nanswer main 1024 0 0 39387", "main", kMediaMonkey},
      {L"AIMP2.EXE", "window winamp \"Winamp v1.x\"\nwindow remote AIMP2_RemoteInfo AIMP2_RemoteInfo", "remote", kAimp2},
      {L"jetAudio.exe", "window main \"COWON Jet-Audio Remocon Class\" \"Jet-Audio Remote Control\"", "main",
       kJetAudio},
  };
  for (const Route& r : routes) {
    FakePlayer p(r.image);
    ASSERT_TRUE(p.ready());
    ASSERT_NE(p.Run(r.script), FakePlayer::kFailed);
    Settings().PlayerHandle = access.FindPlayer(1);
    ASSERT_EQ(Settings().PlayerHandle, H(p.Window(r.target)));
    ASSERT_EQ(Settings().CurrentPlayer, r.id);
    p.ClearLog();
    for (int command = 0; command <= 5; ++command) access.SendPlayerCommand(command);
    const uintptr_t h = Settings().PlayerHandle;
    std::vector<std::string> expected;
    switch (r.id) {
      case kWmp:
        for (intptr_t l : {0xD0000, 0xE0000, 0xE0000, 0xC0000, 0xB0000}) expected.push_back(Msg("main", 0x319, h, l));
        break;
      case kWinamp:
      case kMediaMonkey:
        for (uintptr_t w : {40047, 40045, 40046, 40044, 40048}) expected.push_back(Msg("main", 0x111, w, 0));
        break;
      case kAimp2:
        for (intptr_t l : {17, 15, 16, 19, 18}) expected.push_back(Msg("remote", 1141, 3, l));
        break;
      default:
        for (intptr_t l : {5102, 5104, 5104, 5107, 5108}) expected.push_back(Msg("main", 33509, 0, l));
    }
    EXPECT_EQ(p.Messages(), expected) << r.id;

    // Switched off: nothing reaches the player.
    p.ClearLog();
    Settings().PluginOn = false;
    for (int command = 0; command <= 4; ++command) access.SendPlayerCommand(command);
    EXPECT_TRUE(p.Messages().empty());
    Settings().PluginOn = true;
  }
}

TEST_F(PlayersUnderWine, APlayerThatStopsAnsweringCostsABoundedWait) {
  FakePlayer winamp(L"WINAMP.EXE");
  ASSERT_TRUE(winamp.ready());
  ScriptWinamp(winamp, "C:\\a.mp3");
  ASSERT_EQ(Poll(), u"C:\\a.mp3");
  const HWND window = winamp.Window("main");
  ASSERT_EQ(winamp.Run("hang"), 0);

  // Found by its process (no message), then the state query gets no answer,
  // which is told apart from "nothing plays", and the call comes back.
  const DWORD start = GetTickCount();
  EXPECT_EQ(Poll(), u"(no answer)");
  EXPECT_FALSE(access.ReadWinampStreamTitle(u"http://x"));
  EXPECT_EQ(access.GetPlayerInfo(21), 0);
  access.SendPlayerCommand(kNext);
  const DWORD elapsed = GetTickCount() - start;
  // Four calls that each wait at most about a second (a generous bound: the
  // point is that they return at all).
  EXPECT_LT(elapsed, 4 * kPlayerAnswerTimeoutMs + 4000);

  // A hung "Winamp v1.x" window of another process is not taken for MediaMonkey.
  EXPECT_FALSE(CheckPlayerProcess(win32::PlayerSystem(), kMediaMonkey, H(window)));

  ASSERT_EQ(winamp.Run("unhang\nsync"), 0);
  EXPECT_EQ(Poll(), u"C:\\a.mp3");
}
