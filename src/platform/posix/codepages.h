#pragma once
#include <cstdint>

namespace tunelet::platform {
char16_t Cp1251ToUnicode(uint8_t b);
char16_t Cp1252ToUnicode(uint8_t b);
}  // namespace tunelet::platform
