// Command registry, line splitting, the command log and the window directory.
#include "script.h"

#include <cstdio>
#include <map>
#include <mutex>

namespace fakeplayer {

namespace {
std::map<std::string, CommandHandler, std::less<>>& Registry() {
  static std::map<std::string, CommandHandler, std::less<>> registry;
  return registry;
}
std::vector<MessageHook>& Hooks() {
  static std::vector<MessageHook> hooks;
  return hooks;
}

std::mutex gWindowsMutex;
std::map<std::string, HWND, std::less<>> gWindows;

std::mutex gLogMutex;
std::wstring gLogPath;
}  // namespace

void SetLogPath(std::wstring path) {
  std::lock_guard lock(gLogMutex);
  gLogPath = std::move(path);
}

const std::string& Command::Arg(size_t i) const {
  static const std::string kEmpty;
  return i < args.size() ? args[i] : kEmpty;
}

bool Command::Int(size_t i, int64_t* out) const {
  if (i >= args.size() || args[i].empty()) return false;
  const std::string& s = args[i];
  char* end = nullptr;
  const bool negative = s[0] == '-';
  const char* digits = s.c_str() + (negative ? 1 : 0);
  const unsigned long long v = std::strtoull(digits, &end, 0);
  if (end == digits || *end != '\0') return false;
  *out = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
  return true;
}

std::wstring Command::WideArg(size_t i) const { return Widen(Arg(i)); }

bool RegisterCommand(std::string name, CommandHandler handler) {
  return Registry().emplace(std::move(name), std::move(handler)).second;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    if (i >= line.size()) break;
    std::string arg;
    bool quoted = false;
    for (; i < line.size(); ++i) {
      const char c = line[i];
      if (quoted) {
        if (c != '"') {
          arg += c;
        } else if (i + 1 < line.size() && line[i + 1] == '"') {
          arg += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else if (c == '"') {
        quoted = true;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        break;
      } else {
        arg += c;
      }
    }
    out.push_back(std::move(arg));
  }
  return out;
}

intptr_t RunCommandLine(std::string_view line) {
  std::vector<std::string> words = SplitCommandLine(line);
  if (words.empty() || words[0][0] == '#') return 0;
  Command c;
  c.name = std::move(words[0]);
  c.args.assign(std::make_move_iterator(words.begin() + 1), std::make_move_iterator(words.end()));
  const auto it = Registry().find(c.name);
  if (it == Registry().end()) {
    LogLine("error unknown-command " + c.name);
    return kCommandFailed;
  }
  const intptr_t result = it->second(c);
  if (result == kCommandFailed) LogLine("error bad-arguments " + c.name);
  return result;
}

intptr_t RunScript(std::string_view text) {
  intptr_t result = 0;
  while (!text.empty()) {
    const size_t eol = text.find('\n');
    const std::string_view line = text.substr(0, eol);
    result = RunCommandLine(line);
    if (result == kCommandFailed) return result;
    if (eol == std::string_view::npos) break;
    text.remove_prefix(eol + 1);
  }
  return result;
}

void LogLine(std::string_view line) {
  std::lock_guard lock(gLogMutex);
  if (gLogPath.empty()) return;
  if (FILE* f = _wfopen(gLogPath.c_str(), L"ab")) {
    std::fwrite(line.data(), 1, line.size(), f);
    std::fputc('\n', f);
    std::fclose(f);
  }
}

void ClearLog() {
  std::lock_guard lock(gLogMutex);
  if (gLogPath.empty()) return;
  if (FILE* f = _wfopen(gLogPath.c_str(), L"wb")) std::fclose(f);
}

HWND PlayerWindow(std::string_view id) {
  std::lock_guard lock(gWindowsMutex);
  const auto it = gWindows.find(id);
  return it == gWindows.end() ? nullptr : it->second;
}

std::string PlayerWindowId(HWND window) {
  std::lock_guard lock(gWindowsMutex);
  for (const auto& [id, w] : gWindows)
    if (w == window) return id;
  return {};
}

void AddPlayerWindow(std::string id, HWND window) {
  std::lock_guard lock(gWindowsMutex);
  gWindows[std::move(id)] = window;
}

void RemovePlayerWindow(std::string_view id) {
  std::lock_guard lock(gWindowsMutex);
  const auto it = gWindows.find(id);
  if (it != gWindows.end()) gWindows.erase(it);
}

void RegisterMessageHook(MessageHook hook) { Hooks().push_back(std::move(hook)); }

std::optional<LRESULT> RunMessageHooks(HWND window, UINT message, WPARAM w, LPARAM l) {
  for (const auto& hook : Hooks())
    if (auto r = hook(window, message, w, l)) return r;
  return std::nullopt;
}

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
  return out;
}

std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string ToAnsi(std::string_view utf8) {
  const std::wstring wide = Widen(utf8);
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace fakeplayer
