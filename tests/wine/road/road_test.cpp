// The whole road under Wine: the real Tunelet.dll in the simulated host, the
// simulated player in a process of its own. A case plays a real media file
// (held open by the player's process, found by the open-file scan) or an
// internet radio stream (Winamp's window title), and checks what the host
// was sent, in which order and when.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>
#include <string>
#include <vector>

#include "fake_player_client.h"
#include "host_test_support.h"
#include "sim_host.h"

namespace {

using host_test::PluginCopy;
using talkeo_sim::kMsgGetXStatus;
using talkeo_sim::kMsgSetXStatus;
using talkeo_sim::SentMessage;
using talkeo_sim::SimHost;
using talkeo_sim::XStatus;
using host_test::SentXStatus;
using tunelet::testing::FakePlayer;

constexpr uint32_t kPollMs = 3000;  // the shortest poll period, which the quiet INI sets
constexpr uint32_t kDelayMs = 900;  // from the clear to the publish or the restore
// A window-message timer never fires much early, and a busy machine makes it late.
constexpr uint32_t kDelayMinMs = host_test::kXStatusDelayMinMs;
// A poll, the delay after it and a margin for a busy machine.
constexpr uint32_t kStepBoundMs = kPollMs + kDelayMs + 2500;
// Long enough for one more poll and the delay after it.
constexpr uint32_t kQuietMs = kPollMs + kDelayMs + 300;

constexpr int32_t kGet = kMsgGetXStatus, kSet = kMsgSetXStatus;

const XStatus kUsersOwn{5, L"Пью пиво", L"с друзьями"};
const XStatus kMusic{11, L"Музыка", L"в наушниках"};
const XStatus kCoffee{10, L"Кофе", L"утро"};

std::string Utf8(const std::wstring& w) { return talkeo_sim::ToUtf8(w); }


class Road : public ::testing::Test {
 protected:
  void SetUp() override { copy_.WriteQuietIni(); }
  void TearDown() override {
    player_.reset();  // quits the player, which lets go of the media file
    host_.Unload();
  }

  // Loads the plug-in, switched on, while the user shows their own X-status.
  // Without a mode the record is one the plug-in never wrote, so it runs on
  // its first-run defaults (mode 21, its own templates); a mode is one the
  // user chose and saved before.
  void LoadPlugin(int mode = 0) {
    if (mode) copy_.WriteIni(L"Main", L"Action", std::to_wstring(mode).c_str());
    std::string error;
    ASSERT_TRUE(host_.Load(copy_.Dll(), &error)) << error;
    host_.Record().Initialised = mode ? 1 : 0;
    host_.Record().PluginOn = 1;
    host_.UserSetsXStatus(kUsersOwn.picture, kUsersOwn.title, kUsersOwn.text);
  }

  // Media Player Classic: its window, and what it plays is the media file
  // its process holds open.
  void StartFilePlayer() {
    player_.emplace(L"mpc-hc.exe");
    ASSERT_TRUE(player_->ready());
    ASSERT_NE(player_->Run("window main MediaPlayerClassicW \"Media Player Classic\""), FakePlayer::kFailed);
  }
  void PlayFile(const std::wstring& path) {
    ASSERT_NE(player_->Run("open-file track \"" + Utf8(path) + "\""), FakePlayer::kFailed);
  }
  void StopFile() { ASSERT_NE(player_->Run("close-file track"), FakePlayer::kFailed); }

  // Winamp playing entry 0 of its playlist, a radio station's URL; the
  // station's song is in the window title.
  void StartWinampRadio(const std::string& url, const std::wstring& windowTitle) {
    player_.emplace(L"WINAMP.EXE");
    ASSERT_TRUE(player_->ready());
    ASSERT_EQ(player_->Run("window main \"Winamp v1.x\" \"" + Utf8(windowTitle) +
                           "\"\n"
                           "answer main 1024 0 104 1\n"
                           "answer main 1024 0 125 0"),
              0);
    ASSERT_NE(player_->Run("playlist 0 " + url), FakePlayer::kFailed);
  }
  void SetWinampTitle(const std::wstring& title) {
    ASSERT_EQ(player_->Run("title main \"" + Utf8(title) + "\""), 0);
  }
  // Pumps until the plug-in has asked Winamp for its state again, that is
  // until one more poll's query has run (on the plug-in's poll worker).
  bool PumpUntilWinampPolled() {
    player_->ClearLog();
    auto asked = [&] {
      for (const std::string& m : player_->Messages())
        if (m == "main 1024 0 104") return true;
      return false;
    };
    return host_test::PumpUntil(host_, asked, kPollMs + 2500);
  }

  std::wstring MediaFile(const wchar_t* name) const { return copy_.Folder() + L"\\" + name; }

  bool PumpUntilShown(const XStatus& want, uint32_t boundMs = kStepBoundMs) {
    return host_test::PumpUntil(host_, [&] { return host_.Shown() == want; }, boundMs);
  }
  bool PumpUntilSent(size_t count, uint32_t boundMs = kStepBoundMs) {
    return host_test::PumpUntil(host_, [&] { return host_.Sent().size() >= count; }, boundMs);
  }
  std::vector<int32_t> Codes() const {
    std::vector<int32_t> codes;
    for (const auto& m : host_.Sent()) codes.push_back(m.raw.Msg);
    return codes;
  }
  std::vector<SentMessage> Sets() const { return host_test::SentXStatusChanges(host_); }
  void ExpectClearThen(const XStatus& after) const { host_test::ExpectClearThen(host_, after); }
  std::string ShownText() const { return talkeo_sim::DescribeXStatus(host_.Shown()); }

  PluginCopy copy_;
  SimHost host_;
  std::optional<FakePlayer> player_;  // after copy_: quits before the folder goes
};

TEST_F(Road, TaggedMp3IsPublishedAfterTheClearAndTheUsersOwnComesBackAfterTheStop) {
  const std::wstring track = MediaFile(L"Исполнитель - Песня.mp3");
  host_test::WriteTaggedMp3(track, L"Исполнитель", L"Песня");
  const XStatus published{11, L"Слушаю:", L"Исполнитель \"Песня\""};
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  ASSERT_NO_FATAL_FAILURE(StartFilePlayer());
  ASSERT_NO_FATAL_FAILURE(PlayFile(track));
  ASSERT_TRUE(host_.Start());

  ASSERT_TRUE(PumpUntilShown(published)) << ShownText();
  // The user's title read, the user's X-status saved, the clear, and one
  // delay later the track: all in one poll but the last.
  EXPECT_EQ(Codes(), (std::vector<int32_t>{kGet, kGet, kSet, kSet}));
  const std::vector<SentMessage>& sent = host_.Sent();
  EXPECT_EQ(sent[0].answer, kUsersOwn);
  EXPECT_EQ(sent[1].answer, kUsersOwn);
  EXPECT_LT(sent[2].timeMs - sent[0].timeMs, kDelayMinMs);  // the clear comes at once
  ExpectClearThen(published);

  // The same file at the next poll is not new.
  host_.ClearLogs();
  host_.Pump(kQuietMs);
  EXPECT_EQ(host_.Sent().size(), 0u);

  ASSERT_NO_FATAL_FAILURE(StopFile());
  ASSERT_TRUE(PumpUntilShown(kUsersOwn)) << ShownText();
  EXPECT_EQ(Codes(), (std::vector<int32_t>{kGet, kSet, kSet}));
  ExpectClearThen(kUsersOwn);

  // Restored once: later polls find nothing saved and send nothing.
  host_.ClearLogs();
  host_.Pump(kQuietMs);
  EXPECT_EQ(host_.Sent().size(), 0u);
}

// The user's privacy choices on the road.
TEST_F(Road, APlayerSwitchedOffLeavesTheUsersOwnXStatus) {
  copy_.WriteIni(L"Privacy", L"Player1", L"0");  // Media Player Classic's row
  const std::wstring track = MediaFile(L"track.mp3");
  host_test::WriteTaggedMp3(track, L"Исполнитель", L"Песня");
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  ASSERT_NO_FATAL_FAILURE(StartFilePlayer());
  ASSERT_NO_FATAL_FAILURE(PlayFile(track));
  ASSERT_TRUE(host_.Start());
  host_.Pump(500 + kQuietMs);  // the first poll, one more and their delays
  EXPECT_EQ(host_.Shown(), kUsersOwn) << ShownText();
  EXPECT_TRUE(Sets().empty());
}

TEST_F(Road, AnExcludedArtistMidSessionBringsTheUsersOwnBackAndTheNextTrackIsShown) {
  copy_.WriteIni(L"Privacy", L"Exclusions", L"1");
  copy_.WriteIni(L"Privacy", L"Exclusion1", L"artist:*podcast*");
  const std::wstring song = MediaFile(L"song.mp3"), talk = MediaFile(L"talk.mp3"), next = MediaFile(L"next.mp3");
  host_test::WriteTaggedMp3(song, L"Исполнитель", L"Песня");
  host_test::WriteTaggedMp3(talk, L"The Weekly Podcast", L"Выпуск 12");
  host_test::WriteTaggedMp3(next, L"Другой", L"Вторая");
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  ASSERT_NO_FATAL_FAILURE(StartFilePlayer());
  ASSERT_NO_FATAL_FAILURE(PlayFile(song));
  ASSERT_TRUE(host_.Start());
  ASSERT_TRUE(PumpUntilShown({11, L"Слушаю:", L"Исполнитель \"Песня\""})) << ShownText();

  ASSERT_NO_FATAL_FAILURE(StopFile());
  ASSERT_NO_FATAL_FAILURE(PlayFile(talk));
  ASSERT_TRUE(PumpUntilShown(kUsersOwn)) << ShownText();
  ExpectClearThen(kUsersOwn);  // 900 ms after the clear, as at a stop
  host_.ClearLogs();
  host_.Pump(kQuietMs);  // the hidden track stays hidden
  EXPECT_TRUE(Sets().empty());

  ASSERT_NO_FATAL_FAILURE(StopFile());
  ASSERT_NO_FATAL_FAILURE(PlayFile(next));
  const XStatus nextShown{11, L"Слушаю:", L"Другой \"Вторая\""};
  ASSERT_TRUE(PumpUntilShown(nextShown)) << ShownText();
  ExpectClearThen(nextShown);
}

// Five tracks within ten seconds with a calm pace of 10 s: the first is
// shown at once, the last once the 10 s have passed; nothing in between.
TEST_F(Road, CalmPublishingShowsFiveFastSkipsAsTwoXStatusChanges) {
  copy_.WriteIni(L"Privacy", L"Calminterval", L"10");
  std::vector<std::wstring> tracks;
  for (int i = 1; i <= 5; ++i) {
    tracks.push_back(MediaFile((L"skip" + std::to_wstring(i) + L".mp3").c_str()));
    host_test::WriteTaggedMp3(tracks.back(), L"Исполнитель", L"Песня " + std::to_wstring(i));
  }
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  ASSERT_NO_FATAL_FAILURE(StartFilePlayer());
  ASSERT_NO_FATAL_FAILURE(PlayFile(tracks[0]));
  ASSERT_TRUE(host_.Start());
  ASSERT_TRUE(PumpUntilShown({11, L"Слушаю:", L"Исполнитель \"Песня 1\""})) << ShownText();
  for (size_t i = 1; i < tracks.size(); ++i) {
    if (i > 1) host_.Pump(1500);
    ASSERT_NO_FATAL_FAILURE(StopFile());
    ASSERT_NO_FATAL_FAILURE(PlayFile(tracks[i]));
  }
  ASSERT_TRUE(PumpUntilShown({11, L"Слушаю:", L"Исполнитель \"Песня 5\""}, 10000 + kStepBoundMs)) << ShownText();
  host_.Pump(kQuietMs);
  std::vector<SentMessage> shown;
  for (const SentMessage& m : Sets())
    if (SentXStatus(m).picture != 0) shown.push_back(m);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_GE(shown[1].timeMs - shown[0].timeMs, 10000u - 50u);
  EXPECT_EQ(host_.Shown().text, L"Исполнитель \"Песня 5\"");
}

// The first poll comes half a second after the start, not a whole interval
// later: a track that plays when the messenger starts is shown within about
// one and a half seconds, well before the first interval (3 s here) is over.
TEST_F(Road, ATrackPlayingAtTheStartIsShownBeforeTheFirstIntervalEnds) {
  const std::wstring track = MediaFile(L"track.mp3");
  host_test::WriteTaggedMp3(track, L"Исполнитель", L"Песня");
  const XStatus published{11, L"Слушаю:", L"Исполнитель \"Песня\""};
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  ASSERT_NO_FATAL_FAILURE(StartFilePlayer());
  ASSERT_NO_FATAL_FAILURE(PlayFile(track));
  const uint32_t started = host_.Now();
  ASSERT_TRUE(host_.Start());
  ASSERT_TRUE(PumpUntilShown(published)) << ShownText();
  const std::vector<SentMessage> sets = Sets();
  ASSERT_FALSE(sets.empty());
  EXPECT_LT(sets.back().timeMs - started, kPollMs);
}

// Each tag value names the next variable thirty times (1,175 bytes of tag):
// the X-status shows the names as written, at once.
TEST_F(Road, TagsThatNameVariablesArePublishedAsWritten) {
  auto repeat = [](const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
  };
  const std::wstring track = MediaFile(L"crafted.mp3");
  host_test::WriteMp3WithFrames(track, host_test::Latin1TextFrame("TPE1", repeat("%title%", 30)) +
                                           host_test::Latin1TextFrame("TIT2", repeat("%album%", 30)) +
                                           host_test::Latin1TextFrame("TALB", repeat("%genre%", 30)) +
                                           host_test::Latin1TextFrame("TCON", repeat("%year%", 30)) +
                                           host_test::Latin1TextFrame("TYER", std::string(300, 'y')));
  const std::string text = repeat("%title%", 30) + " \"" + repeat("%album%", 30) + "\"";
  const XStatus published{11, L"Слушаю:", std::wstring(text.begin(), text.end())};
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  ASSERT_NO_FATAL_FAILURE(StartFilePlayer());
  ASSERT_NO_FATAL_FAILURE(PlayFile(track));
  ASSERT_TRUE(host_.Start());
  ASSERT_TRUE(PumpUntilShown(published)) << ShownText().substr(0, 300);
  ExpectClearThen(published);
}

TEST_F(Road, VideoGetsTheVideoPictureAndTitleAndClosingThePlayerRestores) {
  const std::wstring clip = MediaFile(L"Клип - Лето.mkv");
  std::ofstream(std::filesystem::path(clip), std::ios::binary)
      << std::string("\x1A\x45\xDF\xA3", 4) << std::string(4000, '\0');
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  ASSERT_NO_FATAL_FAILURE(StartFilePlayer());
  ASSERT_NO_FATAL_FAILURE(PlayFile(clip));
  ASSERT_TRUE(host_.Start());

  // Artist and title from the file name, which is all a video gives.
  const XStatus published{8, L"Смотрю:", L"Клип \"Лето\""};
  ASSERT_TRUE(PumpUntilShown(published)) << ShownText();
  ExpectClearThen(published);

  host_.ClearLogs();
  player_.reset();
  ASSERT_TRUE(PumpUntilShown(kUsersOwn)) << ShownText();
  EXPECT_EQ(Codes(), (std::vector<int32_t>{kGet, kSet, kSet}));
  ExpectClearThen(kUsersOwn);
}

TEST_F(Road, ModeElevenPublishesOnlyWhileTheUserShowsMusic) {
  const std::wstring track = MediaFile(L"track.mp3");
  host_test::WriteTaggedMp3(track, L"Исполнитель", L"Песня");
  const XStatus published{11, L"Слушаю:", L"Исполнитель \"Песня\""};
  ASSERT_NO_FATAL_FAILURE(LoadPlugin(11));
  ASSERT_NO_FATAL_FAILURE(StartFilePlayer());
  ASSERT_NO_FATAL_FAILURE(PlayFile(track));
  ASSERT_TRUE(host_.Start());

  // Another picture: each poll only asks which picture is shown.
  ASSERT_TRUE(PumpUntilSent(1));
  host_.Pump(kDelayMs + 300);
  EXPECT_EQ(Codes(), std::vector<int32_t>(Codes().size(), kGet));
  EXPECT_EQ(host_.Shown(), kUsersOwn);

  // The user picks "Music": the next poll publishes over it.
  host_.ClearLogs();
  host_.UserSetsXStatus(kMusic.picture, kMusic.title, kMusic.text);
  ASSERT_TRUE(PumpUntilShown(published)) << ShownText();
  EXPECT_EQ(Codes(), (std::vector<int32_t>{kGet, kGet, kGet, kSet, kSet}));
  EXPECT_EQ(host_.Sent()[2].answer, kMusic);  // saved
  ExpectClearThen(published);

  // Another picture again: left alone, and the track is forgotten.
  host_.ClearLogs();
  host_.UserSetsXStatus(kCoffee.picture, kCoffee.title, kCoffee.text);
  ASSERT_TRUE(PumpUntilSent(1));
  host_.Pump(kDelayMs + 300);
  EXPECT_EQ(Codes(), std::vector<int32_t>(Codes().size(), kGet));
  EXPECT_EQ(host_.Shown(), kCoffee);

  // "Music" once more: the same file is new again, and the stop brings back
  // the "Music" X-status the user had.
  host_.ClearLogs();
  host_.UserSetsXStatus(kMusic.picture, kMusic.title, kMusic.text);
  ASSERT_TRUE(PumpUntilShown(published)) << ShownText();
  EXPECT_EQ(Codes(), (std::vector<int32_t>{kGet, kGet, kGet, kSet, kSet}));
  ASSERT_NO_FATAL_FAILURE(StopFile());
  ASSERT_TRUE(PumpUntilShown(kMusic)) << ShownText();
  ExpectClearThen(kMusic);
}

TEST_F(Road, ModeTenRepublishesOverThePictureTheUserPicksAndRestoresIt) {
  const std::wstring track = MediaFile(L"track.mp3");
  host_test::WriteTaggedMp3(track, L"Исполнитель", L"Песня");
  ASSERT_NO_FATAL_FAILURE(LoadPlugin(10));
  ASSERT_NO_FATAL_FAILURE(StartFilePlayer());
  ASSERT_NO_FATAL_FAILURE(PlayFile(track));
  ASSERT_TRUE(host_.Start());
  ASSERT_TRUE(PumpUntilShown({kUsersOwn.picture, L"Слушаю:", L"Исполнитель \"Песня\""})) << ShownText();

  host_.ClearLogs();
  host_.UserSetsXStatus(kCoffee.picture, kCoffee.title, kCoffee.text);
  const XStatus republished{kCoffee.picture, L"Слушаю:", L"Исполнитель \"Песня\""};
  ASSERT_TRUE(PumpUntilShown(republished)) << ShownText();
  // No second save: the title read, the clear, the track.
  EXPECT_EQ(Codes(), (std::vector<int32_t>{kGet, kSet, kSet}));
  ExpectClearThen(republished);

  // The new picture and its text come back; the host's report carries no
  // title, so the title saved at the start stays.
  host_.ClearLogs();
  ASSERT_NO_FATAL_FAILURE(StopFile());
  const XStatus restored{kCoffee.picture, kUsersOwn.title, kCoffee.text};
  ASSERT_TRUE(PumpUntilShown(restored)) << ShownText();
  EXPECT_EQ(Codes(), (std::vector<int32_t>{kGet, kSet, kSet}));
  ExpectClearThen(restored);
}

// Mode 10, so that the radio is also republished over a picture the user picks.
TEST_F(Road, WinampRadioSongsComeFromTheWindowTitleThenAFileFromThePlaylist) {
  ASSERT_NO_FATAL_FAILURE(LoadPlugin(10));
  ASSERT_NO_FATAL_FAILURE(StartWinampRadio("http://radio.example:8000/rock", L"1. Кино - Группа крови - Winamp"));
  ASSERT_TRUE(host_.Start());

  // A stream has no tags: the window title without Winamp's playlist number
  // and suffix gives the artist and the title.
  const XStatus first{kUsersOwn.picture, L"Слушаю:", L"Кино \"Группа крови\""};
  ASSERT_TRUE(PumpUntilShown(first)) << ShownText();
  EXPECT_EQ(Codes(), (std::vector<int32_t>{kGet, kGet, kSet, kSet}));
  ExpectClearThen(first);

  // A status text in the title (buffering) is no new song.
  host_.ClearLogs();
  ASSERT_NO_FATAL_FAILURE(SetWinampTitle(L"[Buffering: 50%] 1. Кино - Группа крови - Winamp"));
  ASSERT_TRUE(PumpUntilWinampPolled());
  EXPECT_EQ(host_.CountSent(kSet), 0u);

  // The station plays the next song.
  ASSERT_NO_FATAL_FAILURE(SetWinampTitle(L"2. Ария - Беспечный ангел - Winamp"));
  const XStatus second{kUsersOwn.picture, L"Слушаю:", L"Ария \"Беспечный ангел\""};
  ASSERT_TRUE(PumpUntilShown(second)) << ShownText();
  EXPECT_EQ(Codes(), (std::vector<int32_t>{kGet, kSet, kSet}));
  ExpectClearThen(second);

  // The user picks another picture during the song: the song goes back on
  // over it at the next poll.
  host_.ClearLogs();
  host_.UserSetsXStatus(kCoffee.picture, kCoffee.title, kCoffee.text);
  const XStatus over{kCoffee.picture, L"Слушаю:", L"Ария \"Беспечный ангел\""};
  ASSERT_TRUE(PumpUntilShown(over)) << ShownText();
  ExpectClearThen(over);

  // The user turns from the radio to a file of the playlist: its tags, read
  // from the path in Winamp's memory.
  const std::wstring track = MediaFile(L"track.mp3");
  host_test::WriteTaggedMp3(track, L"Исполнитель", L"Песня");
  host_.ClearLogs();
  ASSERT_NE(player_->Run("playlist 1 \"" + Utf8(track) + "\"\nanswer main 1024 0 125 1"), FakePlayer::kFailed);
  ASSERT_NO_FATAL_FAILURE(SetWinampTitle(L"2. Исполнитель - Песня - Winamp"));
  const XStatus file{kCoffee.picture, L"Слушаю:", L"Исполнитель \"Песня\""};
  ASSERT_TRUE(PumpUntilShown(file)) << ShownText();
  EXPECT_EQ(Codes(), (std::vector<int32_t>{kGet, kSet, kSet}));
  ExpectClearThen(file);

  // Winamp stops.
  host_.ClearLogs();
  ASSERT_EQ(player_->Run("answer main 1024 0 104 0"), 0);
  const XStatus restored{kCoffee.picture, kUsersOwn.title, kCoffee.text};
  ASSERT_TRUE(PumpUntilShown(restored)) << ShownText();
  EXPECT_EQ(Codes(), (std::vector<int32_t>{kGet, kSet, kSet}));
  ExpectClearThen(restored);
}

// Winamp stops answering for 3 s while it plays a file: the polls in that
// time get no answer, which is not the end of playback, so the host sees no
// clear and the track stays shown; a real "stopped" still restores.
TEST_F(Road, AWinampThatHangsForAWhileLeavesTheTrackShown) {
  ASSERT_NO_FATAL_FAILURE(LoadPlugin(10));
  const std::wstring track = MediaFile(L"track.mp3");
  host_test::WriteTaggedMp3(track, L"Исполнитель", L"Песня");
  ASSERT_NO_FATAL_FAILURE(StartWinampRadio("\"" + Utf8(track) + "\"", L"Исполнитель - Песня - Winamp"));
  ASSERT_TRUE(host_.Start());
  const XStatus published{kUsersOwn.picture, L"Слушаю:", L"Исполнитель \"Песня\""};
  ASSERT_TRUE(PumpUntilShown(published)) << ShownText();

  host_.ClearLogs();
  ASSERT_EQ(player_->Run("hang"), 0);
  host_.Pump(kPollMs + 500);  // at least one poll meets the hung player
  ASSERT_EQ(player_->Run("unhang\nsync"), 0);
  ASSERT_TRUE(PumpUntilWinampPolled());
  EXPECT_EQ(host_.CountSent(kSet), 0u);
  EXPECT_EQ(host_.Shown(), published) << ShownText();

  ASSERT_EQ(player_->Run("answer main 1024 0 104 0"), 0);
  ASSERT_TRUE(PumpUntilShown(kUsersOwn)) << ShownText();
}

// The host lets go of the plug-in and unloads it while a call into a hung
// iTunes is still stuck: the stuck thread keeps the library mapped, and the
// library goes once that thread ends, without taking the host with it.
TEST_F(Road, TheHostUnloadsThePluginWhileAPlayerHangs) {
  ASSERT_NO_FATAL_FAILURE(LoadPlugin(10));
  player_.emplace(L"iTunes.exe");
  ASSERT_TRUE(player_->ready());
  ASSERT_EQ(player_->Run("window main iTunes iTunes\n"
                         "automation-serve itunes\n"
                         "automation-int itunes PlayerState 1\n"
                         "automation-text itunes CurrentTrack.Location C:\\nowhere.m4a\n"
                         "automation-hang"),
            0);
  ASSERT_TRUE(host_.Start());
  host_.Pump(kPollMs + 2000);  // a poll asks iTunes and gives up after its bound
  const std::wstring dll = copy_.Dll();
  host_.Unload();
  EXPECT_NE(::GetModuleHandleW(dll.c_str()), nullptr);  // held by the stuck thread

  ASSERT_EQ(player_->Run("automation-unhang"), 0);
  bool unloaded = false;
  for (int i = 0; i < 500 && !unloaded; ++i) {
    unloaded = ::GetModuleHandleW(dll.c_str()) == nullptr;
    if (!unloaded) ::Sleep(20);
  }
  EXPECT_TRUE(unloaded);
  ASSERT_EQ(player_->Run("automation-stop itunes"), 0);
}

// A window of the host's thread that measures how long a message posted to
// it from another thread waits before the host's loop handles it: the host's
// responsiveness while the plug-in polls.
class LatencyProbe {
 public:
  LatencyProbe() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &LatencyProbe::WndProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"RoadLatencyProbe";
    ::RegisterClassW(&wc);
    window_ = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
    ::QueryPerformanceFrequency(&frequency_);
  }
  ~LatencyProbe() {
    StopPosting();
    ::DestroyWindow(window_);
    ::UnregisterClassW(L"RoadLatencyProbe", ::GetModuleHandleW(nullptr));
  }
  // Posts a stamped message every few milliseconds until StopPosting.
  void StartPosting() {
    posting_ = true;
    poster_ = std::thread([this] {
      while (posting_) {
        LARGE_INTEGER now;
        ::QueryPerformanceCounter(&now);
        ::PostMessageW(window_, kProbeMessage, 0, LPARAM(now.QuadPart));
        ::Sleep(kPostEveryMs);
      }
    });
  }
  void StopPosting() {
    posting_ = false;
    if (poster_.joinable()) poster_.join();
  }
  double LongestWaitMs() const { return longestMs_; }
  int Handled() const { return handled_; }

 private:
  static constexpr UINT kProbeMessage = WM_APP + 77;
  static constexpr DWORD kPostEveryMs = 10;
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<LatencyProbe*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == kProbeMessage && self) {
      LARGE_INTEGER now;
      ::QueryPerformanceCounter(&now);
      const double waited = double(now.QuadPart - lp) * 1e3 / double(self->frequency_.QuadPart);
      self->longestMs_ = std::max(self->longestMs_, waited);
      ++self->handled_;
      return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
  }

  HWND window_ = nullptr;
  LARGE_INTEGER frequency_{};
  std::atomic<bool> posting_{false};
  std::thread poster_;
  double longestMs_ = 0;
  int handled_ = 0;
};

// How long a message posted to the host may wait while a player hangs.
constexpr double kResponsiveMs = 50;

// Winamp and iTunes hang for longer than two polls: the polls go on away
// from the host's thread, whose loop handles every message posted to it in
// well under kResponsiveMs the whole time; the track stays shown.
class RoadWhileHung : public Road, public ::testing::WithParamInterface<bool> {};

TEST_P(RoadWhileHung, TheHostsLoopStaysResponsive) {
  const bool winamp = GetParam();
  {
    ASSERT_NO_FATAL_FAILURE(LoadPlugin(10));
    const std::wstring track = MediaFile(L"track.mp3");
    host_test::WriteTaggedMp3(track, L"Исполнитель", L"Песня");
    if (winamp) {
      ASSERT_NO_FATAL_FAILURE(StartWinampRadio("\"" + Utf8(track) + "\"", L"Исполнитель - Песня - Winamp"));
    } else {
      player_.emplace(L"iTunes.exe");
      ASSERT_TRUE(player_->ready());
      ASSERT_EQ(player_->Run("window main iTunes iTunes\nautomation-serve itunes\n"
                             "automation-int itunes PlayerState 1\n"
                             "automation-text itunes CurrentTrack.Location \"" + Utf8(track) + "\""),
                0);
    }
    ASSERT_TRUE(host_.Start());
    const XStatus published{kUsersOwn.picture, L"Слушаю:", L"Исполнитель \"Песня\""};
    ASSERT_TRUE(PumpUntilShown(published)) << ShownText();

    host_.ClearLogs();
    LatencyProbe probe;
    ASSERT_EQ(player_->Run(winamp ? "hang" : "automation-hang"), 0);
    probe.StartPosting();
    host_.Pump(2 * kPollMs + 500);  // at least two polls meet the hung player
    probe.StopPosting();
    ASSERT_EQ(player_->Run(winamp ? "unhang\nsync" : "automation-unhang"), 0);
    EXPECT_GT(probe.Handled(), 100);
    EXPECT_LE(probe.LongestWaitMs(), kResponsiveMs);
    std::printf("%s hung: a posted message waited at most %.1f ms (%d messages)\n", winamp ? "Winamp" : "iTunes",
                probe.LongestWaitMs(), probe.Handled());
    EXPECT_EQ(host_.CountSent(kSet), 0u);
    EXPECT_EQ(host_.Shown(), published) << ShownText();
    if (!winamp) ASSERT_EQ(player_->Run("automation-stop itunes"), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(WinampAndItunes, RoadWhileHung, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Winamp" : "Itunes"; });

// The host unloads the plug-in just after the first poll asked a Winamp that
// hangs: the poll worker still waits on it. Unloading does not wait for it;
// the worker keeps the library mapped until its bounded wait ends, then the
// library goes and the host goes on.
TEST_F(Road, TheHostUnloadsThePluginWhileThePollWorkerWaitsOnAPlayer) {
  ASSERT_NO_FATAL_FAILURE(LoadPlugin(10));
  ASSERT_NO_FATAL_FAILURE(StartWinampRadio("http://radio.example/stream", L"Исполнитель - Песня - Winamp"));
  ASSERT_EQ(player_->Run("hang"), 0);
  ASSERT_TRUE(host_.Start());
  host_.Pump(800);  // the first poll (half a second after the start) waits on Winamp now
  const std::wstring dll = copy_.Dll();
  host_.Unload();
  bool unloaded = false;
  for (int i = 0; i < 250 && !unloaded; ++i) {
    unloaded = ::GetModuleHandleW(dll.c_str()) == nullptr;
    if (!unloaded) ::Sleep(20);
  }
  EXPECT_TRUE(unloaded);
  ASSERT_EQ(player_->Run("unhang"), 0);
}

}  // namespace
