#include "hotkey/hotkey_actions.h"

#include "model/settings.h"
#include "platform/platform.h"

namespace tunelet {

namespace {

bool CurrentFileKnown() { return !IsEmpty(Track().FilePath); }

}  // namespace

bool RunHotKeyAction(int action, IUserInterface& ui, IPaste& paste) {
  PluginSettings& s = Settings();
  switch (action) {
    case haTogglePlugin:
      if (ui.IsOptionsDialogOpen()) return true;
      s.PluginOn = !s.PluginOn;
      if (s.PopupsOn) ui.ShowPopup(kPluginStatePopup);
      return true;
    case haShowOptions:
      ui.ShowOptionsDialog();
      return true;
    case haToggleControl:
      if (ui.IsControlWindowOpen())
        ui.CloseControlWindow();
      else
        ui.ShowControlWindow();
      return true;
    case haShowQuickInfo:
      if (CurrentFileKnown() && s.PluginOn) ui.ShowQuickInfo();
      return true;
    case haPasteInfo:
      if (ui.IsOptionsDialogOpen() || !CurrentFileKnown() || !s.PluginOn) return true;
      if (s.Directpaste)
        paste.PasteDirect();
      else
        paste.PasteViaClipboard();
      return true;
    case haPauseSharing:
      // Acts at the next poll, as the on/off switch does.
      ToggleSharingPause(s, platform::MonotonicMs(), platform::LocalMinuteOfDay());
      if (s.PopupsOn) ui.ShowPopup(kSharingStatePopup);
      return true;
    default:
      return false;
  }
}

}  // namespace tunelet
