// A white box with a vertical scroll bar whose children scroll with it (the
// "Прочие" tab's settings; fit for any page whose controls outgrow the tab).
// Its children are found with GetDlgItem on the box. Their notifications
// (WM_COMMAND, WM_NOTIFY) go on to the box's parent, so the page handles
// them as if the controls were its own; a control that takes the focus is
// scrolled into view.
#pragma once

#include <windows.h>

#include "platform/win32/window_class.h"

namespace tunelet::win32 {

class ScrollBox {
 public:
  ScrollBox();
  ~ScrollBox();  // destroys the box if its parent has not yet
  ScrollBox(const ScrollBox&) = delete;
  ScrollBox& operator=(const ScrollBox&) = delete;

  // The box over (left, top, width, height) of parent's client area.
  HWND Create(HWND parent, int id, int left, int top, int width, int height);
  HWND hwnd() const { return hwnd_; }
  // The height the children take (from the content's top, unscrolled);
  // sets the scroll bar's range.
  void SetContentHeight(int height);
  int position() const { return position_; }
  void ScrollTo(int position);
  void ScrollIntoView(HWND child);

  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  int ViewHeight() const;
  int MaxPosition() const;
  void UpdateScrollBar();
  void OnVScroll(int request);

  WindowClass class_;
  HWND hwnd_ = nullptr;
  int contentHeight_ = 0;
  int position_ = 0;
  int wheelRest_ = 0;  // wheel movement not yet turned into lines
};

}  // namespace tunelet::win32
