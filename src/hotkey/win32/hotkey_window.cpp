#include "hotkey/win32/hotkey_window.h"

#include "hotkey/hotkey_bindings.h"
#include "platform/win32/unique_handle.h"

namespace tunelet::win32 {

namespace {
constexpr wchar_t kClassName[] = L"THotkeyform";
constexpr wchar_t kWindowTitle[] = L"tlhkf";
constexpr wchar_t kTrialAtomName[] = L"TestingHotKey";
}  // namespace

HotKeyWindow::HotKeyWindow(IUserInterface& ui, IPaste& paste)
    : ui_(ui), paste_(paste), class_(kClassName, &WindowObject<HotKeyWindow>::Route, CS_PARENTDC) {}

HotKeyWindow::~HotKeyWindow() { Destroy(); }

bool HotKeyWindow::Create() {
  if (hwnd_) return true;
  if (!class_.Ensure()) return false;
  hwnd_ = ::CreateWindowExW(0, kClassName, kWindowTitle, 0, 0, 0, 0, 0, nullptr, nullptr, ThisModule(), this);
  return hwnd_ != nullptr;
}

void HotKeyWindow::Destroy() {
  if (hwnd_) {
    ::DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  }
  ::UnregisterClassW(kClassName, ThisModule());
}

bool HotKeyWindow::Register(int action, Shortcut shortcut) {
  if (!hwnd_ || !ShortcutKey(shortcut)) return false;
  return RegisterWithoutRepeat(shortcut, [this, action](uint32_t mods, uint8_t key) {
    return ::RegisterHotKey(hwnd_, action, mods, key) != FALSE;
  });
}

bool HotKeyWindow::Unregister(int action) { return hwnd_ && ::UnregisterHotKey(hwnd_, action); }

bool HotKeyWindow::CanRegister(Shortcut shortcut) {
  const ATOM atom = ::GlobalAddAtomW(kTrialAtomName);
  if (!atom) return false;
  ScopeExit deleteAtom([atom] { ::GlobalDeleteAtom(atom); });
  if (!::RegisterHotKey(hwnd_, atom, ToSystemModifiers(shortcut), ShortcutKey(shortcut))) return false;
  ::UnregisterHotKey(hwnd_, atom);
  return true;
}

LRESULT HotKeyWindow::HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_HOTKEY) {
    try {
      if (RunHotKeyAction(int(wp), ui_, paste_)) return 0;
    } catch (...) {
      return 0;  // the host's message loop is above us
    }
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace tunelet::win32
