// Small drawing helpers of the plug-in's windows. They fill through the DC's
// background colour, so they create no GDI object to free.
#pragma once

#include <windows.h>

namespace tunelet::win32 {

// The colour step of steps between from and to.
COLORREF Blend(COLORREF from, COLORREF to, int step, int steps);
void FillSolid(HDC dc, const RECT& r, COLORREF colour);
// A one-pixel border just inside r.
void FrameSolid(HDC dc, const RECT& r, COLORREF colour);
// Top to bottom, one row at a time.
void FillVerticalGradient(HDC dc, const RECT& r, COLORREF from, COLORREF to);

}  // namespace tunelet::win32
