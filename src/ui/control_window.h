// The rules of the floating control window: its place when reset, when shown
// and while dragged, and when it hides behind a full-screen application.
// Portable: ui/win32/control_window.h carries them out.
#pragma once

#include <string_view>

#include "ui/popup.h"

namespace tunelet {

constexpr int kControlWidth = 158;
constexpr int kControlHeight = 22;
constexpr int kControlSnapDistance = 10;

struct ScreenSize {
  int width = 0, height = 0;
};

// The place ResetControlWindowPosition stores: a little above and left of the
// work area's centre.
ScreenPoint ResetControlPosition(const ScreenRect& workArea);
// A saved place that is off the primary screen comes back onto it.
ScreenPoint ControlPositionOnShow(ScreenPoint p, ScreenSize screen);
// The place a drag proposes, snapped to the edges closer than 10 pixels.
ScreenPoint SnapControlPosition(ScreenPoint p, const ScreenRect& workArea, ScreenSize screen);
// Whether the timer hides the window: the foreground window covers the whole
// screen, hiding is on, and it is not the desktop's (EXPLORER.EXE).
bool ControlHidesBehind(const ScreenRect& foreground, ScreenSize screen, std::u16string_view exeName,
                        bool hideSetting);

}  // namespace tunelet
