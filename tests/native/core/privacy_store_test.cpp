#include <gtest/gtest.h>

#include <tuple>

#include "core/privacy_store.h"
#include "core_fakes.h"

using namespace tunelet;
using namespace tunelet::testing;

namespace {

TEST(PrivacyStore, AMissingSectionSharesEverythingAsBefore) {
  MemoryIni ini;
  EXPECT_EQ(LoadPrivacySettings(ini), PrivacySettings{});
  const PrivacySettings p = LoadPrivacySettings(ini);
  for (bool shared : p.PlayerShared) EXPECT_TRUE(shared);
  EXPECT_EQ(p.PausedTooLongMinutes, 0);
  EXPECT_EQ(p.CalmPublishSeconds, 0);
  EXPECT_TRUE(ini.writes.empty()) << "loading writes nothing";
}

TEST(PrivacyStore, SavedChoicesLoadBackAsTheyWere) {
  PrivacySettings p;
  p.PlayerShared[kWinamp] = false;
  p.PlayerShared[kFoobar2000] = p.PlayerShared[kFoobar2000Alt1] = p.PlayerShared[kFoobar2000Alt2] = false;
  p.SessionApps = {{u"Chrome", true}, {u"Microsoft.ZuneMusic_8wekyb3d8bbwe!Microsoft.ZuneMusic", false}};
  p.ExclusionLines = {u"artist:*podcast*", u"path:D:\\Private\\*"};
  p.PausedTooLongMinutes = 1440;
  p.CalmPublishSeconds = 600;
  MemoryIni ini;
  SavePrivacySettings(ini, p);
  EXPECT_EQ(LoadPrivacySettings(ini), p);
  EXPECT_EQ(*ini.Read(u"Privacy", u"Player8"), u"0");
  EXPECT_EQ(*ini.Read(u"Privacy", u"App2"), u"Microsoft.ZuneMusic_8wekyb3d8bbwe!Microsoft.ZuneMusic");
  EXPECT_EQ(*ini.Read(u"Privacy", u"Appshared2"), u"0");
  EXPECT_EQ(*ini.Read(u"Privacy", u"Exclusions"), u"2");
  EXPECT_EQ(ini.Read(u"Privacy", u"Player10"), std::nullopt) << "one switch for the foobar2000 rows";
}

TEST(PrivacyStore, OutOfRangeNumbersSwitchTheirRuleOff) {
  for (auto [text, minutes, seconds] : {std::tuple{u"-1", 0, 0}, std::tuple{u"1441", 0, 0},
                                        std::tuple{u"0x10", 16, 16}, std::tuple{u"abc", 0, 0}}) {
    MemoryIni ini;
    ini.Set(u"Privacy", u"Pauselimit", text);
    ini.Set(u"Privacy", u"Calminterval", text);
    const PrivacySettings p = LoadPrivacySettings(ini);
    EXPECT_EQ(p.PausedTooLongMinutes, minutes) << Utf16ToUtf8(text);
    EXPECT_EQ(p.CalmPublishSeconds, seconds);
  }
  MemoryIni ini;
  ini.Set(u"Privacy", u"Calminterval", u"601");
  EXPECT_EQ(LoadPrivacySettings(ini).CalmPublishSeconds, 0);
}

TEST(PrivacyStore, AHandEditedFileIsCappedAndCleaned) {
  MemoryIni ini;
  ini.Set(u"Privacy", u"Apps", u"2147483647");
  for (size_t i = 1; i <= kMaxRememberedSessionApps + 10; ++i) ini.Set(u"Privacy", u"App" + ToU16(uint32_t(i)), u"app" + ToU16(uint32_t(i)));
  ini.Set(u"Privacy", u"App1", std::u16string(kMaxSessionAppIdChars + 1, u'x'));  // too long: skipped
  ini.Set(u"Privacy", u"App3", u"APP2");                                          // known already: skipped
  ini.Set(u"Privacy", u"Appshared2", u"0");
  ini.Set(u"Privacy", u"Exclusions", u"3");
  ini.Set(u"Privacy", u"Exclusion1", std::u16string(kMaxExclusionPatternChars + 1, u'x'));
  ini.Set(u"Privacy", u"Exclusion3", u"title:x");
  const PrivacySettings p = LoadPrivacySettings(ini);
  ASSERT_EQ(p.SessionApps.size(), kMaxRememberedSessionApps - 2);
  EXPECT_EQ(p.SessionApps[0], (SessionAppChoice{u"app2", false}));
  EXPECT_EQ(p.SessionApps.back().appId, u"app" + ToU16(uint32_t(kMaxRememberedSessionApps)));
  EXPECT_EQ(p.ExclusionLines, std::vector<std::u16string>{u"title:x"});
}

TEST(PrivacyStore, ValuesThatWouldBreakTheFileAreNotWritten) {
  PrivacySettings p;
  p.SessionApps = {{u"evil\r\n[Main]\r\nAction=10", true}, {u"good", false}};
  p.ExclusionLines = {u"a\nb", u"", u"title:ok"};
  MemoryIni ini;
  SavePrivacySettings(ini, p);
  for (const auto& [key, value] : ini.values) EXPECT_EQ(value.find_first_of(u"\r\n"), std::u16string::npos);
  const PrivacySettings back = LoadPrivacySettings(ini);
  EXPECT_EQ(back.SessionApps, (std::vector<SessionAppChoice>{{u"good", false}}));
  EXPECT_EQ(back.ExclusionLines, std::vector<std::u16string>{u"title:ok"});
}

}  // namespace
