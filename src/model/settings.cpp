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

bool ToggleSharingPause(PluginSettings& s, int64_t nowMs, int minuteOfDay) {
  if (!s.SharingPaused.Toggle(nowMs)) return false;
  constexpr int kMinutesPerDay = 24 * 60;
  const int pauseMinutes = int(kSharingPauseMs / 60000);
  const int until = ((minuteOfDay % kMinutesPerDay + kMinutesPerDay) % kMinutesPerDay + pauseMinutes) % kMinutesPerDay;
  const std::string clock = std::to_string(until / 60) + (until % 60 < 10 ? ":0" : ":") + std::to_string(until % 60);
  s.SharingPausedUntilClock.assign(clock.begin(), clock.end());
  return true;
}

ThreadRecordScope::ThreadRecordScope(PluginSettings& copy) : previous_(tThreadRecord) { tThreadRecord = &copy; }
ThreadRecordScope::~ThreadRecordScope() { tThreadRecord = previous_; }

}  // namespace tunelet
