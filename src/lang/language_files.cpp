#include "lang/language_files.h"

#include <algorithm>

#include "model/settings.h"

namespace tunelet {

namespace {
constexpr std::u16string_view kInfoSection = u"Info";
constexpr std::u16string_view kTextsSection = u"Main";
constexpr std::u16string_view kSettingsSection = u"Others";
constexpr std::u16string_view kNoAuthor = u"<...>";
}  // namespace

std::u16string ReadWholeProfileValue(const ProfileBufferReader& read, size_t firstSize, size_t maxChars) {
  size_t size = std::max<size_t>(firstSize, 2);
  for (;;) {
    std::u16string buffer(size, u'\0');
    // The reader's count is not trusted past the buffer it was given.
    const size_t n = std::min(read(buffer.data(), size), size - 1);
    if (n < size - 1 || size - 1 >= maxChars) {
      buffer.resize(std::min(n, maxChars));
      return buffer;
    }
    size = std::min(size * 2, maxChars + 1);
  }
}

std::u16string_view NameInFolder(std::u16string_view path) {
  const size_t sep = path.find_last_of(u"\\/:");
  return sep == std::u16string_view::npos ? path : path.substr(sep + 1);
}

std::u16string AddonsFolder(std::u16string_view dllPath) {
  const std::u16string_view name = NameInFolder(dllPath);
  return std::u16string(dllPath.substr(0, dllPath.size() - name.size())) + u"addons\\";
}

bool LoadLanguageFile(ILanguageSystem& system, std::u16string_view path, LanguageTexts& texts) {
  if (system.Probe(path) == FileAccess::kUnreadable) return false;
  std::vector<std::u16string> loaded;
  for (const LanguageKey& k : LanguageKeys())
    loaded.push_back(system.ReadProfileValue(path, kTextsSection, k.key, k.english));
  texts.Replace(std::move(loaded));
  return true;
}

bool LoadConfiguredLanguage(ILanguageSystem& system, IIniFile& ini, LanguageTexts& texts) {
  PluginSettings& s = Settings();
  const std::u16string name = ini.Read(kSettingsSection, u"Langfile").value_or(u"");
  if (name.empty()) return false;
  const std::u16string path = AddonsFolder(s.DllPath) + name;
  if (system.Probe(path) == FileAccess::kMissing) return false;
  if (!LoadLanguageFile(system, path, texts)) {
    s.UseLanguageFile = false;
    system.ShowLoadError(path);
    return false;
  }
  s.UseLanguageFile = true;
  return true;
}

std::vector<LanguageRow> ListLanguages(ILanguageSystem& system, std::u16string_view folder) {
  std::vector<LanguageRow> rows;
  rows.push_back({u"Русский (RU)", u"ORB2000", u"Build-In", u""});
  for (std::u16string& path : system.FindLanguageFiles(folder)) {
    LanguageRow row;
    row.language = system.ReadProfileValue(path, kInfoSection, u"LNG_LANG", u"");
    if (row.language.empty()) continue;
    row.author = system.ReadProfileValue(path, kInfoSection, u"LNG_AUTHOR", kNoAuthor);
    row.info = system.ReadProfileValue(path, kInfoSection, u"LNG_INFO", u"");
    row.path = std::move(path);
    rows.push_back(std::move(row));
  }
  return rows;
}

bool ApplyLanguageRow(const LanguageRow& row, ILanguageSystem& system, IIniFile& ini, LanguageTexts& texts) {
  PluginSettings& s = Settings();
  if (row.builtIn()) {
    s.UseLanguageFile = false;
    s.Firstrun = false;
    ini.Write(kSettingsSection, u"Firstrun", u"0");
    ini.Write(kSettingsSection, u"Langfile", u"");
    return true;
  }
  if (!LoadLanguageFile(system, row.path, texts)) {
    s.UseLanguageFile = false;
    return false;
  }
  // The name is stored as 8-bit text: a name outside the ANSI code page will
  // not be found again at the next start.
  ini.Write(kSettingsSection, u"Langfile", system.ThroughAnsiCodePage(NameInFolder(row.path)));
  ini.Write(kSettingsSection, u"Firstrun", u"0");
  s.Firstrun = false;
  s.UseLanguageFile = true;
  return true;
}

}  // namespace tunelet
