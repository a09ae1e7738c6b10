#include "hotkey/hotkey_slots.h"

#include <algorithm>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace tunelet {

namespace {
// Key names are written in the system's ANSI code page.
constexpr uint32_t kSystemCodePage = 0;
}  // namespace

std::u16string HotKeySlots::SlotText(size_t action) const {
  if (action >= kHotKeyActionCount) return {};
  const uint8_t* slot = Slot(action);
  const size_t length = std::min<size_t>(slot[0], kHotKeySlotTextMax);
  return platform::MultiByteToWide(std::string_view(reinterpret_cast<const char*>(slot + 1), length),
                                   kSystemCodePage);
}

void HotKeySlots::SetSlotText(size_t action, std::u16string_view text) {
  if (action >= kHotKeyActionCount) return;
  ClearSlot(action);
  std::string bytes = platform::WideToMultiByte(text.substr(0, kHotKeySlotTextMax), kSystemCodePage);
  // A multi-byte code page may turn 30 characters into more bytes.
  bytes.resize(std::min(bytes.size(), kHotKeySlotTextMax));
  uint8_t* slot = Slot(action);
  slot[0] = uint8_t(bytes.size());
  std::copy(bytes.begin(), bytes.end(), slot + 1);
}

void HotKeySlots::ClearSlot(size_t action) {
  if (action >= kHotKeyActionCount) return;
  std::fill_n(Slot(action), kHotKeySlotSize, uint8_t(0));
}

std::u16string HotKeyFilePath(std::u16string_view dllPath) {
  const size_t sep = dllPath.find_last_of(u"\\/:");
  std::u16string path(sep == std::u16string_view::npos ? std::u16string_view() : dllPath.substr(0, sep + 1));
  return path + u"hotkeys.dat";
}

bool LoadHotKeySlots(HotKeySlots& slots, std::u16string_view path) {
  if (!platform::FileExists(path)) {
    platform::CreateNewFile(path, nullptr, 0);
    return false;
  }
  std::unique_ptr<platform::ReadableFile> file = platform::OpenForRead(path);
  if (!file) return false;
  HotKeySlots::Bytes bytes{};
  const size_t read = file->ReadAt(0, bytes.data(), bytes.size());
  if (read < kOlderHotKeyFileSize) return false;
  // A file an older version made ends after the five slots: the later ones
  // are empty (a slot cut short by a damaged file is too).
  if (read < bytes.size()) std::fill(bytes.begin() + kOlderHotKeyFileSize, bytes.end(), uint8_t(0));
  slots.set_bytes(bytes);
  return true;
}

bool SaveHotKeySlots(const HotKeySlots& slots, std::u16string_view path) {
  return platform::OverwriteFileStart(path, slots.bytes().data(), slots.bytes().size());
}

}  // namespace tunelet
