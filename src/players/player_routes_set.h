// The three ways player access reaches the players, handed to every rule.
#pragma once

#include "players/player_routes.h"
#include "players/player_system.h"

namespace tunelet {

// Window messages the rules send (the numbers of the Win32 API).
constexpr uint32_t kWmGetText = 0x000D;
constexpr uint32_t kWmCommand = 0x0111;
constexpr uint32_t kWmAppCommand = 0x0319;
constexpr uint32_t kWmUser = 0x0400;

struct PlayerRoutes {
  IPlayerSystem& system;
  IAutomationRoutes& automation;
  IOpenFileRoutes& openFiles;
  // The media session; the default answers "no session manager".
  IMediaSessionRoute& mediaSession = NoMediaSessionRoute();
};

}  // namespace tunelet
