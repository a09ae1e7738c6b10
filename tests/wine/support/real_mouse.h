// Mouse input as a hand gives it: through the system's input queue
// (SendInput), so that the window under the cursor gets the messages of a
// real press, move and release when its thread next pumps. For drags and
// held buttons; talkeo_sim::ClickAt does whole clicks.
#pragma once

#include <windows.h>

namespace real_mouse {

enum class Button { Left, Right, Middle };

inline DWORD DownFlag(Button b) {
  return b == Button::Left ? MOUSEEVENTF_LEFTDOWN : b == Button::Right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_MIDDLEDOWN;
}
inline DWORD UpFlag(Button b) {
  return b == Button::Left ? MOUSEEVENTF_LEFTUP : b == Button::Right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_MIDDLEUP;
}

// A screen pixel in SendInput's absolute units (0..65535 across the primary
// screen), rounded up so that the system's mapping back lands on the pixel.
inline LONG Absolute(LONG pixel, int extent) { return LONG((LONGLONG(pixel) * 65536 + extent - 1) / extent); }

// One event at a screen point: the cursor moves there, with the button
// flags given (none for a plain move).
inline bool SendAt(POINT at, DWORD buttonFlags) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dx = Absolute(at.x, ::GetSystemMetrics(SM_CXSCREEN));
  in.mi.dy = Absolute(at.y, ::GetSystemMetrics(SM_CYSCREEN));
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttonFlags;
  return ::SendInput(1, &in, sizeof(in)) == 1;
}

inline bool MoveTo(POINT at) { return SendAt(at, 0); }
inline bool Press(POINT at, Button b = Button::Left) { return SendAt(at, DownFlag(b)); }
inline bool Release(POINT at, Button b = Button::Left) { return SendAt(at, UpFlag(b)); }

// Press at from, move there in steps, release at to: all queued at once.
// The thread that owns the window sees it when it next pumps (a system move
// loop started by the press then takes the rest).
inline bool QueueDrag(POINT from, POINT to, int steps = 4, Button b = Button::Left) {
  bool ok = Press(from, b);
  for (int i = 1; i <= steps; ++i)
    ok = MoveTo({from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps}) && ok;
  return Release(to, b) && ok;
}

}  // namespace real_mouse
