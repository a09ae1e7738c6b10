// The language dialog (Tlangform): the built-in language and every language
// file of "addons\" in a list; "Apply" takes the chosen one. A modeless
// dialog on the host's thread, built from an in-memory template (the system's
// dialog class: nothing of ours to register).
#pragma once

#include <windows.h>

#include <vector>

#include "lang/language_files.h"
#include "model/ini_file.h"
#include "model/subsystems.h"
#include "platform/win32/unique_handle.h"

namespace tunelet::win32 {

class LanguageDialog {
 public:
  // Control ids, for the dialog itself and for tests that drive it.
  static constexpr int kHeadingId = 101, kLineId = 102, kListId = 103, kVersionId = 104;
  static constexpr int kApplyId = 105, kCloseId = IDCANCEL;
  static constexpr int kWidth = 415, kHeight = 196;

  LanguageDialog(ILanguageSystem& system, IIniFile& ini, LanguageTexts& texts, IUserInterface& ui);
  ~LanguageDialog();
  LanguageDialog(const LanguageDialog&) = delete;
  LanguageDialog& operator=(const LanguageDialog&) = delete;

  // Creates and shows the dialog, or brings the open one to the front.
  void Show();
  void Close();
  HWND window() const { return hwnd_; }
  // The dialog's messages (through DialogObject).
  INT_PTR HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  void OnInit(HWND hwnd);
  void CreateControls();
  void AddHints();
  void FillList();
  void OnSelectionChanged();
  void OnApply();
  int SelectedRow() const;
  void OnDestroyed();

  ILanguageSystem& system_;
  IIniFile& ini_;
  LanguageTexts& texts_;
  IUserInterface& ui_;
  HWND hwnd_ = nullptr;
  HWND list_ = nullptr;
  HWND apply_ = nullptr;
  UniqueHandle<GdiObjectTraits> headingFont_;
  // LanguageFileList: the rows as listed, the built-in one first.
  std::vector<LanguageRow> rows_;
};

}  // namespace tunelet::win32
