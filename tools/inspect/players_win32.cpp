// The real system under `tunelet-inspect --players`: the plug-in's own Win32
// routes, the INI file read through the private-profile functions, and the
// process diagnosis the report adds.
#include <windows.h>

#include "players_system.h"

#include "platform/win32/late_bound.h"
#include "platform/win32/unique_handle.h"
#include "players/win32/automation_win32.h"
#include "players/win32/media_session_win32.h"
#include "players/win32/open_files_win32.h"
#include "players/win32/player_system_win32.h"

namespace tunelet::inspect {

namespace {

std::wstring Wide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }

std::u16string SystemMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text ? text : L"", n);
  if (text) ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
    message.pop_back();
  return std::u16string(message.begin(), message.end());
}

class Win32ProcessProbe final : public IProcessProbe {
 public:
  uint32_t ProcessId(uintptr_t window) override {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(reinterpret_cast<HWND>(window), &pid);
    return pid;
  }
  std::u16string ImageNameProblem(uintptr_t window) override {
    const HWND w = reinterpret_cast<HWND>(window);
    if (!::IsWindow(w)) return u"the window is gone";
    const DWORD pid = ProcessId(window);
    if (!pid) return u"the window has no process";
    const platform::ImagePathCall call = win32::ProcessImagePathCall();
    if (call == platform::ImagePathCall::None) return u"PSAPI.dll could not be loaded";
    // The rights the plug-in's read asks for.
    const DWORD access = call == platform::ImagePathCall::FullProcessImageName
                             ? PROCESS_QUERY_LIMITED_INFORMATION
                             : PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
    win32::UniqueKernelHandle process(::OpenProcess(access, FALSE, pid));
    if (!process) {
      const DWORD error = ::GetLastError();
      return u"the process cannot be opened: error " + AsciiToUtf16(std::to_string(error)) + u" " +
             SystemMessage(error);
    }
    return u"the system gives no image path for the process";
  }
};

class ProfileIniReader final : public PlayerProbe::IniReader {
 public:
  explicit ProfileIniReader(std::u16string path) : path_(Wide(path)) {}
  std::optional<std::u16string> Read(std::u16string_view section, std::u16string_view key) override {
    // A default no INI holds tells a missing key from an empty value.
    static const wchar_t kMissing[] = L"\x01\x02missing";
    wchar_t buf[2048] = {};
    const DWORD n = ::GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), kMissing, buf,
                                               DWORD(std::size(buf)), path_.c_str());
    if (std::wstring_view(buf, n) == kMissing) return std::nullopt;
    return std::u16string(reinterpret_cast<const char16_t*>(buf), n);
  }

 private:
  std::wstring path_;
};

}  // namespace

PlayerRoutes SystemPlayerRoutes() {
  return PlayerRoutes{win32::PlayerSystem(), win32::Win32AutomationRoutes(), win32::Win32OpenFileRoutes(),
                      win32::Win32MediaSessionRoute()};
}

IProcessProbe& SystemProcessProbe() {
  static Win32ProcessProbe probe;
  return probe;
}

std::unique_ptr<PlayerProbe::IniReader> IniFileReader(const std::u16string& path) {
  return std::make_unique<ProfileIniReader>(path);
}

std::u16string DefaultIniPath() {
  wchar_t self[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring dir(self, n < MAX_PATH ? n : 0);
  dir.resize(dir.find_last_of(L"\\/") == std::wstring::npos ? 0 : dir.find_last_of(L"\\/") + 1);
  const std::wstring path = dir + L"Tunelet.ini";
  return std::u16string(path.begin(), path.end());
}

bool FileExists(const std::u16string& path) {
  const DWORD a = ::GetFileAttributesW(Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace tunelet::inspect
