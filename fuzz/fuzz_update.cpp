// The version file's answer: the text the check keeps, the comparison with
// the plug-in's own version and the version text shown to the user.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "update/update_check.h"

using namespace tunelet;

namespace {
bool OnlyDigitsAndDots(std::string_view s) {
  return s.find_first_not_of("0123456789.") == std::string_view::npos;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view answer(reinterpret_cast<const char*>(data), size);
  const std::string_view kept = VersionFileText(answer);
  if (kept.size() > kVersionFileMaxBytes || kept.find('\0') != std::string_view::npos) __builtin_trap();
  const std::string shown = RemoteVersionText(answer);
  if (shown.size() > kMaxVersionTextLength || !OnlyDigitsAndDots(shown)) __builtin_trap();
  for (std::string_view own : {"3.0.5.2650", "9.9.9.9999", "0.0.0.0", "", "3.x"}) {
    const auto newer = NewerVersionIn(answer, own);
    if (newer && (newer->empty() || *newer != shown || !IsNewerVersion(answer, own))) __builtin_trap();
  }
  return 0;
}
