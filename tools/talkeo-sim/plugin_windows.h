// What the user sees of a plug-in's own windows, from inside the host: the
// plug-in's top-level windows with their class, caption, place, styles and
// alpha; the texts the plug-in drew into them; appear and vanish events;
// clicks and mouse moves through the system's input queue; and pictures of
// the screen as PNG files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace talkeo_sim {

class SimHost;

// One top-level window as the user would look at it.
struct WindowView {
  HWND hwnd = nullptr;
  std::wstring className, caption;
  RECT rect{};  // screen coordinates, the whole window
  LONG_PTR style = 0, exStyle = 0;
  std::optional<BYTE> alpha;  // the layered window's alpha, when it has one
  bool visible = false, foreground = false, active = false;
  // What the plug-in drew into it at its last paint, in drawing order; the
  // texts of its child windows when it drew none.
  std::vector<std::wstring> texts;
};

// The plug-in's top-level windows on this process (those whose instance or
// class belongs to module), in z-order, top first.
std::vector<WindowView> ListPluginWindows(HMODULE module);
// The first visible window of the class among them (the topmost), if any.
std::optional<WindowView> FindPluginWindow(HMODULE module, const std::wstring& className);

// "Tpopform "Tunelet popup" at (1052, 956)–(1272, 1019) 220×63, visible, alpha 230,
// style 0x80000000, ex-style 0x08080088 (TOPMOST TOOLWINDOW LAYERED NOACTIVATE)"
std::string DescribeWindow(const WindowView& w);
// What users call the window: "popup", "QuickInfo", "control window", or the class.
std::string WindowKind(const std::wstring& className);
// "popup Tpopform at (1052,  956)–(1272, 1019): Winamp | 10:02 | Кино "Звезда""
std::string DescribeWindowEvent(const WindowView& w);

// Records the texts a module draws: its imports of DrawTextW, DrawTextExW,
// ExtTextOutW, TextOutW, BeginPaint and EndPaint are pointed at recorders
// that pass every call on unchanged. A text drawn into a memory DC counts for
// the window being painted. Host thread only.
class DrawnTexts {
 public:
  // Hooks the module's imports; false when it imports none of the text calls.
  static bool Trace(HMODULE module);
  // The texts drawn into the window since its last BeginPaint.
  static std::vector<std::wstring> Of(HWND hwnd);
  static void Forget(HWND hwnd);
};

// Counts the hooks a module holds: its imports of SetWindowsHookExW,
// SetWindowsHookExA and UnhookWindowsHookEx are pointed at counters that pass
// every call on (the system has no count of a process's hooks to ask, and
// Wine's GetGuiResources answers 0). Hooks set before Trace are not seen.
class HookTrace {
 public:
  static bool Trace(HMODULE module);
  // Hooks set and not yet removed, of every traced module.
  static int Live();
};

// Records what a module hands the shell to open: its import of ShellExecuteW
// is pointed at a recorder that opens nothing (no browser starts in a test)
// and answers as a successful open does. Host thread only.
class ShellOpens {
 public:
  struct Opened {
    HWND owner = nullptr;
    std::wstring verb, file, parameters;  // "" for a null text
    int show = 0;
  };
  // Hooks the module's import; false when it imports no ShellExecuteW.
  static bool Trace(HMODULE module);
  // What was opened since the last Take, in order.
  static std::vector<Opened> Take();
};

enum class MouseButton { Left, Right, Middle };
bool ParseMouseButton(const std::wstring& word, MouseButton& out);

// Moves the cursor to a screen point.
bool MoveMouse(POINT screen);
// Moves the cursor there and presses and releases the button, through the
// system's input queue (SendInput): the window under the point receives the
// messages when the host next pumps.
bool ClickAt(POINT screen, MouseButton button);
// The screen point of client point (x, y) of a window.
POINT ClientToScreenPoint(HWND hwnd, int x, int y);

// Saves the screen, or the part of it inside area, as a 24-bit PNG file.
bool SaveScreenPng(const std::wstring& path, const RECT* area, std::string* error);

// Watches the plug-in's top-level windows and reports each one that appears
// (becomes visible) or vanishes (is hidden or destroyed). Poll() is cheap;
// SimHost calls it while it pumps once Watch() has attached it.
class WindowWatch {
 public:
  enum class Change { Appeared, Vanished };
  struct Event {
    Change change;
    WindowView window;  // as last seen, for a vanished one
  };
  using Sink = std::function<void(const Event&)>;

  explicit WindowWatch(SimHost& host) : host_(host) {}
  ~WindowWatch();  // detaches from the host's pump
  WindowWatch(const WindowWatch&) = delete;
  WindowWatch& operator=(const WindowWatch&) = delete;
  void SetSink(Sink sink) { sink_ = std::move(sink); }
  // Attaches to the host's pump (and traces the texts of its module).
  void Watch();
  void Poll();
  // Pumps the host until a visible window of the class exists (present) or
  // none does (!present), at most boundMs; the window found, or nothing.
  std::optional<WindowView> WaitFor(const std::wstring& className, bool present, uint32_t boundMs);

 private:
  SimHost& host_;
  Sink sink_;
  bool attached_ = false;
  struct Seen {
    WindowView view;
    uint32_t firstMs = 0;
    bool reported = false;
  };
  std::map<HWND, Seen> seen_;
};

}  // namespace talkeo_sim
