// The 32-bit key combination (Shortcut) as the hot keys keep it and as the
// options dialog edits it: the virtual key in bits 0..7 and four modifier
// bits. Its texts and the system's names of keys are the hot-key subsystem's
// (hotkey/shortcut.h); this is what both sides of IHotKeys share.
#pragma once

#include <cstdint>

namespace tunelet {

using Shortcut = uint32_t;

constexpr Shortcut kShortcutKeyMask = 0xFF;
constexpr Shortcut kShortcutShift = 0x2000;
constexpr Shortcut kShortcutCtrl = 0x4000;
constexpr Shortcut kShortcutAlt = 0x8000;
constexpr Shortcut kShortcutWin = 0x10000;
constexpr Shortcut kShortcutModifiers = kShortcutShift | kShortcutCtrl | kShortcutAlt | kShortcutWin;

constexpr uint8_t ShortcutKey(Shortcut s) { return uint8_t(s & kShortcutKeyMask); }
constexpr Shortcut ShortcutModifiers(Shortcut s) { return s & kShortcutModifiers; }
// Worth registering: at least one modifier and a key.
constexpr bool IsRegistrable(Shortcut s) { return ShortcutModifiers(s) != 0 && ShortcutKey(s) != 0; }

// Page Up .. Down (33..40) and Insert, Delete (45, 46) share their scan
// codes with keypad keys; the extended-key flag tells the dedicated key apart
// where a key is named from its scan code.
constexpr bool IsExtendedNavigationKey(uint8_t vk) { return (vk >= 33 && vk <= 40) || vk == 45 || vk == 46; }

}  // namespace tunelet
