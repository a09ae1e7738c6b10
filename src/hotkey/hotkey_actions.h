// What each hot key does (the WM_HOTKEY identifier is the action number) and
// when it may: the decisions are portable; the windows and the paste are
// reached through IUserInterface and IPaste.
#pragma once

#include <cstdint>
#include <string>

#include "model/subsystems.h"

namespace tunelet {

enum HotKeyAction : int {
  haTogglePlugin = 0,   // switch the plug-in on/off
  haShowOptions = 1,    // show the options dialog
  haToggleControl = 2,  // show/hide the floating control window
  haShowQuickInfo = 3,  // show QuickInfo
  haPasteInfo = 4,      // paste the playing information
  haPauseSharing = 5,   // pause sharing for an hour, or resume it
};

// The two ways of typing the paste line into the focused window.
class IPaste {
 public:
  virtual ~IPaste() = default;
  virtual void PasteViaClipboard() = 0;
  virtual bool PasteDirect() = 0;
};

// The state popups of the on/off switch and of the pause of sharing.
constexpr int kPluginStatePopup = 1;
constexpr int kSharingStatePopup = 3;

// Runs the action under its conditions. Returns false for an identifier that
// is no action (the window passes the message on then).
bool RunHotKeyAction(int action, IUserInterface& ui, IPaste& paste);

}  // namespace tunelet
