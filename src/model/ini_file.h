// The plug-in's INI file as key-by-key reads and writes (the platform's
// private-profile functions on Windows, an in-memory map in tests). Here in
// model/ because the core and the language subsystem both use it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tunelet {

class IIniFile {
 public:
  virtual ~IIniFile() = default;
  // The value, or nullopt when the key (or the file) is missing.
  virtual std::optional<std::u16string> Read(std::u16string_view section, std::u16string_view key) = 0;
  // Errors are swallowed.
  virtual void Write(std::u16string_view section, std::u16string_view key, std::u16string_view value) = 0;
};

// The INI path for a library path: extension replaced by ".ini" (the text
// after the last '.' that follows the last '\' or ':'), or ".ini" appended.
std::u16string IniPathFor(std::u16string_view dllPath);

}  // namespace tunelet
