// The "Горячие клавиши" tab: the six actions with their combinations
// (HotKeyList), the system's hot-key control as the key box (HotKey1),
// "Назначить" and "Удалить", and the list of the combinations the system
// refuses (KeyList), each list with its context menu. The rules are
// HotKeyTab's (ui/hotkey_tab.h); this page is its view. Everything here acts
// at once: nothing waits for "Сохранить".
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "ui/hotkey_tab.h"
#include "ui/options_controls.h"
#include "ui/options_texts.h"
#include "ui/win32/options_pages.h"

namespace tunelet::win32 {

namespace {

// Layout in the page's client area (about 411 x 246): the action list across
// the page (its captions are long), the key box and the two buttons in a row
// under it, then the unavailable combinations.
constexpr int kLeft = 8, kWidth = 395, kRight = kLeft + kWidth;
constexpr int kHeadingTop = 4, kHeadingHeight = 14;
// The list is made this high, then fitted to its header and every row (one
// per action) in the dialog's font, within kMaxListHeight.
constexpr int kListTop = 21, kListHeight = 123, kMinListHeight = 60, kMaxListHeight = 140;
constexpr int kActionColumnWidth = 250;
constexpr int kRowGap = 5;
constexpr int kKeyBoxWidth = 187, kKeyBoxHeight = 22;
constexpr int kButtonWidth = 98, kButtonHeight = 23, kButtonGap = 6;
constexpr int kUnavailableGap = 6;
constexpr int kKeyListBottom = 243;
constexpr int kKeyListColumns = 3;

constexpr UINT_PTR kScanTimer = 1;
// Each tick runs slices of the scan until its budget is spent (a slow machine
// still makes one), so the thread answers its input between ticks; timer
// messages come only when no input waits.
constexpr UINT kScanTickMs = USER_TIMER_MINIMUM;
constexpr std::chrono::milliseconds kScanTickBudget{25};

// The menu items that carry no language key.
constexpr std::u16string_view kReloadCaption = u"Обновить";
constexpr std::u16string_view kReassignAllCaption = u"Переназначить все";
constexpr std::u16string_view kDeleteAllCaption = u"Удалить все";

std::wstring Wide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }

UINT MessageBoxIcon(HotKeyTabMessage::Icon icon) {
  switch (icon) {
    case HotKeyTabMessage::Icon::kWarning:
      return MB_ICONWARNING;
    case HotKeyTabMessage::Icon::kQuestion:
      return MB_ICONQUESTION;
    default:
      return MB_ICONINFORMATION;
  }
}

// Where a context menu opens: at the mouse, or for the keyboard's menu key
// (the position -1, -1) at the control's top-left corner.
POINT MenuPosition(HWND control, LPARAM lp) {
  const POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  if (at.x != -1 || at.y != -1) return at;
  RECT r{};
  ::GetWindowRect(control, &r);
  return {r.left, r.top};
}

class HotKeysPage final : public OptionsPage, private IHotKeyTabView {
 public:
  ~HotKeysPage() override {
    if (page_ && ::IsWindow(page_)) ::KillTimer(page_, kScanTimer);
  }

  void CreateControls(HWND page, OptionsPageKit& kit) override;
  void Load(const PluginSettings&) override {
    Guarded([&] {
      kit_->services().hotKeys->LoadHotKeySlots();
      tab_->ShowRows();
    });
  }
  void Store(PluginSettings&) override {}  // the tab acts at once
  void ApplyTexts(const IUiTexts& texts) override;
  void Shown() override {
    Guarded([&] {
      tab_->ShowCaptions();
      tab_->ShowRows();
      StartScan();
    });
  }
  void Hidden() override { Guarded([&] { StopScan(); }); }
  bool HandleMessage(HWND page, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  // The page's entry points stop whatever is thrown: the dialog's window
  // procedure and the host's message loop are above them.
  template <typename F>
  void Guarded(F f) {
    if (!tab_) return;
    try {
      f();
    } catch (...) {
    }
  }
  bool HandleCommand(int id, int code);
  bool HandleListNotify(const NMHDR& n);
  void ShowContextMenu(HWND control, LPARAM lp);
  int FitListToRows();
  void StartScan();
  void RunScanTick();
  void StopScan();
  void RefreshCursor();

  // IHotKeyTabView
  void SetColumnCaptions(std::u16string_view action, std::u16string_view combination) override;
  void SetRowCaption(int row, std::u16string_view caption) override { SetCell(row, 0, caption); }
  void SetRowCombination(int row, std::u16string_view text) override { SetCell(row, 1, text); }
  void DeselectRow() override { ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED); }
  Shortcut KeyBox() const override {
    return ShortcutFromKeyBox(LOWORD(::SendMessageW(keyBox_, HKM_GETHOTKEY, 0, 0)));
  }
  void SetKeyBox(Shortcut s) override { ::SendMessageW(keyBox_, HKM_SETHOTKEY, KeyBoxValue(s), 0); }
  void EnableAssign(bool enabled) override { EnableButton(assign_, enabled); }
  void EnableDelete(bool enabled) override { EnableButton(delete_, enabled); }
  void ClearUnavailable() override { ::SendMessageW(keyList_, LB_RESETCONTENT, 0, 0); }
  void AddUnavailable(const std::vector<std::u16string>& texts) override;
  void SetScanning(bool scanning) override {
    scanning_ = scanning;
    RefreshCursor();
  }
  void ShowMessage(const HotKeyTabMessage& m) override {
    ::MessageBoxW(kit_->dialog(), Wide(m.text).c_str(), Wide(m.title).c_str(), MB_OK | MessageBoxIcon(m.icon));
  }
  bool AskYesNo(const HotKeyTabMessage& m) override {
    return ::MessageBoxW(kit_->dialog(), Wide(m.text).c_str(), Wide(m.title).c_str(),
                         MB_YESNO | MessageBoxIcon(m.icon)) == IDYES;
  }

  void SetCell(int row, int column, std::u16string_view text);
  // A button that goes grey while it has the focus (just clicked) hands it to
  // the list, or the keyboard would be left on a disabled window.
  void EnableButton(HWND button, bool enabled) {
    if (!enabled && ::GetFocus() == button) ::SetFocus(list_);
    ::EnableWindow(button, enabled);
  }

  HWND page_ = nullptr, list_ = nullptr, keyBox_ = nullptr, assign_ = nullptr, delete_ = nullptr,
       keyList_ = nullptr;
  OptionsPageKit* kit_ = nullptr;
  std::unique_ptr<HotKeyTab> tab_;
  std::u16string refreshListCaption_{BuiltInCaption(kIdMenuN1)};
  bool scanning_ = false;
};

void HotKeysPage::CreateControls(HWND page, OptionsPageKit& kit) {
  page_ = page;
  kit_ = &kit;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_HOTKEY_CLASS};
  ::InitCommonControlsEx(&icc);

  const HWND heading =
      kit.AddTableControl(page, L"STATIC", SS_LEFT | SS_NOPREFIX, kIdStext4, kLeft, kHeadingTop, kWidth, kHeadingHeight);
  ::SendMessageW(heading, WM_SETFONT, WPARAM(kit.boldFont()), FALSE);

  list_ = kit.AddTableControl(page, WC_LISTVIEWW,
                              WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                              kIdHotKeyList, kLeft, kListTop, kWidth, kListHeight, WS_EX_CLIENTEDGE);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT);
  RECT inside{};
  ::GetClientRect(list_, &inside);
  const int columnWidths[] = {kActionColumnWidth, int(inside.right) - kActionColumnWidth};
  for (int c = 0; c < 2; ++c) {
    LVCOLUMNW col{};
    col.mask = LVCF_WIDTH | LVCF_SUBITEM;
    col.cx = columnWidths[c];
    col.iSubItem = c;
    ListView_InsertColumn(list_, c, &col);
  }
  for (int row = 0; row < kHotKeyTabRows; ++row) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(L"");
    ListView_InsertItem(list_, &item);
  }

  const int rowTop = kListTop + FitListToRows() + kRowGap;
  const int unavailableHeadingTop = rowTop + kKeyBoxHeight + kUnavailableGap;
  const int keyListTop = unavailableHeadingTop + kHeadingHeight + 3;
  keyBox_ = kit.AddControl(page, HOTKEY_CLASSW, u"", WS_TABSTOP, kIdHotKey1, kLeft, rowTop, kKeyBoxWidth,
                           kKeyBoxHeight, WS_EX_CLIENTEDGE);
  const int deleteLeft = kRight - kButtonWidth, assignLeft = deleteLeft - kButtonGap - kButtonWidth;
  assign_ = kit.AddTableControl(page, L"BUTTON", WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, kIdBtRegHotKey,
                                assignLeft, rowTop, kButtonWidth, kButtonHeight);
  delete_ = kit.AddTableControl(page, L"BUTTON", WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, kIdBtDelHotKey,
                                deleteLeft, rowTop, kButtonWidth, kButtonHeight);

  const HWND unavailableHeading = kit.AddTableControl(page, L"STATIC", SS_LEFT | SS_NOPREFIX, kIdStext5, kLeft,
                                                      unavailableHeadingTop, kWidth, kHeadingHeight);
  ::SendMessageW(unavailableHeading, WM_SETFONT, WPARAM(kit.boldFont()), FALSE);
  keyList_ = kit.AddControl(page, L"LISTBOX", u"",
                            WS_TABSTOP | WS_HSCROLL | LBS_MULTICOLUMN | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, kIdKeyList,
                            kLeft, keyListTop, kWidth, kKeyListBottom - keyListTop, WS_EX_CLIENTEDGE);
  ::GetClientRect(keyList_, &inside);
  ::SendMessageW(keyList_, LB_SETCOLUMNWIDTH, WPARAM(inside.right / kKeyListColumns), 0);

  IHotKeyTabView& view = *this;
  tab_ = std::make_unique<HotKeyTab>(*kit.services().hotKeys, view, *kit.services().texts);
  Guarded([&] { tab_->ShowCaptions(); });
}

// Sizes HotKeyList so that its header and every row show without a scroll
// bar; its new height.
int HotKeysPage::FitListToRows() {
  RECT window{}, client{}, row{}, header{};
  ::GetWindowRect(list_, &window);
  ::GetClientRect(list_, &client);
  if (!ListView_GetItemRect(list_, 0, &row, LVIR_BOUNDS) || !::GetWindowRect(ListView_GetHeader(list_), &header))
    return kListHeight;
  const int frame = (window.bottom - window.top) - (client.bottom - client.top);
  const int rows = ListView_GetItemCount(list_);
  const int wanted = frame + (header.bottom - header.top) + rows * (row.bottom - row.top);
  const int height = std::clamp(wanted, kMinListHeight, kMaxListHeight);
  ::SetWindowPos(list_, nullptr, 0, 0, window.right - window.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return height;
}

void HotKeysPage::ApplyTexts(const IUiTexts& texts) {
  Guarded([&] {
    kit_->ApplyTableTexts(page_, texts);
    refreshListCaption_ = LanguageCaption(kIdMenuN1, texts).value_or(std::u16string(BuiltInCaption(kIdMenuN1)));
    tab_->ShowCaptions();
  });
}

bool HotKeysPage::HandleMessage(HWND page, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (!tab_) return false;
  try {
    switch (msg) {
      case WM_COMMAND:
        return HandleCommand(LOWORD(wp), HIWORD(wp));
      case WM_NOTIFY: {
        const auto* n = reinterpret_cast<const NMHDR*>(lp);
        return n && n->hwndFrom == list_ && HandleListNotify(*n);
      }
      case WM_CONTEXTMENU:
        if (HWND(wp) != list_ && HWND(wp) != keyList_) return false;
        ShowContextMenu(HWND(wp), lp);
        return true;
      case WM_TIMER:
        if (wp != kScanTimer) return false;
        RunScanTick();
        return true;
      case WM_SETCURSOR:
        if (!scanning_ || LOWORD(lp) != HTCLIENT) return false;
        ::SetCursor(::LoadCursorW(nullptr, IDC_APPSTARTING));
        *result = TRUE;
        return true;
      case WM_DESTROY:
        ::KillTimer(page, kScanTimer);
        scanning_ = false;
        return false;
      default:
        return false;
    }
  } catch (...) {
    return false;
  }
}

bool HotKeysPage::HandleCommand(int id, int code) {
  const bool clicked = code == BN_CLICKED;  // also a menu item's code (0)
  switch (id) {
    case kIdBtRegHotKey:
      if (clicked) tab_->AssignClicked();
      return clicked;
    case kIdBtDelHotKey:
      if (clicked) tab_->DeleteClicked();
      return clicked;
    case kIdMenuN1:
      StartScan();
      return true;
    case kIdMenuN2:
      tab_->ReloadClicked();
      return true;
    case kIdMenuN4:
      tab_->ReassignAllClicked();
      return true;
    case kIdMenuN5:
      tab_->DeleteAllClicked();
      return true;
    default:
      return false;
  }
}

bool HotKeysPage::HandleListNotify(const NMHDR& n) {
  if (n.code != LVN_ITEMCHANGED) return false;
  const auto& change = reinterpret_cast<const NMLISTVIEW&>(n);
  if (!(change.uChanged & LVIF_STATE) || !((change.uNewState ^ change.uOldState) & LVIS_SELECTED)) return false;
  // Moving the selection deselects the old row first, then selects the new.
  tab_->RowSelected((change.uNewState & LVIS_SELECTED) ? change.iItem : kNoRow);
  return true;
}

void HotKeysPage::ShowContextMenu(HWND control, LPARAM lp) {
  UniqueMenu menu(::CreatePopupMenu());
  if (!menu) return;
  if (control == keyList_) {
    ::AppendMenuW(menu.get(), MF_STRING, kIdMenuN1, Wide(refreshListCaption_).c_str());
  } else {
    ::AppendMenuW(menu.get(), MF_STRING, kIdMenuN2, Wide(kReloadCaption).c_str());
    ::AppendMenuW(menu.get(), MF_STRING, kIdMenuN4, Wide(kReassignAllCaption).c_str());
    ::AppendMenuW(menu.get(), MF_STRING, kIdMenuN5, Wide(kDeleteAllCaption).c_str());
  }
  const POINT at = MenuPosition(control, lp);
  // The chosen item comes back as WM_COMMAND to the page.
  ::TrackPopupMenuEx(menu.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, page_, nullptr);
}

void HotKeysPage::StartScan() {
  tab_->StartScan();
  if (!::SetTimer(page_, kScanTimer, kScanTickMs, nullptr)) tab_->CancelScan();
}

void HotKeysPage::RunScanTick() {
  const auto start = std::chrono::steady_clock::now();
  bool more = true;
  do {
    more = tab_->ScanSlice();
  } while (more && std::chrono::steady_clock::now() - start < kScanTickBudget);
  if (!more) ::KillTimer(page_, kScanTimer);
}

void HotKeysPage::StopScan() {
  ::KillTimer(page_, kScanTimer);
  tab_->CancelScan();
}

// The cursor shows the scan at once, not only when the mouse next moves.
void HotKeysPage::RefreshCursor() {
  POINT at{};
  if (!::GetCursorPos(&at)) return;
  const HWND under = ::WindowFromPoint(at);
  if (under && (under == page_ || ::IsChild(page_, under)))
    ::SendMessageW(under, WM_SETCURSOR, WPARAM(under), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

void HotKeysPage::SetColumnCaptions(std::u16string_view action, std::u16string_view combination) {
  const std::u16string_view captions[] = {action, combination};
  for (int c = 0; c < 2; ++c) {
    std::wstring text = Wide(captions[c]);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = text.data();
    ListView_SetColumn(list_, c, &col);
  }
}

void HotKeysPage::SetCell(int row, int column, std::u16string_view text) {
  std::wstring w = Wide(text);
  ListView_SetItemText(list_, row, column, w.data());
}

void HotKeysPage::AddUnavailable(const std::vector<std::u16string>& texts) {
  ::SendMessageW(keyList_, WM_SETREDRAW, FALSE, 0);
  for (const std::u16string& t : texts) ::SendMessageW(keyList_, LB_ADDSTRING, 0, LPARAM(Wide(t).c_str()));
  ::SendMessageW(keyList_, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(keyList_, nullptr, TRUE);
}

}  // namespace

std::unique_ptr<OptionsPage> MakeHotKeysPage() { return std::make_unique<HotKeysPage>(); }

}  // namespace tunelet::win32
