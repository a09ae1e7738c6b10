// Typing the paste line into the window that has the keyboard focus in
// another program: through the clipboard and one Ctrl+V, or by posting one
// character message per character to the window with the caret. The host's
// thread never waits on another program for long: emptying the clipboard
// asks its previous owner (which may hang) and so runs on a bounded lane;
// input and messages are posted.
#pragma once

#include <string_view>

#include "hotkey/hotkey_actions.h"
#include "hotkey/shortcut.h"
#include "platform/win32/bounded_lane.h"

namespace tunelet::win32 {

// Puts text on the clipboard as CF_UNICODETEXT; false when the clipboard is
// held by another program or the block cannot be made.
bool PutTextOnClipboard(std::u16string_view text);
// Presses and releases the shortcut's key in one SendInput call, with Ctrl
// held around it when the shortcut has Ctrl.
void SendKeyCombination(Shortcut shortcut);

class Win32Paste final : public IPaste {
 public:
  // The paste template with the playing track's values, onto the clipboard,
  // then Ctrl+V to the foreground window.
  void PasteViaClipboard() override;
  // The same line as character messages to the foreground thread's caret
  // window; false when none was posted (no caret window, or it is disabled
  // or read-only).
  bool PasteDirect() override;

  // How long the host's thread waits for the clipboard.
  static constexpr DWORD kClipboardWaitMs = 500;

 private:
  BoundedLane clipboardLane_{BoundedLane::Apartment::None};
};

}  // namespace tunelet::win32
