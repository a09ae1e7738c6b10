// What the process holds of GDI and USER objects, for the Wine tests that
// count what a window leaves behind.
#pragma once

#include <windows.h>

#include <array>
#include <numeric>
#include <string>

// GetGuiResources answers 0 under Wine, so the GDI objects are also counted
// by type in the process's GDI handle table and the USER objects as the
// process's windows (top-level, child and message-only); menus, cursors and
// hooks are not seen there.
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
std::string Describe(const GuiObjects& g);
