// Benchmark: one automatic detection (FindPlayer(1) over the whole table) with
// no player running, as every polling cycle makes it. Prints the time per
// detection with the real window searches, the time of the bare window
// searches alone, and the time of the rules over a system that finds nothing
// at once (the work beyond the searches).
#include <windows.h>

#include <cstdio>

#include "model/settings.h"
#include "players/player_detection.h"
#include "model/player_table.h"
#include "players/win32/player_system_win32.h"

using namespace tunelet;

namespace {

class NothingRuns : public IPlayerSystem {
 public:
  uintptr_t FindTopWindow(std::string_view, const char*) override { return 0; }
  std::u16string ProcessImageName(uintptr_t) override { return {}; }
  std::optional<intptr_t> SendBounded(uintptr_t, uint32_t, uintptr_t, intptr_t) override { return std::nullopt; }
  std::u16string WindowTitle(uintptr_t) override { return {}; }
  std::optional<std::string> WindowTextByMessage(uintptr_t, size_t) override { return std::nullopt; }
  std::unique_ptr<IProcessMemory> OpenProcessMemory(uintptr_t) override { return nullptr; }
  std::optional<std::vector<uint8_t>> ReadSharedMemory(const char*, size_t) override { return std::nullopt; }
  std::u16string AnsiToWide(std::string_view) override { return {}; }
};

double MicrosecondsPer(int n, LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER f) {
  return double(b.QuadPart - a.QuadPart) * 1e6 / double(f.QuadPart) / n;
}

}  // namespace

int main() {
  ResetSettings();
  IAutomationRoutes automation;
  IOpenFileRoutes openFiles;
  PlayerRoutes real{win32::PlayerSystem(), automation, openFiles};
  NothingRuns nothing;
  PlayerRoutes bare{nothing, automation, openFiles};
  LARGE_INTEGER f, a, b;
  QueryPerformanceFrequency(&f);

  constexpr int kRuns = 1000;
  uintptr_t sink = 0;
  double detection = 0, searches = 0;
  for (int round = 0; round < 2; ++round) {  // the first round warms up
    QueryPerformanceCounter(&a);
    for (int i = 0; i < kRuns; ++i)
      for (int id = 0; id < kPlayerCount; ++id) {
        const std::string cls(PlayerWindowClass(id));
        sink += uintptr_t(FindWindowA(cls.c_str(), PlayerWindowTitle(id)));
      }
    QueryPerformanceCounter(&b);
    searches = MicrosecondsPer(kRuns, a, b, f);

    QueryPerformanceCounter(&a);
    for (int i = 0; i < kRuns; ++i) sink += FindPlayer(real, 1);
    QueryPerformanceCounter(&b);
    detection = MicrosecondsPer(kRuns, a, b, f);
  }

  constexpr int kBareRuns = 200000;
  QueryPerformanceCounter(&a);
  for (int i = 0; i < kBareRuns; ++i) sink += FindPlayer(bare, 1);
  QueryPerformanceCounter(&b);
  const double rules = MicrosecondsPer(kBareRuns, a, b, f);

  std::printf("FindPlayer(1), no player running: %.1f us per detection\n", detection);
  std::printf("  21 bare FindWindowA calls:      %.1f us\n", searches);
  std::printf("  rules alone (no system calls):  %.2f us\n", rules);
  return sink == 0 ? 0 : 1;
}
