// The system media session through its runtime classes, reached only by
// functions looked up at run time (combase.dll), so that the DLL still loads
// on systems without them. Every call runs on a lane of the route's own.
#pragma once

#include <windows.h>

#include "players/player_routes.h"

namespace tunelet::win32 {

// The accessor the player-access rules use.
IMediaSessionRoute& Win32MediaSessionRoute();

// One read of the sessions (all its calls together) may take this long.
constexpr DWORD kMediaSessionTimeoutMs = 1000;
// Replaces the time-out (tests shorten it); returns the previous one.
DWORD SetMediaSessionTimeout(DWORD ms);
// Reads of the sessions that did not end in time and still have not.
size_t StuckMediaSessionCalls();

}  // namespace tunelet::win32
