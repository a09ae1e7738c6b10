#include "update/win32/update_check_win32.h"

#include <wininet.h>

#include <functional>
#include <mutex>
#include <optional>

#include "model/settings.h"
#include "platform/win32/shell_open.h"
#include "update/update_check.h"

namespace tunelet::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"TTuneletUpdateCheck";
constexpr UINT kCheckFinishedMessage = WM_APP + 1;  // wParam: the check's id

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

// --- the request's handles, which another thread may close to abort it

class UpdateRequest {
 public:
  enum Slot { kSession, kConnection, kRequest, kSlots };

  // Keeps h in its slot; false when h is null or the request was aborted (h
  // is closed then).
  bool Keep(Slot slot, HINTERNET h) {
    if (!h) return false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!aborted_) {
        handles_[slot] = h;
        return true;
      }
    }
    ::InternetCloseHandle(h);
    return false;
  }
  bool Aborted() {
    std::lock_guard<std::mutex> lock(mutex_);
    return aborted_;
  }
  // From any thread: closes what is kept, in reverse order. WinINet returns
  // from a blocking call on a handle that another thread closes.
  void Abort() {
    HINTERNET taken[kSlots];
    {
      std::lock_guard<std::mutex> lock(mutex_);
      aborted_ = true;
      TakeAll(taken);
    }
    CloseReverse(taken);
  }
  // The request's own thread, when done: closes what nobody closed yet.
  void CloseKept() {
    HINTERNET taken[kSlots];
    {
      std::lock_guard<std::mutex> lock(mutex_);
      TakeAll(taken);
    }
    CloseReverse(taken);
  }

 private:
  void TakeAll(HINTERNET (&out)[kSlots]) {
    for (int i = 0; i < kSlots; ++i) out[i] = std::exchange(handles_[i], nullptr);
  }
  static void CloseReverse(HINTERNET (&h)[kSlots]) {
    for (int i = kSlots - 1; i >= 0; --i)
      if (h[i]) ::InternetCloseHandle(h[i]);
  }

  std::mutex mutex_;
  bool aborted_ = false;
  HINTERNET handles_[kSlots] = {};
};

std::string FetchVersionFile(const std::string& userAgent, UpdateRequest* abort) {
  UpdateRequest own;
  UpdateRequest& r = abort ? *abort : own;
  struct Closer {
    UpdateRequest& r;
    ~Closer() { r.CloseKept(); }
  } closer{r};

  const std::wstring agent = WidenAscii(userAgent);
  const std::wstring host = WidenAscii(kMakerHost), object = WidenAscii(kVersionFileObject);
  // A handle is used only while the request is not aborted (an abort in
  // between makes the call fail on the closed handle).
  HINTERNET session = ::InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!r.Keep(UpdateRequest::kSession, session)) return {};
  HINTERNET connection = r.Aborted() ? nullptr
                                     : ::InternetConnectW(session, host.c_str(), INTERNET_DEFAULT_HTTP_PORT, nullptr,
                                                          nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (!r.Keep(UpdateRequest::kConnection, connection)) return {};
  HINTERNET request = r.Aborted() ? nullptr
                                  : ::HttpOpenRequestW(connection, L"GET", object.c_str(), nullptr, nullptr, nullptr,
                                                       INTERNET_FLAG_KEEP_CONNECTION, 0);
  if (!r.Keep(UpdateRequest::kRequest, request)) return {};
  if (r.Aborted() || !::HttpSendRequestW(request, nullptr, 0, nullptr, 0)) return {};
  // An error page is no answer, whatever it says.
  DWORD status = 0, size = sizeof(status);
  if (r.Aborted() ||
      !::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
      status < 200 || status > 299)
    return {};
  char buffer[kVersionFileMaxBytes];
  DWORD received = 0;
  if (r.Aborted() || !::InternetReadFile(request, buffer, DWORD(sizeof(buffer)), &received) || received == 0)
    return {};
  return std::string(VersionFileText(std::string_view(buffer, std::min<size_t>(received, sizeof(buffer)))));
}

// --- one check, shared by the user-interface thread and the update thread

struct Win32UpdateCheck::Check {
  uintptr_t id = 0;
  HWND replyTo = nullptr;
  std::string userAgent, ownVersion;
  UpdateRequest request;
  UniqueKernelHandle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};

  std::mutex mutex;  // guards what follows
  bool abandoned = false;
  bool newer = false;
  std::string newVersionText;

  // On the update thread.
  void Run() {
    bool isNewer = false;
    std::string version;
    try {
      const std::string answer = FetchVersionFile(userAgent, &request);
      isNewer = IsNewerVersion(answer, ownVersion);
      if (isNewer) version = RemoteVersionText(answer);
    } catch (...) {
      isNewer = false;  // any failure counts as no newer version
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      newer = isNewer;
      newVersionText.swap(version);
      // Posted under the lock: once Abandon() returns, nothing reaches the
      // window, which may be destroyed next. A failed post is harmless.
      if (!abandoned) ::PostMessageW(replyTo, kCheckFinishedMessage, WPARAM(id), 0);
    }
    ::SetEvent(done.get());
  }

  void Abandon() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      abandoned = true;
    }
    request.Abort();
  }
};

// --- the subsystem

Win32UpdateCheck::Win32UpdateCheck(const IUiTexts& texts)
    : texts_(texts), windowClass_(kWindowClass, &WindowObject<Win32UpdateCheck>::Route, 0) {}

Win32UpdateCheck::~Win32UpdateCheck() { AbandonCheck(); }

void Win32UpdateCheck::StartUpdateCheck() {
  try {
    Settings().UpdateCheckPending = true;
    if (check_) return;  // the check in flight answers this request too
    auto check = std::make_shared<Check>();
    check->id = nextId_++;
    check->userAgent = UpdateUserAgent(Settings().PluginVersion);
    check->ownVersion = Settings().PluginVersion;
    if (!check->done || !EnsureWindow()) return ReportNow();
    check->replyTo = window_.get();
    if (!RunOnOwnThread([check] { check->Run(); })) return ReportNow();
    check_ = std::move(check);
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

void Win32UpdateCheck::AbandonCheck() {
  if (!check_) return;
  std::shared_ptr<Check> check = std::move(check_);
  check->Abandon();
  ::WaitForSingleObject(check->done.get(), kAbandonWaitMs);
}

// A check that could not start counts as no newer version.
void Win32UpdateCheck::ReportNow() {
  StoreUpdateResult(false, {});
  if (std::optional<UpdateNotice> notice = ReportUpdateResult(view_, texts_)) ShowNotice(std::move(*notice));
}

void Win32UpdateCheck::OnCheckFinished(uintptr_t id) {
  if (!check_ || check_->id != id) return;  // abandoned meanwhile
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
  if (msg == kCheckFinishedMessage) {
    try {
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
