#include "host_test_support.h"

#include "script.h"

#include <oleauto.h>

#include <atomic>
#include <filesystem>
#include <fstream>

namespace host_test {

std::wstring BuiltPluginPath() {
  wchar_t exe[MAX_PATH * 2] = {};
  ::GetModuleFileNameW(nullptr, exe, DWORD(std::size(exe)));
  std::wstring p = exe;
  return p.substr(0, p.find_last_of(L"\\/") + 1) + L"Tunelet.dll";
}

PluginCopy::PluginCopy() {
  static std::atomic<int> counter{0};
  wchar_t temp[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH, temp);
  folder_ = std::wstring(temp) + L"tunelet-host-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
  std::filesystem::create_directories(folder_, ec);
  dll_ = folder_ + L"\\Tunelet.dll";
  if (!::CopyFileW(BuiltPluginPath().c_str(), dll_.c_str(), FALSE))
    ADD_FAILURE() << "cannot copy " << talkeo_sim::ToUtf8(BuiltPluginPath());
}

PluginCopy::~PluginCopy() {
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

void PluginCopy::WriteIni(const wchar_t* section, const wchar_t* key, const wchar_t* value) const {
  ASSERT_TRUE(::WritePrivateProfileStringW(section, key, value, Ini().c_str()));
}

int PluginCopy::ReadIniInt(const wchar_t* section, const wchar_t* key, int missing) const {
  return int(::GetPrivateProfileIntW(section, key, missing, Ini().c_str()));
}

void PluginCopy::WriteQuietIni() const {
  WriteIni(L"Others", L"Firstrun", L"0");
  WriteIni(L"Others", L"temp", L"1");
  WriteIni(L"Main", L"Updateonstartup", L"0");
  WriteIni(L"Main", L"Refreshinterval", L"3000");
}

namespace {
struct WindowCount {
  HMODULE module;
  int n = 0;
};
bool Counts(HWND w, const WindowCount& c) {
  return ::GetWindowThreadProcessId(w, nullptr) == ::GetCurrentThreadId() &&
         HMODULE(::GetWindowLongPtrW(w, GWLP_HINSTANCE)) == c.module;
}
BOOL CALLBACK CountWindow(HWND w, LPARAM p) {
  auto& c = *reinterpret_cast<WindowCount*>(p);
  if (Counts(w, c)) ++c.n;
  return TRUE;
}
}  // namespace

int WindowsOfModuleOnThisThread(HMODULE module) {
  WindowCount c{module};
  ::EnumThreadWindows(::GetCurrentThreadId(), CountWindow, LPARAM(&c));
  for (HWND w = nullptr; (w = ::FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr)) != nullptr;)
    if (Counts(w, c)) ++c.n;
  return c.n;
}

std::wstring Bstr(BSTR b) { return b ? std::wstring(b, ::SysStringLen(b)) : std::wstring(); }

namespace {
// ID3v2.3 frame: identifier, 32-bit size, two flag bytes, body.
std::string Frame(const char* id, const std::string& body) {
  const uint32_t n = uint32_t(body.size());
  return std::string(id, 4) + char(n >> 24) + char(n >> 16) + char(n >> 8) + char(n) + std::string(2, '\0') + body;
}
// ID3v2.3 text frame, UTF-16 with a byte-order mark (encoding 1).
std::string TextFrame(const char* id, const std::wstring& text) {
  std::string body = "\x01\xFF\xFE";
  for (wchar_t c : text) body += {char(c & 0xFF), char(c >> 8)};
  return Frame(id, body);
}
}  // namespace

std::string Latin1TextFrame(const char* id, const std::string& text) { return Frame(id, '\0' + text); }

void WriteTaggedMp3(const std::wstring& path, const std::wstring& artist, const std::wstring& title) {
  WriteMp3WithFrames(path, TextFrame("TPE1", artist) + TextFrame("TIT2", title));
}

void WriteMp3WithFrames(const std::wstring& path, const std::string& frames) {
  const uint32_t n = uint32_t(frames.size());  // synchsafe, 7 bits a byte
  std::string file = std::string("ID3\x03\x00\x00", 6) + char((n >> 21) & 0x7F) + char((n >> 14) & 0x7F) +
                     char((n >> 7) & 0x7F) + char(n & 0x7F) + frames;
  for (int i = 0; i < 20; ++i) file += std::string("\xFF\xFB\x90\x40", 4) + std::string(413, '\0');
  std::ofstream(std::filesystem::path(path), std::ios::binary) << file;
}

bool PumpUntil(talkeo_sim::SimHost& host, const std::function<bool()>& done, uint32_t boundMs) {
  constexpr uint32_t kSliceMs = 20;
  for (uint32_t waited = 0; waited < boundMs; waited += kSliceMs) {
    if (done()) return true;
    host.Pump(kSliceMs);
  }
  return done();
}

void RunSimSteps(talkeo_sim::SimHost& host, const std::string& script) {
  std::vector<talkeo_sim::Step> steps;
  std::string error;
  ASSERT_TRUE(talkeo_sim::ParseScript(script, steps, error)) << error;
  std::string printed;
  host.SetLineSink([&](uint32_t, const std::string& line) { printed += line + "\n"; });
  talkeo_sim::ScriptRunner runner(host);
  const int result = runner.Run(steps);
  host.SetLineSink(nullptr);
  ASSERT_EQ(result, 0) << printed;
}

std::vector<talkeo_sim::SentMessage> SentXStatusChanges(const talkeo_sim::SimHost& host) {
  std::vector<talkeo_sim::SentMessage> sets;
  for (const auto& m : host.Sent())
    if (m.raw.Msg == talkeo_sim::kMsgSetXStatus) sets.push_back(m);
  return sets;
}

talkeo_sim::XStatus SentXStatus(const talkeo_sim::SentMessage& m) {
  return {int32_t(m.raw.WParam), m.title.value_or(L""), m.text.value_or(L"")};
}

void ExpectClearThen(const talkeo_sim::SimHost& host, const talkeo_sim::XStatus& after) {
  const std::vector<talkeo_sim::SentMessage> sets = SentXStatusChanges(host);
  ASSERT_GE(sets.size(), 2u);
  const talkeo_sim::SentMessage& clear = sets[sets.size() - 2];
  const talkeo_sim::SentMessage& next = sets.back();
  EXPECT_EQ(clear.raw.WParam, 0);
  EXPECT_FALSE(clear.title.has_value());
  EXPECT_FALSE(clear.text.has_value());
  EXPECT_EQ(SentXStatus(next), after) << talkeo_sim::DescribeXStatus(SentXStatus(next));
  const uint32_t delay = next.timeMs - clear.timeMs;
  EXPECT_GE(delay, kXStatusDelayMinMs);
  EXPECT_LE(delay, kXStatusDelayMaxMs);
}

}  // namespace host_test
