#include "lang/win32/language_dialog.h"

#include <commctrl.h>

#include <string>

#include "lang/win32/language_system_win32.h"
#include "model/settings.h"
#include "platform/win32/dialog_keys.h"
#include "platform/win32/dialog_template.h"

namespace tunelet::win32 {

namespace {

constexpr wchar_t kCaption[] = L"Tunelet Plugin Localization";
constexpr wchar_t kHeading[] = L"Choose your language / Выберете язык";

struct Column {
  const wchar_t* title;
  int width;
};
constexpr Column kColumns[] = {{L"Language", 120}, {L"Author", 125}, {L"Info", 140}};

// Layout inside the client area, in pixels.
constexpr int kMargin = 8;
constexpr int kHeadingTop = 6, kHeadingHeight = 16;
constexpr int kLineTop = 25;
constexpr int kListTop = 32;
constexpr int kButtonWidth = 75, kButtonHeight = 23, kButtonGap = 6;
constexpr int kBottomRowHeight = kButtonHeight + 2 * kMargin;

std::wstring Wide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, int id, int x, int y,
           int w, int h) {
  const HWND c = ::CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                                   reinterpret_cast<HMENU>(INT_PTR(id)), ThisModule(), nullptr);
  if (c) ::SendMessageW(c, WM_SETFONT, ::SendMessageW(parent, WM_GETFONT, 0, 0), FALSE);
  return c;
}

}  // namespace

LanguageDialog::LanguageDialog(ILanguageSystem& system, IIniFile& ini, LanguageTexts& texts, IUserInterface& ui)
    : system_(system), ini_(ini), texts_(texts), ui_(ui) {}

LanguageDialog::~LanguageDialog() { Close(); }

void LanguageDialog::Show() {
  if (hwnd_) {
    BringDialogForward(hwnd_);
    return;
  }
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  ShowNewDialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, WS_EX_TOOLWINDOW, kCaption,
                &DialogObject<LanguageDialog>::Route, LPARAM(this));
}

void LanguageDialog::Close() {
  if (hwnd_) ::DestroyWindow(hwnd_);  // WM_NCDESTROY forgets the window and the list
}

INT_PTR LanguageDialog::HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      OnInit(hwnd);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wp) == kApplyId && HIWORD(wp) == BN_CLICKED) OnApply();
      if (LOWORD(wp) == kCloseId) Close();  // the button, Escape and the caption's close box
      return TRUE;
    case WM_NOTIFY: {
      const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
      if (hdr->idFrom == UINT_PTR(kListId) && hdr->code == LVN_ITEMCHANGED) OnSelectionChanged();
      return FALSE;
    }
    case WM_NCDESTROY:
      OnDestroyed();
      return FALSE;
    default:
      return FALSE;
  }
}

void LanguageDialog::OnInit(HWND hwnd) {
  hwnd_ = hwnd;
  const int x = (::GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
  const int y = (::GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  ::SetWindowPos(hwnd, nullptr, x, y, kWidth, kHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  CreateControls();
  AddHints();
  FillList();
  AttachDialogKeys(hwnd);
}

void LanguageDialog::CreateControls() {
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  const int w = client.right - kMargin * 2;
  const int bottomTop = client.bottom - kBottomRowHeight + kMargin;

  const HWND heading = Child(hwnd_, L"STATIC", kHeading, SS_LEFT | SS_NOPREFIX, 0, kHeadingId, kMargin, kHeadingTop,
                             w, kHeadingHeight);
  LOGFONTW lf{};
  if (heading && ::GetObjectW(HGDIOBJ(::SendMessageW(hwnd_, WM_GETFONT, 0, 0)), sizeof(lf), &lf)) {
    lf.lfWeight = FW_BOLD;
    headingFont_.reset(::CreateFontIndirectW(&lf));
    if (headingFont_) ::SendMessageW(heading, WM_SETFONT, WPARAM(headingFont_.get()), FALSE);
  }
  Child(hwnd_, L"STATIC", nullptr, SS_ETCHEDHORZ, 0, kLineId, kMargin, kLineTop, w, 2);

  list_ = Child(hwnd_, WC_LISTVIEWW, nullptr,
                WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, WS_EX_CLIENTEDGE,
                kListId, kMargin, kListTop, w, bottomTop - kMargin - kListTop);
  if (list_) {
    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (int i = 0; i < int(std::size(kColumns)); ++i) {
      LVCOLUMNW c{};
      c.mask = LVCF_TEXT | LVCF_WIDTH;
      c.pszText = const_cast<wchar_t*>(kColumns[i].title);
      c.cx = kColumns[i].width;
      ListView_InsertColumn(list_, i, &c);
    }
  }

  const std::wstring version = Wide(AsciiToUtf16(Settings().PluginVersion));
  Child(hwnd_, L"STATIC", version.c_str(), SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, 0, kVersionId, kMargin, bottomTop,
        client.right / 3, kButtonHeight);
  const int closeLeft = client.right - kMargin - kButtonWidth;
  apply_ = Child(hwnd_, L"BUTTON", L"Apply", WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED, 0, kApplyId,
                 closeLeft - kButtonGap - kButtonWidth, bottomTop, kButtonWidth, kButtonHeight);
  Child(hwnd_, L"BUTTON", L"Close", WS_TABSTOP | BS_PUSHBUTTON, 0, kCloseId, closeLeft, bottomTop, kButtonWidth,
        kButtonHeight);
}

// The hints of the two buttons. The tooltip window is owned by the dialog
// and so goes with it.
void LanguageDialog::AddHints() {
  const HWND tip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                     ThisModule(), nullptr);
  if (!tip) return;
  const struct {
    int id;
    const wchar_t* text;
  } hints[] = {{kApplyId, L"Применить"}, {kCloseId, L"Закрыть"}};
  for (const auto& h : hints) {
    TOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by the comctl32 of XP too
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = hwnd_;
    ti.uId = UINT_PTR(::GetDlgItem(hwnd_, h.id));
    ti.lpszText = const_cast<wchar_t*>(h.text);
    ::SendMessageW(tip, TTM_ADDTOOLW, 0, LPARAM(&ti));
  }
}

void LanguageDialog::FillList() {
  rows_ = ListLanguages(system_, AddonsFolder(Settings().DllPath));
  if (!list_) return;
  for (size_t i = 0; i < rows_.size(); ++i) {
    const std::wstring cells[] = {Wide(rows_[i].language), Wide(rows_[i].author), Wide(rows_[i].info)};
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = int(i);
    item.pszText = const_cast<wchar_t*>(cells[0].c_str());
    const int at = ListView_InsertItem(list_, &item);
    if (at < 0) continue;
    for (int c = 1; c < 3; ++c) ListView_SetItemText(list_, at, c, const_cast<wchar_t*>(cells[c].c_str()));
  }
}

int LanguageDialog::SelectedRow() const { return list_ ? ListView_GetNextItem(list_, -1, LVNI_SELECTED) : -1; }

void LanguageDialog::OnSelectionChanged() {
  if (apply_) ::EnableWindow(apply_, SelectedRow() >= 0);
}

void LanguageDialog::OnApply() {
  const int i = SelectedRow();
  if (i < 0 || size_t(i) >= rows_.size()) return;
  const LanguageRow row = rows_[size_t(i)];  // closing frees the list
  if (!ApplyLanguageRow(row, system_, ini_, texts_)) {
    ::MessageBoxW(hwnd_, LoadErrorText(row.path).c_str(), kMessageCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  Close();
  // An open options dialog takes the file's texts now; after the built-in
  // row it keeps what it shows until it is opened again.
  if (!row.builtIn()) ui_.ApplyLanguageToOptions();
}

void LanguageDialog::OnDestroyed() {
  DetachDialogKeys(hwnd_);
  hwnd_ = list_ = apply_ = nullptr;
  headingFont_.reset();
  rows_.clear();
}

}  // namespace tunelet::win32
