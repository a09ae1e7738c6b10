// Benchmark: the time of one path query of the routes that run at every
// poll, against simulated players: Winamp asked in full and Winamp whose
// state and title stayed the same; an open-file scan the first time it sees a
// process and once it knows the process's files.
//   route-query-bench.exe [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "fake_player_client.h"
#include "model/settings.h"
#include "players/open_files.h"
#include "players/win32/open_files_win32.h"
#include "players/win32/player_system_win32.h"
#include "players/window_message_players.h"

using namespace tunelet;
using tunelet::testing::FakePlayer;

namespace {

double Now() {
  static const double ticksPerMs = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(f.QuadPart) / 1e3;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) / ticksPerMs;
}

// Runs before (untimed) and query (timed) rounds times; prints the median and
// the range. False when a query gave the wrong answer.
bool Measure(const char* what, int rounds, const std::function<void()>& before,
             const std::function<bool()>& query) {
  std::vector<double> ms;
  bool right = true;
  for (int i = 0; i < rounds; ++i) {
    before();
    const double start = Now();
    right = query() && right;
    ms.push_back(Now() - start);
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%-42s median %7.3f ms, min %7.3f, max %7.3f (%d queries)%s\n", what, ms[ms.size() / 2], ms.front(),
              ms.back(), rounds, right ? "" : "  WRONG ANSWER");
  return right;
}

DWORD WINAPI DoNothing(void*) { return 0; }

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  ResetSettings();
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string file = std::string(temp) + "route-bench.mp3";
  std::ofstream(file, std::ios::binary) << std::string(4096, '\0');
  bool right = true;
  {
    FakePlayer winamp(L"WINAMP.EXE");
    if (!winamp.ready()) return 1;
    winamp.Run("window main \"Winamp v1.x\" \"1. a - Winamp\"\nanswer main 1024 0 104 1\nanswer main 1024 0 125 0");
    winamp.Run("playlist 0 \"" + file + "\"");
    const uintptr_t window = uintptr_t(winamp.Window("main"));
    auto& system = win32::PlayerSystem();
    const auto playsFile = [&] { return GetWinampPath(system, window) == Utf8ToUtf16(file); };
    right &= Measure("Winamp, path asked in full:", rounds, [] { ForgetWinampPath(); }, playsFile);
    right &= Measure("Winamp, same state and title:", rounds, [] {}, playsFile);
  }
  {
    // Two players holding the same file: a scan that alternates between them
    // meets a process it does not know each time.
    FakePlayer first(L"mpc.exe"), second(L"mpc.exe");
    if (!first.ready() || !second.ready()) return 1;
    HWND windows[2] = {};
    FakePlayer* players[2] = {&first, &second};
    for (int i = 0; i < 2; ++i) {
      players[i]->Run("window main MediaPlayerClassicW\nopen-file song \"" + file + "\"\nhold-handles 200");
      windows[i] = players[i]->Window("main");
    }
    int at = 0;
    const auto findsFile = [&] { return !win32::FindOpenMediaFile(windows[at]).value_or(u"").empty(); };
    const auto mappedPerScan = [&](uint64_t before) {
      std::printf("%-42s %.1f per scan\n", "  files mapped:", double(win32::OpenFileMappingsMade() - before) / rounds);
    };
    uint64_t mapped = win32::OpenFileMappingsMade();
    right &= Measure("Open files, another process every scan:", rounds, [&] {
      OpenFiles() = OpenFileLists{};
      at = 1 - at;
    }, findsFile);
    mappedPerScan(mapped);
    mapped = win32::OpenFileMappingsMade();
    right &= Measure("Open files, the same process unchanged:", rounds, [] { OpenFiles() = OpenFileLists{}; },
                     findsFile);
    mappedPerScan(mapped);
    // The share of a scan's time that is the lane starting a thread for it.
    right &= Measure("  of which a thread started and joined:", rounds, [] {}, [] {
      HANDLE thread = ::CreateThread(nullptr, 0, DoNothing, nullptr, 0, nullptr);
      if (!thread) return false;
      ::WaitForSingleObject(thread, INFINITE);
      ::CloseHandle(thread);
      return true;
    });
  }
  DeleteFileA(file.c_str());
  return right ? 0 : 2;
}
