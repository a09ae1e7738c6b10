// Language files: INI files "*.lng" in the folder "addons\" beside the
// library. Section "Info" names the language (LNG_LANG), its author
// (LNG_AUTHOR) and a note (LNG_INFO); section "Main" carries the texts by key.
// Portable: the file system and the profile functions are reached through
// ILanguageSystem (lang/win32 on Windows, fakes in tests).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "lang/language_texts.h"
#include "model/ini_file.h"

namespace tunelet {

enum class FileAccess { kMissing, kReadable, kUnreadable };

class ILanguageSystem {
 public:
  virtual ~ILanguageSystem() = default;
  // Whether the file at path is there (a folder is not a file) and can be
  // opened for reading.
  virtual FileAccess Probe(std::u16string_view path) = 0;
  // The whole value of section/key of the INI file at path; `fallback` when
  // the file or the key is missing.
  virtual std::u16string ReadProfileValue(std::u16string_view path, std::u16string_view section,
                                          std::u16string_view key, std::u16string_view fallback) = 0;
  // Full paths of the "*.lng" files in folder (which ends in '\'), in the
  // order the directory search gives them.
  virtual std::vector<std::u16string> FindLanguageFiles(std::u16string_view folder) = 0;
  // The text as it comes back from the system's 8-bit (ANSI) code page:
  // characters the code page lacks are lost.
  virtual std::u16string ThroughAnsiCodePage(std::u16string_view text) = 0;
  // "Error loading <path>": no owner, always on top, warning icon.
  virtual void ShowLoadError(std::u16string_view path) = 0;
};

// Reads a value whole through a reader with the contract of the system's
// GetPrivateProfileString: it copies at most size-1 characters and a
// terminator into the buffer and returns the number copied, size-1 when it had
// to cut. The buffer grows until the value fits; past maxChars the value is
// cut there.
using ProfileBufferReader = std::function<size_t(char16_t* buffer, size_t size)>;
inline constexpr size_t kFirstValueBuffer = 2048;
inline constexpr size_t kMaxValueChars = 64 * 1024;
std::u16string ReadWholeProfileValue(const ProfileBufferReader& read, size_t firstSize = kFirstValueBuffer,
                                     size_t maxChars = kMaxValueChars);

// "<library folder>addons\" for the library's full path.
std::u16string AddonsFolder(std::u16string_view dllPath);
// The file name after the last '\' or ':'.
std::u16string_view NameInFolder(std::u16string_view path);

// Every key of "Main" with its English default into texts. A missing file or
// missing keys are no error (their texts become the defaults); false only
// when the file cannot be read, and then texts stay as they were.
bool LoadLanguageFile(ILanguageSystem& system, std::u16string_view path, LanguageTexts& texts);

// At start, with UseLanguageFile set: the file named by Others/Langfile of
// the plug-in's INI file. Empty name or missing file: false, no message. A
// file that cannot be read: the error box, UseLanguageFile cleared, false.
// Loaded: UseLanguageFile set, true.
bool LoadConfiguredLanguage(ILanguageSystem& system, IIniFile& ini, LanguageTexts& texts);

// One row of the language dialog.
struct LanguageRow {
  std::u16string language, author, info;
  std::u16string path;  // empty for the built-in language
  bool builtIn() const { return path.empty(); }
};

// The built-in row ("Русский (RU)", "ORB2000", "Build-In"), then every
// language file of folder with a non-empty LNG_LANG (author "<...>" when
// missing), in directory order.
std::vector<LanguageRow> ListLanguages(ILanguageSystem& system, std::u16string_view folder);

// "Apply" in the language dialog. The built-in row: UseLanguageFile cleared,
// Firstrun 0 and Langfile empty written. A file row: the file is loaded; on
// success Langfile (its name through the 8-bit path) and Firstrun 0 are
// written and UseLanguageFile is set; on failure UseLanguageFile is cleared
// and false returned (the dialog reports it and stays open).
bool ApplyLanguageRow(const LanguageRow& row, ILanguageSystem& system, IIniFile& ini, LanguageTexts& texts);

}  // namespace tunelet
