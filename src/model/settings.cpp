#include "model/settings.h"

namespace tunelet {

const char16_t kDefaultAudioTitleTemplate[] = u"Слушаю:";
const char16_t kDefaultAudioTextTemplate[] = u"{{%artist%=%artist% }}\"%title%\"";
const char16_t kDefaultVideoTitleTemplate[] = u"Смотрю:";
const char16_t kDefaultVideoTextTemplate[] = u"{{%artist%=%artist% }}\"%title%\"";
const char16_t kDefaultPasteTemplate[] = u"*втыкает %artist% \"%title%\"*";

namespace {
PluginSettings gSettings;
}

PluginSettings& Settings() { return gSettings; }
void ResetSettings() { gSettings = PluginSettings{}; }

}  // namespace tunelet
