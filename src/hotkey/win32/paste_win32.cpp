#include "hotkey/win32/paste_win32.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "hotkey/paste.h"
#include "platform/win32/unique_handle.h"
#include "templates/template_engine.h"

namespace tunelet::win32 {

namespace {

struct GlobalMemoryTraits {
  using Type = HGLOBAL;
  static HGLOBAL Invalid() { return nullptr; }
  static void Close(HGLOBAL h) { ::GlobalFree(h); }
};
using UniqueGlobalMemory = UniqueHandle<GlobalMemoryTraits>;

// A movable, shareable block holding text and its terminating zero.
UniqueGlobalMemory TextBlock(std::u16string_view text) {
  const size_t bytes = (text.size() + 1) * sizeof(char16_t);
  UniqueGlobalMemory block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, bytes));
  if (!block) return block;
  void* p = ::GlobalLock(block.get());
  if (!p) return UniqueGlobalMemory();
  std::memcpy(p, text.data(), text.size() * sizeof(char16_t));
  static_cast<char16_t*>(p)[text.size()] = 0;
  ::GlobalUnlock(block.get());
  return block;
}

// Shares this thread's input state with the foreground window's thread for as
// long as it lives, so that the keys sent meet that thread's focus and key
// state. This thread joins the other's input (not the reverse): Wine queues
// sent keys on the shared input, and when the other thread is the one that
// leaves, the keys stay behind on ours and are lost (verified under Wine 8).
class ForegroundInputAttachment {
 public:
  ForegroundInputAttachment() {
    const HWND foreground = ::GetForegroundWindow();
    const DWORD ours = ::GetCurrentThreadId();
    foreign_ = foreground ? ::GetWindowThreadProcessId(foreground, nullptr) : 0;
    attached_ = foreign_ && foreign_ != ours && ::AttachThreadInput(ours, foreign_, TRUE);
  }
  ~ForegroundInputAttachment() {
    if (attached_) ::AttachThreadInput(::GetCurrentThreadId(), foreign_, FALSE);
  }
  ForegroundInputAttachment(const ForegroundInputAttachment&) = delete;
  ForegroundInputAttachment& operator=(const ForegroundInputAttachment&) = delete;

 private:
  DWORD foreign_ = 0;
  bool attached_ = false;
};

HWND ForegroundCaretWindow() {
  const HWND foreground = ::GetForegroundWindow();
  if (!foreground) return nullptr;
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(foreground, nullptr), &info)) return nullptr;
  return info.hwndCaret;
}

}  // namespace

bool PutTextOnClipboard(std::u16string_view text) {
  if (!::OpenClipboard(::GetDesktopWindow())) return false;
  ScopeExit close([] { ::CloseClipboard(); });
  if (!::EmptyClipboard()) return false;
  UniqueGlobalMemory block = TextBlock(text);
  if (!block || !::SetClipboardData(CF_UNICODETEXT, block.get())) return false;
  block.release();  // the clipboard's now
  return true;
}

void SendKeyCombination(Shortcut shortcut) {
  std::vector<INPUT> inputs;
  for (const KeyRecord& r : KeyCombinationRecords(shortcut)) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = r.virtualKey;
    in.ki.dwFlags = r.keyUp ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(in);
  }
  ::SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
}

void Win32Paste::PasteViaClipboard() {
  // A held or hung clipboard is not reported; Ctrl+V goes anyway.
  clipboardLane_.Run([text = PasteText()] { PutTextOnClipboard(text); }, kClipboardWaitMs);
  ForegroundInputAttachment attached;
  SendKeyCombination(kPasteShortcut);
}

bool Win32Paste::PasteDirect() {
  // Posting to no window would post to this thread's own queue.
  const HWND target = ForegroundCaretWindow();
  if (!target) return false;
  if (RefusesTyping(uint32_t(::GetWindowLongW(target, GWL_STYLE)))) return false;
  const bool unicode = ::IsWindowUnicode(target);
  for (uint32_t code : CharMessageCodes(PasteText(), unicode, PasteCodePage())) {
    if (unicode)
      ::PostMessageW(target, WM_CHAR, WPARAM(code), 1);
    else
      ::PostMessageA(target, WM_CHAR, WPARAM(code), 1);
  }
  return true;
}

}  // namespace tunelet::win32
