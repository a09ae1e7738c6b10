// The options dialog (Tmainform): the switch of the plug-in, the nine tab
// pages of MainPageControl, the language and home-page buttons, "Сохранить"
// and "Отмена". A modeless dialog on the host's thread, one at a time; it
// frees its windows, pictures and hook when it closes.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "ui/options_texts.h"
#include "ui/win32/options_page.h"

namespace tunelet::win32 {

class OptionsDialog {
 public:
  static constexpr int kClientWidth = 444, kClientHeight = 361;

  OptionsDialog() = default;
  ~OptionsDialog();
  OptionsDialog(const OptionsDialog&) = delete;
  OptionsDialog& operator=(const OptionsDialog&) = delete;

  // What the pages reach; taken by the next Show (every member set).
  void SetServices(const OptionsServices& services) { services_ = services; }

  // Creates, loads and shows the dialog, or brings the open one forward.
  void Show();
  // Closes without saving.
  void Close();
  HWND window() const { return hwnd_; }
  bool IsOpen() const { return hwnd_ != nullptr; }
  // The dialog's messages (through DialogObject).
  INT_PTR HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  // ApplyLanguageToOptions: the language file's texts into every control.
  void ApplyLanguage();
  // The tab shown now (0..8), -1 while closed.
  int CurrentTab() const { return hwnd_ ? current_ : -1; }

 private:
  void OnInit(HWND hwnd);
  void CreateFrameControls();
  void KeepTabsToTwoRows();
  void CreatePages();
  void LoadControls();
  void SelectPage(int tab);
  void OnCommand(int id, int code);
  void bt_saveClick();
  void OpenHomePage();
  void OnDestroyed();
  void FreeRetired();

  OptionsServices services_;
  HWND hwnd_ = nullptr;
  HWND tabs_ = nullptr;  // MainPageControl
  int current_ = -1;
  // The pages and their kit; those of a dialog closed while a page call was
  // running wait in retired_ until no call is.
  struct PageSet {
    std::unique_ptr<OptionsPageKit> kit;
    std::array<std::unique_ptr<OptionsPage>, kOptionsTabCount> pages;
  };
  std::unique_ptr<OptionsPageKit> kit_;
  std::array<std::unique_ptr<OptionsPage>, kOptionsTabCount> pages_;
  std::vector<PageSet> retired_;
  std::array<HWND, kOptionsTabCount> pageWindows_{};
  UniqueGdiObject languageGlyph_, homePageGlyph_;
  UniqueGdiObject tabFont_;  // MainPageControl's, when the dialog font needs three rows
};

}  // namespace tunelet::win32
