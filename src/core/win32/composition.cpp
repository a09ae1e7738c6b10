#include "core/win32/composition.h"

#include <windows.h>
#include <gdiplus.h>

#include "core/settings_store.h"
#include "core/win32/ini_file_win32.h"
#include "hotkey/win32/hotkeys_win32.h"
#include "lang/language_texts.h"
#include "lang/win32/language_win32.h"
#include "metadata/player_info_hook.h"
#include "platform/win32/bounded_lane.h"
#include "players/win32/dll_player_access.h"
#include "templates/xstatus_policy.h"
#include "ui/win32/user_interface_win32.h"
#include "update/win32/update_check_win32.h"

namespace tunelet::win32 {

namespace {
// GDI+ must not start or stop under the loader lock, so it starts with the
// first plug-in object and stops when the last one is gone.
ULONG_PTR gGdiplusToken = 0;
int gObjects = 0;
}

namespace {
class DllSubsystems final : public SubsystemSet {
 public:
  explicit DllSubsystems(IHost& host) : optionsStore_(ini_, host) {
    Subsystems s;
    s.players = &DllPlayerAccess();
    s.ui = ui_.get();
    language_ = std::make_unique<Win32Language>(ini_, languageTexts_, *ui_);
    s.language = language_.get();
    s.update = update_.get();
    s.hotKeys = hotKeys_.get();
    view_ = WithDefaults(s);
    publisher_ = std::make_unique<XStatusPolicy>(host, *view_.ui);
    view_.publisher = publisher_.get();
    // The options dialog reaches the subsystems made after the windows.
    ui_->AttachOptionsServices({ui_.get(), hotKeys_.get(), language_.get(), update_.get(), &uiTexts_, &optionsStore_});
    // The MP4 reader asks the running player for its bit rate.
    SetPlayerInfoSource(view_.players);
  }
  ~DllSubsystems() override {
    // The options dialog uses the subsystems below, which go before ui_.
    ui_->CloseDialogs();
    SetPlayerInfoSource(nullptr);
  }
  const Subsystems& view() const override { return view_; }
  PollWorkerThread& pollWorker() override { return pollWorker_; }

 private:
  Subsystems view_;
  // The language file's texts, and what every window reads: those texts
  // while UseLanguageFile is set, the built-in Russian ones otherwise.
  LanguageTexts languageTexts_;
  SelectedUiTexts uiTexts_{languageTexts_};
  ProfileIniFile ini_;
  SettingsOptionsStore optionsStore_;  // after ini_, which it writes
  // Before the windows, whose player commands go through it.
  PollWorkerThread pollWorker_{DllPlayerAccess()};
  WorkerCommandAccess workerCommands_{pollWorker_};
  // Before publisher_, which shows popups through it and so goes first.
  std::unique_ptr<Win32UserInterface> ui_ = std::make_unique<Win32UserInterface>(workerCommands_, uiTexts_);
  // After ui_, whose windows the hot keys open, so it goes before them.
  std::unique_ptr<Win32HotKeys> hotKeys_ = std::make_unique<Win32HotKeys>(*ui_);
  std::unique_ptr<XStatusPolicy> publisher_;
  std::unique_ptr<Win32Language> language_;  // goes before the windows it tells
  // Its destructor lets go of a check in flight (a bounded wait).
  std::unique_ptr<Win32UpdateCheck> update_ = std::make_unique<Win32UpdateCheck>(uiTexts_);
};
}  // namespace

std::unique_ptr<SubsystemSet> MakeSubsystems(IHost& host) { return std::make_unique<DllSubsystems>(host); }

void PluginObjectCreated() {
  if (gObjects++ == 0 && !gGdiplusToken) {
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&gGdiplusToken, &input, nullptr) != Gdiplus::Ok) gGdiplusToken = 0;
  }
}

void PluginObjectDestroyed() {
  if (--gObjects == 0 && gGdiplusToken) {
    Gdiplus::GdiplusShutdown(gGdiplusToken);
    gGdiplusToken = 0;
  }
  if (gObjects == 0) ReleaseIdleLaneThreads();  // no idle thread keeps the library mapped
}

}  // namespace tunelet::win32
