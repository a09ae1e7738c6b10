// Small drawing helpers of the plug-in's windows. The fills go through the
// DC's background colour, so they create no GDI object to free.
#pragma once

#include <windows.h>

#include "platform/win32/unique_handle.h"

namespace tunelet::win32 {

// A top-down 32-bit DIB section (pixels B, G, R, A from the top left row);
// *bits, when given, receives its pixels. Empty when it cannot be made.
UniqueGdiObject CreateDib32(int width, int height, void** bits = nullptr);

// The colour step of steps between from and to.
COLORREF Blend(COLORREF from, COLORREF to, int step, int steps);
void FillSolid(HDC dc, const RECT& r, COLORREF colour);
// A one-pixel border just inside r.
void FrameSolid(HDC dc, const RECT& r, COLORREF colour);
// Top to bottom, one row at a time.
void FillVerticalGradient(HDC dc, const RECT& r, COLORREF from, COLORREF to);

}  // namespace tunelet::win32
