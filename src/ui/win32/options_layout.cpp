#include "ui/win32/options_layout.h"

#include <string>

#include "platform/win32/unique_handle.h"
#include "ui/win32/options_page.h"

namespace tunelet::win32 {

namespace {

constexpr int kStaticSlack = 2;

RECT RectInParent(HWND control) {
  RECT r{};
  ::GetWindowRect(control, &r);
  ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Sizes label to its caption; the left edge where next then starts.
int FitLabel(HWND label, int gap) {
  const RECT l = RectInParent(label);
  // Static controls wrap a caption that is not strictly narrower than them.
  const int width = CaptionWidth(label) + kStaticSlack;
  ::SetWindowPos(label, nullptr, 0, 0, width, l.bottom - l.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return l.left + width + gap;
}

}  // namespace

int CaptionWidth(HWND control) {
  const std::u16string text = ControlText(control);
  HDC dc = ::GetDC(control);
  if (!dc) return 0;
  ScopeExit release([&] { ::ReleaseDC(control, dc); });
  const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE size{};
  ::GetTextExtentPoint32W(dc, W(text.c_str()), int(text.size()), &size);
  ::SelectObject(dc, old);
  return size.cx;
}

void PlaceAfterLabel(HWND label, HWND next, int gap) {
  if (!label || !next) return;
  const RECT n = RectInParent(next);
  ::SetWindowPos(next, nullptr, FitLabel(label, gap), n.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void StretchAfterLabel(HWND label, HWND next, int gap) {
  if (!label || !next) return;
  const RECT n = RectInParent(next);
  const int left = FitLabel(label, gap);
  ::SetWindowPos(next, nullptr, left, n.top, n.right - left, n.bottom - n.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tunelet::win32
