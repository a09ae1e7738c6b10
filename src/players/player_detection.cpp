#include "players/player_detection.h"

#include "common/text.h"
#include "model/settings.h"
#include "model/player_table.h"

namespace tunelet {

namespace {

bool NeedsProcessCheck(int id) { return id == kWmp || id == kKmPlayer || id == kWinamp || id == kMediaMonkey; }

uintptr_t FindTableWindow(IPlayerSystem& system, int id) {
  return system.FindTopWindow(PlayerWindowClass(id), PlayerWindowTitle(id));
}

// The three window classes of foobar2000, in order; all mean id 9.
uintptr_t FindFoobar2000Window(IPlayerSystem& system) {
  for (int id : {kFoobar2000, kFoobar2000Alt1, kFoobar2000Alt2})
    if (uintptr_t w = FindTableWindow(system, id)) return w;
  return 0;
}

// Steps 2 and 3 of the search for one row: its window, and the process check.
uintptr_t FindCheckedWindow(IPlayerSystem& system, int id) {
  const uintptr_t w = FindTableWindow(system, id);
  if (!w) return 0;
  if (NeedsProcessCheck(id) && !CheckPlayerProcess(system, id, w)) return 0;
  return w;
}

uintptr_t SearchWholeTable(const PlayerRoutes& routes) {
  PluginSettings& s = Settings();
  for (int id = 0; id < kPlayerCount; ++id) {
    if (id == kFoobar2000) {
      if (!s.OLEfoobar) {
        if (uintptr_t w = FindFoobar2000Window(routes.system)) {
          s.CurrentPlayer = kFoobar2000;
          return w;
        }
        continue;
      }
      if (routes.automation.Foobar2000AutomationRunning()) {
        s.CurrentPlayer = kFoobar2000;
        return kFoobarAutomationHandle;
      }
    }
    if (uintptr_t w = FindCheckedWindow(routes.system, id)) {
      const bool foobarAlt = id == kFoobar2000Alt1 || id == kFoobar2000Alt2;
      s.CurrentPlayer = foobarAlt ? PlayerId(kFoobar2000) : PlayerId(id);
      return w;
    }
  }
  return 0;
}

uintptr_t RecheckChosenPlayer(const PlayerRoutes& routes) {
  const PluginSettings& s = Settings();
  const int id = s.CurrentPlayer;
  if (id == kFoobar2000) return s.OLEfoobar ? kFoobarAutomationHandle : FindFoobar2000Window(routes.system);
  if (id >= kPlayerCount) return 0;
  return FindCheckedWindow(routes.system, id);
}

}  // namespace

uintptr_t FindPlayer(const PlayerRoutes& routes, int mode) {
  if (mode == 1) return SearchWholeTable(routes);
  if (mode == 0) return RecheckChosenPlayer(routes);
  return 0;
}

bool CheckPlayerProcess(IPlayerSystem& system, int id, uintptr_t window) {
  switch (id) {
    case kWmp: return EqualsIgnoreCase(system.ProcessImageName(window), u"WMPLAYER.EXE");
    case kKmPlayer: return EqualsIgnoreCase(system.ProcessImageName(window), u"KMPLAYER.EXE");
    case kWinamp: return EqualsIgnoreCase(system.ProcessImageName(window), u"WINAMP.EXE");
    case kMediaMonkey: {
      // A player that does not answer in time is not MediaMonkey.
      const auto version = system.SendBounded(window, kWmUser, 0, 0);
      if (!version) return false;
      for (intptr_t v : kMediaMonkeyVersions)
        if (*version == v) return true;
      return false;
    }
    default: return true;
  }
}

}  // namespace tunelet
