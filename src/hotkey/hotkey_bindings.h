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

// Whether the combination, kept as its text in a slot (the system's ANSI code
// page, at most 30 characters), reads back as the same combination at the
// next start. It does not when the layout gives its key no name ("Ctrl+"),
// gives the name to a lower virtual key as well (the lookup takes the first),
// or names it "+" ("Ctrl++", which splits into nothing).
bool ReadsBackFromSlot(Shortcut s, const IKeyNames& names);

// Registers s through registerKey(system modifiers, virtual key), asking that
// a held key be reported once; a system that refuses that flag (before
// Windows 7) gets the plain registration.
bool RegisterWithoutRepeat(Shortcut s, const std::function<bool(uint32_t, uint8_t)>& registerKey);

// Whether the action has a binding in its slot that does not work: its text
// names no combination, or another one than the one registered for the
// action (0: none registered).
bool BindingFailed(const HotKeySlots& slots, size_t action, Shortcut registered, const IKeyNames& names);

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
