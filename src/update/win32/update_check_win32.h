// The update check inside the DLL: the request runs on a thread of its own,
// the result comes back to the user-interface thread through a message-only
// window, and the announcement is a message box of its own thread.
//
// Shutdown while a check is in flight: the owner's destructor (the plug-in
// object going) marks the check abandoned, closes its WinINet handles to
// abort a blocking call (Windows returns from it then; Wine 8 does not), and
// waits for the thread at most kAbandonWaitMs.
// An abandoned check posts nothing, so no window of the plug-in is touched
// after it is gone. The thread holds its own reference on the library and
// ends with FreeLibraryAndExitThread, so when a blocking call outlasts the
// wait the library stays mapped until the thread is out of it.
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

// FetchVersionFile: GET /tlup.txt from the maker's server through WinINet
// with the system's proxy settings; one read of at most 256 bytes, up to the
// first zero byte. Empty on any failure and on an HTTP error status.
// abort, when given, may be closed from another thread to stop a blocking
// call (see UpdateRequest in the .cpp).
class UpdateRequest;
std::string FetchVersionFile(const std::string& userAgent, UpdateRequest* abort = nullptr);

class Win32UpdateCheck final : public IUpdateCheck {
 public:
  explicit Win32UpdateCheck(const IUiTexts& texts);
  ~Win32UpdateCheck() override;
  Win32UpdateCheck(const Win32UpdateCheck&) = delete;
  Win32UpdateCheck& operator=(const Win32UpdateCheck&) = delete;

  void StartUpdateCheck() override;
  void SetView(IUpdateView* view) override { view_ = view; }
  void CheckButtonClicked() override;
  void LoadButtonClicked() override;

  // Lets go of the check in flight (see above); its result is dropped.
  void AbandonCheck();
  bool CheckInFlight() const { return bool(check_); }

  static constexpr DWORD kAbandonWaitMs = 500;

  struct Check;
  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  bool EnsureWindow();
  void OnCheckFinished(uintptr_t id);
  void ReportNow();

  const IUiTexts& texts_;
  IUpdateView* view_ = nullptr;
  std::shared_ptr<Check> check_;
  uintptr_t nextId_ = 1;
  WindowClass windowClass_;  // before window_, which goes first
  UniqueWindow window_;
};

}  // namespace tunelet::win32
