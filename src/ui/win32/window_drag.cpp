#include "ui/win32/window_drag.h"

namespace tunelet::win32 {

void WindowDrag::Start(HWND hwnd) {
  POINT cursor{};
  RECT window{};
  if (!::GetCursorPos(&cursor) || !::GetWindowRect(hwnd, &window)) return;
  grab_ = {cursor.x - window.left, cursor.y - window.top};
  active_ = true;
  ::SetCapture(hwnd);
}

void WindowDrag::Follow(HWND hwnd) {
  if (!active_) return;
  if (::GetKeyState(VK_LBUTTON) >= 0) {  // as of the message being handled
    Stop(hwnd);
    return;
  }
  if (::GetCapture() != hwnd) ::SetCapture(hwnd);
  POINT cursor{};
  if (!::GetCursorPos(&cursor)) return;
  ::SetWindowPos(hwnd, nullptr, cursor.x - grab_.x, cursor.y - grab_.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void WindowDrag::Stop(HWND hwnd) {
  if (!active_) return;
  active_ = false;
  if (::GetCapture() == hwnd) ::ReleaseCapture();
}

}  // namespace tunelet::win32
