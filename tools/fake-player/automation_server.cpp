// The automation objects of iTunes, MediaMonkey and foobar2000, answering from
// a table the script fills. iTunes and MediaMonkey hand out new application
// objects through a registered class object; foobar2000 offers its running
// object. Every call the objects receive is logged.
//
//   automation-serve <player>                       registers the ProgID and starts serving
//   automation-stop <player>                        stops serving (the ProgID stays registered)
//   automation-int <player> <member> <number>       a member answers a VT_I4
//   automation-text <player> <member> <text>        a member answers a VT_BSTR
//   automation-clear <player> <member>              forgets a value or sub-object
//   automation-fail <player> <member>               the member fails from now on
//   automation-hang / automation-unhang             the serving thread stops answering (at most 60 s)
//
// <player> is itunes, mediamonkey or foobar2000. <member> is a dotted path
// from the application object ("CurrentTrack.Location"); a call with one
// argument is keyed by the argument: "Playback.FormatTitle([%title%])".
// Log lines: "automation <player> create", "automation <player> get <member>",
// "automation <player> call <member>[ <argument>]" (Booleans as true/false).
// Name lookups log "automation-ids <player> <name>" (a prefix of their own,
// so that the call lines above read as before).
// Objects handed out before automation-stop, or before the serving that
// followed it, are gone as a quit player's are: their calls fail with
// RPC_E_DISCONNECTED and are not logged.
#include <objbase.h>
#include <oleauto.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "script.h"

using namespace fakeplayer;

namespace {

struct PlayerObjectModel {
  const char* key;
  const wchar_t* progId;
  CLSID clsid;
  bool runningObject;                   // RegisterActiveObject rather than a class object
  std::vector<std::string> subObjects;  // member paths that answer an object
};

const PlayerObjectModel kModels[] = {
    {"itunes", L"iTunes.Application",
     {0x7a1c6c2e, 0x3b1f, 0x4f55, {0x9e, 0x0b, 0x2c, 0x7e, 0x1d, 0x4a, 0x9b, 0x01}}, false, {"CurrentTrack"}},
    {"mediamonkey", L"SongsDB.SDBApplication",
     {0x7a1c6c2e, 0x3b1f, 0x4f55, {0x9e, 0x0b, 0x2c, 0x7e, 0x1d, 0x4a, 0x9b, 0x02}}, false,
     {"Player", "Player.CurrentSong"}},
    {"foobar2000", L"Foobar2000.Application.0.7",
     {0x7a1c6c2e, 0x3b1f, 0x4f55, {0x9e, 0x0b, 0x2c, 0x7e, 0x1d, 0x4a, 0x9b, 0x03}}, true, {"Playback"}},
};

const PlayerObjectModel* FindModel(const std::string& key) {
  for (const auto& m : kModels)
    if (key == m.key) return &m;
  return nullptr;
}

struct Value {
  bool isInt = false;
  int32_t number = 0;
  std::wstring text;
};

struct PlayerState {
  std::map<std::string, Value> values;
  std::set<std::string> objects;
  std::set<std::string> failing;
  DWORD cookie = 0;
  bool serving = false;
  unsigned generation = 0;  // counts the times serving started
};

std::mutex gMutex;
std::map<std::string, PlayerState> gPlayers;
std::vector<std::wstring> gNames;  // DISPID - 1 indexes this

DISPID IdOfName(const wchar_t* name) {
  std::lock_guard lock(gMutex);
  for (size_t i = 0; i < gNames.size(); ++i)
    if (_wcsicmp(gNames[i].c_str(), name) == 0) return DISPID(i + 1);
  gNames.emplace_back(name);
  return DISPID(gNames.size());
}

std::string NameOfId(DISPID id) {
  std::lock_guard lock(gMutex);
  return id >= 1 && size_t(id) <= gNames.size() ? Narrow(gNames[id - 1]) : std::string();
}

std::string ArgumentText(const VARIANT& v) {
  if (v.vt == VT_BOOL) return v.boolVal ? "true" : "false";
  VARIANT text;
  VariantInit(&text);
  std::string s = "?";
  if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&v), 0, VT_BSTR)))
    s = Narrow(std::wstring(text.bstrVal, SysStringLen(text.bstrVal)));
  VariantClear(&text);
  return s;
}

HRESULT FailWithException(EXCEPINFO* exception) {
  if (exception) {
    *exception = EXCEPINFO{};
    exception->bstrSource = SysAllocString(L"fake-player");
    exception->bstrDescription = SysAllocString(L"scripted failure");
    exception->scode = E_FAIL;
  }
  return DISP_E_EXCEPTION;
}

// One object of a player's model: the application object (prefix "") or a
// sub-object ("CurrentTrack.").
class ScriptedObject final : public IDispatch {
 public:
  // generation: that of the serving the object is handed out in.
  ScriptedObject(std::string player, std::string prefix, unsigned generation)
      : player_(std::move(player)), prefix_(std::move(prefix)), generation_(generation) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return Disconnected() ? RPC_E_DISCONNECTED : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (Disconnected()) return RPC_E_DISCONNECTED;
    for (UINT i = 0; i < count; ++i) {
      LogLine("automation-ids " + player_ + " " + Narrow(names[i]));
      ids[i] = IdOfName(names[i]);
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT*) override {
    if (Disconnected()) return RPC_E_DISCONNECTED;
    const std::string name = NameOfId(id);
    const std::string member = prefix_ + name;
    const bool isCall = (flags & DISPATCH_METHOD) != 0;
    const UINT argCount = params ? params->cArgs : 0;
    std::string key = member;
    std::string line = "automation " + player_ + (isCall ? " call " : " get ") + member;
    if (argCount > 0) {
      const std::string arg = ArgumentText(params->rgvarg[argCount - 1]);  // arguments come last first
      line += " " + arg;
      key += "(" + arg + ")";
    }
    LogLine(line);
    if (result) VariantInit(result);

    std::lock_guard lock(gMutex);
    PlayerState& state = gPlayers[player_];
    if (state.failing.count(member)) return FailWithException(exception);
    if (auto it = state.values.find(key); it != state.values.end()) {
      if (!result) return S_OK;
      if (it->second.isInt) {
        result->vt = VT_I4;
        result->lVal = it->second.number;
      } else {
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocStringLen(it->second.text.data(), UINT(it->second.text.size()));
      }
      return S_OK;
    }
    if (state.objects.count(member)) {
      if (result) {
        result->vt = VT_DISPATCH;
        result->pdispVal = new ScriptedObject(player_, member + ".", generation_);
      }
      return S_OK;
    }
    if (isCall) {
      // Title formatting answers an empty text for what it does not know;
      // commands answer nothing.
      if (result && name == "FormatTitle") {
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(L"");
      }
      return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  bool Disconnected() {
    std::lock_guard lock(gMutex);
    const PlayerState& state = gPlayers[player_];
    return !state.serving || state.generation != generation_;
  }

  std::atomic<ULONG> refs_{1};
  std::string player_;
  std::string prefix_;
  unsigned generation_;
};

class ApplicationFactory final : public IClassFactory {
 public:
  ApplicationFactory(std::string player, unsigned generation) : player_(std::move(player)), generation_(generation) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    LogLine("automation " + player_ + " create");
    auto* app = new ScriptedObject(player_, "", generation_);
    const HRESULT hr = app->QueryInterface(riid, out);
    app->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  std::atomic<ULONG> refs_{1};
  std::string player_;
  unsigned generation_;
};

// --- the serving thread: a single-threaded apartment that pumps messages

constexpr UINT kRunTask = WM_APP + 40;
constexpr UINT kHang = WM_APP + 41;
constexpr DWORD kLongestHangMs = 60000;
DWORD gServerThreadId = 0;
HANDLE gHangRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);

DWORD WINAPI ServerThread(void* ready) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  MSG msg;
  PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // create the queue
  SetEvent(static_cast<HANDLE>(ready));
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!msg.hwnd && msg.message == kRunTask) {
      auto* task = reinterpret_cast<std::pair<std::function<void()>*, HANDLE>*>(msg.lParam);
      (*task->first)();
      SetEvent(task->second);
      continue;
    }
    if (!msg.hwnd && msg.message == kHang) {
      WaitForSingleObject(gHangRelease, kLongestHangMs);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  CoUninitialize();
  return 0;
}

bool RunOnServerThread(std::function<void()> fn) {
  static const bool started = [] {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, ServerThread, ready, 0, &gServerThreadId);
    const bool ok = thread && WaitForSingleObject(ready, 10000) == WAIT_OBJECT_0;
    if (thread) CloseHandle(thread);
    CloseHandle(ready);
    return ok;
  }();
  if (!started) return false;
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::pair<std::function<void()>*, HANDLE> task{&fn, done};
  const bool ok = PostThreadMessageW(gServerThreadId, kRunTask, 0, reinterpret_cast<LPARAM>(&task)) &&
                  WaitForSingleObject(done, 10000) == WAIT_OBJECT_0;
  CloseHandle(done);
  return ok;
}

bool RegisterProgId(const PlayerObjectModel& m) {
  wchar_t clsid[64] = {};
  StringFromGUID2(m.clsid, clsid, 64);
  const std::wstring progKey = std::wstring(m.progId) + L"\\CLSID";
  const std::wstring classKey = std::wstring(L"CLSID\\") + clsid + L"\\ProgID";
  for (const auto& [key, value] : {std::pair{progKey, std::wstring(clsid)}, std::pair{classKey, std::wstring(m.progId)}}) {
    HKEY k = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != ERROR_SUCCESS)
      return false;
    const LONG r = RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  DWORD((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    if (r != ERROR_SUCCESS) return false;
  }
  return true;
}

intptr_t Serve(const Command& c) {
  const PlayerObjectModel* m = FindModel(c.Arg(0));
  if (!m || !RegisterProgId(*m)) return kCommandFailed;
  unsigned generation = 0;
  {
    std::lock_guard lock(gMutex);
    PlayerState& state = gPlayers[m->key];
    for (const auto& o : m->subObjects) state.objects.insert(o);  // also brings cleared ones back
    if (state.serving) return 0;
    generation = ++state.generation;
  }
  HRESULT hr = E_FAIL;
  DWORD cookie = 0;
  RunOnServerThread([&] {
    if (m->runningObject) {
      auto* app = new ScriptedObject(m->key, "", generation);
      hr = RegisterActiveObject(app, m->clsid, ACTIVEOBJECT_STRONG, &cookie);
      app->Release();
    } else {
      auto* factory = new ApplicationFactory(m->key, generation);
      hr = CoRegisterClassObject(m->clsid, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
      factory->Release();
    }
  });
  if (FAILED(hr)) return kCommandFailed;
  std::lock_guard lock(gMutex);
  gPlayers[m->key].cookie = cookie;
  gPlayers[m->key].serving = true;
  return 0;
}

intptr_t StopServing(const Command& c) {
  const PlayerObjectModel* m = FindModel(c.Arg(0));
  if (!m) return kCommandFailed;
  DWORD cookie = 0;
  {
    std::lock_guard lock(gMutex);
    PlayerState& state = gPlayers[m->key];
    if (!state.serving) return 0;
    cookie = state.cookie;
    state.serving = false;
  }
  RunOnServerThread([&] {
    if (m->runningObject)
      RevokeActiveObject(cookie, nullptr);
    else
      CoRevokeClassObject(cookie);
  });
  return 0;
}

// Runs fn on the state of the command's player; fails for an unknown player
// or a missing member argument.
intptr_t WithPlayer(const Command& c, size_t needed, const std::function<void(PlayerState&)>& fn) {
  if (!FindModel(c.Arg(0)) || c.Count() < needed) return kCommandFailed;
  std::lock_guard lock(gMutex);
  fn(gPlayers[c.Arg(0)]);
  return 0;
}

const bool kRegistered = [] {
  RegisterCommand("automation-serve", Serve);
  RegisterCommand("automation-hang", [](const Command&) -> intptr_t {
    if (!gServerThreadId) return kCommandFailed;
    ResetEvent(gHangRelease);
    return PostThreadMessageW(gServerThreadId, kHang, 0, 0) ? 0 : kCommandFailed;
  });
  RegisterCommand("automation-unhang", [](const Command&) -> intptr_t {
    SetEvent(gHangRelease);
    return 0;
  });
  RegisterCommand("automation-stop", StopServing);
  RegisterCommand("automation-int", [](const Command& c) -> intptr_t {
    int64_t n = 0;
    if (!c.Int(2, &n)) return kCommandFailed;
    return WithPlayer(c, 3, [&](PlayerState& s) { s.values[c.Arg(1)] = Value{true, int32_t(n), {}}; });
  });
  RegisterCommand("automation-text", [](const Command& c) -> intptr_t {
    return WithPlayer(c, 3, [&](PlayerState& s) { s.values[c.Arg(1)] = Value{false, 0, c.WideArg(2)}; });
  });
  RegisterCommand("automation-clear", [](const Command& c) -> intptr_t {
    return WithPlayer(c, 2, [&](PlayerState& s) {
      s.values.erase(c.Arg(1));
      s.objects.erase(c.Arg(1));
      s.failing.erase(c.Arg(1));
    });
  });
  RegisterCommand("automation-fail", [](const Command& c) -> intptr_t {
    return WithPlayer(c, 2, [&](PlayerState& s) { s.failing.insert(c.Arg(1)); });
  });
  return true;
}();

}  // namespace
