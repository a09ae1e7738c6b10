#include "players/win32/dll_player_access.h"

#include "platform/platform.h"
#include "model/file_kind.h"
#include "players/player_access.h"
#include "players/win32/automation_win32.h"
#include "players/win32/automation_worker.h"
#include "players/win32/open_files_win32.h"
#include "players/win32/player_system_win32.h"

namespace tunelet::win32 {

namespace {

// A share that does not answer makes the file system wait as long as the
// network stack takes; the host's thread waits at most this long for it.
constexpr DWORD kNetworkFileTimeoutMs = 1000;

class DllAccess final : public PlayerAccess {
 public:
  using PlayerAccess::PlayerAccess;

  // A path on a network share is looked up on a lane of its own; a share
  // that does not answer in time names no file for this tick.
  bool FileExists(std::u16string_view path) override {
    if (!IsNetworkPath(path)) return PlayerAccess::FileExists(path);
    static BoundedLane lane(BoundedLane::Apartment::None);
    return RunBounded<bool>(lane, kNetworkFileTimeoutMs,
                            [copy = std::u16string(path)] { return platform::FileExists(copy); })
        .value_or(false);
  }
};

}  // namespace

IPlayerAccess& DllPlayerAccess() {
  static DllAccess access(PlayerRoutes{PlayerSystem(), Win32AutomationRoutes(), Win32OpenFileRoutes()});
  return access;
}

}  // namespace tunelet::win32
