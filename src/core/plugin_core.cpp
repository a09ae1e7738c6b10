#include "core/plugin_core.h"

#include <algorithm>
#include <climits>

#include "core/privacy_store.h"
#include "core/settings_store.h"
#include "metadata/cover.h"
#include "model/settings.h"
#include "ui/popup.h"

namespace tunelet {

namespace {
constexpr char kNoVersion[] = "9.9.9.9999";
constexpr int64_t kMsPerSecond = 1000;

// What tells one track from another for the calm pace and the pause limit.
std::u16string TrackKey(const TrackInfo& t) {
  std::u16string key(View(t.FilePath));
  for (const OptText* field : {&t.Title, &t.Artist, &t.Album}) {
    key += u'\n';
    key += View(*field);
  }
  return key;
}

}  // namespace

PluginCore::PluginCore(CoreEnvironment env) : env_(std::move(env)) {
  env_.subsystems = WithDefaults(env_.subsystems);
}

void PluginCore::HandleHostMessage(int32_t code, int32_t wParam, const char16_t* nParamText) {
  switch (code) {
    case MSG_STARTUP:
    case MSG_ENABLED:
      Start();
      break;
    case MSG_SHUTDOWN:
      Shutdown();
      break;
    case MSG_DISABLED:
      Disable();
      break;
    case MSG_OPEN_OPTIONS:
      env_.subsystems.ui->ShowOptionsDialog();
      break;
    case MSG_XSTATUS_CHANGED:
      env_.subsystems.publisher->OnXStatusChanged(wParam, nParamText ? std::u16string_view(nParamText) : u"");
      break;
    default:
      break;  // unknown codes are ignored
  }
}

void PluginCore::OnTimer(CoreTimer t) {
  switch (t) {
    case CoreTimer::Poll:
      PollTick();
      break;
    case CoreTimer::Apply:
      // A tick that comes after the timer was disarmed (already queued by
      // the system) is stale.
      if (!applyPending_) {
        env_.timers->Disable(CoreTimer::Apply);
        break;
      }
      Disarm(CoreTimer::Apply);
      ApplyTick();
      break;
    case CoreTimer::Restore:
      if (!restorePending_) {
        env_.timers->Disable(CoreTimer::Restore);
        break;
      }
      Disarm(CoreTimer::Restore);
      RestoreTick();
      break;
    case CoreTimer::Calm:
      env_.timers->Disable(CoreTimer::Calm);
      if (!calmPending_) break;
      calmPending_ = false;
      RunCalmChange();
      break;
    case CoreTimer::StartupUpdate:
      env_.timers->Disable(CoreTimer::StartupUpdate);
      if (Settings().Updateonstartup)
        env_.subsystems.update->StartUpdateCheck();
      else
        env_.subsystems.update->StartupCheckSkipped();
      break;
  }
}

void PluginCore::Start() {
  PluginSettings& s = Settings();
  const Subsystems& sub = env_.subsystems;
  s.PluginVersion = env_.fileVersion.empty() ? kNoVersion : env_.fileVersion;
  LoadSettings(*env_.ini, *sub.language);
  sub.hotKeys->LoadHotKeySlots();
  sub.hotKeys->CreateHotKeyWindow();
  env_.timers->CreateTimers(uint32_t(s.Refreshinterval));
  applyPending_ = restorePending_ = false;  // creating the timers stopped both
  DropPollAnswers();
  ResetPrivacyState();
  // A pause of sharing lasts for this run of the plug-in only.
  s.SharingPaused.Resume();
  LoadHostKeptOptions(host());
  if (s.SavedXStatusValid) {
    // The user's own X-status left behind by the previous run goes back now.
    host().SetXStatus(s.SavedXStatusPicture, s.SavedXStatusTitle, s.SavedXStatusText);
    ForgetSavedXStatus();
  }
  // Only now: loading may show a modal message box, whose message loop runs
  // the poll timer. A tick that still found the saved X-status would clear it
  // and arm a restore that, after the forget above, puts back nothing.
  if (s.UseLanguageFile && !sub.language->LoadConfiguredLanguage()) s.UseLanguageFile = false;
  if (s.temp == 0) sub.ui->ResetControlWindowPosition();
  if (s.Show_tlc) sub.ui->ShowControlWindow();
  s.Started = true;
}

void PluginCore::Shutdown() {
  DropPollAnswers();
  if (!Settings().Started) return;
  SettlePendingXStatus();
  ResetPrivacyState();
  env_.subsystems.ui->CloseControlWindow();
  StoreHostKeptOptions(host());
  CloseWindows();
  ForgetTrack();
  DeleteTemporaryCovers();
}

void PluginCore::Disable() {
  PluginSettings& s = Settings();
  DropPollAnswers();
  SettlePendingXStatus();
  ResetPrivacyState();
  ForgetSavedXStatus();
  Forget(s.Track.LastReadPath);
  env_.subsystems.ui->CloseControlWindow();
  // Only a started plug-in has the host's record in memory; storing it
  // otherwise (disabled before any start, or disabled twice) would overwrite
  // the user's switch, templates and player with blanks.
  if (s.Started) StoreHostKeptOptions(host());
  CloseWindows();
  DeleteTemporaryCovers();
  s.Started = false;
  s.PluginOn = false;
}

void PluginCore::PollTick() {
  PluginSettings& s = Settings();
  if (s.SettingsJustSaved) {
    if (!s.PluginOn) env_.subsystems.ui->ShowPopup(1);
    s.SettingsJustSaved = false;
    DropPollAnswers();
  }
  if (!s.PluginOn) {
    PlaybackEnded();
    return;
  }
  if (SharingPausedNow()) {
    // No player is asked while sharing is paused: what is shown goes.
    ForgetHiddenTrack();
    lastHiddenBy_ = HiddenBy::SharingPaused;
    PlaybackEnded();
    return;
  }
  SubmitPollQuery();
}

bool PluginCore::SharingPausedNow() {
  PluginSettings& s = Settings();
  if (s.SharingPaused.Active(env_.timers->NowMs())) return true;
  if (s.SharingPaused.Until()) {
    // The hour is over: sharing resumed by itself.
    s.SharingPaused.Resume();
    if (s.PopupsOn) env_.subsystems.ui->ShowPopup(kSharingPopup);
  }
  return false;
}

void PluginCore::SubmitPollQuery() {
  const PluginSettings& s = Settings();
  // A query still running keeps its answer awaited: this tick asks nothing.
  if (env_.pollWorker && env_.pollWorker->Busy()) return;
  PollRequest request{++lastSerial_, true, s};
  if (hiddenTrack_) {
    request.record.Track = *hiddenTrack_;
    request.record.LastWindowTitle = hiddenWindowTitle_;
  }
  // Mode 11 while the user shows another X-status: the track is left alone
  // (and counts as new once "Music" is chosen again).
  if (s.Action == 11) request.readsTrack = ReadXStatusPicture() == 11;
  const uint64_t serial = request.serial;
  if (!env_.pollWorker) {
    awaitedSerial_ = serial;
    awaitedBasis_ = PollBasis::Of(s);
    OnPollAnswer(serial, RunPollQuery(*env_.subsystems.players, request));
    return;
  }
  const PollBasis basis = PollBasis::Of(s);
  if (!env_.pollWorker->Submit(std::move(request))) return;
  awaitedSerial_ = serial;
  awaitedBasis_ = basis;
}

void PluginCore::OnPollAnswer(uint64_t serial, PollAnswer answer) {
  PluginSettings& s = Settings();
  if (serial == 0 || serial != awaitedSerial_) return;
  awaitedSerial_ = 0;
  if (!s.PluginOn || s.SettingsJustSaved || !(PollBasis::Of(s) == awaitedBasis_)) return;
  s.CurrentPlayer = answer.currentPlayer;
  s.PlayerHandle = answer.playerHandle;
  if (s.SharingPaused.Active(env_.timers->NowMs())) {
    // Paused while the query ran: nothing it found is shown.
    ForgetHiddenTrack();
    lastHiddenBy_ = HiddenBy::SharingPaused;
    PlaybackEnded();
    return;
  }
  switch (answer.outcome) {
    case PollAnswer::Outcome::NoPlayer:
    case PollAnswer::Outcome::NothingPlays:
      ForgetHiddenTrack();
      pauseTracker_.Forget();
      lastHiddenBy_ = HiddenBy::Nothing;
      PlaybackEnded();
      return;
    case PollAnswer::Outcome::NotAsked:
      ForgetHiddenTrack();
      if (s.SavedXStatusValid) ForgetTrack();
      return;
    case PollAnswer::Outcome::NoAnswer:
      // A player that did not answer in time (busy, hung) has not stopped:
      // what is shown stays until it answers or is gone.
      return;
    case PollAnswer::Outcome::Plays:
      RememberSessionApp(answer.sessionAppId);
      if (HideTrack(answer)) {
        PlaybackEnded();
        return;
      }
      ApplyPlayingTrack(answer);
      return;
  }
}

bool PluginCore::HideTrack(PollAnswer& answer) {
  const PluginSettings& s = Settings();
  const int64_t now = env_.timers->NowMs();
  std::u16string key = TrackKey(answer.track);
  if (key != pausedTrackKey_) {
    pauseTracker_.Forget();
    pausedTrackKey_ = std::move(key);
  }
  pauseTracker_.Observe(answer.paused, now);
  if (answer.hiddenBy == HiddenBy::Nothing && pauseTracker_.PausedTooLong(now, s.Privacy.PausedTooLongMinutes))
    answer.hiddenBy = HiddenBy::PausedTooLong;
  lastHiddenBy_ = answer.hiddenBy;
  lastHidingPattern_ = answer.hidingPattern;
  if (answer.hiddenBy != HiddenBy::Nothing) {
    hiddenTrack_ = std::move(answer.track);
    hiddenWindowTitle_ = std::move(answer.lastWindowTitle);
    return true;
  }
  // A track shown again after a rule hid it is new to the X-status.
  if (hiddenTrack_) answer.isNew = true;
  ForgetHiddenTrack();
  return false;
}

void PluginCore::ForgetHiddenTrack() {
  hiddenTrack_.reset();
  Forget(hiddenWindowTitle_);
}

void PluginCore::RememberSessionApp(const std::u16string& appId) {
  PluginSettings& s = Settings();
  if (appId.empty() || !tunelet::RememberSessionApp(s.Privacy, appId)) return;
  // The options dialog lists it from now on, also after a restart.
  SavePrivacySettings(*env_.ini, s.Privacy);
}

void PluginCore::ResetPrivacyState() {
  ForgetHiddenTrack();
  pauseTracker_.Forget();
  pausedTrackKey_.clear();
  lastHiddenBy_ = HiddenBy::Nothing;
  lastHidingPattern_.clear();
  calm_ = CalmPublisher();
  calmPending_ = false;
  env_.timers->Disable(CoreTimer::Calm);
}

void PluginCore::ApplyPlayingTrack(PollAnswer& answer) {
  PluginSettings& s = Settings();
  s.Track = std::move(answer.track);
  s.LastWindowTitle = std::move(answer.lastWindowTitle);
  // A new track is shown with its cover when it is published.
  if (answer.lateCover && !answer.isNew) env_.subsystems.ui->CoverArrived();
  if (!answer.isNew) return;
  if (!CalmPaceOn()) {
    BeginPublish();
    return;
  }
  calm_.RequestPublish(TrackKey(s.Track), env_.timers->NowMs());
  RunCalmChange();
}

void PluginCore::BeginPublish() {
  PluginSettings& s = Settings();
  s.CurrentXStatusTitle = ReadXStatusTitle();
  // Only the first track after a restore saves: later tracks keep the
  // user's own X-status as first saved.
  if (!s.SavedXStatusValid) SaveUserXStatus();
  Arm(CoreTimer::Apply);
  ClearXStatus();
  calm_.Sent({XStatusChange::Kind::Publish, TrackKey(s.Track)}, env_.timers->NowMs());
}

void PluginCore::ApplyTick() {
  env_.subsystems.publisher->PublishTrack();
  Forget(Settings().CurrentXStatusTitle);
}

void PluginCore::PlaybackEnded() {
  if (!CalmPaceOn()) {
    BeginRestore();
    return;
  }
  calm_.RequestRestore(env_.timers->NowMs());
  RunCalmChange();
}

void PluginCore::BeginRestore() {
  PluginSettings& s = Settings();
  if (!s.SavedXStatusValid) return;
  Arm(CoreTimer::Restore);
  s.CurrentXStatusTitle = ReadXStatusTitle();
  ClearXStatus();
  calm_.Sent({}, env_.timers->NowMs());
}

bool PluginCore::CalmPaceOn() {
  const int32_t seconds = Settings().Privacy.CalmPublishSeconds;
  calm_.SetInterval(seconds > 0 ? seconds * kMsPerSecond : 0);
  // A change that waits goes through the publisher even when the pace was
  // switched off meanwhile, so that it is not lost.
  return seconds > 0 || calm_.DueAt();
}

void PluginCore::RunCalmChange() {
  const int64_t now = env_.timers->NowMs();
  if (std::optional<XStatusChange> change = calm_.Take(now)) {
    if (change->kind == XStatusChange::Kind::Publish)
      BeginPublish();
    else
      BeginRestore();
  }
  calmPending_ = false;
  env_.timers->Disable(CoreTimer::Calm);
  if (std::optional<int64_t> due = calm_.DueAt()) {
    // Subtraction form: Take left only changes due after now.
    const int64_t wait = *due > now ? *due - now : 1;
    calmPending_ = true;
    env_.timers->EnableAfter(CoreTimer::Calm, uint32_t(std::min<int64_t>(wait, INT32_MAX)));
  }
}

void PluginCore::RestoreTick() {
  PluginSettings& s = Settings();
  const OptText& title = s.KeepXStatusName ? s.CurrentXStatusTitle : s.SavedXStatusTitle;
  host().SetXStatus(s.SavedXStatusPicture, title, s.SavedXStatusText);
  ForgetTrack();
  Forget(s.CurrentXStatusTitle);
}

void PluginCore::SettlePendingXStatus() {
  if (!applyPending_ && !restorePending_ && !calmPending_) return;
  // A change that waits for the calm pace is pending too; the X-status still
  // shows the track then, whose title a kept name keeps.
  if (!applyPending_ && !restorePending_) Settings().CurrentXStatusTitle = ReadXStatusTitle();
  Disarm(CoreTimer::Apply);
  Disarm(CoreTimer::Restore);
  calmPending_ = false;
  env_.timers->Disable(CoreTimer::Calm);
  // The X-status is cleared now (both steps clear first): what is saved goes
  // back at once. CurrentXStatusTitle is the title read when the step was
  // armed, as the timer would have used it.
  if (Settings().SavedXStatusValid) RestoreTick();
  Forget(Settings().CurrentXStatusTitle);
}

void PluginCore::Arm(CoreTimer t) {
  (t == CoreTimer::Apply ? applyPending_ : restorePending_) = true;
  env_.timers->Enable(t);
}

void PluginCore::Disarm(CoreTimer t) {
  (t == CoreTimer::Apply ? applyPending_ : restorePending_) = false;
  env_.timers->Disable(t);
}

void PluginCore::ClearXStatus() { host().SetXStatus(0, std::nullopt, std::nullopt); }

OptText PluginCore::ReadXStatusTitle() {
  OptText title;
  SetText(title, host().GetXStatus().title);
  return title;
}

uint8_t PluginCore::ReadXStatusPicture() { return uint8_t(host().GetXStatus().picture); }

void PluginCore::SaveUserXStatus() {
  PluginSettings& s = Settings();
  const XStatusAnswer a = host().GetXStatus();
  s.SavedXStatusValid = true;
  s.SavedXStatusPicture = uint16_t(a.picture);
  SetText(s.SavedXStatusTitle, a.title);
  SetText(s.SavedXStatusText, a.text);
}

void PluginCore::ForgetSavedXStatus() {
  PluginSettings& s = Settings();
  s.SavedXStatusValid = false;
  s.SavedXStatusPicture = 0;
  Forget(s.SavedXStatusTitle);
  Forget(s.SavedXStatusText);
}

void PluginCore::ForgetTrack() {
  PluginSettings& s = Settings();
  ForgetSavedXStatus();
  ClearTrackInfo(s.Track);
  Forget(s.Track.FilePath);
  Forget(s.Track.LastReadPath);
  Forget(s.LastWindowTitle);
}

void PluginCore::CloseWindows() {
  env_.subsystems.ui->CloseDialogs();
  env_.subsystems.language->CloseLanguageDialog();
  env_.subsystems.hotKeys->DestroyHotKeyWindow();
}

}  // namespace tunelet
