// iTunes, MediaMonkey and foobar2000 through their automation objects, by
// late-bound IDispatch calls (names resolved at run time, variants in and out).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "players/player_routes.h"

namespace tunelet::win32 {

// The accessor the player-access rules use.
IAutomationRoutes& Win32AutomationRoutes();

// One automation operation (all its calls together) may take this long;
// a player that does not answer in time counts as one that gave nothing.
constexpr DWORD kAutomationTimeoutMs = 5000;
// Replaces the time-out (tests shorten it); returns the previous one.
DWORD SetAutomationTimeout(DWORD ms);

}  // namespace tunelet::win32
