#include "players/win32/open_files_win32.h"

#include <winternl.h>

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "players/open_files.h"
#include "platform/win32/bounded_lane.h"
#include "players/win32/device_paths_win32.h"
#include "platform/win32/late_bound.h"
#include "platform/win32/unique_handle.h"

namespace tunelet::win32 {

namespace {

constexpr ULONG kSystemProcessInformation = 5;
constexpr ULONG kSystemHandleInformation = 16;
constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr ULONG kObjectTypeInformation = 2;
constexpr LONG kStatusInfoLengthMismatch = LONG(0xC0000004);
constexpr size_t kProcessListBytes = 300000;
constexpr size_t kHandleListBytes = 256u << 10;
constexpr size_t kMaxProcessListBytes = 64u << 20;
constexpr int kMaxProcessListTries = 6;
constexpr DWORD kMappedNameChars = 510;
// The system lists come laid out for this process's own bitness.
constexpr PointerWidth kOwnPointerWidth = sizeof(void*) == 8 ? PointerWidth::Bits64 : PointerWidth::Bits32;

using NtQuerySystemInformationFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
using NtQueryObjectFn = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
using GetMappedFileNameWFn = DWORD(WINAPI*)(HANDLE, void*, wchar_t*, DWORD);

template <typename Fn>
Fn NtdllEntry(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), name)));
}

GetMappedFileNameWFn MappedFileNameEntry() {
  static const auto entry = reinterpret_cast<GetMappedFileNameWFn>(SystemExport("psapi.dll", "GetMappedFileNameW"));
  return entry;
}

// True when the object behind h is of the kernel type "File". GetFileType
// calls sections and directories disks too, and type indexes differ between
// systems, so the name decides. Asking for the type (unlike the name) never
// waits on the object.
bool IsFileObject(HANDLE h) {
  static const NtQueryObjectFn query = NtdllEntry<NtQueryObjectFn>("NtQueryObject");
  if (!query) return false;
  alignas(8) uint8_t buffer[1024];
  ULONG needed = 0;
  if (query(h, kObjectTypeInformation, buffer, sizeof buffer, &needed) < 0) return false;
  const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer);
  const uint8_t* text = reinterpret_cast<const uint8_t*>(name->Buffer);
  if (!text || text < buffer || name->Length > sizeof buffer ||
      size_t(text - buffer) > sizeof buffer - name->Length)
    return false;
  return std::wstring_view(name->Buffer, name->Length / sizeof(wchar_t)) == L"File";
}

// The name of the file behind a disk-file handle, read through a one-byte
// read-only view; empty when it cannot be mapped (empty files, handles
// without read access) or named.
std::u16string MappedFileName(HANDLE file) {
  UniqueKernelHandle mapping(::CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 1, nullptr));
  if (!mapping) return {};
  UniqueView view(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 1));
  const GetMappedFileNameWFn getName = MappedFileNameEntry();
  if (!view || !getName) return {};
  wchar_t name[kMappedNameChars + 1] = {};
  const DWORD length = getName(::GetCurrentProcess(), const_cast<void*>(view.get()), name, kMappedNameChars);
  return std::u16string(U(name), length > kMappedNameChars ? 0 : length);
}

void RecordIfMediaFile(std::vector<OpenFileEntry>& found, DWORD handleValue, HANDLE file) {
  if (found.size() >= kMaxOpenFileEntries) return;
  std::u16string name = MappedFileName(file);
  if (HasMediaExtension(name)) found.push_back({handleValue, std::move(name)});
}

// The system information of one class, in a buffer grown until it fits.
std::optional<std::vector<uint8_t>> QuerySystemInformation(ULONG infoClass, size_t initialBytes) {
  static const NtQuerySystemInformationFn query =
      NtdllEntry<NtQuerySystemInformationFn>("NtQuerySystemInformation");
  if (!query) return std::nullopt;
  size_t size = initialBytes;
  for (int attempt = 0; attempt < kMaxProcessListTries; ++attempt) {
    std::vector<uint8_t> buffer(size);
    ULONG needed = 0;
    const LONG status = query(infoClass, buffer.data(), ULONG(buffer.size()), &needed);
    if (status >= 0) return buffer;
    if (status != kStatusInfoLengthMismatch) return std::nullopt;
    // Processes and handles come and go between the calls: leave room to spare.
    const size_t grown = std::max<size_t>(size * 2, size_t(needed) + 65536);
    if (grown > kMaxProcessListBytes) return std::nullopt;
    size = grown;
  }
  return std::nullopt;
}

// Handle value -> object type number of every handle the process holds, from
// the system's handle list; nothing when that list cannot be had. It lets the
// scan skip the many handles that are not files without touching them.
std::optional<std::unordered_map<DWORD, uint16_t>> ProcessHandleTypes(DWORD processId) {
  std::vector<SystemHandleEntry> handles;
  if (auto list = QuerySystemInformation(kSystemExtendedHandleInformation, kHandleListBytes))
    handles = HandlesOfProcessExtended(ByteSpan(list->data(), list->size()), processId, kOwnPointerWidth);
  else if (processId <= 0xFFFF)
    if (auto basic = QuerySystemInformation(kSystemHandleInformation, kHandleListBytes))
      handles = HandlesOfProcessBasic(ByteSpan(basic->data(), basic->size()), processId, kOwnPointerWidth);
  // A running process always holds handles: an empty answer is not to be trusted.
  if (handles.empty()) return std::nullopt;
  std::unordered_map<DWORD, uint16_t> types;
  for (const auto& h : handles) types.emplace(h.HandleValue, h.TypeIndex);
  return types;
}

// One scan of the player's handles, in handle order.
std::vector<OpenFileEntry> ScanProcessHandles(DWORD processId) {
  std::vector<OpenFileEntry> found;
  UniqueKernelHandle process(::OpenProcess(PROCESS_DUP_HANDLE, TRUE, processId));
  // Without the process every duplication would fail until the limit runs
  // out: nothing to find.
  if (!process) return found;
  const auto handleTypes = ProcessHandleTypes(processId);
  std::unordered_map<uint16_t, bool> typeIsFile;  // learnt from the first handle of each type
  HandleValueWalk walk(GetProcessHandleCount(processId));
  do {
    const DWORD h = walk.Value();
    std::optional<uint16_t> type;
    bool skip = false;
    if (handleTypes) {
      const auto listed = handleTypes->find(h);
      if (listed != handleTypes->end()) {
        type = listed->second;
        const auto known = typeIsFile.find(*type);
        skip = known != typeIsFile.end() && !known->second;
      }
    }
    HANDLE copy = nullptr;
    if (skip) {
      // a handle of a type that is not "File": nothing to do
    } else if ((handleTypes && !type) ||
               !::DuplicateHandle(process.get(), reinterpret_cast<HANDLE>(uintptr_t(h)), ::GetCurrentProcess(),
                                  &copy, GENERIC_READ, FALSE, 0)) {
      // Not a handle of the process (the list says so, or duplication failed).
      if (!walk.NotAHandle()) break;
    } else {
      UniqueKernelHandle owned(copy);
      const bool isFile = IsFileObject(copy);
      if (type) typeIsFile.emplace(*type, isFile);
      if (isFile && ::GetFileType(copy) == FILE_TYPE_DISK) RecordIfMediaFile(found, h, copy);
    }
  } while (walk.Next());
  return found;
}

// A scan runs on a thread of its own: a pipe with a pending synchronous read
// can stall queries on its handle on some systems, and the host's thread
// must not stall with it.
BoundedLane& ScanLane() {
  static BoundedLane lane(BoundedLane::Apartment::None);
  return lane;
}

class OpenFileRoutes final : public IOpenFileRoutes {
 public:
  PathAnswer FindOpenMediaFile(uintptr_t window) override {
    return win32::FindOpenMediaFile(reinterpret_cast<HWND>(window));
  }
};

}  // namespace

uint32_t GetProcessHandleCount(DWORD processId) {
  const auto list = QuerySystemInformation(kSystemProcessInformation, kProcessListBytes);
  return list ? HandleCountFromProcessList(ByteSpan(list->data(), list->size()), processId, kOwnPointerWidth) : 0;
}

PathAnswer FindOpenMediaFile(HWND window) {
  try {
    DWORD processId = 0;
    if (!::GetWindowThreadProcessId(window, &processId) || processId == 0) return u"";
    auto found = RunBounded<std::vector<OpenFileEntry>>(ScanLane(), kOpenFileScanTimeoutMs,
                                                        [processId] { return ScanProcessHandles(processId); });
    if (!found) return std::nullopt;  // the scan did not end in time
    OpenFileLists& lists = OpenFiles();
    lists.CurrentScan = std::move(*found);
    const auto devicePath = FinishScan(lists);
    return devicePath ? DevicePathToDrivePath(*devicePath) : std::u16string();
  } catch (...) {
    return u"";
  }
}

IOpenFileRoutes& Win32OpenFileRoutes() {
  static OpenFileRoutes routes;
  return routes;
}

}  // namespace tunelet::win32
