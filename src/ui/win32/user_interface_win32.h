// The plug-in's windows as the core and the other subsystems see them
// (IUserInterface): the popups, the control window and QuickInfo. The
// dialogs are later windows; until they land the model's do-nothing defaults
// answer for them.
#pragma once

#include "model/subsystems.h"
#include "model/ui_texts.h"
#include "ui/win32/control_window.h"
#include "ui/win32/popup_window.h"
#include "ui/win32/quick_info_window.h"

namespace tunelet::win32 {

class Win32UserInterface final : public IUserInterface {
 public:
  // The control window sends its commands to players; every window reads
  // its texts from texts (the language file's or the built-in ones).
  Win32UserInterface(IPlayerAccess& players, const IUiTexts& texts)
      : texts_(texts), popups_(*this, texts_), control_(players, *this), quickInfo_(texts_) {}
  void ShowPopup(int kind) override;
  void ResetControlWindowPosition() override;
  void ShowControlWindow() override;
  void CloseControlWindow() override;
  bool IsControlWindowOpen() override { return control_.hwnd() != nullptr; }
  void ShowQuickInfo() override;
  // Closes QuickInfo (the options and language dialogs are not built yet).
  void CloseDialogs() override;

 private:
  const IUiTexts& texts_;
  PopupWindows popups_;  // after texts_, which it reads
  ControlWindow control_;
  QuickInfoWindow quickInfo_;
};

}  // namespace tunelet::win32
