#include "ui/privacy_tab.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "lang/language_texts.h"

namespace tunelet {
namespace {

size_t PlayerRowIndex(const std::vector<PrivacyListRow>& rows, PlayerId player) {
  const auto it =
      std::find_if(rows.begin(), rows.end(), [&](const PrivacyListRow& r) { return !r.isApp && r.player == player; });
  return size_t(it - rows.begin());
}

TEST(PrivacyTab, OneRowPerPlayerSwitchThenTheRememberedAppsAndTheTicksGoBackByRowAndId) {
  PrivacySettings p;
  p.SessionApps = {{u"Spotify.exe", true}, {u"firefox.exe", false}};
  std::vector<PrivacyListRow> rows = PrivacyListRows(p);
  ASSERT_EQ(rows.size(), 19u + 2u);
  EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const PrivacyListRow& r) { return !r.isApp; }), 19);
  EXPECT_EQ(PlayerRowIndex(rows, kFoobar2000Alt1), rows.size());  // the foobar2000 rows share one switch
  EXPECT_EQ(PlayerRowIndex(rows, kFoobar2000Alt2), rows.size());
  EXPECT_TRUE(rows[19].isApp);
  EXPECT_EQ(rows[19].appId, u"Spotify.exe");
  EXPECT_FALSE(rows[19].webBrowser);
  EXPECT_TRUE(rows[20].webBrowser);
  EXPECT_FALSE(rows[20].shared);

  rows[PlayerRowIndex(rows, kFoobar2000)].shared = false;
  rows[PlayerRowIndex(rows, kWinamp)].shared = false;
  rows[19].shared = false;
  rows[20].shared = true;
  // The core remembers another application while the dialog is open: it
  // keeps its own choice, and the listed ones are found by their ids.
  p.SessionApps.insert(p.SessionApps.begin(), {u"vlc.exe", false});
  StorePrivacyListRows(rows, p);
  for (PlayerId row : {kFoobar2000, kFoobar2000Alt1, kFoobar2000Alt2, kWinamp})
    EXPECT_FALSE(p.PlayerShared[row]) << int(row);
  EXPECT_TRUE(p.PlayerShared[kWmp]);
  const std::vector<SessionAppChoice> expected = {{u"vlc.exe", false}, {u"Spotify.exe", false}, {u"firefox.exe", true}};
  EXPECT_EQ(p.SessionApps, expected);
}

TEST(PrivacyTab, CaptionsNameThePlayerOrTheAppWithItsIdAndMarkBrowsers) {
  PrivacyListRow player;
  player.player = kAimp2;
  EXPECT_EQ(PrivacyRowCaption(player, u"(браузер)"), u"AIMP2");

  PrivacyListRow app;
  app.isApp = true;
  app.appId = u"Spotify.exe";
  EXPECT_EQ(PrivacyRowCaption(app, u"(браузер)"), u"Spotify (Spotify.exe)");
  app.appId = u"firefox.exe";
  app.webBrowser = true;
  EXPECT_EQ(PrivacyRowCaption(app, u"(браузер)"), u"Firefox (firefox.exe) (браузер)");
}

TEST(PrivacyTab, PatternFieldSplitsAtEveryLineBreakTrimsAndDropsEmptyLines) {
  const ExclusionFieldLines got =
      SplitExclusionField(u"  artist:*podcast* \r\n\r\ntitle:Intro\n\tpath:D:\\Private\\*\rx\r\n");
  const std::vector<std::u16string> expected = {u"artist:*podcast*", u"title:Intro", u"path:D:\\Private\\*", u"x"};
  EXPECT_EQ(got.lines, expected);
  EXPECT_TRUE(got.Acceptable());
  // What the field shows for stored lines reads back as the same lines.
  EXPECT_EQ(SplitExclusionField(ExclusionFieldText(expected)).lines, expected);
  EXPECT_EQ(ExclusionFieldText(expected), u"artist:*podcast*\r\ntitle:Intro\r\npath:D:\\Private\\*\r\nx");
  EXPECT_TRUE(SplitExclusionField(u"").lines.empty());
}

TEST(PrivacyTab, TooManyOrTooLongPatternLinesRefuseTheSave) {
  std::u16string text;
  for (size_t i = 0; i < kMaxExclusionPatterns; ++i) text += u"a\r\n\r\n";  // empty lines do not count
  EXPECT_TRUE(SplitExclusionField(text).Acceptable());
  EXPECT_EQ(SplitExclusionField(text).lines.size(), kMaxExclusionPatterns);
  const ExclusionFieldLines tooMany = SplitExclusionField(text + u"b");
  EXPECT_TRUE(tooMany.tooMany);
  EXPECT_FALSE(tooMany.Acceptable());

  const std::u16string longest(kMaxExclusionPatternChars, u'x');
  EXPECT_TRUE(SplitExclusionField(u"  " + longest + u"  ").Acceptable());  // blanks around do not count
  // The line number is the one the field shows, empty lines included.
  const ExclusionFieldLines tooLong = SplitExclusionField(u"a\r\n\r\n" + longest + u"y\r\n" + longest + u"z");
  EXPECT_EQ(tooLong.firstTooLong, 3u);
  EXPECT_FALSE(tooLong.Acceptable());
}

TEST(PrivacyTab, NumbersAreDigitsWithinTheirRange) {
  EXPECT_EQ(ParsePrivacyNumber(u"0", kMaxPausedTooLongMinutes), 0);
  EXPECT_EQ(ParsePrivacyNumber(u" 1440 ", kMaxPausedTooLongMinutes), 1440);
  EXPECT_EQ(ParsePrivacyNumber(u"600", kMaxCalmPublishSeconds), 600);
  for (std::u16string_view bad : {u"1441", u"", u"  ", u"12a", u"-1", u"+5", u"99999999999999999999", u"1 0"})
    EXPECT_FALSE(ParsePrivacyNumber(bad, kMaxPausedTooLongMinutes).has_value())
        << std::string(bad.begin(), bad.end());
  EXPECT_FALSE(ParsePrivacyNumber(u"601", kMaxCalmPublishSeconds).has_value());
}

TEST(PrivacyTab, WarningsCarryTheirLimitsInBothLanguages) {
  const BuiltInUiTexts russian;
  const LanguageTexts english;
  EXPECT_EQ(PrivacyRangeMessage(russian, 1440), u"Допустимые значения: от 0 до 1440");
  EXPECT_EQ(PrivacyRangeMessage(english, 600), u"Allowed values: 0 to 600");
  EXPECT_EQ(PrivacyTooManyPatternsMessage(english), u"Too many patterns. The most lines allowed: 64");
  EXPECT_EQ(PrivacyPatternTooLongMessage(russian, 7), u"Шаблон длиннее 256 символов в строке 7");
  // The texts name the cap they are about.
  for (const IUiTexts* t : {static_cast<const IUiTexts*>(&russian), static_cast<const IUiTexts*>(&english)})
    EXPECT_NE(t->Text(u"PRIVACY_PATTERN_TOO_LONG").find(u"256"), std::u16string::npos);
  static_assert(kMaxExclusionPatternChars == 256 && kMaxExclusionPatterns == 64);
  EXPECT_EQ(english.Text(u"PRIVACY_BROWSER"), u"(web browser)");
  EXPECT_EQ(russian.Text(u"PRIVACY_BROWSER"), u"(браузер)");
}

}  // namespace
}  // namespace tunelet
