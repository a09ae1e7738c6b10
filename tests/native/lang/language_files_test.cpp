#include <gtest/gtest.h>

#include <map>

#include "core/core_fakes.h"
#include "lang/language_files.h"
#include "model/settings.h"

using namespace tunelet;
using namespace tunelet::testing;

namespace {

constexpr char16_t kDll[] = u"C:\\Talkeo\\Plugins\\Tunelet.dll";
constexpr char16_t kAddons[] = u"C:\\Talkeo\\Plugins\\addons\\";

// Language files as sections of keys; the listing keeps the order of
// creation, as a directory search would give it.
class FakeLanguageSystem : public ILanguageSystem {
 public:
  using Sections = std::map<std::u16string, std::map<std::u16string, std::u16string>>;
  std::vector<std::pair<std::u16string, Sections>> files;
  std::vector<std::u16string> unreadable, errorsShown;

  Sections& Add(std::u16string_view name) {
    files.push_back({std::u16string(kAddons) + std::u16string(name), {}});
    return files.back().second;
  }
  const Sections* Find(std::u16string_view path) const {
    for (auto& [p, sections] : files)
      if (p == path) return &sections;
    return nullptr;
  }

  FileAccess Probe(std::u16string_view path) override {
    if (!Find(path)) return FileAccess::kMissing;
    for (auto& u : unreadable)
      if (u == path) return FileAccess::kUnreadable;
    return FileAccess::kReadable;
  }
  std::u16string ReadProfileValue(std::u16string_view path, std::u16string_view section, std::u16string_view key,
                                  std::u16string_view fallback) override {
    const Sections* f = Find(path);
    if (!f) return std::u16string(fallback);
    auto s = f->find(std::u16string(section));
    if (s == f->end()) return std::u16string(fallback);
    auto k = s->second.find(std::u16string(key));
    return k == s->second.end() ? std::u16string(fallback) : k->second;
  }
  std::vector<std::u16string> FindLanguageFiles(std::u16string_view folder) override {
    std::vector<std::u16string> paths;
    for (auto& [p, sections] : files)
      if (p.starts_with(folder)) paths.push_back(p);
    return paths;
  }
  // A Western code page: what Latin-1 lacks comes back as '?'.
  std::u16string ThroughAnsiCodePage(std::u16string_view text) override {
    std::u16string out(text);
    for (char16_t& c : out)
      if (c > 0xFF) c = u'?';
    return out;
  }
  void ShowLoadError(std::u16string_view path) override { errorsShown.emplace_back(path); }
};

class LanguageFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    Settings().DllPath = kDll;
  }
  std::u16string Path(std::u16string_view name) { return std::u16string(kAddons) + std::u16string(name); }
  void ExpectAllEnglishBut(std::u16string_view changedKey) {
    for (const LanguageKey& k : LanguageKeys())
      if (k.key != changedKey) EXPECT_EQ(texts.Text(k.key), k.english);
  }

  FakeLanguageSystem system;
  MemoryIni ini;
  LanguageTexts texts;
};

TEST_F(LanguageFilesTest, AFileWithOnlyItsLanguageNameGivesEveryEnglishDefault) {
  system.Add(u"English.lng")[u"Info"][u"LNG_LANG"] = u"English";
  texts.Replace(std::vector<std::u16string>(LanguageKeys().size(), u"stale"));
  ASSERT_TRUE(LoadLanguageFile(system, Path(u"English.lng"), texts));
  ExpectAllEnglishBut(u"");
}

TEST_F(LanguageFilesTest, AFileSettingOneKeyChangesThatKeyOnly) {
  system.Add(u"tab.lng")[u"Main"][u"TAB3"] = u"Статус";
  ASSERT_TRUE(LoadLanguageFile(system, Path(u"tab.lng"), texts));
  EXPECT_EQ(texts.Text(u"TAB3"), u"Статус");
  ExpectAllEnglishBut(u"TAB3");
}

TEST_F(LanguageFilesTest, CyrillicCjkAndSurrogatePairsPassUnchanged) {
  auto& main = system.Add(u"mixed.lng")[u"Main"];
  main[u"PLUGIN_ON"] = u"Плагин включён — 插件已启用 \U0001F3B5";
  main[u"UNKNOWN_ARTIST"] = u"";  // present but empty stays empty
  ASSERT_TRUE(LoadLanguageFile(system, Path(u"mixed.lng"), texts));
  EXPECT_EQ(texts.Text(u"PLUGIN_ON"), u"Плагин включён — 插件已启用 \U0001F3B5");
  EXPECT_EQ(texts.Text(u"UNKNOWN_ARTIST"), u"");
}

TEST_F(LanguageFilesTest, MissingFileIsAllDefaultsAndAnUnreadableOneChangesNothing) {
  EXPECT_TRUE(LoadLanguageFile(system, Path(u"nowhere.lng"), texts));
  ExpectAllEnglishBut(u"");

  system.Add(u"locked.lng")[u"Main"][u"TAB1"] = u"never read";
  system.unreadable.push_back(Path(u"locked.lng"));
  EXPECT_FALSE(LoadLanguageFile(system, Path(u"locked.lng"), texts));
  ExpectAllEnglishBut(u"");
}

// A reader that keeps the contract of GetPrivateProfileString for a value of
// a given length: copies what fits, returns size-1 when it cut.
struct ProfileValue {
  std::u16string value;
  std::vector<size_t> sizesAsked;
  ProfileBufferReader Reader() {
    return [this](char16_t* buffer, size_t size) {
      sizesAsked.push_back(size);
      const size_t n = std::min(value.size(), size - 1);
      std::copy_n(value.begin(), n, buffer);
      buffer[n] = u'\0';
      return n;
    };
  }
};

TEST(ReadWholeProfileValueTest, LongValuesAreReadWholeOrCutAtTheLimit) {
  ProfileValue shortValue{u"Save"};
  EXPECT_EQ(ReadWholeProfileValue(shortValue.Reader()), u"Save");
  EXPECT_EQ(shortValue.sizesAsked, std::vector<size_t>{2048});

  ProfileValue exactlyFull{std::u16string(2047, u'x')};  // ambiguous: read again larger
  EXPECT_EQ(ReadWholeProfileValue(exactlyFull.Reader()), exactlyFull.value);
  EXPECT_EQ(exactlyFull.sizesAsked, (std::vector<size_t>{2048, 4096}));

  ProfileValue longValue{std::u16string(10000, u'ж') + u"end"};
  EXPECT_EQ(ReadWholeProfileValue(longValue.Reader()), longValue.value);

  ProfileValue huge{std::u16string(100, u'a')};
  EXPECT_EQ(ReadWholeProfileValue(huge.Reader(), 16, 40), std::u16string(40, u'a'));
}

TEST(ReadWholeProfileValueTest, AReaderThatOverstatesItsCountIsNotTrusted) {
  auto liar = [](char16_t* buffer, size_t size) {
    std::fill_n(buffer, size, u'z');
    return size_t(1) << 30;
  };
  EXPECT_EQ(ReadWholeProfileValue(liar, 8, 20), std::u16string(20, u'z'));
}

TEST_F(LanguageFilesTest, TheListHasTheBuiltInRowFirstAndOnlyNamedLanguages) {
  system.Add(u"de.lng")[u"Info"] = {{u"LNG_LANG", u"Deutsch"}, {u"LNG_AUTHOR", u"Anna"}, {u"LNG_INFO", u"v2"}};
  system.Add(u"noname.lng")[u"Main"][u"TAB1"] = u"x";
  system.Add(u"empty.lng")[u"Info"][u"LNG_LANG"] = u"";
  system.Add(u"fr.lng")[u"Info"][u"LNG_LANG"] = u"Français";
  const auto rows = ListLanguages(system, kAddons);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].language, u"Русский (RU)");
  EXPECT_EQ(rows[0].author, u"ORB2000");
  EXPECT_EQ(rows[0].info, u"Build-In");
  EXPECT_TRUE(rows[0].builtIn());
  EXPECT_EQ(rows[1].language, u"Deutsch");
  EXPECT_EQ(rows[1].author, u"Anna");
  EXPECT_EQ(rows[1].info, u"v2");
  EXPECT_EQ(rows[1].path, Path(u"de.lng"));
  EXPECT_EQ(rows[2].language, u"Français");
  EXPECT_EQ(rows[2].author, u"<...>");
  EXPECT_EQ(rows[2].info, u"");
}

TEST_F(LanguageFilesTest, TwoFilesWithOneLanguageNameAreBothListedAndEachAppliesItsOwn) {
  auto& a = system.Add(u"en-a.lng");
  a[u"Info"][u"LNG_LANG"] = u"English";
  a[u"Main"][u"TAB1"] = u"A";
  auto& b = system.Add(u"en-b.lng");
  b[u"Info"][u"LNG_LANG"] = u"English";
  b[u"Main"][u"TAB1"] = u"B";
  const auto rows = ListLanguages(system, kAddons);
  ASSERT_EQ(rows.size(), 3u);

  ASSERT_TRUE(ApplyLanguageRow(rows[2], system, ini, texts));
  EXPECT_EQ(texts.Text(u"TAB1"), u"B");
  EXPECT_EQ(*ini.Read(u"Others", u"Langfile"), u"en-b.lng");
  ASSERT_TRUE(ApplyLanguageRow(rows[1], system, ini, texts));
  EXPECT_EQ(texts.Text(u"TAB1"), u"A");
  EXPECT_EQ(*ini.Read(u"Others", u"Langfile"), u"en-a.lng");
}

TEST_F(LanguageFilesTest, ApplyingAFileRowAndTheBuiltInRowWriteTheirSettings) {
  system.Add(u"English.lng")[u"Info"][u"LNG_LANG"] = u"English";
  const auto rows = ListLanguages(system, kAddons);
  Settings().Firstrun = true;
  ASSERT_TRUE(ApplyLanguageRow(rows[1], system, ini, texts));
  EXPECT_TRUE(Settings().UseLanguageFile);
  EXPECT_FALSE(Settings().Firstrun);
  EXPECT_EQ(ini.writes, (std::vector<std::u16string>{u"Others/Langfile=English.lng", u"Others/Firstrun=0"}));

  ini.writes.clear();
  ASSERT_TRUE(ApplyLanguageRow(rows[0], system, ini, texts));
  EXPECT_FALSE(Settings().UseLanguageFile);
  EXPECT_EQ(ini.writes, (std::vector<std::u16string>{u"Others/Firstrun=0", u"Others/Langfile="}));
}

TEST_F(LanguageFilesTest, AFileThatCannotBeReadIsNotAppliedAndClearsTheFlag) {
  system.Add(u"locked.lng")[u"Info"][u"LNG_LANG"] = u"Locked";
  const auto rows = ListLanguages(system, kAddons);
  system.unreadable.push_back(Path(u"locked.lng"));
  Settings().UseLanguageFile = true;
  EXPECT_FALSE(ApplyLanguageRow(rows[1], system, ini, texts));
  EXPECT_FALSE(Settings().UseLanguageFile);
  EXPECT_TRUE(ini.writes.empty());
}

TEST_F(LanguageFilesTest, TheStoredNamePassesThroughTheEightBitCodePage) {
  system.Add(u"日本語.lng")[u"Info"][u"LNG_LANG"] = u"日本語";
  const auto rows = ListLanguages(system, kAddons);
  ASSERT_TRUE(ApplyLanguageRow(rows[1], system, ini, texts));
  EXPECT_EQ(*ini.Read(u"Others", u"Langfile"), u"???.lng");
  // ...so the next start does not find it: no message, no language.
  Settings().UseLanguageFile = true;
  EXPECT_FALSE(LoadConfiguredLanguage(system, ini, texts));
  EXPECT_TRUE(system.errorsShown.empty());
}

TEST_F(LanguageFilesTest, TheConfiguredLanguageLoadsFromTheAddonsFolder) {
  system.Add(u"English.lng")[u"Main"][u"PLUGIN_ON"] = u"On!";
  ini.Set(u"Others", u"Langfile", u"English.lng");
  EXPECT_TRUE(LoadConfiguredLanguage(system, ini, texts));
  EXPECT_TRUE(Settings().UseLanguageFile);
  EXPECT_EQ(texts.Text(u"PLUGIN_ON"), u"On!");
  EXPECT_TRUE(system.errorsShown.empty());
}

TEST_F(LanguageFilesTest, NoNameOrAMissingFileIsQuietAndAnUnreadableFileIsReported) {
  EXPECT_FALSE(LoadConfiguredLanguage(system, ini, texts));
  ini.Set(u"Others", u"Langfile", u"gone.lng");
  EXPECT_FALSE(LoadConfiguredLanguage(system, ini, texts));
  EXPECT_TRUE(system.errorsShown.empty());

  system.Add(u"gone.lng");
  system.unreadable.push_back(Path(u"gone.lng"));
  Settings().UseLanguageFile = true;
  EXPECT_FALSE(LoadConfiguredLanguage(system, ini, texts));
  EXPECT_FALSE(Settings().UseLanguageFile);
  EXPECT_EQ(system.errorsShown, std::vector<std::u16string>{Path(u"gone.lng")});
}

TEST(AddonsFolderTest, IsBesideTheLibrary) {
  EXPECT_EQ(AddonsFolder(u"C:\\a b\\Tunelet.dll"), u"C:\\a b\\addons\\");
  EXPECT_EQ(AddonsFolder(u"Tunelet.dll"), u"addons\\");
  EXPECT_EQ(NameInFolder(u"C:\\x\\English.lng"), u"English.lng");
}

}  // namespace
