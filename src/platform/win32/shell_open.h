// Opening a file or a web page with the program the user chose for it.
#pragma once

#include <windows.h>

#include <string_view>

namespace tunelet::win32 {

// Hands target to the shell's "open". Errors (no program for the type, a
// file gone, no browser) are the shell's to show; owner parents its boxes.
void OpenInShell(HWND owner, std::u16string_view target);

}  // namespace tunelet::win32
