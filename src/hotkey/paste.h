// The portable half of pasting the playing track into another program: which
// characters a window is sent, which windows get none, and the key records of
// a simulated key combination. The Win32 side (win32/paste_win32) sends them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hotkey/shortcut.h"

namespace tunelet {

// Ctrl+V, the key combination that pastes the clipboard.
constexpr Shortcut kPasteShortcut = kShortcutCtrl | 'V';
constexpr uint8_t kVirtualKeyControl = 0x11;

// Window styles of a target that must not be typed into.
constexpr uint32_t kStyleDisabled = 0x08000000;  // WS_DISABLED
constexpr uint32_t kStyleReadOnly = 0x0800;      // ES_READONLY
constexpr bool RefusesTyping(uint32_t style) { return (style & (kStyleDisabled | kStyleReadOnly)) != 0; }

// The code page for windows that take 8-bit characters: 1251 when a_u is 1,
// else 0 (the system's ANSI code page).
uint32_t PasteCodePage();

// The WM_CHAR codes that type text: one per UTF-16 unit for a Unicode window,
// one per byte of the text in codePage otherwise.
std::vector<uint32_t> CharMessageCodes(std::u16string_view text, bool unicodeWindow, uint32_t codePage);

struct KeyRecord {
  uint8_t virtualKey;
  bool keyUp;
  bool operator==(const KeyRecord&) const = default;
};
// The records that press and release the key of shortcut, with Ctrl held
// around it when the shortcut has Ctrl (other modifiers are not pressed).
std::vector<KeyRecord> KeyCombinationRecords(Shortcut shortcut);

}  // namespace tunelet
