#include <gtest/gtest.h>

#include <set>

#include "lang/language_texts.h"
#include "model/settings.h"

using namespace tunelet;

namespace {

TEST(LanguageKeysTest, EveryKeyOnceInTheLoadersOrder) {
  const auto keys = LanguageKeys();
  ASSERT_EQ(keys.size(), 133u);  // 120 shown texts and 13 that no window shows
  std::set<std::u16string_view> seen;
  for (const LanguageKey& k : keys) {
    EXPECT_TRUE(seen.insert(k.key).second) << "twice";
    EXPECT_FALSE(k.english.empty());
  }
  EXPECT_EQ(keys.front().key, u"HOTKEY_REG_ERROR");
  EXPECT_EQ(keys[LanguageKeyIndex(u"TAB1") + 6].key, u"TAB7");
  EXPECT_EQ(keys[LanguageKeyIndex(u"UNKNOWN_TRACK") + 1].key, u"HOTKEY_DELALL");
  EXPECT_EQ(keys.back().key, u"RBOX_TOARTIST");
  EXPECT_EQ(LanguageKeyIndex(u"NO_SUCH_KEY"), kUnknownLanguageKey);
}

TEST(LanguageKeysTest, DefaultsKeepTheirQuotesAndLineBreak) {
  LanguageTexts texts;
  // The messages that the caller follows with " " and a value end without
  // a space of their own.
  for (std::u16string_view key : {u"HOTKEY_REG_ERROR", u"HOTKEY_DEL_ERROR", u"NEWVERSIONAV"})
    EXPECT_NE(texts.Text(key).back(), u' ') << std::string(key.begin(), key.end());
  EXPECT_EQ(texts.Text(u"HOTKEY_REG_ERROR"), u"Failed to assign hot key for");
  EXPECT_EQ(texts.Text(u"NEWVERSIONAV"), u"New version is available -");
  EXPECT_EQ(texts.Text(u"RBOX_FROMMUSIC"), u"Change content if X-Status is \"Music\"");
  EXPECT_EQ(texts.Text(u"HOTKEYLIST_HINT"),
            u"Note: Hot keys don't operate in settings dialog!\rPlease close this window to check");
  EXPECT_EQ(texts.Text(u"PLUGIN_OFF"), u"The plug-in is inactive (OFF)");
  EXPECT_EQ(texts.Text(u"NO_SUCH_KEY"), u"");
}

TEST(SelectedUiTextsTest, TheFlagPicksTheFilesTextsOrTheBuiltInRussian) {
  ResetSettings();
  LanguageTexts file;
  std::vector<std::u16string> loaded;
  for (const LanguageKey& k : LanguageKeys()) loaded.emplace_back(k.english);
  loaded[LanguageKeyIndex(u"PLUGIN_ON")] = u"Das Plug-in ist aktiv";
  file.Replace(loaded);
  SelectedUiTexts texts(file);

  EXPECT_EQ(texts.Text(u"PLUGIN_ON"), u"Плагин активен (ON)");
  // A key the built-in table lacks shows its English default, never nothing.
  EXPECT_EQ(texts.Text(u"TAB3"), u"X-status");

  Settings().UseLanguageFile = true;
  EXPECT_EQ(texts.Text(u"PLUGIN_ON"), u"Das Plug-in ist aktiv");
  EXPECT_EQ(texts.Text(u"PLUGIN_OFF"), u"The plug-in is inactive (OFF)");

  Settings().UseLanguageFile = false;  // read at the moment a text is shown
  EXPECT_EQ(texts.Text(u"PLUGIN_OFF"), u"Плагин неактивен (OFF)");
}

TEST(SelectedUiTextsTest, ReplaceRefusesATableOfTheWrongSize) {
  LanguageTexts file;
  file.Replace({u"only one"});
  EXPECT_EQ(file.Text(u"HOTKEY_REG_ERROR"), u"Failed to assign hot key for");
}

}  // namespace
