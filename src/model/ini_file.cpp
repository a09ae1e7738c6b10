#include "model/ini_file.h"

namespace tunelet {

std::u16string IniPathFor(std::u16string_view dllPath) {
  const size_t sep = dllPath.find_last_of(u"\\:");
  const size_t dot = dllPath.rfind(u'.');
  const bool hasExt = dot != std::u16string_view::npos && (sep == std::u16string_view::npos || dot > sep);
  std::u16string base(hasExt ? dllPath.substr(0, dot) : dllPath);
  return base + u".ini";
}

}  // namespace tunelet
