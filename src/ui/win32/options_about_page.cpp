// Tab 7, "О плагине": the version, the scrolling credits and the update
// check's buttons. The page is the update check's view while it exists.
#include "ui/win32/options_about_page.h"

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "common/text.h"
#include "model/maker_site.h"
#include "model/update_view.h"
#include "platform/win32/shell_open.h"
#include "platform/win32/unique_handle.h"
#include "ui/options_about.h"
#include "ui/options_controls.h"
#include "ui/win32/options_pages.h"

namespace tunelet::win32 {

namespace {

constexpr wchar_t kCreditsClass[] = L"TCreditsBox";
constexpr UINT_PTR kCreditsTimer = 1;
constexpr int kLineGap = 3;  // pixels between lines
constexpr COLORREF kCreditsBack = RGB(255, 255, 255);
constexpr COLORREF kCreditsFrame = RGB(171, 187, 199);
constexpr COLORREF kPlainColour = RGB(64, 64, 64), kHeadingColour = RGB(0, 0, 0), kLinkColour = RGB(0, 70, 160);
constexpr std::u16string_view kVersionPrefix = u"Version ";
constexpr std::u16string_view kCheckingKey = u"CHECKING";
constexpr std::u16string_view kBuiltInChecking = u"Проверяется...";

// Geometry in the tab's area (about 411 x 246).
constexpr int kLeft = 12, kWidth = 387;
constexpr RECT kCreditsRect{kLeft, 32, kLeft + kWidth, 164};
constexpr int kUpdateTop = 174, kButtonsTop = 202, kButtonWidth = 190, kButtonHeight = 25;

void FillRectWith(HDC dc, const RECT& r, COLORREF colour) {
  ::SetBkColor(dc, colour);
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

// The credits: a box of text lines that move up one pixel per step while
// the box runs; a click anywhere opens the maker's home page.
class CreditsBox {
 public:
  CreditsBox(HFONT font, HFONT bold, std::function<void()> onClick)
      : class_(kCreditsClass, &WindowObject<CreditsBox>::Route, 0, ::LoadCursorW(nullptr, IDC_HAND)),
        font_(font),
        bold_(bold),
        onClick_(std::move(onClick)),
        lines_(CreditsLines()) {}
  ~CreditsBox() {
    if (hwnd_) ::DestroyWindow(hwnd_);
  }
  CreditsBox(const CreditsBox&) = delete;
  CreditsBox& operator=(const CreditsBox&) = delete;

  HWND Create(HWND parent, int id, const RECT& r) {
    if (!class_.Ensure()) return nullptr;
    ::CreateWindowExW(0, kCreditsClass, nullptr, WS_CHILD | WS_VISIBLE, r.left, r.top, r.right - r.left,
                      r.bottom - r.top, parent, reinterpret_cast<HMENU>(INT_PTR(id)), ThisModule(), this);
    if (hwnd_) {
      lineHeight_ = MeasureLineHeight();
      offset_ = InitialCreditsOffset(Height());
    }
    return hwnd_;
  }

  void Start() {
    if (hwnd_) ::SetTimer(hwnd_, kCreditsTimer, kCreditsStepMs, nullptr);
  }
  void Stop() {
    if (hwnd_) ::KillTimer(hwnd_, kCreditsTimer);
  }

  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
      case WM_NCCREATE: hwnd_ = hwnd; break;
      case WM_DESTROY: ::KillTimer(hwnd, kCreditsTimer); break;
      case WM_NCDESTROY: hwnd_ = nullptr; break;
      case WM_TIMER:
        if (wp != kCreditsTimer) break;
        offset_ = NextCreditsOffset(offset_, Height(), TextHeight());
        ::InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
      case WM_ERASEBKGND: return 1;  // WM_PAINT covers every pixel
      case WM_PAINT: {
        PAINTSTRUCT ps;
        if (HDC dc = ::BeginPaint(hwnd, &ps)) {
          PaintBuffered(dc);
          ::EndPaint(hwnd, &ps);
        }
        return 0;
      }
      case WM_LBUTTONUP:
        if (onClick_) onClick_();
        return 0;
      default: break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
  }

 private:
  int Height() const {
    RECT r{};
    ::GetClientRect(hwnd_, &r);
    return r.bottom;
  }
  int TextHeight() const { return int(lines_.size()) * lineHeight_; }

  int MeasureLineHeight() const {
    HDC dc = ::GetDC(hwnd_);
    if (!dc) return 16;
    ScopeExit release([&] { ::ReleaseDC(hwnd_, dc); });
    int height = 0;
    for (HFONT f : {font_, bold_}) {
      const HGDIOBJ old = ::SelectObject(dc, f);
      TEXTMETRICW tm{};
      ::GetTextMetricsW(dc, &tm);
      ::SelectObject(dc, old);
      height = std::max(height, int(tm.tmHeight));
    }
    return height + kLineGap;
  }

  // Drawn off screen first, so that the moving text does not flicker.
  void PaintBuffered(HDC dc) {
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    UniqueGdiObject bitmap(::CreateCompatibleBitmap(dc, client.right, client.bottom));
    if (!memory || !bitmap) {
      Paint(dc, client);
      return;
    }
    const HGDIOBJ old = ::SelectObject(memory.get(), bitmap.get());
    Paint(memory.get(), client);
    ::BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
    ::SelectObject(memory.get(), old);
  }

  void Paint(HDC dc, const RECT& client) {
    FillRectWith(dc, client, kCreditsBack);
    const HGDIOBJ oldFont = ::SelectObject(dc, font_);
    ::SetBkMode(dc, TRANSPARENT);
    int top = CreditsTextTop(offset_, client.bottom);
    for (const CreditsLine& line : lines_) {
      if (top + lineHeight_ > 0 && top < client.bottom && !line.text.empty()) {
        ::SelectObject(dc, line.style == CreditsStyle::Heading ? bold_ : font_);
        ::SetTextColor(dc, line.style == CreditsStyle::Heading ? kHeadingColour
                           : line.style == CreditsStyle::Link  ? kLinkColour
                                                               : kPlainColour);
        RECT r{client.left, top, client.right, top + lineHeight_};
        ::DrawTextW(dc, W(line.text.c_str()), int(line.text.size()), &r, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
      }
      top += lineHeight_;
    }
    ::SelectObject(dc, oldFont);
    // A frame on top, which the text passes under.
    FillRectWith(dc, {0, 0, client.right, 1}, kCreditsFrame);
    FillRectWith(dc, {0, client.bottom - 1, client.right, client.bottom}, kCreditsFrame);
    FillRectWith(dc, {0, 0, 1, client.bottom}, kCreditsFrame);
    FillRectWith(dc, {client.right - 1, 0, client.right, client.bottom}, kCreditsFrame);
  }

  WindowClass class_;
  HWND hwnd_ = nullptr;
  HFONT font_, bold_;  // the kit's
  std::function<void()> onClick_;
  std::vector<CreditsLine> lines_;
  int lineHeight_ = 16;
  int offset_ = 0;
};

class AboutPage final : public OptionsPage, public IUpdateView {
 public:
  explicit AboutPage(OpenWebPage open) : open_(std::move(open)) {}
  ~AboutPage() override { Detach(); }

  void CreateControls(HWND page, OptionsPageKit& kit) override {
    page_ = page;
    kit_ = &kit;
    kit.AddControl(page, WC_STATICW, kVersionPrefix, SS_LEFT, kIdSVersionText, kLeft, 10, kWidth, 15);
    credits_.emplace(kit.font(), kit.boldFont(), [this] { OpenHomePage(); });
    credits_->Create(page, kIdCredits, kCreditsRect);
    kit.AddTableControl(page, WC_BUTTONW, BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, kIdChboxUpdate, kLeft, kUpdateTop,
                        kWidth, 17);
    kit.AddTableControl(page, WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, kIdBtGetUp, kLeft, kButtonsTop,
                        kButtonWidth, kButtonHeight);
    // Disabled until a check finds a newer version.
    kit.AddTableControl(page, WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, kIdBtLoadUp,
                        kLeft + kWidth - kButtonWidth, kButtonsTop, kButtonWidth, kButtonHeight);
    update_ = kit.services().update;
    update_->SetView(this);
    attached_ = true;
  }

  void Load(const PluginSettings& s) override {
    SetControlText(Item(kIdSVersionText), std::u16string(kVersionPrefix) + AsciiToUtf16(s.PluginVersion));
    SetChecked(Item(kIdChboxUpdate), s.Updateonstartup);
  }

  void Store(PluginSettings& s) override { s.Updateonstartup = IsChecked(Item(kIdChboxUpdate)); }

  void ApplyTexts(const IUiTexts& texts) override {
    kit_->ApplyTableTexts(page_, texts);
    // The table's caption of bt_getup must not hide a check under way.
    if (Settings().UpdateCheckPending) ShowCheckPending();
  }

  void Shown() override {
    if (Settings().UpdateCheckPending) ShowCheckPending();
    if (credits_) credits_->Start();
  }
  void Hidden() override {
    if (credits_) credits_->Stop();
  }

  bool HandleMessage(HWND, UINT msg, WPARAM wp, LPARAM, LRESULT* result) override {
    if (msg == WM_DESTROY) {
      // The page goes with the dialog: no more results for it, no more steps.
      if (credits_) credits_->Stop();
      Detach();
      return false;
    }
    if (msg != WM_COMMAND || HIWORD(wp) != BN_CLICKED) return false;
    switch (LOWORD(wp)) {
      case kIdBtGetUp: update_->CheckButtonClicked(); break;
      case kIdBtLoadUp: update_->LoadButtonClicked(); break;
      default: return false;
    }
    *result = 0;
    return true;
  }

  // IUpdateView.
  void SetCheckButton(bool enabled) override { ::EnableWindow(Item(kIdBtGetUp), enabled); }
  void SetCheckCaption(std::u16string_view caption) override { SetControlText(Item(kIdBtGetUp), caption); }
  void SetLoadButton(bool enabled) override { ::EnableWindow(Item(kIdBtLoadUp), enabled); }
  void SetLoadCaption(std::u16string_view caption) override { SetControlText(Item(kIdBtLoadUp), caption); }
  uintptr_t OwnerWindow() const override { return kit_ ? uintptr_t(kit_->dialog()) : 0; }

 private:
  HWND Item(int id) const { return ::GetDlgItem(page_, id); }

  void Detach() {
    if (!attached_) return;
    attached_ = false;
    update_->SetView(nullptr);
  }

  // While a check runs (the one at start included) the button waits for it.
  void ShowCheckPending() {
    std::u16string caption = kit_->services().texts->Text(kCheckingKey);
    if (caption.empty()) caption = kBuiltInChecking;
    SetCheckButton(false);
    SetCheckCaption(caption);
  }

  void OpenHomePage() {
    if (open_) open_(kit_->dialog(), MakerHomePageUrl());
  }

  OpenWebPage open_;
  HWND page_ = nullptr;
  OptionsPageKit* kit_ = nullptr;
  IUpdateCheck* update_ = nullptr;
  bool attached_ = false;
  std::optional<CreditsBox> credits_;
};

void ShellOpenWebPage(HWND owner, const std::u16string& url) { OpenInShell(owner, url); }

}  // namespace

std::unique_ptr<OptionsPage> MakeAboutPage(OpenWebPage open) { return std::make_unique<AboutPage>(std::move(open)); }
std::unique_ptr<OptionsPage> MakeAboutPage() { return MakeAboutPage(&ShellOpenWebPage); }

}  // namespace tunelet::win32
