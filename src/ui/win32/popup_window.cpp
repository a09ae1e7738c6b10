#include "ui/win32/popup_window.h"

#include <algorithm>
#include <memory>
#include <string>

#include "model/settings.h"
#include "platform/platform.h"
#include "platform/win32/unique_handle.h"
#include "ui/win32/paint.h"

namespace tunelet::win32 {

namespace {

constexpr wchar_t kPopupClass[] = L"Tpopform";
constexpr wchar_t kPopupCaption[] = L"Tunelet popup";
constexpr UINT_PTR kCloseTimer = 1;

// The labels of the popup, in client coordinates.
constexpr RECT kTitleRect{8, 6, 8 + 153, 6 + 13};
constexpr RECT kTextRect{15, 25, 15 + 193, 25 + 27};
constexpr RECT kClockRect{168, 2, 168 + 41, 2 + 13};
constexpr int kFontPoints = 8;
constexpr wchar_t kFontFace[] = L"Tahoma";
constexpr COLORREF kTitleColour = RGB(0, 0, 0);
constexpr COLORREF kTextColour = RGB(249, 249, 249);
constexpr COLORREF kClockColour = RGB(255, 255, 255);

// The background: a light title band with a dark badge under the clock, and
// a dark blue body below for the light body text.
constexpr int kBandHeight = 21;
constexpr COLORREF kBandTop = RGB(240, 245, 251), kBandBottom = RGB(198, 214, 233);
constexpr COLORREF kBandEdge = RGB(96, 128, 168);
constexpr COLORREF kBodyTop = RGB(52, 88, 134), kBodyBottom = RGB(18, 34, 60);
constexpr COLORREF kBadge = RGB(34, 58, 92);
constexpr RECT kBadgeRect{165, 2, 212, 17};

void PaintBackground(HDC dc) {
  FillVerticalGradient(dc, {0, 0, kPopupWidth, kBandHeight}, kBandTop, kBandBottom);
  FillSolid(dc, {0, kBandHeight, kPopupWidth, kBandHeight + 1}, kBandEdge);
  FillVerticalGradient(dc, {0, kBandHeight + 1, kPopupWidth, kPopupHeight}, kBodyTop, kBodyBottom);
  // The stock DC brush and pen: nothing to create or free.
  const HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(DC_BRUSH));
  const HGDIOBJ oldPen = ::SelectObject(dc, ::GetStockObject(DC_PEN));
  ::SetDCBrushColor(dc, kBadge);
  ::SetDCPenColor(dc, kBandEdge);
  ::RoundRect(dc, kBadgeRect.left, kBadgeRect.top, kBadgeRect.right, kBadgeRect.bottom, 7, 7);
  ::SelectObject(dc, oldPen);
  ::SelectObject(dc, oldBrush);
}

UniqueGdiObject CreatePopupFont(bool bold) {
  int pixelsPerInch = 96;
  if (HDC screen = ::GetDC(nullptr)) {
    pixelsPerInch = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
  }
  return UniqueGdiObject(::CreateFontW(-::MulDiv(kFontPoints, pixelsPerInch, 72), 0, 0, 0,
                                       bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                       DEFAULT_PITCH | FF_DONTCARE, kFontFace));
}

// Widths of texts in pixels in one font, measured in a memory DC of its own.
class TextMeasure {
 public:
  explicit TextMeasure(HFONT font) : dc_(::CreateCompatibleDC(nullptr)) {
    if (dc_) old_ = ::SelectObject(dc_.get(), font);
  }
  ~TextMeasure() {
    if (dc_) ::SelectObject(dc_.get(), old_);
  }
  TextMeasure(const TextMeasure&) = delete;
  TextMeasure& operator=(const TextMeasure&) = delete;

  int Width(std::u16string_view text) const {
    SIZE size{};
    if (!dc_ || !::GetTextExtentPoint32W(dc_.get(), W(std::u16string(text).c_str()), int(text.size()), &size))
      return 0;
    return size.cx;
  }

 private:
  UniqueMemoryDc dc_;
  HGDIOBJ old_ = nullptr;
};

std::u16string CurrentClockText() {
  wchar_t buf[64] = {};
  if (!::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buf, 64)) return {};
  return ClockText(U(buf));
}

ScreenRect WorkArea() {
  RECT r{};
  if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0))
    r = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  return {r.left, r.top, r.right, r.bottom};
}

UINT PopupClassStyle() {
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof(v);
  const bool known = ::GetVersionExW(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_NT;
  return known && PopupShadowWanted(Settings().Shadow, v.dwMajorVersion, v.dwMinorVersion) ? CS_DROPSHADOW : 0;
}

MouseButton ButtonOf(UINT msg) {
  if (msg == WM_LBUTTONUP) return MouseButton::Left;
  if (msg == WM_RBUTTONUP) return MouseButton::Right;
  return MouseButton::Other;
}

bool Contains(const RECT& r, LPARAM lp) {
  const POINT p{short(LOWORD(lp)), short(HIWORD(lp))};
  return ::PtInRect(&r, p) != FALSE;
}

}  // namespace

// One popup window: its texts and fonts, freed with the window.
class PopupWindows::Popup {
 public:
  Popup(PopupWindows& owner, int kind) : owner_(owner), kind_(kind) {}

  std::u16string TextOfKind(const PluginSettings& s, const TextWidthFunction& width) const {
    switch (kind_) {
      case kStatePopup: return StatePopupText(s.PluginOn, owner_.texts_);
      case kSharingPopup:
        return SharingPopupText(s.SharingPaused.Active(platform::MonotonicMs()), s.SharingPausedUntilClock,
                                owner_.texts_);
      default: return FitPopupText(TrackPopupText(s.Track), width);
    }
  }

  // Fonts and texts; false when a font cannot be made.
  bool Prepare() {
    boldFont_ = CreatePopupFont(true);
    textFont_ = CreatePopupFont(false);
    if (!boldFont_ || !textFont_) return false;
    const PluginSettings& s = Settings();
    const TextMeasure measure(HFONT(textFont_.get()));
    const TextWidthFunction width = [&measure](std::u16string_view t) { return measure.Width(t); };
    title_ = PopupTitle(kind_, s.Track);
    const std::u16string text = TextOfKind(s, width);
    // Broken into lines here rather than by DrawText, so that a cut text
    // ends in "..." on a line the label shows.
    lines_ = PopupTextLines(text, width);
    clock_ = CurrentClockText();
    return true;
  }

  std::vector<HGDIOBJ> GdiObjects() const { return {boldFont_.get(), textFont_.get()}; }

  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    try {
      switch (msg) {
        case WM_MOUSEACTIVATE:
          return MA_NOACTIVATE;
        case WM_ERASEBKGND:
          return 1;  // WM_PAINT covers the whole client area
        case WM_PAINT:
          Paint(hwnd);
          return 0;
        case WM_TIMER:
          if (wp == kCloseTimer) ::DestroyWindow(hwnd);
          return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
        case WM_XBUTTONUP:
          OnMouseUp(hwnd, ButtonOf(msg), lp);
          return 0;
        case WM_NCDESTROY: {
          const LRESULT r = ::DefWindowProcW(hwnd, msg, wp, lp);
          owner_.Destroyed(hwnd);
          delete this;
          return r;
        }
      }
    } catch (...) {
      // Nothing may escape into the host's message loop.
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
  }

 private:
  void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    if (!dc) return;
    PaintBackground(dc);
    ::SetBkMode(dc, TRANSPARENT);
    const HGDIOBJ old = ::SelectObject(dc, boldFont_.get());
    DrawLabel(dc, title_, kTitleRect, kTitleColour, DT_SINGLELINE | DT_END_ELLIPSIS);
    DrawLabel(dc, clock_, kClockRect, kClockColour, DT_SINGLELINE | DT_CENTER);
    ::SelectObject(dc, textFont_.get());
    DrawBodyText(dc);
    ::SelectObject(dc, old);
    ::EndPaint(hwnd, &ps);
  }

  static void DrawLabel(HDC dc, const std::u16string& text, RECT r, COLORREF colour, UINT format) {
    ::SetTextColor(dc, colour);
    ::DrawTextW(dc, W(text.c_str()), int(text.size()), &r, format | DT_NOPREFIX);
  }

  // Its lines, one below the other, centred vertically in the label.
  void DrawBodyText(HDC dc) {
    TEXTMETRICW metrics{};
    if (!::GetTextMetricsW(dc, &metrics)) return;
    const int lineHeight = metrics.tmHeight;
    const int spare = (kTextRect.bottom - kTextRect.top) - lineHeight * int(lines_.size());
    RECT line = kTextRect;
    line.top += std::max(spare, 0) / 2;
    const int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, kTextRect.left, kTextRect.top, kTextRect.right, kTextRect.bottom);
    for (const std::u16string& text : lines_) {
      line.bottom = line.top + lineHeight;
      DrawLabel(dc, text, line, kTextColour, DT_SINGLELINE);
      line.top = line.bottom;
    }
    ::RestoreDC(dc, saved);
  }

  void OnMouseUp(HWND hwnd, MouseButton button, LPARAM lp) {
    if (Contains(kClockRect, lp)) return;  // the clock does not react to the mouse
    const PopupClick action = PopupClickAction(kind_, button, !IsEmpty(Settings().Track.FilePath));
    if (action == PopupClick::Nothing) return;
    IUserInterface& targets = owner_.clickTargets_;
    // Closed first: the window opened next may run a message loop of its own,
    // and this object is gone once the window is.
    ::DestroyWindow(hwnd);
    if (action == PopupClick::OpenOptionsThenClose) targets.ShowOptionsDialog();
    if (action == PopupClick::OpenQuickInfoThenClose) targets.ShowQuickInfo();
  }

  PopupWindows& owner_;
  const int kind_;
  UniqueGdiObject boldFont_, textFont_;
  std::u16string title_, clock_;
  std::vector<std::u16string> lines_;  // the body text as the label shows it
};

PopupWindows::PopupWindows(IUserInterface& clickTargets, const IUiTexts& texts)
    : clickTargets_(clickTargets),
      texts_(texts),
      class_(kPopupClass, &WindowObject<Popup>::Route, 0) {}

PopupWindows::~PopupWindows() {
  // Each destroy removes its window from open_.
  while (!open_.empty()) {
    const HWND hwnd = open_.back();
    if (!::DestroyWindow(hwnd)) Destroyed(hwnd);
  }
}

void PopupWindows::Show(int kind) {
  if (kind != kStatePopup && kind != kTrackPopup && kind != kSharingPopup) return;
  const PluginSettings& s = Settings();
  const ScreenRect workArea = WorkArea();
  if (!class_.Ensure()) return;
  auto popup = std::make_unique<Popup>(*this, kind);
  if (!popup->Prepare()) return;

  const ScreenPoint at = PlaceNextPopup(stack_, workArea);
  DWORD exStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_LAYERED;
  if (s.Alwaysontop) exStyle |= WS_EX_TOPMOST;
  building_ = popup.release();  // from here the window owns it
  const HWND hwnd = ::CreateWindowExW(exStyle, class_.name(), kPopupCaption, WS_POPUP, at.x, at.y, kPopupWidth,
                                      kPopupHeight, ::GetDesktopWindow(), nullptr, ThisModule(), building_);
  if (!hwnd) {
    // Not destroyed (that clears building_): the window never took it.
    if (building_) {
      delete std::exchange(building_, nullptr);
      PopupDestroyed(stack_);
    }
    return;
  }
  open_.push_back(hwnd);
  class_.SetStyle(hwnd, PopupClassStyle());
  ::SetTimer(hwnd, kCloseTimer, PopupLifeMs(s.Delay), nullptr);
  if (HRGN region = ::CreateRoundRectRgn(0, 0, kPopupWidth, kPopupHeight, kPopupCornerDiameter,
                                         kPopupCornerDiameter)) {
    // The window owns the region once it is set.
    if (!::SetWindowRgn(hwnd, region, TRUE)) ::DeleteObject(region);
  }
  ::SetLayeredWindowAttributes(hwnd, 0, PopupAlpha(s.Transp), LWA_ALPHA);
  ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  building_ = nullptr;
}

std::vector<HGDIOBJ> PopupWindows::GdiObjectsOf(HWND popup) const {
  if (std::find(open_.begin(), open_.end(), popup) == open_.end()) return {};
  const auto* p = reinterpret_cast<const Popup*>(::GetWindowLongPtrW(popup, GWLP_USERDATA));
  return p ? p->GdiObjects() : std::vector<HGDIOBJ>();
}

void PopupWindows::Destroyed(HWND hwnd) {
  const auto it = std::find(open_.begin(), open_.end(), hwnd);
  if (it != open_.end()) open_.erase(it);
  building_ = nullptr;
  PopupDestroyed(stack_);
}

}  // namespace tunelet::win32
