// The plug-in's windows as the core and the other subsystems see them
// (IUserInterface): the popups and the control window. QuickInfo and the
// dialogs are later windows; until they land the model's do-nothing defaults
// answer for them (a click on a popup or on the QuickInfo button included).
#pragma once

#include "model/subsystems.h"
#include "model/ui_texts.h"
#include "ui/win32/control_window.h"
#include "ui/win32/popup_window.h"

namespace tunelet::win32 {

class Win32UserInterface final : public IUserInterface {
 public:
  // The control window sends its commands to players.
  explicit Win32UserInterface(IPlayerAccess& players) : popups_(*this, texts_), control_(players, *this) {}
  void ShowPopup(int kind) override;
  void ResetControlWindowPosition() override;
  void ShowControlWindow() override;
  void CloseControlWindow() override;

 private:
  BuiltInUiTexts texts_;
  PopupWindows popups_;  // after texts_, which it reads
  ControlWindow control_;
};

}  // namespace tunelet::win32
