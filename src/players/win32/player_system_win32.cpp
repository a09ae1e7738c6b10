#include <windows.h>

#include "players/win32/player_system_win32.h"

#include "platform/platform.h"
#include "platform/win32/late_bound.h"
#include "platform/win32/unique_handle.h"
#include "platform/wait_budget.h"

namespace tunelet::win32 {

namespace {

constexpr int kMaxWindowTitle = 8192;  // characters; longer titles are cut

HWND AsWindow(uintptr_t w) { return reinterpret_cast<HWND>(w); }

// Only a real window of another process gets a message from us: never the
// broadcast handle (a player's answer may be any number), never 0.
bool IsSendableWindow(HWND w) { return w && w != HWND_BROADCAST && IsWindow(w); }

// The bitness of another process. A 32-bit process (the product) reads only
// 32-bit address spaces; a 64-bit one asks whether the other runs under WOW64.
PointerWidth ProcessPointerWidthOf(HANDLE process) {
#if defined(_WIN64)
  BOOL wow64 = FALSE;
  return IsWow64Process(process, &wow64) && wow64 ? PointerWidth::Bits32 : PointerWidth::Bits64;
#else
  (void)process;
  return PointerWidth::Bits32;
#endif
}

class ProcessMemory : public IProcessMemory {
 public:
  explicit ProcessMemory(UniqueKernelHandle process)
      : process_(std::move(process)), width_(ProcessPointerWidthOf(process_.get())) {}
  std::optional<std::vector<uint8_t>> Read(uintptr_t address, size_t n) override {
    std::vector<uint8_t> bytes(n);
    SIZE_T got = 0;
    if (!ReadProcessMemory(process_.get(), reinterpret_cast<const void*>(address), bytes.data(), n, &got) ||
        got != n)
      return std::nullopt;
    return bytes;
  }
  PointerWidth ProcessPointerWidth() const override { return width_; }

 private:
  UniqueKernelHandle process_;
  PointerWidth width_;
};

}  // namespace

Win32PlayerSystem& PlayerSystem() {
  static Win32PlayerSystem system;
  return system;
}

std::u16string GetProcessImageName(HWND window) {
  DWORD pid = 0;
  if (!GetWindowThreadProcessId(window, &pid) || !pid) return {};
  const std::u16string full = ProcessImagePath(pid);
  const size_t cut = full.find_last_of(u"\\/");
  return cut == std::u16string::npos ? full : full.substr(cut + 1);
}

uintptr_t Win32PlayerSystem::FindTopWindow(std::string_view windowClass, const char* title) {
  const std::string cls(windowClass);
  return reinterpret_cast<uintptr_t>(FindWindowA(cls.c_str(), title));
}

std::u16string Win32PlayerSystem::ProcessImageName(uintptr_t window) {
  return GetProcessImageName(AsWindow(window));
}

std::optional<intptr_t> Win32PlayerSystem::SendBounded(uintptr_t window, uint32_t message, uintptr_t wParam,
                                                       intptr_t lParam) {
  const HWND w = AsWindow(window);
  if (!IsSendableWindow(w)) return std::nullopt;
  const uint32_t wait = AllowedWaitMs(kPlayerAnswerTimeoutMs);
  if (wait == 0) return std::nullopt;  // the tick has waited enough
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(w, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_NORMAL, wait, &result))
    return std::nullopt;
  return intptr_t(result);
}

std::u16string Win32PlayerSystem::WindowTitle(uintptr_t window) {
  // InternalGetWindowText reads the title the system keeps; unlike
  // GetWindowTextLength it never sends the (possibly hung) window a message.
  std::wstring title(kMaxWindowTitle + 1, L'\0');
  const int n = InternalGetWindowText(AsWindow(window), title.data(), kMaxWindowTitle + 1);
  title.resize(n > 0 ? size_t(n) : 0);
  return std::u16string(U(title.c_str()), title.size());
}

std::optional<std::string> Win32PlayerSystem::WindowTextByMessage(uintptr_t window, size_t bufferBytes) {
  const HWND w = AsWindow(window);
  // No window there: an answer, of nothing.
  if (bufferBytes == 0 || !IsSendableWindow(w)) return std::string();
  // A window of our own process on another thread would write into the
  // buffer after a time-out; such a window is no player's.
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == GetCurrentProcessId()) return std::string();
  const uint32_t wait = AllowedWaitMs(kPlayerAnswerTimeoutMs);
  if (wait == 0) return std::nullopt;
  std::string buffer(bufferBytes, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(w, WM_GETTEXT, bufferBytes - 1, reinterpret_cast<LPARAM>(buffer.data()),
                           SMTO_ABORTIFHUNG | SMTO_NORMAL, wait, &copied))
    return std::nullopt;
  buffer.resize(buffer.find('\0') == std::string::npos ? bufferBytes - 1 : buffer.find('\0'));
  return buffer;
}

std::unique_ptr<IProcessMemory> Win32PlayerSystem::OpenProcessMemory(uintptr_t window) {
  DWORD pid = 0;
  if (!GetWindowThreadProcessId(AsWindow(window), &pid) || !pid) return nullptr;
  UniqueKernelHandle process(OpenProcess(PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, pid));
  if (!process) return nullptr;
  return std::make_unique<ProcessMemory>(std::move(process));
}

std::optional<std::vector<uint8_t>> Win32PlayerSystem::ReadSharedMemory(const char* name, size_t n) {
  UniqueKernelHandle mapping(OpenFileMappingA(FILE_MAP_READ, TRUE, name));
  if (!mapping) return std::nullopt;
  UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, n));
  if (!view) return std::nullopt;
  const auto* p = static_cast<const uint8_t*>(view.get());
  return std::vector<uint8_t>(p, p + n);
}

std::u16string Win32PlayerSystem::AnsiToWide(std::string_view bytes) { return platform::MultiByteToWide(bytes, 0); }

}  // namespace tunelet::win32
