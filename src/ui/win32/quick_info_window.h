// Tinfoform: the QuickInfo card, 329 x 112 in the work area's bottom-right
// corner, with the current track's cover, tags, stream facts and path. At
// most one exists; it is refreshed in place while open, closes by itself
// unless the mouse rests on it, and frees everything it holds when closed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/ui_texts.h"
#include "ui/quick_info.h"
#include "ui/win32/cover_picture.h"
#include "ui/win32/window_class.h"
#include "ui/win32/window_drag.h"

namespace tunelet::win32 {

class QuickInfoWindow {
 public:
  explicit QuickInfoWindow(const IUiTexts& texts);
  ~QuickInfoWindow();  // closes the card: its procedure is in this DLL
  QuickInfoWindow(const QuickInfoWindow&) = delete;
  QuickInfoWindow& operator=(const QuickInfoWindow&) = delete;

  // ShowQuickInfo: refreshes the open card, else creates it at the corner.
  void Show();
  // RefreshQuickInfo: refills the open card from the current track.
  void Refresh();
  void Close();
  HWND hwnd() const { return hwnd_; }

  // Opens a file or folder with the shell's default action; replaceable so
  // that tests can see what would be opened.
  using ShellOpen = std::function<void(const std::u16string&)>;
  void SetShellOpen(ShellOpen open) { shellOpen_ = std::move(open); }
  // What the open card shows and holds, for tests.
  bool ShowsPlaceholder() const;
  const QuickInfoTexts* Texts() const;
  std::vector<HGDIOBJ> GdiObjects() const;  // empty when closed

  // The cover and the file name, in client coordinates.
  static constexpr RECT kCoverRect{7, 7, 7 + kCoverSize, 7 + kCoverSize};
  static constexpr RECT kFileNameRect{115, 93, 115 + 207, 93 + 13};

  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  struct Card;
  // The last cover drawn into a canvas: which track and file it shows and
  // its pixels. It outlives the card, so that showing the same track again
  // decodes nothing; it holds memory only, no GDI object.
  struct DrawnCover {
    std::u16string track, file;
    uint32_t fileBytes = 0;
    bool placeholder = true;
    std::vector<uint32_t> pixels;  // kCoverSize rows from the top, B G R A
  };
  void Paint();
  void DrawCover();
  void Timer1Tick();
  void OnButton(UINT msg, LPARAM lp);
  void OpenCoverFile();

  const IUiTexts& texts_;
  WindowClass class_;
  GdiplusSession gdiplus_;  // before the card, which draws with it
  HWND hwnd_ = nullptr;
  std::unique_ptr<Card> card_;  // what the open window holds
  DrawnCover drawn_;
  ShellOpen shellOpen_;
  WindowDrag drag_;
};

}  // namespace tunelet::win32
