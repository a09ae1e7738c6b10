// Tpopform: the popup notification window. Each popup is created on demand,
// never takes the focus, and frees itself when its delay has run out or it is
// clicked. PopupWindows holds what all popups share: the window class and the
// stack's place on the screen.
#pragma once

#include <windows.h>

#include <vector>

#include "model/subsystems.h"
#include "ui/popup.h"
#include "model/ui_texts.h"
#include "ui/win32/window_class.h"

namespace tunelet::win32 {

class PopupWindows {
 public:
  // A left click opens its window through clickTargets.
  PopupWindows(IUserInterface& clickTargets, const IUiTexts& texts);
  // Closes the popups still open: their window procedure is in this DLL.
  ~PopupWindows();
  PopupWindows(const PopupWindows&) = delete;
  PopupWindows& operator=(const PopupWindows&) = delete;

  // Creates and shows one popup of kind 1 (plug-in state) or 2 (track) from
  // the current settings and track; nothing happens for another kind.
  void Show(int kind);

  const PopupStack& stack() const { return stack_; }
  const std::vector<HWND>& OpenPopups() const { return open_; }
  // The GDI objects an open popup holds (its fonts), so that tests can see
  // them released; empty for any other window.
  std::vector<HGDIOBJ> GdiObjectsOf(HWND popup) const;

 private:
  class Popup;
  void Destroyed(HWND hwnd);

  IUserInterface& clickTargets_;
  const IUiTexts& texts_;
  WindowClass class_;
  PopupStack stack_;
  std::vector<HWND> open_;
  Popup* building_ = nullptr;  // the popup being created; cleared when any closes
};

}  // namespace tunelet::win32
