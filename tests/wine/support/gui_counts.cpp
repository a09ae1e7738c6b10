#include "gui_counts.h"

#include <winternl.h>

namespace {
// The PEB's GdiSharedHandleTable: 24-byte entries, owner process id at 8,
// type at 14, type 0 when free.
constexpr size_t kGdiTableEntries = 0x10000, kGdiEntrySize = 24, kGdiPidOffset = 8, kGdiTypeOffset = 14;
constexpr size_t kPebGdiTableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;
const char* const kGdiTypeNames[32] = {nullptr, "DC", nullptr, nullptr, "region", "bitmap", nullptr, nullptr,
                                       "palette", "colour space", "font", nullptr, nullptr, nullptr, nullptr, nullptr,
                                       "brush", nullptr, nullptr, nullptr, nullptr, "enhanced metafile", nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "pen", nullptr};
}  // namespace

std::array<int, 32> CountGdiHandles() {
  std::array<int, 32> byType{};
  const auto* peb = reinterpret_cast<const BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
  const BYTE* table = *reinterpret_cast<const BYTE* const*>(peb + kPebGdiTableOffset);
  if (!table) return byType;
  const USHORT pid = USHORT(::GetCurrentProcessId());
  for (size_t i = 0; i < kGdiTableEntries; ++i) {
    const BYTE* e = table + i * kGdiEntrySize;
    const USHORT owner = *reinterpret_cast<const USHORT*>(e + kGdiPidOffset);
    if (e[kGdiTypeOffset] != 0 && (owner == 0 || owner == pid)) ++byType[e[kGdiTypeOffset] & 31];
  }
  return byType;
}

namespace {
BOOL CALLBACK CountChild(HWND, LPARAM n) {
  ++*reinterpret_cast<int*>(n);
  return TRUE;
}
BOOL CALLBACK CountOwnWindow(HWND w, LPARAM n) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(w, &pid);
  if (pid != ::GetCurrentProcessId()) return TRUE;
  ++*reinterpret_cast<int*>(n);
  ::EnumChildWindows(w, CountChild, n);
  return TRUE;
}
}  // namespace

int CountWindowsOfProcess() {
  int n = 0;
  ::EnumWindows(CountOwnWindow, LPARAM(&n));
  for (HWND w = nullptr; (w = ::FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr)) != nullptr;)
    CountOwnWindow(w, LPARAM(&n));
  return n;
}

GuiObjects CountGuiObjects() {
  return {::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS),
          ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), CountGdiHandles(), CountWindowsOfProcess()};
}

std::string Describe(const GuiObjects& g) {
  std::string s = "GetGuiResources GDI " + std::to_string(g.gdiReported) + ", USER " +
                  std::to_string(g.userReported) + "; GDI handles " + std::to_string(g.Gdi()) + " (";
  for (size_t t = 0; t < g.gdiByType.size(); ++t)
    if (g.gdiByType[t])
      s += (s.back() == '(' ? "" : ", ") + std::to_string(g.gdiByType[t]) + " " +
           (kGdiTypeNames[t] ? kGdiTypeNames[t] : "type " + std::to_string(t));
  return s + "), windows " + std::to_string(g.windows);
}

