#include <windows.h>

#include <atomic>

#include "platform/platform.h"
#include "platform/win32/bounded_lane.h"
#include "platform/win32/late_bound.h"
#include "platform/win32/network_file.h"
#include "platform/win32/unique_handle.h"

namespace tunelet::platform {

using win32::W;

namespace {
std::atomic<uint64_t> gBytesRead{0};

std::wstring WPath(std::u16string_view p) { return std::wstring(p.begin(), p.end()); }

class Win32File final : public ReadableFile {
 public:
  Win32File(win32::UniqueFile f, uint64_t size) : f_(std::move(f)), size_(size) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, uint8_t* dst, size_t n) override {
    if (offset >= size_) return 0;
    if (n > size_ - offset) n = size_t(size_ - offset);
    size_t done = 0;
    while (done < n) {
      OVERLAPPED ov{};
      const uint64_t at = offset + done;
      ov.Offset = DWORD(at);
      ov.OffsetHigh = DWORD(at >> 32);
      DWORD got = 0;
      const DWORD want = DWORD(n - done > 0x100000 ? 0x100000 : n - done);
      if (!::ReadFile(f_.get(), dst + done, want, &got, &ov) || got == 0) break;
      done += got;
    }
    gBytesRead += done;
    return done;
  }

 private:
  win32::UniqueFile f_;
  uint64_t size_;
};

std::unique_ptr<ReadableFile> OpenLocalFile(std::u16string_view path) {
  // Players keep their files open; share everything so the read never fails
  // because of them and never disturbs them.
  win32::UniqueFile f(::CreateFileW(WPath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return nullptr;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(f.get(), &size) || ::GetFileType(f.get()) != FILE_TYPE_DISK) return nullptr;
  return std::make_unique<Win32File>(std::move(f), uint64_t(size.QuadPart));
}

bool LocalFileExists(std::u16string_view path) {
  const DWORD a = ::GetFileAttributesW(WPath(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

uint32_t LocalFileSizeFromDirectory(std::u16string_view path) {
  WIN32_FIND_DATAW fd{};
  HANDLE h = ::FindFirstFileW(WPath(path).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  ::FindClose(h);
  return fd.nFileSizeLow;
}

std::optional<FoundEntry> LocalFindFirstEntry(const std::u16string& folder, const std::u16string& pattern) {
  WIN32_FIND_DATAW fd{};
  const HANDLE h = ::FindFirstFileW(WPath(folder + pattern).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  ::FindClose(h);
  return FoundEntry{std::u16string(win32::U(fd.cFileName)), uint64_t(fd.nFileSizeHigh) << 32 | fd.nFileSizeLow};
}

// Writes all n bytes, in pieces of at most 1 MB; false on any failed write.
bool WriteAll(HANDLE file, const uint8_t* data, size_t n) {
  size_t done = 0;
  while (done < n) {
    DWORD put = 0;
    const DWORD want = DWORD(n - done > 0x100000 ? 0x100000 : n - done);
    if (!::WriteFile(file, data + done, want, &put, nullptr) || put == 0) return false;
    done += put;
  }
  return true;
}

}  // namespace

std::optional<FoundEntry> FindFirstEntry(std::u16string_view folder, std::u16string_view pattern) {
  std::u16string f(folder), p(pattern);
  if (!IsNetworkPath(folder)) return LocalFindFirstEntry(f, p);
  return win32::RunOnFileLane<std::optional<FoundEntry>>([f, p] { return LocalFindFirstEntry(f, p); })
      .value_or(std::nullopt);
}

std::unique_ptr<ReadableFile> OpenForRead(std::u16string_view path) {
  if (!IsNetworkPath(path)) return OpenLocalFile(path);
  return win32::OpenBoundedFile([copy = std::u16string(path)] { return OpenLocalFile(copy); });
}

bool FileExists(std::u16string_view path) {
  if (!IsNetworkPath(path)) return LocalFileExists(path);
  return win32::RunOnFileLane<bool>([copy = std::u16string(path)] { return LocalFileExists(copy); })
      .value_or(false);
}

uint32_t FileSizeFromDirectory(std::u16string_view path) {
  if (!IsNetworkPath(path)) return LocalFileSizeFromDirectory(path);
  return win32::RunOnFileLane<uint32_t>([copy = std::u16string(path)] { return LocalFileSizeFromDirectory(copy); })
      .value_or(0);
}

uint64_t BytesReadCounter() { return gBytesRead; }
void ResetBytesReadCounter() { gBytesRead = 0; }

std::u16string MultiByteToWide(std::string_view bytes, uint32_t codePage) {
  if (bytes.empty() || bytes.size() > 0x7FFFFFFF) return {};
  const UINT cp = codePage == 0 ? CP_ACP : codePage;
  const int n = ::MultiByteToWideChar(cp, 0, bytes.data(), int(bytes.size()), nullptr, 0);
  if (n <= 0) return {};
  std::u16string out(size_t(n), u'\0');
  ::MultiByteToWideChar(cp, 0, bytes.data(), int(bytes.size()), reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

std::string WideToMultiByte(std::u16string_view text, uint32_t codePage) {
  if (text.empty() || text.size() > 0x7FFFFFFF) return {};
  const UINT cp = codePage == 0 ? CP_ACP : codePage;
  const wchar_t* src = reinterpret_cast<const wchar_t*>(text.data());
  const int n = ::WideCharToMultiByte(cp, 0, src, int(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(size_t(n), '\0');
  ::WideCharToMultiByte(cp, 0, src, int(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::u16string TempFolder() {
  wchar_t buf[MAX_PATH + 1] = {};
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, buf);
  if (n == 0 || n > MAX_PATH) return u"C:\\";
  return std::u16string(reinterpret_cast<const char16_t*>(buf), n);
}

bool WriteNewFile(std::u16string_view path, const uint8_t* data, size_t n) {
  win32::UniqueFile f(::CreateFileW(WPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  return WriteAll(f.get(), data, n);
}

bool OverwriteFileStart(std::u16string_view path, const uint8_t* data, size_t n) {
  win32::UniqueFile f(::CreateFileW(WPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  return WriteAll(f.get(), data, n);
}

CreateResult CreateNewFile(std::u16string_view path, const uint8_t* data, size_t n) {
  const std::wstring wpath = WPath(path);
  bool ok = true;
  {
    win32::UniqueFile f(::CreateFileW(wpath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    if (!f) {
      const DWORD error = ::GetLastError();
      return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateResult::kExists
                                                                         : CreateResult::kFailed;
    }
    ok = WriteAll(f.get(), data, n);
  }
  if (!ok) ::DeleteFileW(wpath.c_str());  // ours: created above
  return ok ? CreateResult::kCreated : CreateResult::kFailed;
}

bool DeleteFileAt(std::u16string_view path) { return ::DeleteFileW(WPath(path).c_str()) != 0; }

uint32_t TickCount() { return ::GetTickCount(); }

// The same count as the fallback of the DLL's GetTickCount64, so that every
// part of the plug-in reads one clock.
int64_t MonotonicMs() { return int64_t(win32::TickCount64FromTickCount()); }

int LocalMinuteOfDay() {
  SYSTEMTIME local{};
  ::GetLocalTime(&local);
  return int(local.wHour) * 60 + int(local.wMinute);
}

char16_t DecimalSeparator() {
  wchar_t buf[8] = {};
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, 8) > 0 && buf[0]) return char16_t(buf[0]);
  return u'.';
}

}  // namespace tunelet::platform

namespace tunelet::win32 {

// Here rather than with the other late-bound functions: the portable library
// (MonotonicMs) needs it too, and links after them.
ULONGLONG TickCount64FromTickCount() {
  static std::atomic<uint64_t> last{0};
  uint64_t seen = last.load();
  for (;;) {
    // Read after seen: the reading is then never older than seen.
    const uint64_t next = platform::ExtendTickCount(seen, ::GetTickCount());
    if (last.compare_exchange_weak(seen, next)) return next;
  }
}

}  // namespace tunelet::win32
