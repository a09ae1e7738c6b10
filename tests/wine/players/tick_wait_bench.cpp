// Benchmark (not a test) of a poll against simulated players, in two parts:
//
// 1. The host's thread: the real Tunelet.dll in the simulated host, one poll
//    = one WM_TIMER posted to the plug-in's timer window, polls 1 s apart.
//    Every message the timer window handles is timed: the tick (which hands
//    the query to the poll worker) and the worker's answer (which the core
//    applies). Cases: no player, Winamp, an open-file player, iTunes, a new
//    track every poll, a hung Winamp, a hung iTunes, and the start-up (from
//    MSG_STARTUP to the track shown).
// 2. The poll worker: the same query (search, path, track read) run directly
//    on this thread with the DLL's player access, as the worker runs it, per
//    route: answering, new track, hung.
//
// Usage: tick_wait_bench [polls per case, default 20]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/poll_query.h"
#include "fake_player_client.h"
#include "model/settings.h"
#include "players/win32/automation_win32.h"
#include "players/win32/dll_player_access.h"
#include "sim_host.h"

using namespace tunelet;
using tunelet::testing::FakePlayer;

namespace {

constexpr UINT kPollTimerId = 1;
constexpr UINT kPollAnsweredMessage = WM_APP + 1;  // the plug-in's own number
constexpr DWORD kPollEveryMs = 1000;

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER c;
  ::QueryPerformanceCounter(&c);
  return double(c.QuadPart) * 1e3 / double(frequency.QuadPart);
}

struct Stats {
  std::vector<double> ms;
  void Add(double v) { ms.push_back(v); }
  double Percentile(double p) const {
    if (ms.empty()) return 0;
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    return sorted[std::min(sorted.size() - 1, size_t(p * double(sorted.size() - 1) + 0.5))];
  }
  double Mean() const {
    double total = 0;
    for (double v : ms) total += v;
    return ms.empty() ? 0 : total / double(ms.size());
  }
  void Print(const char* what) const {
    std::printf("  %-32s mean %7.3f  p95 %7.3f  p99 %7.3f  max %7.3f ms  (%zu)\n", what, Mean(), Percentile(0.95),
                Percentile(0.99), Percentile(1.0), ms.size());
  }
};

// --- part 1: the host's thread

std::string Utf8(const std::wstring& w) { return talkeo_sim::ToUtf8(w); }

std::wstring BuiltPlugin() {
  wchar_t exe[MAX_PATH * 2] = {};
  ::GetModuleFileNameW(nullptr, exe, DWORD(std::size(exe)));
  std::wstring p = exe;
  return p.substr(0, p.find_last_of(L"\\/") + 1) + L"Tunelet.dll";
}

// A folder of its own with a copy of the plug-in and a quiet INI.
struct PluginFolder {
  std::wstring folder, dll;
  PluginFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    folder = std::wstring(temp) + L"tick-bench-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    dll = folder + L"\\Tunelet.dll";
    ::CopyFileW(BuiltPlugin().c_str(), dll.c_str(), FALSE);
    const std::wstring ini = folder + L"\\Tunelet.ini";
    ::WritePrivateProfileStringW(L"Others", L"Firstrun", L"0", ini.c_str());
    ::WritePrivateProfileStringW(L"Others", L"temp", L"1", ini.c_str());
    ::WritePrivateProfileStringW(L"Main", L"Updateonstartup", L"0", ini.c_str());
    ::WritePrivateProfileStringW(L"Main", L"Action", L"10", ini.c_str());
  }
  ~PluginFolder() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

HWND PluginTimerWindow() { return ::FindWindowExW(HWND_MESSAGE, nullptr, L"TTlkPluginTimers", nullptr); }

// Pumps the host's thread until `until` (NowMs), timing what the plug-in's
// timer window handles.
struct HostThreadMeter {
  Stats tick, answer, poll;
  double pendingTick = -1;  // the tick whose answer has not come yet

  void PumpUntil(talkeo_sim::SimHost& host, double until, const std::function<bool()>& stop = {}) {
    const HWND timers = PluginTimerWindow();
    while (NowMs() < until) {
      MSG m;
      while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        const bool timed = m.hwnd && m.hwnd == timers;
        const double start = NowMs();
        ::TranslateMessage(&m);
        ::DispatchMessageW(&m);
        if (!timed) continue;
        const double spent = NowMs() - start;
        if (m.message == WM_TIMER && m.wParam == kPollTimerId) {
          tick.Add(spent);
          pendingTick = spent;
        } else if (m.message == kPollAnsweredMessage) {
          answer.Add(spent);
          if (pendingTick >= 0) poll.Add(pendingTick + spent);
          pendingTick = -1;
        }
      }
      if (stop && stop()) return;
      host.Pump(0);
      const double left = until - NowMs();
      if (left > 0) ::MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(std::min(left, 5.0)) + 1, QS_ALLINPUT);
    }
  }
};

struct HostCase {
  const char* name;
  // Starts the player; returns false when it could not.
  std::function<bool(FakePlayer*&)> setUp;
  // Before each poll (a new track every poll, for example).
  std::function<void(FakePlayer*, int)> beforePoll;
};

void MeasureHostThread(const HostCase& c, int polls, const std::wstring& file) {
  PluginFolder folder;
  FakePlayer* player = nullptr;
  if (c.setUp && !c.setUp(player)) {
    std::printf("%s: the simulated player did not start\n", c.name);
    return;
  }
  talkeo_sim::SimHost host;
  std::string error;
  if (!host.Load(folder.dll, &error)) {
    std::printf("%s: %s\n", c.name, error.c_str());
    delete player;
    return;
  }
  host.Record().Initialised = 1;
  host.Record().PluginOn = 1;
  host.UserSetsXStatus(5, L"Own", L"status");
  HostThreadMeter meter;
  const double started = NowMs();
  host.Start();
  // The start-up: the first poll comes soon; the track shows after the delay.
  meter.PumpUntil(host, started + 4000, [&] { return host.CountSent(talkeo_sim::kMsgSetXStatus) >= 2; });
  const bool shown = host.CountSent(talkeo_sim::kMsgSetXStatus) >= 2;
  const double startup = NowMs() - started;
  meter = HostThreadMeter{};
  const HWND timers = PluginTimerWindow();
  for (int i = 0; i < polls; ++i) {
    if (c.beforePoll) c.beforePoll(player, i);
    ::PostMessageW(timers, WM_TIMER, kPollTimerId, 0);
    meter.PumpUntil(host, NowMs() + kPollEveryMs);
  }
  std::printf("%s%s\n", c.name, shown ? "" : "  (no track shown)");
  if (shown) std::printf("  %-32s %7.0f ms\n", "start-up to the track shown", startup);
  meter.poll.Print("host thread per poll");
  meter.tick.Print("  the tick (hands over)");
  meter.answer.Print("  the answer (applied)");
  host.Unload();
  delete player;
}

// --- part 2: the poll worker's query, per route

void MeasureWorker(const char* what, int polls, bool newTrack) {
  IPlayerAccess& access = win32::DllPlayerAccess();
  Stats stats;
  for (int i = 0; i < polls; ++i) {
    if (newTrack) Forget(Track().LastReadPath);
    PollRequest request{uint64_t(i + 1), true, Settings()};
    const double start = NowMs();
    PollAnswer answer = RunPollQuery(access, request);
    stats.Add(NowMs() - start);
    // The host's thread applies the answer: the next query starts from it.
    Settings().CurrentPlayer = answer.currentPlayer;
    Settings().PlayerHandle = answer.playerHandle;
    if (answer.outcome == PollAnswer::Outcome::Plays) Settings().Track = std::move(answer.track);
    ::Sleep(polls > 5 ? 20 : 0);
  }
  stats.Print(what);
}

// The iTunes route alone, as the poll and the MP4 reader use it: the path,
// then the bit rate of the track it names.
void MeasureItunesRoute(int queries) {
  IAutomationRoutes& routes = win32::Win32AutomationRoutes();
  Stats path, both;
  for (int i = 0; i < queries; ++i) {
    const double start = NowMs();
    const auto answer = routes.GetItunesPath();
    path.Add(NowMs() - start);
    const int32_t kbps = routes.GetItunesInfo(21);
    both.Add(NowMs() - start);
    if (!answer || answer->empty() || kbps <= 0) std::printf("iTunes query %d gave nothing\n", i);
  }
  path.Print("iTunes route: the path");
  both.Print("iTunes route: path + bit rate");
}

}  // namespace

int main(int argc, char** argv) {
  const int polls = argc > 1 ? std::max(3, std::atoi(argv[1])) : 20;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string file = std::string(temp) + "tick-bench.mp3";
  const std::string file2 = std::string(temp) + "tick-bench-2.mp3";
  for (const std::string& f : {file, file2}) std::ofstream(f, std::ios::binary) << std::string(4096, '\0');
  const std::string winampSetUp = "window main \"Winamp v1.x\" \"a - Winamp\"\nanswer main 1024 0 104 1\n"
                                  "answer main 1024 0 125 0\nplaylist 0 \"" + file + "\"";
  const std::string itunesSetUp = "window main iTunes iTunes\nautomation-serve itunes\n"
                                  "automation-int itunes PlayerState 1\n"
                                  "automation-text itunes CurrentTrack.Location \"" + file + "\"";
  auto start = [](const wchar_t* image, std::string script) {
    return [image, script](FakePlayer*& p) {
      p = new FakePlayer(image);
      return p->ready() && p->Run(script) != FakePlayer::kFailed;
    };
  };

  std::printf("== the host's thread (polls %lu ms apart)\n", kPollEveryMs);
  const std::vector<HostCase> cases = {
      {"no player", nullptr, nullptr},
      {"Winamp answering", start(L"WINAMP.EXE", winampSetUp), nullptr},
      {"open-file player", start(L"mpc-hc.exe", "window main MediaPlayerClassicW \"Media Player Classic\"\n"
                                                "open-file track \"" + file + "\""),
       nullptr},
      {"iTunes automation", start(L"iTunes.exe", itunesSetUp), nullptr},
      {"iTunes, a new track every poll", start(L"iTunes.exe", itunesSetUp),
       [&](FakePlayer* p, int i) {
         p->Run("automation-text itunes CurrentTrack.Location \"" + (i % 2 ? file : file2) + "\"");
       }},
      {"Winamp hung", start(L"WINAMP.EXE", winampSetUp + "\nhang"), nullptr},
      {"iTunes hung", start(L"iTunes.exe", itunesSetUp + "\nautomation-hang"), nullptr},
  };
  for (const HostCase& c : cases) MeasureHostThread(c, polls, std::wstring(file.begin(), file.end()));

  std::printf("== the poll worker, per route (one query: search, path, track read)\n");
  ResetSettings();
  Settings().PluginOn = true;
  {
    FakePlayer winamp(L"WINAMP.EXE");
    if (!winamp.ready()) return 1;
    winamp.Run(winampSetUp);
    MeasureWorker("Winamp answering", polls, false);
    MeasureWorker("Winamp, new track", polls, true);
    winamp.Run("hang");
    MeasureWorker("Winamp hung", 3, false);
    winamp.Run("unhang");
  }
  {
    FakePlayer mpc(L"mpc-hc.exe");
    if (!mpc.ready()) return 1;
    mpc.Run("window main MediaPlayerClassicW \"Media Player Classic\"\nopen-file track \"" + file + "\"");
    MeasureWorker("open-file player", polls, false);
    MeasureWorker("open-file player, new track", polls, true);
  }
  {
    FakePlayer itunes(L"iTunes.exe");
    if (!itunes.ready()) return 1;
    itunes.Run(itunesSetUp);
    MeasureWorker("iTunes answering", polls, false);
    MeasureWorker("iTunes, new track", polls, true);
    itunes.Run("automation-int itunes CurrentTrack.BitRate 256");
    MeasureItunesRoute(polls);
    itunes.Run("automation-hang");
    MeasureWorker("iTunes hung", 3, false);
    itunes.Run("automation-unhang\nautomation-stop itunes");
  }
  DeleteFileA(file.c_str());
  DeleteFileA(file2.c_str());
  return 0;
}
