// Language files through the system: the wide-character profile functions
// (so a file may be ANSI or UTF-16 with a byte-order mark), a directory
// search by full path (the process's current directory is never changed),
// the ANSI code page and the loading error box.
#pragma once

#include "lang/language_files.h"

namespace tunelet::win32 {

class Win32LanguageSystem final : public ILanguageSystem {
 public:
  FileAccess Probe(std::u16string_view path) override;
  std::u16string ReadProfileValue(std::u16string_view path, std::u16string_view section, std::u16string_view key,
                                  std::u16string_view fallback) override;
  std::vector<std::u16string> FindLanguageFiles(std::u16string_view folder) override;
  std::u16string ThroughAnsiCodePage(std::u16string_view text) override;
  void ShowLoadError(std::u16string_view path) override;
};

// The caption of the plug-in's message boxes and "Error loading <path>".
extern const wchar_t kMessageCaption[];
std::wstring LoadErrorText(std::u16string_view path);

}  // namespace tunelet::win32
