// PluginSettings: the one global record of settings and run-time state. INI-
// backed fields carry their INI key as their name; host-kept ones have names
// of their own. Lives for the life of the library.
#pragma once

#include <cstdint>
#include <string>

#include "common/text.h"
#include "model/player_table.h"
#include "model/privacy_settings.h"
#include "model/track_info.h"

namespace tunelet {

// The player a record without a usable row stands for (a stored 0 included).
constexpr PlayerId kFallbackHostKeptPlayer = kMpc;

struct PluginSettings {
  // --- host-kept settings
  bool PluginOn = false;
  bool KeepXStatusName = false;
  bool ManualPlayer = false;
  bool IgnoreVideo = false;
  bool PopupsOn = false;
  bool UseLanguageFile = false;
  uint8_t CurrentPlayer = 0;
  // The table row the host's record holds for older versions, which know
  // only the table: CurrentPlayer while that is a row, else the row the
  // record held before.
  uint8_t HostKeptPlayer = kFallbackHostKeptPlayer;
  int32_t ControlWindowX = 0;
  int32_t ControlWindowY = 0;
  OptText AudioTitleTemplate, AudioTextTemplate, PasteTemplate, VideoTitleTemplate, VideoTextTemplate;

  // --- INI settings
  bool Show_tlc = false;
  bool Hide_tlc = false;
  bool Returnonpause = false;
  bool Getfromname = false;
  bool Updateonstartup = false;
  bool UpdateCheckPending = false;
  int32_t Refreshinterval = 0;
  int32_t a_u = 0;
  int32_t temp = 0;
  uint8_t Action = 0;
  uint8_t Xstat_a = 0;
  uint8_t Xstat_v = 0;
  bool OLEfoobar = false;
  // The manual choice is the media session (the record cannot say so).
  bool Mediasession = false;
  bool Directpaste = false;
  bool Firstrun = false;
  bool Shadow = false;
  bool Alwaysontop = false;
  bool Smooth = false;
  int32_t Transp = 0;
  int32_t Delay = 0;
  std::u16string DllPath;  // full path of the plug-in library; base of the INI name
  PrivacySettings Privacy;  // the INI section "Privacy"

  // --- run-time state of the core
  bool Started = false;
  std::string PluginVersion;  // "3.0.x.y", or "9.9.9.9999" without a version resource
  uintptr_t PlayerHandle = 0;  // 0 none, 4 foobar2000 automation, else a window
  OptText CurrentXStatusTitle;
  bool SavedXStatusValid = false;
  uint16_t SavedXStatusPicture = 0;
  OptText SavedXStatusTitle, SavedXStatusText;
  bool SettingsJustSaved = true;
  // Sharing paused by the user (never stored) and when the pause ends on
  // the user's clock ("14:05"), for the state popup.
  SharingPause SharingPaused;
  std::u16string SharingPausedUntilClock;

  // --- the update check's result (UpdateCheckPending is with the INI fields)
  bool UpdateAvailable = false;
  std::string NewVersionText;  // the newer version as the site names it, e.g. "3.0.6"

  // --- owned by player access: the last window title seen (stream titles)
  OptText LastWindowTitle;

  TrackInfo Track;
};

// The built-in templates: what a new user gets and what the options dialog's
// "По умолчанию" puts back.
extern const char16_t kDefaultAudioTitleTemplate[];
extern const char16_t kDefaultAudioTextTemplate[];
extern const char16_t kDefaultVideoTitleTemplate[];
extern const char16_t kDefaultVideoTextTemplate[];
extern const char16_t kDefaultPasteTemplate[];

// The global record. Tests reset it with ResetSettings(). On a thread that
// works on a copy of it (the poll worker, see ThreadRecordScope) this is
// that copy.
PluginSettings& Settings();
inline TrackInfo& Track() { return Settings().Track; }
void ResetSettings();

// While the scope lives, Settings() on the calling thread is `copy`: the
// player query runs away from the host's thread on a copy of the record, so
// that the host's thread can go on using the real one meanwhile.
class ThreadRecordScope {
 public:
  explicit ThreadRecordScope(PluginSettings& copy);
  ~ThreadRecordScope();
  ThreadRecordScope(const ThreadRecordScope&) = delete;
  ThreadRecordScope& operator=(const ThreadRecordScope&) = delete;

 private:
  PluginSettings* previous_;
};

// Pauses sharing for an hour or resumes it (the hot key and the control
// window's menu): nowMs on the monotonic clock, minuteOfDay the user's local
// time (0..1439) for the popup's "until". True when paused now.
bool ToggleSharingPause(PluginSettings& s, int64_t nowMs, int minuteOfDay);

// The tag code page chosen by a_u: 1251 when a_u is 1, else 0 (system ANSI).
inline uint32_t TagCodePage() { return Settings().a_u == 1 ? 1251u : 0u; }

}  // namespace tunelet
