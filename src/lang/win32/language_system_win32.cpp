#include "lang/win32/language_system_win32.h"

#include <windows.h>

#include "common/text.h"
#include "platform/win32/unique_handle.h"

namespace tunelet::win32 {

const wchar_t kMessageCaption[] = L"Tunelet Plugin";

namespace {
std::wstring Wide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }
std::u16string FromWide(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }

// "*.lng" also matches longer extensions through their short names.
bool HasLanguageExtension(std::wstring_view name) {
  return name.size() > 4 && EqualsIgnoreCase(FromWide(name.substr(name.size() - 4)), u".lng");
}
}  // namespace

std::wstring LoadErrorText(std::u16string_view path) { return L"Error loading " + Wide(path); }

FileAccess Win32LanguageSystem::Probe(std::u16string_view path) {
  const std::wstring p = Wide(path);
  const DWORD attributes = ::GetFileAttributesW(p.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return FileAccess::kMissing;
  // The profile functions give defaults for a file they cannot open; opening
  // it here tells "cannot be read" (locked, denied) from "has no such key".
  UniqueHandle<FileHandleTraits> file(::CreateFileW(p.c_str(), GENERIC_READ,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file) return FileAccess::kReadable;
  const DWORD error = ::GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileAccess::kMissing
                                                                        : FileAccess::kUnreadable;
}

std::u16string Win32LanguageSystem::ReadProfileValue(std::u16string_view path, std::u16string_view section,
                                                     std::u16string_view key, std::u16string_view fallback) {
  const std::wstring file = Wide(path), sect = Wide(section), name = Wide(key);
  // The profile functions cut trailing spaces off a default ("Failed to
  // assign hot key for "), so the fallback is put in here, not passed down.
  static const wchar_t kMissing[] = L"\x01\x02missing";
  std::u16string value = ReadWholeProfileValue([&](char16_t* buffer, size_t size) -> size_t {
    return ::GetPrivateProfileStringW(sect.c_str(), name.c_str(), kMissing, reinterpret_cast<wchar_t*>(buffer),
                                      DWORD(size), file.c_str());
  });
  if (value == FromWide(kMissing)) return std::u16string(fallback);
  return value;
}

std::vector<std::u16string> Win32LanguageSystem::FindLanguageFiles(std::u16string_view folder) {
  std::vector<std::u16string> paths;
  const std::wstring pattern = Wide(folder) + L"*.lng";
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return paths;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && HasLanguageExtension(found.cFileName))
      paths.push_back(std::u16string(folder) + FromWide(found.cFileName));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return paths;
}

std::u16string Win32LanguageSystem::ThroughAnsiCodePage(std::u16string_view text) {
  if (text.empty()) return {};
  const std::wstring wide = Wide(text);
  const int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string narrow(size_t(bytes), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), narrow.data(), bytes, nullptr, nullptr);
  const int chars = ::MultiByteToWideChar(CP_ACP, 0, narrow.data(), bytes, nullptr, 0);
  if (chars <= 0) return {};
  std::wstring back(size_t(chars), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, narrow.data(), bytes, back.data(), chars);
  return FromWide(back);
}

void Win32LanguageSystem::ShowLoadError(std::u16string_view path) {
  ::MessageBoxW(nullptr, LoadErrorText(path).c_str(), kMessageCaption, MB_OK | MB_ICONWARNING | MB_TOPMOST);
}

}  // namespace tunelet::win32
