// TTlkPlugin: the reference-counted object the host holds. It owns the service
// reference, the descriptor, the DLL path text and the four timers (on a
// hidden message window of the host's UI thread), and forwards everything
// else to the portable core.
#include "core/win32/tlk_plugin.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "core/plugin_core.h"
#include "model/settings.h"
#include "core/win32/composition.h"
#include "core/win32/host_service.h"
#include "core/win32/ini_file_win32.h"
#include "platform/platform.h"
#include "platform/win32/bounded_lane.h"
#include "platform/win32/unique_handle.h"

namespace tunelet::win32 {

namespace {

constexpr wchar_t kTimerWindowClass[] = L"TTlkPluginTimers";
// Posted by the poll worker when a poll's answer is ready.
constexpr UINT kPollAnsweredMessage = WM_APP + 1;

// Window-message timers on a message-only window of the calling thread,
// which also takes the poll worker's answers.
class TimerWindow final : public ICoreTimers {
 public:
  explicit TimerWindow(PluginCore** core) : core_(core) {}
  ~TimerWindow() override { Destroy(); }

  void SetPollWorker(PollWorkerThread* worker) {
    worker_ = worker;
    if (worker_ && hwnd_) worker_->SetReplyWindow(hwnd_.get(), kPollAnsweredMessage);
  }

  void CreateTimers(uint32_t pollIntervalMs) override {
    if (!EnsureWindow()) return;
    poll_ = pollIntervalMs;
    firstPoll_ = true;
    ::SetTimer(hwnd_.get(), UINT_PTR(CoreTimer::Poll), kFirstPollDelayMs, nullptr);
    ::KillTimer(hwnd_.get(), UINT_PTR(CoreTimer::Apply));
    ::KillTimer(hwnd_.get(), UINT_PTR(CoreTimer::Restore));
    ::SetTimer(hwnd_.get(), UINT_PTR(CoreTimer::StartupUpdate), kStartupUpdateDelayMs, nullptr);
  }
  void Enable(CoreTimer t) override {
    if (!hwnd_) return;
    ::SetTimer(hwnd_.get(), UINT_PTR(t), IntervalOf(t), nullptr);
  }
  void Disable(CoreTimer t) override {
    if (hwnd_) ::KillTimer(hwnd_.get(), UINT_PTR(t));
  }
  void EnableAfter(CoreTimer t, uint32_t delayMs) override {
    if (hwnd_) ::SetTimer(hwnd_.get(), UINT_PTR(t), std::max<uint32_t>(delayMs, USER_TIMER_MINIMUM), nullptr);
  }
  int64_t NowMs() override { return platform::MonotonicMs(); }
  void Destroy() {
    if (!hwnd_) return;
    if (worker_) worker_->SetReplyWindow(nullptr, 0);
    for (int t = 1; t <= kCoreTimerCount; ++t) ::KillTimer(hwnd_.get(), UINT_PTR(t));
    hwnd_.reset();
    // The class belongs to this DLL, which the host may unload next.
    ::UnregisterClassW(kTimerWindowClass, ThisModule());
  }

 private:
  uint32_t IntervalOf(CoreTimer t) const {
    switch (t) {
      case CoreTimer::Poll: return poll_;
      case CoreTimer::Apply: return kApplyDelayMs;
      case CoreTimer::Restore: return kRestoreDelayMs;
      case CoreTimer::StartupUpdate: return kStartupUpdateDelayMs;
      case CoreTimer::Calm: return kApplyDelayMs;  // armed through EnableAfter
    }
    return poll_;
  }
  bool EnsureWindow() {
    if (hwnd_) return true;
    WNDCLASSW wc{};
    wc.lpfnWndProc = &TimerWindow::WndProc;
    wc.hInstance = ThisModule();
    wc.lpszClassName = kTimerWindowClass;
    ::RegisterClassW(&wc);  // fails harmlessly when already registered
    hwnd_.reset(::CreateWindowExW(0, kTimerWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ThisModule(), this));
    if (hwnd_ && worker_) worker_->SetReplyWindow(hwnd_.get(), kPollAnsweredMessage);
    return bool(hwnd_);
  }
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(cs->lpCreateParams));
    } else if (msg == WM_TIMER || msg == kPollAnsweredMessage) {
      auto* self = reinterpret_cast<TimerWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      try {
        if (self) self->Handle(msg, wp);
      } catch (...) {
        // Nothing may escape into the host's message loop.
      }
      return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
  }

  void Handle(UINT msg, WPARAM wp) {
    PluginCore* core = *core_;
    if (!core) return;
    if (msg == kPollAnsweredMessage) {
      if (!worker_) return;
      if (auto answer = worker_->TakeAnswer()) core->OnPollAnswer(answer->first, std::move(answer->second));
      return;
    }
    if (wp < 1 || wp > WPARAM(kCoreTimerCount)) return;
    if (CoreTimer(wp) == CoreTimer::Poll && firstPoll_) {
      // The soon first poll is done: the configured interval from now on.
      firstPoll_ = false;
      ::SetTimer(hwnd_.get(), UINT_PTR(CoreTimer::Poll), poll_, nullptr);
    }
    core->OnTimer(CoreTimer(wp));
  }

  PluginCore** core_;
  PollWorkerThread* worker_ = nullptr;
  UniqueWindow hwnd_;
  uint32_t poll_ = 5000;
  bool firstPoll_ = false;
};

std::string ReadFileVersion(HMODULE module) {
  wchar_t path[MAX_PATH + 1] = {};
  if (!::GetModuleFileNameW(module, path, MAX_PATH)) return {};
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return {};
  std::unique_ptr<uint8_t[]> block(new uint8_t[size]);
  if (!::GetFileVersionInfoW(path, 0, size, block.get())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!::VerQueryValueW(block.get(), L"\\", reinterpret_cast<void**>(&info), &len) || !info ||
      len < sizeof(VS_FIXEDFILEINFO))
    return {};
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) +
         "." + std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
}

class TTlkPlugin final : public abi::IHostPlugin {
 public:
  explicit TTlkPlugin(abi::ITLKPluginService* service) : service_(service), timers_(&corePtr_) {
    if (service_) service_->AddRef();
    descriptor_ = {};
    PluginObjectCreated();
  }
  ~TTlkPlugin() {
    timers_.Destroy();
    timers_.SetPollWorker(nullptr);
    corePtr_ = nullptr;
    core_.reset();
    subsystems_.reset();
    hostAdapter_.reset();
    if (service_) service_->Release();
    PluginObjectDestroyed();
  }
  TTlkPlugin(const TTlkPlugin&) = delete;
  TTlkPlugin& operator=(const TTlkPlugin&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    static const GUID kZero{};
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, kZero)) {
      *out = static_cast<abi::IHostPlugin*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(::InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG n = ::InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return ULONG(n);
  }

  abi::PluginDescriptor* STDMETHODCALLTYPE GetInfo() override { return &descriptor_; }

  void STDMETHODCALLTYPE HandleHostMessage(abi::HostMessage* m) override {
    if (!m) return;
    try {
      if (m->Msg == MSG_LOADED) {
        FillDescriptor();
        return;
      }
      EnsureCore();
      const auto* text = reinterpret_cast<const char16_t*>(m->NParam);
      core_->HandleHostMessage(int32_t(m->Msg), int32_t(m->WParam), text);
      // Switched off or shut down: the players' objects kept on the lanes
      // go now, so that a player can quit without ours in its way.
      if (m->Msg == MSG_DISABLED || m->Msg == MSG_SHUTDOWN) ReleaseIdleLaneThreads();
    } catch (...) {
      // Nothing may escape into the host.
    }
  }

 private:
  void FillDescriptor() {
    wchar_t buf[261] = {};
    const DWORD n = ::GetModuleFileNameW(reinterpret_cast<HMODULE>(descriptor_.DllHandle), buf, 261);
    dllPathText_.assign(buf, n < 261 ? n : 260);
    descriptor_.DllPath = dllPathText_.c_str();
    descriptor_.SdkVersionMajor = 1;
    descriptor_.SdkVersionMinor = 2;
    descriptor_.PluginVersionMajor = 3;
    descriptor_.PluginVersionMinor = 0;
    descriptor_.PluginName = L"Tunelet";
    descriptor_.PluginAuthor = L"ORB2000";
    Settings().DllPath.assign(dllPathText_.begin(), dllPathText_.end());
  }

  void EnsureCore() {
    if (core_) return;
    hostAdapter_ = std::make_unique<HostService>(service_, &descriptor_);
    ini_ = std::make_unique<ProfileIniFile>();
    CoreEnvironment env;
    env.host = hostAdapter_.get();
    env.timers = &timers_;
    env.ini = ini_.get();
    subsystems_ = MakeSubsystems(*hostAdapter_);
    env.subsystems = subsystems_->view();
    env.pollWorker = &subsystems_->pollWorker();
    timers_.SetPollWorker(&subsystems_->pollWorker());
    env.fileVersion = ReadFileVersion(ThisModule());
    core_ = std::make_unique<PluginCore>(env);
    corePtr_ = core_.get();
  }

  volatile LONG refs_ = 0;
  abi::ITLKPluginService* service_;
  abi::PluginDescriptor descriptor_;
  std::wstring dllPathText_;
  PluginCore* corePtr_ = nullptr;
  TimerWindow timers_;
  std::unique_ptr<HostService> hostAdapter_;
  std::unique_ptr<ProfileIniFile> ini_;
  std::unique_ptr<SubsystemSet> subsystems_;
  std::unique_ptr<PluginCore> core_;
};

}  // namespace

void CreatePlugin(abi::IHostPlugin** out, abi::ITLKPluginService* service) noexcept {
  if (!out) return;
  try {
    if (service) service->AddRef();  // temporary reference for the call
    auto* plugin = new TTlkPlugin(service);
    plugin->AddRef();
    abi::IHostPlugin* old = *out;
    *out = plugin;
    if (old) old->Release();
    if (service) service->Release();
  } catch (...) {
  }
}

}  // namespace tunelet::win32
