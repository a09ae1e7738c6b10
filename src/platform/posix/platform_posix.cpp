#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/posix/codepages.h"

namespace tunelet::platform {

namespace {
std::atomic<uint64_t> gBytesRead{0};

std::string NativePath(std::u16string_view path) { return Utf16ToUtf8(path); }

class PosixFile final : public ReadableFile {
 public:
  PosixFile(int fd, uint64_t size) : fd_(fd), size_(size) {}
  ~PosixFile() override { ::close(fd_); }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, uint8_t* dst, size_t n) override {
    if (offset >= size_) return 0;
    if (n > size_ - offset) n = size_t(size_ - offset);
    size_t done = 0;
    while (done < n) {
      ssize_t r = ::pread(fd_, dst + done, n - done, off_t(offset + done));
      if (r <= 0) break;
      done += size_t(r);
    }
    gBytesRead += done;
    return done;
  }

 private:
  int fd_;
  uint64_t size_;
};
}  // namespace

std::unique_ptr<ReadableFile> OpenForRead(std::u16string_view path) {
  int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixFile>(fd, uint64_t(st.st_size));
}

bool FileExists(std::u16string_view path) {
  struct stat st {};
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

uint32_t FileSizeFromDirectory(std::u16string_view path) {
  struct stat st {};
  if (::stat(NativePath(path).c_str(), &st) != 0) return 0;
  return uint32_t(uint64_t(st.st_size));
}

namespace {
// Windows' matching: without regard to case, and "name.*" takes "name" too.
bool MatchesLikeWindows(const std::string& pattern, const char* name) {
  if (::fnmatch(pattern.c_str(), name, FNM_CASEFOLD) == 0) return true;
  if (pattern.size() < 2 || pattern.compare(pattern.size() - 2, 2, ".*") != 0) return false;
  return std::string_view(name).find('.') == std::string_view::npos &&
         ::fnmatch(pattern.substr(0, pattern.size() - 2).c_str(), name, FNM_CASEFOLD) == 0;
}

std::string UpperAscii(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return s;
}
}  // namespace

std::optional<FoundEntry> FindFirstEntry(std::u16string_view folder, std::u16string_view pattern) {
  const std::string dir = NativePath(folder), glob = NativePath(pattern);
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return std::nullopt;
  std::optional<std::string> first;
  while (const dirent* e = ::readdir(d)) {
    const std::string_view name = e->d_name;
    if (name == "." || name == ".." || !MatchesLikeWindows(glob, e->d_name)) continue;
    if (!first || UpperAscii(std::string(name)) < UpperAscii(*first)) first = std::string(name);
  }
  ::closedir(d);
  if (!first) return std::nullopt;
  struct stat st {};
  const bool regular = ::stat((dir + *first).c_str(), &st) == 0 && S_ISREG(st.st_mode);
  // Windows reports a folder's size as 0.
  return FoundEntry{Utf8ToUtf16(*first), regular ? uint64_t(st.st_size) : 0};
}

uint64_t BytesReadCounter() { return gBytesRead; }
void ResetBytesReadCounter() { gBytesRead = 0; }

std::u16string MultiByteToWide(std::string_view bytes, uint32_t codePage) {
  std::u16string out(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    const uint8_t b = uint8_t(bytes[i]);
    out[i] = codePage == 1251 ? Cp1251ToUnicode(b) : Cp1252ToUnicode(b);
  }
  return out;
}

std::string WideToMultiByte(std::u16string_view text, uint32_t codePage) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    char b = '?';
    if (c < 0x80) {
      b = char(c);
    } else {
      for (unsigned v = 0x80; v < 0x100; ++v) {
        const char16_t mapped = codePage == 1251 ? Cp1251ToUnicode(uint8_t(v)) : Cp1252ToUnicode(uint8_t(v));
        if (mapped == c) {
          b = char(v);
          break;
        }
      }
    }
    out.push_back(b);
  }
  return out;
}

std::u16string TempFolder() {
  const char* t = std::getenv("TMPDIR");
  std::string dir = (t && *t) ? t : "/tmp";
  if (dir.back() != '/') dir.push_back('/');
  return Utf8ToUtf16(dir);
}

bool WriteNewFile(std::u16string_view path, const uint8_t* data, size_t n) {
  FILE* f = std::fopen(NativePath(path).c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, n, f) == n;
  return std::fclose(f) == 0 && ok;
}

CreateResult CreateNewFile(std::u16string_view path, const uint8_t* data, size_t n) {
  const std::string native = NativePath(path);
  const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return errno == EEXIST ? CreateResult::kExists : CreateResult::kFailed;
  size_t done = 0;
  while (done < n) {
    const ssize_t put = ::write(fd, data + done, n - done);
    if (put <= 0) break;
    done += size_t(put);
  }
  const bool ok = ::close(fd) == 0 && done == n;
  if (!ok) ::unlink(native.c_str());
  return ok ? CreateResult::kCreated : CreateResult::kFailed;
}

bool OverwriteFileStart(std::u16string_view path, const uint8_t* data, size_t n) {
  const int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < n) {
    const ssize_t put = ::pwrite(fd, data + done, n - done, off_t(done));
    if (put <= 0) break;
    done += size_t(put);
  }
  return ::close(fd) == 0 && done == n;
}

bool DeleteFileAt(std::u16string_view path) { return ::unlink(NativePath(path).c_str()) == 0; }

uint32_t TickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint32_t(uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u);
}

int64_t MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000 + int64_t(ts.tv_nsec) / 1000000;
}

int LocalMinuteOfDay() {
  const time_t now = ::time(nullptr);
  tm local{};
  if (!::localtime_r(&now, &local)) return 0;
  return local.tm_hour * 60 + local.tm_min;
}

char16_t DecimalSeparator() { return u'.'; }

}  // namespace tunelet::platform
