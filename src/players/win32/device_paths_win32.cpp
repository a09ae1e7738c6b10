#include "players/win32/device_paths_win32.h"

#include <windows.h>

#include "platform/win32/unique_handle.h"

namespace tunelet::win32 {

std::vector<DosDevice> ListDosDevices() {
  constexpr DWORD kBufferChars = 255;
  wchar_t drives[kBufferChars + 1] = {};
  const DWORD length = ::GetLogicalDriveStringsW(kBufferChars, drives);
  std::vector<DosDevice> result;
  if (length == 0 || length > kBufferChars) return result;
  // Entries are "C:\" and a terminator; an empty entry ends the list.
  for (const wchar_t* entry = drives; *entry && entry < drives + length; entry += wcslen(entry) + 1) {
    if (wcslen(entry) < 2) continue;
    const wchar_t drive[3] = {entry[0], entry[1], 0};
    wchar_t device[kBufferChars + 1] = {};
    if (!::QueryDosDeviceW(drive, device, kBufferChars)) continue;
    result.push_back({std::u16string(U(drive)), std::u16string(U(device))});  // first name only
  }
  return result;
}

std::u16string DevicePathToDrivePath(std::u16string_view path) {
  return tunelet::DevicePathToDrivePath(path, ListDosDevices());
}

}  // namespace tunelet::win32
