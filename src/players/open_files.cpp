#include "players/open_files.h"

#include <algorithm>

#include "common/byte_reader.h"
#include "players/file_kind.h"

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

uint32_t HandleCountFromProcessList(ByteSpan list, uint32_t processId) {
  // Offsets in a 32-bit SYSTEM_PROCESS_INFORMATION entry.
  constexpr size_t kProcessIdOffset = 68;
  constexpr size_t kHandleCountOffset = 76;
  constexpr size_t kMinEntrySize = kHandleCountOffset + 4;
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

std::vector<SystemHandleEntry> HandlesOfProcessExtended(ByteSpan list, uint32_t processId) {
  // Entry: object pointer @0, process id @4, handle value @8, granted
  // access @12, back-trace index @16 (16 bits), type index @18 (16 bits),
  // attributes @20, reserved @24.
  constexpr size_t kHeaderSize = 8;
  constexpr size_t kEntrySize = 28;
  std::vector<SystemHandleEntry> handles;
  if (list.size() < kHeaderSize) return handles;
  const size_t fit = (list.size() - kHeaderSize) / kEntrySize;
  const size_t count = std::min<size_t>(LoadU32le(list, 0), fit);
  for (size_t i = 0; i < count; ++i) {
    const size_t at = kHeaderSize + i * kEntrySize;
    if (LoadU32le(list, at + 4) != processId) continue;
    handles.push_back({LoadU32le(list, at + 8), LoadU16le(list, at + 18)});
  }
  return handles;
}

std::vector<SystemHandleEntry> HandlesOfProcessBasic(ByteSpan list, uint32_t processId) {
  // Entry: process id @0 (16 bits), back-trace index @2, type index @4
  // (8 bits), attributes @5, handle value @6 (16 bits), object @8, access @12.
  constexpr size_t kHeaderSize = 4;
  constexpr size_t kEntrySize = 16;
  std::vector<SystemHandleEntry> handles;
  if (list.size() < kHeaderSize || processId > 0xFFFF) return handles;
  const size_t fit = (list.size() - kHeaderSize) / kEntrySize;
  const size_t count = std::min<size_t>(LoadU32le(list, 0), fit);
  for (size_t i = 0; i < count; ++i) {
    const size_t at = kHeaderSize + i * kEntrySize;
    if (LoadU16le(list, at) != processId) continue;
    handles.push_back({LoadU16le(list, at + 6), list[at + 4]});
  }
  return handles;
}

}  // namespace tunelet
