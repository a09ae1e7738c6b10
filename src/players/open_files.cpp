#include "players/open_files.h"

#include <algorithm>

#include "common/byte_reader.h"
#include "model/file_kind.h"

namespace tunelet {

OpenFileLists& OpenFiles() {
  static OpenFileLists lists;
  return lists;
}

bool HasMediaExtension(std::u16string_view path) {
  static constexpr std::u16string_view kMediaExtensions[] = {
      u"MP3", u"OGG", u"WMA", u"APE", u"WAV", u"WV",  u"M4A", u"FLAC",
      u"AVI", u"MPG", u"MPEG", u"MP4", u"WMV", u"MOV", u"MKV", u"FLV"};
  const std::u16string ext = FileExtension(path);  // already upper-cased
  return std::find(std::begin(kMediaExtensions), std::end(kMediaExtensions), ext) !=
         std::end(kMediaExtensions);
}

bool AppendScanEntry(OpenFileLists& lists, uint32_t handle, std::u16string_view devicePath) {
  if (lists.CurrentScan.size() >= kMaxOpenFileEntries) return false;
  lists.CurrentScan.push_back({handle, std::u16string(devicePath)});
  return true;
}

int ChooseNewestEntry(OpenFileLists& lists) {
  if (lists.PreviousScan.empty()) {
    lists.PreviousScan = std::move(lists.CurrentScan);
    lists.CurrentScan.clear();
    return 0;
  }
  for (size_t i = 0; i < lists.CurrentScan.size(); ++i) {
    const OpenFileEntry& entry = lists.CurrentScan[i];
    // A path reopened under another handle value counts as new: the player
    // has started the same file again.
    const bool seenBefore =
        std::any_of(lists.PreviousScan.begin(), lists.PreviousScan.end(), [&](const OpenFileEntry& p) {
          return p.Handle == entry.Handle && p.DevicePath == entry.DevicePath;
        });
    if (!seenBefore) {
      lists.PreviousScan = std::move(lists.CurrentScan);
      lists.CurrentScan.clear();
      return int(i);
    }
  }
  lists.CurrentScan.clear();
  return -1;
}

std::optional<std::u16string> FinishScan(OpenFileLists& lists) {
  if (lists.CurrentScan.empty()) return std::nullopt;
  const int chosen = ChooseNewestEntry(lists);
  if (chosen >= 0) lists.SelectedIndex = size_t(chosen);
  if (lists.SelectedIndex >= lists.PreviousScan.size()) return std::nullopt;
  return lists.PreviousScan[lists.SelectedIndex].DevicePath;
}

uint32_t HandleCountFromProcessList(ByteSpan list, uint32_t processId, PointerWidth width) {
  // A SYSTEM_PROCESS_INFORMATION entry: the image name (a UNICODE_STRING of
  // 8 or 16 bytes) at 56, the base priority after it, then the process id and
  // the parent's id (pointer-sized and aligned), then the handle count.
  // Process ids fit in 32 bits: their low half is read.
  const size_t pointer = size_t(width);
  const size_t kProcessIdOffset = width == PointerWidth::Bits64 ? 80 : 68;
  const size_t kHandleCountOffset = kProcessIdOffset + 2 * pointer;
  const size_t kMinEntrySize = kHandleCountOffset + 4;
  // A process list has a few thousand entries; the cap stops a corrupt chain.
  constexpr int kMaxProcessEntries = 1 << 16;

  size_t pos = LoadU32le(list, 0);  // the entry after the first one
  for (int n = 0; n < kMaxProcessEntries && pos != 0; ++n) {
    if (pos > list.size() || list.size() - pos < kMinEntrySize) return 0;
    if (LoadU32le(list, pos + kProcessIdOffset) == processId) return LoadU32le(list, pos + kHandleCountOffset);
    const uint32_t next = LoadU32le(list, pos);
    if (next > list.size() - pos) return 0;
    pos = next == 0 ? 0 : pos + next;
  }
  return 0;
}

namespace {

// A pointer-sized field of the caller's bitness.
uint64_t LoadPointer(ByteSpan list, size_t at, PointerWidth width) {
  if (width == PointerWidth::Bits32) return LoadU32le(list, at);
  return uint64_t(LoadU32le(list, at)) | uint64_t(LoadU32le(list, at + 4)) << 32;
}

}  // namespace

std::vector<SystemHandleEntry> HandlesOfProcessExtended(ByteSpan list, uint32_t processId, PointerWidth width) {
  // Header: count and reserved, pointer-sized. Entry: object pointer, process
  // id, handle value (pointer-sized each), granted access (32 bits),
  // back-trace index and type index (16 bits each), attributes and reserved
  // (32 bits each): 28 bytes, or 40 with 8-byte pointers.
  const size_t pointer = size_t(width);
  const size_t kHeaderSize = 2 * pointer;
  const size_t kEntrySize = 3 * pointer + 16;
  const size_t kProcessIdOffset = pointer;
  const size_t kHandleOffset = 2 * pointer;
  const size_t kTypeOffset = 3 * pointer + 6;
  std::vector<SystemHandleEntry> handles;
  if (list.size() < kHeaderSize) return handles;
  const size_t fit = (list.size() - kHeaderSize) / kEntrySize;
  const size_t count = std::min<size_t>(LoadU32le(list, 0), fit);
  for (size_t i = 0; i < count; ++i) {
    const size_t at = kHeaderSize + i * kEntrySize;
    if (LoadU32le(list, at + kProcessIdOffset) != processId) continue;
    handles.push_back(
        {LoadU32le(list, at + kHandleOffset), LoadU16le(list, at + kTypeOffset), LoadPointer(list, at, width)});
  }
  return handles;
}

std::vector<SystemHandleEntry> HandlesOfProcessBasic(ByteSpan list, uint32_t processId, PointerWidth width) {
  // Header: a 32-bit count, the entries aligned to a pointer after it.
  // Entry: process id @0 (16 bits), back-trace index @2, type index @4
  // (8 bits), attributes @5, handle value @6 (16 bits), object pointer @8,
  // access after it: 16 bytes, or 24 with 8-byte pointers.
  const size_t pointer = size_t(width);
  const size_t kHeaderSize = pointer;
  const size_t kEntrySize = 2 * pointer + 8;
  std::vector<SystemHandleEntry> handles;
  if (list.size() < kHeaderSize || processId > 0xFFFF) return handles;
  const size_t fit = (list.size() - kHeaderSize) / kEntrySize;
  const size_t count = std::min<size_t>(LoadU32le(list, 0), fit);
  for (size_t i = 0; i < count; ++i) {
    const size_t at = kHeaderSize + i * kEntrySize;
    if (LoadU16le(list, at) != processId) continue;
    handles.push_back({LoadU16le(list, at + 6), list[at + 4], LoadPointer(list, at + 8, width)});
  }
  return handles;
}

void KnownFileHandles::BeginScan(uint32_t processId) {
  if (processId != processId_) last_.clear();
  processId_ = processId;
  current_.clear();
  currentMediaPaths_ = 0;
}

const KnownFileHandle* KnownFileHandles::Find(uint32_t handle, uint64_t object, uint64_t fileId) const {
  const auto it = std::lower_bound(last_.begin(), last_.end(), handle,
                                   [](const KnownFileHandle& k, uint32_t h) { return k.Handle < h; });
  if (it == last_.end() || it->Handle != handle || it->Object != object || it->FileId != fileId) return nullptr;
  return &*it;
}

void KnownFileHandles::Remember(KnownFileHandle entry) {
  if (current_.size() >= kMaxKnown) return;
  // Lookups rely on the order; a scan walks the values upwards.
  if (!current_.empty() && current_.back().Handle >= entry.Handle) return;
  if (!entry.MediaPath.empty()) {
    if (currentMediaPaths_ >= kMaxOpenFileEntries) return;
    ++currentMediaPaths_;
  }
  current_.push_back(std::move(entry));
}

void KnownFileHandles::EndScan() {
  last_ = std::move(current_);
  current_.clear();
  currentMediaPaths_ = 0;
}

}  // namespace tunelet
