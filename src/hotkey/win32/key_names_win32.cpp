#include "hotkey/win32/key_names_win32.h"

#include <windows.h>

namespace tunelet::win32 {

namespace {
constexpr int kKeyNameBufferSize = 256;
}

uint32_t Win32KeyNames::ScanCode(uint8_t virtualKey) const { return ::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC); }

std::u16string Win32KeyNames::KeyNameText(uint32_t keyData) const {
  wchar_t buf[kKeyNameBufferSize] = {};
  const int n = ::GetKeyNameTextW(LONG(keyData), buf, kKeyNameBufferSize);
  if (n <= 0) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(buf), size_t(n < kKeyNameBufferSize ? n : kKeyNameBufferSize - 1));
}

}  // namespace tunelet::win32
