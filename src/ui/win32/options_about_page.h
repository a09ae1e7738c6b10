// Tab 7, "О плагине". Besides MakeAboutPage() of options_pages.h, which
// opens the maker's home page through the shell, a page that hands the
// address to open instead (tests, previews).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ui/win32/options_page.h"

namespace tunelet::win32 {

// Opens a web page; owner is the options dialog.
using OpenWebPage = std::function<void(HWND owner, const std::u16string& url)>;

std::unique_ptr<OptionsPage> MakeAboutPage(OpenWebPage open);

}  // namespace tunelet::win32
