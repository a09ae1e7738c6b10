#include "ui/win32/options_scroll_box.h"

#include <algorithm>

#include "platform/win32/unique_handle.h"

namespace tunelet::win32 {

namespace {

constexpr wchar_t kScrollBoxClass[] = L"TOptionsScrollBox";
constexpr int kLinePixels = 12;  // one arrow click or wheel line
constexpr int kWheelLines = 3;
constexpr int kFocusMargin = 4;  // space kept around a control scrolled into view
constexpr COLORREF kBoxColour = RGB(255, 255, 255);

// The focus notifications of the controls a box holds: BN_SETFOCUS (buttons
// with BS_NOTIFY), EN_SETFOCUS, CBN_SETFOCUS.
bool IsFocusNotification(WORD code) { return code == BN_SETFOCUS || code == EN_SETFOCUS || code == CBN_SETFOCUS; }

}  // namespace

ScrollBox::ScrollBox() : class_(kScrollBoxClass, &WindowObject<ScrollBox>::Route, 0) {}

ScrollBox::~ScrollBox() {
  if (hwnd_) ::DestroyWindow(hwnd_);
}

HWND ScrollBox::Create(HWND parent, int id, int left, int top, int width, int height) {
  if (hwnd_ || !class_.Ensure()) return hwnd_;
  // WS_EX_CONTROLPARENT: the dialog's Tab walk goes on into the box's controls.
  ::CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_CLIENTEDGE, kScrollBoxClass, nullptr,
                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_CLIPCHILDREN, left, top, width, height, parent,
                    reinterpret_cast<HMENU>(INT_PTR(id)), ThisModule(), this);
  UpdateScrollBar();
  return hwnd_;
}

int ScrollBox::ViewHeight() const {
  RECT r{};
  ::GetClientRect(hwnd_, &r);
  return r.bottom;
}

int ScrollBox::MaxPosition() const { return std::max(0, contentHeight_ - ViewHeight()); }

void ScrollBox::SetContentHeight(int height) {
  contentHeight_ = height;
  UpdateScrollBar();
  ScrollTo(position_);
}

void ScrollBox::UpdateScrollBar() {
  if (!hwnd_) return;
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = std::max(0, contentHeight_ - 1);
  si.nPage = UINT(ViewHeight());
  si.nPos = position_;
  ::SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
}

void ScrollBox::ScrollTo(int position) {
  if (!hwnd_) return;
  position = std::clamp(position, 0, MaxPosition());
  if (position == position_) return;
  const int dy = position_ - position;
  position_ = position;
  ::ScrollWindowEx(hwnd_, 0, dy, nullptr, nullptr, nullptr, nullptr,
                   SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
  UpdateScrollBar();
}

void ScrollBox::ScrollIntoView(HWND child) {
  RECT r{};
  if (!::GetWindowRect(child, &r)) return;
  ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
  const int view = ViewHeight();
  if (r.top < kFocusMargin)
    ScrollTo(position_ + r.top - kFocusMargin);
  else if (r.bottom > view - kFocusMargin)
    ScrollTo(position_ + r.bottom - view + kFocusMargin);
}

void ScrollBox::OnVScroll(int request) {
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  ::GetScrollInfo(hwnd_, SB_VERT, &si);
  switch (request) {
    case SB_LINEUP: ScrollTo(position_ - kLinePixels); break;
    case SB_LINEDOWN: ScrollTo(position_ + kLinePixels); break;
    case SB_PAGEUP: ScrollTo(position_ - ViewHeight()); break;
    case SB_PAGEDOWN: ScrollTo(position_ + ViewHeight()); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: ScrollTo(si.nTrackPos); break;
    case SB_TOP: ScrollTo(0); break;
    case SB_BOTTOM: ScrollTo(MaxPosition()); break;
    default: break;
  }
}

LRESULT ScrollBox::HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCCREATE: hwnd_ = hwnd; break;
    case WM_NCDESTROY: hwnd_ = nullptr; break;
    case WM_ERASEBKGND: {
      RECT r{};
      ::GetClientRect(hwnd, &r);
      const HDC dc = reinterpret_cast<HDC>(wp);
      ::SetBkColor(dc, kBoxColour);
      ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
      return 1;
    }
    // Static texts, check boxes and radio buttons on the box's white; the
    // stock brush needs no freeing.
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      ::SetBkColor(reinterpret_cast<HDC>(wp), kBoxColour);
      return LRESULT(::GetStockObject(WHITE_BRUSH));
    }
    case WM_VSCROLL: OnVScroll(LOWORD(wp)); return 0;
    case WM_MOUSEWHEEL: {
      wheelRest_ += GET_WHEEL_DELTA_WPARAM(wp);
      const int lines = wheelRest_ / WHEEL_DELTA * kWheelLines;
      wheelRest_ %= WHEEL_DELTA;
      ScrollTo(position_ - lines * kLinePixels);
      return 0;
    }
    case WM_SIZE: UpdateScrollBar(); ScrollTo(position_); break;
    case WM_COMMAND:
      if (IsFocusNotification(HIWORD(wp)) && lp) ScrollIntoView(reinterpret_cast<HWND>(lp));
      return ::SendMessageW(::GetParent(hwnd), msg, wp, lp);
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM: return ::SendMessageW(::GetParent(hwnd), msg, wp, lp);
    default: break;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace tunelet::win32
