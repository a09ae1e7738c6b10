// Tab 6, "Tunelet Control": the floating control window. Its check box for
// the start and its two buttons act at once, so a Cancel keeps them.
#include "ui/win32/options_pages.h"

#include <commctrl.h>

#include "ui/options_controls.h"

namespace tunelet::win32 {

namespace {

// Geometry in the tab's area (about 411 x 246).
constexpr int kLeft = 12, kWidth = 387, kCheckHeight = 17;
constexpr int kButtonTop = 92, kButtonWidth = 150, kButtonHeight = 25, kButtonGap = 8;

class ControlWindowPage final : public OptionsPage {
 public:
  void CreateControls(HWND page, OptionsPageKit& kit) override {
    page_ = page;
    kit_ = &kit;
    ui_ = kit.services().ui;
    options_ = kit.services().options;
    const HWND heading = kit.AddTableControl(page, WC_STATICW, SS_LEFT, kIdTlcHeading, kLeft, 10, kWidth, 16);
    ::SendMessageW(heading, WM_SETFONT, WPARAM(kit.boldFont()), FALSE);
    constexpr DWORD kCheck = BS_AUTOCHECKBOX | WS_TABSTOP;
    kit.AddTableControl(page, WC_BUTTONW, kCheck | WS_GROUP, kIdChboxTlcOn, kLeft, 36, kWidth, kCheckHeight);
    kit.AddTableControl(page, WC_BUTTONW, kCheck, kIdChboxHideIfTop, kLeft, 58, kWidth, kCheckHeight);
    kit.AddTableControl(page, WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, kIdBtShowHide, kLeft, kButtonTop,
                        kButtonWidth, kButtonHeight);
    kit.AddTableControl(page, WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, kIdBtResetPos,
                        kLeft + kButtonWidth + kButtonGap, kButtonTop, kButtonWidth, kButtonHeight);
  }

  void Load(const PluginSettings& s) override {
    SetChecked(Item(kIdChboxTlcOn), s.Show_tlc);
    SetChecked(Item(kIdChboxHideIfTop), s.Hide_tlc);
  }

  // Show_tlc is stored by its click already.
  void Store(PluginSettings& s) override { s.Hide_tlc = IsChecked(Item(kIdChboxHideIfTop)); }

  void ApplyTexts(const IUiTexts& texts) override { kit_->ApplyTableTexts(page_, texts); }

  bool HandleMessage(HWND, UINT msg, WPARAM wp, LPARAM, LRESULT* result) override {
    if (msg != WM_COMMAND || HIWORD(wp) != BN_CLICKED) return false;
    switch (LOWORD(wp)) {
      case kIdChboxTlcOn: StoreShowControlWindow(); break;
      case kIdBtShowHide: ToggleControlWindow(); break;
      case kIdBtResetPos: ui_->ResetControlWindowPosition(); break;
      default: return false;
    }
    *result = 0;
    return true;
  }

 private:
  HWND Item(int id) const { return ::GetDlgItem(page_, id); }

  void StoreShowControlWindow() {
    Settings().Show_tlc = IsChecked(Item(kIdChboxTlcOn));
    if (options_) options_->SaveShowControlWindow();
  }

  void ToggleControlWindow() {
    if (ui_->IsControlWindowOpen())
      ui_->CloseControlWindow();
    else
      ui_->ShowControlWindow();
  }

  HWND page_ = nullptr;
  OptionsPageKit* kit_ = nullptr;
  IUserInterface* ui_ = nullptr;
  IOptionsStore* options_ = nullptr;
};

}  // namespace

std::unique_ptr<OptionsPage> MakeControlWindowPage() { return std::make_unique<ControlWindowPage>(); }

}  // namespace tunelet::win32
