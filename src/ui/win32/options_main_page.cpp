// Tab 1, "Основные": the X-status mode, the two picture lists of the picture
// mode and the polling interval in seconds.
#include <array>
#include <string>

#include "model/settings.h"
#include "ui/options_controls.h"
#include "ui/options_rules.h"
#include "ui/win32/options_art.h"
#include "ui/win32/options_pages.h"

namespace tunelet::win32 {
namespace {

constexpr int kMargin = 8;
constexpr int kRowHeight = 17;
constexpr int kHeadingTop = 6;
constexpr int kModeLeft = 12, kModeTop = 24, kModeStep = 18;
constexpr int kListLabelLeft = 36, kListLabelWidth = 120;
constexpr int kListLeft = 160, kListWidth = 170;
constexpr int kAudioListTop = 99, kVideoListTop = 125;
// The picture lists: ten rows of 17 pixels, the picture and the name at
// fixed offsets in each row.
constexpr int kPictureRowHeight = 17, kVisibleRows = 10;
constexpr int kPictureLeft = 2, kPictureTop = 1, kNameLeft = 22, kNameTop = 2;
// The framed box fills the rest of the page; the interval row sits in it.
constexpr int kFrameTop = 154;
constexpr int kIntervalLabelLeft = 20, kIntervalLabelWidth = 300;
constexpr int kIntervalLeft = 326, kIntervalWidth = 46, kIntervalHeight = 21;
constexpr int kIntervalDigits = 2;
constexpr int kModeIds[] = {kIdRbToOther, kIdRbPlusAny, kIdRbFromMusic, kIdRbFromAny};

std::u16string ClipboardText(HWND owner) {
  std::u16string text;
  if (!::OpenClipboard(owner)) return text;
  if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const char16_t*>(::GlobalLock(data))) {
      // The block may be larger than its text, which ends at its zero.
      const std::u16string_view block(p, ::GlobalSize(data) / sizeof(char16_t));
      text = block.substr(0, block.find(u'\0'));
      ::GlobalUnlock(data);
    }
  }
  ::CloseClipboard();
  return text;
}

// e_interval takes digits only: ES_NUMBER stops typed ones, this stops a
// paste of anything else.
constexpr wchar_t kOldProcProperty[] = L"TuneletIntervalProc";
LRESULT CALLBACK IntervalEditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  const auto old = reinterpret_cast<WNDPROC>(::GetPropW(hwnd, kOldProcProperty));
  if (msg == WM_PASTE && !IsDigitsOnly(ClipboardText(hwnd))) {
    ::MessageBeep(MB_OK);
    return 0;
  }
  if (msg == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, LONG_PTR(old));
    ::RemovePropW(hwnd, kOldProcProperty);
  }
  return old ? ::CallWindowProcW(old, hwnd, msg, wp, lp) : ::DefWindowProcW(hwnd, msg, wp, lp);
}

void AcceptDigitsOnly(HWND edit) {
  if (!edit) return;
  const LONG_PTR old = ::GetWindowLongPtrW(edit, GWLP_WNDPROC);
  if (::SetPropW(edit, kOldProcProperty, reinterpret_cast<HANDLE>(old)))
    ::SetWindowLongPtrW(edit, GWLP_WNDPROC, LONG_PTR(&IntervalEditProc));
}

class MainPage final : public OptionsPage {
 public:
  void CreateControls(HWND page, OptionsPageKit& kit) override;
  void Load(const PluginSettings& s) override;
  void Store(PluginSettings& s) override;
  void ApplyTexts(const IUiTexts& texts) override { kit_->ApplyTableTexts(page_, texts); }
  void Shown() override { EnablePictureLists(); }
  bool HandleMessage(HWND page, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  HWND AddPictureList(int id, int top);
  void EnablePictureLists();
  void DrawPictureRow(const DRAWITEMSTRUCT& d) const;
  HWND Item(int id) const { return ::GetDlgItem(page_, id); }

  OptionsPageKit* kit_ = nullptr;
  HWND page_ = nullptr;
  UniqueImageList pictures_;
};

void MainPage::CreateControls(HWND page, OptionsPageKit& kit) {
  kit_ = &kit;
  page_ = page;
  pictures_ = XStatusImageList();
  RECT area{};
  ::GetClientRect(page, &area);
  const int width = area.right - 2 * kMargin;
  kit.AddHeading(page, kIdStext2, kMargin, kHeadingTop, width, kRowHeight);
  for (size_t i = 0; i < std::size(kModeIds); ++i) {
    const DWORD style = BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0);
    kit.AddTableControl(page, L"BUTTON", style, kModeIds[i], kModeLeft, kModeTop + int(i) * kModeStep,
                        area.right - kModeLeft - 2, kRowHeight);
  }
  kit.AddTableControl(page, L"STATIC", SS_LEFT | SS_NOPREFIX | WS_GROUP, kIdLbForAudio, kListLabelLeft,
                      kAudioListTop + 3, kListLabelWidth, kRowHeight);
  AddPictureList(kIdComboXstatA, kAudioListTop);
  kit.AddTableControl(page, L"STATIC", SS_LEFT | SS_NOPREFIX, kIdLbForVideo, kListLabelLeft, kVideoListTop + 3,
                      kListLabelWidth, kRowHeight);
  AddPictureList(kIdComboXstatV, kVideoListTop);

  const int frameHeight = area.bottom - kMargin - kFrameTop;
  const int intervalTop = kFrameTop + (frameHeight - kIntervalHeight) / 2 + 3;  // below the frame's top line
  kit.AddControl(page, L"BUTTON", u"", BS_GROUPBOX, 0, kMargin, kFrameTop, width, frameHeight);
  kit.AddTableControl(page, L"STATIC", SS_LEFT | SS_NOPREFIX, kIdLbGlobal, kIntervalLabelLeft, intervalTop + 3,
                      kIntervalLabelWidth, kRowHeight);
  const HWND interval = kit.AddTableControl(page, L"EDIT", WS_TABSTOP | WS_GROUP | ES_NUMBER | ES_LEFT, kIdEInterval,
                                            kIntervalLeft, intervalTop, kIntervalWidth, kIntervalHeight,
                                            WS_EX_CLIENTEDGE);
  ::SendMessageW(interval, EM_LIMITTEXT, kIntervalDigits, 0);
  AcceptDigitsOnly(interval);
  const HWND spin = kit.AddTableControl(page, UPDOWN_CLASSW,
                                        UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                                        kIdUpDown1, 0, 0, 0, 0);
  ::SendMessageW(spin, UDM_SETBUDDY, WPARAM(interval), 0);
  ::SendMessageW(spin, UDM_SETRANGE32, kMinIntervalSeconds, kMaxIntervalSeconds);
}

HWND MainPage::AddPictureList(int id, int top) {
  const HWND list = kit_->AddTableControl(
      page_, L"COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS, id,
      kListLeft, top, kListWidth, kPictureRowHeight);
  // The height of a drop-down list is its closed field's and its list's.
  RECT closed{};
  ::GetWindowRect(list, &closed);
  ::SetWindowPos(list, nullptr, 0, 0, kListWidth, closed.bottom - closed.top + kVisibleRows * kPictureRowHeight + 2,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (std::u16string_view name : XStatusPictureNames) {
    const std::wstring text(name.begin(), name.end());
    ::SendMessageW(list, CB_ADDSTRING, 0, LPARAM(text.c_str()));
  }
  ::SendMessageW(list, CB_SETMINVISIBLE, kVisibleRows, 0);
  return list;
}

void MainPage::Load(const PluginSettings& s) {
  const std::optional<size_t> mode = ModeButtonOfAction(s.Action);
  for (size_t i = 0; i < std::size(kModeIds); ++i) SetChecked(Item(kModeIds[i]), mode == i);
  ::SendMessageW(Item(kIdComboXstatA), CB_SETCURSEL, WPARAM(PictureRowOfSetting(s.Xstat_a)), 0);
  ::SendMessageW(Item(kIdComboXstatV), CB_SETCURSEL, WPARAM(PictureRowOfSetting(s.Xstat_v)), 0);
  const std::u16string seconds = ToU16(uint32_t(std::max(IntervalSecondsOfSetting(s.Refreshinterval), 0)));
  SetControlText(Item(kIdEInterval), seconds);
  EnablePictureLists();
}

void MainPage::Store(PluginSettings& s) {
  for (size_t i = 0; i < std::size(kModeIds); ++i)
    if (IsChecked(Item(kModeIds[i]))) s.Action = kModeActions[i];
  s.Xstat_a = PictureSettingOfRow(int(::SendMessageW(Item(kIdComboXstatA), CB_GETCURSEL, 0, 0)), s.Xstat_a);
  s.Xstat_v = PictureSettingOfRow(int(::SendMessageW(Item(kIdComboXstatV), CB_GETCURSEL, 0, 0)), s.Xstat_v);
  s.Refreshinterval = RefreshIntervalFromText(ControlText(Item(kIdEInterval)), s.Refreshinterval);
}

void MainPage::EnablePictureLists() {
  const bool enabled = IsChecked(Item(kIdRbFromAny));
  for (int id : {kIdLbForAudio, kIdComboXstatA, kIdLbForVideo, kIdComboXstatV}) ::EnableWindow(Item(id), enabled);
}

void MainPage::DrawPictureRow(const DRAWITEMSTRUCT& d) const {
  const bool disabled = d.itemState & ODS_DISABLED;
  const bool selected = (d.itemState & ODS_SELECTED) && !disabled;
  ::FillRect(d.hDC, &d.rcItem, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const int row = int(d.itemID);
  if (row < 0 || row >= kXStatusPictureCount) return;
  if (pictures_)
    ::ImageList_DrawEx(pictures_.get(), row, d.hDC, d.rcItem.left + kPictureLeft, d.rcItem.top + kPictureTop, 0, 0,
                       CLR_NONE, CLR_NONE, disabled ? ILD_BLEND50 : ILD_TRANSPARENT);
  const std::u16string_view name = XStatusPictureNames[size_t(row)];
  ::SetBkMode(d.hDC, TRANSPARENT);
  ::SetTextColor(d.hDC, ::GetSysColor(disabled ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  ::TextOutW(d.hDC, d.rcItem.left + kNameLeft, d.rcItem.top + kNameTop, W(name.data()), int(name.size()));
  if (d.itemState & ODS_FOCUS) ::DrawFocusRect(d.hDC, &d.rcItem);
}

bool MainPage::HandleMessage(HWND, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  switch (msg) {
    case WM_MEASUREITEM: {
      auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      if (m->CtlID != UINT(kIdComboXstatA) && m->CtlID != UINT(kIdComboXstatV)) return false;
      m->itemHeight = kPictureRowHeight;
      *result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      const auto* d = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (d->CtlID != UINT(kIdComboXstatA) && d->CtlID != UINT(kIdComboXstatV)) return false;
      DrawPictureRow(*d);
      *result = TRUE;
      return true;
    }
    case WM_COMMAND:
      if (HIWORD(wp) != BN_CLICKED) return false;
      for (int id : kModeIds)
        if (LOWORD(wp) == id) EnablePictureLists();
      return false;
    default:
      return false;
  }
}

}  // namespace

std::unique_ptr<OptionsPage> MakeMainPage() { return std::make_unique<MainPage>(); }

}  // namespace tunelet::win32
