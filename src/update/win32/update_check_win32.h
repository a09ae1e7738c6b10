// The update check inside the DLL: the request runs on a thread of its own,
// the result comes back to the user-interface thread through a message-only
// window, and the announcement is a message box of its own thread.
//
// The server is not trusted: each step of the request has a time-out, one
// read of at most kVersionFileMaxBytes is made, no redirect is followed, and
// the user-interface thread gives up on a check that outlasts its overall
// bound (the result is "no answer" then). Nothing on the user-interface
// thread ever calls WinINet: closing a request there could wait for WinINet
// to drain the server's body (Wine 8 does so on close).
//
// Shutdown while a check is in flight: the owner's destructor (the plug-in
// object going) marks the check abandoned and waits for the thread at most
// kAbandonWaitMs. An abandoned check posts nothing, so no window of the
// plug-in is touched after it is gone. The thread holds its own reference on
// the library and ends with FreeLibraryAndExitThread, so when the request
// outlasts the wait the library stays mapped until the thread is out of it;
// the time-outs bound that.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "model/subsystems.h"
#include "model/ui_texts.h"
#include "model/update_view.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/window_class.h"

namespace tunelet::win32 {

// How long the check may take. The composition root takes the defaults;
// tests pass shorter ones.
struct UpdateTimeouts {
  DWORD connectMs = 5000;  // WinINet's connect, send and receive time-outs
  DWORD sendMs = 5000;
  DWORD receiveMs = 5000;
  DWORD overallMs = 15000;  // after this the check ends as "no answer"
};

// FetchVersionFile: GET /tlup.txt from the maker's server through WinINet
// with the system's proxy settings and the given time-outs; one read of at
// most kVersionFileMaxBytes, up to the first zero byte. Empty on any failure,
// on a status other than 2xx (a redirect included) and on a time-out.
std::string FetchVersionFile(const std::string& userAgent, const UpdateTimeouts& timeouts = {});

class Win32UpdateCheck final : public IUpdateCheck {
 public:
  explicit Win32UpdateCheck(const IUiTexts& texts, UpdateTimeouts timeouts = {});
  ~Win32UpdateCheck() override;
  Win32UpdateCheck(const Win32UpdateCheck&) = delete;
  Win32UpdateCheck& operator=(const Win32UpdateCheck&) = delete;

  void StartUpdateCheck() override;
  void SetView(IUpdateView* view) override { view_ = view; }
  void CheckButtonClicked() override;
  void LoadButtonClicked() override;
  void StartupCheckSkipped() override;

  // Lets go of the check in flight (see above); its result is dropped.
  void AbandonCheck();
  bool CheckInFlight() const { return bool(check_); }

  static constexpr DWORD kAbandonWaitMs = 500;

  struct Check;
  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  bool EnsureWindow();
  void OnCheckFinished(uintptr_t id);
  void OnDeadline();
  void ReportNow();

  const IUiTexts& texts_;
  const UpdateTimeouts timeouts_;
  IUpdateView* view_ = nullptr;
  std::shared_ptr<Check> check_;
  uintptr_t nextId_ = 1;
  WindowClass windowClass_;  // before window_, which goes first
  UniqueWindow window_;
};

}  // namespace tunelet::win32
