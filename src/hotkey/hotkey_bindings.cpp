#include "hotkey/hotkey_bindings.h"

#include <algorithm>

#include "model/subsystems.h"

namespace tunelet {

namespace {
constexpr Shortcut W = kShortcutWin, S = kShortcutShift, C = kShortcutCtrl, A = kShortcutAlt;
constexpr size_t kScannedKeyCount = kLastNamedKey - kFirstNamedKey + 1;
}  // namespace

const std::array<Shortcut, 16> kScanModifierSets{
    W, W | S, W | C, W | A, W | C | S, W | S | A, W | C | A, W | C | S | A,  //
    S, S | C, S | A, S | C | A, C, C | A, A, 0,
};
static_assert(kScanModifierSets.size() * kScannedKeyCount == kUnavailableScanTrials);

std::vector<HotKeyBinding> BindingsToRegister(const HotKeySlots& slots, const IKeyNames& names) {
  std::vector<HotKeyBinding> bindings;
  for (size_t action = 0; action < kHotKeyActionCount; ++action) {
    if (slots.IsEmpty(action)) continue;
    const Shortcut s = TextToShortcut(slots.SlotText(action), names);
    if (IsRegistrable(s)) bindings.push_back({int(action), s});
  }
  return bindings;
}

bool ReadsBackFromSlot(Shortcut s, const IKeyNames& names) {
  HotKeySlots slot;
  slot.SetSlotText(0, ShortcutToText(s, names));
  return TextToShortcut(slot.SlotText(0), names) == s;
}

bool RegisterWithoutRepeat(Shortcut s, const std::function<bool(uint32_t, uint8_t)>& registerKey) {
  const uint32_t mods = ToSystemModifiers(s);
  return registerKey(mods | kModNoRepeat, ShortcutKey(s)) || registerKey(mods, ShortcutKey(s));
}

bool BindingFailed(const HotKeySlots& slots, size_t action, Shortcut registered, const IKeyNames& names) {
  if (slots.IsEmpty(action)) return false;
  return registered == 0 || TextToShortcut(slots.SlotText(action), names) != registered;
}

std::vector<std::u16string> UnavailableCombinations(size_t first, size_t count,
                                                    const std::function<bool(Shortcut)>& canRegister,
                                                    const IKeyNames& names) {
  std::vector<std::u16string> refused;
  const size_t end = first < kUnavailableScanTrials ? first + std::min(count, kUnavailableScanTrials - first) : first;
  for (size_t trial = first; trial < end; ++trial) {
    const Shortcut s = kScanModifierSets[trial / kScannedKeyCount] | Shortcut(kFirstNamedKey + trial % kScannedKeyCount);
    if (!canRegister(s)) refused.push_back(ShortcutToText(s, names));
  }
  return refused;
}

std::vector<std::u16string> UnavailableCombinations(const std::function<bool(Shortcut)>& canRegister,
                                                    const IKeyNames& names) {
  return UnavailableCombinations(0, kUnavailableScanTrials, canRegister, names);
}

}  // namespace tunelet
