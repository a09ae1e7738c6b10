// Moving a borderless window with the mouse: while the left button is held
// the window follows the cursor, moved by itself without activation. Not the
// system's caption drag (WM_NCLBUTTONDOWN with HTCAPTION): that makes the
// window the active one, taking the focus from where the user types, and
// under Wine its move loop threw the window to the screen's corner and never
// saw the button's release.
#pragma once

#include <windows.h>

namespace tunelet::win32 {

class WindowDrag {
 public:
  // At the button's press: the window takes the mouse and keeps the point
  // where the cursor holds it.
  void Start(HWND hwnd);
  // At a mouse move: the window goes where the cursor holds it (its
  // WM_WINDOWPOSCHANGING may still adjust the place). The mouse is taken
  // again when it was lost while the button is held (under Wine the
  // activation that a press on an activatable window brings takes it), and
  // a button released where the window did not see it ends the drag.
  void Follow(HWND hwnd);
  // At the button's release: the window lets the mouse go.
  void Stop(HWND hwnd);
  bool active() const { return active_; }

 private:
  bool active_ = false;
  POINT grab_{};  // the cursor's place in the window
};

}  // namespace tunelet::win32
