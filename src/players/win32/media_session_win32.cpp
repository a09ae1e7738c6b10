#include "players/win32/media_session_win32.h"

namespace tunelet::win32 {

IMediaSessionRoute& Win32MediaSessionRoute() { return NoMediaSessionRoute(); }
DWORD SetMediaSessionTimeout(DWORD ms) { return ms; }
size_t StuckMediaSessionCalls() { return 0; }

}  // namespace tunelet::win32
