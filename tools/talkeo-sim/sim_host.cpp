#include "sim_host.h"

#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace talkeo_sim {

namespace {

constexpr uint8_t kHostBytePattern = 0xA5;
constexpr DWORD kPumpHookPeriodMs = 20;  // the host's own bytes of the record

// The record's gaps that belong to the host.
struct HostGap {
  size_t offset, size;
};
constexpr HostGap kHostGaps[] = {
    {offsetof(HostKeptOptions, reserved7), sizeof(HostKeptOptions::reserved7)},
    {offsetof(HostKeptOptions, reserved10), sizeof(HostKeptOptions::reserved10)},
    {offsetof(HostKeptOptions, reserved20), sizeof(HostKeptOptions::reserved20)},
    {offsetof(HostKeptOptions, reserved44), sizeof(HostKeptOptions::reserved44)},
    {offsetof(HostKeptOptions, reserved68), sizeof(HostKeptOptions::reserved68)},
    {offsetof(HostKeptOptions, reserved80), sizeof(HostKeptOptions::reserved80)},
    {offsetof(HostKeptOptions, reserved92), sizeof(HostKeptOptions::reserved92)},
};

const char* MessageName(int32_t code) {
  switch (code) {
    case kMsgLoaded: return "MSG_LOADED";
    case kMsgStartup: return "MSG_STARTUP";
    case kMsgShutdown: return "MSG_SHUTDOWN";
    case kMsgEnabled: return "MSG_ENABLED";
    case kMsgDisabled: return "MSG_DISABLED";
    case kMsgOpenOptions: return "MSG_OPEN_OPTIONS";
    case kMsgSetXStatus: return "MSG_SET_XSTATUS";
    case kMsgGetXStatus: return "MSG_GET_XSTATUS";
    case kMsgXStatusChanged: return "MSG_XSTATUS_CHANGED";
    default: return nullptr;
  }
}

std::string DescribeCode(int32_t code) {
  const char* name = MessageName(code);
  return name ? name : "message " + std::to_string(code);
}

// A text as a user reads it: as it is, but control characters made visible.
std::string Visible(const std::wstring& s) {
  std::wstring v;
  for (wchar_t c : s) {
    if (c == L'\n') v += L"\\n";
    else if (c == L'\r') v += L"\\r";
    else if (c < 0x20) v += L'?';
    else v += c;
  }
  return "\"" + ToUtf8(v) + "\"";
}

const wchar_t* TextAt(intptr_t pointer) { return reinterpret_cast<const wchar_t*>(pointer); }
intptr_t PointerOf(const wchar_t* p) { return reinterpret_cast<intptr_t>(p); }

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/:");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  for (auto& c : name) c = wchar_t(::towlower(c));
  return name;
}

}  // namespace

// ITLKPluginService of the host. The host holds one reference itself.
class SimService final : public ITLKPluginService {
 public:
  explicit SimService(SimHost* host) : host_(host) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    static const GUID kZero{};
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, kZero)) {
      *out = static_cast<ITLKPluginService*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(::InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    // The host's own reference keeps the service alive; it is never deleted
    // from here, so a plug-in that releases once too often shows as a count
    // below the host's instead of freed memory.
    return ULONG(::InterlockedDecrement(&refs_));
  }
  HostKeptOptions* STDMETHODCALLTYPE GetSharedOptions(uintptr_t dllHandle) override {
    return host_->OnGetSharedOptions(dllHandle);
  }
  void STDMETHODCALLTYPE SendToHost(HostMessage* message) override { host_->OnSendToHost(message); }
  LONG Refs() const { return refs_; }

 private:
  SimHost* host_;
  volatile LONG refs_ = 1;
};

SimHost::SimHost()
    : service_(std::make_unique<SimService>(this)), record_(std::make_unique<HostKeptOptions>()),
      startTick_(::GetTickCount64()) {
  ResetRecord();
}

SimHost::~SimHost() {
  Unload();
  ClearRecordFields(*record_);
  // A plug-in that kept a reference past its destruction would call into
  // freed memory; keep the service alive in that case.
  if (service_->Refs() != 1) (void)service_.release();
}

void SimHost::ResetRecord() {
  ClearRecordFields(*record_);
  std::memset(record_.get(), 0, sizeof(HostKeptOptions));
  auto* bytes = reinterpret_cast<uint8_t*>(record_.get());
  for (const auto& g : kHostGaps) std::memset(bytes + g.offset, kHostBytePattern, g.size);
}

bool SimHost::HostBytesIntact() const {
  const auto* bytes = reinterpret_cast<const uint8_t*>(record_.get());
  for (const auto& g : kHostGaps)
    for (size_t i = 0; i < g.size; ++i)
      if (bytes[g.offset + i] != kHostBytePattern) return false;
  return true;
}

uint32_t SimHost::Now() const { return uint32_t(::GetTickCount64() - startTick_); }

void SimHost::Line(const std::string& utf8) {
  if (sink_) sink_(Now(), utf8);
}

bool SimHost::Load(const std::wstring& dllPath, std::string* error) {
  wchar_t full[MAX_PATH * 2] = {};
  const DWORD n = ::GetFullPathNameW(dllPath.c_str(), DWORD(std::size(full)), full, nullptr);
  dllPath_ = (n > 0 && n < std::size(full)) ? std::wstring(full, n) : dllPath;
  HMODULE m = ::LoadLibraryW(dllPath_.c_str());
  if (!m) {
    if (error) *error = "cannot load " + ToUtf8(dllPath_) + " (error " + std::to_string(::GetLastError()) + ")";
    return false;
  }
  auto create = reinterpret_cast<CreatePluginFn>(reinterpret_cast<void*>(::GetProcAddress(m, "CreateTalkeoPLUGIN")));
  if (!create) {
    ::FreeLibrary(m);
    if (error) *error = ToUtf8(dllPath_) + " has no export CreateTalkeoPLUGIN";
    return false;
  }
  Attach(create, m, FileNameOf(dllPath_));
  ownsModule_ = true;
  if (!storeFile_.empty()) {
    std::string why;
    if (!LoadRecord(storeFile_, recordKey_, *record_, &why)) {
      if (error) *error = "store " + ToUtf8(storeFile_) + ": " + why;
      return false;
    }
  }
  return true;
}

void SimHost::Attach(CreatePluginFn create, HMODULE module, const std::wstring& recordKey) {
  create_ = create;
  module_ = module;
  ownsModule_ = false;
  recordKey_ = recordKey;
}

bool SimHost::Create() {
  if (!create_) return false;
  create_(&plugin_, service_.get());
  if (!plugin_) {
    Line("CreateTalkeoPLUGIN gave no plug-in");
    return false;
  }
  descriptorPtr_ = plugin_->GetInfo();
  if (!descriptorPtr_) {
    Line("GetInfo gave no descriptor");
    return false;
  }
  descriptorPtr_->DllHandle = reinterpret_cast<uintptr_t>(module_);
  loadedSent_ = started_ = false;
  if (verbose_) Line("plug-in created");
  return true;
}

bool SimHost::Loaded() {
  if (!plugin_ && !Create()) return false;
  if (!descriptorPtr_) return false;  // GetInfo gave nothing to read
  Send(kMsgLoaded);
  loadedSent_ = true;
  const PluginDescriptor* d = descriptorPtr_;
  DescriptorCopy c;
  c.dllHandle = d->DllHandle;
  if (d->DllPath) c.dllPath = d->DllPath;
  if (d->PluginName) c.name = d->PluginName;
  if (d->PluginAuthor) c.author = d->PluginAuthor;
  c.sdkMajor = d->SdkVersionMajor;
  c.sdkMinor = d->SdkVersionMinor;
  c.versionMajor = d->PluginVersionMajor;
  c.versionMinor = d->PluginVersionMinor;
  descriptor_ = c;
  char v[64];
  std::snprintf(v, sizeof v, " %u.%u (SDK %u.%u)", c.versionMajor, c.versionMinor, c.sdkMajor, c.sdkMinor);
  Line("Plug-in " + Visible(c.name) + v + " by " + Visible(c.author) + ": " + ToUtf8(c.dllPath));
  return true;
}

bool SimHost::Start() {
  if (!loadedSent_ && !Loaded()) return false;
  Send(kMsgStartup);
  started_ = true;
  return true;
}

void SimHost::Enable() {
  if (!loadedSent_ && !Loaded()) return;
  Send(kMsgEnabled);
  started_ = true;
}

void SimHost::Disable() {
  Send(kMsgDisabled);
  started_ = false;
}

void SimHost::Shutdown() {
  Send(kMsgShutdown);
  started_ = false;
}

void SimHost::OpenOptions() { Send(kMsgOpenOptions); }

void SimHost::Send(int32_t code, int32_t wParam, intptr_t lParam, intptr_t nParam) {
  if (!plugin_) return;
  HostMessage m{};
  m.Msg = code;
  m.WParam = wParam;
  m.LParam = lParam;
  m.NParam = nParam;
  m.DllHandle = descriptorPtr_ ? intptr_t(descriptorPtr_->DllHandle) : 0;
  Deliver(m);
}

void SimHost::Deliver(HostMessage& m) {
  delivered_.push_back({Now(), m});
  if (verbose_) Line("-> " + DescribeCode(m.Msg));
  plugin_->HandleHostMessage(&m);
  if (!storeFile_.empty()) SaveRecord();
}

ULONG SimHost::Release() {
  if (!plugin_) return 0;
  IHostPlugin* p = plugin_;
  plugin_ = nullptr;
  descriptorPtr_ = nullptr;
  loadedSent_ = started_ = false;
  const ULONG left = p->Release();
  if (verbose_) Line("plug-in released (" + std::to_string(left) + " references left)");
  if (!storeFile_.empty()) SaveRecord();
  return left;
}

void SimHost::Unload() {
  Release();
  if (module_ && ownsModule_) ::FreeLibrary(module_);
  module_ = nullptr;
  ownsModule_ = false;
  create_ = nullptr;
}

bool SimHost::SaveRecord(std::string* error) {
  if (storeFile_.empty() || recordKey_.empty()) return true;
  std::string why;
  if (talkeo_sim::SaveRecord(storeFile_, recordKey_, *record_, &why)) return true;
  Line("cannot save the host-kept options: " + why);
  if (error) *error = why;
  return false;
}

LONG SimHost::ServiceReferencesHeld() const { return service_->Refs() - 1; }

void SimHost::ClearLogs() {
  sent_.clear();
  delivered_.clear();
  sharedOptionsCalls_ = 0;
}

size_t SimHost::CountSent(int32_t code) const {
  size_t n = 0;
  for (const auto& s : sent_) n += s.raw.Msg == code;
  return n;
}

HostKeptOptions* SimHost::OnGetSharedOptions(uintptr_t dllHandle) {
  ++sharedOptionsCalls_;
  if (verbose_) Line("<- GetSharedOptions");
  if (sharedOptionsNull_) return nullptr;
  // One record per plug-in, found by the handle the host gave it.
  if (!module_ || dllHandle != reinterpret_cast<uintptr_t>(module_)) return nullptr;
  return record_.get();
}

void SimHost::OnSendToHost(HostMessage* m) {
  if (!m) return;
  SentMessage s;
  s.timeMs = Now();
  s.raw = *m;
  if (verbose_) Line("<- " + DescribeCode(m->Msg));
  switch (m->Msg) {
    case kMsgSetXStatus: {
      // The plug-in frees its buffers after the call: copy now.
      if (const wchar_t* t = TextAt(m->LParam)) s.title = t;
      if (const wchar_t* t = TextAt(m->NParam)) s.text = t;
      XStatus next;
      if (m->WParam != 0) next = {int32_t(m->WParam), s.title.value_or(L""), s.text.value_or(L"")};
      ApplyXStatus(next, nullptr);
      break;
    }
    case kMsgGetXStatus: {
      // The texts stay valid until the next MSG_GET_XSTATUS.
      answerTitle_ = shown_.title;
      answerText_ = shown_.text;
      m->WParam = shown_.picture;
      m->LParam = answerTitle_.empty() && answerEmptyAsNull_ ? 0 : PointerOf(answerTitle_.c_str());
      m->NParam = answerText_.empty() && answerEmptyAsNull_ ? 0 : PointerOf(answerText_.c_str());
      s.answer = shown_;
      break;
    }
    default:
      break;  // a real host ignores what it does not know
  }
  sent_.push_back(std::move(s));
}

void SimHost::ApplyXStatus(const XStatus& next, const char* origin) {
  if (next == shown_) {
    if (verbose_) Line("X-status unchanged");
    return;
  }
  shown_ = next;
  Line(DescribeXStatus(shown_) + (origin ? std::string("  (set by the ") + origin + ")" : std::string()));
}

void SimHost::UserSetsXStatus(int32_t picture, const std::wstring& title, const std::wstring& text) {
  XStatus next;
  if (picture != 0) next = {picture, title, text};
  ApplyXStatus(next, "user");
  // Only a plug-in that has been told it is loaded hears of the change.
  if (plugin_ && loadedSent_) {
    const std::wstring copy = next.text;
    Send(kMsgXStatusChanged, next.picture, 0, copy.empty() ? 0 : PointerOf(copy.c_str()));
  }
}

void SimHost::Pump(uint32_t ms) {
  const uint64_t deadline = ::GetTickCount64() + ms;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        if (verbose_) Line("WM_QUIT posted on the host's thread (ignored)");
        continue;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (pumpHook_) pumpHook_();
    const uint64_t now = ::GetTickCount64();
    if (now >= deadline) return;
    DWORD waitMs = DWORD(deadline - now);
    if (pumpHook_) waitMs = std::min<DWORD>(waitMs, kPumpHookPeriodMs);
    ::MsgWaitForMultipleObjectsEx(0, nullptr, waitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

const char* PictureName(int32_t picture) {
  static const char* const kNames[] = {
      "none",     "Angry",   "Bath",     "Tired",    "Party",    "Beer",     "Thinking", "Eating",
      "TV",       "Friends", "Coffee",   "Music",    "Business", "Camera",   "Funny",    "Phone",
      "Games",    "College", "Shopping", "Sick",     "Sleeping", "Surfing",  "Internet", "Engineering",
      "Typing",   "Picnic",  "Cooking",  "Smoking",  "Tea",      "Working",  "Cinema",   "Love",
      "Search",   "Sport",   "Reading",  "Question",
  };
  static_assert(std::size(kNames) == 36);
  return picture >= 0 && picture < 36 ? kNames[picture] : "unknown";
}

std::string DescribeXStatus(const XStatus& s) {
  if (s.picture == 0) return "X-status cleared";
  return "X-status: picture " + std::to_string(s.picture) + " (" + PictureName(s.picture) + ") | title " +
         Visible(s.title) + " | text " + Visible(s.text);
}

std::string FormatTime(uint32_t ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "[%3u.%03u s]", ms / 1000, ms % 1000);
  return buf;
}

}  // namespace talkeo_sim
