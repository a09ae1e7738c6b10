// The maker's web server: the one place that names it. The update check asks
// it for the version file; the options dialog opens its home page.
#pragma once

#include <string>

namespace tunelet {

inline constexpr char kMakerHost[] = "www.tunelet.example";
inline constexpr char kHomePageObject[] = "/tunelet.htm";

inline std::string MakerHomePageUrl() { return std::string("http://") + kMakerHost + kHomePageObject; }

}  // namespace tunelet
