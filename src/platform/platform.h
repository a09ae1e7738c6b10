// The thin seam between portable logic and the operating system. Portable code
// calls only these; src/platform/win32 implements them with Win32 calls for the
// DLL, src/platform/posix with POSIX calls for the native tests and tools.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunelet::platform {

// A file opened for reading. Reads never go past the end; ReadAt returns the
// bytes actually read (fewer at the end of the file).
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  virtual uint64_t Size() const = 0;
  virtual size_t ReadAt(uint64_t offset, uint8_t* dst, size_t n) = 0;
  // Convenience: up to n bytes from offset.
  std::vector<uint8_t> Read(uint64_t offset, size_t n);
};

// A path on a network share ("\\server\share\..."), which the file system
// may take as long to answer for as the network stack takes.
bool IsNetworkPath(std::u16string_view path);

// Opens path for shared reading; null when it cannot be opened.
// On a network share (Windows) every call on the file waits a bounded time,
// together at most the polling tick's wait budget (platform/wait_budget.h):
// a share that does not answer gives an unopened or unreadable file, never a
// stalled host.
std::unique_ptr<ReadableFile> OpenForRead(std::u16string_view path);
// True when a regular file (not a directory) exists at path. Bounded on a
// network share like OpenForRead: no answer in time counts as no file.
bool FileExists(std::u16string_view path);
// Size as the directory entry reports it, low 32 bits; 0 when not found.
// Bounded on a network share like OpenForRead.
uint32_t FileSizeFromDirectory(std::u16string_view path);

// A directory entry found by FindFirstEntry.
struct FoundEntry {
  std::u16string name;  // without the folder
  uint64_t size = 0;
};
// The first entry of folder (which ends in a path separator) whose name
// matches pattern ('*' any run of characters, '?' one; "name.*" also matches
// a name without extension), compared without regard to case as Windows
// does, of any kind. Searches with the folder in the pattern: the process's
// current directory is neither used nor changed. "First" is the file
// system's order on Windows; the POSIX side takes the least name in upper
// case, which is the order NTFS gives. Nothing when no entry matches or the
// folder cannot be read; bounded on a network share like OpenForRead.
std::optional<FoundEntry> FindFirstEntry(std::u16string_view folder, std::u16string_view pattern);

// Bytes read through ReadableFile since the last reset (for benchmarks).
uint64_t BytesReadCounter();
void ResetBytesReadCounter();

// 8-bit to UTF-16 with a code page: 0 = the system ANSI code page, else the
// given code page (1251 is the one the plug-in asks for).
std::u16string MultiByteToWide(std::string_view bytes, uint32_t codePage);
// UTF-16 to 8-bit in the same code pages; a character the code page lacks
// becomes its default character ("?").
std::string WideToMultiByte(std::u16string_view text, uint32_t codePage);

// The user's temporary folder, with a trailing separator.
std::u16string TempFolder();
// Writes bytes to a new file at path (replacing it); false on failure.
bool WriteNewFile(std::u16string_view path, const uint8_t* data, size_t n);
bool DeleteFileAt(std::u16string_view path);
// Writes bytes over the start of the file at path, creating it when missing;
// bytes of a longer file beyond them stay. False on failure.
bool OverwriteFileStart(std::u16string_view path, const uint8_t* data, size_t n);
// Creates a file that does not exist yet and writes bytes to it. An existing
// file is never opened (kExists); a failed write removes the file it created.
enum class CreateResult { kCreated, kExists, kFailed };
CreateResult CreateNewFile(std::u16string_view path, const uint8_t* data, size_t n);
// Milliseconds since system start (wraps).
uint32_t TickCount();
// Milliseconds of a clock that never wraps or goes back (system start based).
int64_t MonotonicMs();
// The user's local time of day in minutes, 0..1439.
int LocalMinuteOfDay();

// The user's decimal separator for displayed numbers.
char16_t DecimalSeparator();

}  // namespace tunelet::platform
