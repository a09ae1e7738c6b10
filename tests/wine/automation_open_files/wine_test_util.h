// Small helpers of the Wine tests: a temporary folder with files, UTF-8.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tunelet::test {

inline std::string Utf8(std::wstring_view w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

// A folder under the temporary folder, removed with its files.
class TempFolder {
 public:
  explicit TempFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    wchar_t full[MAX_PATH] = {};
    GetLongPathNameW(temp, full, MAX_PATH);
    path_ = std::wstring(full[0] ? full : temp) + L"tunelet_" + name + L"_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TempFolder() {
    WIN32_FIND_DATAW fd;
    HANDLE f = FindFirstFileW((path_ + L"\\*").c_str(), &fd);
    if (f != INVALID_HANDLE_VALUE) {
      do DeleteFileW((path_ + L"\\" + fd.cFileName).c_str());
      while (FindNextFileW(f, &fd));
      FindClose(f);
    }
    RemoveDirectoryW(path_.c_str());
  }
  std::wstring Path(const std::wstring& name) const { return path_ + L"\\" + name; }
  // Writes a file with these bytes and returns its path.
  std::wstring File(const std::wstring& name, std::string_view bytes) const {
    const std::wstring p = Path(name);
    HANDLE f = CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (f != INVALID_HANDLE_VALUE) {
      WriteFile(f, bytes.data(), DWORD(bytes.size()), &written, nullptr);
      CloseHandle(f);
    }
    return p;
  }

 private:
  std::wstring path_;
};

}  // namespace tunelet::test

inline std::u16string U16(const std::wstring& w) { return std::u16string(w.begin(), w.end()); }
