// HotKeySlots: the bindings as hotkeys.dat keeps them, one 31-byte slot per
// action (a length byte, then up to 30 characters in the system's ANSI code
// page), and the file itself beside the plug-in. Older versions know five
// actions: they read the first 155 bytes and write over them, leaving what
// follows alone, so the sixth slot goes after the five (186 bytes).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/subsystems.h"

namespace tunelet {

constexpr size_t kHotKeyActionCount = size_t(kHotKeyActions);
constexpr size_t kOlderHotKeyActionCount = 5;
constexpr size_t kHotKeySlotSize = 31;
constexpr size_t kHotKeySlotTextMax = kHotKeySlotSize - 1;
constexpr size_t kHotKeyFileSize = kHotKeyActionCount * kHotKeySlotSize;
// All that a version with five actions reads and writes.
constexpr size_t kOlderHotKeyFileSize = kOlderHotKeyActionCount * kHotKeySlotSize;

class HotKeySlots {
 public:
  using Bytes = std::array<uint8_t, kHotKeyFileSize>;

  // The binding's text; empty when the action has none. A length byte above
  // 30 (a damaged file) reads as 30.
  std::u16string SlotText(size_t action) const;
  bool IsEmpty(size_t action) const { return action >= kHotKeyActionCount || Slot(action)[0] == 0; }
  // Stores text, cut to 30 characters.
  void SetSlotText(size_t action, std::u16string_view text);
  // Zeroes all 31 bytes of the slot.
  void ClearSlot(size_t action);

  const Bytes& bytes() const { return bytes_; }
  void set_bytes(const Bytes& b) { bytes_ = b; }

 private:
  const uint8_t* Slot(size_t action) const { return bytes_.data() + action * kHotKeySlotSize; }
  uint8_t* Slot(size_t action) { return bytes_.data() + action * kHotKeySlotSize; }

  Bytes bytes_{};
};

// hotkeys.dat in the folder of the plug-in library at dllPath.
std::u16string HotKeyFilePath(std::u16string_view dllPath);

// Reads the slots from the file. A missing file is created empty; a missing,
// unreadable or shorter than five slots file leaves slots as they were; a file
// of five slots (written by an older version) leaves the later ones empty.
// True when slots were read.
bool LoadHotKeySlots(HotKeySlots& slots, std::u16string_view path);
// Writes the slots over the first 186 bytes of the file, creating it when
// missing; false when that failed.
bool SaveHotKeySlots(const HotKeySlots& slots, std::u16string_view path);

}  // namespace tunelet
