// Test-side helpers of the paste tests: pumping this thread's messages, the
// clipboard's text, and the window another program would have in front.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace hotkey_test {

inline bool PumpUntil(const std::function<bool()>& done, DWORD boundMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG m;
    while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&m);
      ::DispatchMessageW(&m);
    }
    if (done()) return true;
    if (::GetTickCount() - start > boundMs) return false;
    ::Sleep(5);
  }
}
inline void PumpFor(DWORD ms) { PumpUntil([] { return false; }, ms); }

inline std::wstring ClipboardText() {
  std::wstring text;
  for (int attempt = 0; attempt < 50 && !::OpenClipboard(nullptr); ++attempt) ::Sleep(10);
  if (HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
    if (auto* p = static_cast<const wchar_t*>(::GlobalLock(h))) {
      text = p;
      ::GlobalUnlock(h);
    }
  }
  ::CloseClipboard();
  return text;
}


// The window another program would have in front: a top-level window with
// one focused edit control (or an 8-bit window with a caret), on a thread of
// its own, counting the keys and characters it receives.
class PasteTarget {
 public:
  enum class Kind { UnicodeEdit, ReadOnlyEdit, EightBitWindow };
  explicit PasteTarget(Kind kind) : kind_(kind) {
    ready_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this] { Run(); });
    ::WaitForSingleObject(ready_, 5000);
  }
  ~PasteTarget() {
    if (threadId_) ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    // Closing the front window activates one of this thread's: keep answering.
    PumpUntil([this] { return ended_.load(); }, 5000);
    thread_.join();
    ::CloseHandle(ready_);
  }
  HWND frame() const { return frame_; }
  HWND input() const { return input_; }
  std::wstring Text() const {
    wchar_t buf[512] = {};
    ::GetWindowTextW(input_, buf, 512);
    return buf;
  }
  int chars() const { return chars_; }
  // Character messages of a line break (Enter types '\r').
  int lineBreaks() const { return lineBreaks_; }
  int ctrlV() const { return ctrlV_; }
  int keys() const { return keys_; }
  std::vector<unsigned> bytes() const {
    std::vector<unsigned> copy;
    for (int i = 0; i < byteCount_; ++i) copy.push_back(bytes_[i]);
    return copy;
  }

 private:
  static PasteTarget*& Self() {
    static thread_local PasteTarget* self = nullptr;
    return self;
  }
  static LRESULT CALLBACK EditHook(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    PasteTarget* t = Self();
    if (msg == WM_CHAR) ++t->chars_;
    if (msg == WM_CHAR && (wp == '\r' || wp == '\n')) ++t->lineBreaks_;
    if (msg == WM_KEYDOWN && wp == 'V' && (::GetKeyState(VK_CONTROL) & 0x8000)) ++t->ctrlV_;
    if (msg == WM_KEYDOWN || msg == WM_KEYUP) ++t->keys_;
    return ::CallWindowProcW(t->editProc_, h, msg, wp, lp);
  }
  static LRESULT CALLBACK EightBitProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    PasteTarget* t = Self();
    if (msg == WM_SETFOCUS) {
      ::CreateCaret(h, nullptr, 1, 12);
      ::ShowCaret(h);
    } else if (msg == WM_KILLFOCUS) {
      ::DestroyCaret();
    } else if (msg == WM_CHAR && t) {
      ++t->chars_;
      if (t->byteCount_ < int(std::size(t->bytes_))) t->bytes_[t->byteCount_++] = unsigned(wp);
      return 0;
    }
    return ::DefWindowProcA(h, msg, wp, lp);
  }
  void Run() {
    Self() = this;
    threadId_ = ::GetCurrentThreadId();
    frame_ = ::CreateWindowExW(0, L"STATIC", L"chat", WS_POPUP | WS_BORDER | WS_VISIBLE, 50, 50, 420, 120, nullptr,
                               nullptr, nullptr, nullptr);
    if (kind_ == Kind::EightBitWindow) {
      WNDCLASSA wc{};
      wc.lpfnWndProc = EightBitProc;
      wc.hInstance = ::GetModuleHandleA(nullptr);
      wc.lpszClassName = "HotKeyTest8Bit";
      ::RegisterClassA(&wc);
      input_ = ::CreateWindowExA(0, "HotKeyTest8Bit", "", WS_CHILD | WS_VISIBLE, 5, 5, 400, 24, frame_, nullptr,
                                 nullptr, nullptr);
    } else {
      const DWORD readOnly = kind_ == Kind::ReadOnlyEdit ? ES_READONLY : 0;
      input_ = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL | readOnly, 5, 5,
                                 400, 24, frame_, nullptr, nullptr, nullptr);
      editProc_ = reinterpret_cast<WNDPROC>(
          ::SetWindowLongPtrW(input_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditHook)));
    }
    ::SetForegroundWindow(frame_);
    ::SetFocus(input_);
    ::SetEvent(ready_);
    MSG m;
    while (::GetMessageW(&m, nullptr, 0, 0) > 0) {
      ::TranslateMessage(&m);
      ::DispatchMessageW(&m);
    }
    ::DestroyWindow(frame_);
    if (kind_ == Kind::EightBitWindow) ::UnregisterClassA("HotKeyTest8Bit", ::GetModuleHandleA(nullptr));
    ended_ = true;
  }

  Kind kind_;
  HANDLE ready_ = nullptr;
  std::thread thread_;
  std::atomic<DWORD> threadId_{0};
  std::atomic<bool> ended_{false};
  HWND frame_ = nullptr, input_ = nullptr;
  WNDPROC editProc_ = nullptr;
  std::atomic<int> chars_{0}, ctrlV_{0}, keys_{0}, byteCount_{0}, lineBreaks_{0};
  unsigned bytes_[256] = {};
};

}  // namespace hotkey_test
