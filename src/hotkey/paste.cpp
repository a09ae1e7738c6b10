#include "hotkey/paste.h"

#include "model/settings.h"
#include "platform/platform.h"

namespace tunelet {

uint32_t PasteCodePage() { return Settings().a_u == 1 ? 1251u : 0u; }

std::vector<uint32_t> CharMessageCodes(std::u16string_view text, bool unicodeWindow, uint32_t codePage) {
  std::vector<uint32_t> codes;
  if (unicodeWindow) {
    codes.assign(text.begin(), text.end());
    return codes;
  }
  for (char byte : platform::WideToMultiByte(text, codePage)) codes.push_back(uint8_t(byte));
  return codes;
}

std::vector<KeyRecord> KeyCombinationRecords(Shortcut shortcut) {
  const uint8_t key = ShortcutKey(shortcut);
  const bool ctrl = (shortcut & kShortcutCtrl) != 0;
  std::vector<KeyRecord> records;
  if (ctrl) records.push_back({kVirtualKeyControl, false});
  records.push_back({key, false});
  records.push_back({key, true});
  if (ctrl) records.push_back({kVirtualKeyControl, true});
  return records;
}

}  // namespace tunelet
