// Test-side client of the simulated player (tools/fake-player): starts it under
// the image name a test needs, sends it command lines, reads its command log
// and ends it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tunelet::testing {

class FakePlayer {
 public:
  // The result of a command line that failed, or of a player that is gone.
  static constexpr intptr_t kFailed = INTPTR_MIN;

  // Copies fake-player.exe (found beside the test executable) into a fresh
  // temporary folder as imageName (e.g. "WINAMP.EXE"), starts it and waits
  // until it takes commands. ready() tells whether that worked.
  explicit FakePlayer(std::wstring imageName);
  ~FakePlayer();  // quits the player (ends it if it does not quit) and removes the copy
  FakePlayer(const FakePlayer&) = delete;
  FakePlayer& operator=(const FakePlayer&) = delete;

  bool ready() const { return control_ != nullptr; }
  DWORD processId() const { return processId_; }
  const std::wstring& folder() const { return folder_; }

  // Runs command lines (README.md of the tool); the result of the last one.
  intptr_t Run(std::string_view lines);
  // The handle of the player window the script called id (0 when none).
  HWND Window(std::string_view id);

  // Every line of the command log, and only the "msg ..." lines without "msg ".
  std::vector<std::string> LogLines() const;
  std::vector<std::string> Messages() const;
  void ClearLog();

 private:
  std::wstring folder_, exePath_, logPath_;
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  HWND control_ = nullptr;
};

}  // namespace tunelet::testing
