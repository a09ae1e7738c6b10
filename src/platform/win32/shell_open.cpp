#include "platform/win32/shell_open.h"

#include <shellapi.h>

#include <string>

namespace tunelet::win32 {

void OpenInShell(HWND owner, std::u16string_view target) {
  const std::wstring wide(target.begin(), target.end());
  ::ShellExecuteW(owner, nullptr, wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace tunelet::win32
