// Ttlctrlf: the floating control window, a small always-on-top toolbar that
// sends play, pause, stop, previous and next to the player, opens QuickInfo,
// snaps to the screen's edges and hides behind full-screen applications.
// At most one exists; its place is kept in ControlWindowX/ControlWindowY.
#pragma once

#include <windows.h>

#include "model/subsystems.h"
#include "model/ui_texts.h"
#include "ui/control_window.h"
#include "ui/win32/window_class.h"
#include "ui/win32/window_drag.h"

namespace tunelet::win32 {

class ControlWindow {
 public:
  // Commands go to players; the QuickInfo button and the sharing popup go
  // through windows; the right-click menu reads its entry from texts.
  ControlWindow(IPlayerAccess& players, IUserInterface& windows, const IUiTexts& texts);
  ~ControlWindow();  // closes the window: its procedure is in this DLL
  ControlWindow(const ControlWindow&) = delete;
  ControlWindow& operator=(const ControlWindow&) = delete;

  void Show();  // creates and shows it unless it exists
  void Close();  // stores its place and destroys it
  void Toggle();
  // Stores the default place and moves an open window there.
  void ResetPosition();
  HWND hwnd() const { return hwnd_; }

  // The buttons, in client coordinates, and what each does.
  enum class Button { None, Play, Pause, Stop, Previous, Next, Info, Close };
  static RECT ButtonRect(Button b);
  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  Button ButtonAt(LPARAM lp) const;
  void Click(Button b);
  // The right-click menu: pause sharing for an hour, or resume it.
  void ShowSharingMenu(HWND hwnd, LPARAM lp);
  void ToggleSharing();
  void Paint();
  void KeepOnTopOrHide();
  void StorePosition();

  IPlayerAccess& players_;
  IUserInterface& windows_;
  const IUiTexts& texts_;
  WindowClass class_;
  HWND hwnd_ = nullptr;
  Button pressed_ = Button::None;
  WindowDrag drag_;
};

}  // namespace tunelet::win32
