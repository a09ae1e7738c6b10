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

inline const DLGTEMPLATE* AsDialogTemplate(const std::vector<WORD>& t) {
  return reinterpret_cast<const DLGTEMPLATE*>(t.data());
}

}  // namespace tunelet::win32
