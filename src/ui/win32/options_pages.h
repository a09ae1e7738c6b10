// The nine pages of the options dialog, in tab order. Each lives in a file
// of its own (options_<name>_page.cpp).
#pragma once

#include <memory>

#include "ui/win32/options_page.h"

namespace tunelet::win32 {

std::unique_ptr<OptionsPage> MakePlayersPage();        // 0 "Проигрыватели"
std::unique_ptr<OptionsPage> MakeMainPage();           // 1 "Основные"
std::unique_ptr<OptionsPage> MakeTemplatesPage();      // 2 "Х-статус"
std::unique_ptr<OptionsPage> MakeHotKeysPage();        // 3 "Горячие клавиши"
std::unique_ptr<OptionsPage> MakePopupsPage();         // 4 "Всплывающие окна"
std::unique_ptr<OptionsPage> MakeOthersPage();         // 5 "Прочие"
std::unique_ptr<OptionsPage> MakeControlWindowPage();  // 6 "Tunelet Control"
std::unique_ptr<OptionsPage> MakeAboutPage();          // 7 "О плагине"
std::unique_ptr<OptionsPage> MakePrivacyPage();        // 8 "Приватность"

}  // namespace tunelet::win32
