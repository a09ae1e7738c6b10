// THotkeyform: the hidden window that owns the plug-in's system-wide hot keys
// (identifier = action) and runs the action when one is pressed. Destroying
// it releases its registrations.
#pragma once

#include <windows.h>

#include "hotkey/hotkey_actions.h"
#include "hotkey/shortcut.h"
#include "platform/win32/window_class.h"

namespace tunelet::win32 {

class HotKeyWindow {
 public:
  HotKeyWindow(IUserInterface& ui, IPaste& paste);
  ~HotKeyWindow();  // destroys the window: its procedure is in this DLL
  HotKeyWindow(const HotKeyWindow&) = delete;
  HotKeyWindow& operator=(const HotKeyWindow&) = delete;

  // Registers the class and creates the window unless it exists.
  bool Create();
  // Destroys the window and unregisters the class.
  void Destroy();
  HWND hwnd() const { return hwnd_; }

  // Held down, the key runs the action once where the system can say so.
  bool Register(int action, Shortcut shortcut);
  bool Unregister(int action);
  // Whether the system would take the combination now: a trial registration
  // under a temporary atom, released at once.
  bool CanRegister(Shortcut shortcut);

  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  IUserInterface& ui_;
  IPaste& paste_;
  WindowClass class_;
  HWND hwnd_ = nullptr;
};

}  // namespace tunelet::win32
