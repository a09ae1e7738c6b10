// Key names from the system's keyboard layout.
#pragma once

#include "hotkey/shortcut.h"

namespace tunelet::win32 {

class Win32KeyNames final : public IKeyNames {
 public:
  uint32_t ScanCode(uint8_t virtualKey) const override;
  std::u16string KeyNameText(uint32_t keyData) const override;
};

}  // namespace tunelet::win32
