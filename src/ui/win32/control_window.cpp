#include "ui/win32/control_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <string>
#include <utility>

#include "model/settings.h"
#include "platform/platform.h"
#include "ui/popup.h"
#include "platform/win32/late_bound.h"
#include "platform/win32/unique_handle.h"
#include "ui/win32/paint.h"

namespace tunelet::win32 {

namespace {

constexpr wchar_t kControlClass[] = L"Ttlctrlf";
constexpr wchar_t kControlCaption[] = L"Tunelet Control";
constexpr UINT_PTR kToTopTimer = 1;
constexpr UINT kToTopIntervalMs = 1000;
constexpr UINT kMenuSharing = 1;  // the right-click menu's one entry

// Background, grip and separator.
constexpr COLORREF kGradientTop = RGB(255, 255, 255), kGradientBottom = RGB(171, 187, 199);
constexpr COLORREF kBorder = RGB(171, 190, 201);
constexpr int kGripLeft = 4, kGripWidth = 9;
constexpr int kGripY[] = {5, 8, 11, 14, 17};
constexpr COLORREF kGripColours[] = {RGB(193, 203, 215), RGB(175, 188, 205), RGB(162, 176, 196),
                                     RGB(137, 159, 182), RGB(120, 148, 169)};
constexpr RECT kSeparator{133, 3, 134, 20};
constexpr COLORREF kSeparatorTop = RGB(192, 201, 214), kSeparatorBottom = RGB(132, 157, 176);
constexpr COLORREF kGlyph = RGB(52, 74, 98);

void Triangle(HDC dc, int x1, int y1, int x2, int y2, int x3, int y3) {
  const POINT p[] = {{x1, y1}, {x2, y2}, {x3, y3}};
  ::Polygon(dc, p, 3);
}

// The glyph of a button in its rectangle r (already moved when pressed).
// Drawn with the stock DC brush and pen: nothing to create or free.
void DrawGlyph(HDC dc, ControlWindow::Button b, const RECT& r) {
  using B = ControlWindow::Button;
  const int x = r.left, y = r.top;
  switch (b) {
    case B::Play: Triangle(dc, x + 4, y + 2, x + 4, y + 11, x + 10, y + 6); break;
    case B::Pause:
      FillSolid(dc, {x + 3, y + 2, x + 6, y + 12}, kGlyph);
      FillSolid(dc, {x + 8, y + 2, x + 11, y + 12}, kGlyph);
      break;
    case B::Stop: FillSolid(dc, {x + 3, y + 3, x + 11, y + 11}, kGlyph); break;
    case B::Previous:
      FillSolid(dc, {x + 2, y + 3, x + 4, y + 11}, kGlyph);
      Triangle(dc, x + 11, y + 3, x + 11, y + 10, x + 5, y + 7);
      break;
    case B::Next:
      Triangle(dc, x + 3, y + 3, x + 3, y + 10, x + 9, y + 7);
      FillSolid(dc, {x + 10, y + 3, x + 12, y + 11}, kGlyph);
      break;
    case B::Info:
      ::Ellipse(dc, x + 1, y + 1, x + 15, y + 15);
      FillSolid(dc, {x + 7, y + 3, x + 9, y + 5}, RGB(255, 255, 255));
      FillSolid(dc, {x + 7, y + 6, x + 9, y + 12}, RGB(255, 255, 255));
      break;
    case B::Close:
      for (int i = 0; i < 9; ++i) {
        FillSolid(dc, {x + 3 + i, y + 3 + i, x + 5 + i, y + 4 + i}, kGlyph);
        FillSolid(dc, {x + 10 - i, y + 3 + i, x + 12 - i, y + 4 + i}, kGlyph);
      }
      break;
    case B::None: break;
  }
}

ScreenSize PrimaryScreen() { return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}; }

ScreenRect WorkAreaOf(HWND hwnd) {
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  if (::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &mi))
    return {mi.rcWork.left, mi.rcWork.top, mi.rcWork.right, mi.rcWork.bottom};
  RECT r{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return {r.left, r.top, r.right, r.bottom};
}

// The file name of the executable that owns hwnd.
std::u16string ExeNameOf(HWND hwnd) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  std::u16string path = pid ? ProcessImagePath(pid) : std::u16string();
  const size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

// The hints of the QuickInfo and close buttons. The tooltip window is owned
// by the control window and so is destroyed with it.
void AddHints(HWND hwnd) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  const HWND tip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr,
                                     ThisModule(), nullptr);
  if (!tip) return;
  struct Hint {
    ControlWindow::Button button;
    const wchar_t* text;
  };
  const Hint hints[] = {{ControlWindow::Button::Info, L"QuickInfo"}, {ControlWindow::Button::Close, L"Закрыть"}};
  for (const Hint& h : hints) {
    TOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by the comctl32 of XP too
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = hwnd;
    ti.uId = UINT_PTR(h.button);
    ti.rect = ControlWindow::ButtonRect(h.button);
    ti.lpszText = const_cast<wchar_t*>(h.text);
    ::SendMessageW(tip, TTM_ADDTOOLW, 0, LPARAM(&ti));
  }
}

constexpr ControlWindow::Button kButtons[] = {
    ControlWindow::Button::Play, ControlWindow::Button::Pause, ControlWindow::Button::Stop,
    ControlWindow::Button::Previous, ControlWindow::Button::Next, ControlWindow::Button::Info,
    ControlWindow::Button::Close};

}  // namespace

ControlWindow::ControlWindow(IPlayerAccess& players, IUserInterface& windows, const IUiTexts& texts)
    : players_(players),
      windows_(windows),
      texts_(texts),
      class_(kControlClass, &WindowObject<ControlWindow>::Route, 0, ::LoadCursorW(nullptr, IDC_ARROW)) {}

ControlWindow::~ControlWindow() { Close(); }

RECT ControlWindow::ButtonRect(Button b) {
  switch (b) {
    case Button::Play: return {17, 5, 31, 19};
    case Button::Pause: return {34, 5, 48, 19};
    case Button::Stop: return {51, 5, 65, 19};
    case Button::Previous: return {72, 5, 86, 19};
    case Button::Next: return {89, 5, 103, 19};
    case Button::Info: return {111, 4, 127, 19};
    case Button::Close: return {139, 4, 154, 19};
    case Button::None: break;
  }
  return {};
}

void ControlWindow::Show() {
  if (hwnd_) return;
  if (!class_.Ensure()) return;
  const DWORD exStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  const HWND hwnd = ::CreateWindowExW(exStyle, class_.name(), kControlCaption, WS_POPUP, 0, 0, kControlWidth,
                                      kControlHeight, nullptr, nullptr, ThisModule(), this);
  if (!hwnd) return;
  hwnd_ = hwnd;
  // Without it once created; a click still does not activate the window
  // (WM_MOUSEACTIVATE), and it moves itself when dragged (WindowDrag).
  ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & ~LONG_PTR(WS_EX_NOACTIVATE));
  const PluginSettings& s = Settings();
  const ScreenPoint at = ControlPositionOnShow({s.ControlWindowX, s.ControlWindowY}, PrimaryScreen());
  ::SetWindowPos(hwnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
  AddHints(hwnd);
  ::SetTimer(hwnd, kToTopTimer, kToTopIntervalMs, nullptr);
  ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
}

void ControlWindow::Close() {
  if (hwnd_) ::DestroyWindow(hwnd_);  // WM_DESTROY stores the place
}

void ControlWindow::Toggle() {
  if (hwnd_)
    Close();
  else
    Show();
}

void ControlWindow::ResetPosition() {
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const ScreenPoint p = ResetControlPosition({work.left, work.top, work.right, work.bottom});
  Settings().ControlWindowX = p.x;
  Settings().ControlWindowY = p.y;
  if (hwnd_) ::SetWindowPos(hwnd_, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
}

ControlWindow::Button ControlWindow::ButtonAt(LPARAM lp) const {
  const POINT p{short(LOWORD(lp)), short(HIWORD(lp))};
  for (Button b : kButtons) {
    const RECT r = ButtonRect(b);
    if (::PtInRect(&r, p)) return b;
  }
  return Button::None;
}

void ControlWindow::Click(Button b) {
  switch (b) {
    case Button::Stop: players_.SendPlayerCommand(0); break;
    case Button::Play: players_.SendPlayerCommand(1); break;
    case Button::Pause: players_.SendPlayerCommand(2); break;
    case Button::Previous: players_.SendPlayerCommand(3); break;
    case Button::Next: players_.SendPlayerCommand(4); break;
    case Button::Info:
      if (!IsEmpty(Settings().Track.FilePath) && Settings().PluginOn) windows_.ShowQuickInfo();
      break;
    case Button::Close: Close(); break;
    case Button::None: break;
  }
}

void ControlWindow::ShowSharingMenu(HWND hwnd, LPARAM lp) {
  UniqueMenu menu(::CreatePopupMenu());
  if (!menu) return;
  const bool paused = Settings().SharingPaused.Active(platform::MonotonicMs());
  const std::u16string caption = texts_.Text(paused ? u"TLC_MENU_RESUME_SHARING" : u"TLC_MENU_PAUSE_SHARING");
  const std::wstring wide(caption.begin(), caption.end());
  if (!::AppendMenuW(menu.get(), MF_STRING, kMenuSharing, wide.c_str())) return;
  POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  if (lp == -1) {  // the keyboard's menu key: below the window's left edge
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    at = {r.left, r.bottom};
  }
  // A menu closes on a click elsewhere only while its thread is in front: when
  // another program is, the window comes forward for the menu and that
  // program's window is given back the focus afterwards. While the host's own
  // window is in front nothing moves (the focus stays where the user types).
  const HWND previous = ::GetForegroundWindow();
  const bool bringForward = !previous || ::GetWindowThreadProcessId(previous, nullptr) != ::GetCurrentThreadId();
  if (bringForward) ::SetForegroundWindow(hwnd);
  const UINT chosen = UINT(::TrackPopupMenuEx(menu.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON |
                                                              TPM_RETURNCMD | TPM_NONOTIFY,
                                              at.x, at.y, hwnd, nullptr));
  ::PostMessageW(hwnd, WM_NULL, 0, 0);
  if (bringForward && previous && ::IsWindow(previous)) ::SetForegroundWindow(previous);
  if (chosen == kMenuSharing) ToggleSharing();
}

void ControlWindow::ToggleSharing() {
  PluginSettings& s = Settings();
  ToggleSharingPause(s, platform::MonotonicMs(), platform::LocalMinuteOfDay());
  if (s.PopupsOn) windows_.ShowPopup(kSharingPopup);
}

void ControlWindow::Paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd_, &ps);
  if (!dc) return;
  const RECT all{0, 0, kControlWidth, kControlHeight};
  FillVerticalGradient(dc, all, kGradientTop, kGradientBottom);
  FrameSolid(dc, all, kBorder);
  for (int i = 0; i < 5; ++i)
    FillSolid(dc, {kGripLeft, kGripY[i], kGripLeft + kGripWidth, kGripY[i] + 1}, kGripColours[i]);
  FillVerticalGradient(dc, kSeparator, kSeparatorTop, kSeparatorBottom);
  const HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(DC_BRUSH));
  const HGDIOBJ oldPen = ::SelectObject(dc, ::GetStockObject(DC_PEN));
  ::SetDCBrushColor(dc, kGlyph);
  ::SetDCPenColor(dc, kGlyph);
  for (Button b : kButtons) {
    RECT r = ButtonRect(b);
    if (b == pressed_ && b != Button::Close) ::OffsetRect(&r, 1, 1);  // the pressed look
    DrawGlyph(dc, b, r);
  }
  ::SelectObject(dc, oldPen);
  ::SelectObject(dc, oldBrush);
  ::EndPaint(hwnd_, &ps);
}

void ControlWindow::KeepOnTopOrHide() {
  const HWND front = ::GetForegroundWindow();
  WINDOWINFO info{};
  info.cbSize = sizeof(info);
  bool hide = false;
  if (front && ::GetWindowInfo(front, &info)) {
    const RECT& r = info.rcWindow;
    hide = ControlHidesBehind({r.left, r.top, r.right, r.bottom}, PrimaryScreen(), ExeNameOf(front),
                              Settings().Hide_tlc);
  }
  if (hide)
    ::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                   SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
  else
    ::SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
}

void ControlWindow::StorePosition() {
  WINDOWINFO info{};
  info.cbSize = sizeof(info);
  if (!::GetWindowInfo(hwnd_, &info)) return;
  Settings().ControlWindowX = info.rcWindow.left;
  Settings().ControlWindowY = info.rcWindow.top;
}

LRESULT ControlWindow::HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    switch (msg) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        Paint();
        return 0;
      case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;  // the focus stays where the user types
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK: {
        const Button b = ButtonAt(lp);
        if (b == Button::None) {
          drag_.Start(hwnd);  // by its background
        } else {
          pressed_ = b;
          ::SetCapture(hwnd);
          ::InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
      }
      case WM_MOUSEMOVE:
        drag_.Follow(hwnd);  // WM_WINDOWPOSCHANGING snaps the place to the edges
        return 0;
      case WM_LBUTTONUP: {
        drag_.Stop(hwnd);
        const Button pressed = std::exchange(pressed_, Button::None);
        if (::GetCapture() == hwnd) ::ReleaseCapture();
        ::InvalidateRect(hwnd, nullptr, FALSE);
        if (pressed != Button::None && ButtonAt(lp) == pressed) Click(pressed);
        return 0;
      }
      case WM_CONTEXTMENU:
        // DefWindowProc turns a right button's release into this message.
        ShowSharingMenu(hwnd, lp);
        return 0;
      case WM_CAPTURECHANGED:
        // Another window took the mouse: a pressed button comes up without a click.
        if (std::exchange(pressed_, Button::None) != Button::None) ::InvalidateRect(hwnd, nullptr, FALSE);
        break;
      case WM_SETCURSOR:
        ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (LOWORD(lp) == HTCLIENT) {
          POINT p{};
          ::GetCursorPos(&p);
          ::ScreenToClient(hwnd, &p);
          const bool overButton = ButtonAt(MAKELPARAM(p.x, p.y)) != Button::None;
          ::SetCursor(::LoadCursorW(nullptr, overButton ? IDC_HAND : IDC_ARROW));
          return TRUE;
        }
        break;
      case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE)
          ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        break;
      case WM_WINDOWPOSCHANGING: {
        auto* pos = reinterpret_cast<WINDOWPOS*>(lp);
        if (!(pos->flags & SWP_NOMOVE) && (pos->x != 0 || pos->y != 0)) {
          const ScreenPoint p = SnapControlPosition({pos->x, pos->y}, WorkAreaOf(hwnd), PrimaryScreen());
          pos->x = p.x;
          pos->y = p.y;
        }
        break;
      }
      case WM_TIMER:
        if (wp == kToTopTimer) KeepOnTopOrHide();
        return 0;
      case WM_DESTROY:
        ::KillTimer(hwnd, kToTopTimer);
        StorePosition();
        break;
      case WM_NCDESTROY:
        hwnd_ = nullptr;
        break;
    }
  } catch (...) {
    // Nothing may escape into the host's message loop.
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace tunelet::win32
