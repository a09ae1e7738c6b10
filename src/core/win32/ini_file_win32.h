#pragma once

#include "core/ini_store.h"

namespace tunelet::win32 {

// The INI file beside the library, through the private-profile functions.
class ProfileIniFile final : public IIniFile {
 public:
  std::optional<std::u16string> Read(std::u16string_view section, std::u16string_view key) override;
  void Write(std::u16string_view section, std::u16string_view key, std::u16string_view value) override;
};

}  // namespace tunelet::win32
