// Open-file discovery on Windows: which media file a player's process holds
// open, found by copying its handles into this process.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "players/player_routes.h"

namespace tunelet::win32 {

// The accessor the player-access rules use.
IOpenFileRoutes& Win32OpenFileRoutes();

// Drive path of the media file the window's process opened last (or the one
// reported before, when nothing new is open); empty for none. Never waits
// longer than kOpenFileScanTimeoutMs, whatever the player's handles do.
PathAnswer FindOpenMediaFile(HWND window);

// Handle count of a process from the system's process list; 0 when it is not
// listed.
uint32_t GetProcessHandleCount(DWORD processId);

// A scan that has not finished by then is given up for this cycle.
constexpr DWORD kOpenFileScanTimeoutMs = 3000;

}  // namespace tunelet::win32
