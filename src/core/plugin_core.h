// The core: what the plug-in does with the host's messages and its four
// timers. Portable; the Win32 plug-in object (core/win32/tlk_plugin.cpp)
// forwards messages and WM_TIMER here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/host.h"
#include "core/ini_store.h"
#include "core/poll_query.h"
#include "model/subsystems.h"
#include "templates/privacy_rules.h"

namespace tunelet {

// Calm: the next X-status change that waits for the user's calm interval.
enum class CoreTimer { Poll = 1, Apply = 2, Restore = 3, StartupUpdate = 4, Calm = 5 };
constexpr int kCoreTimerCount = 5;
constexpr uint32_t kApplyDelayMs = 900;
constexpr uint32_t kRestoreDelayMs = 900;
constexpr uint32_t kStartupUpdateDelayMs = 3000;
// The first poll after the timers are made comes this soon, so that a track
// playing when the messenger starts shows within about two seconds; the
// configured interval follows.
constexpr uint32_t kFirstPollDelayMs = 500;

// The four window-message timers, owned by the plug-in object.
class ICoreTimers {
 public:
  virtual ~ICoreTimers() = default;
  // (Re)creates all four; Poll and StartupUpdate enabled, the others not.
  // Poll fires first after kFirstPollDelayMs, then every pollIntervalMs.
  virtual void CreateTimers(uint32_t pollIntervalMs) = 0;
  virtual void Enable(CoreTimer t) = 0;
  virtual void Disable(CoreTimer t) = 0;
  // Enables t to fire after delayMs (the Calm timer, whose delay varies).
  virtual void EnableAfter(CoreTimer t, uint32_t delayMs) = 0;
  // Milliseconds of the clock the timers run on: monotonic.
  virtual int64_t NowMs() = 0;
};

struct CoreEnvironment {
  IHost* host = nullptr;
  ICoreTimers* timers = nullptr;
  // Runs the players' part of a poll away from the host's thread; without
  // one it runs at once on the calling thread.
  IPollWorker* pollWorker = nullptr;
  IIniFile* ini = nullptr;
  Subsystems subsystems;
  // The library's four-part file version, or empty when it has none.
  std::string fileVersion;
};

class PluginCore {
 public:
  explicit PluginCore(CoreEnvironment env);

  // Host messages of codes 2..6 and 12 (MSG_LOADED is the plug-in object's).
  void HandleHostMessage(int32_t code, int32_t wParam, const char16_t* nParamText);
  void OnTimer(CoreTimer t);
  // The answer of the poll query handed over as `serial`; dropped when it is
  // not the one awaited or the record changed under it.
  void OnPollAnswer(uint64_t serial, PollAnswer answer);

  // The core's steps, public for the subsystems that call into them.
  void Start();
  void Shutdown();
  void Disable();
  void PollTick();
  void ApplyPlayingTrack(PollAnswer& answer);
  void ApplyTick();
  void PlaybackEnded();
  void RestoreTick();

  // The rule that hid the last track a player played (Nothing when it was
  // shown), and the pattern for HiddenBy::Pattern.
  HiddenBy LastHiddenBy() const { return lastHiddenBy_; }
  const std::u16string& LastHidingPattern() const { return lastHidingPattern_; }

  void ClearXStatus();
  OptText ReadXStatusTitle();
  uint8_t ReadXStatusPicture();
  void SaveUserXStatus();
  void ForgetSavedXStatus();
  void ForgetTrack();
  void CloseWindows();
  // Stopping while a publish or a restore is pending: the user's own
  // X-status is put back now and the pending step is dropped, so that
  // nothing is sent once the plug-in is stopped.
  void SettlePendingXStatus();

  IHost& host() { return *env_.host; }
  const Subsystems& subsystems() const { return env_.subsystems; }

 private:
  void Arm(CoreTimer t);
  void Disarm(CoreTimer t);
  void SubmitPollQuery();
  // No answer of a query handed over before now is applied.
  void DropPollAnswers() { awaitedSerial_ = 0; }

  // The two X-status changes: show the record's track (saving the user's own
  // X-status first) and put the user's own back.
  void BeginPublish();
  void BeginRestore();
  // Calm publishing: a change goes through the calm publisher while the user
  // asked for a calm pace (or a change still waits); else at once.
  bool CalmPaceOn();
  void RunCalmChange();
  // The user's own pause of sharing: true while it lasts; its end by itself
  // is said by the state popup.
  bool SharingPausedNow();
  // The rules judged on the host's thread (the pause limit); true when the
  // track is hidden, and then it is held apart from the record.
  bool HideTrack(PollAnswer& answer);
  void ForgetHiddenTrack();
  void RememberSessionApp(const std::u16string& appId);
  void ResetPrivacyState();

  CoreEnvironment env_;
  // The one-shot timers armed and not yet fired or disarmed.
  bool applyPending_ = false;
  bool restorePending_ = false;
  // The poll query whose answer is awaited (0: none) and the record's state
  // it started from.
  uint64_t lastSerial_ = 0;
  uint64_t awaitedSerial_ = 0;
  PollBasis awaitedBasis_;

  // A track a rule hides never reaches the record (the paste, QuickInfo and
  // the popups read the record); the next query starts from it instead, so
  // that it is not read anew at every poll.
  std::optional<TrackInfo> hiddenTrack_;
  OptText hiddenWindowTitle_;
  HiddenBy lastHiddenBy_ = HiddenBy::Nothing;
  std::u16string lastHidingPattern_;
  // How long the player shown has been paused, and for which track.
  PauseTracker pauseTracker_;
  std::u16string pausedTrackKey_;
  CalmPublisher calm_;
  bool calmPending_ = false;
};

}  // namespace tunelet
