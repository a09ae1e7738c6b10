// What a test process holds of GDI and USER objects, for the cases that
// prove a window leaves nothing behind. GetGuiResources answers 0 under Wine,
// so the GDI objects are also counted by type in the process's GDI handle
// table (the PEB's GdiSharedHandleTable: 24-byte entries, owner process id
// at 8, type at 14, type 0 when free) and the USER objects as the process's
// windows (top-level, child and message-only); menus, cursors and hooks are
// not seen there.
#pragma once

#include <windows.h>

#include <array>
#include <numeric>
#include <string>

namespace gui_objects {

constexpr int kGdiDc = 1, kGdiRegion = 4, kGdiBitmap = 5, kGdiFont = 10, kGdiBrush = 16;

struct GuiObjects {
  DWORD gdiReported = 0, userReported = 0;
  std::array<int, 32> gdiByType{};
  int windows = 0;
  int Gdi() const { return std::accumulate(gdiByType.begin(), gdiByType.end(), 0); }
  bool operator==(const GuiObjects&) const = default;
};

std::array<int, 32> CountGdiHandles();
int CountWindowsOfProcess();
GuiObjects CountGuiObjects();
// "GetGuiResources GDI 0, USER 0; GDI handles 40 (12 DC, ...), windows 5"
std::string Describe(const GuiObjects& g);

// Nothing left but what Wine's own DC cache keeps: Wine gives a window's
// paint a cached display DC (a DC, its visible region and its bitmap, one of
// each) and keeps it for the next paint of any window; the cache grows with
// the windows painting at once, not with the windows made. So DCs, regions
// and bitmaps may grow by the same number, at most kCachedDcsPerOpenWindow for
// each window that was open at once; every other kind of object, the reported
// counts and the windows must be as before (gtest expectations).
constexpr int kCachedDcsPerOpenWindow = 2;
void ExpectNothingLeftBehind(const GuiObjects& before, const GuiObjects& after, int openAtOnce);

}  // namespace gui_objects
