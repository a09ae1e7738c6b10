#include <gtest/gtest.h>

#include "model/settings.h"
#include "core/settings_store.h"
#include "core_fakes.h"

using namespace tunelet;
using namespace tunelet::testing;

namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }
  void Load() { LoadSettings(ini, language); }
  MemoryIni ini;
  FakeHost host;
  FakeLanguage language;
};

TEST_F(SettingsStoreTest, FreshInstallationGetsTheDefaultsAndMarksTheFirstStart) {
  Load();
  const PluginSettings& s = Settings();
  EXPECT_EQ(s.Action, 21);
  EXPECT_EQ(s.Refreshinterval, 5000);
  EXPECT_EQ(s.Xstat_a, 11);
  EXPECT_EQ(s.Xstat_v, 8);
  EXPECT_EQ(s.Transp, 230);
  EXPECT_EQ(s.Delay, 5);
  EXPECT_TRUE(s.Getfromname && s.Updateonstartup && s.UpdateCheckPending);
  EXPECT_TRUE(s.Alwaysontop && s.Shadow && s.Hide_tlc && s.Firstrun);
  EXPECT_FALSE(s.Smooth || s.OLEfoobar || s.Returnonpause || s.Directpaste || s.Show_tlc);
  EXPECT_EQ(s.temp, 0);  // stays 0 in memory for this start
  EXPECT_EQ(ini.writes, std::vector<std::u16string>{u"Others/temp=1"});
  EXPECT_EQ(language.dialogsShown, 1);

  host.record.Initialised = false;
  host.record.PlayerId = 0;
  ASSERT_TRUE(LoadHostKeptOptions(host));
  EXPECT_EQ(*s.AudioTitleTemplate, u"Слушаю:");
  EXPECT_EQ(*s.AudioTextTemplate, u"{{%artist%=%artist% }}\"%title%\"");
  EXPECT_EQ(*s.VideoTitleTemplate, u"Смотрю:");
  EXPECT_EQ(*s.VideoTextTemplate, u"{{%artist%=%artist% }}\"%title%\"");
  EXPECT_EQ(*s.PasteTemplate, u"*втыкает %artist% \"%title%\"*");
  EXPECT_EQ(s.CurrentPlayer, 1);  // a stored 0 loads as Media Player Classic
}

TEST_F(SettingsStoreTest, OnlyAnUninitialisedHostRecordForcesModeTwentyOne) {
  ini.Set(u"Main", u"Action", u"10");
  Load();
  host.record.Initialised = true;
  ASSERT_TRUE(LoadHostKeptOptions(host));
  EXPECT_EQ(Settings().Action, 10);
  host.record.Initialised = false;
  ASSERT_TRUE(LoadHostKeptOptions(host));
  EXPECT_EQ(Settings().Action, 21);
}

TEST_F(SettingsStoreTest, SecondStartDoesNotRewriteTheMarker) {
  ini.Set(u"Others", u"temp", u"1");
  ini.Set(u"Others", u"Firstrun", u"0");
  Load();
  EXPECT_EQ(Settings().temp, 1);
  EXPECT_TRUE(ini.writes.empty());
  EXPECT_EQ(language.dialogsShown, 0);
}

TEST_F(SettingsStoreTest, RangeRulesReplaceOutOfRangeValues) {
  struct Case {
    const char16_t* key;
    const char16_t* value;
    int expected;
  };
  const Case cases[] = {
      {u"Refreshinterval", u"2000", 5000}, {u"Refreshinterval", u"10000", 10000},
      {u"Refreshinterval", u"0x1388", 5000}, {u"Refreshinterval", u"10001", 5000},
      {u"Action", u"266", 10},  // low byte kept, and valid
      {u"Action", u"20", 21},   {u"Action", u"31", 31},
      {u"Xstat_a", u"0", 11},   {u"Xstat_a", u"36", 11}, {u"Xstat_a", u"35", 35},
      {u"Xstat_v", u"0", 8},    {u"a_u", u"2", 0},      {u"a_u", u"-1", 0}, {u"a_u", u"1", 1},
  };
  for (const Case& c : cases) {
    ResetSettings();
    ini.values.clear();
    ini.Set(u"Main", c.key, c.value);
    Load();
    const PluginSettings& s = Settings();
    const std::u16string key = c.key;
    const int got = key == u"Refreshinterval" ? s.Refreshinterval
                    : key == u"Action"        ? s.Action
                    : key == u"Xstat_a"       ? s.Xstat_a
                    : key == u"Xstat_v"       ? s.Xstat_v
                                              : s.a_u;
    EXPECT_EQ(got, c.expected) << std::string(key.begin(), key.end());
  }
  for (auto [key, value, expected] : {std::tuple{u"Transp", u"19", 230}, std::tuple{u"Transp", u"256", 230},
                                      std::tuple{u"Transp", u"20", 20}, std::tuple{u"Delay", u"16", 5},
                                      std::tuple{u"Delay", u"1", 5}, std::tuple{u"Delay", u"15", 15}}) {
    ResetSettings();
    ini.values.clear();
    ini.Set(u"Popup", key, value);
    Load();
    EXPECT_EQ(std::u16string(key) == u"Transp" ? Settings().Transp : Settings().Delay, expected);
  }
}

TEST_F(SettingsStoreTest, ValuesThatAreNotNumbersTakeTheKeysDefault) {
  ini.Set(u"Main", u"Refreshinterval", u"fast");
  ini.Set(u"Main", u"Xstat_a", u"0x");          // two characters: not hexadecimal
  ini.Set(u"Main", u"Xstat_v", u"99999999999");  // does not fit 32 bits
  ini.Set(u"Main", u"Getfromname", u"");
  ini.Set(u"Popup", u"Smooth", u"0X1");          // hexadecimal flag, set
  ini.Set(u"Popup", u"Transp", std::u16string(3000, u'7'));  // too long
  Load();
  const PluginSettings& s = Settings();
  EXPECT_EQ(s.Refreshinterval, 5000);
  EXPECT_EQ(s.Xstat_a, 11);
  EXPECT_EQ(s.Xstat_v, 8);
  EXPECT_TRUE(s.Getfromname);
  EXPECT_TRUE(s.Smooth);
  EXPECT_EQ(s.Transp, 230);
}

TEST_F(SettingsStoreTest, ParseIniIntegerForms) {
  EXPECT_EQ(ParseIniInteger(u"0x1388"), 5000);
  EXPECT_EQ(ParseIniInteger(u"0XfF"), 255);
  EXPECT_EQ(ParseIniInteger(u"0xFFFFFFFF"), -1);
  EXPECT_EQ(ParseIniInteger(u"0x1FFFFFFFF"), std::nullopt);
  EXPECT_EQ(ParseIniInteger(u"-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseIniInteger(u"2147483648"), std::nullopt);
  EXPECT_EQ(ParseIniInteger(u"12a"), std::nullopt);
  EXPECT_EQ(ParseIniInteger(u"-"), std::nullopt);
}

TEST_F(SettingsStoreTest, SaveSettingsWritesItsKeysInOrderWithoutRangeRules) {
  PluginSettings& s = Settings();
  s.Action = 31;
  s.Refreshinterval = 2000;  // written as it is; the next load repairs it
  s.Getfromname = true;
  s.Xstat_a = 3;
  s.Xstat_v = 4;
  s.OLEfoobar = true;
  s.Transp = 100;
  s.Delay = 7;
  SaveSettings(ini);
  const std::vector<std::u16string> expected = {
      u"Main/Action=31",      u"Main/Refreshinterval=2000", u"Main/Getfromname=1", u"Main/Updateonstartup=0",
      u"Main/Xstat_a=3",      u"Main/Xstat_v=4",            u"Main/a_u=0",         u"Main/OLEfoobar=1",
      u"Popup/Alwaysontop=0", u"Popup/Shadow=0",            u"Popup/Smooth=0",     u"Popup/Transp=100",
      u"Popup/Delay=7",       u"Others/OLEfoobar=1",        u"Others/Returnonpause=0",
      u"Others/Directpaste=0", u"Others/Show_tlc=0",        u"Others/Hide_tlc=0",  u"Main/Mediasession=0"};
  ASSERT_GT(ini.writes.size(), expected.size());
  EXPECT_EQ(std::vector<std::u16string>(ini.writes.begin(), ini.writes.begin() + ptrdiff_t(expected.size())), expected);
  // The privacy section follows (its own tests say what it holds).
  for (size_t i = expected.size(); i < ini.writes.size(); ++i) EXPECT_EQ(ini.writes[i].rfind(u"Privacy/", 0), 0u);
}

TEST_F(SettingsStoreTest, InitialisedRecordKeepsItsTemplatesAndFillsEmptyOnes) {
  ini.Set(u"Main", u"Action", u"10");
  Load();
  host.record.Initialised = true;
  host.record.AudioTitleTemplate = u"";
  host.record.AudioTextTemplate = u"%title%";
  host.record.PlayerId = 0x10F;  // low byte kept
  host.record.PluginOn = true;
  ASSERT_TRUE(LoadHostKeptOptions(host));
  const PluginSettings& s = Settings();
  EXPECT_EQ(*s.AudioTitleTemplate, u"Слушаю:");
  EXPECT_EQ(*s.AudioTextTemplate, u"%title%");
  EXPECT_EQ(s.CurrentPlayer, 15);
  EXPECT_EQ(s.Action, 10);  // only an uninitialised record overrides the INI mode
  EXPECT_TRUE(s.PluginOn);
}

TEST_F(SettingsStoreTest, StoreWritesTheSavedXStatusByTheTitleRules) {
  PluginSettings& s = Settings();
  s.SavedXStatusValid = true;
  s.SavedXStatusPicture = 0xFFFF;
  SetText(s.SavedXStatusTitle, u"saved");
  SetText(s.SavedXStatusText, u"text");
  host.shown.title = u"current";

  s.Action = 21;
  s.KeepXStatusName = true;
  ASSERT_TRUE(StoreHostKeptOptions(host));
  EXPECT_EQ(host.record.SavedXStatusTitle, u"current");
  EXPECT_EQ(host.record.SavedXStatusPicture, -1);  // sign-extended
  EXPECT_TRUE(host.record.Initialised);

  s.Action = 11;
  StoreHostKeptOptions(host);
  EXPECT_EQ(host.record.SavedXStatusTitle, u"saved");

  s.Action = 21;
  s.KeepXStatusName = false;
  StoreHostKeptOptions(host);
  EXPECT_EQ(host.record.SavedXStatusTitle, u"saved");
  EXPECT_EQ(host.record.SavedXStatusText, u"text");

  s.SavedXStatusValid = false;
  StoreHostKeptOptions(host);
  EXPECT_FALSE(host.record.SavedXStatusValid);
  EXPECT_EQ(host.record.SavedXStatusPicture, 0);
  EXPECT_EQ(host.record.SavedXStatusTitle, u"");
}

TEST_F(SettingsStoreTest, TheOptionsDialogsSaveWritesTheIniKeysAndStoresTheRecordAtOnce) {
  PluginSettings& s = Settings();
  s.Action = 10;
  s.PluginOn = true;
  s.CurrentPlayer = 12;
  SetText(s.VideoTextTemplate, u"%title%");
  SettingsOptionsStore store(ini, host);
  store.SaveOptions();
  EXPECT_GT(ini.writes.size(), 19u);  // the main keys, then the privacy section
  EXPECT_EQ(ini.writes.front(), u"Main/Action=10");
  EXPECT_EQ(ini.writes[18], u"Main/Mediasession=0");
  EXPECT_TRUE(host.record.PluginOn);
  EXPECT_EQ(host.record.PlayerId, 12);
  EXPECT_EQ(host.record.VideoTextTemplate, u"%title%");
}

// The control window's start-up box acts at once: its key alone is written,
// nothing is sent to the host, so a Cancel afterwards keeps it.
TEST_F(SettingsStoreTest, TheControlWindowsStartUpSwitchIsWrittenAlone) {
  SettingsOptionsStore store(ini, host);
  Settings().Show_tlc = true;
  store.SaveShowControlWindow();
  Settings().Show_tlc = false;
  store.SaveShowControlWindow();
  EXPECT_EQ(ini.writes, (std::vector<std::u16string>{u"Others/Show_tlc=1", u"Others/Show_tlc=0"}));
  EXPECT_TRUE(host.log.empty());
}

TEST_F(SettingsStoreTest, MissingHostRecordIsSurvived) {
  host.hasRecord = false;
  Settings().SavedXStatusValid = true;
  Settings().KeepXStatusName = true;
  EXPECT_FALSE(LoadHostKeptOptions(host));
  EXPECT_FALSE(StoreHostKeptOptions(host));
  EXPECT_TRUE(host.log.empty());  // nothing asked of the host without a record
  EXPECT_FALSE(Settings().AudioTitleTemplate.has_value());
}

// The record's player byte is what an older version indexes its 21-row
// table with: the media session is kept in the INI file instead.
class MediaSessionChoiceTest : public SettingsStoreTest {
 protected:
  // A start as the core makes it: the INI file, then the host's record.
  void Start() {
    ResetSettings();
    Load();
    ASSERT_TRUE(LoadHostKeptOptions(host));
  }
  void Choose(bool manual, PlayerId player) {
    Settings().ManualPlayer = manual;
    Settings().CurrentPlayer = player;
    SettingsOptionsStore(ini, host).SaveOptions();
  }
  std::optional<std::u16string> Key() { return ini.Read(u"Main", u"Mediasession"); }
};

TEST_F(MediaSessionChoiceTest, AManualChoiceRoundTripsAndTheRecordKeepsTheRowItHeld) {
  host.record.Initialised = true;
  host.record.PlayerId = kWinamp;
  ASSERT_NO_FATAL_FAILURE(Start());
  Choose(true, kMediaSession);
  EXPECT_EQ(Key(), u"1");
  EXPECT_EQ(host.record.PlayerId, kWinamp);
  EXPECT_TRUE(host.record.ManualPlayer);

  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(Settings().CurrentPlayer, kMediaSession);
  EXPECT_TRUE(Settings().ManualPlayer);
  StoreHostKeptOptions(host);  // the store at shutdown
  EXPECT_EQ(host.record.PlayerId, kWinamp);

  // Back to a player of the table: the key goes off, the record names it.
  Choose(true, kAimp2);
  EXPECT_EQ(Key(), u"0");
  EXPECT_EQ(host.record.PlayerId, kAimp2);
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(Settings().CurrentPlayer, kAimp2);
}

TEST_F(MediaSessionChoiceTest, WithoutTheKeyTheRecordsRowStandsAndOnlyRowsOfTheTableAreTaken) {
  host.record.Initialised = true;
  host.record.ManualPlayer = true;
  for (auto [stored, expected] : {std::pair{uint32_t(kJetAudio), kJetAudio}, std::pair{uint32_t(0), kMpc},
                                  std::pair{uint32_t(kImpsPlayer), kImpsPlayer},
                                  std::pair{uint32_t(kMediaSession), kMpc},  // the record never names the session
                                  std::pair{uint32_t(0x100 + kMediaSession), kMpc}, std::pair{uint32_t(255), kMpc}}) {
    ini.values.clear();
    host.record.PlayerId = stored;
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(Settings().CurrentPlayer, expected) << stored;
    StoreHostKeptOptions(host);
    EXPECT_EQ(host.record.PlayerId, expected) << stored;
  }
  // The key counts for a manual choice only.
  ini.Set(u"Main", u"Mediasession", u"1");
  host.record.PlayerId = kXmPlay;
  host.record.ManualPlayer = false;
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(Settings().CurrentPlayer, kXmPlay);
}

TEST_F(MediaSessionChoiceTest, ASessionFoundByAutomaticDetectionIsNeitherStoredNorChosen) {
  host.record.Initialised = true;
  host.record.PlayerId = kWinamp;
  ASSERT_NO_FATAL_FAILURE(Start());
  Settings().CurrentPlayer = kGom;  // found at run time and stored
  StoreHostKeptOptions(host);
  Settings().CurrentPlayer = kMediaSession;  // then a session
  StoreHostKeptOptions(host);  // the store at shutdown
  EXPECT_EQ(host.record.PlayerId, kGom);
  EXPECT_FALSE(host.record.ManualPlayer);
  Choose(false, kMediaSession);  // a save of the dialog meanwhile
  EXPECT_EQ(Key(), u"0");
  EXPECT_EQ(host.record.PlayerId, kGom);

  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(Settings().CurrentPlayer, kGom);
  EXPECT_FALSE(Settings().Mediasession);
}

}  // namespace
