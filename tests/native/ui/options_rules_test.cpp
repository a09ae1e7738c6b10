#include "ui/options_rules.h"

#include <gtest/gtest.h>

#include <set>

#include "lang/language_texts.h"

namespace tunelet {
namespace {

TEST(OptionsRules, TwentyPlayerButtonsInTwoColumnsWithoutTheExtraFoobarRows) {
  std::set<int> players(kPlayerButtonsLeft.begin(), kPlayerButtonsLeft.end());
  players.insert(kPlayerButtonsRight.begin(), kPlayerButtonsRight.end());
  EXPECT_EQ(players.size(), 20u);
  EXPECT_TRUE(HasPlayerButton(kFoobar2000));
  EXPECT_TRUE(HasPlayerButton(kMediaSession));
  EXPECT_FALSE(HasPlayerButton(kFoobar2000Alt1));
  EXPECT_FALSE(HasPlayerButton(kFoobar2000Alt2));
  EXPECT_FALSE(HasPlayerButton(kMediaSession + 1));
}

TEST(OptionsRules, ModeButtonsAndThePictureLists) {
  for (size_t i = 0; i < kModeActions.size(); ++i) EXPECT_EQ(ModeButtonOfAction(kModeActions[i]), i);
  EXPECT_EQ(ModeButtonOfAction(21), 3u);  // rb_fromany, the last button
  EXPECT_FALSE(ModeButtonOfAction(0).has_value());
  EXPECT_FALSE(ModeButtonOfAction(20).has_value());
  EXPECT_TRUE(PictureListsEnabled(21));
  for (int action : {10, 11, 31, 0}) EXPECT_FALSE(PictureListsEnabled(action)) << action;
}

TEST(OptionsRules, TheIntervalIsKeptToThreeToTenSeconds) {
  EXPECT_EQ(IntervalSecondsOfSetting(5000), 5);
  EXPECT_EQ(IntervalSecondsOfSetting(10000), 10);
  EXPECT_EQ(RefreshIntervalFromText(u"7", 5000), 7000);
  EXPECT_EQ(RefreshIntervalFromText(u"3", 5000), 3000);
  EXPECT_EQ(RefreshIntervalFromText(u"10", 5000), 10000);
  EXPECT_EQ(RefreshIntervalFromText(u"2", 5000), 3000);
  EXPECT_EQ(RefreshIntervalFromText(u"0", 5000), 3000);
  EXPECT_EQ(RefreshIntervalFromText(u"11", 5000), 10000);
  EXPECT_EQ(RefreshIntervalFromText(u"99999999999999999999", 5000), 10000);  // no overflow
  EXPECT_EQ(RefreshIntervalFromText(u"007", 5000), 7000);
  // No number: the setting stays, itself kept to the range.
  EXPECT_EQ(RefreshIntervalFromText(u"", 6000), 6000);
  EXPECT_EQ(RefreshIntervalFromText(u"", 60000), 10000);
  EXPECT_TRUE(IsDigitsOnly(u"0123456789"));
  EXPECT_TRUE(IsDigitsOnly(u""));
  for (std::u16string_view bad : {u"5a", u"-5", u" 5", u"５", u"5.0"}) EXPECT_FALSE(IsDigitsOnly(bad));
}

// The slider cannot show 251..255 and the field shows whole seconds; a save
// that did not touch them must write back what was loaded.
TEST(OptionsRules, ControlsLeftAsLoadedKeepValuesTheyCannotShow) {
  EXPECT_EQ(TranspSliderPosition(255), 250);
  EXPECT_EQ(TranspFromSlider(TranspSliderPosition(255), 255), 255);
  EXPECT_EQ(TranspFromSlider(TranspSliderPosition(235), 235), 235);
  EXPECT_EQ(TranspFromSlider(120, 255), 120);  // moved: stored as today
  EXPECT_EQ(TranspFromSlider(240, 255), 240);
  EXPECT_EQ(TranspFromSlider(20, 0), 20);  // nothing valid to keep

  const std::u16string shown = u"7";  // what the dialog shows for 7500
  EXPECT_EQ(IntervalSecondsOfSetting(7500), 7);
  EXPECT_EQ(RefreshIntervalFromText(shown, 7500), 7500);
  EXPECT_EQ(RefreshIntervalFromText(u"07", 7500), 7500);
  EXPECT_EQ(RefreshIntervalFromText(u"", 7500), 7500);
  EXPECT_EQ(RefreshIntervalFromText(u"8", 7500), 8000);  // changed: whole seconds
  EXPECT_EQ(RefreshIntervalFromText(u"2", 3500), 3000);
  EXPECT_EQ(RefreshIntervalFromText(u"10", 10000), 10000);
  // A setting outside 3000..10000 is not kept even when the text matches.
  EXPECT_EQ(RefreshIntervalFromText(u"0", 500), 3000);
}

TEST(OptionsRules, PictureRowsAreThePictureNumbersLessOne) {
  EXPECT_EQ(XStatusPictureNames.size(), 35u);
  EXPECT_EQ(XStatusPictureNames[PictureRowOfSetting(11)], u"Музыка");  // the audio default
  EXPECT_EQ(XStatusPictureNames[PictureRowOfSetting(8)], u"TV");       // the video default
  EXPECT_EQ(XStatusPictureNames[PictureRowOfSetting(35)], u"Читаю");
  EXPECT_EQ(PictureRowOfSetting(0), -1);
  EXPECT_EQ(PictureRowOfSetting(36), -1);
  EXPECT_EQ(PictureSettingOfRow(0, 9), 1);
  EXPECT_EQ(PictureSettingOfRow(34, 9), 35);
  EXPECT_EQ(PictureSettingOfRow(-1, 9), 9);  // nothing selected: unchanged
  EXPECT_EQ(PictureSettingOfRow(35, 9), 9);
}

TEST(OptionsRules, TheBalloonHasTwelveBuiltInLinesOrElevenOfTheLanguageFile) {
  const BalloonText builtIn = TemplateBalloon(nullptr);
  EXPECT_EQ(builtIn.title, u"Доступные шаблоны:");
  EXPECT_EQ(builtIn.text,
            u"%artist% - исполнитель\r\n%title% - название трека\r\n%album% - альбом\r\n%genre% - жанр\r\n"
            u"%year% - год\r\n%#% - номер трека\r\n%player% - название плеера\r\n%size% - размер файла\r\n"
            u"%time% - длительность\r\n%bitrate% - битрейт\r\n%khz% - семплрейт\r\n%ft% - расширение файла");
  const LanguageTexts english;
  const BalloonText file = TemplateBalloon(&english);
  EXPECT_EQ(file.title, u"Available templates:");
  EXPECT_EQ(file.text,
            u"%artist% - Artist\r\n%title% - Title\r\n%album% - Album\r\n%genre% - Genre\r\n%year% - Release year\r\n"
            u"%#% - Track #\r\n%player% - Player name\r\n%size% - File size\r\n%time% - Duration\r\n"
            u"%bitrate% - Bitrate\r\n%khz% - Samplerate");
  EXPECT_EQ(ResetQuestion(nullptr), u"Сделать по умолчанию?");
  EXPECT_EQ(ResetQuestion(&english), u"Default text?");
}

TEST(OptionsRules, TheBlocksMenuTextsKeepTheirLinesAndTheLatinC) {
  EXPECT_EQ(kBlockSyntaxText.front(), u'C');  // Latin, not Cyrillic U+0421
  EXPECT_EQ(kBlockSyntaxText.substr(0, 41), u"Cинтаксис условного блока: {{тэг=инфо}}\r\n");
  EXPECT_TRUE(kBlockSyntaxText.ends_with(u"{{%genre%= [жанр %genre%]}}"));
  EXPECT_TRUE(kWhatAreBlocksText.starts_with(u"Условные блоки - это специальные блоки"));
  EXPECT_NE(kWhatAreBlocksText.find(u"текст:\r\n\" (из альбома %album%)\", если нет"), std::u16string_view::npos);
  EXPECT_TRUE(kWhatAreBlocksText.ends_with(u"в меню \"Синтаксис\""));
}

}  // namespace
}  // namespace tunelet
