// Key combinations as the hot keys keep them: a 32-bit Shortcut
// (model/shortcut_bits.h), its text form ("Ctrl+Shift+F5")
// and the conversion to the system's hot-key modifier flags. The key names
// come from the system's keyboard layout, reached through IKeyNames.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/shortcut_bits.h"

namespace tunelet {

// The system's hot-key modifier flags (MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN).
constexpr uint32_t kModAlt = 1;
constexpr uint32_t kModControl = 2;
constexpr uint32_t kModShift = 4;
constexpr uint32_t kModWin = 8;
// Held down, the hot key is reported once (Windows 7 and later; older systems
// refuse the flag).
constexpr uint32_t kModNoRepeat = 0x4000;

// Virtual keys whose names are looked up (and whose combinations are scanned).
constexpr uint32_t kFirstNamedKey = 8;
constexpr uint32_t kLastNamedKey = 255;

uint32_t ToSystemModifiers(Shortcut s);
Shortcut FromSystemModifiers(uint32_t mods);

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
