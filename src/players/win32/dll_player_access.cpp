#include "players/win32/dll_player_access.h"

#include "players/player_access.h"
#include "players/win32/player_system_win32.h"

// The automation and open-file routes join as their modules are built; a
// route that is not there answers nothing.
#if __has_include("players/win32/automation_win32.h")
#include "players/win32/automation_win32.h"
#define TUNELET_HAS_AUTOMATION_ROUTES 1
#endif
#if __has_include("players/win32/open_files_win32.h")
#include "players/win32/open_files_win32.h"
#define TUNELET_HAS_OPEN_FILE_ROUTES 1
#endif

namespace tunelet::win32 {

namespace {

IAutomationRoutes& AutomationRoutes() {
#ifdef TUNELET_HAS_AUTOMATION_ROUTES
  return Win32AutomationRoutes();
#else
  static IAutomationRoutes none;
  return none;
#endif
}

IOpenFileRoutes& OpenFileRoutes() {
#ifdef TUNELET_HAS_OPEN_FILE_ROUTES
  return Win32OpenFileRoutes();
#else
  static IOpenFileRoutes none;
  return none;
#endif
}

}  // namespace

IPlayerAccess& DllPlayerAccess() {
  static PlayerAccess access(PlayerRoutes{PlayerSystem(), AutomationRoutes(), OpenFileRoutes()});
  return access;
}

}  // namespace tunelet::win32
