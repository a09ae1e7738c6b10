// The simulated media player: a process that stands in for any row of the
// player table. Its windows live on a "player thread"; a hidden control window
// on the main thread takes commands (WM_COPYDATA text, see README.md) so that
// a test can drive it live, also while the player thread hangs.
#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <tuple>

#include "script.h"

namespace fakeplayer {
void SetLogPath(std::wstring path);  // script.cpp
}

using namespace fakeplayer;

namespace {

constexpr wchar_t kControlClass[] = L"TuneletFakePlayerControl";
constexpr wchar_t kDispatchClass[] = L"TuneletFakePlayerDispatch";
constexpr ULONG_PTR kCopyDataCommands = 0x46504C59;  // "FPLY"
constexpr UINT kRunOnPlayerThread = WM_APP + 1;
constexpr UINT kEnterHang = WM_APP + 2;
constexpr UINT kQuit = WM_APP + 3;
constexpr DWORD kLongestHangMs = 120000;  // a forgotten "unhang" must not leave a zombie

HWND gControl = nullptr;
HWND gDispatch = nullptr;
DWORD gPlayerThreadId = 0;
HANDLE gHangEntered = nullptr;  // auto-reset: the player thread is now hung
HANDLE gHangRelease = nullptr;  // manual-reset while hung
bool gHanging = false;          // control thread only

// --- the answer table: (window, message, wParam or any, lParam or any) -> result
struct AnswerKey {
  HWND window;
  UINT message;
  bool anyW;
  WPARAM w;
  bool anyL;
  LPARAM l;
  bool operator<(const AnswerKey& o) const {
    return std::tie(window, message, anyW, w, anyL, l) < std::tie(o.window, o.message, o.anyW, o.w, o.anyL, o.l);
  }
};
struct Answer {
  LRESULT value = 0;
  std::string windowRef;  // "@id": the handle of that player window, looked up when asked
};
std::mutex gAnswersMutex;
std::map<AnswerKey, Answer> gAnswers;

std::optional<LRESULT> LookUpAnswer(HWND window, UINT message, WPARAM w, LPARAM l) {
  std::lock_guard lock(gAnswersMutex);
  const AnswerKey keys[] = {{window, message, false, w, false, l},
                            {window, message, false, w, true, 0},
                            {window, message, true, 0, false, l},
                            {window, message, true, 0, true, 0}};
  for (const AnswerKey& k : keys) {
    const auto it = gAnswers.find(k);
    if (it == gAnswers.end()) continue;
    if (it->second.windowRef.empty()) return it->second.value;
    return reinterpret_cast<LRESULT>(PlayerWindow(it->second.windowRef));
  }
  return std::nullopt;
}

bool IsLoggedMessage(UINT message) {
  return message == WM_COMMAND || message == WM_APPCOMMAND || (message >= WM_USER && message < 0xC000);
}

LRESULT CALLBACK PlayerWindowProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
  if (IsLoggedMessage(message)) {
    const std::string id = PlayerWindowId(hwnd);
    LogLine("msg " + (id.empty() ? std::string("?") : id) + " " + std::to_string(message) + " " +
            std::to_string(static_cast<uintptr_t>(w)) + " " + std::to_string(static_cast<intptr_t>(l)));
  }
  if (auto r = RunMessageHooks(hwnd, message, w, l)) return *r;
  if (auto r = LookUpAnswer(hwnd, message, w, l)) return *r;
  if (message == WM_APPCOMMAND) return TRUE;  // handled here; never bubble to the shell
  if (message >= WM_USER && message < 0xC000) return 0;
  return DefWindowProcW(hwnd, message, w, l);
}

bool EnsureClassRegistered(const std::wstring& className) {
  WNDCLASSW existing{};
  if (GetClassInfoW(GetModuleHandleW(nullptr), className.c_str(), &existing)) return true;
  WNDCLASSW wc{};
  wc.lpfnWndProc = PlayerWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = className.c_str();
  return RegisterClassW(&wc) != 0;
}

// --- player thread
LRESULT CALLBACK DispatchWindowProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
  if (message == kRunOnPlayerThread) {
    (*reinterpret_cast<const std::function<void()>*>(l))();
    return 0;
  }
  if (message == kEnterHang) {
    SetEvent(gHangEntered);
    WaitForSingleObject(gHangRelease, kLongestHangMs);
    return 0;
  }
  return DefWindowProcW(hwnd, message, w, l);
}

DWORD WINAPI PlayerThread(void* ready) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DispatchWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kDispatchClass;
  RegisterClassW(&wc);
  gDispatch = CreateWindowExW(0, kDispatchClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  SetEvent(static_cast<HANDLE>(ready));
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

// --- control window
LRESULT CALLBACK ControlWindowProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_COPYDATA) {
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(l);
    if (!cds || cds->dwData != kCopyDataCommands) return kCommandFailed;
    return RunScript(std::string_view(static_cast<const char*>(cds->lpData), cds->cbData));
  }
  if (message == kQuit) {
    ExitProcess(0);  // also when the player thread hangs
  }
  return DefWindowProcW(hwnd, message, w, l);
}

// --- core commands
bool ParseWordOrAny(const Command& c, size_t i, bool* any, int64_t* v) {
  if (c.Arg(i) == "*") {
    *any = true;
    *v = 0;
    return true;
  }
  *any = false;
  return c.Int(i, v);
}

intptr_t CreatePlayerWindow(const Command& c, HWND parent) {
  // window <id> <class> [<title>]   /   child <id> <parent-id> <class> [<text>]
  const size_t classArg = parent ? 2 : 1;
  if (c.Count() <= classArg || PlayerWindow(c.Arg(0))) return kCommandFailed;
  const std::wstring cls = c.WideArg(classArg);
  const std::wstring title = c.WideArg(classArg + 1);
  const bool hasTitle = c.Count() > classArg + 1;
  HWND created = nullptr;
  RunOnPlayerThread([&] {
    if (!EnsureClassRegistered(cls)) return;
    created = CreateWindowExW(0, cls.c_str(), hasTitle ? title.c_str() : nullptr,
                              parent ? WS_CHILD : WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, parent, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  });
  if (!created) return kCommandFailed;
  AddPlayerWindow(c.Arg(0), created);
  return reinterpret_cast<intptr_t>(created);
}

const bool kCoreCommands = [] {
  RegisterCommand("ping", [](const Command&) -> intptr_t { return 1; });
  RegisterCommand("pid", [](const Command&) -> intptr_t { return intptr_t(GetCurrentProcessId()); });
  RegisterCommand("window", [](const Command& c) { return CreatePlayerWindow(c, nullptr); });
  RegisterCommand("child", [](const Command& c) -> intptr_t {
    HWND parent = PlayerWindow(c.Arg(1));
    return parent ? CreatePlayerWindow(c, parent) : kCommandFailed;
  });
  RegisterCommand("hwnd", [](const Command& c) -> intptr_t {
    HWND w = PlayerWindow(c.Arg(0));
    return w ? reinterpret_cast<intptr_t>(w) : kCommandFailed;
  });
  RegisterCommand("title", [](const Command& c) -> intptr_t {
    HWND w = PlayerWindow(c.Arg(0));
    if (!w || c.Count() < 2) return kCommandFailed;
    const std::wstring text = c.WideArg(1);
    BOOL ok = FALSE;
    RunOnPlayerThread([&] { ok = SetWindowTextW(w, text.c_str()); });
    return ok ? 0 : kCommandFailed;
  });
  RegisterCommand("destroy", [](const Command& c) -> intptr_t {
    HWND w = PlayerWindow(c.Arg(0));
    if (!w) return kCommandFailed;
    RunOnPlayerThread([&] { DestroyWindow(w); });
    RemovePlayerWindow(c.Arg(0));
    return 0;
  });
  RegisterCommand("answer", [](const Command& c) -> intptr_t {
    // answer <window-id> <message> <wParam|*> <lParam|*> <result|@window-id>
    HWND w = PlayerWindow(c.Arg(0));
    int64_t message = 0, wv = 0, lv = 0, value = 0;
    bool anyW = false, anyL = false;
    if (!w || !c.Int(1, &message) || !ParseWordOrAny(c, 2, &anyW, &wv) || !ParseWordOrAny(c, 3, &anyL, &lv))
      return kCommandFailed;
    Answer a;
    if (!c.Arg(4).empty() && c.Arg(4)[0] == '@') {
      a.windowRef = c.Arg(4).substr(1);
    } else if (c.Int(4, &value)) {
      a.value = LRESULT(value);
    } else {
      return kCommandFailed;
    }
    std::lock_guard lock(gAnswersMutex);
    gAnswers[AnswerKey{w, UINT(message), anyW, WPARAM(anyW ? 0 : wv), anyL, LPARAM(anyL ? 0 : lv)}] = a;
    return 0;
  });
  RegisterCommand("hang", [](const Command&) -> intptr_t {
    if (gHanging) return 0;
    ResetEvent(gHangRelease);
    gHanging = true;
    PostMessageW(gDispatch, kEnterHang, 0, 0);
    // Return only once the player thread really stopped answering.
    return WaitForSingleObject(gHangEntered, 10000) == WAIT_OBJECT_0 ? 0 : kCommandFailed;
  });
  RegisterCommand("unhang", [](const Command&) -> intptr_t {
    gHanging = false;
    SetEvent(gHangRelease);
    return 0;
  });
  RegisterCommand("sync", [](const Command&) -> intptr_t {
    RunOnPlayerThread([] {});  // returns once the player thread takes messages again
    return 0;
  });
  RegisterCommand("log-clear", [](const Command&) -> intptr_t {
    ClearLog();
    return 0;
  });
  RegisterCommand("quit", [](const Command&) -> intptr_t {
    SetEvent(gHangRelease);
    PostMessageW(gControl, kQuit, 0, 0);
    return 0;
  });
  return true;
}();

std::wstring ArgAfter(int argc, wchar_t** argv, const wchar_t* name) {
  for (int i = 1; i + 1 < argc; ++i)
    if (lstrcmpW(argv[i], name) == 0) return argv[i + 1];
  return {};
}

std::string ReadWholeFile(const std::wstring& path) {
  std::string out;
  if (FILE* f = _wfopen(path.c_str(), L"rb")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    fclose(f);
  }
  return out;
}

}  // namespace

namespace fakeplayer {
void RunOnPlayerThread(const std::function<void()>& fn) {
  if (GetCurrentThreadId() == gPlayerThreadId) {
    fn();
    return;
  }
  SendMessageW(gDispatch, kRunOnPlayerThread, 0, reinterpret_cast<LPARAM>(&fn));
}
}  // namespace fakeplayer

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const std::wstring controlName = ArgAfter(argc, argv, L"--control");
  const std::wstring logPath = ArgAfter(argc, argv, L"--log");
  const std::wstring scriptPath = ArgAfter(argc, argv, L"--script");
  LocalFree(argv);
  if (!logPath.empty()) SetLogPath(logPath);

  gHangEntered = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  gHangRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, PlayerThread, ready, 0, &gPlayerThreadId);
  if (!thread || WaitForSingleObject(ready, 10000) != WAIT_OBJECT_0 || !gDispatch) return 2;
  CloseHandle(ready);

  if (!scriptPath.empty() && RunScript(ReadWholeFile(scriptPath)) == kCommandFailed) return 3;

  // The control window appears last: once a test finds it, the player is ready.
  WNDCLASSW wc{};
  wc.lpfnWndProc = ControlWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kControlClass;
  RegisterClassW(&wc);
  gControl = CreateWindowExW(0, kControlClass, controlName.c_str(), WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                             instance, nullptr);
  if (!gControl) return 4;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
