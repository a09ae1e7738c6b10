#include "ui/options_texts.h"

#include <gtest/gtest.h>

#include <set>

#include "lang/language_texts.h"
#include "model/player_table.h"
#include "ui/options_controls.h"

namespace tunelet {
namespace {

// A language file's texts: each key answers with its own name.
class KeyEcho : public IUiTexts {
 public:
  std::u16string Text(std::u16string_view key) const override { return u"<" + std::u16string(key) + u">"; }
};

TEST(OptionsTexts, EveryControlAppearsOnceAndEveryKeyIsALanguageKey) {
  std::set<int> seen;
  const LanguageTexts english;  // every key of the language file, English defaults
  for (const auto& t : OptionsControlTexts()) {
    EXPECT_TRUE(seen.insert(t.control).second) << t.control;
    EXPECT_FALSE(t.caption.empty() && t.hint.empty() && t.hintKey.empty()) << t.control;
    if (!t.captionKey.empty()) {
      EXPECT_FALSE(english.Text(t.captionKey).empty()) << t.control;
    }
    if (!t.hintKey.empty() && t.hintKey != kClearedHint) {
      EXPECT_FALSE(english.Text(t.hintKey).empty()) << t.control;
    }
  }
  // Twenty player buttons, the media session's last; the two extra
  // foobar2000 rows have none.
  int players = 0;
  for (int id = 0; id <= kMediaSession; ++id) players += FindOptionsControlText(PlayerButtonId(id)) != nullptr;
  EXPECT_EQ(players, 20);
  EXPECT_EQ(FindOptionsControlText(PlayerButtonId(kFoobar2000Alt1)), nullptr);
}

TEST(OptionsTexts, LanguageFileReplacesOnlyWhatHasAKey) {
  const KeyEcho file;
  EXPECT_EQ(BuiltInCaption(kIdChboxOn), u"Плагин включен");
  EXPECT_EQ(*LanguageCaption(kIdChboxOn, file), u"<CB_ON>");
  EXPECT_EQ(*LanguageHint(kIdChboxOn, file), u"<CB_ON_HINT>");
  // "Блоки" and the player names have no key.
  EXPECT_FALSE(LanguageCaption(kIdBtAddBlock, file));
  EXPECT_FALSE(LanguageCaption(PlayerButtonId(kWinamp), file));
  // The video fields keep their built-in hints; the audio ones take the file's.
  EXPECT_EQ(*LanguageHint(kIdEXstatTextA, file), u"<XSTAT_TEXT_HINT>");
  EXPECT_FALSE(LanguageHint(kIdEXstatTextV, file));
  EXPECT_EQ(BuiltInHint(kIdEXstatTextV), u"Максимум 500 символов");
  // rb_plusany loses its hint; stext7 shows TAB2.
  EXPECT_EQ(*LanguageHint(kIdRbPlusAny, file), u"");
  EXPECT_EQ(*LanguageCaption(kIdStext7, file), u"<TAB2>");
  // One key captions three labels.
  EXPECT_EQ(*LanguageCaption(kIdLbText3, file), u"<LB_TEXT>");
  EXPECT_EQ(*LanguageCaption(kIdLbText2, file), u"<LB_TEXT>");
}

TEST(OptionsTexts, TabsTakeTab1ToTab7InOrderTheAboutTabKeepsItsCaptionAndPrivacyTakesTab9) {
  const KeyEcho file;
  EXPECT_EQ(BuiltInTabCaption(0), u"Проигрыватели");
  EXPECT_EQ(BuiltInTabCaption(7), u"О плагине");
  EXPECT_EQ(*LanguageTabCaption(0, file), u"<TAB1>");
  EXPECT_EQ(*LanguageTabCaption(6, file), u"<TAB7>");  // "About" on the control-window tab
  EXPECT_FALSE(LanguageTabCaption(7, file));
  EXPECT_EQ(BuiltInTabCaption(kPrivacyTab), u"Приватность");
  EXPECT_EQ(*LanguageTabCaption(kPrivacyTab, file), u"<TAB9>");
  EXPECT_FALSE(LanguageTabCaption(9, file));
  EXPECT_EQ(BuiltInTabCaption(9), u"");
  EXPECT_EQ(LanguageTemplateTabCaption(1, file), u"<LB_FORVIDEO>");
  EXPECT_EQ(BuiltInTemplateTabCaption(0), u"Для аудио-файлов");
}

}  // namespace
}  // namespace tunelet
