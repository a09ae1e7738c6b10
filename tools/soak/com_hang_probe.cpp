// com_hang_probe: what a process keeps of its cross-process COM calls once
// the server it called hung under them and quit, with nothing of Tunelet in
// the way. The same program is the server (--serve TAG) and the client.
//
// The client calls as the plug-in's automation route does: each call on a
// fresh thread in the multithreaded apartment, given up after a bound (the
// thread ends on its own when the call returns). Rounds, each against a new
// server process:
//   plain        the calls are answered, then the server quits
//   hung-answer  two calls are stuck while the server hangs; it answers,
//                the threads end, then it quits
//   hung-quit    two calls are stuck; the server answers and quits at once,
//                while the threads are still calling
//   hung-killed  two calls are stuck; the server is ended without answering
// After each round, with every calling thread ended, it prints the handles
// the process holds beyond those it held after the first call (type and
// name), and at the end the growth per round kind.
//
//   com_hang_probe [--rounds N]   (each kind N times, default 3)
#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "counts.h"

namespace {

// The probe's own class; served by the server process only while it runs
// (registered with the system, no registry entries).
constexpr CLSID kProbeClass = {0x5d0c3a91, 0x8e4b, 0x4c2a, {0xa6, 0x1f, 0x37, 0x90, 0x0b, 0xd2, 0x6e, 0x14}};

constexpr DWORD kStartBoundMs = 10000;
constexpr DWORD kHangBoundMs = 60000;     // a hung server answers again after this at the latest
constexpr DWORD kCallBoundMs = 300;       // the client gives a call up after this
constexpr DWORD kThreadEndBoundMs = 30000;
constexpr int kCallsPerThread = 20;       // round trips per calling thread
constexpr int kMostStuckThreads = 2;

std::wstring EventName(const std::wstring& tag, const wchar_t* what) { return L"Local\\comprobe-" + tag + L"-" + what; }

// --- the server

// QueryInterface of an object with one interface besides IUnknown.
template <typename Interface>
HRESULT QueryOne(Interface* self, REFIID riid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = riid == IID_IUnknown || riid == iid ? self : nullptr;
  if (!*out) return E_NOINTERFACE;
  self->AddRef();
  return S_OK;
}

// An automation object with one property, read as a player's is. The
// server's objects live as long as its process: counts are not kept.
class Instance final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return QueryOne<IDispatch>(this, riid, IID_IDispatch, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) override {
    for (UINT i = 0; i < count; ++i) ids[i] = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    if (result) {
      result->vt = VT_I4;
      result->lVal = 1;
    }
    return S_OK;
  }
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return QueryOne<IClassFactory>(this, riid, IID_IClassFactory, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    static Instance instance;
    return outer ? CLASS_E_NOAGGREGATION : instance.QueryInterface(riid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

// Ends the process the moment the client asks, whatever the apartment does.
DWORD WINAPI QuitWatcher(void* quit) {
  ::WaitForSingleObject(static_cast<HANDLE>(quit), INFINITE);
  ::ExitProcess(0);
}

// A single-threaded apartment that pumps messages; "hang" makes it stop
// taking them (incoming calls wait) until "answer".
int Serve(const std::wstring& tag) {
  const HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, EventName(tag, L"ready").c_str());
  const HANDLE hang = ::CreateEventW(nullptr, FALSE, FALSE, EventName(tag, L"hang").c_str());
  const HANDLE answer = ::CreateEventW(nullptr, FALSE, FALSE, EventName(tag, L"answer").c_str());
  const HANDLE quit = ::CreateEventW(nullptr, TRUE, FALSE, EventName(tag, L"quit").c_str());
  if (!ready || !hang || !answer || !quit) return 2;
  ::CloseHandle(::CreateThread(nullptr, 0, QuitWatcher, quit, 0, nullptr));
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  static Factory factory;
  DWORD cookie = 0;
  if (FAILED(::CoRegisterClassObject(kProbeClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie)))
    return 2;
  ::SetEvent(ready);
  for (;;) {
    if (::MsgWaitForMultipleObjects(1, &hang, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0) {
      ::WaitForSingleObject(answer, kHangBoundMs);
      continue;
    }
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  }
}

// --- the client

struct Server {
  PROCESS_INFORMATION process{};
  HANDLE hang = nullptr, answer = nullptr, quit = nullptr;

  bool Start(int round) {
    const std::wstring tag = std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(round);
    const HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, EventName(tag, L"ready").c_str());
    hang = ::CreateEventW(nullptr, FALSE, FALSE, EventName(tag, L"hang").c_str());
    answer = ::CreateEventW(nullptr, FALSE, FALSE, EventName(tag, L"answer").c_str());
    quit = ::CreateEventW(nullptr, TRUE, FALSE, EventName(tag, L"quit").c_str());
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --serve " + tag;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    const bool started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                                          &process) &&
                         ::WaitForSingleObject(ready, kStartBoundMs) == WAIT_OBJECT_0;
    ::CloseHandle(ready);
    return started;
  }
  void Quit() {
    ::SetEvent(quit);
    ::WaitForSingleObject(process.hProcess, kStartBoundMs);
  }
  void Kill() {
    ::TerminateProcess(process.hProcess, 1);
    ::WaitForSingleObject(process.hProcess, kStartBoundMs);
  }
  ~Server() {
    for (HANDLE h : {process.hProcess, process.hThread, hang, answer, quit})
      if (h) ::CloseHandle(h);
  }
};

// One calling thread: its own multithreaded apartment, then a new object
// and a property read through IDispatch, a number of times, as a route call
// of the plug-in does.
DWORD WINAPI CallingThread(void*) {
  if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  for (int i = 0; i < kCallsPerThread; ++i) {
    IDispatch* object = nullptr;
    if (FAILED(::CoCreateInstance(kProbeClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(&object))))
      break;
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"PlayerState")};
    VARIANT value;
    ::VariantInit(&value);
    DISPPARAMS none{};
    const bool answered =
        SUCCEEDED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) &&
        SUCCEEDED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr,
                                 nullptr));
    ::VariantClear(&value);
    object->Release();
    if (!answered) break;
  }
  ::CoUninitialize();
  return 0;
}

// Starts a calling thread and waits for it at most boundMs; the thread
// handle is returned so that the caller can wait for its end later.
HANDLE Call(DWORD boundMs) {
  const HANDLE thread = ::CreateThread(nullptr, 0, CallingThread, nullptr, 0, nullptr);
  if (thread) ::WaitForSingleObject(thread, boundMs);
  return thread;
}

bool EndAll(HANDLE (&threads)[kMostStuckThreads]) {
  bool ended = true;
  for (HANDLE& t : threads) {
    if (!t) continue;
    ended = ::WaitForSingleObject(t, kThreadEndBoundMs) == WAIT_OBJECT_0 && ended;
    ::CloseHandle(t);
    t = nullptr;
  }
  return ended;
}

enum class Kind { Plain, HungAnswer, HungQuit, HungKilled };
const char* KindName(Kind k) {
  switch (k) {
    case Kind::Plain: return "plain";
    case Kind::HungAnswer: return "hung-answer";
    case Kind::HungQuit: return "hung-quit";
    case Kind::HungKilled: return "hung-killed";
  }
  return "?";
}

bool RunRound(Kind kind, int round, int stuck) {
  Server server;
  if (!server.Start(round)) return false;
  HANDLE threads[kMostStuckThreads] = {};
  if (kind == Kind::Plain) {
    threads[0] = Call(kThreadEndBoundMs);
    server.Quit();
    return EndAll(threads);
  }
  ::SetEvent(server.hang);
  ::Sleep(kCallBoundMs);  // the server has stopped taking calls
  for (int i = 0; i < stuck; ++i) threads[i] = Call(kCallBoundMs);
  switch (kind) {
    case Kind::HungAnswer:
      ::SetEvent(server.answer);
      if (!EndAll(threads)) return false;
      server.Quit();
      break;
    case Kind::HungQuit:
      ::SetEvent(server.answer);
      server.Quit();
      break;
    case Kind::HungKilled:
      server.Kill();
      break;
    case Kind::Plain: break;
  }
  return EndAll(threads);
}

int Probe(int rounds, int stuck) {
  // The first call brings COM and RPC up in this process; what they keep
  // for good from then on is not what is looked for.
  Server first;
  if (!first.Start(0)) {
    std::printf("com_hang_probe: the server did not start\n");
    return 2;
  }
  HANDLE warm[kMostStuckThreads] = {Call(kThreadEndBoundMs), nullptr};
  EndAll(warm);
  first.Quit();
  const std::multiset<std::string> base = soak::HandleSnapshot();
  std::printf("after one plain round: %zu handles (%s)\n", base.size(), soak::DescribeHandleTypes().c_str());

  std::map<Kind, long> growth;
  int round = 1;
  for (Kind kind : {Kind::Plain, Kind::HungAnswer, Kind::HungKilled, Kind::HungQuit}) {
    for (int i = 0; i < rounds; ++i, ++round) {
      const size_t before = soak::HandleSnapshot().size();
      if (!RunRound(kind, round, stuck)) {
        std::printf("com_hang_probe: round %d (%s) did not end\n", round, KindName(kind));
        return 2;
      }
      const std::multiset<std::string> now = soak::HandleSnapshot();
      growth[kind] += long(now.size()) - long(before);
      std::printf("round %2d %-11s: %zu handles (%+ld this round, %+ld in all)\n%s", round, KindName(kind), now.size(),
                  long(now.size()) - long(before), long(now.size()) - long(base.size()),
                  soak::DescribeAddedHandles(base, now).c_str());
    }
  }
  for (const auto& [kind, n] : growth)
    std::printf("%-11s: %+ld handles over %d rounds\n", KindName(kind), n, rounds);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--serve") return Serve(argv[2]);
  int rounds = 3, stuck = 1;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring option = argv[i];
    const int value = _wtoi(argv[i + 1]);
    if (option == L"--rounds") rounds = std::max(1, value);
    else if (option == L"--stuck") stuck = std::clamp(value, 1, kMostStuckThreads);
  }
  return Probe(rounds, stuck);
}
