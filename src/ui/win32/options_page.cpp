#include "ui/win32/options_page.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "platform/platform.h"
#include "ui/options_texts.h"

namespace tunelet::win32 {

namespace {
constexpr wchar_t kPageClass[] = L"TntTabSheet";
}

OptionsPageKit::OptionsPageKit(HWND dialog, const OptionsServices& services)
    : dialog_(dialog),
      services_(services),
      font_(reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0))),
      pageClass_(kPageClass, &OptionsPageKit::PageProc, 0) {
  if (!font_) font_ = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  tooltip_.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                                   ThisModule(), nullptr));
  // Multi-line hints (the hot-key list's) need a width.
  if (tooltip_) ::SendMessageW(tooltip_.get(), TTM_SETMAXTIPWIDTH, 0, 400);
}

// The tooltip window is owned by the dialog; it goes first, while the
// dialog still exists.
OptionsPageKit::~OptionsPageKit() = default;

HFONT OptionsPageKit::boldFont() {
  if (!boldFont_) {
    LOGFONTW lf{};
    if (::GetObjectW(font_, sizeof lf, &lf) == sizeof lf) {
      lf.lfWeight = FW_BOLD;
      boldFont_.reset(::CreateFontIndirectW(&lf));
    }
  }
  return boldFont_ ? static_cast<HFONT>(boldFont_.get()) : font_;
}

LRESULT CALLBACK OptionsPageKit::PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(cs->lpCreateParams));
  }
  auto* page = reinterpret_cast<OptionsPage*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCDESTROY) ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  LRESULT result = 0;
  try {
    const PageCallScope call;
    if (page && page->HandleMessage(hwnd, msg, wp, lp, &result)) return result;
  } catch (...) {
    return 0;  // nothing is thrown into the host's message loop
  }
  switch (msg) {
    case WM_ERASEBKGND: {
      // Controls colour themselves from the page's background; a page keeps
      // the dialog's colour unless it says otherwise.
      RECT r{};
      ::GetClientRect(hwnd, &r);
      ::FillRect(reinterpret_cast<HDC>(wp), &r, ::GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_CLOSE:
      // A multi-line edit asks its parent to close on Escape: that is the
      // dialog's Cancel, after this message is done with the page.
      ::PostMessageW(::GetParent(hwnd), WM_COMMAND, IDCANCEL, 0);
      return 0;
    default:
      return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
}

HWND OptionsPageKit::CreatePage(HWND tabControl, const RECT& area, OptionsPage& page) {
  if (!pageClass_.Ensure()) return nullptr;
  // The page is a sibling drawn over the tab control's area: children of a
  // tab control are not reached by IsDialogMessage's Tab walk on every system.
  const HWND parent = ::GetParent(tabControl);
  POINT origin{area.left, area.top};
  ::MapWindowPoints(tabControl, parent, &origin, 1);
  const HWND hwnd = ::CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, nullptr, WS_CHILD | WS_CLIPSIBLINGS,
                                      origin.x, origin.y, area.right - area.left, area.bottom - area.top, parent,
                                      nullptr, ThisModule(), &page);
  if (hwnd) ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return hwnd;
}

HWND OptionsPageKit::AddControl(HWND parent, const wchar_t* windowClass, std::u16string_view text, DWORD style, int id,
                                int left, int top, int width, int height, DWORD exStyle) {
  const std::wstring caption(text.begin(), text.end());
  const HWND c = ::CreateWindowExW(exStyle, windowClass, caption.c_str(), WS_CHILD | WS_VISIBLE | style, left, top,
                                   width, height, parent, reinterpret_cast<HMENU>(INT_PTR(id)), ThisModule(), nullptr);
  if (c) ::SendMessageW(c, WM_SETFONT, WPARAM(font_), FALSE);
  return c;
}

HWND OptionsPageKit::AddTableControl(HWND parent, const wchar_t* windowClass, DWORD style, int id, int left, int top,
                                     int width, int height, DWORD exStyle) {
  const HWND c = AddControl(parent, windowClass, BuiltInCaption(id), style, id, left, top, width, height, exStyle);
  SetHint(c, BuiltInHint(id));
  return c;
}

HWND OptionsPageKit::AddHeading(HWND parent, int id, int left, int top, int width, int height) {
  const HWND c = AddTableControl(parent, L"STATIC", SS_LEFT | SS_NOPREFIX, id, left, top, width, height);
  if (c) ::SendMessageW(c, WM_SETFONT, WPARAM(boldFont()), FALSE);
  return c;
}

void OptionsPageKit::ApplyTableTexts(HWND parent, const IUiTexts& language) {
  for (const auto& t : OptionsControlTexts()) {
    const HWND c = ::GetDlgItem(parent, t.control);
    if (!c) continue;
    if (auto caption = LanguageCaption(t.control, language)) SetControlText(c, *caption);
    if (auto hint = LanguageHint(t.control, language)) SetHint(c, *hint);
  }
}

void OptionsPageKit::SetHint(HWND control, std::u16string_view hint) {
  if (!tooltip_ || !control) return;
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = ::GetParent(control);
  ti.uId = UINT_PTR(control);
  ::SendMessageW(tooltip_.get(), TTM_DELTOOLW, 0, LPARAM(&ti));
  if (hint.empty()) return;
  std::wstring text(hint.begin(), hint.end());
  ti.lpszText = text.data();
  ::SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, LPARAM(&ti));
}

void SetControlText(HWND control, std::u16string_view text) {
  const std::wstring w(text.begin(), text.end());
  ::SetWindowTextW(control, w.c_str());
}

std::u16string ControlText(HWND control) {
  const int n = ::GetWindowTextLengthW(control);
  if (n <= 0) return {};
  std::wstring w(size_t(n) + 1, L'\0');
  const int got = ::GetWindowTextW(control, w.data(), n + 1);
  w.resize(got > 0 ? size_t(got) : 0);
  return std::u16string(w.begin(), w.end());
}

void InsertTabItem(HWND tabControl, int index, std::u16string_view caption) {
  std::wstring text(caption.begin(), caption.end());
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text.data();
  ::SendMessageW(tabControl, TCM_INSERTITEMW, WPARAM(index), LPARAM(&item));
}

void SetTabCaptionAnsi(HWND tabControl, int index, std::u16string_view caption) {
  std::string ansi = platform::WideToMultiByte(caption, CP_ACP);
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = ansi.data();
  ::SendMessageW(tabControl, TCM_SETITEMA, WPARAM(index), LPARAM(&item));
}

bool IsChecked(HWND button) { return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void SetChecked(HWND button, bool checked) {
  ::SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace tunelet::win32
