// Remote control: stop, play, pause, previous and next sent to the current player.
#pragma once

#include <cstdint>
#include <optional>

#include "players/player_routes_set.h"

namespace tunelet {

enum PlayerCommand : uint8_t { kStop = 0, kPlay = 1, kPause = 2, kPrevious = 3, kNext = 4 };

struct PlayerMessage {
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

// The window message that carries command to player, or nothing when that
// player takes no commands by message (or the command is unknown).
// playerHandle is the player's window (Windows Media Player wants it as wParam).
std::optional<PlayerMessage> PlayerCommandMessage(int player, int command, uintptr_t playerHandle);

// Sends command to PlayerHandle by the route of CurrentPlayer; nothing while
// the plug-in is switched off. No answer is read.
void SendPlayerCommand(const PlayerRoutes& routes, int command);

}  // namespace tunelet
