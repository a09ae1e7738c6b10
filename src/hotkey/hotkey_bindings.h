// Which combinations are registered at start, and which combinations the
// system refuses (the options dialog lists those as unavailable).
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "hotkey/hotkey_slots.h"
#include "hotkey/shortcut.h"

namespace tunelet {

struct HotKeyBinding {
  int action;
  Shortcut shortcut;
  bool operator==(const HotKeyBinding&) const = default;
};

// Each non-empty slot whose text parses to a combination with at least one
// modifier and a key, in action order.
std::vector<HotKeyBinding> BindingsToRegister(const HotKeySlots& slots, const IKeyNames& names);

// The modifier sets of the unavailable-combinations scan, in its order.
extern const std::array<Shortcut, 16> kScanModifierSets;

// For each modifier set and each virtual key 8..255, the text of every
// combination that canRegister refuses.
std::vector<std::u16string> UnavailableCombinations(const std::function<bool(Shortcut)>& canRegister,
                                                    const IKeyNames& names);
// The same for trials first .. first + count - 1 of that order (of
// kUnavailableScanTrials); trials past the end are not made.
std::vector<std::u16string> UnavailableCombinations(size_t first, size_t count,
                                                    const std::function<bool(Shortcut)>& canRegister,
                                                    const IKeyNames& names);

}  // namespace tunelet
