// What the process holds of GDI and USER objects, for the tests that prove
// the plug-in's windows leave nothing behind. GetGuiResources answers 0
// under Wine, so the GDI objects are also counted by type in the process's
// GDI handle table (CountGdiHandles) and the USER objects as the
// process's windows (top-level, child and message-only); menus, cursors and
// hooks are not seen there.
#pragma once

#include <windows.h>

#include <array>
#include <numeric>
#include <string>

#include "host_test_support.h"

namespace host_test {

constexpr int kGdiBrush = 16;  // a type of CountGdiHandles

struct GuiObjects {
  DWORD gdiReported = 0, userReported = 0;
  std::array<int, 32> gdiByType{};
  int windows = 0;
  int Gdi() const { return std::accumulate(gdiByType.begin(), gdiByType.end(), 0); }
  bool operator==(const GuiObjects&) const = default;
};

GuiObjects CountGuiObjects();
std::string Describe(const GuiObjects& g);

// Nothing left but what Wine's own DC cache keeps: Wine gives a window's
// paint a cached display DC (a DC, its visible region and its bitmap, one of
// each) and keeps it for the next paint of any window; the cache grows with
// the windows painting at once, not with the windows made. So DCs, regions
// and bitmaps may grow by the same number, at most two for each window that
// was open at once; every other kind of object, the reported counts and the
// windows must be as before (gtest expectations).
void ExpectNothingLeftBehind(const GuiObjects& before, const GuiObjects& after, int openAtOnce);

// The system makes some objects of its own the first time a process paints
// a layered, shaped window with text (colour spaces, a system colour brush,
// the thread's IME window, cached DCs). A real host has long done that
// before any plug-in window, so the leak cases do it first, with a window of
// the host's that stays open while they count.
class HostsOwnWindow {
 public:
  HostsOwnWindow();
  ~HostsOwnWindow();
  HostsOwnWindow(const HostsOwnWindow&) = delete;
  HostsOwnWindow& operator=(const HostsOwnWindow&) = delete;

 private:
  HWND hwnd_;
};

}  // namespace host_test
