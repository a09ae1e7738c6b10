// The hot-key subsystem of the DLL (IHotKeys): hotkeys.dat beside the plug-in,
// the hidden hot-key window and its registrations, the paste.
#pragma once

#include <array>

#include "hotkey/hotkey_slots.h"
#include "hotkey/win32/hotkey_window.h"
#include "hotkey/win32/key_names_win32.h"
#include "hotkey/win32/paste_win32.h"
#include "model/subsystems.h"

namespace tunelet::win32 {

class Win32HotKeys final : public IHotKeys {
 public:
  // The actions reach the windows through ui.
  explicit Win32HotKeys(IUserInterface& ui) : window_(ui, paste_) {}

  void LoadHotKeySlots() override;
  void CreateHotKeyWindow() override;
  void DestroyHotKeyWindow() override;

  void SaveHotKeySlots() override;
  std::u16string SlotText(int action) override;
  void SetSlotText(int action, std::u16string_view text) override;
  void ClearSlot(int action) override;
  void RegisterAllHotKeys() override;
  bool RegisterHotKey(int action, uint32_t shortcut) override;
  bool UnregisterHotKey(int action) override;
  bool CanRegisterShortcut(uint32_t shortcut) override;
  std::vector<std::u16string> UnavailableCombinations() override;
  std::vector<std::u16string> ScanUnavailableCombinations(size_t first, size_t count) override;
  std::u16string ShortcutToText(uint32_t shortcut) override;
  uint32_t TextToShortcut(std::u16string_view text) override;
  bool ReadsBack(uint32_t shortcut) override;
  bool BindingFailed(int action) override;

  HWND hotKeyWindow() const { return window_.hwnd(); }
  const HotKeySlots& slots() const { return slots_; }

 private:
  std::u16string FilePath() const;

  HotKeySlots slots_;
  // What the window holds for each action now; 0 for none.
  std::array<Shortcut, kHotKeyActionCount> registered_{};
  Win32KeyNames keyNames_;
  Win32Paste paste_;
  HotKeyWindow window_;  // after paste_, which it uses
};

}  // namespace tunelet::win32
