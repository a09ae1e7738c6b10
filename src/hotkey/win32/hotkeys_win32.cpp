#include "hotkey/win32/hotkeys_win32.h"

#include <utility>

#include "hotkey/hotkey_bindings.h"
#include "model/settings.h"

namespace tunelet::win32 {

namespace {
// Each entry point stops whatever is thrown: the caller is the core or a
// dialog's window procedure, and the host's message loop is above them.
template <typename F, typename R = decltype(std::declval<F>()())>
R Guarded(F f, R failed = R()) {
  try {
    return f();
  } catch (...) {
    return failed;
  }
}
template <typename F>
void GuardedVoid(F f) {
  try {
    f();
  } catch (...) {
  }
}
bool IsAction(int action) { return action >= 0 && size_t(action) < kHotKeyActionCount; }
}  // namespace

std::u16string Win32HotKeys::FilePath() const {
  const std::u16string& dll = Settings().DllPath;
  return dll.empty() ? std::u16string() : HotKeyFilePath(dll);
}

void Win32HotKeys::LoadHotKeySlots() {
  GuardedVoid([&] {
    const std::u16string path = FilePath();
    if (!path.empty()) tunelet::LoadHotKeySlots(slots_, path);
  });
}

void Win32HotKeys::SaveHotKeySlots() {
  GuardedVoid([&] {
    const std::u16string path = FilePath();
    if (!path.empty()) tunelet::SaveHotKeySlots(slots_, path);
  });
}

void Win32HotKeys::CreateHotKeyWindow() {
  GuardedVoid([&] {
    if (window_.Create()) RegisterAllHotKeys();
  });
}

void Win32HotKeys::DestroyHotKeyWindow() {
  GuardedVoid([&] { window_.Destroy(); });
  registered_.fill(0);
}

std::u16string Win32HotKeys::SlotText(int action) {
  return Guarded([&] { return IsAction(action) ? slots_.SlotText(size_t(action)) : std::u16string(); });
}

void Win32HotKeys::SetSlotText(int action, std::u16string_view text) {
  GuardedVoid([&] {
    if (IsAction(action)) slots_.SetSlotText(size_t(action), text);
  });
}

void Win32HotKeys::ClearSlot(int action) {
  if (IsAction(action)) slots_.ClearSlot(size_t(action));
}

void Win32HotKeys::RegisterAllHotKeys() {
  GuardedVoid([&] {
    for (const HotKeyBinding& b : BindingsToRegister(slots_, keyNames_)) {
      // The system refuses a combination this window holds already.
      Shortcut& held = registered_[size_t(b.action)];
      if (held != b.shortcut && window_.Register(b.action, b.shortcut)) held = b.shortcut;
    }
  });
}

bool Win32HotKeys::RegisterHotKey(int action, uint32_t shortcut) {
  if (!IsAction(action) || !IsRegistrable(shortcut) || !window_.Register(action, shortcut)) return false;
  registered_[size_t(action)] = shortcut;
  return true;
}

bool Win32HotKeys::UnregisterHotKey(int action) {
  if (!IsAction(action) || !window_.Unregister(action)) return false;
  registered_[size_t(action)] = 0;
  return true;
}

bool Win32HotKeys::CanRegisterShortcut(uint32_t shortcut) { return window_.CanRegister(shortcut); }

std::vector<std::u16string> Win32HotKeys::UnavailableCombinations() {
  return ScanUnavailableCombinations(0, kUnavailableScanTrials);
}

std::vector<std::u16string> Win32HotKeys::ScanUnavailableCombinations(size_t first, size_t count) {
  return Guarded([&] {
    return tunelet::UnavailableCombinations(
        first, count, [this](Shortcut s) { return window_.CanRegister(s); }, keyNames_);
  });
}

std::u16string Win32HotKeys::ShortcutToText(uint32_t shortcut) {
  return Guarded([&] { return tunelet::ShortcutToText(shortcut, keyNames_); });
}

uint32_t Win32HotKeys::TextToShortcut(std::u16string_view text) {
  return Guarded([&] { return tunelet::TextToShortcut(text, keyNames_); });
}

bool Win32HotKeys::ReadsBack(uint32_t shortcut) {
  return Guarded([&] { return ReadsBackFromSlot(shortcut, keyNames_); });
}

bool Win32HotKeys::BindingFailed(int action) {
  return Guarded([&] {
    return IsAction(action) && tunelet::BindingFailed(slots_, size_t(action), registered_[size_t(action)], keyNames_);
  });
}

}  // namespace tunelet::win32
