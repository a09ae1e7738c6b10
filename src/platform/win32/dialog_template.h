// The in-memory template of the plug-in's dialogs: no items (each dialog
// makes its controls in pixels at WM_INITDIALOG), the system's dialog class
// and its usual font, so that the dialogs look alike and nothing of ours is
// registered for them.
#pragma once

#include <windows.h>

#include <vector>

namespace tunelet::win32 {

// DS_SETFONT is added to style; position and size are set in pixels later.
std::vector<WORD> EmptyDialogTemplate(DWORD style, DWORD exStyle, const wchar_t* caption);

// A modeless dialog of that template with no owner, shown and brought to the
// foreground; null when it could not be made. param reaches WM_INITDIALOG.
HWND ShowNewDialog(DWORD style, DWORD exStyle, const wchar_t* caption, DLGPROC proc, LPARAM param);
// Shows an open dialog again and brings it to the foreground.
void BringDialogForward(HWND dialog);

// The dialog procedure of dialogs that belong to objects of T: the object
// given to ShowNewDialog is kept with the dialog, and every message goes to
// T::HandleMessage; nothing thrown there reaches the dialog manager (and the
// host above it). After WM_NCDESTROY the dialog no longer reaches its object.
template <typename T>
struct DialogObject {
  static INT_PTR CALLBACK Route(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) ::SetWindowLongPtrW(hwnd, DWLP_USER, LONG_PTR(lp));
    T* self = reinterpret_cast<T*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    if (msg == WM_NCDESTROY) ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    try {
      return self->HandleMessage(hwnd, msg, wp, lp);
    } catch (...) {
      return FALSE;
    }
  }
};

}  // namespace tunelet::win32
