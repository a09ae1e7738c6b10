// The Win32 implementation of what the player rules need from the system:
// window search, process image names, bounded messages to other processes'
// windows, their memory and named shared memory.
#pragma once

#include <windows.h>

#include "players/player_system.h"

namespace tunelet::win32 {

class Win32PlayerSystem : public IPlayerSystem {
 public:
  uintptr_t FindTopWindow(std::string_view windowClass, const char* title) override;
  std::u16string ProcessImageName(uintptr_t window) override;
  std::optional<intptr_t> SendBounded(uintptr_t window, uint32_t message, uintptr_t wParam,
                                      intptr_t lParam) override;
  std::u16string WindowTitle(uintptr_t window) override;
  std::optional<std::string> WindowTextByMessage(uintptr_t window, size_t bufferBytes) override;
  std::unique_ptr<IProcessMemory> OpenProcessMemory(uintptr_t window) override;
  std::optional<std::vector<uint8_t>> ReadSharedMemory(const char* name, size_t n) override;
  std::u16string AnsiToWide(std::string_view bytes) override;
};

// The one instance the DLL uses.
Win32PlayerSystem& PlayerSystem();

// GetProcessImageName: file-name part of the main module of the window's
// process; empty when it cannot be opened or read.
std::u16string GetProcessImageName(HWND window);

}  // namespace tunelet::win32
