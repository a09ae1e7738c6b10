// The simulated Talkeo host: loads a plug-in library, lends it the host's
// service, keeps its host-kept options record, shows the X-status and records
// every message the plug-in sends. Everything runs on the thread that owns
// the SimHost, which is also the thread whose messages Pump() dispatches (the
// plug-in's timers are window-message timers of that thread).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/win32/host_abi.h"
#include "hostkept_store.h"
#include "sim_text.h"

namespace talkeo_sim {

using tunelet::abi::CreatePluginFn;
using tunelet::abi::HostKeptOptions;
using tunelet::abi::HostMessage;
using tunelet::abi::IHostPlugin;
using tunelet::abi::ITLKPluginService;
using tunelet::abi::PluginDescriptor;

// Message codes, as the host numbers them.
enum : int32_t {
  kMsgLoaded = 1,
  kMsgStartup = 2,
  kMsgShutdown = 3,
  kMsgEnabled = 4,
  kMsgDisabled = 5,
  kMsgOpenOptions = 6,
  kMsgSetXStatus = 10,
  kMsgGetXStatus = 11,
  kMsgXStatusChanged = 12,
};

// What the host shows as the user's X-status. Picture 0 means none.
struct XStatus {
  int32_t picture = 0;
  std::wstring title;
  std::wstring text;
  bool operator==(const XStatus&) const = default;
};

// One SendToHost call, copied at the time of the call.
struct SentMessage {
  uint32_t timeMs = 0;  // since the host started
  HostMessage raw{};    // the record as it was passed in
  // MSG_SET_XSTATUS: the texts sent (absent when the pointer was null).
  std::optional<std::wstring> title, text;
  // MSG_GET_XSTATUS: the X-status the host answered with.
  XStatus answer;
};

// One message the host sent to the plug-in.
struct DeliveredMessage {
  uint32_t timeMs = 0;
  HostMessage raw{};
};

// What Loaded() found in the descriptor after MSG_LOADED.
struct DescriptorCopy {
  uintptr_t dllHandle = 0;
  std::wstring dllPath, name, author;
  uint16_t sdkMajor = 0, sdkMinor = 0, versionMajor = 0, versionMinor = 0;
};

class SimService;

class SimHost {
 public:
  SimHost();
  ~SimHost();
  SimHost(const SimHost&) = delete;
  SimHost& operator=(const SimHost&) = delete;

  // --- configuration (before loading)
  // The file that keeps the host-kept records between runs; empty: none.
  void SetStoreFile(std::wstring path) { storeFile_ = std::move(path); }
  // GetSharedOptions answers null, as a host without a record for the plug-in.
  void SetSharedOptionsNull(bool on) { sharedOptionsNull_ = on; }
  // MSG_GET_XSTATUS answers an empty title or text with a null pointer
  // (default) or with a pointer to an empty string.
  void SetAnswerEmptyAsNull(bool on) { answerEmptyAsNull_ = on; }
  // Receives the lines a user would read (X-status changes, events), in
  // UTF-8 and without the time stamp, which Line() adds.
  using LineSink = std::function<void(uint32_t timeMs, const std::string& line)>;
  void SetLineSink(LineSink sink) { sink_ = std::move(sink); }
  void SetVerbose(bool on) { verbose_ = on; }
  // Called after every round of dispatched messages while the host pumps
  // (at least every 20 ms): how a watcher of the plug-in's windows looks.
  void SetPumpHook(std::function<void()> hook) { pumpHook_ = std::move(hook); }
  bool Verbose() const { return verbose_; }

  // --- the plug-in's life
  // LoadLibraryW and GetProcAddress("CreateTalkeoPLUGIN"); loads the record.
  bool Load(const std::wstring& dllPath, std::string* error = nullptr);
  // A plug-in that is not in a library (tests of the host itself).
  void Attach(CreatePluginFn create, HMODULE module, const std::wstring& recordKey);
  // CreateTalkeoPLUGIN into the host's interface variable (a second call
  // goes into the same variable), then GetInfo and DllHandle.
  bool Create();
  // MSG_LOADED, then reads the descriptor.
  bool Loaded();
  // Creates and loads the plug-in when that has not happened yet, then
  // MSG_STARTUP.
  bool Start();
  void Enable();
  void Disable();
  void Shutdown();
  void OpenOptions();
  // Any message, as the host would send it.
  void Send(int32_t code, int32_t wParam = 0, intptr_t lParam = 0, intptr_t nParam = 0);
  // The host lets go of its interface; returns the count the plug-in reported.
  ULONG Release();
  // FreeLibrary; releases the interface first if it is still held. Saves
  // the record.
  void Unload();

  // --- the user and the clock
  // The user chooses an X-status in the host; a loaded plug-in is told with
  // MSG_XSTATUS_CHANGED.
  void UserSetsXStatus(int32_t picture, const std::wstring& title, const std::wstring& text);
  // Dispatches the thread's messages for ms milliseconds (0: what is queued).
  void Pump(uint32_t ms);
  uint32_t Now() const;

  // --- what tests inspect
  const XStatus& Shown() const { return shown_; }
  const std::vector<SentMessage>& Sent() const { return sent_; }
  const std::vector<DeliveredMessage>& Delivered() const { return delivered_; }
  void ClearLogs();
  size_t CountSent(int32_t code) const;
  int GetSharedOptionsCalls() const { return sharedOptionsCalls_; }
  HostKeptOptions& Record() { return *record_; }
  // The record's bytes that belong to the host, untouched by the plug-in.
  bool HostBytesIntact() const;
  bool SaveRecord(std::string* error = nullptr);
  const std::optional<DescriptorCopy>& Descriptor() const { return descriptor_; }
  PluginDescriptor* DescriptorPointer() const { return descriptorPtr_; }
  IHostPlugin** Variable() { return &plugin_; }
  IHostPlugin* Plugin() const { return plugin_; }
  HMODULE Module() const { return module_; }
  const std::wstring& DllPath() const { return dllPath_; }
  CreatePluginFn Export() const { return create_; }
  // References the plug-in holds on the host's service (the host's own one
  // not counted).
  LONG ServiceReferencesHeld() const;
  bool Started() const { return started_; }

  // Writes a line through the sink.
  void Line(const std::string& utf8);

 private:
  friend class SimService;
  HostKeptOptions* OnGetSharedOptions(uintptr_t dllHandle);
  void OnSendToHost(HostMessage* m);
  void Deliver(HostMessage& m);
  void ApplyXStatus(const XStatus& next, const char* origin);
  void ResetRecord();

  std::unique_ptr<SimService> service_;
  std::unique_ptr<HostKeptOptions> record_;
  std::wstring storeFile_, recordKey_, dllPath_;
  HMODULE module_ = nullptr;
  bool ownsModule_ = false;
  CreatePluginFn create_ = nullptr;
  IHostPlugin* plugin_ = nullptr;  // the host's interface variable
  PluginDescriptor* descriptorPtr_ = nullptr;
  std::optional<DescriptorCopy> descriptor_;
  bool loadedSent_ = false, started_ = false;
  bool sharedOptionsNull_ = false, answerEmptyAsNull_ = true, verbose_ = false;
  int sharedOptionsCalls_ = 0;
  XStatus shown_;
  std::wstring answerTitle_, answerText_;  // valid until the next MSG_GET_XSTATUS
  std::vector<SentMessage> sent_;
  std::vector<DeliveredMessage> delivered_;
  LineSink sink_;
  std::function<void()> pumpHook_;
  uint64_t startTick_ = 0;
};

// Short names of the X-status pictures 1..35 ("Music" for 11); "none" for 0.
const char* PictureName(int32_t picture);
// "picture 11 (Music) | title "..." | text "..."" or "cleared".
std::string DescribeXStatus(const XStatus& s);
std::string FormatTime(uint32_t ms);  // "[  3.012 s]"

}  // namespace talkeo_sim
