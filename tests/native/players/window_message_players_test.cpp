#include <gtest/gtest.h>

#include "model/settings.h"
#include "players/player_access.h"
#include "model/player_table.h"
#include "players/window_message_players.h"
#include "platform/wait_budget.h"
#include "scripted_player_system.h"

using namespace tunelet;
using namespace tunelet::testing;

namespace {

// The AIMP2 record: lengths of strings 1-4 as 32-bit LE at bytes 40..55,
// strings in UTF-16LE back to back from byte 88, 2048 bytes in all.
std::vector<uint8_t> Aimp2Record(std::vector<std::u16string> strings, std::vector<uint32_t> lengths = {}) {
  std::vector<uint8_t> r(kAimp2RecordBytes, 0);
  for (size_t i = 0; i < 4; ++i) {
    const uint32_t n = i < lengths.size() ? lengths[i] : uint32_t(strings[i].size());
    for (int b = 0; b < 4; ++b) r[40 + 4 * i + b] = uint8_t(n >> (8 * b));
  }
  size_t at = 88;
  for (const auto& s : strings)
    for (char16_t c : s) {
      if (at + 2 > r.size()) break;
      r[at++] = uint8_t(c & 0xFF);
      r[at++] = uint8_t(c >> 8);
    }
  return r;
}

class WindowMessagePlayers : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    Settings().PlayerHandle = player = sys.AddWindow("Winamp v1.x", "", u"winamp.exe");
  }
  void WinampState(intptr_t state) { sys.Answer(player, kWmUser, 0, 104, state); }
  // Winamp shows another title for another entry; its path is then asked anew.
  void WinampTitle(std::u16string_view song) { sys.SetTitle(player, std::u16string(song) + u" - Winamp"); }
  void Aimp2State(uintptr_t w, intptr_t state) { sys.Answer(w, kWmUser + 117, 1, 4, state); }

  ScriptedPlayerSystem sys;
  uintptr_t player = 0;
};

}  // namespace

TEST(Aimp2Record, String4FollowsTheFirstThree) {
  EXPECT_EQ(Aimp2PathFromRecord(Aimp2Record({u"Artist", u"Album", u"Title", u"C:\\Музыка\\a.mp3"})),
            u"C:\\Музыка\\a.mp3");
  EXPECT_EQ(Aimp2PathFromRecord(Aimp2Record({u"", u"", u"", u""})), u"");
}

TEST(Aimp2Record, LengthsThatLieGiveNoPath) {
  // String 4 would end 2 bytes past the view.
  const uint32_t fits = (2048 - 88) / 2;
  EXPECT_EQ(Aimp2PathFromRecord(Aimp2Record({u"", u"", u"", u""}, {0, 0, 0, fits})).size(), fits);
  EXPECT_EQ(Aimp2PathFromRecord(Aimp2Record({u"", u"", u"", u""}, {0, 0, 0, fits + 1})), u"");
  EXPECT_EQ(Aimp2PathFromRecord(Aimp2Record({u"", u"", u"", u"x"}, {fits, 0, 0, 1})), u"");
  // Lengths whose sum wraps in 32 bits must not bring string 4 back into range.
  EXPECT_EQ(Aimp2PathFromRecord(Aimp2Record({u"", u"", u"", u"x"}, {0x80000000u, 0x80000000u, 0, 1})), u"");
  EXPECT_EQ(Aimp2PathFromRecord(Aimp2Record({u"", u"", u"", u"x"}, {0, 0, 0, 0xFFFFFFFFu})), u"");
  // A record shorter than its length fields.
  const std::vector<uint8_t> tiny(50, 0);
  EXPECT_EQ(Aimp2PathFromRecord(tiny), u"");
}

TEST(StreamTitles, WinampTitleLosesItsNumberAndSuffixAndRejectsStatusTexts) {
  EXPECT_EQ(WinampTitleToTrackTitle(u"Artist - Song - Winamp"), u"Artist - Song");
  EXPECT_EQ(WinampTitleToTrackTitle(u"1. Аквариум - Город золотой - Winamp"), u"Аквариум - Город золотой");
  EXPECT_EQ(WinampTitleToTrackTitle(u"1234. Song - Winamp"), u"Song");
  EXPECT_EQ(WinampTitleToTrackTitle(u"A - Winamp - B - Winamp"), u"A - B - Winamp");  // first occurrence only
  EXPECT_EQ(WinampTitleToTrackTitle(u"Winamp 5.5"), std::nullopt);
  EXPECT_EQ(WinampTitleToTrackTitle(u"Song - winamp"), std::nullopt);  // the suffix is case-sensitive
  EXPECT_EQ(WinampTitleToTrackTitle(u"Buffering [42%] - Winamp"), std::nullopt);
}

TEST(StreamTitles, Aimp2TitleLosesPlaylistNumberAndSuffix) {
  EXPECT_EQ(Aimp2TitleToTrackTitle(u"12. Artist - Song - Winamp"), u"Artist - Song");
  EXPECT_EQ(Aimp2TitleToTrackTitle(u"123. Artist - Song - Winamp"), u"Artist - Song");
  EXPECT_EQ(Aimp2TitleToTrackTitle(u"12. [50%] - Winamp"), u"[50%]");  // no "%]" rule for AIMP2
  EXPECT_EQ(Aimp2TitleToTrackTitle(u"12. Artist - Song"), std::nullopt);
}

TEST(StreamTitles, OnlyANumberWithAFullStopAndABlankIsAPlaylistNumber) {
  EXPECT_EQ(DropPlaylistNumber(u"07. Song"), u"Song");
  EXPECT_EQ(DropPlaylistNumber(u"2Pac - Song"), u"2Pac - Song");
  EXPECT_EQ(DropPlaylistNumber(u"1.5 Degrees"), u"1.5 Degrees");
  EXPECT_EQ(DropPlaylistNumber(u"99 Luftballons"), u"99 Luftballons");
  EXPECT_EQ(DropPlaylistNumber(u". Song"), u". Song");
  EXPECT_EQ(DropPlaylistNumber(u"12."), u"12.");
}

TEST(StreamTitles, SongSplitsAtItsFirstSeparatorIntoArtistAndTitle) {
  auto split = [](std::u16string_view song) {
    const StreamSong s = SplitStreamSong(song);
    return s.artist + u"|" + s.title;
  };
  EXPECT_EQ(split(u"Аквариум - Город золотой"), u"Аквариум|Город золотой");
  EXPECT_EQ(split(u"A - B - C"), u"A|B - C");
  EXPECT_EQ(split(u"Station jingle"), u"|Station jingle");
  EXPECT_EQ(split(u"Up-Tempo"), u"|Up-Tempo");  // a hyphen without blanks is part of a name
  EXPECT_EQ(split(u" - Song"), u"| - Song");    // one side empty: no split
  EXPECT_EQ(split(u"Artist - "), u"|Artist - ");
}

TEST_F(WindowMessagePlayers, WinampPathIsReadFromItsMemoryAsAnsiText) {
  WinampState(1);
  sys.Answer(player, kWmUser, 0, 125, 3);
  sys.Answer(player, kWmUser, 3, 211, 0x500000);
  sys.SetMemory(0x500000, std::string("C:\\Music\\a.mp3\0garbage", 22) + std::string(490, 'x'));
  EXPECT_EQ(GetWinampPath(sys, player), u"C:\\Music\\a.mp3");
  EXPECT_EQ(sys.sent, (std::vector<SentPlayerMessage>{
                          {player, kWmUser, 0, 104}, {player, kWmUser, 0, 125}, {player, kWmUser, 3, 211}}));
}

TEST_F(WindowMessagePlayers, WinampAddressIsReadAsTheBitnessOfItsProcess) {
  // A 32-bit Winamp's address above 2 GB reaches a 64-bit caller sign-extended.
  WinampState(1);
  sys.Answer(player, kWmUser, 0, 125, 0);
  sys.Answer(player, kWmUser, 0, 211, intptr_t(int32_t(0x80001000u)));
  sys.SetMemory(0x80001000u, std::string("C:\\high.mp3") + std::string(501, '\0'));
  EXPECT_EQ(GetWinampPath(sys, player), u"C:\\high.mp3");

  if constexpr (sizeof(intptr_t) == 8) {
    // A 64-bit player's address is taken whole.
    sys.SetProcessPointerWidth(PointerWidth::Bits64);
    WinampTitle(u"1. 64-bit");
    EXPECT_EQ(GetWinampPath(sys, player), u"");
    sys.Answer(player, kWmUser, 0, 211, intptr_t(0x7FF600001000));
    sys.SetMemory(uintptr_t(0x7FF600001000), std::string("C:\\wide.mp3") + std::string(501, '\0'));
    EXPECT_EQ(GetWinampPath(sys, player), u"C:\\wide.mp3");
  }
}

TEST_F(WindowMessagePlayers, WinampPathGivesUpOnEveryFailure) {
  WinampState(1);
  sys.Answer(player, kWmUser, 0, 125, 0);
  sys.Answer(player, kWmUser, 0, 211, 0x500000);
  sys.SetMemory(0x500000, std::string(511, 'x'));  // only 511 readable bytes
  EXPECT_EQ(GetWinampPath(sys, player), u"");
  sys.SetMemory(0x500000, std::string(512, 'x'));  // no NUL: the whole 512 bytes
  EXPECT_EQ(GetWinampPath(sys, player)->size(), 512u);
  WinampTitle(u"2. Next");
  sys.Answer(player, kWmUser, 0, 211, 0);  // no address
  EXPECT_EQ(GetWinampPath(sys, player), u"");
  sys.Answer(player, kWmUser, 0, 211, 0x500000);
  sys.RefuseProcessMemory();
  EXPECT_EQ(GetWinampPath(sys, player), u"");
}

TEST_F(WindowMessagePlayers, WinampStateDecidesWhetherAPathIsAsked) {
  sys.Answer(player, kWmUser, 0, 211, 0x500000);
  sys.SetMemory(0x500000, std::string("C:\\a.mp3") + std::string(504, '\0'));
  WinampState(0);
  EXPECT_EQ(GetWinampPath(sys, player), u"");
  EXPECT_EQ(sys.sent.size(), 1u);
  WinampState(3);  // paused still plays unless Returnonpause says otherwise
  bool paused = false;
  EXPECT_EQ(GetWinampPath(sys, player, &paused), u"C:\\a.mp3");
  EXPECT_TRUE(paused);  // and says so, for the limit on a pause's length
  Settings().Returnonpause = true;
  EXPECT_EQ(GetWinampPath(sys, player), u"");
  WinampState(1);
  EXPECT_EQ(GetWinampPath(sys, player, &paused), u"C:\\a.mp3");
  EXPECT_FALSE(paused);
}

namespace {
// How often the playlist position (125) and the entry's address (211) were asked.
std::pair<int, int> WinampPathQueries(const ScriptedPlayerSystem& sys) {
  std::pair<int, int> asked;
  for (const auto& m : sys.sent)
    if (m.message == kWmUser) {
      asked.first += m.lParam == 125;
      asked.second += m.lParam == 211;
    }
  return asked;
}
}  // namespace

TEST_F(WindowMessagePlayers, WinampPathIsAskedAgainOnlyWhenStateTitleOrWindowChange) {
  const std::pair<int, int> once{1, 1};
  WinampState(1);
  WinampTitle(u"1. A - Song");
  sys.Answer(player, kWmUser, 0, 211, 0x500000);
  sys.SetMemory(0x500000, std::string("C:\\a.mp3") + std::string(504, '\0'));
  for (int poll = 0; poll < 3; ++poll) EXPECT_EQ(GetWinampPath(sys, player), u"C:\\a.mp3");
  EXPECT_EQ(WinampPathQueries(sys), once);
  EXPECT_EQ(std::count(sys.sent.begin(), sys.sent.end(), SentPlayerMessage{player, kWmUser, 0, 104}), 3);

  sys.sent.clear();
  WinampTitle(u"2. B - Song");  // the next entry
  sys.SetMemory(0x500000, std::string("C:\\b.mp3") + std::string(504, '\0'));
  EXPECT_EQ(GetWinampPath(sys, player), u"C:\\b.mp3");
  EXPECT_EQ(GetWinampPath(sys, player), u"C:\\b.mp3");
  EXPECT_EQ(WinampPathQueries(sys), once);

  sys.sent.clear();
  WinampState(3);  // paused: still the same track, but asked again
  EXPECT_EQ(GetWinampPath(sys, player), u"C:\\b.mp3");
  EXPECT_EQ(GetWinampPath(sys, player), u"C:\\b.mp3");
  EXPECT_EQ(WinampPathQueries(sys), once);

  sys.sent.clear();  // another Winamp window with the same state and title
  const uintptr_t other = sys.AddWindow("Winamp v1.x", "", u"winamp.exe");
  sys.Answer(other, kWmUser, 0, 104, 3);
  sys.SetTitle(other, u"2. B - Song - Winamp");
  sys.Answer(other, kWmUser, 0, 211, 0x600000);
  sys.SetMemory(0x600000, std::string("C:\\other.mp3") + std::string(500, '\0'));
  EXPECT_EQ(GetWinampPath(sys, other), u"C:\\other.mp3");
  EXPECT_EQ(GetWinampPath(sys, player), u"C:\\b.mp3");
  EXPECT_EQ(WinampPathQueries(sys), std::make_pair(2, 2));

  sys.sent.clear();  // a window without a title says nothing about its entry
  sys.SetTitle(player, u"");
  EXPECT_EQ(GetWinampPath(sys, player), u"C:\\b.mp3");
  EXPECT_EQ(GetWinampPath(sys, player), u"C:\\b.mp3");
  EXPECT_EQ(WinampPathQueries(sys), std::make_pair(2, 2));
}

TEST_F(WindowMessagePlayers, WinampForgetsItsPathWhenItStopsHangsOrFails) {
  WinampState(1);
  WinampTitle(u"1. A - Song");
  sys.Answer(player, kWmUser, 0, 211, 0x500000);
  sys.SetMemory(0x500000, std::string("C:\\a.mp3") + std::string(504, '\0'));
  ASSERT_EQ(GetWinampPath(sys, player), u"C:\\a.mp3");

  WinampState(0);  // stopped: nothing plays, and the entry may be another one at the next start
  EXPECT_EQ(GetWinampPath(sys, player), u"");
  WinampState(1);
  sys.sent.clear();
  EXPECT_EQ(GetWinampPath(sys, player), u"C:\\a.mp3");
  EXPECT_EQ(WinampPathQueries(sys), std::make_pair(1, 1));

  sys.Hang(player);  // no answer stays no answer, not the path remembered
  EXPECT_EQ(GetWinampPath(sys, player), std::nullopt);
  sys.Unhang(player);
  sys.sent.clear();
  EXPECT_EQ(GetWinampPath(sys, player), u"C:\\a.mp3");
  EXPECT_EQ(WinampPathQueries(sys), std::make_pair(1, 1));

  sys.Answer(player, kWmUser, 0, 211, 0);  // a failed answer is not remembered either
  WinampTitle(u"2. B - Song");
  EXPECT_EQ(GetWinampPath(sys, player), u"");
  sys.sent.clear();
  EXPECT_EQ(GetWinampPath(sys, player), u"");
  EXPECT_EQ(WinampPathQueries(sys), std::make_pair(1, 1));
}

TEST_F(WindowMessagePlayers, WinampStreamMakesANewTrackOnlyWhenTheTitleChanges) {
  WinampState(1);
  SetText(Track().Artist, u"old artist");
  SetText(Track().LastReadPath, u"C:\\old.mp3");
  Track().Bitrate = 128;
  sys.SetTitle(player, u"3. Radio - Song - Winamp");
  EXPECT_TRUE(ReadWinampStreamTitle(sys, player, u"http://radio/stream"));
  EXPECT_EQ(*Track().Artist, u"Radio");
  EXPECT_EQ(*Track().Title, u"Song");
  EXPECT_EQ(*Track().FilePath, u"http://radio/stream");
  EXPECT_EQ(*Track().PlayerName, u"Winamp");
  EXPECT_FALSE(Track().LastReadPath.has_value());
  EXPECT_EQ(Track().Bitrate, 0u);
  EXPECT_EQ(*Settings().LastWindowTitle, u"3. Radio - Song - Winamp");

  EXPECT_FALSE(ReadWinampStreamTitle(sys, player, u"http://radio/stream"));
  sys.SetTitle(player, u"3. RADIO - SONG - Winamp");  // the same title in other case
  EXPECT_FALSE(ReadWinampStreamTitle(sys, player, u"http://radio/stream"));
  sys.SetTitle(player, u"3. Jingle - Winamp");  // no artist in it: the old one does not stay
  EXPECT_TRUE(ReadWinampStreamTitle(sys, player, u"http://radio/stream"));
  EXPECT_FALSE(Track().Artist.has_value());
  EXPECT_EQ(*Track().Title, u"Jingle");

  sys.SetTitle(player, u"[Buffering: 10%] - Winamp");
  EXPECT_FALSE(ReadWinampStreamTitle(sys, player, u"http://radio/stream"));
  sys.SetTitle(player, u"Other - Winamp");
  Settings().Returnonpause = true;
  WinampState(3);
  EXPECT_FALSE(ReadWinampStreamTitle(sys, player, u"http://radio/stream"));
}

TEST_F(WindowMessagePlayers, Aimp2PathComesFromItsSharedMemory) {
  const uintptr_t remote = sys.AddWindow("AIMP2_RemoteInfo", "AIMP2_RemoteInfo", u"AIMP2.EXE");
  sys.SetShared(Aimp2Record({u"a", u"bb", u"ccc", u"D:\\x.ogg"}));
  Aimp2State(remote, 1);
  EXPECT_EQ(GetAimp2Path(sys, remote), u"D:\\x.ogg");
  Aimp2State(remote, 2);
  EXPECT_EQ(GetAimp2Path(sys, remote), u"D:\\x.ogg");
  Settings().Returnonpause = true;
  EXPECT_EQ(GetAimp2Path(sys, remote), u"");
  Aimp2State(remote, 0);
  EXPECT_EQ(GetAimp2Path(sys, remote), u"");
  Aimp2State(remote, 1);
  sys.SetShared({});  // mapping absent
  EXPECT_EQ(GetAimp2Path(sys, remote), u"");
}

TEST_F(WindowMessagePlayers, Aimp2StreamTitleComesFromItsWinampWindow) {
  const uintptr_t remote = sys.AddWindow("AIMP2_RemoteInfo", "AIMP2_RemoteInfo", u"aimp2.exe");
  Aimp2State(remote, 1);
  sys.SetTitle(player, u"07. DJ - Mix - Winamp");
  EXPECT_TRUE(ReadAimp2StreamTitle(sys, remote, u"http://x/y"));
  EXPECT_EQ(*Track().Artist, u"DJ");
  EXPECT_EQ(*Track().Title, u"Mix");
  EXPECT_EQ(*Track().PlayerName, u"AIMP2");
  EXPECT_FALSE(ReadAimp2StreamTitle(sys, remote, u"http://x/y"));

  ScriptedPlayerSystem other;  // the remote window of a process that is not AIMP2
  const uintptr_t w = other.AddWindow("Winamp v1.x", "", u"aimp2.exe");
  const uintptr_t fakeRemote = other.AddWindow("AIMP2_RemoteInfo", "AIMP2_RemoteInfo", u"impostor.exe");
  other.Answer(fakeRemote, kWmUser + 117, 1, 4, 1);
  other.SetTitle(w, u"08. Other - Winamp");
  EXPECT_FALSE(ReadAimp2StreamTitle(other, fakeRemote, u"http://x/y"));
}

TEST_F(WindowMessagePlayers, JetAudioPlaysInPlaySeekAndPause) {
  const auto mode = [&](intptr_t m) {
    sys.Answer(player, 0x82E4, 0, 1, m);
    return JetAudioIsPlaying(sys, player).value();
  };
  EXPECT_TRUE(mode(526));
  EXPECT_TRUE(mode(528));
  EXPECT_TRUE(mode(529));
  EXPECT_FALSE(mode(525));  // stopped
  EXPECT_FALSE(mode(0));
  Settings().Returnonpause = true;
  EXPECT_FALSE(mode(529));
  EXPECT_TRUE(mode(528));
}

TEST_F(WindowMessagePlayers, ApolloPathIsTheTextOfTheWindowItNames) {
  const uintptr_t apollo = sys.AddWindow("Apollo - Main Window", "", u"apollo.exe");
  const uintptr_t text = sys.AddWindow("Static", "", u"apollo.exe");
  sys.Answer(apollo, kWmUser + 3, 24, 0, intptr_t(text));
  sys.SetText(text, "C:\\a.mp3");
  EXPECT_EQ(GetApolloPath(sys, apollo), u"");  // (1027, 1, 0) answers 0: nothing plays
  sys.Answer(apollo, kWmUser + 3, 1, 0, 1);
  EXPECT_EQ(GetApolloPath(sys, apollo), u"C:\\a.mp3");
  EXPECT_EQ(sys.sent.back(), (SentPlayerMessage{text, kWmGetText, 511, 0}));
  sys.SetText(text, "");
  EXPECT_EQ(GetApolloPath(sys, apollo), u"");
}

TEST_F(WindowMessagePlayers, PathQueryDispatchesByCurrentPlayer) {
  ScriptedAutomation automation;
  ScriptedOpenFiles openFiles;
  PlayerAccess access({sys, automation, openFiles});
  automation.itunesPath = u"C:\\itunes.m4a";
  automation.mediaMonkeyPath = u"C:\\mm.mp3";
  automation.foobarPath = u"C:\\foo.flac";

  for (int id : {0, 1, 2, 3, 4, 5, 6, 7, 16, 18, 19, 20}) {
    Settings().CurrentPlayer = uint8_t(id);
    EXPECT_EQ(access.GetPlayingPath(), u"C:\\open.mp3") << id;
  }
  EXPECT_EQ(openFiles.asked.size(), 12u);
  Settings().CurrentPlayer = kITunes;
  EXPECT_EQ(access.GetPlayingPath(), u"C:\\itunes.m4a");
  Settings().CurrentPlayer = kFoobar2000;
  EXPECT_EQ(access.GetPlayingPath(), u"C:\\open.mp3");
  Settings().PlayerHandle = kFoobarAutomationHandle;
  EXPECT_EQ(access.GetPlayingPath(), u"C:\\foo.flac");
  Settings().PlayerHandle = player;
  for (int id : {10, 11, 21, 255}) {
    Settings().CurrentPlayer = uint8_t(id);
    EXPECT_EQ(access.GetPlayingPath(), u"") << id;
  }

  // MediaMonkey: its state answer of 0 or 10 means nothing plays; paused (3) still reads.
  Settings().CurrentPlayer = kMediaMonkey;
  for (intptr_t state : {0, 10}) {
    WinampState(state);
    EXPECT_EQ(access.GetPlayingPath(), u"");
  }
  EXPECT_EQ(automation.mediaMonkeyCalls, 0);
  WinampState(3);
  Settings().Returnonpause = true;
  EXPECT_EQ(access.GetPlayingPath(), u"C:\\mm.mp3");

  // jetAudio: the open-file scan only once it reports playing.
  Settings().CurrentPlayer = kJetAudio;
  const size_t scans = openFiles.asked.size();
  EXPECT_EQ(access.GetPlayingPath(), u"");
  sys.Answer(player, 0x82E4, 0, 1, 528);
  EXPECT_EQ(access.GetPlayingPath(), u"C:\\open.mp3");
  EXPECT_EQ(openFiles.asked.size(), scans + 1);
  EXPECT_FALSE(access.PlayerPaused());

  // Paused (529) it plays on while Returnonpause is off, and says it is paused;
  // a player that reports no pause never is.
  Settings().Returnonpause = false;
  sys.Answer(player, 0x82E4, 0, 1, 529);
  EXPECT_EQ(access.GetPlayingPath(), u"C:\\open.mp3");
  EXPECT_TRUE(access.PlayerPaused());
  Settings().CurrentPlayer = kITunes;
  EXPECT_EQ(access.GetPlayingPath(), u"C:\\itunes.m4a");
  EXPECT_FALSE(access.PlayerPaused());
  EXPECT_EQ(access.SessionAppId(), u"");
}

TEST_F(WindowMessagePlayers, PlayerInfoComesFromWinampAimp2AndItunesOnly) {
  ScriptedAutomation automation;
  ScriptedOpenFiles openFiles;
  PlayerAccess access({sys, automation, openFiles});
  sys.Answer(player, kWmUser, 1, 126, 192);
  sys.Answer(player, kWmUser, 0, 126, 44);
  sys.Answer(player, kWmUser, 1, 105, 245);
  Settings().CurrentPlayer = kWinamp;
  EXPECT_TRUE(PlayerReportsInfo());
  EXPECT_EQ(access.GetPlayerInfo(21), 192);
  EXPECT_EQ(access.GetPlayerInfo(22), 44);
  EXPECT_EQ(access.GetPlayerInfo(23), 245);
  EXPECT_EQ(access.GetPlayerInfo(24), 0);

  // AIMP2 answers on its Winamp window, not on PlayerHandle.
  Settings().CurrentPlayer = kAimp2;
  Settings().PlayerHandle = sys.AddWindow("AIMP2_RemoteInfo", "AIMP2_RemoteInfo", u"AIMP2.EXE");
  EXPECT_EQ(access.GetPlayerInfo(21), 192);

  Settings().CurrentPlayer = kITunes;
  automation.itunesInfo = 1000;
  EXPECT_EQ(access.GetPlayerInfo(22), 1022);
  EXPECT_EQ(access.GetPlayerInfo(7), 0);

  Settings().CurrentPlayer = kMediaMonkey;
  EXPECT_FALSE(PlayerReportsInfo());
  EXPECT_EQ(access.GetPlayerInfo(21), 0);
}

// A player that is busy or hung has not stopped: every route tells "no
// answer" (no value) apart from "nothing plays" (empty), at each message it
// sends, and sends nothing more once one went unanswered.
TEST_F(WindowMessagePlayers, RoutesTellNoAnswerApartFromNothingPlaying) {
  sys.Answer(player, kWmUser, 0, 125, 0);
  sys.Answer(player, kWmUser, 0, 211, 0x500000);
  sys.SetMemory(0x500000, std::string("C:\\a.mp3") + std::string(504, '\0'));
  WinampState(1);
  sys.Hang(player);
  EXPECT_EQ(GetWinampPath(sys, player), std::nullopt);
  EXPECT_EQ(sys.sent.size(), 1u);

  const uintptr_t remote = sys.AddWindow("AIMP2_RemoteInfo", "AIMP2_RemoteInfo", u"AIMP2.EXE");
  sys.SetShared(Aimp2Record({u"a", u"bb", u"ccc", u"D:\\x.ogg"}));
  sys.Hang(remote);
  EXPECT_EQ(GetAimp2Path(sys, remote), std::nullopt);
  EXPECT_EQ(JetAudioIsPlaying(sys, remote), std::nullopt);

  // Apollo: unanswered at its first message, and at the text window.
  const uintptr_t apollo = sys.AddWindow("Apollo - Main Window", "", u"apollo.exe");
  const uintptr_t text = sys.AddWindow("Static", "", u"apollo.exe");
  sys.Answer(apollo, kWmUser + 3, 1, 0, 1);
  sys.Answer(apollo, kWmUser + 3, 24, 0, intptr_t(text));
  sys.SetText(text, "C:\\a.mp3");
  sys.Hang(text);
  EXPECT_EQ(GetApolloPath(sys, apollo), std::nullopt);
  sys.Hang(apollo);
  EXPECT_EQ(GetApolloPath(sys, apollo), std::nullopt);
}

TEST_F(WindowMessagePlayers, PathQueryPassesNoAnswerOnAndScansNothingThen) {
  ScriptedAutomation automation;
  ScriptedOpenFiles openFiles;
  PlayerAccess access({sys, automation, openFiles});
  sys.Hang(player);
  for (int id : {kWinamp, kJetAudio, kMediaMonkey, kApollo}) {
    Settings().CurrentPlayer = uint8_t(id);
    Settings().PlayerHandle = player;
    EXPECT_EQ(access.GetPlayingPath(), std::nullopt) << id;
  }
  EXPECT_TRUE(openFiles.asked.empty());
  EXPECT_EQ(automation.mediaMonkeyCalls, 0);
  automation.itunesPath = std::nullopt;  // the automation call ran out of time
  Settings().CurrentPlayer = kITunes;
  EXPECT_EQ(access.GetPlayingPath(), std::nullopt);
}

// One tick's waits share one budget: each wait gets what is left, none once
// it is spent; outside a tick a wait gets all it asks for. The system's tick
// count wraps.
TEST(TickWaitBudget, WaitsShareWhatIsLeftOfTheTick) {
  WaitBudget budget;
  EXPECT_EQ(budget.Allow(1000, 0), 1000u);
  budget.Begin(0xFFFFFF00u, 1500);
  EXPECT_EQ(budget.Allow(1000, 0xFFFFFF00u), 1000u);
  EXPECT_EQ(budget.Allow(1000, 0xFFFFFF00u + 1000), 500u);
  EXPECT_EQ(budget.Allow(1000, 0x00000400u), 220u);  // 1280 ms in, past the wrap
  EXPECT_EQ(budget.Allow(5000, 0x00000600u), 0u);
  budget.End();
  EXPECT_EQ(budget.Allow(5000, 0x00000500u), 5000u);
}
