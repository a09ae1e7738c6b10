#include "players/win32/automation_win32.h"

#include <objbase.h>
#include <oleauto.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>

#include "model/settings.h"
#include "platform/platform.h"
#include "platform/win32/unique_handle.h"
#include "players/foobar2000.h"
#include "platform/win32/bounded_lane.h"

namespace tunelet::win32 {

namespace {

constexpr wchar_t kItunesProgId[] = L"iTunes.Application";
constexpr wchar_t kMediaMonkeyProgId[] = L"SongsDB.SDBApplication";
constexpr wchar_t kFoobar2000ProgId[] = L"Foobar2000.Application.0.7";
constexpr int32_t kItunesPlaying = 1;

// --- a kept application object

constexpr HRESULT kRpcServerUnavailable = HRESULT(0x800706BA);

// Failures that say the object's server is gone: the process ended, or it
// withdrew or disconnected its objects. Other failures are answers.
bool ServerWentAway(HRESULT hr) {
  return hr == RPC_E_DISCONNECTED || hr == kRpcServerUnavailable || hr == CO_E_OBJNOTCONNECTED ||
         hr == RPC_E_SERVERFAULT;
}

// A player's application object on its lane's thread, with the dispatch ids
// learnt from it, for the calls of one task (one poll's questions). It is let
// go at the end of the task: a client that holds a player's object makes the
// player warn its user at quit that its scripting interface is in use, and
// under Wine every server that ends while a client holds its proxy leaves
// events and files behind in the client (docs/wine-notes.md). The
// ids are keyed by the member's place ("CurrentTrack.Location"): sub-objects
// are fetched anew each time, but one place always holds the same kind.
class KeptApplication final : public LaneThreadState {
 public:
  ComPtr<IDispatch> object;
  std::map<std::wstring, DISPID, std::less<>> ids;

  void Drop() {
    object.reset();
    ids.clear();
  }
};

KeptApplication& KeptFrom(KeptLaneState& state) {
  // Each player's lane runs only this module's tasks, which keep nothing else.
  if (!state) state = std::make_unique<KeptApplication>();
  return static_cast<KeptApplication&>(*state);
}

std::optional<std::u16string> AsText(UniqueVariant& value) {
  UniqueVariant text;
  if (FAILED(::VariantChangeType(text.get(), value.get(), 0, VT_BSTR))) return std::nullopt;
  const BSTR b = (*text).bstrVal;
  return std::u16string(U(b ? b : L""), b ? ::SysStringLen(b) : 0);
}

std::optional<int32_t> AsInt(UniqueVariant& value) {
  UniqueVariant number;
  if (FAILED(::VariantChangeType(number.get(), value.get(), 0, VT_I4))) return std::nullopt;
  return int32_t((*number).lVal);
}

// The late-bound calls of one attempt on the kept object. Notes whether the
// server went away, which a failing first call on an object kept from an
// earlier task counts as too; after that every call fails at once.
class Calls {
 public:
  Calls(KeptApplication& app, bool kept) : app_(app), kept_(kept) {}

  IDispatch* App() const { return app_.object.get(); }
  bool ServerGone() const { return gone_; }

  // Invokes the member at place ("Player.CurrentSong" + "Path"); result may
  // be null. The exception record a failing server fills in is freed here.
  HRESULT Invoke(IDispatch* object, std::wstring_view place, std::wstring_view name, WORD flags, VARIANT* args,
                 UINT argCount, VARIANT* result) {
    if (!object) return E_POINTER;
    if (gone_) return RPC_E_DISCONNECTED;
    const HRESULT hr = InvokeOnce(object, place, name, flags, args, argCount, result);
    if (FAILED(hr) && (ServerWentAway(hr) || (kept_ && firstCall_))) gone_ = true;
    firstCall_ = false;
    return hr;
  }

  std::optional<std::u16string> GetText(IDispatch* object, std::wstring_view place, std::wstring_view name) {
    UniqueVariant value;
    if (FAILED(Invoke(object, place, name, DISPATCH_PROPERTYGET, nullptr, 0, value.get()))) return std::nullopt;
    return AsText(value);
  }

  std::optional<int32_t> GetInt(IDispatch* object, std::wstring_view place, std::wstring_view name) {
    UniqueVariant value;
    if (FAILED(Invoke(object, place, name, DISPATCH_PROPERTYGET, nullptr, 0, value.get()))) return std::nullopt;
    return AsInt(value);
  }

  ComPtr<IDispatch> GetChild(IDispatch* object, std::wstring_view place, std::wstring_view name) {
    ComPtr<IDispatch> child;
    UniqueVariant value;
    if (FAILED(Invoke(object, place, name, DISPATCH_PROPERTYGET, nullptr, 0, value.get()))) return child;
    const VARIANT& v = *value;
    IUnknown* unknown = v.vt == VT_DISPATCH ? v.pdispVal : v.vt == VT_UNKNOWN ? v.punkVal : nullptr;
    if (unknown) unknown->QueryInterface(IID_IDispatch, child.putVoid());
    return child;
  }

 private:
  HRESULT IdOf(IDispatch* object, std::wstring_view place, std::wstring_view name, DISPID* id) {
    std::wstring key(place);
    key += L'.';
    key += name;
    if (auto known = app_.ids.find(key); known != app_.ids.end()) {
      *id = known->second;
      return S_OK;
    }
    const std::wstring text(name);
    LPOLESTR names[] = {const_cast<LPOLESTR>(text.c_str())};
    const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
    if (SUCCEEDED(hr)) app_.ids.emplace(std::move(key), *id);
    return hr;
  }

  HRESULT InvokeOnce(IDispatch* object, std::wstring_view place, std::wstring_view name, WORD flags, VARIANT* args,
                     UINT argCount, VARIANT* result) {
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = IdOf(object, place, name, &id);
    if (FAILED(hr)) return hr;
    DISPPARAMS params{args, nullptr, argCount, 0};
    EXCEPINFO exception{};
    UINT argError = 0;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &argError);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    return hr;
  }

  KeptApplication& app_;
  bool kept_;
  bool firstCall_ = true;
  bool gone_ = false;
};

using Obtain = ComPtr<IDispatch> (*)();

// Runs body on the kept application object, obtaining one when none is
// kept (body runs without one when that fails, and answers its nothing).
// When the server of a kept object has gone away, the object and its ids
// are dropped and body runs once more on a fresh object (a restarted
// player). A fresh object whose server goes away is only dropped: the
// player is leaving, and obtaining another could start it again.
template <typename R>
R WithApplication(KeptLaneState& state, Obtain obtain, const std::function<R(Calls&)>& body) {
  KeptApplication& app = KeptFrom(state);
  const bool kept = bool(app.object);
  if (!kept) app.object = obtain();
  Calls calls(app, kept);
  R answer = body(calls);
  if (!calls.ServerGone()) return answer;
  app.Drop();
  if (!kept) return answer;
  app.object = obtain();
  Calls again(app, false);
  answer = body(again);
  if (again.ServerGone()) app.Drop();
  return answer;
}

// --- obtaining the objects

// A new instance of a player's application object (the player runs already).
ComPtr<IDispatch> CreateByProgId(const wchar_t* progId) {
  ComPtr<IDispatch> object;
  CLSID clsid{};
  if (FAILED(::CLSIDFromProgID(progId, &clsid))) return object;
  ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IDispatch, object.putVoid());
  return object;
}

// The running instance only; a player that does not run is never started.
ComPtr<IDispatch> AttachByProgId(const wchar_t* progId) {
  ComPtr<IDispatch> object;
  CLSID clsid{};
  if (FAILED(::CLSIDFromProgID(progId, &clsid))) return object;
  ComPtr<IUnknown> running;
  if (FAILED(::GetActiveObject(clsid, nullptr, running.put())) || !running) return object;
  running->QueryInterface(IID_IDispatch, object.putVoid());
  return object;
}

ComPtr<IDispatch> CreateItunes() { return CreateByProgId(kItunesProgId); }
ComPtr<IDispatch> CreateMediaMonkey() { return CreateByProgId(kMediaMonkeyProgId); }
ComPtr<IDispatch> AttachFoobar2000() { return AttachByProgId(kFoobar2000ProgId); }

// --- the players

// What iTunes tells of the track it plays, all in one visit.
struct ItunesPlayback {
  std::u16string path;
  int32_t bitrate = 0;
  int32_t sampleRate = 0;
  int32_t duration = 0;
};

constexpr int kInfoBitrate = 21, kInfoSampleRate = 22, kInfoDuration = 23;

std::optional<int32_t> ItunesPlaybackInfo(const ItunesPlayback& playback, int kind) {
  switch (kind) {
    case kInfoBitrate: return playback.bitrate;
    case kInfoSampleRate: return playback.sampleRate;
    case kInfoDuration: return playback.duration;
    default: return std::nullopt;
  }
}

bool IsItunesInfoKind(int kind) { return ItunesPlaybackInfo(ItunesPlayback{}, kind).has_value(); }

ItunesPlayback ReadItunesPlayback(Calls& calls) {
  ItunesPlayback playback;
  if (calls.GetInt(calls.App(), L"", L"PlayerState") != kItunesPlaying) return playback;
  ComPtr<IDispatch> track = calls.GetChild(calls.App(), L"", L"CurrentTrack");
  if (!track) return playback;
  constexpr std::wstring_view kTrack = L"CurrentTrack";
  playback.path = calls.GetText(track.get(), kTrack, L"Location").value_or(std::u16string());
  playback.bitrate = calls.GetInt(track.get(), kTrack, L"BitRate").value_or(0);
  playback.sampleRate = calls.GetInt(track.get(), kTrack, L"SampleRate").value_or(0);
  playback.duration = calls.GetInt(track.get(), kTrack, L"Duration").value_or(0);
  return playback;
}

std::u16string MediaMonkeyPath(Calls& calls) {
  ComPtr<IDispatch> player = calls.GetChild(calls.App(), L"", L"Player");
  ComPtr<IDispatch> song = calls.GetChild(player.get(), L"Player", L"CurrentSong");
  return calls.GetText(song.get(), L"Player.CurrentSong", L"Path").value_or(std::u16string());
}

constexpr std::wstring_view kPlayback = L"Playback";

ComPtr<IDispatch> Foobar2000Playback(Calls& calls) { return calls.GetChild(calls.App(), L"", kPlayback); }

// "Playback"."FormatTitle"(format) as text.
std::optional<std::u16string> FormatTitle(Calls& calls, IDispatch* playback, std::u16string_view format) {
  UniqueBstr text(::SysAllocStringLen(W(format.data()), UINT(format.size())));
  if (!text) return std::nullopt;
  VARIANT arg;
  arg.vt = VT_BSTR;
  arg.bstrVal = text.get();  // still owned by text
  UniqueVariant result;
  if (FAILED(calls.Invoke(playback, kPlayback, L"FormatTitle", DISPATCH_METHOD | DISPATCH_PROPERTYGET, &arg, 1,
                          result.get())))
    return std::nullopt;
  return AsText(result);
}

bool Foobar2000Command(Calls& calls, int command) {
  const auto method = Foobar2000MethodFor(command);
  if (!method) return false;
  ComPtr<IDispatch> playback = Foobar2000Playback(calls);
  if (!playback) return false;
  const std::wstring name(method->Name.begin(), method->Name.end());
  VARIANT arg;
  arg.vt = VT_BOOL;
  arg.boolVal = VARIANT_FALSE;
  UniqueVariant ignored;
  calls.Invoke(playback.get(), kPlayback, name, DISPATCH_METHOD, method->PassFalse ? &arg : nullptr,
               method->PassFalse ? 1 : 0, ignored.get());
  return true;
}

// foobar2000 runs while its kept object answers (a call that costs one
// round trip and nothing in the player), else while it offers a running
// object to attach to.
bool Foobar2000Running(KeptLaneState& state) {
  KeptApplication& app = KeptFrom(state);
  app.Drop();
  return bool(AttachFoobar2000());
}

// One lane per player: a call stuck in one player's object costs that player
// only. At most one call per player is left stuck: two threads of our
// apartment waiting on the same player when it dies crash the process under
// Wine's COM (docs/wine-notes.md), and a second call would not have been
// answered sooner anyway.
constexpr size_t kMaxStuckCallsPerPlayer = 1;

BoundedLane& AutomationLane(AutomationPlayer player) {
  constexpr auto kMta = BoundedLane::Apartment::MultiThreaded;
  static BoundedLane lanes[kAutomationPlayerCount] = {BoundedLane(kMta, kMaxStuckCallsPerPlayer),
                                                      BoundedLane(kMta, kMaxStuckCallsPerPlayer),
                                                      BoundedLane(kMta, kMaxStuckCallsPerPlayer)};
  return lanes[size_t(player)];
}

std::atomic<DWORD> gAutomationTimeoutMs{kAutomationTimeoutMs};

// Runs body on the player's kept application object in the player's lane.
template <typename R>
std::optional<R> RunOnApplication(AutomationPlayer player, Obtain obtain, std::function<R(Calls&)> body) {
  return RunBoundedKeeping<R>(AutomationLane(player), gAutomationTimeoutMs,
                              [obtain, body = std::move(body)](KeptLaneState& state) {
                                R answer = WithApplication<R>(state, obtain, body);
                                KeptFrom(state).Drop();
                                return answer;
                              });
}

constexpr AutomationPlayer kItunes = AutomationPlayer::Itunes;
constexpr AutomationPlayer kMediaMonkey = AutomationPlayer::MediaMonkey;
constexpr AutomationPlayer kFoobar2000 = AutomationPlayer::Foobar2000;

std::atomic<DWORD> gItunesAnswerFreshMs{kItunesAnswerFreshMs};

class AutomationRoutes final : public IAutomationRoutes {
 public:
  bool Foobar2000AutomationRunning() override {
    return RunBoundedKeeping<bool>(AutomationLane(kFoobar2000), gAutomationTimeoutMs, Foobar2000Running)
        .value_or(false);
  }

  PathAnswer GetFoobar2000Path() override {
    return RunOnApplication<std::u16string>(kFoobar2000, AttachFoobar2000, [](Calls& calls) {
      ComPtr<IDispatch> playback = Foobar2000Playback(calls);
      return FormatTitle(calls, playback.get(), u"%path%").value_or(std::u16string());
    });
  }

  // The read runs on a copy of the track record: a worker that is given up
  // must not write into the record the caller uses.
  bool ReadFoobar2000Track() override {
    struct Outcome {
      bool isNew = false;
      TrackInfo track;
    };
    auto outcome = RunOnApplication<Outcome>(kFoobar2000, AttachFoobar2000, [before = Track()](Calls& calls) {
      Outcome o{false, before};  // each attempt starts from the record as it was
      ComPtr<IDispatch> playback = Foobar2000Playback(calls);
      if (!playback) return o;
      auto format = [&](std::u16string_view f) { return FormatTitle(calls, playback.get(), f); };
      o.isNew = ReadFoobar2000TrackFrom(format, platform::FileSizeFromDirectory, o.track);
      return o;
    });
    if (!outcome) return false;
    Track() = std::move(outcome->track);
    return outcome->isNew;
  }

  PathAnswer GetItunesPath() override {
    const std::optional<ItunesPlayback> playback = AskItunes();
    if (!playback) return std::nullopt;
    return playback->path;
  }

  int32_t GetItunesInfo(int kind) override {
    if (!IsItunesInfoKind(kind)) return 0;
    if (std::optional<ItunesPlayback> recent = RecentItunesAnswer())
      return ItunesPlaybackInfo(*recent, kind).value_or(0);
    const std::optional<ItunesPlayback> playback = AskItunes();
    return playback ? ItunesPlaybackInfo(*playback, kind).value_or(0) : 0;
  }

  PathAnswer GetMediaMonkeyCurrentSongPath() override {
    return RunOnApplication<std::u16string>(kMediaMonkey, CreateMediaMonkey, MediaMonkeyPath);
  }

  void SendFoobar2000Command(int command) override {
    RunOnApplication<bool>(kFoobar2000, AttachFoobar2000,
                           [command](Calls& calls) { return Foobar2000Command(calls, command); });
  }

 private:
  std::optional<ItunesPlayback> AskItunes() {
    std::optional<ItunesPlayback> playback = RunOnApplication<ItunesPlayback>(kItunes, CreateItunes, ReadItunesPlayback);
    std::lock_guard lock(itunesMutex_);
    lastItunes_ = playback;
    lastItunesAtMs_ = ::GetTickCount();
    return playback;
  }

  std::optional<ItunesPlayback> RecentItunesAnswer() {
    std::lock_guard lock(itunesMutex_);
    if (!lastItunes_ || ::GetTickCount() - lastItunesAtMs_ >= gItunesAnswerFreshMs) return std::nullopt;
    return lastItunes_;
  }

  std::mutex itunesMutex_;  // the routes may be asked from more than one thread
  std::optional<ItunesPlayback> lastItunes_;
  DWORD lastItunesAtMs_ = 0;
};

}  // namespace

DWORD SetAutomationTimeout(DWORD ms) { return gAutomationTimeoutMs.exchange(ms); }

DWORD SetItunesAnswerFreshness(DWORD ms) { return gItunesAnswerFreshMs.exchange(ms); }

size_t StuckAutomationCalls(AutomationPlayer player) { return AutomationLane(player).StuckCount(); }

IAutomationRoutes& Win32AutomationRoutes() {
  static AutomationRoutes routes;
  return routes;
}

}  // namespace tunelet::win32
