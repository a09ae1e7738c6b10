// The maker's web site: its host name and the pages the plug-in opens. The
// one place that names the host; the update check asks it for the current
// release and the options dialog opens its home page.
#pragma once

#include <string>

#include "common/text.h"

namespace tunelet {

inline constexpr char kMakerHost[] = "www.tunelet.example";
inline constexpr char kHomePageObject[] = "/tunelet.htm";

// "http://www.tunelet.example/tunelet.htm", opened by the About tab's credits
// and the dialog's home-page button.
inline std::u16string MakerHomePageUrl() {
  return AsciiToUtf16(std::string("http://") + kMakerHost + kHomePageObject);
}

}  // namespace tunelet
