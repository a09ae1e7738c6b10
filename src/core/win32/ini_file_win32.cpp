#include "core/win32/ini_file_win32.h"

#include <windows.h>

#include "model/settings.h"

namespace tunelet::win32 {

namespace {
std::wstring Wide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }
constexpr DWORD kValueBuffer = 2048;
}  // namespace

std::optional<std::u16string> ProfileIniFile::Read(std::u16string_view section, std::u16string_view key) {
  const std::wstring file = Wide(IniPathFor(Settings().DllPath));
  // A sentinel default tells a missing key from an empty value.
  static const wchar_t kMissing[] = L"\x01\x02missing";
  wchar_t buf[kValueBuffer] = {};
  const DWORD n = ::GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), kMissing, buf,
                                             kValueBuffer, file.c_str());
  if (std::wstring_view(buf, n) == kMissing) return std::nullopt;
  return std::u16string(reinterpret_cast<const char16_t*>(buf), n);
}

void ProfileIniFile::Write(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  const std::wstring file = Wide(IniPathFor(Settings().DllPath));
  ::WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(value).c_str(), file.c_str());
}

}  // namespace tunelet::win32
