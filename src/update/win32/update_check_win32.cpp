#include "update/win32/update_check_win32.h"

#include <wininet.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

#include "model/settings.h"
#include "platform/win32/shell_open.h"
#include "update/update_check.h"

namespace tunelet::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"TTuneletUpdateCheck";
constexpr UINT kCheckFinishedMessage = WM_APP + 1;  // wParam: the check's id
constexpr UINT_PTR kDeadlineTimer = 1;

std::wstring WidenAscii(std::string_view s) { return std::wstring(s.begin(), s.end()); }

// --- threads that may outlive the plug-in object

DWORD WINAPI DetachedThreadEntry(void* param) {
  {
    std::unique_ptr<std::function<void()>> task(static_cast<std::function<void()>*>(param));
    try {
      (*task)();
    } catch (...) {
      // Nothing of this thread reaches the host.
    }
  }
  // The reference taken in RunOnOwnThread keeps the library mapped until here.
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&DetachedThreadEntry), &self);
  ::FreeLibraryAndExitThread(self, 0);
  return 0;
}

// Runs task on a new thread that holds a reference on this library for its
// whole life; false when the thread could not start (task not run).
bool RunOnOwnThread(std::function<void()> task) {
  HMODULE self = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&DetachedThreadEntry),
                            &self))
    return false;
  auto* param = new std::function<void()>(std::move(task));
  UniqueKernelHandle thread(::CreateThread(nullptr, 0, DetachedThreadEntry, param, 0, nullptr));
  if (!thread) {
    delete param;
    ::FreeLibrary(self);
    return false;
  }
  return true;
}

// The message box is modal; on the host's thread its loop would run the
// host's shutdown inside the plug-in's stack. On a thread of its own it
// blocks nothing and may outlive the plug-in object.
void ShowNotice(UpdateNotice notice) {
  auto show = [notice = std::move(notice)] {
    ::MessageBoxW(nullptr, W(notice.text.c_str()), W(notice.title.c_str()),
                  MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
  };
  if (!RunOnOwnThread(show)) show();
}

}  // namespace

// --- the request

// The request's WinINet handles, closed in reverse order when it goes. Only
// the update thread owns one: closing a request may drain the server's body.
class VersionFileRequest {
 public:
  VersionFileRequest(const std::string& userAgent, const UpdateTimeouts& timeouts)
      : userAgent_(userAgent), timeouts_(timeouts) {}
  ~VersionFileRequest() {
    for (HINTERNET h : {request_, connection_, session_})
      if (h) ::InternetCloseHandle(h);
  }
  VersionFileRequest(const VersionFileRequest&) = delete;
  VersionFileRequest& operator=(const VersionFileRequest&) = delete;

  // The version file's text; empty on any failure.
  std::string Fetch() {
    const std::wstring agent = WidenAscii(userAgent_);
    const std::wstring host = WidenAscii(kMakerHost), object = WidenAscii(kVersionFileObject);
    session_ = ::InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session_) return {};
    SetTimeouts(session_);  // the handles below inherit them on Windows
    connection_ = ::InternetConnectW(session_, host.c_str(), INTERNET_DEFAULT_HTTP_PORT, nullptr, nullptr,
                                     INTERNET_SERVICE_HTTP, 0, 0);
    if (!connection_) return {};
    // A redirect is not followed: its answer is no answer.
    request_ = ::HttpOpenRequestW(connection_, L"GET", object.c_str(), nullptr, nullptr, nullptr,
                                  INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_AUTO_REDIRECT, 0);
    if (!request_) return {};
    SetTimeouts(request_);  // Wine keeps its own on each request handle
    if (!::HttpSendRequestW(request_, nullptr, 0, nullptr, 0)) return {};
    // An error page or a redirect is no answer, whatever it says.
    DWORD status = 0, size = sizeof(status);
    if (!::HttpQueryInfoW(request_, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        status < 200 || status > 299)
      return {};
    char buffer[kVersionFileMaxBytes];
    DWORD received = 0;
    if (!::InternetReadFile(request_, buffer, DWORD(sizeof(buffer)), &received) || received == 0) return {};
    return std::string(VersionFileText(std::string_view(buffer, std::min<size_t>(received, sizeof(buffer)))));
  }

 private:
  void SetTimeouts(HINTERNET h) const {
    const std::pair<DWORD, DWORD> options[] = {{INTERNET_OPTION_CONNECT_TIMEOUT, timeouts_.connectMs},
                                               {INTERNET_OPTION_SEND_TIMEOUT, timeouts_.sendMs},
                                               {INTERNET_OPTION_RECEIVE_TIMEOUT, timeouts_.receiveMs}};
    for (auto [option, ms] : options) ::InternetSetOptionW(h, option, &ms, sizeof(ms));
  }

  const std::string& userAgent_;
  const UpdateTimeouts& timeouts_;
  HINTERNET session_ = nullptr, connection_ = nullptr, request_ = nullptr;
};

std::string FetchVersionFile(const std::string& userAgent, const UpdateTimeouts& timeouts) {
  VersionFileRequest request(userAgent, timeouts);
  return request.Fetch();
}

// --- one check, shared by the user-interface thread and the update thread

struct Win32UpdateCheck::Check {
  uintptr_t id = 0;
  HWND replyTo = nullptr;
  std::string userAgent, ownVersion;
  UpdateTimeouts timeouts;
  UniqueKernelHandle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};

  std::mutex mutex;  // guards what follows
  bool abandoned = false;
  bool newer = false;
  std::string newVersionText;

  // On the update thread.
  void Run() {
    bool isNewer = false;
    std::string version;
    {
      VersionFileRequest request(userAgent, timeouts);
      try {
        if (std::optional<std::string> v = NewerVersionIn(request.Fetch(), ownVersion)) {
          isNewer = true;
          version = std::move(*v);
        }
      } catch (...) {
        isNewer = false;  // any failure counts as no newer version
      }
      // The result goes out before the handles close: closing may take as
      // long as the server keeps sending.
      Post(isNewer, std::move(version));
    }
    ::SetEvent(done.get());
  }

  void Post(bool isNewer, std::string version) {
    std::lock_guard<std::mutex> lock(mutex);
    newer = isNewer;
    newVersionText.swap(version);
    // Posted under the lock: once Abandon() returns, nothing reaches the
    // window, which may be destroyed next. A failed post is harmless.
    if (!abandoned) ::PostMessageW(replyTo, kCheckFinishedMessage, WPARAM(id), 0);
  }

  void Abandon() {
    std::lock_guard<std::mutex> lock(mutex);
    abandoned = true;
  }
};

// --- the subsystem

Win32UpdateCheck::Win32UpdateCheck(const IUiTexts& texts, UpdateTimeouts timeouts)
    : texts_(texts), timeouts_(timeouts), windowClass_(kWindowClass, &WindowObject<Win32UpdateCheck>::Route, 0) {}

Win32UpdateCheck::~Win32UpdateCheck() { AbandonCheck(); }

void Win32UpdateCheck::StartUpdateCheck() {
  try {
    Settings().UpdateCheckPending = true;
    if (check_) return;  // the check in flight answers this request too
    auto check = std::make_shared<Check>();
    check->id = nextId_++;
    check->userAgent = UpdateUserAgent(Settings().PluginVersion);
    check->ownVersion = Settings().PluginVersion;
    check->timeouts = timeouts_;
    if (!check->done || !EnsureWindow()) return ReportNow();
    check->replyTo = window_.get();
    if (!RunOnOwnThread([check] { check->Run(); })) return ReportNow();
    check_ = std::move(check);
    ::SetTimer(window_.get(), kDeadlineTimer, timeouts_.overallMs, nullptr);
  } catch (...) {
    check_.reset();
  }
}

void Win32UpdateCheck::CheckButtonClicked() {
  if (view_) ShowCheckStarted(*view_, texts_);
  StartUpdateCheck();
}

void Win32UpdateCheck::LoadButtonClicked() {
  const std::string url = DownloadPageUrl();
  const HWND owner = view_ ? reinterpret_cast<HWND>(view_->OwnerWindow()) : nullptr;
  OpenInShell(owner, std::u16string(url.begin(), url.end()));
  if (view_) ShowDownloadStarted(*view_, texts_);
}

void Win32UpdateCheck::StartupCheckSkipped() {
  if (check_ || !Settings().UpdateCheckPending) return;  // a check under way clears it when it ends
  Settings().UpdateCheckPending = false;
  if (view_) {
    view_->SetCheckButton(true);
    view_->SetCheckCaption(texts_.Text(u"BUT_CHECKUPDATES"));
  }
}

void Win32UpdateCheck::AbandonCheck() {
  if (!check_) return;
  std::shared_ptr<Check> check = std::move(check_);
  if (window_) ::KillTimer(window_.get(), kDeadlineTimer);
  check->Abandon();
  ::WaitForSingleObject(check->done.get(), kAbandonWaitMs);
}

// A check that could not start counts as no newer version.
void Win32UpdateCheck::ReportNow() {
  StoreUpdateResult(false, {});
  if (std::optional<UpdateNotice> notice = ReportUpdateResult(view_, texts_)) ShowNotice(std::move(*notice));
}

// The check outlasted its bound: it ends as "no answer" now, and its thread
// ends by its time-outs without being waited for.
void Win32UpdateCheck::OnDeadline() {
  ::KillTimer(window_.get(), kDeadlineTimer);
  if (!check_) return;
  const std::shared_ptr<Check> check = std::move(check_);
  check->Abandon();
  ReportNow();
}

void Win32UpdateCheck::OnCheckFinished(uintptr_t id) {
  if (!check_ || check_->id != id) return;  // abandoned meanwhile
  ::KillTimer(window_.get(), kDeadlineTimer);
  const std::shared_ptr<Check> check = std::move(check_);
  bool newer = false;
  std::string version;
  {
    std::lock_guard<std::mutex> lock(check->mutex);
    newer = check->newer;
    version = check->newVersionText;
  }
  StoreUpdateResult(newer, version);
  if (std::optional<UpdateNotice> notice = ReportUpdateResult(view_, texts_)) ShowNotice(std::move(*notice));
}

LRESULT Win32UpdateCheck::HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kCheckFinishedMessage || (msg == WM_TIMER && wp == kDeadlineTimer)) {
    try {
      if (msg == WM_TIMER)
        OnDeadline();
      else
        OnCheckFinished(uintptr_t(wp));
    } catch (...) {
      // Nothing may escape into the host's message loop.
    }
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

bool Win32UpdateCheck::EnsureWindow() {
  if (window_) return true;
  if (!windowClass_.Ensure()) return false;
  window_.reset(::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(), this));
  return bool(window_);
}

}  // namespace tunelet::win32
