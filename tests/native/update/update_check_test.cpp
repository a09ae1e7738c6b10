#include "update/update_check.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "model/settings.h"

namespace tunelet {
namespace {

constexpr char kOwn[] = "3.0.5.2650";

TEST(IsNewerVersion, ComparesTheThreeOneDigitComponents) {
  EXPECT_TRUE(IsNewerVersion("tunelet3.0.6.zip", kOwn));
  EXPECT_FALSE(IsNewerVersion("tunelet3.0.5.zip", kOwn));  // the build number plays no part
  EXPECT_FALSE(IsNewerVersion("tunelet3.0.4.zip", kOwn));
  EXPECT_FALSE(IsNewerVersion("tunelet2.9.9.zip", "3.0.5"));
  EXPECT_TRUE(IsNewerVersion("tunelet4.0.0.exe", "3.0.5"));
  EXPECT_TRUE(IsNewerVersion("tunelet3.1.0.zip", "3.0.5"));
  EXPECT_FALSE(IsNewerVersion("tunelet3.0.9.zip", "3.1.0"));
  // Position 3 of "3.10.0" is the "1" of 10.
  EXPECT_TRUE(IsNewerVersion("tunelet3.10.0.zip", "3.0.5"));
  // Without a version resource the plug-in calls itself 9.9.9.9999.
  EXPECT_FALSE(IsNewerVersion("tunelet9.9.9.zip", "9.9.9.9999"));
}

TEST(IsNewerVersion, FindsTheKeywordInAnyCaseAfterAnyText) {
  EXPECT_TRUE(IsNewerVersion("TUNELET3.1.0.ZIP", kOwn));
  EXPECT_TRUE(IsNewerVersion("TuneLet3.0.6.zip\r\n", kOwn));
  EXPECT_TRUE(IsNewerVersion("latest release: tunelet3.0.6.zip", kOwn));
  // Only the first occurrence counts.
  EXPECT_FALSE(IsNewerVersion("tunelet3.0.4.zip tunelet3.0.9.zip", kOwn));
  EXPECT_FALSE(IsNewerVersion("3.0.6.zip", kOwn));
  EXPECT_FALSE(IsNewerVersion("tune let3.0.6.zip", kOwn));
  EXPECT_FALSE(IsNewerVersion("", kOwn));
}

TEST(IsNewerVersion, ANonDigitOrAMissingComponentIsNotNewer) {
  EXPECT_FALSE(IsNewerVersion("tuneletx.0.6.zip", kOwn));
  EXPECT_FALSE(IsNewerVersion("tunelet3.a.6.zip", kOwn));
  // A component is read only while the earlier ones are equal.
  EXPECT_TRUE(IsNewerVersion("tunelet4.x.y.zip", kOwn));
  EXPECT_FALSE(IsNewerVersion("tunelet3.0.z.zip", kOwn));
  EXPECT_FALSE(IsNewerVersion("tunelet-3.0.6.zip", kOwn));
  EXPECT_FALSE(IsNewerVersion("tunelet3.0", kOwn));
  EXPECT_FALSE(IsNewerVersion("tunelet", kOwn));
  EXPECT_FALSE(IsNewerVersion("tunelet3.1.0.zip", "3.x.5"));
  EXPECT_FALSE(IsNewerVersion("tunelet3.0.6.zip", "3.0"));
  EXPECT_FALSE(IsNewerVersion("tunelet4.0.0.zip", ""));
}

TEST(IsNewerVersion, OnlyTheFirst256BytesUpToAZeroByteCount) {
  const std::string name = "tunelet3.0.6.zip";  // 16 bytes
  EXPECT_TRUE(IsNewerVersion(std::string(256 - name.size(), ' ') + name, kOwn));
  // Cut after "tunelet3.0.": the third component is missing.
  EXPECT_FALSE(IsNewerVersion(std::string(256 - 11, ' ') + name, kOwn));
  EXPECT_FALSE(IsNewerVersion(std::string(300, ' ') + name, kOwn));
  EXPECT_FALSE(IsNewerVersion(std::string("release\0", 8) + name, kOwn));
  EXPECT_TRUE(IsNewerVersion(name + std::string("\0tunelet1.0.0", 13), kOwn));

  EXPECT_EQ(VersionFileText(std::string(300, 'a')).size(), 256u);
  EXPECT_EQ(VersionFileText(std::string("ab\0cd", 5)), "ab");
}

TEST(RemoteVersionText, IsTheVersionWithoutItsExtension) {
  EXPECT_EQ(RemoteVersionText("tunelet3.0.6.zip"), "3.0.6");
  EXPECT_EQ(RemoteVersionText("Download TUNELET4.0.0.EXE"), "4.0.0");
  EXPECT_EQ(RemoteVersionText("tunelet3.0.6.zip\r\n"), "3.0.6");
  EXPECT_EQ(RemoteVersionText("tunelet3.0.6.2700.zip"), "3.0.6.2700");
  EXPECT_EQ(RemoteVersionText("tunelet3.0.6"), "3.0.6");
  EXPECT_EQ(RemoteVersionText("no keyword 3.0.6.zip"), "");
}

// The text is shown in an always-on-top box and on the load button: only
// digits and dots ever get there.
TEST(RemoteVersionText, IsOnlyTheRunOfDigitsAndDotsAfterTheKeyword) {
  const std::string sentence =
      "tunelet9.0.0 IS A CRITICAL SECURITY FIX - install it from http://evil.example/fix.exe now.zip";
  EXPECT_EQ(RemoteVersionText(sentence), "9.0.0");
  EXPECT_EQ(NewerVersionIn(sentence, kOwn), "9.0.0");
  EXPECT_EQ(RemoteVersionText("tunelet3.1.0<script>.zip"), "3.1.0");
  EXPECT_EQ(RemoteVersionText("tunelet3.1.0-beta.zip"), "3.1.0");
  EXPECT_EQ(RemoteVersionText("tunelet3.1.0..zip"), "3.1.0");
  // Nothing that is a version: no update at all.
  for (const char* answer : {"tunelet.zip", "tunelet...zip", "tunelet zip", "tunelet", "tunelet.4.zip"}) {
    EXPECT_EQ(NewerVersionIn(answer, kOwn), std::nullopt) << answer;
  }
}

TEST(RemoteVersionText, HasACapOnItsLength) {
  const std::string longest = "65535.65535.65535.65535";
  ASSERT_EQ(longest.size(), kMaxVersionTextLength);
  EXPECT_EQ(RemoteVersionText("tunelet" + longest + ".zip"), longest);
  EXPECT_EQ(RemoteVersionText("tunelet" + longest + "5.zip"), "");
  EXPECT_EQ(NewerVersionIn("tunelet9" + std::string(200, '9') + ".zip", kOwn), std::nullopt);
  EXPECT_EQ(NewerVersionIn("tunelet9.0.0." + std::string(100, '.') + "zip", kOwn), "9.0.0");
}

TEST(NewerVersionIn, NamesTheNewerVersionOrNothing) {
  EXPECT_EQ(NewerVersionIn("tunelet3.0.6.zip", kOwn), "3.0.6");
  EXPECT_EQ(NewerVersionIn("tunelet3.0.5.zip", kOwn), std::nullopt);
  EXPECT_EQ(NewerVersionIn("", kOwn), std::nullopt);
  EXPECT_EQ(NewerVersionIn(std::string(250, ' ') + "tunelet3.0.6.zip", kOwn), std::nullopt);  // cut at 256
}

TEST(JoinWithSpace, PutsExactlyOneSpaceBetween) {
  EXPECT_EQ(JoinWithSpace(u"Доступна новая версия -", u"3.0.6"), u"Доступна новая версия - 3.0.6");
  // A language file written for the old texts, with a quoted trailing space.
  EXPECT_EQ(JoinWithSpace(u"New version is available - ", u"3.0.6"), u"New version is available - 3.0.6");
  EXPECT_EQ(JoinWithSpace(u"", u"3.0.6"), u" 3.0.6");
}

TEST(UpdateCheckAddresses, NameTheMakersSite) {
  EXPECT_EQ(UpdateUserAgent("3.0.5.2650"), "Tunelet Plugin 3.0.5.2650");
  EXPECT_EQ(DownloadPageUrl(), std::string("http://") + kMakerHost + "/files/plugins/download.htm");
  EXPECT_EQ(std::string(kVersionFileObject), "/tlup.txt");
}

// --- what the user sees of a result

struct ButtonState {
  std::optional<bool> enabled;
  std::optional<std::u16string> caption;
};

class FakeView : public IUpdateView {
 public:
  void SetCheckButton(bool enabled) override { check.enabled = enabled; }
  void SetCheckCaption(std::u16string_view c) override { check.caption = std::u16string(c); }
  void SetLoadButton(bool enabled) override { load.enabled = enabled; }
  void SetLoadCaption(std::u16string_view c) override { load.caption = std::u16string(c); }
  uintptr_t OwnerWindow() const override { return 0; }
  ButtonState check, load;
};

// A language file's texts (the English defaults).
class EnglishTexts : public IUiTexts {
 public:
  std::u16string Text(std::u16string_view key) const override {
    static const std::map<std::u16string_view, std::u16string_view> kTexts = {
        {u"CHECKING", u"Checking..."},     {u"BUT_CHECKUPDATES", u"Check updates"},
        {u"BUT_LOADUPDATE", u"Load new version"}, {u"BUT_LOAD", u"Load"},
        {u"BUT_NOTAV", u"No updates"},     {u"NEWVERSIONAV", u"New version is available - "}};
    const auto it = kTexts.find(key);
    return it == kTexts.end() ? std::u16string() : std::u16string(it->second);
  }
};

class ReportUpdateResultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    Settings().UpdateCheckPending = true;
  }
  void TearDown() override { ResetSettings(); }
  BuiltInUiTexts russian;
  EnglishTexts english;
  FakeView view;
};

TEST_F(ReportUpdateResultTest, NewerWithTheDialogOpenOffersTheDownload) {
  StoreUpdateResult(true, "3.0.6");
  EXPECT_FALSE(Settings().UpdateCheckPending);
  const std::optional<UpdateNotice> notice = ReportUpdateResult(&view, russian);
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->title, u"Tunelet Plugin");
  EXPECT_EQ(notice->text, u"Доступна новая версия - 3.0.6");
  EXPECT_EQ(view.load.enabled, true);
  EXPECT_EQ(view.load.caption, u"Загрузить 3.0.6");
  EXPECT_EQ(view.check.enabled, false);
  EXPECT_EQ(view.check.caption, u"Проверить обновления");
  EXPECT_FALSE(Settings().UpdateAvailable);  // the dialog has shown it
}

TEST_F(ReportUpdateResultTest, NotNewerWithTheDialogOpenSaysSoOnTheButton) {
  StoreUpdateResult(false, "");
  EXPECT_FALSE(ReportUpdateResult(&view, russian));
  EXPECT_EQ(view.check.enabled, false);
  EXPECT_EQ(view.check.caption, u"Нет обновлений");
  EXPECT_FALSE(view.load.enabled);
  EXPECT_FALSE(view.load.caption);
  EXPECT_FALSE(Settings().UpdateCheckPending);
}

TEST_F(ReportUpdateResultTest, WithTheDialogClosedOnlyANewerVersionIsShown) {
  StoreUpdateResult(false, "");
  EXPECT_FALSE(ReportUpdateResult(nullptr, russian));

  StoreUpdateResult(true, "4.0.0");
  const std::optional<UpdateNotice> notice = ReportUpdateResult(nullptr, russian);
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->title, u"Tunelet");
  EXPECT_EQ(notice->text, u"Доступна новая версия - 4.0.0");
  EXPECT_TRUE(Settings().UpdateAvailable);
  EXPECT_EQ(Settings().NewVersionText, "4.0.0");
}

TEST_F(ReportUpdateResultTest, ALanguageFileSuppliesTheWords) {
  Settings().UseLanguageFile = true;
  StoreUpdateResult(true, "3.0.6");
  std::optional<UpdateNotice> notice = ReportUpdateResult(nullptr, english);
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->title, u"Tunelet Plugin");
  EXPECT_EQ(notice->text, u"New version is available - 3.0.6");  // one space, though the text ends in one

  notice = ReportUpdateResult(&view, english);
  EXPECT_EQ(view.load.caption, u"Load 3.0.6");
  EXPECT_EQ(view.check.caption, u"Check updates");

  StoreUpdateResult(false, "");
  EXPECT_FALSE(ReportUpdateResult(&view, english));
  EXPECT_EQ(view.check.caption, u"No updates");
}

TEST_F(ReportUpdateResultTest, TheButtonsWhileCheckingAndAfterTheDownloadPageOpened) {
  ShowCheckStarted(view, russian);
  EXPECT_EQ(view.check.enabled, false);
  EXPECT_EQ(view.check.caption, u"Проверяется...");

  view.load = {true, u"Загрузить 3.0.6"};
  ShowDownloadStarted(view, russian);
  EXPECT_EQ(view.load.enabled, false);
  EXPECT_EQ(view.load.caption, u"Загрузить 3.0.6");  // the built-in caption stays
  Settings().UseLanguageFile = true;
  ShowDownloadStarted(view, english);
  EXPECT_EQ(view.load.caption, u"Load new version");
}

}  // namespace
}  // namespace tunelet
