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
// listed. A scan takes the count from the handle list and asks for this (a
// far larger list) only when it cannot have that one.
uint32_t GetProcessHandleCount(DWORD processId);

// How many times a scan has mapped a file to learn its name, since load; a
// handle that still holds the file it held at the last scan is not mapped
// again.
uint64_t OpenFileMappingsMade();

// A scan that has not finished by then is given up for this cycle.
constexpr DWORD kOpenFileScanTimeoutMs = 3000;

}  // namespace tunelet::win32
