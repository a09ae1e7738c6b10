// The plug-in's options dialog as a user works it: its tabs, its controls
// found by name, clicks, ticks, choices, typed text and keys, what each
// control shows, and the message boxes it raises. The host knows the dialog
// only through windows and messages; the controls' numbers come from the one
// header the plug-in shares for that (ui/options_controls.h).
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace talkeo_sim {

inline constexpr wchar_t kOptionsDialogClass[] = L"Tmainform";

// The number of a control of the dialog by its name: the identifier of
// ui/options_controls.h without "kId" (ChboxTlcOn) or the control's own name
// (chbox_tlc_on); case and underscores do not count. The player buttons are
// rb_<player> (rb_winamp, rb_AIMP2, rb_media_session).
std::optional<int> OptionsControlByName(const std::wstring& name);

// The visible options dialog of the module (its Tmainform, or a dialog of the
// system's class holding MainPageControl), or null.
HWND FindOptionsDialog(HMODULE module);
// The descendant of the dialog with that identifier, the shallowest first
// (a combo box's own edit carries a number too); null when there is none.
HWND FindDialogControl(HWND dialog, int id);

// Makes tab n of a tab control current as a click on it would: TCM_SETCURSEL,
// then TCN_SELCHANGE to its parent.
bool SelectTab(HWND tabControl, int n);

// What a user can do to a control. Each fails (with the reason in *error)
// when the control is hidden (its tab is not shown) or disabled, as it would
// for a user.
bool CanBeWorked(HWND control, std::string* error);
// A click of the left button at the control's centre through the input queue;
// fails when something else is under that point.
bool ClickControl(HWND control, std::string* error);
// The button's own click (BM_CLICK): what a click or the space bar does,
// also on a button scrolled out of its box.
bool PressButton(HWND control, std::string* error);
// PressButton when the tick is not yet as wanted.
bool SetTick(HWND control, bool checked, std::string* error);
// Picks item n of a combo box, list box, list view (-1: none) or tab control,
// or sets a slider's or spin button's position to n; the parent is told as
// when the user does it.
bool SelectItem(HWND control, int n, std::string* error);
bool FocusControl(HWND control, std::string* error);
// Types the text at the caret: one character message per character through
// the thread's queue (a line break is typed as Enter), so that the field's
// limits apply; the host pumps. Under Wine a field with a scroll bar takes
// about 30 ms a character.
bool TypeText(HWND control, const std::wstring& text, std::string* error);
// Replaces the field's whole text as a paste over a selection of all of it
// does (EM_REPLACESEL, which keeps the field's limit); "\n" becomes a line
// break in a multi-line field.
bool ReplaceText(HWND control, const std::wstring& text, std::string* error);

// A key with its modifiers, "Ctrl+F12", "Alt+Q", "Return", "Shift+Tab".
struct KeyCombo {
  std::vector<WORD> modifiers;  // VK_CONTROL, VK_SHIFT, VK_MENU, VK_LWIN
  WORD key = 0;
};
bool ParseKeyCombo(const std::wstring& text, KeyCombo& out);
// Presses and releases the combination as real key input (SendInput) with
// the dialog in front and the control focused; the host pumps.
bool PressKeys(HWND control, const KeyCombo& keys, std::string* error);

// What a control shows.
std::wstring WindowText(HWND control);
bool IsTicked(HWND control);
// The picked item (combo box, list box, list view, tab control; -1 none) or
// the position (slider, spin button).
std::optional<int> SelectedItem(HWND control);
// The text of item n (combo box, list box, tab control) or of row n's column
// (list view).
std::optional<std::wstring> ItemText(HWND control, int n, int column = 0);
// Visible with every ancestor.
bool IsShown(HWND control);

// A message box of the process as the user sees it.
struct MessageBoxView {
  HWND hwnd = nullptr, owner = nullptr;
  std::wstring caption, text;
  HICON icon = nullptr;  // what its icon shows (STM_GETICON)
  LONG_PTR exStyle = 0;
  int answered = 0;      // the button pressed (0: the box had not the one expected)
};

// Answers the message boxes of the process (dialogs of class #32770 with a
// static text): each box that appears takes the first answer waiting, in
// order; a box nobody expects is closed with Cancel, No or OK and kept as
// unexpected. It looks with a thread timer, so it also works while the box's
// own modal loop runs on this thread. One watch answers per thread, the one
// made last.
class MessageBoxWatch {
 public:
  MessageBoxWatch();
  ~MessageBoxWatch();
  MessageBoxWatch(const MessageBoxWatch&) = delete;
  MessageBoxWatch& operator=(const MessageBoxWatch&) = delete;

  // The next box is answered with this button (IDOK, IDYES, IDNO, IDCANCEL);
  // returns a ticket for Wait.
  int Expect(int button);
  // Pumps until the box of that ticket was answered (at most boundMs); what
  // it showed, or nothing (and the ticket is dropped).
  std::optional<MessageBoxView> Wait(int ticket, const std::function<void(uint32_t)>& pump, uint32_t boundMs);
  std::vector<MessageBoxView> TakeUnexpected();
  // Looks now (the timer also does).
  void Look();

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  struct Expected {
    int ticket, button;
    std::optional<MessageBoxView> seen;
  };
  MessageBoxWatch* outer_;  // the thread's watch before this one, back when this one goes
  UINT_PTR timer_ = 0;
  int nextTicket_ = 1;
  std::deque<Expected> expected_;
  std::vector<MessageBoxView> unexpected_;
  std::set<HWND> answered_;
};

}  // namespace talkeo_sim
