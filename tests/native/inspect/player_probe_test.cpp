#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include <unistd.h>

#include "player_probe.h"
#include "model/settings.h"
#include "players/scripted_player_system.h"

using namespace tunelet;
using namespace tunelet::inspect;
using namespace tunelet::testing;

namespace {

constexpr uint32_t kWmCommandMessage = 0x0111;

struct MapIni : PlayerProbe::IniReader {
  std::map<std::u16string, std::u16string> values;  // "Section/Key" -> value
  std::optional<std::u16string> Read(std::u16string_view section, std::u16string_view key) override {
    const auto it = values.find(std::u16string(section) + u"/" + std::u16string(key));
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
};

struct FixedOpenFiles : IOpenFileRoutes {
  PathAnswer answer = u"";
  PathAnswer FindOpenMediaFile(uintptr_t) override { return answer; }
};

// A session manager that answers what it is told to, and remembers how it
// was asked.
struct FixedSessions : IMediaSessionRoute {
  std::optional<MediaSessionList> answer = MediaSessionList{};  // no manager
  std::vector<bool> asked;  // returnOnPause of each read
  std::optional<MediaSessionList> ReadSessions(bool returnOnPause) override {
    asked.push_back(returnOnPause);
    return answer;
  }
};

constexpr int64_t kTicksPerSecond = 10'000'000;

MediaSession Session(std::u16string appId, SessionStatus status, int64_t endSeconds, int64_t positionTenths) {
  MediaSession s;
  s.appId = std::move(appId);
  s.status = status;
  s.endTicks = endSeconds * kTicksPerSecond;
  s.positionTicks = positionTenths * kTicksPerSecond / 10;
  return s;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct FixedProcesses : IProcessProbe {
  uint32_t ProcessId(uintptr_t window) override { return uint32_t(window) + 1; }
  std::u16string ImageNameProblem(uintptr_t) override { return u"access denied"; }
};

class PlayerProbeTest : public ::testing::Test {
 protected:
  std::unique_ptr<PlayerProbe> MakeProbe(ProbeOptions options = {}, std::unique_ptr<MapIni> ini = nullptr) {
    return std::make_unique<PlayerProbe>(PlayerRoutes{sys, automation, openFiles, sessions}, processes,
                                         std::move(ini), std::move(options));
  }
  // A Winamp that plays path, answering as the plug-in asks it.
  uintptr_t AddWinamp(const std::string& path) {
    const uintptr_t w = sys.AddWindow("Winamp v1.x", "", u"WINAMP.EXE");
    sys.Answer(w, kWmUser, 0, 104, 1);  // playing
    sys.Answer(w, kWmUser, 0, 125, 0);  // playlist position 0
    sys.Answer(w, kWmUser, 0, 211, 0x5000);
    sys.SetMemory(0x5000, path + std::string(512 - path.size(), '\0'));
    return w;
  }

  ScriptedPlayerSystem sys;
  ScriptedAutomation automation;
  FixedOpenFiles openFiles;
  FixedSessions sessions;
  FixedProcesses processes;
};

}  // namespace

TEST_F(PlayerProbeTest, NamesEveryMatchedRowItsRouteAndAnswerAndTheFirstIsChosen) {
  const uintptr_t mpc = sys.AddWindow("MediaPlayerClassicW", "", u"mpc-hc.exe");
  const uintptr_t winamp = AddWinamp("C:\\music\\a.mp3");
  const uintptr_t itunes = sys.AddWindow("iTunes", "iTunes", u"iTunes.exe");
  openFiles.answer = u"C:\\video\\b.mkv";
  automation.itunesPath = u"C:\\music\\c.m4a";

  const Inspection r = MakeProbe()->Inspect();

  EXPECT_EQ(r.automaticRow, kMpc);
  EXPECT_EQ(r.automaticHandle, mpc);
  EXPECT_EQ(r.poll.player, kMpc);
  EXPECT_EQ(r.poll.answer, RouteAnswer::Playing);
  EXPECT_EQ(r.poll.path, u"C:\\video\\b.mkv");

  const RowReport& m = r.rows[kMpc];
  EXPECT_EQ(m.status, u"found");
  EXPECT_EQ(m.route, u"open files");
  EXPECT_EQ(m.path, u"C:\\video\\b.mkv");
  EXPECT_EQ(m.imageName, u"mpc-hc.exe");
  EXPECT_EQ(m.processId, uint32_t(mpc) + 1);

  const RowReport& w = r.rows[kWinamp];
  EXPECT_EQ(w.status, u"found");
  EXPECT_EQ(w.handle, winamp);
  EXPECT_EQ(w.route, u"window messages: Winamp playlist");
  EXPECT_EQ(w.answer, RouteAnswer::Playing);
  EXPECT_EQ(w.path, u"C:\\music\\a.mp3");
  // The Winamp window is not KMPlayer's nor MediaMonkey's: found, checked, refused.
  for (int id : {kKmPlayer, kMediaMonkey}) {
    EXPECT_EQ(r.rows[size_t(id)].status, u"process check failed") << id;
    EXPECT_EQ(r.rows[size_t(id)].window, winamp) << id;
    EXPECT_EQ(r.rows[size_t(id)].answer, RouteAnswer::NotAsked) << id;
  }

  const RowReport& it = r.rows[kITunes];
  EXPECT_EQ(it.handle, itunes);
  EXPECT_EQ(it.route, u"automation: iTunes");
  EXPECT_EQ(it.path, u"C:\\music\\c.m4a");
  ASSERT_EQ(it.routeCalls.size(), 1u);
  EXPECT_EQ(it.routeCalls[0].kind, "automation");

  for (int id : {kWmp, kGom, kFoobar2000, kAimp2, kApollo, kImpsPlayer}) {
    EXPECT_EQ(r.rows[size_t(id)].status, u"no window") << id;
    EXPECT_EQ(r.rows[size_t(id)].searchCalls.front().answer, u"no window") << id;
  }

  // Only what a poll sends: the state and playlist queries and MediaMonkey's
  // version query, never a command.
  for (const auto& m : sys.sent) EXPECT_NE(m.message, kWmCommandMessage);
  EXPECT_TRUE(automation.foobarCommands.empty());

  // In the JSON the rows come in table order, each with its route and answer.
  const std::string json = InspectionJson(r);
  size_t at = 0;
  for (int id = 0; id < kPlayerCount; ++id) {
    const size_t next = json.find("{\"row\":" + std::to_string(id) + ",", at);
    ASSERT_NE(next, std::string::npos) << id;
    at = next;
  }
  EXPECT_NE(json.find("\"route\":\"automation: iTunes\",\"answer\":\"playing\",\"path\":\"C:\\\\music\\\\c.m4a\""),
            std::string::npos);
  EXPECT_NE(json.find("\"automatic\":{\"row\":1,\"player\":\"Media Player Classic\""), std::string::npos);
}

TEST_F(PlayerProbeTest, AHungPlayerGivesNoAnswerInTimeAndTheRowsAfterTheHitStillCount) {
  const uintptr_t w = AddWinamp("C:\\music\\a.mp3");
  sys.Hang(w);
  const Inspection r = MakeProbe()->Inspect();
  EXPECT_EQ(r.automaticRow, kWinamp);
  EXPECT_EQ(r.rows[kWinamp].status, u"found");
  EXPECT_EQ(r.rows[kWinamp].answer, RouteAnswer::NoAnswerInTime);
  EXPECT_EQ(r.poll.answer, RouteAnswer::NoAnswerInTime);
  // MediaMonkey's version query got no answer either: not MediaMonkey.
  EXPECT_EQ(r.rows[kMediaMonkey].status, u"process check failed");
  EXPECT_EQ(r.rows[kMediaMonkey].searchCalls.back().answer, u"no answer in time");
  EXPECT_FALSE(r.xstatus);  // no answer is not a stop: nothing changes
}

TEST_F(PlayerProbeTest, NoPlayerMeansNoWindowOnEveryRowAndNoXStatus) {
  const Inspection r = MakeProbe()->Inspect();
  for (const RowReport& row : r.rows) {
    EXPECT_EQ(row.status, u"no window") << row.id;
    EXPECT_EQ(row.answer, RouteAnswer::NotAsked) << row.id;
    EXPECT_FALSE(row.searchCalls.empty()) << row.id;
  }
  EXPECT_EQ(r.automaticRow, -1);
  EXPECT_EQ(r.poll.player, -1);
  EXPECT_FALSE(r.xstatus);
  const std::string text = InspectionText(r);
  size_t count = 0;
  for (size_t at = text.find("no window"); at != std::string::npos; at = text.find("no window", at + 1)) ++count;
  EXPECT_EQ(count, size_t(kPlayerCount));
}

TEST_F(PlayerProbeTest, AProcessThatCannotBeReadSaysWhy) {
  sys.AddWindow("GomPlayer1.x", "", u"");
  const Inspection r = MakeProbe()->Inspect();
  EXPECT_EQ(r.rows[kGom].status, u"found");
  EXPECT_EQ(r.rows[kGom].imageName, u"");
  EXPECT_EQ(r.rows[kGom].imageProblem, u"access denied");
}

TEST_F(PlayerProbeTest, FoobarThroughAutomationIsRow9AndTheSettingsComeFromTheIni) {
  automation.foobarRunning = true;
  automation.foobarPath = u"http://radio.example/stream";
  auto ini = std::make_unique<MapIni>();
  ini->values[u"Others/OLEfoobar"] = u"1";
  const Inspection r = MakeProbe({}, std::move(ini))->Inspect();
  EXPECT_EQ(r.automaticRow, kFoobar2000);
  EXPECT_EQ(r.rows[kFoobar2000].handle, kFoobarAutomationHandle);
  EXPECT_EQ(r.rows[kFoobar2000].route, u"automation: foobar2000");
  EXPECT_EQ(r.rows[kFoobar2000].path, u"http://radio.example/stream");
  EXPECT_EQ(r.rows[kFoobar2000].searchCalls.front().request, u"foobar2000: attach to the running object");
}

// The poll is the plug-in's own: a new file is read and published with the
// templates, the same file again changes nothing, and a stop puts the
// user's X-status back; the watch lines say what changed.
TEST_F(PlayerProbeTest, ThePollReadsPublishesAndWatchesTheTrack) {
  const auto dir = std::filesystem::temp_directory_path() / ("tunelet-probe-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto file = dir / "Kino - Gruppa krovi.mp3";
  std::ofstream(file) << std::string(64, '\0');
  sys.AddWindow("MediaPlayerClassicW", "", u"mpc.exe");
  openFiles.answer = Utf8ToUtf16(file.string());

  auto ini = std::make_unique<MapIni>();
  ini->values[u"Main/Xstat_a"] = u"5";
  ProbeOptions options;
  options.textTemplate = u"%artist% / %title%";
  auto probe = MakeProbe(options, std::move(ini));

  const Inspection first = probe->Inspect();
  EXPECT_TRUE(first.poll.newTrack);
  EXPECT_EQ(View(first.track.Artist), u"Kino");
  EXPECT_EQ(View(first.track.Title), u"Gruppa krovi");
  EXPECT_EQ(View(first.track.PlayerName), u"Media Player Classic");
  ASSERT_TRUE(first.xstatus);
  EXPECT_EQ(first.xstatus->picture, 5);
  EXPECT_EQ(View(first.xstatus->title), u"Слушаю:");  // the built-in title template
  EXPECT_EQ(View(first.xstatus->text), u"Kino / Gruppa krovi");

  const Inspection second = probe->Inspect();
  EXPECT_FALSE(second.poll.newTrack);
  EXPECT_EQ(second.xstatus, first.xstatus);
  EXPECT_TRUE(InspectionChanges(first, second).empty());

  openFiles.answer = u"";  // stopped
  const Inspection third = probe->Inspect();
  const auto changes = InspectionChanges(second, third);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0], u"row 1 Media Player Classic: " + Utf8ToUtf16(file.string()) + u" -> nothing plays");
  EXPECT_EQ(changes[1], u"X-status: picture 0, title , text ");  // the user's own, empty here
  EXPECT_FALSE(third.track.FilePath);
  EXPECT_NE(WaitLine(third).find("poll waited "), std::string::npos);

  std::filesystem::remove_all(dir);
}

TEST_F(PlayerProbeTest, ManualChoicePollsOnlyThatPlayer) {
  sys.AddWindow("MediaPlayerClassicW", "", u"mpc.exe");
  const uintptr_t apollo = sys.AddWindow("Apollo - Main Window", "", u"apollo.exe");
  ProbeOptions options;
  options.manualPlayer = kApollo;
  const Inspection r = MakeProbe(options)->Inspect();
  EXPECT_EQ(r.poll.mode, 0);
  EXPECT_EQ(r.poll.player, kApollo);
  EXPECT_EQ(r.poll.handle, apollo);
  EXPECT_EQ(r.manualPlayer, kApollo);
  EXPECT_EQ(r.manualHandle, apollo);
  EXPECT_EQ(r.automaticRow, kMpc);  // what automatic detection would choose
  EXPECT_EQ(r.poll.calls.front().request, u"\"Apollo - Main Window\", any title");
}

// The media session's row follows the table's: whether the system has a
// session manager, and every session with its status and timeline.
TEST_F(PlayerProbeTest, TheMediaSessionRowSaysWhetherThereIsAManagerAndListsItsSessions) {
  const Inspection none = MakeProbe()->Inspect();
  EXPECT_EQ(none.mediaSession.answered, true);
  EXPECT_TRUE(Contains(InspectionText(none), "  21  Windows media session not available"));
  EXPECT_TRUE(Contains(InspectionJson(none), "\"media_session\":{\"row\":21,\"player\":\"Windows media session\","
                                             "\"status\":\"not available\",\"available\":false,\"sessions\":[]"));

  sessions.answer = MediaSessionList{true, {Session(u"Spotify.exe", SessionStatus::Playing, 215, 425),
                                            Session(u"MSEdge", SessionStatus::Paused, 60, 10)}};
  sessions.answer->sessions[1].current = true;
  sessions.asked.clear();
  auto ini = std::make_unique<MapIni>();
  ini->values[u"Others/Returnonpause"] = u"1";
  const Inspection two = MakeProbe({}, std::move(ini))->Inspect();
  ASSERT_FALSE(sessions.asked.empty());
  EXPECT_TRUE(sessions.asked.back()) << "Returnonpause of the INI file";
  EXPECT_EQ(two.mediaSession.shown, 0u);  // a paused current session never hides a playing one
  const std::string text = InspectionText(two);
  EXPECT_TRUE(Contains(text, "  21  Windows media session available")) << text;
  EXPECT_TRUE(Contains(text, " media session  ") && Contains(text, " 2 sessions  ["));
  EXPECT_TRUE(Contains(text, "session  Spotify.exe  playing, start 0.0 s, end 215.0 s, position 42.5 s (shown)\n"));
  EXPECT_TRUE(Contains(text, "session  MSEdge  paused, start 0.0 s, end 60.0 s, position 1.0 s, current\n"));
  const std::string json = InspectionJson(two);
  EXPECT_TRUE(Contains(json, "\"status\":\"available\",\"available\":true,\"sessions\":[{\"app_id\":\"Spotify.exe\","
                             "\"status\":\"playing\",\"current\":false,\"shown\":true,\"start_s\":0.0000,"
                             "\"end_s\":215.0000,\"position_s\":42.5000},{\"app_id\":\"MSEdge\",\"status\":\"paused\","
                             "\"current\":true,\"shown\":false")) << json;

  const auto changes = InspectionChanges(none, two);
  const std::u16string expected = u"media session: not available -> available, Spotify.exe playing, MSEdge paused";
  EXPECT_NE(std::find(changes.begin(), changes.end(), expected), changes.end());
}

TEST_F(PlayerProbeTest, AManagerThatDoesNotAnswerInTimeIsSaidSo) {
  sessions.answer = std::nullopt;
  const Inspection r = MakeProbe()->Inspect();
  EXPECT_FALSE(r.mediaSession.answered);
  ASSERT_EQ(r.mediaSession.calls.size(), 1u);
  EXPECT_EQ(r.mediaSession.calls[0].kind, "media-session");
  EXPECT_EQ(r.mediaSession.calls[0].answer, u"no answer in time");
  EXPECT_TRUE(Contains(InspectionText(r), "  21  Windows media session no answer in time      -"));
  EXPECT_TRUE(Contains(InspectionJson(r), "\"status\":\"no answer in time\",\"available\":false"));
}

// A track the user's privacy choices keep from the X-status: the report says
// which rule did, and the X-status stays the user's own.
TEST_F(PlayerProbeTest, TheReportSaysWhichPrivacyRuleHidTheTrack) {
  const auto dir = std::filesystem::temp_directory_path() / ("tunelet-probe-hidden-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "Podcasts");
  const auto file = dir / "Podcasts" / "Episode 12.mp3";
  std::ofstream(file) << std::string(64, '\0');
  sys.AddWindow("MediaPlayerClassicW", "", u"mpc.exe");
  openFiles.answer = Utf8ToUtf16(file.string());

  auto ini = std::make_unique<MapIni>();
  ini->values[u"Privacy/Exclusions"] = u"2";
  ini->values[u"Privacy/Exclusion1"] = u"artist:nobody";
  ini->values[u"Privacy/Exclusion2"] = u"path:*/podcasts/*";
  const Inspection hidden = MakeProbe({}, std::move(ini))->Inspect();
  EXPECT_EQ(hidden.poll.hiddenBy, u"the pattern \"path:*/podcasts/*\"");
  EXPECT_FALSE(hidden.poll.newTrack);
  EXPECT_TRUE(Contains(InspectionText(hidden), "not shared: the pattern \"path:*/podcasts/*\"\n"));
  EXPECT_TRUE(Contains(InspectionJson(hidden), "\"hidden_by\":\"the pattern \\\"path:*/podcasts/*\\\"\""));

  auto off = std::make_unique<MapIni>();
  off->values[u"Privacy/Player1"] = u"0";  // Media Player Classic's row
  const Inspection switchedOff = MakeProbe({}, std::move(off))->Inspect();
  EXPECT_EQ(switchedOff.poll.hiddenBy, u"the player is switched off in the privacy choices");

  const Inspection shown = MakeProbe()->Inspect();
  EXPECT_TRUE(shown.poll.hiddenBy.empty());
  EXPECT_TRUE(Contains(InspectionJson(shown), "\"hidden_by\":null"));
  EXPECT_FALSE(Contains(InspectionText(shown), "not shared"));
  std::filesystem::remove_all(dir);
}
