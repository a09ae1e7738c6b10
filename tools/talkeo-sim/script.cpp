#include "script.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "ui/options_controls.h"

namespace talkeo_sim {

namespace {

constexpr size_t kMaxScriptSteps = 10000;
constexpr uint32_t kMaxWaitMs = 600000;
constexpr UINT kCopyDataAnswerTimeoutMs = 5000;

struct Grammar {
  const char* verb;
  size_t minArgs, maxArgs;
};
constexpr size_t kMany = 64;
constexpr Grammar kGrammar[] = {
    {"load", 1, 1},          {"create", 0, 0},       {"loaded", 0, 0},   {"start", 0, 0},
    {"enable", 0, 0},        {"disable", 0, 0},      {"shutdown", 0, 0}, {"options", 0, 0},
    {"release", 0, 0},       {"unload", 0, 0},       {"send", 1, 3},     {"wait", 1, 1},
    {"user-xstatus", 1, 3},  {"expect-xstatus", 1, 3}, {"expect-sent", 2, 2}, {"hostkept", 2, 2},
    {"shared-options", 1, 1}, {"ini", 3, 3},         {"run", 1, kMany},  {"kill", 0, 0},
    {"copydata", 4, 4},      {"echo", 0, kMany},    {"write-file", 2, 2},
    {"windows", 0, 0},       {"watch-windows", 1, 1}, {"wait-window", 2, 2}, {"wait-window-gone", 2, 2},
    {"expect-windows", 2, 2}, {"click", 1, 4},       {"mouse", 3, 3},    {"screenshot", 1, 2},
    {"tab", 1, 1},           {"control", 2, 3},      {"expect-control", 2, 5}, {"messagebox", 2, 4},
};

// The words after a control's name: what the user does to it, and what a
// script expects of it, each with the number of words that follow.
struct Verb {
  const wchar_t* word;
  size_t words;
};
constexpr Verb kControlActions[] = {{L"click", 0},  {L"press", 0}, {L"check", 0},  {L"uncheck", 0},
                                    {L"focus", 0},  {L"text", 1},  {L"type", 1},   {L"select", 1}, {L"key", 1}};
constexpr Verb kControlExpectations[] = {{L"text", 1},    {L"checked", 0}, {L"unchecked", 0}, {L"enabled", 0},
                                         {L"disabled", 0}, {L"shown", 0},  {L"hidden", 0},    {L"focused", 0},
                                         {L"selected", 1}, {L"length", 1}, {L"item", 2},      {L"cell", 3}};
constexpr struct {
  const wchar_t* word;
  int button;
} kAnswers[] = {{L"ok", IDOK}, {L"yes", IDYES}, {L"no", IDNO}, {L"cancel", IDCANCEL}};
constexpr uint32_t kMessageBoxWaitMs = 5000;

template <size_t N>
const Verb* FindVerb(const Verb (&verbs)[N], const std::wstring& word) {
  for (const auto& v : verbs)
    if (word == v.word) return &v;
  return nullptr;
}

int AnswerButton(const std::wstring& word) {
  for (const auto& a : kAnswers)
    if (word == a.word) return a.button;
  return 0;
}

const Grammar* FindGrammar(const std::string& verb) {
  for (const auto& g : kGrammar)
    if (verb == g.verb) return &g;
  return nullptr;
}

// Replaces a file with the text: written beside it, then moved over it, so
// that a program reading the file (a simulated player's script) never sees
// half of it. The move is tried again for a while: a reader that has the
// file open makes it fail now and then.
bool WriteTextFile(const std::wstring& path, const std::string& utf8) {
  const std::wstring temporary = path + L".new";
  HANDLE f = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = ::WriteFile(f, utf8.data(), DWORD(utf8.size()), &written, nullptr) && written == utf8.size();
  ::CloseHandle(f);
  for (int attempt = 0; ok && attempt < 100; ++attempt) {
    if (::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    ::Sleep(20);
  }
  ::DeleteFileW(temporary.c_str());
  return false;
}

bool ToInt(const std::wstring& s, long long lo, long long hi, long long& out) {
  if (s.empty()) return false;
  errno = 0;
  wchar_t* end = nullptr;
  const long long v = std::wcstoll(s.c_str(), &end, 0);
  if (errno != 0 || *end != L'\0' || v < lo || v > hi) return false;
  out = v;
  return true;
}

int32_t Int(const Token& t) {
  long long v = 0;
  ToInt(t.text, INT32_MIN, UINT32_MAX, v);
  return int32_t(uint32_t(v));
}

// Splits one line into statements of tokens; ";" outside quotes ends one.
bool Tokenize(const std::wstring& line, std::vector<std::vector<Token>>& statements, std::string& error) {
  statements.assign(1, {});
  size_t i = 0;
  while (i < line.size()) {
    const wchar_t c = line[i];
    if (c == L' ' || c == L'\t' || c == L'\r') {
      ++i;
    } else if (c == L'#') {
      break;
    } else if (c == L';') {
      statements.emplace_back();
      ++i;
    } else if (c == L'"') {
      size_t j = i + 1;
      while (j < line.size() && line[j] != L'"') j += line[j] == L'\\' ? 2 : 1;
      if (j >= line.size()) {
        error = "a text without its closing quote";
        return false;
      }
      Token t;
      t.quoted = true;
      if (!UnquoteText(ToUtf8(line.substr(i, j - i + 1)), t.text)) {
        error = "a bad escape in a text";
        return false;
      }
      statements.back().push_back(std::move(t));
      i = j + 1;
    } else {
      size_t j = i;
      while (j < line.size() && line[j] != L' ' && line[j] != L'\t' && line[j] != L';' && line[j] != L'\r') ++j;
      statements.back().push_back({line.substr(i, j - i), false});
      i = j;
    }
  }
  return true;
}

bool CheckStep(const Step& s, std::string& error) {
  const Grammar* g = FindGrammar(s.verb);
  if (!g) {
    error = "unknown step \"" + s.verb + "\"";
    return false;
  }
  if (s.args.size() < g->minArgs || s.args.size() > g->maxArgs) {
    error = "wrong number of words for \"" + s.verb + "\"";
    return false;
  }
  long long v = 0;
  auto number = [&](size_t i, long long lo, long long hi) {
    if (i < s.args.size() && !ToInt(s.args[i].text, lo, hi, v)) {
      error = "\"" + ToUtf8(s.args[i].text) + "\" is not a valid number for \"" + s.verb + "\"";
      return false;
    }
    return true;
  };
  if (s.verb == "wait") return number(0, 0, kMaxWaitMs);
  if (s.verb == "send") return number(0, INT32_MIN, INT32_MAX) && number(1, INT32_MIN, UINT32_MAX);
  if (s.verb == "user-xstatus") return number(0, 0, 0xFFFF);
  if (s.verb == "expect-xstatus" && s.args[0].text != L"cleared") return number(0, 0, 0xFFFF);
  if (s.verb == "copydata") return number(2, INT32_MIN, UINT32_MAX);
  if (s.verb == "expect-sent") return number(0, INT32_MIN, INT32_MAX) && number(1, 0, INT32_MAX);
  if (s.verb == "hostkept" && !FindRecordField(ToUtf8(s.args[0].text))) {
    error = "no record field \"" + ToUtf8(s.args[0].text) + "\"";
    return false;
  }
  if (s.verb == "wait-window" || s.verb == "wait-window-gone") return number(1, 0, kMaxWaitMs);
  if (s.verb == "expect-windows") return number(1, 0, 1000);
  if (s.verb == "watch-windows" && s.args[0].text != L"on" && s.args[0].text != L"off") {
    error = "watch-windows takes on or off";
    return false;
  }
  if (s.verb == "mouse") return number(1, INT32_MIN, INT32_MAX) && number(2, INT32_MIN, INT32_MAX);
  if (s.verb == "click") {
    // click <class|screen> [<x> <y>] [left|right|middle]: a button ends an even count
    MouseButton button;
    size_t n = s.args.size();
    if (n == 2 || n == 4) {
      if (!ParseMouseButton(s.args[n - 1].text, button)) {
        error = "\"" + ToUtf8(s.args[n - 1].text) + "\" is not left, right or middle";
        return false;
      }
      --n;
    }
    if (n == 1 && s.args[0].text == L"screen") {
      error = "click screen needs a point";
      return false;
    }
    return n == 1 || (number(1, INT32_MIN, INT32_MAX) && number(2, INT32_MIN, INT32_MAX));
  }
  if (s.verb == "tab") return number(0, 0, 63);
  if (s.verb == "control" || s.verb == "expect-control") {
    if (!OptionsControlByName(s.args[0].text)) {
      error = "no control \"" + ToUtf8(s.args[0].text) + "\" in the options dialog";
      return false;
    }
    const Verb* verb = s.verb == "control" ? FindVerb(kControlActions, s.args[1].text)
                                           : FindVerb(kControlExpectations, s.args[1].text);
    if (!verb) {
      error = "\"" + ToUtf8(s.args[1].text) + "\" is nothing " + s.verb + " knows";
      return false;
    }
    if (s.args.size() != 2 + verb->words) {
      error = "wrong number of words for \"" + s.verb + " " + ToUtf8(s.args[1].text) + "\"";
      return false;
    }
    const std::wstring& what = s.args[1].text;
    KeyCombo keys;
    if (s.verb == "control" && what == L"key" && !ParseKeyCombo(s.args[2].text, keys)) {
      error = "\"" + ToUtf8(s.args[2].text) + "\" is not a key such as Return, F5 or Ctrl+Shift+Q";
      return false;
    }
    if (what == L"select") return number(2, -1, INT32_MAX);
    if (what == L"selected") return number(2, -1, INT32_MAX);
    if (what == L"length") return number(2, 0, INT32_MAX);
    if (what == L"item") return number(2, 0, INT32_MAX);
    if (what == L"cell") return number(2, 0, INT32_MAX) && number(3, 0, 255);
    return true;
  }
  if (s.verb == "messagebox") {
    // messagebox expect "<text>" [answer ok|yes|no|cancel]
    if (s.args[0].text != L"expect" || s.args.size() == 3 ||
        (s.args.size() == 4 && (s.args[2].text != L"answer" || !AnswerButton(s.args[3].text)))) {
      error = "messagebox takes expect \"<text>\" and then answer ok, yes, no or cancel";
      return false;
    }
    return true;
  }
  if (s.verb == "shared-options" && s.args[0].text != L"null" && s.args[0].text != L"record") {
    error = "shared-options takes null or record";
    return false;
  }
  return true;
}

std::wstring QuoteArgument(const std::wstring& a) {
  if (!a.empty() && a.find_first_of(L" \t\"") == std::wstring::npos) return a;
  std::wstring q = L"\"";
  for (wchar_t c : a) {
    if (c == L'"') q += L'\\';
    q += c;
  }
  return q + L"\"";
}

}  // namespace

bool ParseScript(const std::string& utf8, std::vector<Step>& steps, std::string& error) {
  steps.clear();
  std::wstring text = FromUtf8(utf8);
  if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
  int lineNo = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    const size_t end = std::min(text.find(L'\n', pos), text.size());
    ++lineNo;
    std::vector<std::vector<Token>> statements;
    std::string why;
    if (!Tokenize(text.substr(pos, end - pos), statements, why)) {
      error = "line " + std::to_string(lineNo) + ": " + why;
      return false;
    }
    for (auto& words : statements) {
      if (words.empty()) continue;
      if (words[0].quoted) {
        error = "line " + std::to_string(lineNo) + ": a step cannot begin with a text";
        return false;
      }
      Step s;
      s.line = lineNo;
      s.verb = ToUtf8(words[0].text);
      s.args.assign(words.begin() + 1, words.end());
      if (!CheckStep(s, why)) {
        error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
      }
      if (steps.size() >= kMaxScriptSteps) {
        error = "more than " + std::to_string(kMaxScriptSteps) + " steps";
        return false;
      }
      steps.push_back(std::move(s));
    }
    pos = end + 1;
  }
  return true;
}

ScriptRunner::~ScriptRunner() { KillAll(); }

void ScriptRunner::KillAll() {
  for (auto& c : children_) {
    if (::WaitForSingleObject(c.process, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(c.process, 1);
      ::WaitForSingleObject(c.process, 5000);
    }
    ::CloseHandle(c.process);
  }
  children_.clear();
}

int ScriptRunner::Run(const std::vector<Step>& steps) {
  const bool worksDialog = std::any_of(steps.begin(), steps.end(), [](const Step& s) {
    return s.verb == "tab" || s.verb == "control" || s.verb == "messagebox";
  });
  if (worksDialog && !boxes_) boxes_ = std::make_unique<MessageBoxWatch>();
  for (size_t i = 0; i < steps.size(); ++i) {
    if (boxes_) ArmMessageBoxes(steps, i);
    if (!RunStep(steps[i])) return 2;
    host_.Pump(0);  // what a step queued is handled before the next one
    if (boxes_) ReportUnexpectedBoxes(steps[i]);
  }
  return failures_ ? 1 : 0;
}

// The messagebox steps right after step `from` (and `from` itself) wait for
// the boxes that step brings up: a box shown by a click runs its own modal
// loop inside the host's pump, where only the armed answer can reach it.
void ScriptRunner::ArmMessageBoxes(const std::vector<Step>& steps, size_t from) {
  for (size_t j = from; j < steps.size(); ++j) {
    if (steps[j].verb != "messagebox") {
      if (j > from) break;
      continue;
    }
    if (!boxTickets_.count(&steps[j]))
      boxTickets_[&steps[j]] = boxes_->Expect(steps[j].args.size() > 3 ? AnswerButton(steps[j].args[3].text) : IDOK);
  }
}

void ScriptRunner::ReportUnexpectedBoxes(const Step& s) {
  for (const MessageBoxView& box : boxes_->TakeUnexpected())
    Expect(s, false, "no message box, shown: " + QuoteText(box.caption) + " " + QuoteText(box.text) + " (closed)");
}

bool ScriptRunner::Fail(const Step& s, const std::string& why) {
  host_.Line("line " + std::to_string(s.line) + ": " + s.verb + ": " + why);
  return false;
}

bool ScriptRunner::Expect(const Step& s, bool ok, const std::string& what) {
  if (!ok) {
    ++failures_;
    host_.Line("line " + std::to_string(s.line) + ": EXPECTATION FAILED: " + what);
  }
  return true;
}

std::wstring ScriptRunner::IniPath() const {
  std::wstring p = host_.DllPath();
  const size_t slash = p.find_last_of(L"\\/:");
  const size_t dot = p.find_last_of(L'.');
  if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) p.erase(dot);
  return p + L".ini";
}

bool ScriptRunner::RunStep(const Step& s) {
  const auto& a = s.args;
  auto text = [&](size_t i) { return i < a.size() ? a[i].text : std::wstring(); };
  const std::string& v = s.verb;

  if (v == "load") {
    if (host_.Export()) return Fail(s, "a library is already loaded");
    std::string error;
    if (!host_.Load(text(0), &error)) return Fail(s, error);
    if (watch_) watch_->Watch();
    return true;
  }
  if (v == "create") return host_.Create() || Fail(s, "no plug-in was created (load a library first)");
  if (v == "loaded") return host_.Loaded() || Fail(s, "no plug-in to load");
  if (v == "start") return host_.Start() || Fail(s, "no plug-in to start");
  if (v == "enable" || v == "disable" || v == "shutdown" || v == "options") {
    if (!host_.Plugin()) return Fail(s, "no plug-in is held");
    if (v == "enable") host_.Enable();
    else if (v == "disable") host_.Disable();
    else if (v == "shutdown") host_.Shutdown();
    else host_.OpenOptions();
    return true;
  }
  if (v == "release") {
    if (!host_.Plugin()) return Fail(s, "no plug-in is held");
    const ULONG left = host_.Release();
    if (left != 0) host_.Line("the plug-in reports " + std::to_string(left) + " references after the host's release");
    return true;
  }
  if (v == "unload") {
    host_.Unload();
    return true;
  }
  if (v == "send") {
    if (!host_.Plugin()) return Fail(s, "no plug-in is held");
    const std::wstring t = text(2);
    host_.Send(Int(a[0]), a.size() > 1 ? Int(a[1]) : 0, 0,
               a.size() > 2 ? reinterpret_cast<intptr_t>(t.c_str()) : 0);
    return true;
  }
  if (v == "wait") {
    host_.Pump(uint32_t(Int(a[0])));
    return true;
  }
  if (v == "user-xstatus") {
    host_.UserSetsXStatus(Int(a[0]), text(1), text(2));
    return true;
  }
  if (v == "expect-xstatus") {
    const XStatus& shown = host_.Shown();
    if (text(0) == L"cleared") return Expect(s, shown.picture == 0, "X-status cleared, shown: " + DescribeXStatus(shown));
    bool ok = shown.picture == Int(a[0]);
    if (a.size() > 1) ok = ok && shown.title == text(1);
    if (a.size() > 2) ok = ok && shown.text == text(2);
    std::string want = "picture " + ToUtf8(text(0));
    if (a.size() > 1) want += " | title " + QuoteText(text(1));
    if (a.size() > 2) want += " | text " + QuoteText(text(2));
    return Expect(s, ok, want + ", shown: " + DescribeXStatus(shown));
  }
  if (v == "expect-sent") {
    const size_t n = host_.CountSent(Int(a[0]));
    return Expect(s, n == size_t(Int(a[1])),
                  std::to_string(Int(a[1])) + " messages " + ToUtf8(text(0)) + " sent, got " + std::to_string(n));
  }
  if (v == "hostkept") {
    const std::string value = a[1].quoted ? QuoteText(a[1].text) : ToUtf8(a[1].text);
    if (!SetRecordField(host_.Record(), ToUtf8(a[0].text), value)) return Fail(s, "bad value");
    return true;
  }
  if (v == "shared-options") {
    host_.SetSharedOptionsNull(text(0) == L"null");
    return true;
  }
  if (v == "ini") {
    if (host_.DllPath().empty()) return Fail(s, "load a library first");
    const std::wstring ini = IniPath();
    if (!::WritePrivateProfileStringW(text(0).c_str(), text(1).c_str(), text(2).c_str(), ini.c_str()))
      return Fail(s, "cannot write " + ToUtf8(ini));
    return true;
  }
  if (v == "run") {
    std::wstring cmd;
    for (const auto& t : a) cmd += (cmd.empty() ? L"" : L" ") + QuoteArgument(t.text);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si,
                          &pi))
      return Fail(s, "cannot start " + ToUtf8(text(0)) + " (error " + std::to_string(::GetLastError()) + ")");
    if (job_) ::AssignProcessToJobObject(job_, pi.hProcess);
    ::ResumeThread(pi.hThread);
    ::CloseHandle(pi.hThread);
    children_.push_back({pi.hProcess, pi.dwProcessId, text(0)});
    host_.Line("started " + ToUtf8(text(0)) + " (process " + std::to_string(pi.dwProcessId) + ")");
    return true;
  }
  if (v == "kill") {
    while (!children_.empty()) {
      Child c = children_.back();
      children_.pop_back();
      const bool running = ::WaitForSingleObject(c.process, 0) == WAIT_TIMEOUT;
      if (running) {
        ::TerminateProcess(c.process, 1);
        ::WaitForSingleObject(c.process, 5000);
      }
      ::CloseHandle(c.process);
      if (running) {
        host_.Line("ended " + ToUtf8(c.name) + " (process " + std::to_string(c.pid) + ")");
        return true;
      }
    }
    return Fail(s, "no program of the script is running");
  }
  if (v == "copydata") {
    // A program started by `run` may need a moment before its window exists;
    // the host keeps pumping meanwhile.
    HWND target = nullptr;
    for (uint32_t waited = 0;; waited += 50) {
      target = ::FindWindowW(text(0).c_str(), text(1).c_str());
      if (target || waited >= windowWaitMs_) break;
      host_.Pump(50);
    }
    if (!target) return Fail(s, "no window of class " + ToUtf8(text(0)) + " titled " + QuoteText(text(1)));
    const std::string bytes = ToUtf8(text(3));
    COPYDATASTRUCT cds{};
    cds.dwData = ULONG_PTR(uint32_t(Int(a[2])));
    cds.cbData = DWORD(bytes.size());
    cds.lpData = const_cast<char*>(bytes.data());
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(target, WM_COPYDATA, 0, LPARAM(&cds), SMTO_ABORTIFHUNG, kCopyDataAnswerTimeoutMs,
                               &answer))
      return Fail(s, "the window did not answer");
    if (host_.Verbose()) host_.Line("copydata answered " + std::to_string(intptr_t(answer)));
    return true;
  }
  if (v == "windows" || v == "watch-windows" || v == "wait-window" || v == "wait-window-gone" ||
      v == "expect-windows" || v == "click" || v == "mouse" || v == "screenshot")
    return RunWindowStep(s);
  if (v == "tab" || v == "control" || v == "expect-control") return RunDialogStep(s);
  if (v == "messagebox") return RunMessageBoxStep(s);
  if (v == "write-file") return WriteTextFile(text(0), ToUtf8(text(1))) || Fail(s, "cannot write " + ToUtf8(text(0)));
  if (v == "echo") {
    std::wstring line;
    for (const auto& t : a) line += (line.empty() ? L"" : L" ") + t.text;
    host_.Line(ToUtf8(line));
    return true;
  }
  return Fail(s, "not implemented");
}

void ScriptRunner::WatchWindows(bool on, std::wstring screenshotFolder) {
  printWindowEvents_ = on;
  if (!screenshotFolder.empty()) screenshotFolder_ = std::move(screenshotFolder);
  if (!watch_) {
    watch_ = std::make_unique<WindowWatch>(host_);
    watch_->SetSink([this](const WindowWatch::Event& e) { OnWindowEvent(e); });
    if (host_.Module()) watch_->Watch();
  }
}

void ScriptRunner::OnWindowEvent(const WindowWatch::Event& e) {
  if (!printWindowEvents_) return;
  const WindowView& w = e.window;
  if (e.change == WindowWatch::Change::Vanished) {
    WindowView where = w;
    where.texts.clear();
    host_.Line(DescribeWindowEvent(where) + (::IsWindow(w.hwnd) ? " hidden" : " closed"));
    return;
  }
  std::string line = DescribeWindowEvent(w);
  if (!screenshotFolder_.empty()) {
    wchar_t name[64];
    std::swprintf(name, std::size(name), L"\\%03d-%ls.png", ++screenshots_, w.className.c_str());
    const std::wstring file = screenshotFolder_ + name;
    std::string error;
    line += SaveScreenPng(file, &w.rect, &error) ? "  [" + ToUtf8(file) + "]" : "  [no picture: " + error + "]";
  }
  host_.Line(line);
}

std::optional<WindowView> ScriptRunner::WindowOfClass(const Step& s, const std::wstring& className) {
  std::optional<WindowView> w = FindPluginWindow(host_.Module(), className);
  if (!w) Fail(s, "no visible window of class " + ToUtf8(className));
  return w;
}

bool ScriptRunner::RunWindowStep(const Step& s) {
  const auto& a = s.args;
  const std::string& v = s.verb;
  if (!host_.Module()) return Fail(s, "load a library first");
  if (!watch_) WatchWindows(false);
  if (v == "windows") {
    const std::vector<WindowView> all = ListPluginWindows(host_.Module());
    host_.Line(std::to_string(all.size()) + " window(s) of the plug-in, top first");
    for (const auto& w : all) host_.Line("  " + DescribeWindow(w));
    return true;
  }
  if (v == "watch-windows") {
    WatchWindows(a[0].text == L"on");
    return true;
  }
  if (v == "wait-window" || v == "wait-window-gone") {
    const bool present = v == "wait-window";
    const bool ok = watch_->WaitFor(a[0].text, present, uint32_t(Int(a[1]))).has_value();
    return Expect(s, ok, "a window of class " + ToUtf8(a[0].text) + (present ? " appears" : " goes") + " within " +
                             ToUtf8(a[1].text) + " ms");
  }
  if (v == "expect-windows") {
    int n = 0;
    for (const auto& w : ListPluginWindows(host_.Module())) n += w.visible && w.className == a[0].text;
    return Expect(s, n == Int(a[1]), ToUtf8(a[1].text) + " visible window(s) of class " + ToUtf8(a[0].text) +
                                         ", got " + std::to_string(n));
  }
  if (v == "click" || v == "mouse") {
    size_t n = a.size();
    MouseButton button = MouseButton::Left;
    if (v == "click" && (n == 2 || n == 4)) ParseMouseButton(a[--n].text, button);
    POINT at{};
    const bool onScreen = a[0].text == L"screen";
    if (onScreen) {
      at = {Int(a[n - 2]), Int(a[n - 1])};
    } else {
      const std::optional<WindowView> w = WindowOfClass(s, a[0].text);
      if (!w) return false;
      RECT client{};
      ::GetClientRect(w->hwnd, &client);
      at = n >= 3 ? ClientToScreenPoint(w->hwnd, Int(a[n - 2]), Int(a[n - 1]))
                  : ClientToScreenPoint(w->hwnd, client.right / 2, client.bottom / 2);
    }
    const bool ok = v == "click" ? ClickAt(at, button) : MoveMouse(at);
    if (!ok) return Fail(s, "the system refused the input");
    host_.Pump(0);
    return true;
  }
  if (v == "screenshot") {
    const RECT* area = nullptr;
    std::optional<WindowView> w;
    RECT dialog{};
    if (a.size() > 1 && a[1].text == L"options") {
      const HWND hwnd = FindOptionsDialog(host_.Module());
      if (!hwnd) return Fail(s, "the options dialog is not open");
      // Its client area: without a window manager nothing draws the caption.
      ::GetClientRect(hwnd, &dialog);
      ::MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&dialog), 2);
      area = &dialog;
    } else if (a.size() > 1 && a[1].text != L"screen") {
      if (!(w = WindowOfClass(s, a[1].text))) return false;
      area = &w->rect;
    }
    std::string error;
    if (!SaveScreenPng(a[0].text, area, &error)) return Fail(s, error);
    host_.Line("screenshot " + ToUtf8(a[0].text));
    return true;
  }
  return Fail(s, "not implemented");
}

bool ScriptRunner::RunDialogStep(const Step& s) {
  const auto& a = s.args;
  if (!host_.Module()) return Fail(s, "load a library first");
  const HWND dialog = FindOptionsDialog(host_.Module());
  if (!dialog) return Fail(s, "the options dialog is not open");
  if (s.verb == "tab") {
    const HWND tabs = FindDialogControl(dialog, tunelet::kIdMainPageControl);
    if (!tabs) return Fail(s, "the dialog has no MainPageControl");
    return SelectTab(tabs, Int(a[0])) || Fail(s, "there is no tab " + ToUtf8(a[0].text));
  }
  const std::string name = ToUtf8(a[0].text);
  const HWND c = FindDialogControl(dialog, OptionsControlByName(a[0].text).value_or(0));
  if (!c) return Fail(s, "the dialog has no control " + name);
  const std::wstring& what = a[1].text;
  auto arg = [&](size_t i) { return i < a.size() ? a[i].text : std::wstring(); };
  if (s.verb == "control") {
    std::string error;
    KeyCombo keys;
    bool ok = false;
    if (what == L"click") ok = ClickControl(c, &error);
    else if (what == L"press") ok = PressButton(c, &error);
    else if (what == L"check" || what == L"uncheck") ok = SetTick(c, what == L"check", &error);
    else if (what == L"focus") ok = FocusControl(c, &error);
    else if (what == L"text") ok = ReplaceText(c, arg(2), &error);
    else if (what == L"type") ok = TypeText(c, arg(2), &error);
    else if (what == L"select") ok = SelectItem(c, Int(a[2]), &error);
    else if (what == L"key") ok = ParseKeyCombo(arg(2), keys) && PressKeys(c, keys, &error);
    return ok || Fail(s, name + ": " + error);
  }
  if (what == L"text") {
    const std::wstring shown = WindowText(c);
    return Expect(s, shown == arg(2), name + " shows " + QuoteText(arg(2)) + ", shows " + QuoteText(shown));
  }
  if (what == L"checked" || what == L"unchecked")
    return Expect(s, IsTicked(c) == (what == L"checked"), name + " " + ToUtf8(what));
  if (what == L"enabled" || what == L"disabled")
    return Expect(s, (::IsWindowEnabled(c) != FALSE) == (what == L"enabled"), name + " " + ToUtf8(what));
  if (what == L"shown" || what == L"hidden")
    return Expect(s, IsShown(c) == (what == L"shown"), name + " " + ToUtf8(what));
  if (what == L"focused") return Expect(s, ::GetFocus() == c, name + " has the focus");
  if (what == L"selected") {
    const std::optional<int> at = SelectedItem(c);
    return Expect(s, at == Int(a[2]), name + " at " + ToUtf8(arg(2)) + ", at " +
                                          (at ? std::to_string(*at) : std::string("nothing (no items)")));
  }
  if (what == L"length") {
    const size_t n = WindowText(c).size();
    return Expect(s, n == size_t(Int(a[2])), name + " holds " + ToUtf8(arg(2)) + " characters, holds " +
                                                 std::to_string(n));
  }
  const bool cell = what == L"cell";
  const std::wstring& want = arg(cell ? 4 : 3);
  const std::optional<std::wstring> shown = ItemText(c, Int(a[2]), cell ? Int(a[3]) : 0);
  const std::string where = ToUtf8(what) + " " + ToUtf8(arg(2)) + (cell ? " " + ToUtf8(arg(3)) : "");
  return Expect(s, shown == want, name + " " + where + " shows " + QuoteText(want) + ", shows " +
                                      (shown ? QuoteText(*shown) : std::string("no such item")));
}

bool ScriptRunner::RunMessageBoxStep(const Step& s) {
  const auto it = boxTickets_.find(&s);
  const int ticket = it != boxTickets_.end() ? it->second
                                             : boxes_->Expect(s.args.size() > 3 ? AnswerButton(s.args[3].text) : IDOK);
  if (it != boxTickets_.end()) boxTickets_.erase(it);
  const std::wstring& want = s.args[1].text;
  const std::optional<MessageBoxView> box =
      boxes_->Wait(ticket, [&](uint32_t ms) { host_.Pump(ms); }, kMessageBoxWaitMs);
  if (!box)
    return Expect(s, false,
                  "a message box " + QuoteText(want) + " within " + std::to_string(kMessageBoxWaitMs) + " ms");
  host_.Line("message box " + QuoteText(box->caption) + ": " + QuoteText(box->text));
  Expect(s, box->text == want, "a message box " + QuoteText(want) + ", shown: " + QuoteText(box->text));
  const std::wstring button = s.args.size() > 3 ? s.args[3].text : L"ok";
  return Expect(s, box->answered != 0, "the message box has a button " + ToUtf8(button));
}

}  // namespace talkeo_sim
