// Test-side helpers of the hot-key cases: a temporary folder that stands for
// the plug-in's (Settings().DllPath points into it, so hotkeys.dat is made
// there), hotkeys.dat written as a user's copy would be, and whether another
// program could take a combination.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "model/settings.h"

namespace hotkey_test {

// Whether another window could take the combination now.
inline bool OthersCanRegister(UINT mods, UINT vk) {
  constexpr int kProbeId = 0x7000;
  if (!::RegisterHotKey(nullptr, kProbeId, mods, vk)) return false;
  ::UnregisterHotKey(nullptr, kProbeId);
  return true;
}

class PluginFolder {
 public:
  // Fresh settings whose library lies in %TEMP%\<name>-<process id>.
  explicit PluginFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + name + L"-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    tunelet::ResetSettings();
    dll_ = folder_ + L"\\Tunelet.dll";
    tunelet::Settings().DllPath = reinterpret_cast<const char16_t*>(dll_.c_str());
    ::DeleteFileW(HotKeyFile().c_str());
  }
  ~PluginFolder() {
    ::DeleteFileW(HotKeyFile().c_str());
    ::RemoveDirectoryW(folder_.c_str());
    tunelet::ResetSettings();
  }
  PluginFolder(const PluginFolder&) = delete;
  PluginFolder& operator=(const PluginFolder&) = delete;

  std::wstring HotKeyFile() const { return folder_ + L"\\hotkeys.dat"; }

  // hotkeys.dat holding these bindings (action, text) and nothing else.
  void WriteHotKeyFile(const std::vector<std::pair<int, std::string>>& bindings) const {
    std::string bytes(155, '\0');
    for (const auto& [action, text] : bindings) {
      bytes[size_t(action) * 31] = char(text.size());
      bytes.replace(size_t(action) * 31 + 1, text.size(), text);
    }
    HANDLE f = ::CreateFileW(HotKeyFile().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put = 0;
    ::WriteFile(f, bytes.data(), DWORD(bytes.size()), &put, nullptr);
    ::CloseHandle(f);
  }

 private:
  std::wstring folder_, dll_;
};

}  // namespace hotkey_test
