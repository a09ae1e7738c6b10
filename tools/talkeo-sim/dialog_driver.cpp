#include "dialog_driver.h"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>
#include <iterator>
#include <utility>

#include "sim_text.h"
#include "ui/options_controls.h"

namespace talkeo_sim {

using namespace tunelet;

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;  // the static that holds a message box's text
constexpr UINT kBoxLookMs = 20;

struct NamedControl {
  const wchar_t* name;
  int id;
};
// The identifiers of ui/options_controls.h, by their names without "kId".
constexpr NamedControl kControls[] = {
    {L"ChboxOn", kIdChboxOn}, {L"MainPageControl", kIdMainPageControl}, {L"LangButton", kIdLangButton},
    {L"HpButton", kIdHpButton}, {L"BtSave", kIdBtSave}, {L"BtClose", kIdBtClose},
    {L"Stext1", kIdStext1}, {L"RbAuto", kIdRbAuto}, {L"RbManual", kIdRbManual}, {L"PlayerBox", kIdPlayerBox},
    {L"Stext2", kIdStext2}, {L"RbToOther", kIdRbToOther}, {L"RbPlusAny", kIdRbPlusAny},
    {L"RbFromMusic", kIdRbFromMusic}, {L"RbFromAny", kIdRbFromAny}, {L"LbForAudio", kIdLbForAudio},
    {L"ComboXstatA", kIdComboXstatA}, {L"ComboxXstatA", kIdComboXstatA}, {L"LbForVideo", kIdLbForVideo},
    {L"ComboXstatV", kIdComboXstatV}, {L"ComboxXstatV", kIdComboXstatV}, {L"LbGlobal", kIdLbGlobal},
    {L"EInterval", kIdEInterval}, {L"UpDown1", kIdUpDown1},
    {L"Stext3", kIdStext3}, {L"XstatPageControl", kIdXstatPageControl}, {L"LbName", kIdLbName},
    {L"EXstatNameA", kIdEXstatNameA}, {L"LbText", kIdLbText}, {L"EXstatTextA", kIdEXstatTextA},
    {L"LbName2", kIdLbName2}, {L"EXstatNameV", kIdEXstatNameV}, {L"LbText2", kIdLbText2},
    {L"EXstatTextV", kIdEXstatTextV}, {L"BtVars", kIdBtVars}, {L"BtTest", kIdBtTest}, {L"BtReset", kIdBtReset},
    {L"BtAddBlock", kIdBtAddBlock}, {L"ChboxOnlyText", kIdChboxOnlyText},
    {L"Stext4", kIdStext4}, {L"HotKeyList", kIdHotKeyList}, {L"HotKey1", kIdHotKey1},
    {L"BtRegHotKey", kIdBtRegHotKey}, {L"BtDelHotKey", kIdBtDelHotKey}, {L"Stext5", kIdStext5},
    {L"KeyList", kIdKeyList},
    {L"Stext6", kIdStext6}, {L"PopupOn", kIdPopupOn}, {L"ChboxOnTop", kIdChboxOnTop},
    {L"ChboxShadow", kIdChboxShadow}, {L"ChboxSmooth", kIdChboxSmooth}, {L"LbTransp", kIdLbTransp},
    {L"TranspBar", kIdTranspBar}, {L"LbTranspLeft", kIdLbTranspLeft}, {L"LbTranspRight", kIdLbTranspRight},
    {L"LbDelay", kIdLbDelay}, {L"EPopupDelay", kIdEPopupDelay}, {L"UpDown2", kIdUpDown2},
    {L"OthersBox", kIdOthersBox}, {L"Stext7", kIdStext7}, {L"ChboxOleFoobar", kIdChboxOleFoobar},
    {L"ChboxVideoOff", kIdChboxVideoOff}, {L"ChboxReturnOnPause", kIdChboxReturnOnPause},
    {L"ChboxGetFromName", kIdChboxGetFromName}, {L"LbCodepage", kIdLbCodepage},
    {L"ChboxCodepage", kIdChboxCodepage}, {L"Stext8", kIdStext8}, {L"LbText3", kIdLbText3},
    {L"TextPasteText", kIdTextPasteText}, {L"BtTest2", kIdBtTest2}, {L"RbOverBuf", kIdRbOverBuf},
    {L"RbDirect", kIdRbDirect},
    {L"TlcHeading", kIdTlcHeading}, {L"ChboxTlcOn", kIdChboxTlcOn}, {L"ChboxHideIfTop", kIdChboxHideIfTop},
    {L"BtShowHide", kIdBtShowHide}, {L"BtResetPos", kIdBtResetPos},
    {L"SVersionText", kIdSVersionText}, {L"Credits", kIdCredits}, {L"ChboxUpdate", kIdChboxUpdate},
    {L"BtGetUp", kIdBtGetUp}, {L"BtLoadUp", kIdBtLoadUp},
    {L"LbPrivacyPlayers", kIdLbPrivacyPlayers}, {L"PrivacyPlayerList", kIdPrivacyPlayerList},
    {L"LbPrivacyExclusions", kIdLbPrivacyExclusions}, {L"EPrivacyExclusions", kIdEPrivacyExclusions},
    {L"LbPrivacyPatternHint", kIdLbPrivacyPatternHint}, {L"LbPauseLimit", kIdLbPauseLimit},
    {L"EPauseLimit", kIdEPauseLimit}, {L"UpDownPauseLimit", kIdUpDownPauseLimit},
    {L"LbCalmInterval", kIdLbCalmInterval}, {L"ECalmInterval", kIdECalmInterval},
    {L"UpDownCalmInterval", kIdUpDownCalmInterval},
    // The player buttons: rb_ and the player's name; the number is the
    // player's row in the plug-in's player table (the host knows players by
    // these rows, as the record's PlayerId does).
    {L"RbWmp", kIdPlayerButtonBase + 0}, {L"RbMpc", kIdPlayerButtonBase + 1},
    {L"RbGom", kIdPlayerButtonBase + 2}, {L"RbLightAlloy", kIdPlayerButtonBase + 3},
    {L"RbBsPlayer", kIdPlayerButtonBase + 4}, {L"RbZoomPlayer", kIdPlayerButtonBase + 5},
    {L"RbKmPlayer", kIdPlayerButtonBase + 6}, {L"RbCrystal", kIdPlayerButtonBase + 7},
    {L"RbWinamp", kIdPlayerButtonBase + 8}, {L"RbFoobar2000", kIdPlayerButtonBase + 9},
    {L"RbAimp2", kIdPlayerButtonBase + 12}, {L"RbJetAudio", kIdPlayerButtonBase + 13},
    {L"RbITunes", kIdPlayerButtonBase + 14}, {L"RbMMonkey", kIdPlayerButtonBase + 15},
    {L"RbMediaMonkey", kIdPlayerButtonBase + 15}, {L"RbQmp", kIdPlayerButtonBase + 16},
    {L"RbApollo", kIdPlayerButtonBase + 17}, {L"RbXmPlay", kIdPlayerButtonBase + 18},
    {L"RbRealPlayer", kIdPlayerButtonBase + 19}, {L"RbImpsPlayer", kIdPlayerButtonBase + 20},
    {L"RbMediaSession", kIdPlayerButtonBase + 21},
};

std::wstring Folded(const std::wstring& name) {
  std::wstring f;
  for (wchar_t c : name)
    if (c != L'_') f += wchar_t(std::towlower(c));
  return f;
}

std::wstring ClassName(HWND hwnd) {
  wchar_t buf[64] = {};
  ::GetClassNameW(hwnd, buf, int(std::size(buf)));
  return buf;
}

bool IsClass(HWND hwnd, const wchar_t* name) { return ::lstrcmpiW(ClassName(hwnd).c_str(), name) == 0; }

bool Failed(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

// Tells the control's parent what the control tells it when the user works it.
void Notify(HWND control, UINT code) {
  ::SendMessageW(::GetParent(control), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(control), code), LPARAM(control));
}

struct BoxSearch {
  std::vector<HWND> boxes;
};
BOOL CALLBACK CollectBox(HWND hwnd, LPARAM p) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(hwnd) && IsClass(hwnd, L"#32770") &&
      ::GetDlgItem(hwnd, kMessageBoxTextId))
    reinterpret_cast<BoxSearch*>(p)->boxes.push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK FindIcon(HWND child, LPARAM p) {
  if (!(::GetWindowLongW(child, GWL_STYLE) & SS_ICON) || !IsClass(child, L"Static")) return TRUE;
  *reinterpret_cast<HICON*>(p) = HICON(::SendMessageW(child, STM_GETICON, 0, 0));
  return FALSE;
}

MessageBoxView LookAtBox(HWND box) {
  MessageBoxView v;
  v.hwnd = box;
  v.owner = ::GetWindow(box, GW_OWNER);
  v.caption = WindowText(box);
  v.text = WindowText(::GetDlgItem(box, kMessageBoxTextId));
  v.exStyle = ::GetWindowLongPtrW(box, GWL_EXSTYLE);
  ::EnumChildWindows(box, FindIcon, LPARAM(&v.icon));
  return v;
}

// Presses the box's button (posted, as the box may belong to another thread
// or be in its own modal loop); false when it has no such button.
bool PressBoxButton(HWND box, int button) {
  const HWND b = ::GetDlgItem(box, button);
  if (!b) return false;
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), LPARAM(b));
  return true;
}

thread_local MessageBoxWatch* tBoxWatch = nullptr;

// The grey keys between the main block and the keypad come from a keyboard
// marked extended; without the mark the system reads the keypad's keys.
bool IsExtendedKey(WORD vk) { return (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE; }

}  // namespace

std::optional<int> OptionsControlByName(const std::wstring& name) {
  const std::wstring folded = Folded(name);
  for (const auto& c : kControls)
    if (Folded(c.name) == folded) return c.id;
  return std::nullopt;
}

HWND FindOptionsDialog(HMODULE module) {
  // Its class is Tmainform; a dialog of the system's class (#32770) that
  // holds the tab control MainPageControl is taken too.
  for (const wchar_t* cls : {kOptionsDialogClass, L"#32770"})
    for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, cls, nullptr)) != nullptr;) {
      DWORD pid = 0;
      ::GetWindowThreadProcessId(w, &pid);
      if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(w)) continue;
      const bool ours = HMODULE(::GetWindowLongPtrW(w, GWLP_HINSTANCE)) == module ||
                        HMODULE(::GetClassLongPtrW(w, GCLP_HMODULE)) == module;
      if (ours && (cls == kOptionsDialogClass || ::GetDlgItem(w, kIdMainPageControl))) return w;
    }
  return nullptr;
}

HWND FindDialogControl(HWND dialog, int id) {
  // Breadth first: the dialog's children, then theirs, ...
  std::vector<HWND> level{dialog};
  while (!level.empty()) {
    std::vector<HWND> next;
    for (HWND parent : level)
      for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        if (::GetDlgCtrlID(c) == id) return c;
        next.push_back(c);
      }
    level = std::move(next);
  }
  return nullptr;
}

bool SelectTab(HWND tabControl, int n) {
  if (n < 0 || n >= int(::SendMessageW(tabControl, TCM_GETITEMCOUNT, 0, 0))) return false;
  ::SendMessageW(tabControl, TCM_SETCURSEL, WPARAM(n), 0);
  NMHDR nm{};
  nm.hwndFrom = tabControl;
  nm.idFrom = UINT_PTR(::GetDlgCtrlID(tabControl));
  nm.code = UINT(TCN_SELCHANGE);
  ::SendMessageW(::GetParent(tabControl), WM_NOTIFY, nm.idFrom, LPARAM(&nm));
  return true;
}

bool IsShown(HWND control) { return control && ::IsWindowVisible(control); }

bool CanBeWorked(HWND control, std::string* error) {
  if (!IsShown(control)) return Failed(error, "the control is hidden (is its tab shown?)");
  for (HWND w = control; w; w = ::GetParent(w))
    if (!::IsWindowEnabled(w)) return Failed(error, "the control is disabled");
  return true;
}

bool ClickControl(HWND control, std::string* error) {
  if (!CanBeWorked(control, error)) return false;
  RECT r{};
  ::GetWindowRect(control, &r);
  const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  const HWND under = ::WindowFromPoint(centre);
  if (under != control && !::IsChild(control, under))
    return Failed(error, "a window of class " + ToUtf8(ClassName(under)) + " is at the control's centre");
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  if (!::SetCursorPos(centre.x, centre.y) || ::SendInput(2, in, sizeof(INPUT)) != 2)
    return Failed(error, "the system refused the input");
  return true;
}

bool PressButton(HWND control, std::string* error) {
  if (!CanBeWorked(control, error)) return false;
  if (!IsClass(control, WC_BUTTONW)) return Failed(error, "the control is not a button");
  ::SendMessageW(control, BM_CLICK, 0, 0);
  return true;
}

bool SetTick(HWND control, bool checked, std::string* error) {
  if (!CanBeWorked(control, error)) return false;
  if (IsTicked(control) == checked) return true;
  if (!PressButton(control, error)) return false;
  return IsTicked(control) == checked || Failed(error, "the button did not take the tick");
}

bool SelectItem(HWND control, int n, std::string* error) {
  if (!CanBeWorked(control, error)) return false;
  auto outOfRange = [&] { return Failed(error, "there is no item " + std::to_string(n)); };
  if (IsClass(control, WC_COMBOBOXW)) {
    if (n < 0 || n >= int(::SendMessageW(control, CB_GETCOUNT, 0, 0))) return outOfRange();
    ::SendMessageW(control, CB_SETCURSEL, WPARAM(n), 0);
    Notify(control, CBN_SELCHANGE);
    return true;
  }
  if (IsClass(control, WC_LISTBOXW)) {
    if (n < 0 || n >= int(::SendMessageW(control, LB_GETCOUNT, 0, 0))) return outOfRange();
    ::SendMessageW(control, LB_SETCURSEL, WPARAM(n), 0);
    Notify(control, LBN_SELCHANGE);
    return true;
  }
  if (IsClass(control, WC_LISTVIEWW)) {
    if (n < -1 || n >= int(::SendMessageW(control, LVM_GETITEMCOUNT, 0, 0))) return outOfRange();
    // The list tells its parent itself (LVN_ITEMCHANGED), as on a click.
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(control, LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&none));
    if (n >= 0) {
      LVITEMW item{};
      item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
      ::SendMessageW(control, LVM_SETITEMSTATE, WPARAM(n), LPARAM(&item));
    }
    return true;
  }
  if (IsClass(control, WC_TABCONTROLW)) return SelectTab(control, n) || outOfRange();
  if (IsClass(control, TRACKBAR_CLASSW)) {
    ::SendMessageW(control, TBM_SETPOS, TRUE, LPARAM(n));
    const LPARAM pos = ::SendMessageW(control, TBM_GETPOS, 0, 0);
    const UINT scroll = (::GetWindowLongW(control, GWL_STYLE) & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    ::SendMessageW(::GetParent(control), scroll, MAKEWPARAM(TB_THUMBPOSITION, pos), LPARAM(control));
    ::SendMessageW(::GetParent(control), scroll, MAKEWPARAM(TB_ENDTRACK, 0), LPARAM(control));
    return pos == n || Failed(error, "the slider stops at " + std::to_string(pos));
  }
  if (IsClass(control, UPDOWN_CLASSW)) {
    ::SendMessageW(control, UDM_SETPOS32, 0, LPARAM(n));
    const int pos = int(::SendMessageW(control, UDM_GETPOS32, 0, 0));
    ::SendMessageW(::GetParent(control), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, pos), LPARAM(control));
    ::SendMessageW(::GetParent(control), WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, pos), LPARAM(control));
    return pos == n || Failed(error, "the spin button stops at " + std::to_string(pos));
  }
  return Failed(error, "the control has no items to pick");
}

bool FocusControl(HWND control, std::string* error) {
  if (!CanBeWorked(control, error)) return false;
  ::SetFocus(control);
  return ::GetFocus() == control || Failed(error, "the control did not take the focus");
}

bool TypeText(HWND control, const std::wstring& text, std::string* error) {
  if (!FocusControl(control, error)) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\n' && i > 0 && text[i - 1] == L'\r') continue;
    if (c == L'\n') c = L'\r';
    ::PostMessageW(control, WM_CHAR, WPARAM(c), 1);
  }
  return true;
}

bool ReplaceText(HWND control, const std::wstring& text, std::string* error) {
  if (!FocusControl(control, error)) return false;
  std::wstring lines;
  const bool multiLine = (::GetWindowLongW(control, GWL_STYLE) & ES_MULTILINE) != 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (multiLine && text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) lines += L'\r';
    lines += text[i];
  }
  ::SendMessageW(control, EM_SETSEL, 0, -1);
  ::SendMessageW(control, EM_REPLACESEL, TRUE, LPARAM(lines.c_str()));
  return true;
}

bool ParseKeyCombo(const std::wstring& text, KeyCombo& out) {
  static constexpr struct {
    const wchar_t* name;
    WORD vk;
  } kKeys[] = {{L"Return", VK_RETURN}, {L"Enter", VK_RETURN}, {L"Tab", VK_TAB},       {L"Escape", VK_ESCAPE},
               {L"Esc", VK_ESCAPE},    {L"Space", VK_SPACE},  {L"Back", VK_BACK},     {L"Backspace", VK_BACK},
               {L"Delete", VK_DELETE}, {L"Insert", VK_INSERT}, {L"Home", VK_HOME},    {L"End", VK_END},
               {L"Left", VK_LEFT},     {L"Right", VK_RIGHT},  {L"Up", VK_UP},         {L"Down", VK_DOWN},
               {L"PageUp", VK_PRIOR},  {L"PageDown", VK_NEXT}};
  out = {};
  size_t start = 0;
  for (;;) {
    const size_t plus = text.find(L'+', start);
    const std::wstring word = text.substr(start, plus == std::wstring::npos ? std::wstring::npos : plus - start);
    if (word.empty()) return false;
    if (plus != std::wstring::npos) {
      if (::lstrcmpiW(word.c_str(), L"Ctrl") == 0) out.modifiers.push_back(VK_CONTROL);
      else if (::lstrcmpiW(word.c_str(), L"Shift") == 0) out.modifiers.push_back(VK_SHIFT);
      else if (::lstrcmpiW(word.c_str(), L"Alt") == 0) out.modifiers.push_back(VK_MENU);
      else if (::lstrcmpiW(word.c_str(), L"Win") == 0) out.modifiers.push_back(VK_LWIN);
      else return false;
      start = plus + 1;
      continue;
    }
    if (word.size() == 1 && std::iswalnum(word[0]) && word[0] < 0x80) {
      out.key = WORD(std::towupper(word[0]));
    } else if ((word[0] == L'F' || word[0] == L'f') && word.size() <= 3 && std::iswdigit(word[1]) &&
               (word.size() == 2 || std::iswdigit(word[2]))) {
      const int n = std::stoi(word.substr(1));
      if (n < 1 || n > 24) return false;
      out.key = WORD(VK_F1 + n - 1);
    } else {
      for (const auto& k : kKeys)
        if (::lstrcmpiW(word.c_str(), k.name) == 0) out.key = k.vk;
    }
    return out.key != 0;
  }
}

bool PressKeys(HWND control, const KeyCombo& keys, std::string* error) {
  if (!CanBeWorked(control, error)) return false;
  const HWND top = ::GetAncestor(control, GA_ROOT);
  ::SetForegroundWindow(top);
  if (::GetForegroundWindow() != top) return Failed(error, "the dialog did not come to the front");
  if (!FocusControl(control, error)) return false;
  std::vector<INPUT> in;
  auto key = [&](WORD vk, bool up) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = vk;
    i.ki.wScan = WORD(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    i.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    in.push_back(i);
  };
  for (WORD m : keys.modifiers) key(m, false);
  key(keys.key, false);
  key(keys.key, true);
  for (auto it = keys.modifiers.rbegin(); it != keys.modifiers.rend(); ++it) key(*it, true);
  if (::SendInput(UINT(in.size()), in.data(), sizeof(INPUT)) != in.size())
    return Failed(error, "the system refused the input");
  return true;
}

std::wstring WindowText(HWND control) {
  if (!control) return {};
  const int n = ::GetWindowTextLengthW(control);
  std::wstring t(size_t(std::max(n, 0)) + 1, L'\0');
  t.resize(size_t(std::max(::GetWindowTextW(control, t.data(), n + 1), 0)));
  return t;
}

bool IsTicked(HWND control) { return ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::optional<int> SelectedItem(HWND control) {
  if (IsClass(control, WC_COMBOBOXW)) return int(::SendMessageW(control, CB_GETCURSEL, 0, 0));
  if (IsClass(control, WC_LISTBOXW)) return int(::SendMessageW(control, LB_GETCURSEL, 0, 0));
  if (IsClass(control, WC_LISTVIEWW)) return int(::SendMessageW(control, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
  if (IsClass(control, WC_TABCONTROLW)) return int(::SendMessageW(control, TCM_GETCURSEL, 0, 0));
  if (IsClass(control, TRACKBAR_CLASSW)) return int(::SendMessageW(control, TBM_GETPOS, 0, 0));
  if (IsClass(control, UPDOWN_CLASSW)) return int(::SendMessageW(control, UDM_GETPOS32, 0, 0));
  return std::nullopt;
}

std::optional<std::wstring> ItemText(HWND control, int n, int column) {
  if (n < 0) return std::nullopt;
  wchar_t buf[1024] = {};
  if (IsClass(control, WC_TABCONTROLW)) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = buf;
    item.cchTextMax = int(std::size(buf));
    if (!::SendMessageW(control, TCM_GETITEMW, WPARAM(n), LPARAM(&item))) return std::nullopt;
    return std::wstring(item.pszText);
  }
  if (IsClass(control, WC_LISTVIEWW)) {
    if (n >= int(::SendMessageW(control, LVM_GETITEMCOUNT, 0, 0))) return std::nullopt;
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buf;
    item.cchTextMax = int(std::size(buf));
    ::SendMessageW(control, LVM_GETITEMTEXTW, WPARAM(n), LPARAM(&item));
    return std::wstring(buf);
  }
  const bool combo = IsClass(control, WC_COMBOBOXW), list = IsClass(control, WC_LISTBOXW);
  if (!combo && !list) return std::nullopt;
  const LRESULT len = ::SendMessageW(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, WPARAM(n), 0);
  if (len < 0) return std::nullopt;
  std::wstring t(size_t(len) + 1, L'\0');
  ::SendMessageW(control, combo ? CB_GETLBTEXT : LB_GETTEXT, WPARAM(n), LPARAM(t.data()));
  t.resize(size_t(len));
  return t;
}

MessageBoxWatch::MessageBoxWatch() : outer_(tBoxWatch) {
  tBoxWatch = this;
  timer_ = ::SetTimer(nullptr, 0, kBoxLookMs, &MessageBoxWatch::OnTimer);
}

MessageBoxWatch::~MessageBoxWatch() {
  if (timer_) ::KillTimer(nullptr, timer_);
  if (tBoxWatch == this) tBoxWatch = outer_;
}

void CALLBACK MessageBoxWatch::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (tBoxWatch) tBoxWatch->Look();
}

int MessageBoxWatch::Expect(int button) {
  expected_.push_back({nextTicket_, button, std::nullopt});
  return nextTicket_++;
}

void MessageBoxWatch::Look() {
  BoxSearch found;
  ::EnumWindows(CollectBox, LPARAM(&found));
  // A box stays on the screen for a moment after its answer.
  for (auto it = answered_.begin(); it != answered_.end();)
    it = ::IsWindow(*it) ? std::next(it) : answered_.erase(it);
  for (HWND box : found.boxes) {
    if (answered_.count(box)) continue;
    MessageBoxView v = LookAtBox(box);
    const auto waiting = std::find_if(expected_.begin(), expected_.end(), [](const Expected& e) { return !e.seen; });
    if (waiting != expected_.end() && PressBoxButton(box, waiting->button)) {
      v.answered = waiting->button;
    } else {
      // Closed all the same, so that a modal loop on this thread ends.
      for (int button : {IDCANCEL, IDNO, IDOK})
        if (PressBoxButton(box, button)) break;
    }
    if (waiting != expected_.end()) waiting->seen = v;  // answered 0: it had no such button
    else unexpected_.push_back(v);
    answered_.insert(box);
  }
}

std::optional<MessageBoxView> MessageBoxWatch::Wait(int ticket, const std::function<void(uint32_t)>& pump,
                                                    uint32_t boundMs) {
  auto mine = [&] {
    return std::find_if(expected_.begin(), expected_.end(), [&](const Expected& e) { return e.ticket == ticket; });
  };
  const uint64_t deadline = ::GetTickCount64() + boundMs;
  while (mine() != expected_.end() && !mine()->seen && ::GetTickCount64() < deadline) {
    Look();
    if (!mine()->seen) pump(kBoxLookMs);
  }
  const auto it = mine();
  if (it == expected_.end()) return std::nullopt;
  std::optional<MessageBoxView> seen = it->seen;
  expected_.erase(it);
  return seen;
}

std::vector<MessageBoxView> MessageBoxWatch::TakeUnexpected() { return std::exchange(unexpected_, {}); }

}  // namespace talkeo_sim
