#include "hotkey/hotkey_bindings.h"

namespace tunelet {

namespace {
constexpr Shortcut W = kShortcutWin, S = kShortcutShift, C = kShortcutCtrl, A = kShortcutAlt;
}  // namespace

const std::array<Shortcut, 16> kScanModifierSets{
    W, W | S, W | C, W | A, W | C | S, W | S | A, W | C | A, W | C | S | A,  //
    S, S | C, S | A, S | C | A, C, C | A, A, 0,
};

std::vector<HotKeyBinding> BindingsToRegister(const HotKeySlots& slots, const IKeyNames& names) {
  std::vector<HotKeyBinding> bindings;
  for (size_t action = 0; action < kHotKeyActionCount; ++action) {
    if (slots.IsEmpty(action)) continue;
    const Shortcut s = TextToShortcut(slots.SlotText(action), names);
    if (IsRegistrable(s)) bindings.push_back({int(action), s});
  }
  return bindings;
}

std::vector<std::u16string> UnavailableCombinations(const std::function<bool(Shortcut)>& canRegister,
                                                    const IKeyNames& names) {
  std::vector<std::u16string> refused;
  for (Shortcut modifiers : kScanModifierSets) {
    for (uint32_t vk = kFirstNamedKey; vk <= kLastNamedKey; ++vk) {
      const Shortcut s = modifiers | vk;
      if (!canRegister(s)) refused.push_back(ShortcutToText(s, names));
    }
  }
  return refused;
}

}  // namespace tunelet
