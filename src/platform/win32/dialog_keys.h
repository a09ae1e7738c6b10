// The keyboard of the plug-in's modeless dialogs. They live on the host's
// thread, whose message loop knows nothing of them, so while at least one is
// open a WH_GETMESSAGE hook on that thread hands their keyboard messages to
// IsDialogMessageW: Tab walks the controls, Escape cancels, Enter presses the
// default button (a multi-line edit with ES_WANTRETURN keeps its Enter).
#pragma once

#include <windows.h>

namespace tunelet::win32 {

// Called when a dialog is created / destroyed (WM_INITDIALOG, WM_NCDESTROY).
// The hook is set with the first dialog and removed with the last.
void AttachDialogKeys(HWND dialog);
void DetachDialogKeys(HWND dialog);

// Whether the hook is set now (for tests of the dialogs' lifetime).
bool DialogKeysHooked();

}  // namespace tunelet::win32
