// The simulated player's command registry and the services its modules share.
// A module is a source file of this tool that registers commands (and, if it
// answers window messages, a message hook) from a static initialiser:
//
//   static const bool kRegistered = fakeplayer::RegisterCommand(
//       "my-command", [](const fakeplayer::Command& c) -> intptr_t { ...; return 0; });
//
// Commands arrive as text lines (README.md); each line is split into a name and
// arguments, and the handler registered under the name runs on the control
// thread. Handlers that touch the player's windows use RunOnPlayerThread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fakeplayer {

// The result of a command that failed (unknown name, bad arguments).
constexpr intptr_t kCommandFailed = INTPTR_MIN;

struct Command {
  std::string name;
  std::vector<std::string> args;  // UTF-8, quotes removed

  size_t Count() const { return args.size(); }
  // Argument i, or empty when missing.
  const std::string& Arg(size_t i) const;
  // Argument i as an integer (decimal, 0x hex, optional '-'); false when
  // missing or not a number.
  bool Int(size_t i, int64_t* out) const;
  std::wstring WideArg(size_t i) const;
};

using CommandHandler = std::function<intptr_t(const Command&)>;

// Registers a handler; false when the name is already taken.
bool RegisterCommand(std::string name, CommandHandler handler);

// Splits one line: blanks separate arguments, double quotes group them ("" is
// a literal quote inside quotes), backslashes are ordinary characters.
std::vector<std::string> SplitCommandLine(std::string_view line);
// Runs one line; empty lines and lines starting with '#' give 0.
intptr_t RunCommandLine(std::string_view line);
// Runs every line of text; stops at the first failure. The result is that of
// the last line run.
intptr_t RunScript(std::string_view text);

// Appends one line to the command log (the --log file), flushed at once.
void LogLine(std::string_view line);
void ClearLog();

// The player's windows, by the id a script gave them.
HWND PlayerWindow(std::string_view id);
std::string PlayerWindowId(HWND window);  // empty when not a player window
void AddPlayerWindow(std::string id, HWND window);
void RemovePlayerWindow(std::string_view id);

// Message hooks see every message a player window receives before the answer
// table does; the first hook that returns a value answers it.
using MessageHook = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;
void RegisterMessageHook(MessageHook hook);
std::optional<LRESULT> RunMessageHooks(HWND window, UINT message, WPARAM w, LPARAM l);

// Runs fn on the thread that owns the player windows and returns when it ran.
// While the player hangs this waits until it answers again.
void RunOnPlayerThread(const std::function<void()>& fn);

// UTF-8 <-> UTF-16 and UTF-8 -> system ANSI, for arguments.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
std::string ToAnsi(std::string_view utf8);

}  // namespace fakeplayer
