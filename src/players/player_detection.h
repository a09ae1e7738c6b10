// Finding the running player: the table search in order, the re-check of the
// chosen player, and the checks that tell players sharing a window class apart.
#pragma once

#include <cstdint>

#include "players/player_routes_set.h"

namespace tunelet {

// Mode 1 searches the whole table, mode 0 re-checks CurrentPlayer; returns the
// player's window, kFoobarAutomationHandle, or 0. Sets CurrentPlayer on a hit
// in mode 1; any other mode gives 0.
uintptr_t FindPlayer(const PlayerRoutes& routes, int mode);

// True when the window really belongs to the player of that id (ids 0, 6, 8
// by process image name, 15 by the Winamp version query; others always).
bool CheckPlayerProcess(IPlayerSystem& system, int id, uintptr_t window);

// The Winamp version query's answers that mean MediaMonkey.
constexpr intptr_t kMediaMonkeyVersions[] = {39387, 39179};

}  // namespace tunelet
