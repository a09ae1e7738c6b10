#include "core/plugin_core.h"

namespace tunelet {

PluginCore::PluginCore(CoreEnvironment env) : env_(std::move(env)) { env_.subsystems = WithDefaults(env_.subsystems); }
void PluginCore::HandleHostMessage(int32_t, int32_t, const char16_t*) {}
void PluginCore::OnTimer(CoreTimer) {}

}  // namespace tunelet
