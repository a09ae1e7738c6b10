#include "platform/win32/dialog_keys.h"

#include <algorithm>
#include <array>

namespace tunelet::win32 {

namespace {

// The plug-in has two dialogs (options and language); a few spare places.
constexpr size_t kMaxDialogs = 4;

HHOOK gHook = nullptr;
std::array<HWND, kMaxDialogs> gDialogs{};

bool IsKeyMessage(const MSG& m) { return m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST; }

HWND DialogOf(HWND target) {
  for (HWND d : gDialogs)
    if (d && (target == d || ::IsChild(d, target))) return d;
  return nullptr;
}

// A menu opened from a dialog (the blocks menu, a list's context menu) reads
// the keys in its own loop: its arrows and Enter must not move the dialog's
// focus or press the dialog's buttons underneath it.
bool MenuIsOpen() {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return ::GetGUIThreadInfo(::GetCurrentThreadId(), &info) && (info.flags & GUI_INMENUMODE);
}

LRESULT CALLBACK FilterDialogKeys(int code, WPARAM wp, LPARAM lp) {
  // The dialog may close inside IsDialogMessageW and take the hook with it.
  const HHOOK hook = gHook;
  auto* m = reinterpret_cast<MSG*>(lp);
  if (code == HC_ACTION && wp == PM_REMOVE && m && IsKeyMessage(*m)) {
    const HWND dialog = DialogOf(m->hwnd);
    if (dialog && !MenuIsOpen() && ::IsDialogMessageW(dialog, m)) m->message = WM_NULL;  // handled
  }
  return ::CallNextHookEx(hook, code, wp, lp);
}

bool AnyDialog() {
  return std::any_of(gDialogs.begin(), gDialogs.end(), [](HWND d) { return d != nullptr; });
}

}  // namespace

void AttachDialogKeys(HWND dialog) {
  if (!dialog || DialogOf(dialog) == dialog) return;
  const auto free = std::find(gDialogs.begin(), gDialogs.end(), nullptr);
  if (free == gDialogs.end()) return;
  if (!gHook) gHook = ::SetWindowsHookExW(WH_GETMESSAGE, &FilterDialogKeys, nullptr, ::GetCurrentThreadId());
  if (gHook) *free = dialog;
}

void DetachDialogKeys(HWND dialog) {
  if (!dialog) return;
  std::replace(gDialogs.begin(), gDialogs.end(), dialog, HWND(nullptr));
  if (gHook && !AnyDialog()) {
    ::UnhookWindowsHookEx(gHook);
    gHook = nullptr;
  }
}

bool DialogKeysHooked() { return gHook != nullptr; }

}  // namespace tunelet::win32
