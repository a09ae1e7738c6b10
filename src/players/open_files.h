// Open-file discovery, the portable half: the lists of media files a player's
// process holds open, the rule that picks the playing one among them, and the
// walk over the system's process list that gives a process's handle count.
// The Win32 half (duplicating handles, mapping files) is open_files_win32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_reader.h"
#include "players/player_system.h"

namespace tunelet {

// Each scan keeps at most this many media files; further ones are ignored.
constexpr size_t kMaxOpenFileEntries = 8;

struct OpenFileEntry {
  uint32_t Handle = 0;        // handle value as seen in the player's process
  std::u16string DevicePath;  // name of the mapped file, e.g. \Device\HarddiskVolume1\a.mp3
};

struct OpenFileLists {
  std::vector<OpenFileEntry> CurrentScan;   // refilled by every scan, in handle order
  std::vector<OpenFileEntry> PreviousScan;  // compared against; holds the reported path
  size_t SelectedIndex = 0;                 // into PreviousScan: the file reported last
};

// The lists shared by all players, alive from load to unload.
OpenFileLists& OpenFiles();

// True when FileExtension(path) is one of the 16 media extensions.
bool HasMediaExtension(std::u16string_view path);

// The walk over a process's handle values 4, 8, 12, ...: the first value is
// always tried, and the walk goes on while the value is within the limit of
// 4 x the process's handle count. Each value that is not a handle of the
// process pushes the limit out by 4, and the walk stops once the limit passes
// kMaxHandleValue.
class HandleValueWalk {
 public:
  static constexpr uint32_t kMaxHandleValue = 8192;
  explicit HandleValueWalk(uint32_t handleCount) : limit_(4 * uint64_t(handleCount)) {}
  uint32_t Value() const { return value_; }
  // The current value was not a handle; false when the walk must stop.
  bool NotAHandle() {
    limit_ += 4;
    return limit_ <= kMaxHandleValue;
  }
  // Moves to the next value; false when it lies beyond the limit.
  bool Next() {
    if (uint64_t(value_) + 4 > limit_) return false;
    value_ += 4;
    return true;
  }

 private:
  uint32_t value_ = 4;
  uint64_t limit_;
};

// Appends to CurrentScan unless it is full; false when the entry was dropped.
bool AppendScanEntry(OpenFileLists& lists, uint32_t handle, std::u16string_view devicePath);

// Index into CurrentScan of the first entry (handle order) that the previous
// scan did not hold with the same handle and path; CurrentScan then becomes
// PreviousScan. The first scan takes entry 0. -1 when nothing is new, in which
// case PreviousScan and SelectedIndex are kept.
int ChooseNewestEntry(OpenFileLists& lists);

// Steps after a scan has filled CurrentScan: nothing when it is empty, else
// the device path of the file to report (the newest one, or the last one).
std::optional<std::u16string> FinishScan(OpenFileLists& lists);

// The system's process and handle lists are laid out for the bitness of the
// process that asks for them (PointerWidth): their pointer-sized fields are
// 4 bytes wide in a 32-bit process and 8 in a 64-bit one.

// The system process list (variable-length entries chained by the next-entry
// offset in their first field): the handle count of processId, or 0 when it
// is not listed. The first entry (the idle process) is skipped.
uint32_t HandleCountFromProcessList(ByteSpan list, uint32_t processId, PointerWidth width);

// One handle of a process in the system's handle list.
struct SystemHandleEntry {
  uint32_t HandleValue = 0;
  uint16_t TypeIndex = 0;  // the object type's number; its meaning differs between systems
  uint64_t Object = 0;     // kernel address of the object; 0 where the system hides it
};

// The handles of processId in the system's extended handle list (a count and
// a reserved word, then entries of 28 or 40 bytes).
std::vector<SystemHandleEntry> HandlesOfProcessExtended(ByteSpan list, uint32_t processId, PointerWidth width);
// The same from the older handle list (a 32-bit count, then entries of 16 or
// 24 bytes with 16-bit process ids and handle values).
std::vector<SystemHandleEntry> HandlesOfProcessBasic(ByteSpan list, uint32_t processId, PointerWidth width);

// What the last scan of a player's process learnt about its disk-file
// handles, so that a handle that still holds the same file is not mapped
// again to learn its name. A handle value is reused as soon as it is closed,
// and the object address is 0 where the system hides it, so a handle counts
// as the same only with the same value, object address and file number.
struct KnownFileHandle {
  uint32_t Handle = 0;
  uint64_t Object = 0;       // from the handle list; 0 when unknown
  uint64_t FileId = 0;       // the file's number on its volume
  std::u16string MediaPath;  // the device path of a media file; empty for other files
  // Set when the file could not be mapped (a directory, an empty file): its
  // size then. A file that has changed size since is tried again.
  std::optional<uint64_t> UnmappedSize;
};

class KnownFileHandles {
 public:
  // A scan visits at most this many handle values; no more are kept.
  static constexpr size_t kMaxKnown = HandleValueWalk::kMaxHandleValue / 4;

  // Starts a scan of processId: what was learnt about another process is dropped.
  void BeginScan(uint32_t processId);
  // The last scan's entry for this handle when it held the same file, else null.
  const KnownFileHandle* Find(uint32_t handle, uint64_t object, uint64_t fileId) const;
  // Keeps what this scan learnt about a handle (handles in rising order).
  // Media paths are kept for at most kMaxOpenFileEntries handles, like the lists.
  void Remember(KnownFileHandle entry);
  // The handles remembered in this scan replace those of the last one.
  void EndScan();
  size_t Size() const { return last_.size(); }

 private:
  uint32_t processId_ = 0;
  std::vector<KnownFileHandle> last_;     // sorted by handle value
  std::vector<KnownFileHandle> current_;  // filled by the scan under way
  size_t currentMediaPaths_ = 0;
};

}  // namespace tunelet
