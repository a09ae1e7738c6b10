// Finding the running player: the table search in order, the re-check of the
// chosen player, and the checks that tell players sharing a window class apart.
#pragma once

#include <cstdint>

#include "players/player_routes_set.h"

namespace tunelet {

// Watches a search row by row, for diagnostics (tunelet-inspect). The plug-in
// passes none; an observer changes nothing the search sends or decides,
// except that SearchEveryRow() lets the search look at the rows after the
// first hit too (the first hit still sets CurrentPlayer and the result).
class IDetectionObserver {
 public:
  virtual ~IDetectionObserver() = default;
  // Row id's steps (window search, process check, automation attach) begin.
  virtual void RowStarted(int id) {}
  // Row id found its player: a window, or kFoobarAutomationHandle.
  virtual void RowMatched(int id, uintptr_t handle) {}
  virtual bool SearchEveryRow() const { return false; }
};

// Mode 1 searches the whole table, mode 0 re-checks CurrentPlayer; returns the
// player's window, kFoobarAutomationHandle, or 0. Sets CurrentPlayer on a hit
// in mode 1; any other mode gives 0.
uintptr_t FindPlayer(const PlayerRoutes& routes, int mode, IDetectionObserver* observer = nullptr);

// True when the window really belongs to the player of that id (ids 0, 6, 8
// by process image name, 15 by the Winamp version query; others always).
bool CheckPlayerProcess(IPlayerSystem& system, int id, uintptr_t window);

// The Winamp version query's answers that mean MediaMonkey.
constexpr intptr_t kMediaMonkeyVersions[] = {39387, 39179};

}  // namespace tunelet
