#include "counts.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <cstddef>
#include <cwctype>
#include <map>
#include <vector>
#include <winternl.h>

namespace soak {

namespace {

int CountMessageOnlyWindows(DWORD pid) {
  int n = 0;
  for (HWND w = nullptr; (w = ::FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr)) != nullptr;) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(w, &owner);
    if (owner == pid) ++n;
  }
  return n;
}

struct WindowTally {
  DWORD pid;
  Counts* c;
};

void TallyClass(HWND w, Counts& c) {
  wchar_t cls[64] = {};
  ::GetClassNameW(w, cls, int(std::size(cls)));
  if (!wcscmp(cls, L"Tpopform")) ++c.popups;
  if (!wcscmp(cls, L"Tinfoform")) ++c.quickInfo;
  if (!wcscmp(cls, L"Ttlctrlf")) ++c.controlWindow;
}

BOOL CALLBACK CountChild(HWND, LPARAM p) {
  ++reinterpret_cast<Counts*>(p)->windows;
  return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND w, LPARAM p) {
  auto& t = *reinterpret_cast<WindowTally*>(p);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(w, &owner);
  if (owner != t.pid) return TRUE;
  ++t.c->windows;
  TallyClass(w, *t.c);
  ::EnumChildWindows(w, CountChild, LPARAM(t.c));
  return TRUE;
}

int CountThreads(DWORD pid) {
  const HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 e{};
  e.dwSize = sizeof(e);
  int n = 0;
  for (BOOL ok = ::Thread32First(snap, &e); ok; ok = ::Thread32Next(snap, &e))
    if (e.th32OwnerProcessID == pid) ++n;
  ::CloseHandle(snap);
  return n;
}

#if !defined(_WIN64)
bool UnderWine() { return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }
#endif

using QueryInformationProcess = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

const uint8_t* ProcessEnvironmentBlock() {
  struct BasicInformation {
    LONG exitStatus;
    const uint8_t* peb;
    ULONG_PTR affinity, basePriority, processId, parentProcessId;
  } info{};
  const auto query = reinterpret_cast<QueryInformationProcess>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  constexpr ULONG kProcessBasicInformation = 0;
  if (!query || query(::GetCurrentProcess(), kProcessBasicInformation, &info, sizeof(info), nullptr) < 0)
    return nullptr;
  return info.peb;
}

// The GDI handle table the system maps into every process, found through
// the PEB (GdiSharedHandleTable). An entry whose type is non-zero is live.
// Entries are 24 bytes with the type at byte 14 on x86_64 and in Wine
// (whose entry keeps 64-bit fields on x86 too), 16 bytes with the type at
// byte 10 on x86 Windows. Only the committed part of the table is read.
struct GdiTable {
  int64_t live = -1, dcs = -1;
  std::array<int, 32> byType{};
};

GdiTable CountGdiTableEntries() {
#if defined(_WIN64)
  constexpr size_t kTableOffset = 0xF8;
  const bool wide = true;
#else
  constexpr size_t kTableOffset = 0x94;
  const bool wide = UnderWine();
#endif
  const size_t entrySize = wide ? 24 : 16, typeOffset = wide ? 14 : 10;
  constexpr size_t kMaxEntries = 0x10000;
  const uint8_t* peb = ProcessEnvironmentBlock();
  if (!peb) return {};
  const uint8_t* table = *reinterpret_cast<const uint8_t* const*>(peb + kTableOffset);
  if (!table) return {};
  MEMORY_BASIC_INFORMATION mi{};
  if (!::VirtualQuery(table, &mi, sizeof(mi)) || mi.State != MEM_COMMIT) return {};
  const size_t readable = size_t(static_cast<const uint8_t*>(mi.BaseAddress) + mi.RegionSize - table);
  const size_t entries = std::min(kMaxEntries, readable / entrySize);
  constexpr uint8_t kDcType = 1;  // screen and memory DCs alike
  GdiTable counted{0, 0};
  for (size_t i = 0; i < entries; ++i) {
    const uint8_t type = table[i * entrySize + typeOffset];
    if (type == 0) continue;
    ++counted.live;
    ++counted.byType[type % counted.byType.size()];
    if (type == kDcType) ++counted.dcs;
  }
  return counted;
}

// The system's extended handle list (class 64 of NtQuerySystemInformation),
// counted for this process: Wine's GetProcessHandleCount answers 0.
struct HandleEntry {
  PVOID object;
  ULONG_PTR process;
  ULONG_PTR value;
  ULONG access;
  USHORT creatorBackTraceIndex;
  USHORT objectType;
  ULONG attributes;
  ULONG reserved;
};
struct HandleList {
  ULONG_PTR count;
  ULONG_PTR reserved;
  HandleEntry entries[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

// Calls fn(handle value, object type index) for each handle of this process.
template <typename Fn>
bool ForEachOwnHandle(Fn fn);

DWORD CountHandlesFromSystemList() {
  DWORD mine = 0;
  return ForEachOwnHandle([&](ULONG_PTR, USHORT) { ++mine; }) ? mine : 0;
}

template <typename Fn>
bool ForEachOwnHandle(Fn fn) {
  const auto query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return false;
  constexpr ULONG kSystemExtendedHandleInformation = 64;
  constexpr LONG kInfoLengthMismatch = LONG(0xC0000004);
  std::vector<uint8_t> buffer(1 << 16);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG needed = 0;
    const LONG status = query(kSystemExtendedHandleInformation, buffer.data(), ULONG(buffer.size()), &needed);
    if (status == kInfoLengthMismatch) {
      buffer.resize(std::max<size_t>(buffer.size() * 2, size_t(needed) + 4096));
      continue;
    }
    if (status < 0) return false;
    const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    const size_t fit = (buffer.size() - offsetof(HandleList, entries)) / sizeof(HandleEntry);
    const size_t n = std::min<size_t>(list->count, fit);  // never past the buffer
    const ULONG_PTR self = ::GetCurrentProcessId();
    for (size_t i = 0; i < n; ++i)
      if (list->entries[i].process == self) fn(list->entries[i].value, list->entries[i].objectType);
    return true;
  }
  return false;
}

// Committed private memory, region by region: Wine's PrivateUsage is 0.
uint64_t CommittedPrivateBytes() {
  uint64_t total = 0;
  MEMORY_BASIC_INFORMATION mi{};
  for (const uint8_t* p = nullptr; ::VirtualQuery(p, &mi, sizeof(mi)) == sizeof(mi);) {
    if (mi.State == MEM_COMMIT && mi.Type == MEM_PRIVATE) total += mi.RegionSize;
    const uint8_t* next = static_cast<const uint8_t*>(mi.BaseAddress) + mi.RegionSize;
    if (next <= p) break;
    p = next;
  }
  return total;
}

bool IsHex(wchar_t c) { return iswxdigit(c) != 0; }

bool IsCoverName(const std::wstring& name) {
  size_t i = 0;
  if (_wcsnicmp(name.c_str(), L"img", 3) == 0)
    i = 3;
  else if (_wcsnicmp(name.c_str(), L"cover", 5) == 0)
    i = 5;
  else
    return false;
  const size_t digitsFrom = i;
  while (i < name.size() && IsHex(name[i])) ++i;
  const size_t digits = i - digitsFrom;
  if (digits < 1 || digits > 4 || i >= name.size() || name[i] != L'.') return false;
  const std::wstring ext = name.substr(i + 1);
  for (const wchar_t* e : {L"JPG", L"PNG", L"GIF", L"BMP"})
    if (_wcsicmp(ext.c_str(), e) == 0) return true;
  return false;
}

using QueryInformationThread = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

// The module a thread started in, by its start address ("?" when unknown).
std::string StartModuleOf(DWORD threadId) {
  const auto query = reinterpret_cast<QueryInformationThread>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
  const HANDLE thread = ::OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId);
  if (!thread) return "?";
  constexpr ULONG kThreadQuerySetWin32StartAddress = 9;
  void* start = nullptr;
  const bool known = query && query(thread, kThreadQuerySetWin32StartAddress, &start, sizeof(start), nullptr) >= 0;
  ::CloseHandle(thread);
  HMODULE module = nullptr;
  char name[MAX_PATH] = "?";
  if (known && ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                    static_cast<const char*>(start), &module))
    ::GetModuleBaseNameA(::GetCurrentProcess(), module, name, sizeof name);
  return name;
}

}  // namespace

std::string DescribeHandleTypes() {
  using QueryObject = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<QueryObject>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
  std::map<std::string, int> byType;
  ForEachOwnHandle([&](ULONG_PTR value, USHORT type) {
    // ObjectTypeInformation (2) starts with the type's name as a counted string.
    alignas(8) uint8_t info[512] = {};
    std::string name = "type " + std::to_string(type);
    if (query && query(reinterpret_cast<HANDLE>(value), 2, info, sizeof info, nullptr) >= 0) {
      const auto* text = reinterpret_cast<const UNICODE_STRING*>(info);
      const size_t chars = std::min<size_t>(text->Length / 2, 64);
      if (text->Buffer) {
        name.clear();
        for (size_t i = 0; i < chars; ++i) name += char(text->Buffer[i] < 128 ? text->Buffer[i] : '?');
      }
    }
    ++byType[name];
  });
  std::string out;
  for (const auto& [name, n] : byType) out += (out.empty() ? "" : ", ") + name + " " + std::to_string(n);
  return out;
}

std::string DescribeOtherThreads() {
  std::string list;
  const HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return list;
  THREADENTRY32 e{};
  e.dwSize = sizeof(e);
  for (BOOL ok = ::Thread32First(snap, &e); ok; ok = ::Thread32Next(snap, &e))
    if (e.th32OwnerProcessID == ::GetCurrentProcessId() && e.th32ThreadID != ::GetCurrentThreadId())
      list += (list.empty() ? "" : ", ") + StartModuleOf(e.th32ThreadID);
  ::CloseHandle(snap);
  return list;
}

std::set<std::wstring> CoverFilesInTempFolder() {
  std::set<std::wstring> found;
  wchar_t temp[MAX_PATH + 1] = {};
  if (!::GetTempPathW(MAX_PATH, temp)) return found;
  WIN32_FIND_DATAW fd{};
  const HANDLE h = ::FindFirstFileW((std::wstring(temp) + L"*.*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return found;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsCoverName(fd.cFileName))
      found.insert(std::wstring(temp) + fd.cFileName);
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  return found;
}

Counts Measure() {
  Counts c;
  const HANDLE self = ::GetCurrentProcess();
  const DWORD pid = ::GetCurrentProcessId();
  if (!::GetProcessHandleCount(self, &c.handles) || c.handles == 0) c.handles = CountHandlesFromSystemList();
  c.gdiObjects = ::GetGuiResources(self, GR_GDIOBJECTS);
  c.userObjects = ::GetGuiResources(self, GR_USEROBJECTS);
  const GdiTable gdi = CountGdiTableEntries();
  c.gdiTableObjects = gdi.live < 0 ? -1 : gdi.live - gdi.dcs;
  c.gdiTableDcs = gdi.dcs;
  c.gdiTableByType = gdi.byType;
  WindowTally tally{pid, &c};
  ::EnumWindows(CountTopLevel, LPARAM(&tally));
  c.windows += CountMessageOnlyWindows(pid);
  PROCESS_MEMORY_COUNTERS_EX mem{};
  mem.cb = sizeof(mem);
  if (::GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&mem), sizeof(mem)))
    c.privateBytes = mem.PrivateUsage;
  if (c.privateBytes == 0) c.privateBytes = CommittedPrivateBytes();
  c.coverFiles = int(CoverFilesInTempFolder().size());
  c.threads = CountThreads(pid);
  return c;
}

std::string Describe(const Counts& c) {
  char line[320];
  std::snprintf(line, sizeof line,
                "handles %4lu | GDI %lu, table %lld + %lld DCs | USER %lu, windows %3d (popups %d, QuickInfo %d, control %d) | "
                "private %7.2f MB | covers %d | threads %d",
                c.handles, c.gdiObjects, static_cast<long long>(c.gdiTableObjects),
                static_cast<long long>(c.gdiTableDcs), c.userObjects, c.windows,
                c.popups, c.quickInfo, c.controlWindow, double(c.privateBytes) / (1024.0 * 1024.0), c.coverFiles,
                c.threads);
  return line;
}

}  // namespace soak
