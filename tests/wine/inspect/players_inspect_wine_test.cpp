// `tunelet-inspect --players` against simulated players in their own
// processes: the tool is run as the user runs it and its JSON is read back.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "fake_player_client.h"
#include "platform/wait_budget.h"
#include "players/player_system.h"

using tunelet::testing::FakePlayer;

namespace {

constexpr DWORD kToolTimeoutMs = 60000;

std::wstring OwnFolder() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring dir(self);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

std::string Utf8(const std::wstring& w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

// Runs tunelet-inspect.exe (beside this test) with the arguments; its stdout.
std::string RunInspect(const std::wstring& args) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return {};
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  std::wstring command = L"\"" + OwnFolder() + L"tunelet-inspect.exe\" " + args;
  PROCESS_INFORMATION pi{};
  const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(writeEnd);
  std::string out;
  if (started) {
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(readEnd, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
    if (WaitForSingleObject(pi.hProcess, kToolTimeoutMs) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CloseHandle(readEnd);
  return out;
}

// The players and their settings come from nowhere but the test.
std::string InspectJson(const std::wstring& extra = L"") {
  return RunInspect(L"--players --json --ini \"" + OwnFolder() + L"no-such-tunelet.ini\"" + extra);
}

// The JSON object of one row of the table.
std::string Row(const std::string& json, int id) {
  const std::string start = "{\"row\":" + std::to_string(id) + ",";
  const size_t from = json.find(start);
  if (from == std::string::npos) return {};
  size_t to = json.find("{\"row\":" + std::to_string(id + 1) + ",", from);
  if (to == std::string::npos) to = json.find("],\"automatic\"", from);
  return json.substr(from, to - from);
}

double NumberAfter(const std::string& text, const std::string& key) {
  const size_t at = text.find("\"" + key + "\":");
  return at == std::string::npos ? -1 : std::atof(text.c_str() + at + key.size() + 3);
}

std::string JsonPath(const std::wstring& path) {
  std::string out;
  for (char c : Utf8(path)) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// A media file for the players to play (only its name and existence count).
class MediaFile {
 public:
  explicit MediaFile(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    wchar_t full[MAX_PATH] = {};
    GetLongPathNameW(temp, full, MAX_PATH);
    path_ = std::wstring(full[0] ? full : temp) + name;
    std::ofstream(path_.c_str(), std::ios::binary) << std::string(4096, '\0');
  }
  ~MediaFile() { DeleteFileW(path_.c_str()); }
  const std::wstring& path() const { return path_; }
  std::string utf8() const { return Utf8(path_); }

 private:
  std::wstring path_;
};

// A Winamp playing file: its window answers the state and playlist queries.
void StartWinamp(FakePlayer& winamp, const MediaFile& file) {
  ASSERT_TRUE(winamp.ready());
  ASSERT_NE(winamp.Run("window main \"Winamp v1.x\" \"a - Winamp\"\nanswer main 1024 0 104 1\n"
                       "answer main 1024 0 125 0\nplaylist 0 \"" + file.utf8() + "\""),
            FakePlayer::kFailed);
}

}  // namespace

TEST(InspectPlayers, ThreeRoutesAtOnceInTableOrderAndTheFirstMatchIsChosen) {
  const MediaFile video(L"tunelet-inspect-video.mkv"), song(L"tunelet-inspect-song.mp3"),
      tune(L"tunelet-inspect-tune.m4a");
  FakePlayer mpc(L"mpc-hc.exe");  // open files, row 1
  ASSERT_TRUE(mpc.ready());
  ASSERT_NE(mpc.Run("window main MediaPlayerClassicW \"Media Player Classic\"\nopen-file v \"" + video.utf8() + "\""),
            FakePlayer::kFailed);
  FakePlayer winamp(L"WINAMP.EXE");  // window messages, row 8
  StartWinamp(winamp, song);
  FakePlayer itunes(L"iTunes.exe");  // automation, row 14
  ASSERT_TRUE(itunes.ready());
  ASSERT_NE(itunes.Run("window main iTunes iTunes\nautomation-serve itunes\nautomation-int itunes PlayerState 1\n"
                       "automation-text itunes CurrentTrack.Location \"" + tune.utf8() + "\""),
            FakePlayer::kFailed);

  // The first automation call of a prefix starts Wine's COM services, which
  // can take longer than the route may wait: a first look warms them up.
  InspectJson();
  const std::string json = InspectJson();
  ASSERT_FALSE(json.empty());
  struct Expected {
    int row;
    const char* route;
    const MediaFile& file;
  };
  const Expected matched[] = {{1, "open files", video},
                              {8, "window messages: Winamp playlist", song},
                              {14, "automation: iTunes", tune}};
  size_t lastAt = 0;
  for (const Expected& e : matched) {
    const std::string row = Row(json, e.row);
    EXPECT_NE(row.find("\"status\":\"found\""), std::string::npos) << row;
    EXPECT_NE(row.find("\"route\":\"" + std::string(e.route) + "\",\"answer\":\"playing\",\"path\":\"" +
                       JsonPath(e.file.path()) + "\""),
              std::string::npos)
        << row;
    const size_t at = json.find(row);
    EXPECT_GT(at, lastAt);  // table order
    lastAt = at;
  }
  EXPECT_NE(Row(json, 8).find("\"image\":\"WINAMP.EXE\""), std::string::npos);
  // The first row that matched is the chosen player, and the poll asks it.
  for (int id = 0; id < 1; ++id) EXPECT_NE(Row(json, id).find("\"status\":\"no window\""), std::string::npos);
  EXPECT_NE(json.find("\"automatic\":{\"row\":1,\"player\":\"Media Player Classic\""), std::string::npos);
  EXPECT_NE(json.find("\"poll\":{\"mode\":1,\"player_id\":1,"), std::string::npos);
  // The shared Winamp class: found again for KMPlayer and MediaMonkey, and refused.
  for (int id : {6, 15}) EXPECT_NE(Row(json, id).find("\"status\":\"process check failed\""), std::string::npos);

  // --watch: a second look with nothing changed prints no change, with the waits.
  const std::string watch = InspectJson(L" --watch 1 --polls 2");
  const size_t second = watch.find("\n{\"poll\":2,");
  ASSERT_NE(second, std::string::npos) << watch;
  EXPECT_NE(watch.find("\"changes\":[],\"poll_wait_ms\":", second), std::string::npos) << watch.substr(second);

  itunes.Run("automation-stop itunes");
}

TEST(InspectPlayers, AHungPlayerGivesNoAnswerInTimeWithinTheBound) {
  const MediaFile song(L"tunelet-inspect-hung.mp3");
  FakePlayer winamp(L"WINAMP.EXE");
  StartWinamp(winamp, song);
  ASSERT_EQ(winamp.Run("hang"), 0);
  const std::string json = InspectJson();
  winamp.Run("unhang");
  const std::string row = Row(json, 8);
  EXPECT_NE(row.find("\"status\":\"found\""), std::string::npos) << row;
  EXPECT_NE(row.find("\"answer\":\"no answer in time\""), std::string::npos) << row;
  // Never more than a tick's budget (a window the system already counts as
  // hung is given up at once; else one message waits its bound). The slack
  // is for a loaded machine's scheduling, not for the player.
  constexpr double kSlackMs = 300;
  EXPECT_LE(NumberAfter(row, "route_ms"), tunelet::kTickWaitBudgetMs + kSlackMs);
  const std::string poll = json.substr(json.find("\"poll\":"));
  EXPECT_NE(poll.find("\"answer\":\"no answer in time\""), std::string::npos) << poll;
  const double pollMs = NumberAfter(poll, "wait_ms");
  EXPECT_GE(pollMs, 0.0);
  EXPECT_LE(pollMs, tunelet::kTickWaitBudgetMs + kSlackMs);
}

TEST(InspectPlayers, NoPlayerMeansNoWindowOnEveryRow) {
  const std::string json = InspectJson();
  for (int id = 0; id < 21; ++id) EXPECT_NE(Row(json, id).find("\"status\":\"no window\""), std::string::npos) << id;
  EXPECT_NE(json.find("\"automatic\":{\"row\":null"), std::string::npos);
  EXPECT_NE(json.find("\"xstatus\":null"), std::string::npos);

  // The readable table says the same, once per row.
  const std::string text = RunInspect(L"--players --ini \"" + OwnFolder() + L"no-such-tunelet.ini\"");
  size_t rows = 0;
  for (size_t at = text.find("no window"); at != std::string::npos; at = text.find("no window", at + 1)) ++rows;
  EXPECT_EQ(rows, 21u) << text;
}

TEST(InspectPlayers, TheTimesAreMeasuredOnTheCallingThread) {
  const MediaFile song(L"tunelet-inspect-slow.mp3");
  FakePlayer winamp(L"WINAMP.EXE");
  StartWinamp(winamp, song);
  ASSERT_EQ(winamp.Run("delay main 1024 300"), 0);  // every WM_USER query takes 300 ms
  const std::string row = Row(InspectJson(), 8);
  EXPECT_NE(row.find("\"answer\":\"playing\""), std::string::npos) << row;
  // The state query alone waited 300 ms; the route at least that.
  const size_t firstCall = row.find("\"route_calls\":[");
  ASSERT_NE(firstCall, std::string::npos);
  EXPECT_GE(NumberAfter(row.substr(firstCall), "ms"), 300.0) << row;
  EXPECT_GE(NumberAfter(row, "route_ms"), 300.0);
}
