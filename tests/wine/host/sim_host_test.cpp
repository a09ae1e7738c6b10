// The simulated host itself, driven by a small plug-in inside the test: what
// it answers, what it reports back, what it stores, and its script language.
#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host_test_support.h"
#include "hostkept_store.h"
#include "plugin_windows.h"
#include "script.h"
#include "sim_host.h"
#include "ui/options_controls.h"

namespace {

using namespace talkeo_sim;

// A minimal plug-in: remembers the messages it gets and lends tests its
// service reference.
class TestPlugin final : public IHostPlugin {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG n = --refs;
    if (n == 0) {
      if (service) service->Release();
      service = nullptr;
    }
    return ULONG(n);
  }
  PluginDescriptor* STDMETHODCALLTYPE GetInfo() override { return &descriptor; }
  void STDMETHODCALLTYPE HandleHostMessage(HostMessage* m) override {
    received.push_back(*m);
    if (m->Msg == kMsgXStatusChanged && m->NParam)
      changedText = reinterpret_cast<const wchar_t*>(m->NParam);
    if (m->Msg == kMsgLoaded) {
      descriptor.DllPath = L"C:\\test\\plugin.dll";
      descriptor.PluginName = L"Test";
      descriptor.PluginAuthor = L"Tests";
    }
  }

  HostMessage Get() {
    HostMessage m{};
    m.Msg = kMsgGetXStatus;
    m.DllHandle = intptr_t(descriptor.DllHandle);
    service->SendToHost(&m);
    return m;
  }
  void Set(int32_t picture, const wchar_t* title, const wchar_t* text) {
    // Buffers of the plug-in's own, scribbled over after the call.
    std::wstring t = title ? title : L"", x = text ? text : L"";
    HostMessage m{};
    m.Msg = kMsgSetXStatus;
    m.WParam = picture;
    m.LParam = title ? reinterpret_cast<intptr_t>(t.c_str()) : 0;
    m.NParam = text ? reinterpret_cast<intptr_t>(x.c_str()) : 0;
    m.DllHandle = intptr_t(descriptor.DllHandle);
    service->SendToHost(&m);
    t.assign(t.size(), L'#');
    x.assign(x.size(), L'#');
  }

  LONG refs = 0;
  ITLKPluginService* service = nullptr;
  PluginDescriptor descriptor{};
  std::vector<HostMessage> received;
  std::wstring changedText;
};

TestPlugin* gPlugin = nullptr;

void __stdcall CreateTestPlugin(IHostPlugin** out, ITLKPluginService* service) {
  service->AddRef();
  gPlugin->service = service;
  gPlugin->AddRef();
  if (*out) (*out)->Release();
  *out = gPlugin;
}

std::wstring Text(intptr_t pointer) {
  const auto* p = reinterpret_cast<const wchar_t*>(pointer);
  return p ? p : L"(null)";
}

class SimHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gPlugin = &plugin_;
    host_.Attach(&CreateTestPlugin, ::GetModuleHandleW(nullptr), L"test.dll");
    ASSERT_TRUE(host_.Loaded());
  }
  void TearDown() override {
    host_.Unload();
    gPlugin = nullptr;
  }
  TestPlugin plugin_;
  SimHost host_;
};

TEST_F(SimHostTest, DrivesThePluginInTheHostsOrder) {
  EXPECT_EQ(plugin_.descriptor.DllHandle, reinterpret_cast<uintptr_t>(::GetModuleHandleW(nullptr)))
      << "DllHandle is written before MSG_LOADED";
  ASSERT_TRUE(host_.Start());
  host_.Shutdown();
  std::vector<int32_t> codes;
  for (const auto& m : plugin_.received) {
    codes.push_back(m.Msg);
    EXPECT_EQ(uintptr_t(m.DllHandle), plugin_.descriptor.DllHandle);
  }
  EXPECT_EQ(codes, (std::vector<int32_t>{kMsgLoaded, kMsgStartup, kMsgShutdown}));
  ASSERT_TRUE(host_.Descriptor());
  EXPECT_EQ(host_.Descriptor()->name, L"Test");
  EXPECT_EQ(host_.ServiceReferencesHeld(), 1);
  EXPECT_EQ(host_.Release(), 0u);
  EXPECT_EQ(host_.ServiceReferencesHeld(), 0);
}

TEST_F(SimHostTest, OnlyTheUsersChangesAreReportedToThePlugin) {
  host_.Start();
  plugin_.Set(11, L"Слушаю:", L"Artist \"Title\"");
  EXPECT_EQ(host_.Shown(), (XStatus{11, L"Слушаю:", L"Artist \"Title\""})) << "the host copies the texts";
  host_.UserSetsXStatus(5, L"Пью пиво", L"с друзьями");
  int changes = 0;
  for (const auto& m : plugin_.received)
    if (m.Msg == kMsgXStatusChanged) {
      ++changes;
      EXPECT_EQ(m.WParam, 5);
    }
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(plugin_.changedText, L"с друзьями");
}

TEST_F(SimHostTest, GetXStatusAnswersWhatIsShownWithTextsValidUntilTheNextCall) {
  host_.Start();
  HostMessage empty = plugin_.Get();
  EXPECT_EQ(empty.WParam, 0);
  EXPECT_EQ(empty.LParam, 0) << "no X-status: null texts";
  EXPECT_EQ(empty.NParam, 0);

  host_.UserSetsXStatus(7, L"Обед", L"");
  HostMessage a = plugin_.Get();
  EXPECT_EQ(a.WParam, 7);
  EXPECT_EQ(Text(a.LParam), L"Обед");
  EXPECT_EQ(a.NParam, 0);
  host_.UserSetsXStatus(8, L"Кино", L"вечером");
  EXPECT_EQ(Text(a.LParam), L"Обед") << "the answer changed before the next call";
  HostMessage b = plugin_.Get();
  EXPECT_EQ(Text(b.LParam), L"Кино");
  EXPECT_EQ(Text(b.NParam), L"вечером");
  ASSERT_EQ(host_.CountSent(kMsgGetXStatus), 3u);
  EXPECT_EQ(host_.Sent().back().answer, (XStatus{8, L"Кино", L"вечером"}));

  host_.SetAnswerEmptyAsNull(false);
  host_.UserSetsXStatus(9, L"", L"");
  HostMessage c = plugin_.Get();
  EXPECT_EQ(Text(c.LParam), L"");
  EXPECT_EQ(Text(c.NParam), L"");
}

TEST_F(SimHostTest, PictureZeroClearsAndNullTextsShowEmpty) {
  host_.Start();
  plugin_.Set(11, nullptr, nullptr);
  ASSERT_EQ(host_.Sent().size(), 1u);
  EXPECT_FALSE(host_.Sent()[0].title.has_value());
  EXPECT_EQ(host_.Shown(), (XStatus{11, L"", L""}));
  plugin_.Set(0, L"left over", L"left over");
  EXPECT_EQ(host_.Shown(), XStatus{});
  EXPECT_EQ(DescribeXStatus(host_.Shown()), "X-status cleared");
  EXPECT_EQ(DescribeXStatus({11, L"Слушаю:", L"A \"B\""}),
            "X-status: picture 11 (Music) | title \"Слушаю:\" | text \"A \"B\"\"");
  EXPECT_EQ(FormatTime(3012), "[  3.012 s]");
}

TEST_F(SimHostTest, SharedOptionsAreThePluginsOwnRecord) {
  EXPECT_EQ(plugin_.service->GetSharedOptions(plugin_.descriptor.DllHandle), &host_.Record());
  EXPECT_EQ(plugin_.service->GetSharedOptions(plugin_.descriptor.DllHandle + 0x10000), nullptr);
  host_.SetSharedOptionsNull(true);
  EXPECT_EQ(plugin_.service->GetSharedOptions(plugin_.descriptor.DllHandle), nullptr);
  void* same = nullptr;
  EXPECT_EQ(plugin_.service->QueryInterface(GUID{}, &same), S_OK);
  EXPECT_EQ(same, plugin_.service);
  plugin_.service->Release();
  EXPECT_EQ(plugin_.service->QueryInterface(IID_IDispatch, &same), E_NOINTERFACE);
}

TEST(HostKeptStore, KeepsEveryFieldAndOtherPluginsSections) {
  host_test::PluginCopy dir;
  const std::wstring file = dir.Folder() + L"\\options.store";
  {
    std::ofstream o(std::filesystem::path(file), std::ios::binary);
    o << "\xEF\xBB\xBF# kept by hand\n[other.dll]\nPluginOn = 1\nAudioTitleTemplate = \"чужой\"\n";
  }
  HostKeptOptions r{};
  r.PluginOn = 1;
  r.SavedXStatusValid = 1;
  r.ControlWindowX = -32768;
  r.SavedXStatusPicture = -2;
  r.PlayerId = 4000000000u;
  r.AudioTitleTemplate = ::SysAllocString(L"Слушаю:");
  r.AudioTextTemplate = ::SysAllocString(L"{{%artist%=%artist% }}\"%title%\" \\ \t\r\n end");
  r.VideoTitleTemplate = ::SysAllocStringLen(L"", 0);  // empty, not null
  std::string error;
  ASSERT_TRUE(SaveRecord(file, L"tunelet.dll", r, &error)) << error;

  HostKeptOptions back{};
  ASSERT_TRUE(LoadRecord(file, L"Tunelet.dll", back, &error)) << error;
  for (const auto& f : RecordFields()) EXPECT_EQ(RecordFieldText(back, f), RecordFieldText(r, f)) << f.name;
  EXPECT_EQ(host_test::Bstr(back.AudioTextTemplate), L"{{%artist%=%artist% }}\"%title%\" \\ \t\r\n end");
  EXPECT_NE(back.VideoTitleTemplate, nullptr);
  EXPECT_EQ(back.VideoTextTemplate, nullptr);

  HostKeptOptions other{};
  ASSERT_TRUE(LoadRecord(file, L"other.dll", other, &error)) << error;
  EXPECT_EQ(other.PluginOn, 1);
  EXPECT_EQ(host_test::Bstr(other.AudioTitleTemplate), L"чужой");

  HostKeptOptions missing{};
  EXPECT_TRUE(LoadRecord(file, L"absent.dll", missing, &error));
  EXPECT_EQ(missing.Initialised, 0);
  ClearRecordFields(r);
  ClearRecordFields(back);
  ClearRecordFields(other);
}

TEST(HostKeptStore, RejectsMalformedEntries) {
  host_test::PluginCopy dir;
  const std::wstring file = dir.Folder() + L"\\bad.store";
  HostKeptOptions r{};
  std::string error;
  for (const char* bad : {"PluginOn = 256", "PluginOn = x", "ControlWindowX = 2147483648", "PlayerId = -1",
                          "AudioTitleTemplate = \"open", "AudioTitleTemplate = \"bad \\q escape\"", "Nonsense = 1",
                          "no equals sign"}) {
    {
      std::ofstream o(std::filesystem::path(file), std::ios::binary | std::ios::trunc);
      o << "[t.dll]\n" << bad << "\n";
    }
    EXPECT_FALSE(LoadRecord(file, L"t.dll", r, &error)) << bad;
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  }
  ClearRecordFields(r);
}

TEST(Script, ParsesWordsTextsCommentsAndSeparators) {
  std::vector<Step> steps;
  std::string error;
  ASSERT_TRUE(ParseScript("# a comment line\n"
                          "start ; wait 500   # a comment after a step\n"
                          "\r\n"
                          "user-xstatus 11 \"Слушаю:\" \"Artist \\\"Title\\\"; #1\"\n"
                          "run player.exe --play \"C:\\\\My Music\\\\a.mp3\"\n",
                          steps, error))
      << error;
  ASSERT_EQ(steps.size(), 4u);
  EXPECT_EQ(steps[0].verb, "start");
  EXPECT_EQ(steps[1].verb, "wait");
  EXPECT_EQ(steps[1].line, 2);
  EXPECT_EQ(steps[2].line, 4);
  ASSERT_EQ(steps[2].args.size(), 3u);
  EXPECT_EQ(steps[2].args[2].text, L"Artist \"Title\"; #1");
  EXPECT_TRUE(steps[2].args[2].quoted);
  ASSERT_EQ(steps[3].args.size(), 3u);
  EXPECT_EQ(steps[3].args[2].text, L"C:\\My Music\\a.mp3");
}

TEST(Script, NamesTheLineOfTheFirstFault) {
  const struct {
    const char* script;
    const char* message;
  } cases[] = {
      {"start\nfly away\n", "line 2: unknown step \"fly\""},
      {"wait\n", "line 1: wrong number of words"},
      {"start\nwait soon\n", "line 2: \"soon\" is not a valid number"},
      {"wait 999999999\n", "not a valid number"},
      {"user-xstatus 11 \"open\n", "line 1: a text without its closing quote"},
      {"user-xstatus 11 \"\\q\"\n", "a bad escape"},
      {"hostkept Bogus 1\n", "no record field"},
      {"\"start\"\n", "cannot begin with a text"},
      {"click Tpopform 10\n", "\"10\" is not left, right or middle"},
      {"click Tpopform 10 left\n", "\"left\" is not a valid number"},
      {"click screen\n", "needs a point"},
      {"click Tpopform 1 2 sideways\n", "not left, right or middle"},
      {"mouse Tpopform 1\n", "wrong number of words"},
      {"watch-windows maybe\n", "on or off"},
      {"wait-window Tpopform soon\n", "not a valid number"},
      {"tab first\n", "not a valid number"},
      {"control chbox_nothing check\n", "no control \"chbox_nothing\""},
      {"control chbox_on fly\n", "\"fly\" is nothing control knows"},
      {"control e_xstat_text_a text\n", "wrong number of words for \"control text\""},
      {"control HotKey1 key Hyper+Q\n", "\"Hyper+Q\" is not a key"},
      {"control HotKey1 key Ctrl+\n", "is not a key"},
      {"expect-control chbox_on ticked\n", "is nothing expect-control knows"},
      {"expect-control combox_xstat_a selected some\n", "not a valid number"},
      {"expect-control HotKeyList cell 4 \"x\"\n", "wrong number of words"},
      {"messagebox expect\n", "wrong number of words"},
      {"messagebox expect \"x\" answer maybe\n", "messagebox takes"},
      {"messagebox show \"x\"\n", "messagebox takes"},
  };
  for (const auto& c : cases) {
    std::vector<Step> steps;
    std::string error;
    EXPECT_FALSE(ParseScript(c.script, steps, error)) << c.script;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.script << " gave: " << error;
  }
}

TEST_F(SimHostTest, ScriptRunsStepsAndCountsFailedExpectations) {
  std::vector<std::string> lines;
  host_.SetLineSink([&](uint32_t, const std::string& l) { lines.push_back(l); });
  std::vector<Step> steps;
  std::string error;
  ASSERT_TRUE(ParseScript("hostkept PluginOn 1; hostkept AudioTitleTemplate \"Слушаю:\"\n"
                          "start\nuser-xstatus 5 \"Пиво\" \"с друзьями\"\n"
                          "expect-xstatus 5 \"Пиво\" \"с друзьями\"\n"
                          "expect-xstatus cleared\n"
                          "expect-sent 11 0\n"
                          "shutdown; release\n",
                          steps, error))
      << error;
  ScriptRunner runner(host_);
  EXPECT_EQ(runner.Run(steps), 1);
  EXPECT_EQ(runner.Failures(), 1);
  EXPECT_EQ(host_.Record().PluginOn, 1);
  EXPECT_EQ(host_test::Bstr(host_.Record().AudioTitleTemplate), L"Слушаю:");
  bool reported = false;
  for (const auto& l : lines) reported |= l.find("line 5: EXPECTATION FAILED") != std::string::npos;
  EXPECT_TRUE(reported);

  ASSERT_TRUE(ParseScript("shutdown\nwait 1\n", steps, error));
  EXPECT_EQ(ScriptRunner(host_).Run(steps), 2) << "a step on a released plug-in cannot run";
}

// A window of this thread that keeps what WM_COPYDATA brings.
std::string gCopied;
ULONG_PTR gCopiedTag = 0;
LRESULT CALLBACK CopyDataWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_COPYDATA) {
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    gCopiedTag = cds->dwData;
    gCopied.assign(static_cast<const char*>(cds->lpData), cds->cbData);
    return 7;
  }
  return ::DefWindowProcW(w, m, wp, lp);
}

TEST_F(SimHostTest, CopyDataReachesTheWindowOfThatClassAndTitle) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = CopyDataWindowProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"SimHostTestCopyData";
  ::RegisterClassW(&wc);
  HWND w = ::CreateWindowExW(0, wc.lpszClassName, L"target", WS_OVERLAPPED, 0, 0, 1, 1, nullptr, nullptr,
                             wc.hInstance, nullptr);
  ASSERT_TRUE(w);
  std::vector<Step> steps;
  std::string error;
  ASSERT_TRUE(ParseScript("copydata SimHostTestCopyData target 0x46504C59 \"open-file 1 \\\"C:\\\\a b.mp3\\\"\\nплей\"\n",
                          steps, error))
      << error;
  EXPECT_EQ(ScriptRunner(host_).Run(steps), 0);
  EXPECT_EQ(gCopiedTag, 0x46504C59u);
  EXPECT_EQ(gCopied, "open-file 1 \"C:\\a b.mp3\"\nплей");
  ::DestroyWindow(w);

  ASSERT_TRUE(ParseScript("copydata SimHostTestCopyData target 1 x\n", steps, error));
  ScriptRunner impatient(host_);
  impatient.SetWindowWaitMs(0);
  EXPECT_EQ(impatient.Run(steps), 2) << "a window that is gone";
}

// A window of "the plug-in" (this executable is its module here): layered,
// never activated, drawing two texts; a right click closes it.
LRESULT CALLBACK LookedAtWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(w, &ps);
    RECT r{0, 0, 120, 20};
    ::DrawTextW(dc, L"Заголовок", -1, &r, DT_SINGLELINE | DT_CALCRECT);  // measuring draws nothing
    ::DrawTextW(dc, L"Заголовок", -1, &r, DT_SINGLELINE);
    ::TextOutW(dc, 4, 24, L"text", 4);
    ::EndPaint(w, &ps);
    return 0;
  }
  if (m == WM_RBUTTONUP) {
    ::DestroyWindow(w);
    return 0;
  }
  return ::DefWindowProcW(w, m, wp, lp);
}

TEST_F(SimHostTest, ScriptLooksAtThePluginsWindowsClicksThemAndTakesPictures) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = LookedAtWindowProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hbrBackground = HBRUSH(::GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = L"SimHostTestLookedAt";
  ::RegisterClassW(&wc);
  WindowWatch watch(host_);
  watch.Watch();  // traces this executable's text calls, as it would the plug-in's
  HWND w = ::CreateWindowExW(WS_EX_LAYERED | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, wc.lpszClassName,
                             L"looked at", WS_POPUP, 300, 200, 150, 60, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_TRUE(w);
  ::SetLayeredWindowAttributes(w, 0, 200, LWA_ALPHA);
  ::ShowWindow(w, SW_SHOWNOACTIVATE);

  wchar_t temp[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring picture = temp + (L"sim-host-window-" + std::to_wstring(::GetCurrentProcessId()) + L".png");
  std::vector<std::string> lines;
  host_.SetLineSink([&](uint32_t, const std::string& l) { lines.push_back(l); });
  std::vector<Step> steps;
  std::string error;
  ASSERT_TRUE(ParseScript(std::string("watch-windows on\n"
                                      "wait-window SimHostTestLookedAt 2000\n"
                                      "windows\n"
                                      "expect-windows SimHostTestLookedAt 1\n") +
                              "screenshot " + QuoteText(picture) + " SimHostTestLookedAt\n"
                          "click SimHostTestLookedAt 10 10 right\n"
                          "wait-window-gone SimHostTestLookedAt 2000\n"
                          "expect-windows SimHostTestLookedAt 0\n"
                          "wait-window SimHostTestLookedAt 100\n",
                          steps, error))
      << error;
  ScriptRunner runner(host_);
  EXPECT_EQ(runner.Run(steps), 1);
  EXPECT_EQ(runner.Failures(), 1) << "only the last wait, for a window that is gone";
  EXPECT_FALSE(::IsWindow(w)) << "closed by the right click";

  auto has = [&](const std::string& part) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != l.npos; });
  };
  EXPECT_TRUE(has("window SimHostTestLookedAt at ( 300,  200)–( 450,  260): Заголовок | text"));
  EXPECT_TRUE(has("SimHostTestLookedAt \"looked at\" at (300, 200)–(450, 260) 150×60, visible, alpha 200"));
  EXPECT_TRUE(has("(TOPMOST TOOLWINDOW LAYERED NOACTIVATE): Заголовок | text"));
  EXPECT_TRUE(has("window SimHostTestLookedAt at ( 300,  200)–( 450,  260) closed"));
  EXPECT_TRUE(has("line 9: EXPECTATION FAILED: a window of class SimHostTestLookedAt appears within 100 ms"));

  // A PNG of the window's size.
  std::ifstream in(std::filesystem::path(picture), std::ios::binary);
  std::string png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  auto bigEndian = [&](size_t at) {
    return uint32_t(uint8_t(png[at])) << 24 | uint32_t(uint8_t(png[at + 1])) << 16 |
           uint32_t(uint8_t(png[at + 2])) << 8 | uint32_t(uint8_t(png[at + 3]));
  };
  EXPECT_EQ(bigEndian(16), 150u);
  EXPECT_EQ(bigEndian(20), 60u);
  std::filesystem::remove(std::filesystem::path(picture));
  ::UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

// n characters of short words, as a user types them.
std::string Words(size_t n) {
  std::string s;
  while (s.size() < n) s += s.size() % 10 == 9 ? ' ' : char('a' + s.size() % 10);
  return s;
}

// A stand-in of the options dialog, made by "the plug-in" (this executable
// here): a few of its controls, and a Save button that asks a question.
std::vector<std::string> gDialogEvents;
LRESULT CALLBACK StandInOptionsProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == UINT(TCN_SELCHANGE))
    gDialogEvents.push_back("tab " + std::to_string(::SendMessageW(reinterpret_cast<NMHDR*>(lp)->hwndFrom,
                                                                  TCM_GETCURSEL, 0, 0)));
  if (m == WM_COMMAND && HIWORD(wp) == CBN_SELCHANGE && LOWORD(wp) == tunelet::kIdComboXstatA)
    gDialogEvents.push_back("pick " + std::to_string(::SendMessageW(HWND(lp), CB_GETCURSEL, 0, 0)));
  if (m == WM_COMMAND && HIWORD(wp) == BN_CLICKED && LOWORD(wp) == tunelet::kIdChboxOn)
    gDialogEvents.push_back("tick");
  if (m == WM_COMMAND && HIWORD(wp) == BN_CLICKED && LOWORD(wp) == tunelet::kIdBtSave) {
    const int answer = ::MessageBoxW(w, L"Сохранить?", L"Tunelet Plugin", MB_YESNO | MB_ICONQUESTION);
    gDialogEvents.push_back(answer == IDYES ? "answer yes" : "answer no");
  }
  return ::DefWindowProcW(w, m, wp, lp);
}

TEST_F(SimHostTest, ScriptWorksTheOptionsDialogsControlsAndAnswersItsMessageBoxes) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);
  WNDCLASSW wc{};
  wc.lpfnWndProc = StandInOptionsProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hbrBackground = HBRUSH(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"Tmainform";
  ::RegisterClassW(&wc);
  const HWND dialog = ::CreateWindowExW(0, wc.lpszClassName, L"Tunelet - Настройки", WS_CAPTION | WS_VISIBLE, 200,
                                        150, 450, 390, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_TRUE(dialog);
  auto add = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int y, int cx, int cy) {
    return ::CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, x, y, cx, cy, dialog,
                             HMENU(INT_PTR(id)), wc.hInstance, nullptr);
  };
  add(L"BUTTON", L"Плагин включен", BS_AUTOCHECKBOX, tunelet::kIdChboxOn, 17, 15, 338, 17);
  const HWND tabs = add(WC_TABCONTROLW, L"", 0, tunelet::kIdMainPageControl, 13, 42, 419, 60);
  for (const wchar_t* caption : {L"Проигрыватели", L"Основные"}) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(caption);
    ::SendMessageW(tabs, TCM_INSERTITEMW, ::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), LPARAM(&item));
  }
  const HWND combo = add(L"COMBOBOX", L"", CBS_DROPDOWNLIST, tunelet::kIdComboXstatA, 20, 120, 150, 200);
  for (const wchar_t* name : {L"Злой", L"В ванной", L"Устал"}) ::SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(name));
  const HWND text = add(L"EDIT", L"", ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL | WS_BORDER, tunelet::kIdEXstatTextV,
                        20, 160, 300, 80);
  ::SendMessageW(text, EM_LIMITTEXT, 500, 0);
  add(L"BUTTON", L"Сохранить", BS_PUSHBUTTON, tunelet::kIdBtSave, 222, 300, 102, 27);
  ::SetForegroundWindow(dialog);
  gDialogEvents.clear();

  std::vector<std::string> lines;
  host_.SetLineSink([&](uint32_t, const std::string& l) { lines.push_back(l); });
  std::vector<Step> steps;
  std::string error;
  ASSERT_TRUE(ParseScript("control chbox_on check\n"
                          "expect-control ChboxOn checked\n"
                          "tab 1\n"
                          "expect-control MainPageControl selected 1\n"
                          "expect-control MainPageControl item 0 \"Проигрыватели\"\n"
                          "control combox_xstat_a select 2\n"
                          "expect-control combox_xstat_a selected 2\n"
                          "expect-control combox_xstat_a item 2 \"Устал\"\n"
                          "control e_xstat_text_v text \"" + Words(600) + "\"\n"
                          "expect-control e_xstat_text_v length 500\n"
                          "control e_xstat_text_v type \"yz\"\n"
                          "expect-control e_xstat_text_v length 500\n"
                          "control e_xstat_text_v text \"ab\"\n"
                          "control e_xstat_text_v key Return\n"
                          "expect-control e_xstat_text_v text \"ab\\r\\n\"\n"
                          "expect-control e_xstat_text_v focused\n"
                          "control bt_save click\n"
                          "messagebox expect \"Сохранить?\" answer no\n"
                          "control bt_save press\n"
                          "messagebox expect \"Сохранить?\" answer yes\n"
                          "control bt_save press\n"
                          "expect-control chbox_on unchecked\n",
                          steps, error))
      << error;
  ScriptRunner runner(host_);
  EXPECT_EQ(runner.Run(steps), 1);
  std::string printed;
  for (const auto& l : lines) printed += l + "\n";
  EXPECT_EQ(runner.Failures(), 2) << printed;
  EXPECT_EQ(gDialogEvents, (std::vector<std::string>{"tick", "tab 1", "pick 2", "answer no", "answer yes",
                                                     "answer no"}))
      << printed;
  auto has = [&](const std::string& part) { return printed.find(part) != std::string::npos; };
  EXPECT_TRUE(has("message box \"Tunelet Plugin\": \"Сохранить?\"")) << printed;
  EXPECT_TRUE(has("line 21: EXPECTATION FAILED: no message box, shown: \"Tunelet Plugin\" \"Сохранить?\" (closed)"))
      << printed;
  EXPECT_TRUE(has("line 22: EXPECTATION FAILED: chbox_on unchecked")) << printed;

  // A step on a control the dialog lacks cannot run.
  ASSERT_TRUE(ParseScript("control bt_reghotkey press\n", steps, error));
  EXPECT_EQ(ScriptRunner(host_).Run(steps), 2);
  ::DestroyWindow(dialog);
  ::UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

}  // namespace
