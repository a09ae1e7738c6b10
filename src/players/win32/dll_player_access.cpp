#include "players/win32/dll_player_access.h"

#include "players/player_access.h"
#include "players/win32/automation_win32.h"
#include "players/win32/media_session_win32.h"
#include "players/win32/open_files_win32.h"
#include "players/win32/player_system_win32.h"

namespace tunelet::win32 {

// Files on network shares are bounded by the platform's file calls
// (platform/win32/network_file.h).
IPlayerAccess& DllPlayerAccess() {
  static PlayerAccess access(PlayerRoutes{PlayerSystem(), Win32AutomationRoutes(), Win32OpenFileRoutes(),
                                          Win32MediaSessionRoute()});
  return access;
}

}  // namespace tunelet::win32
