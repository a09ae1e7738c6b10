// The functions of later Windows versions that the DLL looks up at run time,
// as Wine (which has them) runs them: the image path of another process by
// either call, and the GetTickCount64 import this executable, like the DLL,
// resolves to its own slot.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "fake_player_client.h"
#include "platform/late_bound.h"
#include "platform/win32/late_bound.h"
#include "players/win32/player_system_win32.h"

using namespace tunelet;
using tunelet::testing::FakePlayer;

namespace {

// SystemExport, with the named function hidden as on an older system.
platform::ExportLookup Hiding(const char* hidden) {
  return [hidden](const char* dll, const char* function) -> void* {
    return std::string_view(function) == hidden ? nullptr : win32::SystemExport(dll, function);
  };
}

bool EndsWith(const std::u16string& s, std::u16string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST(LateBoundUnderWine, ImageNameComesFromTheNewerCallAndTheOlderAgrees) {
  EXPECT_EQ(win32::ProcessImagePathCall(), platform::ImagePathCall::FullProcessImageName);
  FakePlayer player(L"WINAMP.EXE");
  ASSERT_TRUE(player.ready());
  ASSERT_NE(player.Run("window main \"Winamp v1.x\" \"Winamp\""), FakePlayer::kFailed);
  EXPECT_EQ(win32::GetProcessImageName(player.Window("main")), u"WINAMP.EXE");

  const auto newer = platform::FindImagePathFunction(&win32::SystemExport);
  const auto older = platform::FindImagePathFunction(Hiding("QueryFullProcessImageNameW"));
  ASSERT_EQ(older.call, platform::ImagePathCall::ModuleFileNameEx);
  const std::u16string path = win32::ProcessImagePathWith(newer, player.processId());
  EXPECT_TRUE(EndsWith(path, u"\\WINAMP.EXE")) << std::string(path.begin(), path.end());
  EXPECT_EQ(win32::ProcessImagePathWith(older, player.processId()), path);
}

TEST(LateBoundUnderWine, ImagePathOfNoProcessIsEmpty) {
  EXPECT_EQ(win32::ProcessImagePath(0), u"");
  EXPECT_EQ(win32::GetProcessImageName(nullptr), u"");
  EXPECT_EQ(win32::ProcessImagePathWith({}, GetCurrentProcessId()), u"");
}

TEST(LateBoundUnderWine, TickCount64ImportResolvesToTheRunTimeLookup) {
  // The address of an imported function is what its import slot holds.
  EXPECT_EQ(reinterpret_cast<void*>(&::GetTickCount64), reinterpret_cast<void*>(&win32::TickCount64));
  const auto system = reinterpret_cast<ULONGLONG(WINAPI*)()>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
  ASSERT_NE(system, nullptr);
  EXPECT_NEAR(double(win32::TickCount64()), double(system()), 50);

  // The fallback of older systems follows GetTickCount and never goes back.
  const ULONGLONG first = win32::TickCount64FromTickCount();
  EXPECT_NEAR(double(uint32_t(first)), double(GetTickCount()), 50);
  Sleep(100);
  const ULONGLONG second = win32::TickCount64FromTickCount();
  EXPECT_GE(second, first + 50);  // GetTickCount moves in steps of up to 16 ms
  EXPECT_LT(second, first + 2000);
}

TEST(LateBoundUnderWine, TimedWaitsOfTheRuntimeRunOnTheReplacement) {
  std::mutex m;
  std::condition_variable never;
  std::unique_lock lock(m);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(never.wait_for(lock, std::chrono::milliseconds(200), [] { return false; }));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(190));
  EXPECT_LT(waited, std::chrono::milliseconds(3000));
}
