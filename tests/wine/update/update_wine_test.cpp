// The update check against a loopback HTTP server that the prefix's proxy
// setting points at (what a user behind a proxy configures anyway): the
// Win32 side in this process with a stand-in for the options dialog's
// buttons, and the real Tunelet.dll in the simulated host for the start-up
// check and for unloading while a request waits.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "dialog_driver.h"
#include "host_test_support.h"
#include "loopback_http.h"
#include "script.h"
#include "model/settings.h"
#include "model/ui_texts.h"
#include "model/update_view.h"
#include "sim_host.h"
#include "ui/options_controls.h"
#include "update/update_check.h"
#include "update/win32/update_check_win32.h"

namespace {

using tunelet::Settings;
using tunelet::win32::Win32UpdateCheck;
using update_test::HeaderValue;
using update_test::LoopbackHttpServer;
using update_test::ProxySetting;
using update_test::RequestLine;

constexpr char kOwnVersion[] = "3.0.5.2650";
constexpr DWORD kResultBoundMs = 10000;
const std::string kNewer = "tunelet3.0.6.zip\r\n";

// Short time-outs, so that a server that never answers costs a test about a
// second. The overall bound is well past the steps' sum for one answer.
constexpr tunelet::win32::UpdateTimeouts kShortTimeouts{700, 700, 700, 3000};
constexpr DWORD kMarginMs = 1000;  // a busy machine

std::string Narrow(const std::wstring& w) { return talkeo_sim::ToUtf8(w); }

// The request line a proxy gets for the version file: the absolute address
// of the maker's site, with or without the default port.
bool IsVersionFileRequest(const std::string& line) {
  const std::string host = tunelet::kMakerHost;
  return line == "GET http://" + host + "/tlup.txt HTTP/1.1" || line == "GET http://" + host + ":80/tlup.txt HTTP/1.1";
}

// --- the announcement: a message box of this process

struct FoundBox {
  HWND hwnd = nullptr;
  std::wstring title, text;
};

BOOL CALLBACK FindStaticText(HWND child, LPARAM param) {
  wchar_t cls[32] = {}, text[512] = {};
  ::GetClassNameW(child, cls, 32);
  if (::lstrcmpiW(cls, L"Static") == 0 && ::GetWindowTextW(child, text, 512) > 0) {
    *reinterpret_cast<std::wstring*>(param) = text;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindMessageBox(HWND w, LPARAM param) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(w, &pid);
  wchar_t cls[32] = {};
  ::GetClassNameW(w, cls, 32);
  if (pid != ::GetCurrentProcessId() || ::lstrcmpW(cls, L"#32770") != 0 || !::IsWindowVisible(w)) return TRUE;
  auto& box = *reinterpret_cast<FoundBox*>(param);
  box.hwnd = w;
  wchar_t title[256] = {};
  ::GetWindowTextW(w, title, 256);
  box.title = title;
  ::EnumChildWindows(w, FindStaticText, LPARAM(&box.text));
  return FALSE;
}

std::optional<FoundBox> MessageBoxOfThisProcess() {
  FoundBox box;
  ::EnumWindows(FindMessageBox, LPARAM(&box));
  if (!box.hwnd) return std::nullopt;
  return box;
}

// Dispatches this thread's messages until done() holds or boundMs passed.
bool PumpUntil(const std::function<bool()>& done, DWORD boundMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG m;
    while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&m);
      ::DispatchMessageW(&m);
    }
    if (done()) return true;
    if (::GetTickCount() - start >= boundMs) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

std::optional<FoundBox> WaitForMessageBox(DWORD boundMs) {
  std::optional<FoundBox> box;
  PumpUntil([&] { return bool(box = MessageBoxOfThisProcess()); }, boundMs);
  return box;
}

// Closes the box as the user would, and waits until it is gone.
bool CloseMessageBox(const FoundBox& box) {
  ::PostMessageW(box.hwnd, WM_COMMAND, IDOK, 0);
  return PumpUntil([&] { return !::IsWindow(box.hwnd); }, 5000);
}

int gTimerTicks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++gTimerTicks; }

// --- the options dialog's buttons

struct Button {
  std::optional<bool> enabled;
  std::u16string caption;
};

class ButtonsView : public tunelet::IUpdateView {
 public:
  void SetCheckButton(bool enabled) override { check.enabled = enabled; }
  void SetCheckCaption(std::u16string_view c) override { check.caption = c; }
  void SetLoadButton(bool enabled) override { load.enabled = enabled; }
  void SetLoadCaption(std::u16string_view c) override { load.caption = c; }
  uintptr_t OwnerWindow() const override { return 0; }
  Button check, load;
};

// --- the Win32 side in this process

class UpdateCheckInProcess : public ::testing::Test {
 protected:
  // The first WinINet request of a process takes seconds under Wine; it is
  // made here, outside the short bounds of the tests.
  static void SetUpTestSuite() {
    LoopbackHttpServer server;
    ProxySetting proxy(server.Port());
    server.SetAnswer(LoopbackHttpServer::Answer("200 OK", kNewer));
    const DWORD start = ::GetTickCount();
    const std::string answer = tunelet::win32::FetchVersionFile("warm-up");
    std::printf("the first request took %lu ms and got \"%s\"\n",
                static_cast<unsigned long>(::GetTickCount() - start), answer.c_str());
  }
  void SetUp() override {
    ASSERT_TRUE(server_.Listening());
    tunelet::ResetSettings();
    Settings().PluginVersion = kOwnVersion;
    check_ = std::make_unique<Win32UpdateCheck>(texts_, kShortTimeouts);
  }
  void TearDown() override {
    check_.reset();
    if (std::optional<FoundBox> box = MessageBoxOfThisProcess()) CloseMessageBox(*box);
    tunelet::ResetSettings();
  }
  // Presses "Проверить обновление" and waits for the result on the buttons.
  bool CheckWithDialogOpen() {
    check_->SetView(&view_);
    check_->CheckButtonClicked();
    return PumpUntil([&] { return !Settings().UpdateCheckPending; }, kResultBoundMs);
  }
  // Nothing is announced: no box appears for a while after the result.
  bool NoMessageBoxAppears() {
    return !PumpUntil([] { return bool(MessageBoxOfThisProcess()); }, 300);
  }
  // A server that misbehaves: the check ends as "no answer" within bound,
  // and the next press makes a new request.
  void ExpectNoAnswerWithin(DWORD boundMs) {
    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(CheckWithDialogOpen());
    const DWORD tookMs = ::GetTickCount() - start;
    EXPECT_LE(tookMs, boundMs);
    std::printf("the check ended after %lu ms\n", static_cast<unsigned long>(tookMs));
    EXPECT_EQ(view_.check.caption, u"Нет обновлений");
    EXPECT_FALSE(view_.load.enabled);
    EXPECT_FALSE(check_->CheckInFlight());
    EXPECT_TRUE(NoMessageBoxAppears());
    ExpectAnotherCheckIsMade();
  }
  void ExpectAnotherCheckIsMade() {
    server_.Release();
    server_.SetAnswer(LoopbackHttpServer::Answer("200 OK", "tunelet3.0.5.zip"));
    const size_t before = server_.Requests().size();
    view_ = {};
    ASSERT_TRUE(CheckWithDialogOpen());
    EXPECT_EQ(view_.check.caption, u"Нет обновлений");
    EXPECT_GT(server_.Requests().size(), before);
  }

  LoopbackHttpServer server_;
  ProxySetting proxy_{server_.Port()};
  tunelet::BuiltInUiTexts texts_;
  ButtonsView view_;
  std::unique_ptr<Win32UpdateCheck> check_;
};

TEST_F(UpdateCheckInProcess, ANewerVersionIsAnnouncedAndOffered) {
  server_.SetAnswer(LoopbackHttpServer::Answer("200 OK", kNewer));
  check_->SetView(&view_);
  check_->CheckButtonClicked();
  EXPECT_EQ(view_.check.enabled, false);
  EXPECT_EQ(view_.check.caption, u"Проверяется...");
  EXPECT_TRUE(Settings().UpdateCheckPending);

  ASSERT_TRUE(PumpUntil([&] { return !Settings().UpdateCheckPending; }, kResultBoundMs));
  EXPECT_EQ(view_.load.enabled, true);
  EXPECT_EQ(view_.load.caption, u"Загрузить 3.0.6");
  EXPECT_EQ(view_.check.enabled, false);
  EXPECT_EQ(view_.check.caption, u"Проверить обновления");
  EXPECT_FALSE(Settings().UpdateAvailable);  // shown on the dialog

  const std::optional<FoundBox> box = WaitForMessageBox(5000);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->title, L"Tunelet Plugin");
  EXPECT_EQ(box->text, L"Доступна новая версия - 3.0.6") << Narrow(box->text);
  EXPECT_EQ(::GetWindow(box->hwnd, GW_OWNER), nullptr);
  EXPECT_TRUE(CloseMessageBox(*box));

  // The request the maker's site sees, through the proxy.
  const std::vector<std::string> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(IsVersionFileRequest(RequestLine(requests[0]))) << RequestLine(requests[0]);
  EXPECT_EQ(HeaderValue(requests[0], "Host"), tunelet::kMakerHost);
  EXPECT_EQ(HeaderValue(requests[0], "User-Agent"), "Tunelet Plugin 3.0.5.2650");
}

TEST_F(UpdateCheckInProcess, TheSameVersionSaysNoUpdates) {
  server_.SetAnswer(LoopbackHttpServer::Answer("200 OK", "tunelet3.0.5.zip"));
  ASSERT_TRUE(CheckWithDialogOpen());
  EXPECT_EQ(view_.check.caption, u"Нет обновлений");
  EXPECT_EQ(view_.check.enabled, false);
  EXPECT_FALSE(view_.load.enabled);
  EXPECT_TRUE(NoMessageBoxAppears());
  EXPECT_EQ(server_.Requests().size(), 1u);
}

// An error page that happens to name a version is no answer.
TEST_F(UpdateCheckInProcess, AnErrorPageIsNoAnswer) {
  server_.SetAnswer(LoopbackHttpServer::Answer(
      "404 Not Found", "<html><body>tunelet3.0.6.zip is not here</body></html>", "text/html"));
  ASSERT_TRUE(CheckWithDialogOpen());
  EXPECT_EQ(view_.check.caption, u"Нет обновлений");
  EXPECT_FALSE(view_.load.enabled);
  EXPECT_TRUE(NoMessageBoxAppears());
  EXPECT_EQ(server_.Requests().size(), 1u);
}

TEST_F(UpdateCheckInProcess, NoServerIsNoAnswer) {
  ProxySetting nowhere(update_test::ClosedPort());
  ASSERT_TRUE(CheckWithDialogOpen());
  EXPECT_EQ(view_.check.caption, u"Нет обновлений");
  EXPECT_TRUE(NoMessageBoxAppears());
  EXPECT_TRUE(server_.Requests().empty()) << "each check reads the proxy setting anew";
}

TEST_F(UpdateCheckInProcess, WithTheDialogClosedOnlyTheMessageBoxShows) {
  server_.SetAnswer(LoopbackHttpServer::Answer("200 OK", "Download: TUNELET4.0.0.EXE"));
  check_->StartUpdateCheck();
  const std::optional<FoundBox> box = WaitForMessageBox(kResultBoundMs);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->title, L"Tunelet");
  EXPECT_EQ(box->text, L"Доступна новая версия - 4.0.0") << Narrow(box->text);
  EXPECT_TRUE(CloseMessageBox(*box));
  EXPECT_TRUE(Settings().UpdateAvailable);  // for the dialog to show later
  EXPECT_FALSE(Settings().UpdateCheckPending);
}

// The request waits on the server: the thread's message loop runs on, a
// second press starts no second request, and letting go of the check (the
// plug-in object going) is bounded and leaves nothing behind.
TEST_F(UpdateCheckInProcess, AWaitingRequestBlocksNothingAndCanBeAbandoned) {
  check_ = std::make_unique<Win32UpdateCheck>(texts_);  // the real time-outs: the request waits
  server_.SetAnswer(LoopbackHttpServer::Answer("200 OK", kNewer));
  server_.Hold();
  check_->SetView(&view_);
  check_->CheckButtonClicked();
  ASSERT_TRUE(server_.WaitForRequests(1, kResultBoundMs));

  gTimerTicks = 0;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, CountTick);
  PumpUntil([] { return gTimerTicks >= 5; }, 3000);
  ::KillTimer(nullptr, timer);
  EXPECT_GE(gTimerTicks, 5) << "the thread's messages kept flowing while the request waited";
  check_->StartUpdateCheck();
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(server_.Requests().size(), 1u) << "one check at a time";
  EXPECT_TRUE(check_->CheckInFlight());
  EXPECT_TRUE(Settings().UpdateCheckPending);

  const DWORD before = ::GetTickCount();
  check_.reset();
  const DWORD tookMs = ::GetTickCount() - before;
  EXPECT_LE(tookMs, Win32UpdateCheck::kAbandonWaitMs + 300);
  std::printf("abandoning a waiting check took %lu ms; the server saw the client give up: %s\n",
              static_cast<unsigned long>(tookMs), server_.ClientGaveUp() ? "yes" : "no");

  server_.Release();
  PumpUntil([] { return false; }, 500);
  EXPECT_EQ(view_.check.caption, u"Проверяется...") << "no result after the check was abandoned";
  EXPECT_FALSE(view_.load.enabled);
  EXPECT_FALSE(MessageBoxOfThisProcess());
}

// The start-up check was switched off before its timer while the dialog
// shows "checking": the button comes back; a check the user started is left
// to end by itself.
TEST_F(UpdateCheckInProcess, ASkippedStartUpCheckGivesTheButtonBack) {
  Settings().UpdateCheckPending = true;  // as loading the settings left it
  check_->SetView(&view_);
  check_->StartupCheckSkipped();
  EXPECT_FALSE(Settings().UpdateCheckPending);
  EXPECT_EQ(view_.check.enabled, true);
  EXPECT_EQ(view_.check.caption, u"Проверить обновления");

  server_.Hold();
  check_->CheckButtonClicked();
  ASSERT_TRUE(server_.WaitForRequests(1, kResultBoundMs));
  check_->StartupCheckSkipped();
  EXPECT_TRUE(Settings().UpdateCheckPending);
  EXPECT_EQ(view_.check.caption, u"Проверяется...");
  server_.Release();
  ASSERT_TRUE(PumpUntil([&] { return !Settings().UpdateCheckPending; }, kResultBoundMs));
  EXPECT_EQ(view_.check.caption, u"Нет обновлений");
}

// --- a server that is not to be trusted

TEST_F(UpdateCheckInProcess, ASilentServerIsNoAnswerAfterTheReceiveTimeout) {
  server_.StallAfter("");
  ExpectNoAnswerWithin(kShortTimeouts.receiveMs + kMarginMs);
}

TEST_F(UpdateCheckInProcess, HeadersThenSilenceIsNoAnswer) {
  server_.StallAfter("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 100\r\n\r\n");
  ExpectNoAnswerWithin(kShortTimeouts.receiveMs + kMarginMs);
}

// The steps' own time-outs are longer than the bound here: the bound ends
// the check, and the late answer is dropped.
TEST_F(UpdateCheckInProcess, TheOverallBoundEndsACheckThatWaitsLonger) {
  check_ = std::make_unique<Win32UpdateCheck>(texts_, tunelet::win32::UpdateTimeouts{5000, 5000, 5000, 1000});
  server_.StallAfter("");
  const DWORD start = ::GetTickCount();
  ASSERT_TRUE(CheckWithDialogOpen());
  const DWORD tookMs = ::GetTickCount() - start;
  EXPECT_GE(tookMs, 900u);
  EXPECT_LE(tookMs, 1000 + kMarginMs);
  EXPECT_EQ(view_.check.caption, u"Нет обновлений");
  EXPECT_FALSE(check_->CheckInFlight());

  // The server answers after all: nothing of it reaches the user.
  server_.SetAnswer(LoopbackHttpServer::Answer("200 OK", kNewer));
  server_.Release();
  EXPECT_TRUE(NoMessageBoxAppears());
  EXPECT_FALSE(view_.load.enabled);
  EXPECT_FALSE(Settings().UpdateAvailable);
  ExpectAnotherCheckIsMade();
}

// A body without end: the version at its start is the answer, and the
// request does not wait for the rest.
TEST_F(UpdateCheckInProcess, AnEndlessBodyGivesTheVersionAtItsStart) {
  server_.SendEndlessBody("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 99999999999\r\n\r\n" +
                          kNewer);
  const DWORD start = ::GetTickCount();
  ASSERT_TRUE(CheckWithDialogOpen());
  EXPECT_LE(::GetTickCount() - start, kShortTimeouts.receiveMs + kMarginMs);
  EXPECT_EQ(view_.load.caption, u"Загрузить 3.0.6");
  const std::optional<FoundBox> box = WaitForMessageBox(5000);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, L"Доступна новая версия - 3.0.6") << Narrow(box->text);
  EXPECT_TRUE(CloseMessageBox(*box));

  const bool closed = PumpUntil([&] { return server_.ClientGaveUp(); }, 3000);
  std::printf("endless body: %llu bytes sent; the client closed within 3 s of the result: %s\n",
              static_cast<unsigned long long>(server_.EndlessBytesSent()), closed ? "yes" : "no");
  server_.Release();
  EXPECT_FALSE(check_->CheckInFlight());
}

TEST_F(UpdateCheckInProcess, ARedirectIsNotFollowed) {
  server_.SetAnswer("HTTP/1.1 302 Found\r\nLocation: http://evil.example/tlup.txt\r\nContent-Length: 16\r\n"
                    "Connection: close\r\n\r\ntunelet9.0.0.zip");
  ASSERT_TRUE(CheckWithDialogOpen());
  EXPECT_EQ(view_.check.caption, u"Нет обновлений");
  EXPECT_FALSE(view_.load.enabled);
  EXPECT_TRUE(NoMessageBoxAppears());
  const std::vector<std::string> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u) << RequestLine(requests.back());
  EXPECT_TRUE(IsVersionFileRequest(RequestLine(requests[0])));
}

// Only the digits and dots after the keyword reach the always-on-top box
// and the load button.
TEST_F(UpdateCheckInProcess, TheVersionShownIsOnlyDigitsAndDots) {
  server_.SetAnswer(LoopbackHttpServer::Answer(
      "200 OK", "tunelet9.0.0 IS A CRITICAL SECURITY FIX - install it from http://evil.example/fix.exe now.zip"));
  ASSERT_TRUE(CheckWithDialogOpen());
  EXPECT_EQ(view_.load.caption, u"Загрузить 9.0.0");
  const std::optional<FoundBox> box = WaitForMessageBox(5000);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, L"Доступна новая версия - 9.0.0") << Narrow(box->text);
  EXPECT_TRUE(CloseMessageBox(*box));
}

// --- the real Tunelet.dll in the simulated host

class UpdateCheckInHost : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Listening());
    copy_.WriteQuietIni();
    dll_ = copy_.Dll();
  }
  void TearDown() override {
    host_.Unload();
    if (std::optional<FoundBox> box = MessageBoxOfThisProcess()) CloseMessageBox(*box);
    WaitUntilUnloaded(5000);
  }
  bool LoadAndStart() {
    std::string error;
    if (!host_.Load(dll_, &error)) {
      ADD_FAILURE() << error;
      return false;
    }
    return host_.Start();
  }
  bool WaitUntilUnloaded(DWORD boundMs) {
    return PumpUntil([&] { return ::GetModuleHandleW(dll_.c_str()) == nullptr; }, boundMs);
  }
  void Steps(const std::string& script) { host_test::RunSimSteps(host_, script); }
  // The DLL's own file version, as the version resource gives it.
  std::string DllVersion() {
    DWORD ignored = 0;
    std::vector<BYTE> block(::GetFileVersionInfoSizeW(dll_.c_str(), &ignored));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (block.empty() || !::GetFileVersionInfoW(dll_.c_str(), 0, DWORD(block.size()), block.data()) ||
        !::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &len))
      return {};
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) +
           "." + std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
  }

  LoopbackHttpServer server_;
  ProxySetting proxy_{server_.Port()};
  host_test::PluginCopy copy_;
  talkeo_sim::SimHost host_;
  std::wstring dll_;
};

TEST_F(UpdateCheckInHost, TheStartUpCheckAnnouncesANewerVersion) {
  copy_.WriteIni(L"Main", L"Updateonstartup", L"1");
  server_.SetAnswer(LoopbackHttpServer::Answer("200 OK", "tunelet9.0.0.zip"));
  ASSERT_TRUE(LoadAndStart());
  const uint32_t started = host_.Now();
  ASSERT_TRUE(PumpUntil([&] { return !server_.Requests().empty(); }, 3000 + kResultBoundMs));
  EXPECT_GE(host_.Now() - started, 2900u) << "the check waits for the one-shot start-up timer";

  const std::optional<FoundBox> box = WaitForMessageBox(kResultBoundMs);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->title, L"Tunelet");
  EXPECT_EQ(box->text, L"Доступна новая версия - 9.0.0") << Narrow(box->text);
  EXPECT_TRUE(CloseMessageBox(*box));

  const std::vector<std::string> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(IsVersionFileRequest(RequestLine(requests[0]))) << RequestLine(requests[0]);
  EXPECT_EQ(HeaderValue(requests[0], "User-Agent"), "Tunelet Plugin " + DllVersion());
}

TEST_F(UpdateCheckInHost, WithUpdateonstartupOffNoRequestIsMade) {
  server_.SetAnswer(LoopbackHttpServer::Answer("200 OK", "tunelet9.0.0.zip"));
  ASSERT_TRUE(LoadAndStart());
  host_.Pump(3000 + 1000);
  EXPECT_TRUE(server_.Requests().empty());
  EXPECT_FALSE(MessageBoxOfThisProcess());
  const DWORD start = ::GetTickCount();
  host_.Shutdown();
  host_.Unload();
  std::printf("shutdown and unload without a check took %lu ms\n",
              static_cast<unsigned long>(::GetTickCount() - start));
}

// The start-up check is switched off and saved before its timer: the About
// tab's button does not wait for a check that never comes.
TEST_F(UpdateCheckInHost, SwitchingTheStartUpCheckOffBeforeItRunsLeavesTheButtonUsable) {
  copy_.WriteIni(L"Main", L"Updateonstartup", L"1");
  server_.SetAnswer(LoopbackHttpServer::Answer("200 OK", "tunelet0.0.0.zip"));
  ASSERT_TRUE(LoadAndStart());
  const uint32_t started = host_.Now();
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 7\n"
                                "expect-control bt_getup disabled; expect-control bt_getup text \"Проверяется...\"\n"
                                "control chbox_update uncheck; control bt_save press\n"));
  const uint32_t savedMs = host_.Now() - started;
  std::printf("saved %u ms after the start\n", savedMs);
  host_.Pump(savedMs < 3500 ? 3500 - savedMs : 0);
  ASSERT_TRUE(server_.Requests().empty()) << "saved after the start-up timer (" << savedMs << " ms): too slow";

  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 7\n"
                                "expect-control bt_getup enabled; expect-control bt_getup text \"Проверить обновление\"\n"
                                "control bt_getup click\n"));
  const HWND button = talkeo_sim::FindDialogControl(talkeo_sim::FindOptionsDialog(host_.Module()), tunelet::kIdBtGetUp);
  EXPECT_TRUE(PumpUntil([&] { return talkeo_sim::WindowText(button) == L"Нет обновлений"; }, kResultBoundMs))
      << Narrow(talkeo_sim::WindowText(button));
  EXPECT_EQ(server_.Requests().size(), 1u);
  ASSERT_NO_FATAL_FAILURE(Steps("control bt_close press\n"));
}

// The host shuts down and unloads the plug-in while the request waits on the
// server: bounded, no message box, and the library goes once the update
// thread is out of it.
TEST_F(UpdateCheckInHost, UnloadingWhileTheRequestWaitsIsCleanAndBounded) {
  copy_.WriteIni(L"Main", L"Updateonstartup", L"1");
  server_.SetAnswer(LoopbackHttpServer::Answer("200 OK", "tunelet9.0.0.zip"));
  server_.Hold();
  ASSERT_TRUE(LoadAndStart());
  ASSERT_TRUE(PumpUntil([&] { return !server_.Requests().empty(); }, 3000 + kResultBoundMs));
  // The host's thread stays responsive while the request waits.
  const uint32_t before = host_.Now();
  host_.Pump(200);
  EXPECT_LT(host_.Now() - before, 1000u);

  const DWORD start = ::GetTickCount();
  host_.Shutdown();
  host_.Unload();
  const DWORD tookMs = ::GetTickCount() - start;
  EXPECT_LE(tookMs, 2000u);
  std::printf("shutdown and unload with a waiting check took %lu ms\n", static_cast<unsigned long>(tookMs));

  server_.Release();
  EXPECT_TRUE(WaitUntilUnloaded(kResultBoundMs)) << "the update thread let go of the library";
  EXPECT_FALSE(PumpUntil([] { return bool(MessageBoxOfThisProcess()); }, 300));
}

}  // namespace
