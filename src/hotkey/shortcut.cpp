#include "hotkey/shortcut.h"

#include <array>
#include <vector>

#include "common/text.h"

namespace tunelet {

namespace {

constexpr uint32_t kExtendedKeyFlag = 1u << 24;

struct ModifierWord {
  std::u16string_view word;
  Shortcut bit;
};
// In the order ShortcutToText writes them.
constexpr std::array<ModifierWord, 4> kModifierWords{{
    {u"Ctrl", kShortcutCtrl},
    {u"Shift", kShortcutShift},
    {u"Alt", kShortcutAlt},
    {u"Win", kShortcutWin},
}};

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A "+" at the end closes the last item rather than opening an empty one:
// "Ctrl+Num +" is the items Ctrl and Num.
std::vector<std::u16string_view> SplitAtPlus(std::u16string_view text) {
  std::vector<std::u16string_view> items;
  size_t start = 0;
  while (start < text.size()) {
    const size_t plus = text.find(u'+', start);
    if (plus == std::u16string_view::npos) {
      items.push_back(Trim(text.substr(start)));
      break;
    }
    items.push_back(Trim(text.substr(start, plus - start)));
    start = plus + 1;
  }
  if (items.empty()) items.emplace_back();
  return items;
}

std::u16string KeyName(uint8_t vk, const IKeyNames& names) {
  uint32_t keyData = names.ScanCode(vk) << 16;
  if (IsExtendedNavigationKey(vk)) keyData |= kExtendedKeyFlag;
  return keyData ? names.KeyNameText(keyData) : std::u16string();
}

uint8_t KeyByName(std::u16string_view name, const IKeyNames& names) {
  for (uint32_t vk = kFirstNamedKey; vk <= kLastNamedKey; ++vk) {
    const std::u16string known = KeyName(uint8_t(vk), names);
    if (!known.empty() && EqualsIgnoreCase(known, name)) return uint8_t(vk);
  }
  return 0;
}

bool IsDigitOrLatinLetter(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z'); }

uint8_t KeyOf(std::u16string_view item, const IKeyNames& names) {
  if (item.size() == 1) {
    const char16_t c = ToUpperChar(item[0]);
    if (IsDigitOrLatinLetter(c)) return uint8_t(c);
    return KeyByName(std::u16string_view(&c, 1), names);
  }
  // The keypad plus key is named "Num +", whose "+" the split took away.
  if (item == u"Num") return KeyByName(u"Num +", names);
  for (const ModifierWord& m : kModifierWords)
    if (item == m.word) return 0;
  return KeyByName(item, names);
}

}  // namespace

uint32_t ToSystemModifiers(Shortcut s) {
  uint32_t mods = 0;
  if (s & kShortcutAlt) mods |= kModAlt;
  if (s & kShortcutCtrl) mods |= kModControl;
  if (s & kShortcutShift) mods |= kModShift;
  if (s & kShortcutWin) mods |= kModWin;
  return mods;
}

Shortcut FromSystemModifiers(uint32_t mods) {
  Shortcut s = 0;
  if (mods & kModAlt) s |= kShortcutAlt;
  if (mods & kModControl) s |= kShortcutCtrl;
  if (mods & kModShift) s |= kShortcutShift;
  if (mods & kModWin) s |= kShortcutWin;
  return s;
}

std::u16string ShortcutToText(Shortcut s, const IKeyNames& names) {
  std::u16string text;
  for (const ModifierWord& m : kModifierWords) {
    if (s & m.bit) {
      text += m.word;
      text += u'+';
    }
  }
  return text + KeyName(ShortcutKey(s), names);
}

Shortcut TextToShortcut(std::u16string_view text, const IKeyNames& names) {
  const std::vector<std::u16string_view> items = SplitAtPlus(text);
  Shortcut modifiers = 0;
  for (size_t i = 0; i + 1 < items.size(); ++i) {
    Shortcut bit = 0;
    for (const ModifierWord& m : kModifierWords)
      if (EqualsIgnoreCase(items[i], m.word)) bit = m.bit;
    if (!bit) return 0;
    modifiers |= bit;
  }
  if (items.size() > 1 && !modifiers) return 0;
  const uint8_t key = KeyOf(items.back(), names);
  return key ? modifiers | key : 0;
}

}  // namespace tunelet
