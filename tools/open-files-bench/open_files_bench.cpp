// Times one open-file scan (FindOpenMediaFile) against the simulated player
// holding a media file and 50, 500 or 5000 handles in all.
//   open-files-bench.exe [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "fake_player_process.h"
#include "players/open_files.h"
#include "players/win32/open_files_win32.h"
#include "wine_test_util.h"

using namespace tunelet;

int wmain(int argc, wchar_t** argv) {
  const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
  test::TempFolder dir(L"bench");
  const std::wstring song = dir.File(L"bench.mp3", "ID3");
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);

  std::printf("held handles          scan-ms(median of %d)  min  max  found\n", rounds);
  for (int target : {50, 500, 5000}) {
    test::FakePlayerProcess player(L"open-files-bench-" + std::to_wstring(target));
    if (!player.Ready()) return 2;
    const HWND window = reinterpret_cast<HWND>(player.Run("window main MediaPlayerClassicW"));
    player.Run("open-file song \"" + test::Utf8(song) + "\"");
    const int have = int(win32::GetProcessHandleCount(player.ProcessId()));
    if (target > have) player.Run("hold-handles " + std::to_string(target - have));
    const uint32_t count = win32::GetProcessHandleCount(player.ProcessId());

    std::vector<double> ms;
    bool found = true;
    for (int i = 0; i < rounds; ++i) {
      OpenFiles() = OpenFileLists{};
      LARGE_INTEGER t0, t1;
      QueryPerformanceCounter(&t0);
      found = found && !win32::FindOpenMediaFile(window).value_or(u"").empty();
      QueryPerformanceCounter(&t1);
      ms.push_back(1000.0 * double(t1.QuadPart - t0.QuadPart) / double(frequency.QuadPart));
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%7d (count %5u)  %10.1f  %5.1f  %5.1f  %s\n", std::max(target, have), count, ms[ms.size() / 2], ms.front(), ms.back(),
                found ? "yes" : "NO");
  }
  return 0;
}
