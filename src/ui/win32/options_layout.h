// Small layout helpers of the options pages: a label sized to its caption
// and the control that follows it on the same line, so that a longer
// translation moves the control instead of being cut.
#pragma once

#include <windows.h>

namespace tunelet::win32 {

// The width of the control's caption in its font, in pixels.
int CaptionWidth(HWND control);
// Sizes label to its caption and moves next to gap pixels after it (next
// keeps its top, width and height).
void PlaceAfterLabel(HWND label, HWND next, int gap);
// The same, but next keeps its right edge and gives up width instead.
void StretchAfterLabel(HWND label, HWND next, int gap);

}  // namespace tunelet::win32
