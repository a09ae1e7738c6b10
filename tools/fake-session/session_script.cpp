// Reading the simulated manager's script (format: session_script.h).
#include "session_script.h"

#include <windows.h>

#include <charconv>
#include <functional>
#include <map>
#include <mutex>

namespace fakesession {

namespace {

constexpr wchar_t kScriptVariable[] = L"TUNELET_FAKE_SESSIONS";

std::vector<std::string> SplitLine(std::string_view line) {
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

template <class T>
bool ParseInt(const std::string& s, T* out) {
  const char* end = s.data() + s.size();
  const auto [ptr, ec] = std::from_chars(s.data(), end, *out);
  return ec == std::errc() && ptr == end && !s.empty();
}

bool ParseOutcome(const std::string& s, Outcome* out) {
  if (s == "now") {
    *out = {};
  } else if (s == "hang") {
    *out = {Outcome::Kind::Hang, 0};
  } else if (s == "fail") {
    *out = {Outcome::Kind::Fail, 0};
  } else {
    uint32_t ms = 0;
    if (!ParseInt(s, &ms) || ms > kMaxDelayMs) return false;
    *out = ms == 0 ? Outcome{} : Outcome{Outcome::Kind::Delay, ms};
  }
  return true;
}

bool ParseStatus(const std::string& s, SessionStatus* out) {
  static const std::map<std::string, SessionStatus, std::less<>> kNames = {
      {"closed", SessionStatus::Closed},   {"opened", SessionStatus::Opened},   {"changing", SessionStatus::Changing},
      {"stopped", SessionStatus::Stopped}, {"playing", SessionStatus::Playing}, {"paused", SessionStatus::Paused}};
  const auto it = kNames.find(s);
  if (it == kNames.end()) return false;
  *out = it->second;
  return true;
}

bool ParseType(const std::string& s, PlaybackKind* out) {
  static const std::map<std::string, PlaybackKind, std::less<>> kNames = {{"unknown", PlaybackKind::Unknown},
                                                                          {"music", PlaybackKind::Music},
                                                                          {"video", PlaybackKind::Video},
                                                                          {"image", PlaybackKind::Image},
                                                                          {"none", PlaybackKind::None}};
  const auto it = kNames.find(s);
  if (it == kNames.end()) return false;
  *out = it->second;
  return true;
}

// Applies one split line; an error text when it cannot.
std::string ApplyLine(const std::vector<std::string>& a, ScriptState& state) {
  const std::string& name = a[0];
  const size_t args = a.size() - 1;
  auto expect = [&](size_t lo, size_t hi) { return args >= lo && args <= hi; };

  if (name == "log") {
    if (!expect(1, 1)) return "log takes a path";
    state.logPath = Widen(a[1]);
    return {};
  }
  static const std::map<std::string, Outcome ScriptState::*, std::less<>> kCalls = {
      {"request", &ScriptState::request},
      {"activation", &ScriptState::activation},
      {"sessions-call", &ScriptState::sessionsCall}};
  if (const auto call = kCalls.find(name); call != kCalls.end()) {
    return expect(1, 1) && ParseOutcome(a[1], &(state.*(call->second))) ? "" : "bad outcome";
  }
  if (name == "session") {
    if (!expect(1, 1)) return "session takes an app id";
    if (state.sessions.size() >= kMaxSessions) return "too many sessions";
    state.sessions.push_back({});
    state.sessions.back().appId = Widen(a[1]);
    return {};
  }
  if (state.sessions.empty()) return "no session before " + name;
  SessionState& s = state.sessions.back();

  static const std::map<std::string, std::wstring SessionState::*, std::less<>> kTexts = {
      {"title", &SessionState::title},   {"subtitle", &SessionState::subtitle},
      {"artist", &SessionState::artist}, {"album-artist", &SessionState::albumArtist},
      {"album", &SessionState::album}};
  if (const auto text = kTexts.find(name); text != kTexts.end()) {
    if (!expect(1, 1)) return name + " takes one text";
    s.*(text->second) = Widen(a[1]);
    return {};
  }
  static const std::map<std::string, Outcome SessionState::*, std::less<>> kOutcomes = {
      {"properties", &SessionState::properties}, {"open", &SessionState::open}, {"read", &SessionState::read}};
  if (const auto outcome = kOutcomes.find(name); outcome != kOutcomes.end()) {
    return expect(1, 1) && ParseOutcome(a[1], &(s.*(outcome->second))) ? "" : "bad outcome";
  }
  if (name == "current") {
    if (!expect(0, 0)) return "current takes nothing";
    s.current = true;
    return {};
  }
  if (name == "status") return expect(1, 1) && ParseStatus(a[1], &s.status) ? "" : "bad status";
  if (name == "type") return expect(1, 1) && ParseType(a[1], &s.type) ? "" : "bad type";
  if (name == "track") return expect(1, 1) && ParseInt(a[1], &s.trackNumber) ? "" : "bad number";
  if (name == "track-count") return expect(1, 1) && ParseInt(a[1], &s.trackCount) ? "" : "bad number";
  if (name == "genres") {
    if (args > kMaxGenres) return "too many genres";
    s.genres.clear();
    for (size_t i = 1; i < a.size(); ++i) s.genres.push_back(Widen(a[i]));
    return {};
  }
  if (name == "timeline") {
    const bool ok = expect(3, 3) && ParseInt(a[1], &s.startTicks) && ParseInt(a[2], &s.endTicks) &&
                    ParseInt(a[3], &s.positionTicks);
    return ok ? "" : "timeline takes three numbers";
  }
  if (name == "thumbnail") {
    if (!expect(1, 2)) return "thumbnail takes a path and a size";
    s.thumbnailPath = Widen(a[1]);
    s.thumbnailReportedSize.reset();
    if (args == 2) {
      uint64_t size = 0;
      if (!ParseInt(a[2], &size)) return "bad size";
      s.thumbnailReportedSize = size;
    }
    return {};
  }
  return "unknown directive " + name;
}

}  // namespace

ScriptState ParseScript(std::string_view text) {
  ScriptState state;
  size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (line.size() > kMaxLineBytes) {
      state.errors.push_back(std::to_string(lineNumber) + " line too long");
      continue;
    }
    const std::vector<std::string> args = SplitLine(line);
    if (args.empty() || args[0][0] == '#') continue;
    if (std::string error = ApplyLine(args, state); !error.empty())
      state.errors.push_back(std::to_string(lineNumber) + " " + error);
  }
  return state;
}

ScriptState LoadScript() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(kScriptVariable, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text(kMaxScriptBytes, '\0');
  DWORD read = 0;
  const BOOL ok = ReadFile(file, text.data(), DWORD(text.size()), &read, nullptr);
  CloseHandle(file);
  if (!ok) return {};
  text.resize(read);
  ScriptState state = ParseScript(text);
  for (const std::string& e : state.errors) AppendLog(state.logPath, "script-error " + e);
  return state;
}

bool BlockAsScripted(Outcome ScriptState::*call, const ScriptState& state) {
  constexpr DWORD kHangPollMs = 20;
  Outcome outcome = state.*call;
  while (outcome.kind == Outcome::Kind::Hang) {
    Sleep(kHangPollMs);
    outcome = LoadScript().*call;
  }
  if (outcome.kind == Outcome::Kind::Delay) Sleep(outcome.delayMs);
  return outcome.kind != Outcome::Kind::Fail;
}

void AppendLog(const std::wstring& logPath, std::string_view line) {
  if (logPath.empty()) return;
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  HANDLE file = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = std::string(line) + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
  CloseHandle(file);
}

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring out(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
  return out;
}

std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace fakesession
