#include "ui/win32/quick_info_window.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "model/settings.h"
#include "platform/platform.h"
#include "platform/win32/shell_open.h"
#include "platform/win32/unique_handle.h"
#include "ui/win32/paint.h"

namespace tunelet::win32 {

namespace {

constexpr wchar_t kQuickInfoClass[] = L"Tinfoform";
constexpr UINT_PTR kTimer1 = 1;
constexpr wchar_t kFileNameHint[] = L"Открыть папку с файлом";

// Gradient1, the card's background, and Gradient3, the frame behind the cover.
constexpr RECT kCardRect{0, 0, kQuickInfoWidth, kQuickInfoHeight};
constexpr COLORREF kCardTop = RGB(253, 253, 253), kCardBottom = RGB(204, 205, 208), kCardBorder = RGB(126, 129, 133);
constexpr RECT kCoverFrameRect{6, 6, 6 + 101, 6 + 101};
constexpr COLORREF kFrameTop = RGB(253, 253, 253), kFrameBottom = RGB(226, 222, 224), kFrameBorder = RGB(194, 189, 177);
// Shape1, the line above the file name.
constexpr RECT kSeparatorRect{115, 86, 115 + 207, 86 + 1};
constexpr COLORREF kSeparatorColour = RGB(186, 184, 182);

// The card's fonts; heights in pixels.
enum FontId { kTitleFont, kArtistFont, kBoldSmallFont, kVerdanaSmallFont, kTahomaSmallFont, kFontCount };
struct FontSpec {
  const wchar_t* face;
  int pixels;
  bool bold;
};
constexpr FontSpec kFonts[kFontCount] = {
    {L"Tahoma", 11, true}, {L"Verdana", 10, true}, {L"Tahoma", 10, true}, {L"Verdana", 9, false}, {L"Tahoma", 9, false}};

// The labels: fixed size, transparent, one line, no accelerator characters.
struct Label {
  RECT rect;
  FontId font;
  COLORREF colour;
  UINT align;
  std::u16string QuickInfoTexts::*text;
};
constexpr UINT kLeft = DT_LEFT | DT_END_ELLIPSIS, kRight = DT_RIGHT;
const Label kLabels[] = {
    {{115, 8, 115 + 207, 8 + 13}, kTitleFont, RGB(18, 18, 18), kLeft, &QuickInfoTexts::title},
    {{115, 25, 115 + 172, 25 + 12}, kArtistFont, RGB(3, 3, 3), kLeft, &QuickInfoTexts::artist},
    {{288, 25, 288 + 37, 25 + 13}, kBoldSmallFont, RGB(20, 20, 20), kRight, &QuickInfoTexts::time},
    {{115, 38, 115 + 174, 38 + 12}, kVerdanaSmallFont, RGB(35, 35, 35), kLeft, &QuickInfoTexts::album},
    {{295, 39, 295 + 30, 39 + 13}, kTahomaSmallFont, RGB(13, 13, 13), kRight, &QuickInfoTexts::year},
    {{115, 50, 115 + 174, 50 + 12}, kVerdanaSmallFont, RGB(35, 35, 35), kLeft, &QuickInfoTexts::genre},
    {{115, 68, 115 + 207, 68 + 13}, kBoldSmallFont, RGB(27, 36, 39), kLeft, &QuickInfoTexts::fileInfo},
    // A long path loses its middle first, then the end of its file name.
    {QuickInfoWindow::kFileNameRect, kTahomaSmallFont, RGB(69, 64, 56), DT_LEFT | DT_PATH_ELLIPSIS | DT_END_ELLIPSIS,
     &QuickInfoTexts::fileName},
};

UniqueGdiObject MakeFont(const FontSpec& f) {
  return UniqueGdiObject(::CreateFontW(-f.pixels, 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                       DEFAULT_PITCH | FF_DONTCARE, f.face));
}

// The cover's canvas: a 99 x 99 bitmap of its own, so that a picture is
// decoded and scaled once per track, never at a paint.
constexpr size_t kCanvasPixels = size_t(kCoverSize) * kCoverSize;
UniqueGdiObject MakeCanvas(uint32_t*& pixels) {
  void* bits = nullptr;
  UniqueGdiObject canvas = CreateDib32(kCoverSize, kCoverSize, &bits);
  pixels = static_cast<uint32_t*>(bits);
  return canvas;
}

// CS_DROPSHADOW on XP (NT 5.1) and later, whatever the popups' setting says.
UINT QuickInfoClassStyle() {
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof(v);
  const bool known = ::GetVersionExW(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_NT;
  return known && PopupShadowWanted(true, v.dwMajorVersion, v.dwMinorVersion) ? CS_DROPSHADOW : 0;
}

ScreenRect WorkArea() {
  RECT r{};
  if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0))
    r = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  return {r.left, r.top, r.right, r.bottom};
}

void OpenWithShell(const std::u16string& path) {
  OpenInShell(nullptr, path);
}

// The hint of the file name. The tooltip window is owned by the card and
// so is destroyed with it.
void AddFileNameHint(HWND hwnd) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  const HWND tip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr,
                                     ThisModule(), nullptr);
  if (!tip) return;
  TOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by the comctl32 of XP too
  ti.uFlags = TTF_SUBCLASS;
  ti.hwnd = hwnd;
  ti.uId = 1;
  ti.rect = QuickInfoWindow::kFileNameRect;
  ti.lpszText = const_cast<wchar_t*>(kFileNameHint);
  ::SendMessageW(tip, TTM_ADDTOOLW, 0, LPARAM(&ti));
}

POINT PointOf(LPARAM lp) { return {short(LOWORD(lp)), short(HIWORD(lp))}; }

}  // namespace

// What an open card holds; freed when its window is destroyed.
struct QuickInfoWindow::Card {
  UniqueGdiObject fonts[kFontCount];
  UniqueGdiObject canvas;
  uint32_t* canvasPixels = nullptr;  // kCanvasPixels, owned by canvas
  QuickInfoTexts texts;
  bool placeholder = true;  // NOCOVER is shown: no cover file, or one refused or not loaded
  bool coverPressed = false;
  UINT intervalMs = kQuickInfoFirstIntervalMs;

  bool Prepare() {
    for (int i = 0; i < kFontCount; ++i)
      if (!(fonts[i] = MakeFont(kFonts[i]))) return false;
    canvas = MakeCanvas(canvasPixels);
    return canvas && canvasPixels;
  }
};

QuickInfoWindow::QuickInfoWindow(const IUiTexts& texts)
    : texts_(texts),
      class_(kQuickInfoClass, &WindowObject<QuickInfoWindow>::Route, QuickInfoClassStyle()),
      shellOpen_(&OpenWithShell) {}

QuickInfoWindow::~QuickInfoWindow() { Close(); }

void QuickInfoWindow::Show() {
  if (hwnd_) {
    Refresh();
    return;
  }
  if (!class_.Ensure()) return;
  auto card = std::make_unique<Card>();
  if (!card->Prepare()) return;
  card_ = std::move(card);
  const ScreenPoint at = QuickInfoPosition(WorkArea());
  const std::u16string caption(kQuickInfoCaption);
  const HWND hwnd = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, class_.name(), W(caption.c_str()), WS_POPUP,
                                      at.x, at.y, kQuickInfoWidth, kQuickInfoHeight, ::GetDesktopWindow(), nullptr,
                                      ThisModule(), this);
  if (!hwnd) {
    card_.reset();
    return;
  }
  hwnd_ = hwnd;
  AddFileNameHint(hwnd);
  Refresh();
}

void QuickInfoWindow::Refresh() {
  if (!hwnd_ || !card_) return;
  // Timer1 starts again with the interval it has now.
  ::KillTimer(hwnd_, kTimer1);
  ::SetTimer(hwnd_, kTimer1, card_->intervalMs, nullptr);
  card_->texts = CurrentQuickInfoTexts(texts_);
  DrawCover();
  ::InvalidateRect(hwnd_, nullptr, FALSE);
  ::SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
}

void QuickInfoWindow::Close() {
  if (hwnd_) ::DestroyWindow(hwnd_);  // WM_NCDESTROY frees the card
}

bool QuickInfoWindow::ShowsPlaceholder() const { return card_ && card_->placeholder; }

const QuickInfoTexts* QuickInfoWindow::Texts() const { return card_ ? &card_->texts : nullptr; }

std::vector<HGDIOBJ> QuickInfoWindow::GdiObjects() const {
  std::vector<HGDIOBJ> held;
  if (!card_) return held;
  for (const UniqueGdiObject& f : card_->fonts) held.push_back(f.get());
  held.push_back(card_->canvas.get());
  return held;
}

// The track's cover file, a folder picture, or NOCOVER, drawn into the
// canvas once per track and cover file; showing the same again copies the
// pixels drawn before. The canvas is cleared to the frame first, so a
// picture with transparent parts never shows the previous track's cover
// through them.
void QuickInfoWindow::DrawCover() {
  TrackInfo& track = Track();
  const bool hasFile = EnsureCoverFile(track);
  const std::u16string trackPath(View(track.FilePath));
  const std::u16string file = hasFile ? *track.CoverFile : std::u16string();
  const uint32_t fileBytes = hasFile ? platform::FileSizeFromDirectory(file) : 0;
  uint32_t* const canvas = card_->canvasPixels;
  if (drawn_.pixels.size() == kCanvasPixels && drawn_.track == trackPath && drawn_.file == file &&
      drawn_.fileBytes == fileBytes) {
    ::GdiFlush();  // nothing of GDI's may still be writing to the canvas
    std::copy(drawn_.pixels.begin(), drawn_.pixels.end(), canvas);
    card_->placeholder = drawn_.placeholder;
    return;
  }
  const UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  if (!dc) return;
  const HGDIOBJ old = ::SelectObject(dc.get(), card_->canvas.get());
  FillVerticalGradient(dc.get(), {0, 0, kCoverSize, kCoverSize}, kFrameTop, kFrameBottom);
  // A picture that cannot be loaded, or is refused for its size, shows NOCOVER.
  card_->placeholder = !(hasFile && gdiplus_.Ensure() && DrawImageFileStretched(dc.get(), file, kCoverSize, kCoverSize));
  if (card_->placeholder) DrawPlaceholderCover(dc.get());
  ::SelectObject(dc.get(), old);
  ::GdiFlush();
  drawn_ = {trackPath, file, fileBytes, card_->placeholder, std::vector<uint32_t>(canvas, canvas + kCanvasPixels)};
}

void QuickInfoWindow::Paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd_, &ps);
  if (!dc) return;
  FillVerticalGradient(dc, kCardRect, kCardTop, kCardBottom);
  FrameSolid(dc, kCardRect, kCardBorder);
  FillVerticalGradient(dc, kCoverFrameRect, kFrameTop, kFrameBottom);
  FrameSolid(dc, kCoverFrameRect, kFrameBorder);
  if (const UniqueMemoryDc canvas{::CreateCompatibleDC(dc)}) {
    const HGDIOBJ old = ::SelectObject(canvas.get(), card_->canvas.get());
    ::BitBlt(dc, kCoverRect.left, kCoverRect.top, kCoverSize, kCoverSize, canvas.get(), 0, 0, SRCCOPY);
    ::SelectObject(canvas.get(), old);
  }
  FillSolid(dc, kSeparatorRect, kSeparatorColour);
  ::SetBkMode(dc, TRANSPARENT);
  const HGDIOBJ oldFont = ::GetCurrentObject(dc, OBJ_FONT);
  for (const Label& l : kLabels) {
    const std::u16string& text = card_->texts.*l.text;
    RECT r = l.rect;
    ::SelectObject(dc, card_->fonts[l.font].get());
    ::SetTextColor(dc, l.colour);
    ::DrawTextW(dc, W(text.c_str()), int(text.size()), &r, l.align | DT_SINGLELINE | DT_NOPREFIX);
  }
  ::SelectObject(dc, oldFont);
  ::EndPaint(hwnd_, &ps);
}

void QuickInfoWindow::Timer1Tick() {
  POINT p{};
  const HWND under = ::GetCursorPos(&p) ? ::WindowFromPoint(p) : nullptr;
  std::u16string title;
  if (under) {
    wchar_t buf[kQuickInfoTitleCheckLength + 1] = {};
    ::GetWindowTextW(under, buf, int(kQuickInfoTitleCheckLength + 1));
    title = U(buf);
  }
  if (!QuickInfoStays(under ? &title : nullptr)) {
    Close();
    return;
  }
  card_->intervalMs = kQuickInfoRestIntervalMs;
  ::SetTimer(hwnd_, kTimer1, kQuickInfoRestIntervalMs, nullptr);
  ::SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void QuickInfoWindow::OpenCoverFile() {
  const OptText& cover = Track().CoverFile;
  if (!IsEmpty(cover) && shellOpen_) shellOpen_(*cover);
}

void QuickInfoWindow::OnButton(UINT msg, LPARAM lp) {
  const POINT p = PointOf(lp);
  const bool onFileName = ::PtInRect(&kFileNameRect, p), onCover = ::PtInRect(&kCoverRect, p);
  switch (msg) {
    case WM_LBUTTONDOWN:
      if (onFileName) {
        const std::u16string folder = FolderOf(View(Track().FilePath));
        if (!folder.empty() && shellOpen_) shellOpen_(folder);
      } else if (onCover) {
        card_->coverPressed = true;
      } else {
        drag_.Start(hwnd_);  // by its background and labels, with the left button
      }
      break;
    case WM_LBUTTONUP:
      drag_.Stop(hwnd_);
      // The placeholder opens nothing, also in place of a refused picture.
      if (std::exchange(card_->coverPressed, false) && onCover && !card_->placeholder) OpenCoverFile();
      break;
    case WM_RBUTTONUP:
      if (!onFileName && !onCover) Close();
      break;
    case WM_MBUTTONUP:
      if (!onFileName && !onCover) OpenCoverFile();
      break;
  }
}

LRESULT QuickInfoWindow::HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    switch (msg) {
      case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers the whole card
      case WM_PAINT:
        if (!card_) break;
        Paint();
        return 0;
      case WM_TIMER:
        if (wp == kTimer1 && card_) Timer1Tick();
        return 0;
      case WM_LBUTTONDOWN:
      case WM_LBUTTONUP:
      case WM_RBUTTONUP:
      case WM_MBUTTONUP:
        if (card_) OnButton(msg, lp);
        return 0;
      case WM_MOUSEMOVE:
        drag_.Follow(hwnd);
        return 0;
      case WM_SETCURSOR:
        if (LOWORD(lp) == HTCLIENT && card_) {
          POINT p{};
          ::GetCursorPos(&p);
          ::ScreenToClient(hwnd, &p);
          const bool hand = ::PtInRect(&kFileNameRect, p) || (::PtInRect(&kCoverRect, p) && !card_->placeholder);
          ::SetCursor(::LoadCursorW(nullptr, hand ? IDC_HAND : IDC_ARROW));
          return TRUE;
        }
        break;
      case WM_DESTROY:
        ::KillTimer(hwnd, kTimer1);
        break;
      case WM_NCDESTROY: {
        const LRESULT r = ::DefWindowProcW(hwnd, msg, wp, lp);
        hwnd_ = nullptr;
        card_.reset();
        return r;
      }
    }
  } catch (...) {
    // Nothing may escape into the host's message loop.
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace tunelet::win32
