// Key combinations as the hot keys keep them: a 32-bit Shortcut (the virtual
// key in bits 0..7 and four modifier bits), its text form ("Ctrl+Shift+F5")
// and the conversion to the system's hot-key modifier flags. The key names
// come from the system's keyboard layout, reached through IKeyNames.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tunelet {

using Shortcut = uint32_t;

constexpr Shortcut kShortcutKeyMask = 0xFF;
constexpr Shortcut kShortcutShift = 0x2000;
constexpr Shortcut kShortcutCtrl = 0x4000;
constexpr Shortcut kShortcutAlt = 0x8000;
constexpr Shortcut kShortcutWin = 0x10000;
constexpr Shortcut kShortcutModifiers = kShortcutShift | kShortcutCtrl | kShortcutAlt | kShortcutWin;

// The system's hot-key modifier flags (MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN).
constexpr uint32_t kModAlt = 1;
constexpr uint32_t kModControl = 2;
constexpr uint32_t kModShift = 4;
constexpr uint32_t kModWin = 8;

// Virtual keys whose names are looked up (and whose combinations are scanned).
constexpr uint32_t kFirstNamedKey = 8;
constexpr uint32_t kLastNamedKey = 255;

constexpr uint8_t ShortcutKey(Shortcut s) { return uint8_t(s & kShortcutKeyMask); }
constexpr Shortcut ShortcutModifiers(Shortcut s) { return s & kShortcutModifiers; }
uint32_t ToSystemModifiers(Shortcut s);
Shortcut FromSystemModifiers(uint32_t mods);
// Worth registering: at least one modifier and a key.
constexpr bool IsRegistrable(Shortcut s) { return ShortcutModifiers(s) != 0 && ShortcutKey(s) != 0; }

// The system's key names (MapVirtualKey and GetKeyNameText on Windows).
class IKeyNames {
 public:
  virtual ~IKeyNames() = default;
  // The scan code of a virtual key; 0 when the layout has none.
  virtual uint32_t ScanCode(uint8_t virtualKey) const = 0;
  // The name of a key given as GetKeyNameText's lParam (scan code in bits
  // 16..23, extended-key flag in bit 24); empty when it has none.
  virtual std::u16string KeyNameText(uint32_t keyData) const = 0;
};

// "Ctrl+Shift+Alt+Win+" for the modifiers present, then the key's name.
std::u16string ShortcutToText(Shortcut s, const IKeyNames& names);
// The Shortcut a text names; 0 when it names none (an unknown word, a
// modifier as the key, a key without a name).
Shortcut TextToShortcut(std::u16string_view text, const IKeyNames& names);

}  // namespace tunelet
