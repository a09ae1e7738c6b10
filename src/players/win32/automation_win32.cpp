#include "players/win32/automation_win32.h"

#include <objbase.h>
#include <oleauto.h>

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

// --- late-bound calls

// Invokes a member by name; result may be null. The exception record a
// failing server fills in is freed here.
HRESULT InvokeByName(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* args, UINT argCount,
                     VARIANT* result) {
  if (!object) return E_POINTER;
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
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

std::optional<std::u16string> GetText(IDispatch* object, const wchar_t* name) {
  UniqueVariant value;
  if (FAILED(InvokeByName(object, name, DISPATCH_PROPERTYGET, nullptr, 0, value.get()))) return std::nullopt;
  return AsText(value);
}

std::optional<int32_t> GetInt(IDispatch* object, const wchar_t* name) {
  UniqueVariant value;
  if (FAILED(InvokeByName(object, name, DISPATCH_PROPERTYGET, nullptr, 0, value.get()))) return std::nullopt;
  return AsInt(value);
}

ComPtr<IDispatch> GetChildObject(IDispatch* object, const wchar_t* name) {
  ComPtr<IDispatch> child;
  UniqueVariant value;
  if (FAILED(InvokeByName(object, name, DISPATCH_PROPERTYGET, nullptr, 0, value.get()))) return child;
  const VARIANT& v = *value;
  IUnknown* unknown = v.vt == VT_DISPATCH ? v.pdispVal : v.vt == VT_UNKNOWN ? v.punkVal : nullptr;
  if (unknown) unknown->QueryInterface(IID_IDispatch, child.putVoid());
  return child;
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

// --- the players

std::u16string ItunesPath() {
  ComPtr<IDispatch> app = CreateByProgId(kItunesProgId);
  if (GetInt(app.get(), L"PlayerState") != kItunesPlaying) return {};
  ComPtr<IDispatch> track = GetChildObject(app.get(), L"CurrentTrack");
  return GetText(track.get(), L"Location").value_or(std::u16string());
}

int32_t ItunesInfo(int kind) {
  const wchar_t* property = kind == 21 ? L"BitRate" : kind == 22 ? L"SampleRate" : kind == 23 ? L"Duration" : nullptr;
  if (!property) return 0;
  ComPtr<IDispatch> app = CreateByProgId(kItunesProgId);
  if (GetInt(app.get(), L"PlayerState") != kItunesPlaying) return 0;
  ComPtr<IDispatch> track = GetChildObject(app.get(), L"CurrentTrack");
  return GetInt(track.get(), property).value_or(0);
}

std::u16string MediaMonkeyPath() {
  ComPtr<IDispatch> app = CreateByProgId(kMediaMonkeyProgId);
  ComPtr<IDispatch> player = GetChildObject(app.get(), L"Player");
  ComPtr<IDispatch> song = GetChildObject(player.get(), L"CurrentSong");
  return GetText(song.get(), L"Path").value_or(std::u16string());
}

ComPtr<IDispatch> Foobar2000Playback() {
  ComPtr<IDispatch> app = AttachByProgId(kFoobar2000ProgId);
  return GetChildObject(app.get(), L"Playback");
}

// "Playback"."FormatTitle"(format) as text.
std::optional<std::u16string> FormatTitle(IDispatch* playback, std::u16string_view format) {
  UniqueBstr text(::SysAllocStringLen(W(format.data()), UINT(format.size())));
  if (!text) return std::nullopt;
  VARIANT arg;
  arg.vt = VT_BSTR;
  arg.bstrVal = text.get();  // still owned by text
  UniqueVariant result;
  if (FAILED(InvokeByName(playback, L"FormatTitle", DISPATCH_METHOD | DISPATCH_PROPERTYGET, &arg, 1, result.get())))
    return std::nullopt;
  return AsText(result);
}

void Foobar2000Command(int command) {
  const auto method = Foobar2000MethodFor(command);
  if (!method) return;
  ComPtr<IDispatch> playback = Foobar2000Playback();
  if (!playback) return;
  const std::wstring name(method->Name.begin(), method->Name.end());
  VARIANT arg;
  arg.vt = VT_BOOL;
  arg.boolVal = VARIANT_FALSE;
  UniqueVariant ignored;
  InvokeByName(playback.get(), name.c_str(), DISPATCH_METHOD, method->PassFalse ? &arg : nullptr,
               method->PassFalse ? 1 : 0, ignored.get());
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

DWORD gAutomationTimeoutMs = kAutomationTimeoutMs;

template <typename R>
std::optional<R> RunAutomation(AutomationPlayer player, std::function<R()> task) {
  return RunBounded<R>(AutomationLane(player), gAutomationTimeoutMs, std::move(task));
}

constexpr AutomationPlayer kItunes = AutomationPlayer::Itunes;
constexpr AutomationPlayer kMediaMonkey = AutomationPlayer::MediaMonkey;
constexpr AutomationPlayer kFoobar2000 = AutomationPlayer::Foobar2000;

class AutomationRoutes final : public IAutomationRoutes {
 public:
  bool Foobar2000AutomationRunning() override {
    return RunAutomation<bool>(kFoobar2000, [] { return bool(AttachByProgId(kFoobar2000ProgId)); }).value_or(false);
  }

  PathAnswer GetFoobar2000Path() override {
    return RunAutomation<std::u16string>(kFoobar2000, [] {
      ComPtr<IDispatch> playback = Foobar2000Playback();
      return FormatTitle(playback.get(), u"%path%").value_or(std::u16string());
    });
  }

  // The read runs on a copy of the track record: a worker that is given up
  // must not write into the record the host's thread uses.
  bool ReadFoobar2000Track() override {
    struct Outcome {
      bool isNew = false;
      TrackInfo track;
    };
    TrackInfo before = Track();
    auto outcome = RunAutomation<Outcome>(kFoobar2000, [before = std::move(before)]() mutable {
      Outcome o{false, std::move(before)};
      ComPtr<IDispatch> playback = Foobar2000Playback();
      if (!playback) return o;
      auto format = [&](std::u16string_view f) { return FormatTitle(playback.get(), f); };
      o.isNew = ReadFoobar2000TrackFrom(format, platform::FileSizeFromDirectory, o.track);
      return o;
    });
    if (!outcome) return false;
    Track() = std::move(outcome->track);
    return outcome->isNew;
  }

  PathAnswer GetItunesPath() override { return RunAutomation<std::u16string>(kItunes, ItunesPath); }

  int32_t GetItunesInfo(int kind) override {
    return RunAutomation<int32_t>(kItunes, [kind] { return ItunesInfo(kind); }).value_or(0);
  }

  PathAnswer GetMediaMonkeyCurrentSongPath() override {
    return RunAutomation<std::u16string>(kMediaMonkey, MediaMonkeyPath);
  }

  void SendFoobar2000Command(int command) override {
    RunAutomation<bool>(kFoobar2000, [command] {
      Foobar2000Command(command);
      return true;
    });
  }
};

}  // namespace

DWORD SetAutomationTimeout(DWORD ms) { return std::exchange(gAutomationTimeoutMs, ms); }

size_t StuckAutomationCalls(AutomationPlayer player) { return AutomationLane(player).StuckCount(); }

IAutomationRoutes& Win32AutomationRoutes() {
  static AutomationRoutes routes;
  return routes;
}

}  // namespace tunelet::win32
