#include "players/win32/open_files_win32.h"

#include <winternl.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
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
constexpr ULONG kFileStandardInformation = 5;
constexpr ULONG kFileInternalInformation = 6;
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
using NtQueryInformationFileFn = LONG(WINAPI*)(HANDLE, IO_STATUS_BLOCK*, void*, ULONG, ULONG);
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

// Names learnt by mapping a file, counted for tests and the benchmark.
std::atomic<uint64_t> gMappingsMade{0};

// The name of the file behind a disk-file handle, read through a one-byte
// read-only view; empty when it cannot be mapped (empty files, handles
// without read access) or named.
std::u16string MappedFileName(HANDLE file) {
  ++gMappingsMade;
  UniqueKernelHandle mapping(::CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 1, nullptr));
  if (!mapping) return {};
  UniqueView view(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 1));
  const GetMappedFileNameWFn getName = MappedFileNameEntry();
  if (!view || !getName) return {};
  wchar_t name[kMappedNameChars + 1] = {};
  const DWORD length = getName(::GetCurrentProcess(), const_cast<void*>(view.get()), name, kMappedNameChars);
  return std::u16string(U(name), length > kMappedNameChars ? 0 : length);
}

// What the file system tells of a disk file without waiting on it (disk
// files only: a query would wait behind a pending synchronous read on a pipe).
template <typename Info>
std::optional<Info> QueryFileInformation(HANDLE file, ULONG infoClass) {
  static const NtQueryInformationFileFn query = NtdllEntry<NtQueryInformationFileFn>("NtQueryInformationFile");
  if (!query) return std::nullopt;
  IO_STATUS_BLOCK status{};
  alignas(8) Info info{};  // the system refuses a misaligned buffer (a 32-bit stack is 4-aligned)
  if (query(file, &status, &info, sizeof info, infoClass) < 0) return std::nullopt;
  return info;
}

// The file's number on its volume (the NTFS file index, an inode under Wine).
std::optional<uint64_t> FileIdOf(HANDLE file) {
  const auto id = QueryFileInformation<uint64_t>(file, kFileInternalInformation);
  if (!id || *id == 0) return std::nullopt;
  return id;
}

// The end-of-file position.
std::optional<uint64_t> FileSizeOf(HANDLE file) {
  struct FileStandardInformation {  // FILE_STANDARD_INFORMATION
    int64_t AllocationSize;
    int64_t EndOfFile;
    ULONG NumberOfLinks;
    BOOLEAN DeletePending;
    BOOLEAN Directory;
  };
  const auto info = QueryFileInformation<FileStandardInformation>(file, kFileStandardInformation);
  if (!info) return std::nullopt;
  return uint64_t(info->EndOfFile);
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

// The process's handles from the system's handle list (handle value ->
// entry); nothing when that list cannot be had. It gives the walk its bound
// and lets the scan skip the many handles that are not files without
// touching them.
std::optional<std::unordered_map<DWORD, SystemHandleEntry>> ProcessHandles(DWORD processId) {
  std::vector<SystemHandleEntry> handles;
  if (auto list = QuerySystemInformation(kSystemExtendedHandleInformation, kHandleListBytes))
    handles = HandlesOfProcessExtended(ByteSpan(list->data(), list->size()), processId, kOwnPointerWidth);
  else if (processId <= 0xFFFF)
    if (auto basic = QuerySystemInformation(kSystemHandleInformation, kHandleListBytes))
      handles = HandlesOfProcessBasic(ByteSpan(basic->data(), basic->size()), processId, kOwnPointerWidth);
  // A running process always holds handles: an empty answer is not to be trusted.
  if (handles.empty()) return std::nullopt;
  std::unordered_map<DWORD, SystemHandleEntry> byValue;
  for (const auto& h : handles) byValue.emplace(h.HandleValue, h);
  return byValue;
}

// What the last scan learnt about the player's files. Scans run one after
// the other on the scan lane's thread, but one that was given up may still be
// running when the next starts: each scan takes the handles out and puts
// them back when done.
struct KnownFileStore {
  std::mutex mutex;
  KnownFileHandles handles;
};

KnownFileStore& KnownFiles() {
  static KnownFileStore store;
  return store;
}

KnownFileHandles TakeKnownFiles() {
  KnownFileStore& store = KnownFiles();
  std::lock_guard lock(store.mutex);
  return std::exchange(store.handles, KnownFileHandles{});
}

void PutBackKnownFiles(KnownFileHandles handles) {
  KnownFileStore& store = KnownFiles();
  std::lock_guard lock(store.mutex);
  store.handles = std::move(handles);
}

// Looks at one disk-file handle (copy, duplicated from the player's handle
// value h): its name comes from the last scan when that saw the same file
// under the same handle, else from mapping the file.
void LookAtDiskFile(KnownFileHandles& known, std::vector<OpenFileEntry>& found, DWORD h, uint64_t object,
                    HANDLE copy) {
  const std::optional<uint64_t> fileId = FileIdOf(copy);
  if (fileId) {
    const KnownFileHandle* seen = known.Find(h, object, *fileId);
    if (seen && (!seen->UnmappedSize || FileSizeOf(copy) == seen->UnmappedSize)) {
      if (!seen->MediaPath.empty()) found.push_back({h, seen->MediaPath});
      known.Remember(*seen);
      return;
    }
  }
  std::u16string name = MappedFileName(copy);
  const bool media = HasMediaExtension(name);
  if (fileId) {
    KnownFileHandle entry{h, object, *fileId, media ? name : std::u16string(), std::nullopt};
    if (name.empty()) {
      // A directory, or an empty file that may be written to: tried again
      // once its size changes.
      entry.UnmappedSize = FileSizeOf(copy);
      if (!entry.UnmappedSize) return;
    }
    known.Remember(std::move(entry));
  }
  if (media) found.push_back({h, std::move(name)});
}

// One scan of the player's handles, in handle order.
std::vector<OpenFileEntry> ScanProcessHandles(DWORD processId) {
  std::vector<OpenFileEntry> found;
  UniqueKernelHandle process(::OpenProcess(PROCESS_DUP_HANDLE, TRUE, processId));
  // Without the process every duplication would fail until the limit runs
  // out: nothing to find.
  if (!process) return found;
  KnownFileHandles known = TakeKnownFiles();
  known.BeginScan(processId);
  const auto handles = ProcessHandles(processId);
  // Object type number -> whether it is "File", learnt from the first handle
  // of each type. Learnt anew by every scan: a handle may be replaced
  // between the list and its duplication, and a wrong lesson must not last.
  std::unordered_map<uint16_t, bool> typeIsFiles;
  // The handle list gives the count; the process list (much larger) only
  // when there is no handle list.
  HandleValueWalk walk(handles ? uint32_t(handles->size()) : GetProcessHandleCount(processId));
  do {
    const DWORD h = walk.Value();
    const SystemHandleEntry* listed = nullptr;
    if (handles) {
      const auto it = handles->find(h);
      if (it != handles->end()) listed = &it->second;
    }
    std::optional<bool> typeIsFile;
    if (listed) {
      const auto learnt = typeIsFiles.find(listed->TypeIndex);
      if (learnt != typeIsFiles.end()) typeIsFile = learnt->second;
    }
    HANDLE copy = nullptr;
    if (typeIsFile == false) {
      // a handle of a type that is not "File": nothing to do
    } else if ((handles && !listed) ||
               !::DuplicateHandle(process.get(), reinterpret_cast<HANDLE>(uintptr_t(h)), ::GetCurrentProcess(),
                                  &copy, GENERIC_READ, FALSE, 0)) {
      // Not a handle of the process (the list says so, or duplication failed).
      if (!walk.NotAHandle()) break;
    } else {
      UniqueKernelHandle owned(copy);
      const bool isFile = typeIsFile ? *typeIsFile : IsFileObject(copy);
      if (listed) typeIsFiles.emplace(listed->TypeIndex, isFile);
      if (isFile && ::GetFileType(copy) == FILE_TYPE_DISK)
        LookAtDiskFile(known, found, h, listed ? listed->Object : 0, copy);
      // Further media files would be ignored: the rest of the walk can find nothing.
      if (found.size() >= kMaxOpenFileEntries) break;
    }
  } while (walk.Next());
  known.EndScan();
  PutBackKnownFiles(std::move(known));
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

uint64_t OpenFileMappingsMade() { return gMappingsMade.load(); }

IOpenFileRoutes& Win32OpenFileRoutes() {
  static OpenFileRoutes routes;
  return routes;
}

}  // namespace tunelet::win32
