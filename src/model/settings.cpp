#include "model/settings.h"

namespace tunelet {

namespace {
PluginSettings gSettings;
}

PluginSettings& Settings() { return gSettings; }
void ResetSettings() { gSettings = PluginSettings{}; }

}  // namespace tunelet
