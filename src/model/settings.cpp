#include "model/settings.h"

namespace tunelet {

const char16_t kDefaultAudioTitleTemplate[] = u"Слушаю:";
const char16_t kDefaultAudioTextTemplate[] = u"{{%artist%=%artist% }}\"%title%\"";
const char16_t kDefaultVideoTitleTemplate[] = u"Смотрю:";
const char16_t kDefaultVideoTextTemplate[] = u"{{%artist%=%artist% }}\"%title%\"";
const char16_t kDefaultPasteTemplate[] = u"*втыкает %artist% \"%title%\"*";

namespace {
PluginSettings gSettings;
thread_local PluginSettings* tThreadRecord = nullptr;
}

PluginSettings& Settings() { return tThreadRecord ? *tThreadRecord : gSettings; }
void ResetSettings() { gSettings = PluginSettings{}; }

ThreadRecordScope::ThreadRecordScope(PluginSettings& copy) : previous_(tThreadRecord) { tThreadRecord = &copy; }
ThreadRecordScope::~ThreadRecordScope() { tThreadRecord = previous_; }

}  // namespace tunelet
