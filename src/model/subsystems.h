// Narrow interfaces through which the core reaches the other subsystems. Each
// has a do-nothing default so the road runs end to end while a subsystem is
// missing; the composition root (core/win32/composition.cpp) plugs in the
// real ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunelet {

class IPlayerAccess {
 public:
  virtual ~IPlayerAccess() = default;
  // 0 none, 4 foobar2000 through automation, else a window handle.
  virtual uintptr_t FindPlayer(int mode) { return 0; }
  // Path or URL of what CurrentPlayer plays; empty when nothing plays, no
  // value when the player did not answer in time.
  virtual std::optional<std::u16string> GetPlayingPath() { return u""; }
  virtual bool ReadFoobar2000Track() { return false; }
  // The media session's track read into Track() when it is new; true then.
  virtual bool ReadMediaSessionTrack() { return false; }
  // A cover for the track shown arrived after the track was read (a
  // thumbnail of the media session); true once per arrival.
  virtual bool TakeLateCover() { return false; }
  virtual bool ReadWinampStreamTitle(std::u16string_view url) { return false; }
  virtual bool ReadAimp2StreamTitle(std::u16string_view url) { return false; }
  // Fills Track() from the file at path (metadata entry points); 0 = not taken.
  virtual int ClassifyAndRead(std::u16string_view path) { return 0; }
  virtual bool FileExists(std::u16string_view path) { return false; }
  // GetPlayerInfo kind 21, 22, 23 (bitrate, sample rate, length).
  virtual int32_t GetPlayerInfo(int kind) { return 0; }
  // The player last asked for its path said it is paused (Winamp, AIMP2,
  // jetAudio, the media session: the players that report pause).
  virtual bool PlayerPaused() { return false; }
  // The application of the media session shown; empty for other players.
  virtual std::u16string SessionAppId() { return {}; }
  // Player remote control (0 stop, 1 play, 2 pause, 3 previous, 4 next).
  virtual void SendPlayerCommand(int command) {}
};

class IPublisher {
 public:
  virtual ~IPublisher() = default;
  // The publishing step of the X-status policy for the current Action.
  virtual void PublishTrack() {}
  // MSG_XSTATUS_CHANGED: the user changed the X-status in the host.
  virtual void OnXStatusChanged(int32_t picture, std::u16string_view text) {}
};

class IUserInterface {
 public:
  virtual ~IUserInterface() = default;
  virtual void ShowPopup(int kind) {}  // 1 plug-in state, 2 new track
  virtual void ResetControlWindowPosition() {}
  virtual void ShowControlWindow() {}
  virtual void CloseControlWindow() {}
  virtual void ShowOptionsDialog() {}
  // Asked by the hot keys: some act only while the options dialog is closed,
  // and one closes the control window when it is open.
  virtual bool IsOptionsDialogOpen() { return false; }
  virtual bool IsControlWindowOpen() { return false; }
  // The QuickInfo window of the current track: refreshed when open, else shown.
  virtual void ShowQuickInfo() {}
  // The current track's cover arrived late: an open QuickInfo window shows it.
  virtual void CoverArrived() {}
  // Closes the options dialog and the QuickInfo window (the language dialog
  // is the language subsystem's).
  virtual void CloseDialogs() {}
  // A language was applied: the open options dialog takes the texts now (and
  // its hot-key tab, when current, refreshes its captions).
  virtual void ApplyLanguageToOptions() {}
};

// The unavailable-combinations scan: 16 modifier sets times the virtual
// keys 8..255.
inline constexpr size_t kUnavailableScanTrials = 16 * 248;

// The hot-key actions: switch the plug-in, the options, the control window,
// QuickInfo, paste, and pause sharing (the sixth, added later: hotkeys.dat
// keeps it after the five slots older versions read).
constexpr int kHotKeyActions = 6;

class IHotKeys {
 public:
  virtual ~IHotKeys() = default;
  virtual void LoadHotKeySlots() {}
  virtual void CreateHotKeyWindow() {}
  virtual void DestroyHotKeyWindow() {}

  // What the options dialog's hot-key tab works with. Actions are 0..kHotKeyActions - 1; a
  // shortcut is the virtual key in bits 0..7 with Shift 0x2000, Ctrl 0x4000,
  // Alt 0x8000, Win 0x10000.
  virtual void SaveHotKeySlots() {}
  virtual std::u16string SlotText(int action) { return {}; }
  virtual void SetSlotText(int action, std::u16string_view text) {}
  virtual void ClearSlot(int action) {}
  virtual void RegisterAllHotKeys() {}
  // RegisterHotKey/UnregisterHotKey on the hot-key window, identifier = action.
  virtual bool RegisterHotKey(int action, uint32_t shortcut) { return false; }
  virtual bool UnregisterHotKey(int action) { return false; }
  virtual bool CanRegisterShortcut(uint32_t shortcut) { return false; }
  // The texts of every combination the system refuses (a few thousand trial
  // registrations: seconds, not milliseconds).
  virtual std::vector<std::u16string> UnavailableCombinations() { return {}; }
  // The same scan a slice at a time, so that a window can run it between
  // its messages: trials first .. first + count - 1 of the scan's
  // kUnavailableScanTrials, the texts of those refused.
  virtual std::vector<std::u16string> ScanUnavailableCombinations(size_t first, size_t count) { return {}; }
  virtual std::u16string ShortcutToText(uint32_t shortcut) { return {}; }
  virtual uint32_t TextToShortcut(std::u16string_view text) { return 0; }
  // Whether the combination's text, kept in hotkeys.dat, names it again at
  // the next start (key names come from the layout).
  virtual bool ReadsBack(uint32_t shortcut) { return true; }
  // The action's slot holds a binding that is not registered now (it failed
  // at start, or its text names no combination).
  virtual bool BindingFailed(int action) { return false; }
};

class ILanguage {
 public:
  virtual ~ILanguage() = default;
  // Loads the language file named in the INI file (called at start while
  // UseLanguageFile is set); false when none was loaded, and the caller then
  // clears UseLanguageFile.
  virtual bool LoadConfiguredLanguage() { return true; }
  // The language dialog: created and shown, or brought to the front when it
  // is open already.
  virtual void ShowLanguageDialog() {}
  virtual void CloseLanguageDialog() {}
};

class IUpdateView;

class IUpdateCheck {
 public:
  virtual ~IUpdateCheck() = default;
  // Asks the maker's site for a newer version; returns at once, the result
  // comes later on the user-interface thread.
  virtual void StartUpdateCheck() {}
  // The options dialog's buttons while it is open; null when it closes.
  virtual void SetView(IUpdateView* view) {}
  // btgetupClick: "checking" on the button, then StartUpdateCheck.
  virtual void CheckButtonClicked() {}
  // btloadupClick: opens the download page.
  virtual void LoadButtonClicked() {}
  // The start-up check will not run (Updateonstartup was switched off
  // meanwhile): the "checking" state that loading the settings set goes,
  // unless a check the user started is still under way.
  virtual void StartupCheckSkipped() {}
};

// The options dialog's save: the INI keys it edits are written and the
// record the host keeps is stored at once (errors are swallowed).
class IOptionsStore {
 public:
  virtual ~IOptionsStore() = default;
  virtual void SaveOptions() {}
  // The control window's start-up switch alone, written when its box is
  // clicked: the click acts at once, so a Cancel after it must not lose it
  // at the next start.
  virtual void SaveShowControlWindow() {}
};

struct Subsystems {
  IPlayerAccess* players = nullptr;
  IPublisher* publisher = nullptr;
  IUserInterface* ui = nullptr;
  IHotKeys* hotKeys = nullptr;
  ILanguage* language = nullptr;
  IUpdateCheck* update = nullptr;
};

// Fills every null member with the do-nothing default.
Subsystems WithDefaults(Subsystems s);

}  // namespace tunelet
