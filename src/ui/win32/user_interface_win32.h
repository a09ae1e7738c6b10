// The plug-in's windows as the core and the other subsystems see them
// (IUserInterface): the popups, the control window, QuickInfo and the options
// dialog. (The language dialog is the language subsystem's.)
#pragma once

#include "model/subsystems.h"
#include "model/ui_texts.h"
#include "ui/win32/control_window.h"
#include "ui/win32/options_dialog.h"
#include "ui/win32/popup_window.h"
#include "ui/win32/quick_info_window.h"

namespace tunelet::win32 {

class Win32UserInterface final : public IUserInterface {
 public:
  // The control window sends its commands to players; every window reads
  // its texts from texts (the language file's or the built-in ones).
  Win32UserInterface(IPlayerAccess& players, const IUiTexts& texts)
      : texts_(texts), popups_(*this, texts_), control_(players, *this, texts_), quickInfo_(texts_) {
    AttachOptionsServices({});
  }
  // What the options dialog's controls reach (the subsystems made after this
  // object); a null member keeps its do-nothing default, null ui and texts
  // mean this object and its texts. Taken by the next ShowOptionsDialog.
  void AttachOptionsServices(OptionsServices services);
  void ShowPopup(int kind) override;
  void ResetControlWindowPosition() override;
  void ShowControlWindow() override;
  void CloseControlWindow() override;
  bool IsControlWindowOpen() override { return control_.hwnd() != nullptr; }
  void ShowQuickInfo() override;
  void CoverArrived() override;
  void ShowOptionsDialog() override;
  bool IsOptionsDialogOpen() override { return options_.IsOpen(); }
  void ApplyLanguageToOptions() override;
  // Closes the options dialog (without saving) and QuickInfo.
  void CloseDialogs() override;
  HWND OptionsWindow() const { return options_.window(); }

 private:
  const IUiTexts& texts_;
  PopupWindows popups_;  // after texts_, which it reads
  ControlWindow control_;
  QuickInfoWindow quickInfo_;
  // What stands in for a subsystem the options dialog was not given.
  IHotKeys noHotKeys_;
  ILanguage noLanguage_;
  IUpdateCheck noUpdate_;
  IOptionsStore noOptionsStore_;
  OptionsDialog options_;  // last: it goes first, while what it uses is still there
};

}  // namespace tunelet::win32
