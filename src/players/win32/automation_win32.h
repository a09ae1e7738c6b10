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
constexpr DWORD kAutomationTimeoutMs = 1500;
// Replaces the time-out (tests shorten it); returns the previous one.
DWORD SetAutomationTimeout(DWORD ms);

// iTunes tells a track's numbers with its path; asked for them this soon
// after a path answer (the reader of the track it names asks right after
// it), the route gives that answer's numbers instead of asking again.
constexpr DWORD kItunesAnswerFreshMs = 2000;
// Replaces that time (tests set 0: always ask); returns the previous one.
DWORD SetItunesAnswerFreshness(DWORD ms);

// Each automation player's calls run in a lane of their own.
enum class AutomationPlayer : uint8_t { Itunes, MediaMonkey, Foobar2000 };
constexpr size_t kAutomationPlayerCount = 3;
// Calls of the player that did not end in time and still have not.
size_t StuckAutomationCalls(AutomationPlayer player);

}  // namespace tunelet::win32
