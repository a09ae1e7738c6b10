// Tab 8, "Приватность": which players and media-session applications are
// shared, the tracks never shared, how long a pause may last and how often
// the X-status may change. Nothing is kept until "Сохранить".
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/text.h"
#include "ui/options_controls.h"
#include "ui/options_rules.h"
#include "ui/privacy_tab.h"
#include "ui/win32/options_layout.h"
#include "ui/win32/options_pages.h"

namespace tunelet::win32 {

namespace {

// Geometry in the tab's area (about 411 x 228 with the tabs in three rows):
// the list on the left, the patterns on the right, the two numbers across
// the bottom. The heights follow the page's, which the tab rows decide.
constexpr int kLeft = 8, kWidth = 395, kRight = kLeft + kWidth;
constexpr int kLabelTop = 3, kLabelHeight = 28;  // two lines for a long caption
constexpr int kListTop = kLabelTop + kLabelHeight + 2, kListWidth = 190;
constexpr int kRightLeft = kLeft + kListWidth + 8, kRightWidth = kRight - kRightLeft;
constexpr int kPatternsHeight = 54, kSyntaxGap = 4;
constexpr int kBottomMargin = 3, kNumberGap = 4, kNumberStep = 25;
constexpr int kNumberWidth = 56, kNumberHeight = 21, kLabelGap = 8, kNumberLabelHeight = 15;
constexpr int kPauseLimitDigits = 4, kCalmIntervalDigits = 3;

// The list's state images: 1 unticked, 2 ticked.
constexpr UINT kUnticked = INDEXTOSTATEIMAGEMASK(1), kTicked = INDEXTOSTATEIMAGEMASK(2);

std::wstring Wide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }

struct NumberField {
  int label, edit, spin;
  int32_t max;
  int digits;
};
constexpr NumberField kPauseLimit{kIdLbPauseLimit, kIdEPauseLimit, kIdUpDownPauseLimit, kMaxPausedTooLongMinutes,
                                  kPauseLimitDigits};
constexpr NumberField kCalmInterval{kIdLbCalmInterval, kIdECalmInterval, kIdUpDownCalmInterval,
                                    kMaxCalmPublishSeconds, kCalmIntervalDigits};

class PrivacyPage final : public OptionsPage {
 public:
  void CreateControls(HWND page, OptionsPageKit& kit) override {
    page_ = page;
    kit_ = &kit;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&icc);

    RECT area{};
    ::GetClientRect(page, &area);
    const int calmTop = int(area.bottom) - kBottomMargin - kNumberHeight;
    const int pauseTop = calmTop - kNumberStep;
    const int listHeight = pauseTop - kNumberGap - kListTop;

    kit.AddTableControl(page, WC_STATICW, SS_LEFT | SS_NOPREFIX, kIdLbPrivacyPlayers, kLeft, kLabelTop, kListWidth,
                        kLabelHeight);
    list_ = kit.AddTableControl(page, WC_LISTVIEWW,
                                WS_TABSTOP | WS_GROUP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL |
                                    LVS_SHOWSELALWAYS,
                                kIdPrivacyPlayerList, kLeft, kListTop, kListWidth, listHeight, WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(list_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    RECT inside{};
    ::GetClientRect(list_, &inside);
    LVCOLUMNW col{};
    col.mask = LVCF_WIDTH;
    // The list scrolls: the column leaves room for the scroll bar.
    col.cx = int(inside.right) - ::GetSystemMetrics(SM_CXVSCROLL);
    ListView_InsertColumn(list_, 0, &col);

    kit.AddTableControl(page, WC_STATICW, SS_LEFT | SS_NOPREFIX, kIdLbPrivacyExclusions, kRightLeft, kLabelTop,
                        kRightWidth, kLabelHeight);
    const HWND patterns = kit.AddTableControl(
        page, WC_EDITW, WS_TABSTOP | WS_GROUP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
        kIdEPrivacyExclusions, kRightLeft, kListTop, kRightWidth, kPatternsHeight, WS_EX_CLIENTEDGE);
    // Room for every allowed line plus its line break; more is refused at
    // the save with a message rather than cut while typing.
    ::SendMessageW(patterns, EM_LIMITTEXT, (kMaxExclusionPatternChars + 2) * (kMaxExclusionPatterns + 1), 0);
    const int syntaxTop = kListTop + kPatternsHeight + kSyntaxGap;
    kit.AddTableControl(page, WC_STATICW, SS_LEFT | SS_NOPREFIX, kIdLbPrivacyPatternHint, kRightLeft, syntaxTop,
                        kRightWidth, kListTop + listHeight - syntaxTop);

    AddNumberField(kPauseLimit, pauseTop);
    AddNumberField(kCalmInterval, calmTop);
  }

  void Load(const PluginSettings& s) override {
    rows_ = PrivacyListRows(s.Privacy);
    FillList();
    SetControlText(Item(kIdEPrivacyExclusions), ExclusionFieldText(s.Privacy.ExclusionLines));
    SetNumber(kPauseLimit, s.Privacy.PausedTooLongMinutes);
    SetNumber(kCalmInterval, s.Privacy.CalmPublishSeconds);
  }

  bool Validate(HWND owner) override {
    for (const NumberField& f : {kPauseLimit, kCalmInterval}) {
      if (!ParsePrivacyNumber(ControlText(Item(f.edit)), f.max)) {
        Warn(owner, PrivacyRangeMessage(Texts(), f.max));
        return false;
      }
    }
    const ExclusionFieldLines lines = SplitExclusionField(ControlText(Item(kIdEPrivacyExclusions)));
    if (lines.firstTooLong != 0) {
      Warn(owner, PrivacyPatternTooLongMessage(Texts(), lines.firstTooLong));
      return false;
    }
    if (lines.tooMany) {
      Warn(owner, PrivacyTooManyPatternsMessage(Texts()));
      return false;
    }
    return true;
  }

  void Store(PluginSettings& s) override {
    // A list that did not get every row (no memory) leaves the choices as
    // they were rather than switching the missing ones off.
    if (size_t(std::max(ListView_GetItemCount(list_), 0)) == rows_.size()) {
      for (size_t i = 0; i < rows_.size(); ++i)
        rows_[i].shared = ListView_GetItemState(list_, int(i), LVIS_STATEIMAGEMASK) == kTicked;
    }
    StorePrivacyListRows(rows_, s.Privacy);
    s.Privacy.ExclusionLines = SplitExclusionField(ControlText(Item(kIdEPrivacyExclusions))).lines;
    // Validate has passed: both numbers are in range.
    s.Privacy.PausedTooLongMinutes =
        ParsePrivacyNumber(ControlText(Item(kPauseLimit.edit)), kPauseLimit.max).value_or(0);
    s.Privacy.CalmPublishSeconds =
        ParsePrivacyNumber(ControlText(Item(kCalmInterval.edit)), kCalmInterval.max).value_or(0);
  }

  void ApplyTexts(const IUiTexts& texts) override {
    kit_->ApplyTableTexts(page_, texts);
    FitNumberLine(kPauseLimit);
    FitNumberLine(kCalmInterval);
    CaptionRows(texts);
  }

 private:
  HWND Item(int id) const { return ::GetDlgItem(page_, id); }
  const IUiTexts& Texts() const { return *kit_->services().texts; }

  void AddNumberField(const NumberField& f, int top) {
    kit_->AddTableControl(page_, WC_STATICW, SS_LEFT | SS_NOPREFIX, f.label, kLeft, top + 3, kWidth,
                          kNumberLabelHeight);
    const HWND edit =
        kit_->AddTableControl(page_, WC_EDITW, WS_TABSTOP | WS_GROUP | ES_NUMBER | ES_LEFT | ES_AUTOHSCROLL, f.edit,
                              kLeft, top, kNumberWidth, kNumberHeight, WS_EX_CLIENTEDGE);
    ::SendMessageW(edit, EM_LIMITTEXT, WPARAM(f.digits), 0);
    const HWND spin = kit_->AddTableControl(
        page_, UPDOWN_CLASSW, UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, f.spin, 0, 0, 0, 0);
    ::SendMessageW(spin, UDM_SETRANGE32, 0, f.max);
    FitNumberLine(f);
  }

  // The label fits its caption, the edit follows it and the spin sits at the
  // edit's right edge again. A caption too long for the line gives up its
  // end: the field stays whole inside the page.
  void FitNumberLine(const NumberField& f) {
    const HWND edit = Item(f.edit), label = Item(f.label);
    ::SetWindowPos(edit, nullptr, 0, 0, kNumberWidth, kNumberHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceAfterLabel(label, edit, kLabelGap);
    RECT r{};
    ::GetWindowRect(edit, &r);
    ::MapWindowPoints(nullptr, page_, reinterpret_cast<POINT*>(&r), 2);
    if (r.right > kRight) {
      const int editLeft = kRight - kNumberWidth;
      ::SetWindowPos(edit, nullptr, editLeft, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      ::SetWindowPos(label, nullptr, 0, 0, editLeft - kLabelGap - kLeft, kNumberLabelHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::SendMessageW(Item(f.spin), UDM_SETBUDDY, WPARAM(edit), 0);
  }

  void SetNumber(const NumberField& f, int32_t v) {
    SetControlText(Item(f.edit), ToU16(uint32_t(v < 0 || v > f.max ? 0 : v)));
  }

  void FillList() {
    ListView_DeleteAllItems(list_);
    for (size_t i = 0; i < rows_.size(); ++i) {
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = int(i);
      item.pszText = const_cast<wchar_t*>(L"");
      ListView_InsertItem(list_, &item);
      ListView_SetItemState(list_, int(i), rows_[i].shared ? kTicked : kUnticked, LVIS_STATEIMAGEMASK);
    }
    CaptionRows(Texts());
  }

  void CaptionRows(const IUiTexts& texts) {
    const std::u16string browserMark = texts.Text(u"PRIVACY_BROWSER");
    for (size_t i = 0; i < rows_.size(); ++i) {
      std::wstring caption = Wide(PrivacyRowCaption(rows_[i], browserMark));
      ListView_SetItemText(list_, int(i), 0, caption.data());
    }
  }

  void Warn(HWND owner, const std::u16string& text) {
    ::MessageBoxW(owner, Wide(text).c_str(), W(kOptionsMessageCaption.data()), MB_OK | MB_ICONWARNING);
  }

  HWND page_ = nullptr;
  HWND list_ = nullptr;
  OptionsPageKit* kit_ = nullptr;
  std::vector<PrivacyListRow> rows_;
};

}  // namespace

std::unique_ptr<OptionsPage> MakePrivacyPage() { return std::make_unique<PrivacyPage>(); }

}  // namespace tunelet::win32
