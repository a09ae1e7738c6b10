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

// One row of the automatic search. Row 9 stands for foobar2000: its three
// window classes, or its automation object when OLEfoobar is on (and, when
// that is not running, its own window).
uintptr_t SearchRow(const PlayerRoutes& routes, int id) {
  if (id == kFoobar2000) {
    if (!Settings().OLEfoobar) return FindFoobar2000Window(routes.system);
    if (routes.automation.Foobar2000AutomationRunning()) return kFoobarAutomationHandle;
  }
  return FindCheckedWindow(routes.system, id);
}

bool IsFoobar2000Row(int id) { return id == kFoobar2000 || id == kFoobar2000Alt1 || id == kFoobar2000Alt2; }

uintptr_t SearchWholeTable(const PlayerRoutes& routes, IDetectionObserver* observer) {
  const bool everyRow = observer && observer->SearchEveryRow();
  uintptr_t found = 0;
  for (int id = 0; id < kPlayerCount; ++id) {
    if (observer) observer->RowStarted(id);
    const uintptr_t hit = SearchRow(routes, id);
    if (!hit) continue;
    if (observer) observer->RowMatched(id, hit);
    if (!found) {
      found = hit;
      Settings().CurrentPlayer = IsFoobar2000Row(id) ? PlayerId(kFoobar2000) : PlayerId(id);
    }
    if (!everyRow) break;
  }
  return found;
}

uintptr_t RecheckChosenPlayer(const PlayerRoutes& routes, IDetectionObserver* observer) {
  const PluginSettings& s = Settings();
  const int id = s.CurrentPlayer;
  if (observer) observer->RowStarted(id);
  uintptr_t hit = 0;
  if (id == kFoobar2000)
    hit = s.OLEfoobar ? kFoobarAutomationHandle : FindFoobar2000Window(routes.system);
  else if (id < kPlayerCount)
    hit = FindCheckedWindow(routes.system, id);
  if (hit && observer) observer->RowMatched(id, hit);
  return hit;
}

}  // namespace

uintptr_t FindPlayer(const PlayerRoutes& routes, int mode, IDetectionObserver* observer) {
  if (mode == 1) return SearchWholeTable(routes, observer);
  if (mode == 0) return RecheckChosenPlayer(routes, observer);
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
