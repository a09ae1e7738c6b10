// Tab 4, "Всплывающие окна": whether popups are shown and how they look.
#include "ui/win32/options_pages.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/options_controls.h"
#include "ui/options_rules.h"
#include "ui/win32/options_layout.h"

namespace tunelet::win32 {

namespace {

constexpr int kDelayMin = 2, kDelayMax = 15;

// Geometry in the tab's area (about 411 x 246).
constexpr int kLeft = 12, kIndent = 28, kWidth = 387;
constexpr int kCheckHeight = 17, kLabelHeight = 15;
constexpr int kDelayEditWidth = 44, kDelayEditHeight = 21, kLabelGap = 8;

// Everything below popup_on, enabled only while it is checked.
constexpr int kPopupOptions[] = {kIdChboxOnTop,   kIdChboxShadow,   kIdChboxSmooth, kIdLbTransp, kIdTranspBar,
                                 kIdLbTranspLeft, kIdLbTranspRight, kIdLbDelay,     kIdEPopupDelay, kIdUpDown2};

class PopupsPage final : public OptionsPage {
 public:
  void CreateControls(HWND page, OptionsPageKit& kit) override {
    page_ = page;
    kit_ = &kit;
    constexpr DWORD kCheck = BS_AUTOCHECKBOX | WS_TABSTOP;
    const HWND heading = kit.AddTableControl(page, WC_STATICW, SS_LEFT, kIdStext6, kLeft, 10, kWidth, 16);
    ::SendMessageW(heading, WM_SETFONT, WPARAM(kit.boldFont()), FALSE);
    kit.AddTableControl(page, WC_BUTTONW, kCheck | WS_GROUP, kIdPopupOn, kLeft, 34, kWidth, kCheckHeight);
    kit.AddTableControl(page, WC_BUTTONW, kCheck, kIdChboxOnTop, kIndent, 58, kWidth - 16, kCheckHeight);
    kit.AddTableControl(page, WC_BUTTONW, kCheck, kIdChboxShadow, kIndent, 80, kWidth - 16, kCheckHeight);
    kit.AddTableControl(page, WC_BUTTONW, kCheck, kIdChboxSmooth, kIndent, 102, kWidth - 16, kCheckHeight);

    kit.AddTableControl(page, WC_STATICW, SS_LEFT, kIdLbTransp, kIndent, 132, kWidth - 16, kLabelHeight);
    kit.AddTableControl(page, WC_STATICW, SS_RIGHT, kIdLbTranspLeft, kIndent, 157, 30, kLabelHeight);
    const HWND bar = kit.AddTableControl(page, TRACKBAR_CLASSW, TBS_HORZ | TBS_BOTTOM | TBS_AUTOTICKS | WS_TABSTOP,
                                         kIdTranspBar, 62, 150, 290, 30);
    kit.AddTableControl(page, WC_STATICW, SS_LEFT, kIdLbTranspRight, 356, 157, 30, kLabelHeight);
    ::SendMessageW(bar, TBM_SETRANGEMIN, FALSE, kTranspSliderMin);
    ::SendMessageW(bar, TBM_SETRANGEMAX, FALSE, kTranspSliderMax);
    ::SendMessageW(bar, TBM_SETTICFREQ, kTranspSliderTick, 0);
    ::SendMessageW(bar, TBM_SETPAGESIZE, 0, kTranspSliderTick);

    kit.AddTableControl(page, WC_STATICW, SS_LEFT, kIdLbDelay, kIndent, 201, 150, kLabelHeight);
    kit.AddTableControl(page, WC_EDITW, ES_READONLY | ES_NUMBER | WS_TABSTOP, kIdEPopupDelay, 180, 198,
                        kDelayEditWidth, kDelayEditHeight, WS_EX_CLIENTEDGE);
    const HWND spin = kit.AddTableControl(
        page, UPDOWN_CLASSW, UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, kIdUpDown2, 0, 0, 0, 0);
    ::SendMessageW(spin, UDM_SETRANGE32, kDelayMin, kDelayMax);
    FitDelayLine();
  }

  void Load(const PluginSettings& s) override {
    SetChecked(Item(kIdPopupOn), s.PopupsOn);
    SetChecked(Item(kIdChboxOnTop), s.Alwaysontop);
    SetChecked(Item(kIdChboxSmooth), s.Smooth);
    SetChecked(Item(kIdChboxShadow), s.Shadow);
    ::SendMessageW(Item(kIdTranspBar), TBM_SETPOS, TRUE, TranspSliderPosition(s.Transp));
    // The spin writes the number into its buddy, e_popupdelay.
    ::SendMessageW(Item(kIdUpDown2), UDM_SETPOS32, 0, std::clamp(int(s.Delay), kDelayMin, kDelayMax));
    ApplyEnabling();
  }

  void Store(PluginSettings& s) override {
    s.PopupsOn = IsChecked(Item(kIdPopupOn));
    s.Alwaysontop = IsChecked(Item(kIdChboxOnTop));
    s.Shadow = IsChecked(Item(kIdChboxShadow));
    s.Smooth = IsChecked(Item(kIdChboxSmooth));
    // s still holds the setting the slider was loaded from.
    s.Transp = TranspFromSlider(int(::SendMessageW(Item(kIdTranspBar), TBM_GETPOS, 0, 0)), s.Transp);
    // e_popupdelay's number, read through its spin (which keeps it in range).
    s.Delay = int32_t(::SendMessageW(Item(kIdUpDown2), UDM_GETPOS32, 0, 0));
  }

  void ApplyTexts(const IUiTexts& texts) override {
    if (!kit_) return;
    kit_->ApplyTableTexts(page_, texts);
    FitDelayLine();
  }

  void Shown() override { ApplyEnabling(); }

  bool HandleMessage(HWND, UINT msg, WPARAM wp, LPARAM, LRESULT* result) override {
    if (msg == WM_COMMAND && LOWORD(wp) == kIdPopupOn && HIWORD(wp) == BN_CLICKED) {
      ApplyEnabling();
      *result = 0;
      return true;
    }
    return false;
  }

 private:
  HWND Item(int id) const { return ::GetDlgItem(page_, id); }

  void ApplyEnabling() {
    const bool on = IsChecked(Item(kIdPopupOn));
    for (int id : kPopupOptions) ::EnableWindow(Item(id), on);
  }

  // lb_delay fits its caption, the edit follows it and the spin sits at the
  // edit's right edge again.
  void FitDelayLine() {
    const HWND edit = Item(kIdEPopupDelay);
    ::SetWindowPos(edit, nullptr, 0, 0, kDelayEditWidth, kDelayEditHeight,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceAfterLabel(Item(kIdLbDelay), edit, kLabelGap);
    ::SendMessageW(Item(kIdUpDown2), UDM_SETBUDDY, WPARAM(edit), 0);
  }

  HWND page_ = nullptr;
  OptionsPageKit* kit_ = nullptr;
};

}  // namespace

std::unique_ptr<OptionsPage> MakePopupsPage() { return std::make_unique<PopupsPage>(); }

}  // namespace tunelet::win32
