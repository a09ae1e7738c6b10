#include "hotkey/shortcut.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "fake_key_names.h"

namespace {

using namespace tunelet;
using hotkey_test::FakeKeyNames;

constexpr uint8_t kF5 = 0x74;

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

TEST(ShortcutText, ModifiersComeOutInFixedOrderBeforeTheKeyName) {
  FakeKeyNames names;
  EXPECT_EQ(ShortcutToText(kShortcutCtrl | kF5, names), u"Ctrl+F5");
  EXPECT_EQ(ShortcutToText(kShortcutWin | kShortcutAlt | kShortcutShift | kShortcutCtrl | 'Q', names),
            u"Ctrl+Shift+Alt+Win+Q");
  EXPECT_EQ(ShortcutToText(kShortcutAlt | 0x20, names), u"Alt+Space");
  EXPECT_EQ(ShortcutToText(0x7A, names), u"F11");
  // A key the layout has no scan code for has no name; the prefix stays.
  EXPECT_EQ(ShortcutToText(kShortcutCtrl | 0xFF, names), u"Ctrl+");
}

TEST(ShortcutText, NavigationKeysAreNamedAsTheExtendedKeysNotTheirKeypadTwins) {
  FakeKeyNames names;
  EXPECT_EQ(ShortcutToText(kShortcutCtrl | 0x21, names), u"Ctrl+Page Up");
  EXPECT_EQ(ShortcutToText(kShortcutShift | 0x2E, names), u"Shift+Delete");
}

TEST(ShortcutText, EveryModifierSetInEveryOrderParsesToTheSameCombination) {
  FakeKeyNames names;
  const std::array<std::u16string, 4> words = {u"Ctrl", u"Shift", u"Alt", u"Win"};
  const std::array<Shortcut, 4> bits = {kShortcutCtrl, kShortcutShift, kShortcutAlt, kShortcutWin};
  for (unsigned set = 1; set < 16; ++set) {
    std::array<int, 4> order{};
    int n = 0;
    Shortcut expected = kF5;
    for (int i = 0; i < 4; ++i)
      if (set & (1u << i)) {
        order[size_t(n++)] = i;
        expected |= bits[size_t(i)];
      }
    do {
      std::u16string text;
      for (int k = 0; k < n; ++k) text += words[size_t(order[size_t(k)])] + u"+";
      text += u"F5";
      EXPECT_EQ(TextToShortcut(text, names), expected) << Narrow(text);
      EXPECT_EQ(TextToShortcut(ShortcutToText(expected, names), names), expected) << Narrow(text);
    } while (std::next_permutation(order.begin(), order.begin() + n));
  }
}

TEST(ShortcutText, WordsIgnoreCaseAndBlanksAroundItemsAndSingleLettersAreUpperCased) {
  FakeKeyNames names;
  EXPECT_EQ(TextToShortcut(u"  ctrl +  SHIFT+ f5 ", names), kShortcutCtrl | kShortcutShift | kF5);
  EXPECT_EQ(TextToShortcut(u"Alt+q", names), kShortcutAlt | 'Q');
  EXPECT_EQ(TextToShortcut(u"Win+7", names), kShortcutWin | '7');
  EXPECT_EQ(TextToShortcut(u"Ctrl+page up", names), kShortcutCtrl | 0x21);
  EXPECT_EQ(TextToShortcut(u"Ctrl+=", names), kShortcutCtrl | 0xBB);  // a single character by name
  EXPECT_EQ(TextToShortcut(u"F5", names), Shortcut(kF5));             // parses, but has no modifier
}

TEST(ShortcutText, KeypadPlusSurvivesTheSplitAtPlus) {
  FakeKeyNames names;
  const Shortcut ctrlPlus = kShortcutCtrl | 0x6B;
  EXPECT_EQ(ShortcutToText(ctrlPlus, names), u"Ctrl+Num +");
  EXPECT_EQ(TextToShortcut(u"Ctrl+Num +", names), ctrlPlus);
  EXPECT_EQ(TextToShortcut(u"Num +", names), Shortcut(0x6B));
}

TEST(ShortcutText, TextsThatNameNoCombinationGiveZero) {
  FakeKeyNames names;
  for (const std::u16string text : {u"Hyper+F1", u"Ctrl+Alt", u"Ctrl", u"Alt+Ctrl+Shift", u"Ctrl+Nonsense",
                                     u"Ctrl+", u"+", u"", u"+F5", u"Ctrl++", u"Ctrl+ctrl+F5x", u"Ctrl+F13"})
    EXPECT_EQ(TextToShortcut(text, names), 0u) << Narrow(text);
  // The modifier as the key is refused only as written; another case is
  // looked up by name (and the layout's "Ctrl" key is found).
  EXPECT_EQ(TextToShortcut(u"Alt+CTRL", names), kShortcutAlt | 0x11);
}

TEST(ShortcutText, ModifierBitsMapToTheSystemsFlagsAndBack) {
  EXPECT_EQ(ToSystemModifiers(kShortcutAlt), kModAlt);
  EXPECT_EQ(ToSystemModifiers(kShortcutCtrl), kModControl);
  EXPECT_EQ(ToSystemModifiers(kShortcutShift), kModShift);
  EXPECT_EQ(ToSystemModifiers(kShortcutWin | 'A'), kModWin);
  for (uint32_t mods = 0; mods < 16; ++mods) EXPECT_EQ(ToSystemModifiers(FromSystemModifiers(mods)), mods);
  EXPECT_TRUE(IsRegistrable(kShortcutCtrl | kF5));
  EXPECT_FALSE(IsRegistrable(kF5));
  EXPECT_FALSE(IsRegistrable(kShortcutCtrl));
}

}  // namespace
