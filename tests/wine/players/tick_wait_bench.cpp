// Benchmark: how long the host's thread waits in one polling tick (player
// search, path query, file lookup and read), with the DLL's real player
// access, against simulated players: Winamp answering, Winamp hung, and an
// iTunes whose automation object hangs. Prints the mean and the longest tick.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "model/settings.h"
#include "fake_player_client.h"
#include "platform/wait_budget.h"
#include "players/win32/automation_win32.h"
#include "players/win32/dll_player_access.h"

using namespace tunelet;
using tunelet::testing::FakePlayer;

namespace {

double Ms(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER f) { return double(b.QuadPart - a.QuadPart) * 1e3 / double(f.QuadPart); }

// The player-side part of PollTick and TrackStep, under the tick's budget.
void OneTick(IPlayerAccess& access) {
  const TickWaitScope waits(kTickWaitBudgetMs);
  Settings().PlayerHandle = access.FindPlayer(1);
  if (!Settings().PlayerHandle) return;
  const auto path = access.GetPlayingPath();
  if (!path || path->empty()) return;
  Forget(Track().LastReadPath);  // read the file every time, as for a new track
  if (access.FileExists(*path)) access.ClassifyAndRead(*path);
}

void Measure(const char* what, int ticks) {
  IPlayerAccess& access = win32::DllPlayerAccess();
  LARGE_INTEGER f, a, b;
  QueryPerformanceFrequency(&f);
  double total = 0, longest = 0;
  for (int i = 0; i < ticks; ++i) {
    QueryPerformanceCounter(&a);
    OneTick(access);
    QueryPerformanceCounter(&b);
    total += Ms(a, b, f);
    longest = std::max(longest, Ms(a, b, f));
  }
  std::printf("%-34s mean %8.2f ms, longest %8.2f ms (%d ticks)\n", what, total / ticks, longest, ticks);
}

// The iTunes route alone, as the poll and the MP4 reader use it: the path,
// then the bit rate of the track it names.
void MeasureItunesQuery(int queries) {
  IAutomationRoutes& routes = win32::Win32AutomationRoutes();
  LARGE_INTEGER f, a, b;
  QueryPerformanceFrequency(&f);
  double pathTotal = 0, bothTotal = 0, longest = 0;
  for (int i = 0; i < queries; ++i) {
    QueryPerformanceCounter(&a);
    const auto path = routes.GetItunesPath();
    QueryPerformanceCounter(&b);
    pathTotal += Ms(a, b, f);
    const int32_t kbps = routes.GetItunesInfo(21);
    QueryPerformanceCounter(&b);
    bothTotal += Ms(a, b, f);
    longest = std::max(longest, Ms(a, b, f));
    if (!path || path->empty() || kbps <= 0) std::printf("iTunes query %d gave nothing\n", i);
  }
  std::printf("%-34s path %8.2f ms, path + bit rate %8.2f ms, longest %8.2f ms (%d queries)\n",
              "iTunes route:", pathTotal / queries, bothTotal / queries, longest, queries);
}

}  // namespace

int main() {
  ResetSettings();
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string file = std::string(temp) + "tick-bench.mp3";
  std::ofstream(file, std::ios::binary) << std::string(4096, '\0');

  {
    FakePlayer winamp(L"WINAMP.EXE");
    if (!winamp.ready()) return 1;
    winamp.Run("window main \"Winamp v1.x\" \"a - Winamp\"\nanswer main 1024 0 104 1\nanswer main 1024 0 125 0");
    winamp.Run("playlist 0 \"" + file + "\"");
    Measure("Winamp answering:", 50);
    winamp.Run("hang");
    Measure("Winamp hung:", 5);
    winamp.Run("unhang");
  }
  {
    FakePlayer itunes(L"iTunes.exe");
    if (!itunes.ready()) return 1;
    itunes.Run("window main iTunes iTunes\nautomation-serve itunes\nautomation-int itunes PlayerState 1\n"
               "automation-text itunes CurrentTrack.Location \"" + file + "\"");
    Measure("iTunes answering:", 20);
    itunes.Run("automation-int itunes CurrentTrack.BitRate 256");
    MeasureItunesQuery(50);
    itunes.Run("automation-hang");
    Measure("iTunes automation hung:", 5);
    itunes.Run("automation-unhang\nautomation-stop itunes");
  }
  DeleteFileA(file.c_str());
  return 0;
}
