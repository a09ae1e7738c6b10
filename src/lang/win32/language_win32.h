// The language subsystem as the core and the other subsystems see it
// (ILanguage): loading the configured language file at start and the
// language dialog.
#pragma once

#include "lang/language_texts.h"
#include "lang/win32/language_dialog.h"
#include "lang/win32/language_system_win32.h"
#include "model/ini_file.h"
#include "model/subsystems.h"

namespace tunelet::win32 {

class Win32Language final : public ILanguage {
 public:
  // ini is the plug-in's INI file (Others/Langfile, Others/Firstrun); texts
  // are the language file's texts that every window reads; ui hears when a
  // language was applied.
  Win32Language(IIniFile& ini, LanguageTexts& texts, IUserInterface& ui)
      : ini_(ini), texts_(texts), dialog_(system_, ini, texts, ui) {}
  bool LoadConfiguredLanguage() override;
  void ShowLanguageDialog() override;
  void CloseLanguageDialog() override;
  HWND DialogWindow() const { return dialog_.window(); }

 private:
  Win32LanguageSystem system_;
  IIniFile& ini_;
  LanguageTexts& texts_;
  LanguageDialog dialog_;  // after system_, which it uses
};

}  // namespace tunelet::win32
