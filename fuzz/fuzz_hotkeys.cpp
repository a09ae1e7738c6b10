// hotkeys.dat and key texts: the file as any earlier version or a damaged
// disk left it (any length, any length bytes), read into the slots and
// turned into the bindings registered at start, and the texts a user types
// into the hot-key tab, stored in a slot and read back.
//
// Input: the file's bytes up to the first "\n--\n", then key texts, one per
// line.
#include <algorithm>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "hotkey/fake_key_names.h"
#include "hotkey/hotkey_bindings.h"
#include "hotkey/hotkey_slots.h"
#include "hotkey/shortcut.h"
#include "text_input.h"

using namespace tunelet;

namespace {

constexpr std::string_view kFileEnd = "\n--\n";

void UseSlots(const HotKeySlots& slots, const IKeyNames& names) {
  for (size_t action = 0; action <= kHotKeyActionCount; ++action) (void)slots.SlotText(action);
  for (const HotKeyBinding& b : BindingsToRegister(slots, names)) {
    if (!IsRegistrable(b.shortcut)) __builtin_trap();  // only whole combinations are registered
    (void)ShortcutToText(b.shortcut, names);
  }
}

void UseKeyText(std::u16string_view text, size_t action, HotKeySlots& slots, const IKeyNames& names) {
  const Shortcut s = TextToShortcut(text, names);
  if (s != 0) (void)ShortcutToText(s, names);
  slots.SetSlotText(action, text);
  if (slots.SlotText(action).size() > kHotKeySlotTextMax) __builtin_trap();  // a slot holds 30 characters
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const hotkey_test::FakeKeyNames names;
  static const std::u16string path = fuzz::ScratchFolder(u"hotkeys") + u"hotkeys.dat";
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t fileEnd = std::min(input.find(kFileEnd), input.size());

  platform::WriteNewFile(path, data, fileEnd);
  HotKeySlots slots;
  LoadHotKeySlots(slots, path);
  UseSlots(slots, names);

  size_t action = 0;
  for (size_t from = fileEnd + kFileEnd.size(); from < input.size(); ++action) {
    const size_t end = std::min(input.find('\n', from), input.size());
    const std::string_view line = input.substr(from, end - from);
    UseKeyText(fuzz::ByteText({line.begin(), line.end()}), action % kHotKeyActionCount, slots, names);
    from = end + 1;
  }
  UseSlots(slots, names);
  return 0;
}
