#include "hotkey/paste.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "model/settings.h"
#include "templates/template_engine.h"

namespace {

using namespace tunelet;
using Codes = std::vector<uint32_t>;

TEST(PasteCharacters, AUnicodeWindowGetsOneCodePerUtf16Unit) {
  EXPECT_EQ(CharMessageCodes(u"Ки a", true, 1251), (Codes{0x041A, 0x0438, 0x20, 'a'}));
  // A character outside the BMP is two units, two messages.
  EXPECT_EQ(CharMessageCodes(u"\U0001F3B5!", true, 0), (Codes{0xD83C, 0xDFB5, '!'}));
  EXPECT_EQ(CharMessageCodes(u"", true, 0), Codes{});
}

TEST(PasteCharacters, AnEightBitWindowGetsTheBytesOfTheChosenCodePage) {
  EXPECT_EQ(CharMessageCodes(u"Кино ё", false, 1251), (Codes{0xCA, 0xE8, 0xED, 0xEE, 0x20, 0xB8}));
  EXPECT_EQ(CharMessageCodes(u"\"a\"", false, 0), (Codes{'"', 'a', '"'}));
}

TEST(PasteCharacters, TheCodePageFollowsAU) {
  ResetSettings();
  EXPECT_EQ(PasteCodePage(), 0u);
  Settings().a_u = 1;
  EXPECT_EQ(PasteCodePage(), 1251u);
  ResetSettings();
}

TEST(PasteCharacters, DisabledAndReadOnlyWindowsAreRefused) {
  EXPECT_TRUE(RefusesTyping(0x08000000));
  EXPECT_TRUE(RefusesTyping(0x0800 | 0x50000000));
  EXPECT_FALSE(RefusesTyping(0x50010080));  // a visible child edit with a tab stop
}

TEST(PasteKeys, CtrlVIsCtrlDownVDownVUpCtrlUpAndOtherModifiersAreNotPressed) {
  EXPECT_EQ(kPasteShortcut, 0x4056u);
  const std::vector<KeyRecord> ctrlV = {{0x11, false}, {'V', false}, {'V', true}, {0x11, true}};
  EXPECT_EQ(KeyCombinationRecords(kPasteShortcut), ctrlV);
  const std::vector<KeyRecord> v = {{'V', false}, {'V', true}};
  EXPECT_EQ(KeyCombinationRecords(kShortcutAlt | kShortcutShift | 'V'), v);
}

TEST(PasteText, VariablesAreReplacedAndBlocksPastedAsWritten) {
  ResetSettings();
  SetText(Settings().PasteTemplate, u"*втыкает %artist% \"%TITLE%\"*{{%album%= from %album%}}");
  SetText(Track().Artist, u"Кино");
  SetText(Track().Title, u"Звезда");
  SetText(Track().Album, u"Группа крови");
  EXPECT_EQ(PasteText(), u"*втыкает Кино \"Звезда\"*{{Группа крови= from Группа крови}}");
  ResetSettings();
}

TEST(PasteText, ControlCharactersOfTagsAreNeverTypedButTheTemplatesLineBreakIs) {
  ResetSettings();
  SetText(Settings().PasteTemplate, u"%artist% \"%title%\"\r");
  SetText(Track().Artist, u"A\tB");
  SetText(Track().Title, u"Nice song\r\n/quit see you\x1B");
  const std::u16string text = PasteText();
  EXPECT_EQ(text, u"A B \"Nice song /quit see you \"\r");
  for (const bool unicode : {true, false}) {
    const std::vector<uint32_t> codes = CharMessageCodes(text, unicode, 1251);
    EXPECT_EQ(std::count_if(codes.begin(), codes.end(), [](uint32_t c) { return c < 0x20; }), 1) << unicode;
    EXPECT_EQ(codes.back(), uint32_t('\r'));  // the Enter the user wrote
  }
  ResetSettings();
}

}  // namespace
