// The real Tunelet.dll driven by the simulated host: the factory, the
// descriptor, the message codes, the host-kept record and the object's life.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "host_test_support.h"
#include "sim_host.h"

namespace {

using host_test::Bstr;
using host_test::PluginCopy;
using talkeo_sim::HostKeptOptions;
using talkeo_sim::SimHost;
using talkeo_sim::XStatus;

const std::wstring kAudioTitle = L"Слушаю:";
const std::wstring kText = L"{{%artist%=%artist% }}\"%title%\"";
const std::wstring kVideoTitle = L"Смотрю:";
const std::wstring kPaste = L"*втыкает %artist% \"%title%\"*";

class PluginInHost : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(host_.Load(copy_.Dll(), &error)) << error;
  }
  void TearDown() override { host_.Unload(); }
  // The user's switch on and a record written before, as on any later run.
  void UseInitialisedRecord() {
    HostKeptOptions& r = host_.Record();
    r.Initialised = 1;
    r.PluginOn = 1;
  }

  PluginCopy copy_;
  SimHost host_;
};

TEST_F(PluginInHost, DescriptorIsFilledOnLoadedAndStaysValid) {
  ASSERT_TRUE(host_.Create());
  talkeo_sim::PluginDescriptor* d = host_.DescriptorPointer();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(host_.Plugin()->GetInfo(), d) << "GetInfo must hand out the one descriptor";
  EXPECT_EQ(d->DllHandle, reinterpret_cast<uintptr_t>(host_.Module()));

  ASSERT_TRUE(host_.Loaded());
  ASSERT_NE(d->DllPath, nullptr);
  wchar_t loaded[MAX_PATH + 1] = {};
  ::GetModuleFileNameW(host_.Module(), loaded, MAX_PATH);
  EXPECT_STREQ(d->DllPath, loaded);
  EXPECT_EQ(::lstrcmpiW(d->DllPath, copy_.Dll().c_str()), 0) << talkeo_sim::ToUtf8(d->DllPath);
  EXPECT_EQ(d->SdkVersionMajor, 1);
  EXPECT_EQ(d->SdkVersionMinor, 2);
  EXPECT_EQ(d->PluginVersionMajor, 3);
  EXPECT_EQ(d->PluginVersionMinor, 0);
  EXPECT_STREQ(d->PluginName, L"Tunelet");
  EXPECT_STREQ(d->PluginAuthor, L"ORB2000");
  EXPECT_EQ(d->DllHandle, reinterpret_cast<uintptr_t>(host_.Module())) << "the host's handle must stay";

  // The host may read the descriptor at any time while it holds the object.
  copy_.WriteQuietIni();
  const wchar_t* path = d->DllPath;
  host_.Start();
  host_.Pump(50);
  host_.Shutdown();
  EXPECT_EQ(d->DllPath, path);
  EXPECT_STREQ(d->DllPath, loaded);
}

TEST_F(PluginInHost, FirstStartMarksTheIniAndShutdownWritesTheDefaultRecord) {
  ASSERT_EQ(::GetFileAttributesW(copy_.Ini().c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(host_.Start());
  EXPECT_NE(::GetFileAttributesW(copy_.Ini().c_str()), INVALID_FILE_ATTRIBUTES) << "no Tunelet.ini beside the DLL";
  EXPECT_EQ(copy_.ReadIniInt(L"Others", L"temp", -1), 1);
  EXPECT_EQ(host_.Record().Initialised, 0) << "the record is written at stop, not at start";

  host_.Shutdown();
  const HostKeptOptions& r = host_.Record();
  EXPECT_EQ(r.Initialised, 1);
  EXPECT_EQ(r.PluginOn, 0) << "the user's switch as the host kept it";
  EXPECT_EQ(Bstr(r.AudioTitleTemplate), kAudioTitle);
  EXPECT_EQ(Bstr(r.AudioTextTemplate), kText);
  EXPECT_EQ(Bstr(r.VideoTitleTemplate), kVideoTitle);
  EXPECT_EQ(Bstr(r.VideoTextTemplate), kText);
  EXPECT_EQ(Bstr(r.PasteTemplate), kPaste);
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(r.ControlWindowX, work.right / 2 - 83) << "the control window's place reset at the first start";
  EXPECT_EQ(r.ControlWindowY, work.bottom / 2 - 28);
  EXPECT_EQ(r.PlayerId, 1u) << "an unset player is player 1";
  EXPECT_EQ(r.SavedXStatusValid, 0);
  EXPECT_EQ(Bstr(r.SavedXStatusTitle), L"");
  EXPECT_EQ(Bstr(r.SavedXStatusText), L"");
  EXPECT_TRUE(host_.HostBytesIntact()) << "the plug-in wrote into the host's part of the record";
  EXPECT_EQ(host_.CountSent(talkeo_sim::kMsgSetXStatus), 0u) << "nothing played, nothing to show";
}

TEST_F(PluginInHost, RecordSurvivesARestartOfTheHost) {
  const std::wstring store = copy_.Folder() + L"\\host.store";
  host_.Unload();
  // Not the first start, which puts the control window back near the centre.
  copy_.WriteIni(L"Others", L"temp", L"1");
  {
    SimHost first;
    first.SetStoreFile(store);
    ASSERT_TRUE(first.Load(copy_.Dll()));
    first.Record().PluginOn = 1;
    first.Record().Initialised = 1;
    first.Record().ControlWindowX = -120;
    first.Record().PlayerId = 8;
    ::SysReAllocString(&first.Record().AudioTextTemplate, L"%artist% — «%title%»");
    first.Start();
    first.Shutdown();
    first.Release();
  }
  SimHost second;
  second.SetStoreFile(store);
  ASSERT_TRUE(second.Load(copy_.Dll()));
  const HostKeptOptions& r = second.Record();
  EXPECT_EQ(r.PluginOn, 1);
  EXPECT_EQ(r.Initialised, 1);
  EXPECT_EQ(r.ControlWindowX, -120);
  EXPECT_EQ(r.PlayerId, 8u);
  EXPECT_EQ(Bstr(r.AudioTextTemplate), L"%artist% — «%title%»");
  EXPECT_EQ(Bstr(r.AudioTitleTemplate), kAudioTitle) << "an empty template comes back as the default";
  EXPECT_EQ(copy_.ReadIniInt(L"Others", L"temp", -1), 1);
}

TEST_F(PluginInHost, UnknownCodesAndHostSideCodesAreIgnored) {
  copy_.WriteQuietIni();
  UseInitialisedRecord();
  host_.UserSetsXStatus(5, L"Пью пиво", L"с друзьями");
  ASSERT_TRUE(host_.Start());
  host_.ClearLogs();
  std::vector<uint8_t> before(sizeof(HostKeptOptions));
  std::memcpy(before.data(), &host_.Record(), before.size());
  const XStatus shown = host_.Shown();

  // Pointers that must never be followed: the plug-in has no business with them.
  for (int32_t code : {0, 7, 8, 9, 10, 11, 13, 14, 100, 1000, -1, INT_MIN, INT_MAX})
    host_.Send(code, 0x7FFF, 1, 1);
  host_.Pump(0);
  EXPECT_TRUE(host_.Sent().empty()) << "first answer: message " << host_.Sent().front().raw.Msg;
  EXPECT_EQ(host_.GetSharedOptionsCalls(), 0);
  EXPECT_EQ(std::memcmp(before.data(), &host_.Record(), before.size()), 0) << "the record changed";
  EXPECT_EQ(host_.Shown(), shown);
  host_.Shutdown();
}

TEST_F(PluginInHost, ShutdownBeforeStartDoesNothing) {
  ASSERT_TRUE(host_.Loaded());
  host_.Shutdown();
  host_.Pump(0);
  EXPECT_TRUE(host_.Sent().empty());
  EXPECT_EQ(host_.GetSharedOptionsCalls(), 0);
  EXPECT_EQ(host_.Record().Initialised, 0);
  EXPECT_EQ(::GetFileAttributesW(copy_.Ini().c_str()), INVALID_FILE_ATTRIBUTES) << "settings were touched";
}

// A host that disables a plug-in it never started must not lose what it keeps
// for it: the plug-in has loaded nothing that it could write back.
TEST_F(PluginInHost, DisableBeforeStartKeepsTheUsersRecord) {
  UseInitialisedRecord();
  host_.Record().PlayerId = 8;
  ::SysReAllocString(&host_.Record().AudioTitleTemplate, L"Мой заголовок");
  ASSERT_TRUE(host_.Loaded());
  host_.Disable();
  EXPECT_EQ(host_.Record().PluginOn, 1);
  EXPECT_EQ(host_.Record().PlayerId, 8u);
  EXPECT_EQ(Bstr(host_.Record().AudioTitleTemplate), L"Мой заголовок");
  EXPECT_EQ(host_.CountSent(talkeo_sim::kMsgSetXStatus), 0u);
}

TEST_F(PluginInHost, SecondCreateIntoTheSameVariableReleasesTheFirstObject) {
  ASSERT_TRUE(host_.Create());
  talkeo_sim::IHostPlugin* first = host_.Plugin();
  first->AddRef();  // our own reference keeps it alive to count
  ASSERT_TRUE(host_.Create());
  EXPECT_NE(host_.Plugin(), first);
  EXPECT_EQ(first->Release(), 0u) << "the variable's reference to the first object was not released";
  EXPECT_EQ(host_.Release(), 0u);
  EXPECT_EQ(host_.ServiceReferencesHeld(), 0) << "an object kept or lost a service reference";
}

TEST_F(PluginInHost, LastReleaseDestroysTheObjectWithItsTimersAndServiceReference) {
  copy_.WriteQuietIni();
  UseInitialisedRecord();
  ASSERT_TRUE(host_.Create());
  EXPECT_GE(host_.ServiceReferencesHeld(), 1) << "the object holds the service";
  talkeo_sim::IHostPlugin* p = host_.Plugin();
  EXPECT_EQ(p->AddRef(), 2u);
  EXPECT_EQ(p->Release(), 1u);
  void* same = nullptr;
  EXPECT_EQ(p->QueryInterface(GUID{}, &same), S_OK);
  EXPECT_EQ(same, p);
  EXPECT_EQ(p->Release(), 1u);

  host_.Start();
  host_.Pump(50);
  EXPECT_GT(host_test::WindowsOfModuleOnThisThread(host_.Module()), 0) << "the timers live on a window";
  host_.Shutdown();
  EXPECT_EQ(host_.Release(), 0u);
  EXPECT_EQ(host_.ServiceReferencesHeld(), 0);
  EXPECT_EQ(host_test::WindowsOfModuleOnThisThread(host_.Module()), 0) << "a window outlived the object";
  host_.Pump(50);  // a timer left behind would now call into freed memory
}

// A window of a known player class in the host's own process makes the poll
// tick visible: in mode 11 with another X-status shown, each tick asks only
// for the picture. (A class whose player is not also checked by its process
// name.)
class FakePlayerWindow {
 public:
  FakePlayerWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MediaPlayerClassicW";
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, L"Media Player Classic", WS_OVERLAPPED, 0, 0, 10, 10,
                              nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~FakePlayerWindow() {
    if (hwnd_) ::DestroyWindow(hwnd_);
  }

 private:
  HWND hwnd_ = nullptr;
};

TEST_F(PluginInHost, PollingRunsOnTheHostsThreadAndStopsWithTheObject) {
  copy_.WriteQuietIni();
  copy_.WriteIni(L"Main", L"Action", L"11");
  UseInitialisedRecord();
  FakePlayerWindow player;
  host_.UserSetsXStatus(5, L"Пью пиво", L"с друзьями");
  ASSERT_TRUE(host_.Start());
  host_.ClearLogs();
  host_.Pump(3700);  // one period of 3000 ms and a margin
  EXPECT_GE(host_.CountSent(talkeo_sim::kMsgGetXStatus), 1u) << "no poll tick reached the host";
  EXPECT_EQ(host_.CountSent(talkeo_sim::kMsgSetXStatus), 0u) << "mode 11 must leave another X-status alone";
  for (const auto& m : host_.Sent())
    EXPECT_EQ(uintptr_t(m.raw.DllHandle), reinterpret_cast<uintptr_t>(host_.Module())) << "message " << m.raw.Msg;

  host_.Shutdown();
  EXPECT_EQ(host_.Release(), 0u);
  host_.ClearLogs();
  host_.Pump(3700);
  EXPECT_TRUE(host_.Sent().empty()) << "a timer outlived the object";
}

TEST_F(PluginInHost, SavedXStatusInTheRecordIsPutBackAtStartAndForgotten) {
  copy_.WriteQuietIni();
  UseInitialisedRecord();
  HostKeptOptions& r = host_.Record();
  r.SavedXStatusValid = 1;
  r.SavedXStatusPicture = 0x10005;  // read back as its low 16 bits
  ::SysReAllocString(&r.SavedXStatusTitle, L"Мой статус");
  ::SysReAllocString(&r.SavedXStatusText, L"на работе \"до шести\"");
  ASSERT_TRUE(host_.Start());

  ASSERT_FALSE(host_.Sent().empty());
  const talkeo_sim::SentMessage* set = nullptr;
  for (const auto& m : host_.Sent())
    if (m.raw.Msg == talkeo_sim::kMsgSetXStatus && !set) set = &m;
  ASSERT_NE(set, nullptr) << "the saved X-status was not sent back";
  EXPECT_EQ(set->raw.WParam, 5);
  EXPECT_EQ(set->title.value_or(L"(null)"), L"Мой статус");
  EXPECT_EQ(set->text.value_or(L"(null)"), L"на работе \"до шести\"");
  EXPECT_EQ(uintptr_t(set->raw.DllHandle), reinterpret_cast<uintptr_t>(host_.Module()));
  EXPECT_EQ(set->raw.Result, 0);
  EXPECT_EQ(host_.Shown(), (XStatus{5, L"Мой статус", L"на работе \"до шести\""}));

  host_.Shutdown();
  EXPECT_EQ(r.SavedXStatusValid, 0) << "the saved X-status was put back, so it is no longer saved";
  EXPECT_EQ(r.SavedXStatusPicture, 0);
  EXPECT_EQ(Bstr(r.SavedXStatusTitle), L"");
  EXPECT_EQ(Bstr(r.SavedXStatusText), L"");
  EXPECT_EQ(host_.CountSent(talkeo_sim::kMsgSetXStatus), 1u);
}

TEST_F(PluginInHost, NullSharedOptionsAreSurvived) {
  copy_.WriteQuietIni();
  host_.SetSharedOptionsNull(true);
  host_.Record().SavedXStatusValid = 1;  // out of the plug-in's reach now
  host_.UserSetsXStatus(5, L"Пью пиво", L"с друзьями");
  ASSERT_TRUE(host_.Start());
  host_.Pump(50);
  host_.UserSetsXStatus(10, L"Кофе", L"");
  host_.Disable();
  host_.Enable();
  host_.Pump(50);
  host_.Shutdown();
  EXPECT_GE(host_.GetSharedOptionsCalls(), 1) << "the record was never asked for";
  EXPECT_EQ(host_.CountSent(talkeo_sim::kMsgSetXStatus), 0u);
  EXPECT_EQ(host_.Record().Initialised, 0);
  EXPECT_EQ(host_.Release(), 0u);
}

TEST_F(PluginInHost, DisabledLeavesTheXStatusAndKeepsTheUsersSwitch) {
  copy_.WriteQuietIni();
  UseInitialisedRecord();
  host_.UserSetsXStatus(5, L"Пью пиво", L"с друзьями");
  ASSERT_TRUE(host_.Start());
  host_.Pump(50);
  host_.ClearLogs();
  host_.Disable();
  host_.Pump(1000);  // longer than the 900 ms restore delay
  EXPECT_EQ(host_.CountSent(talkeo_sim::kMsgSetXStatus), 0u);
  EXPECT_EQ(host_.Shown(), (XStatus{5, L"Пью пиво", L"с друзьями"}));
  EXPECT_EQ(host_.Record().PluginOn, 1) << "the record is stored before the switch goes off";
  EXPECT_EQ(host_.Record().Initialised, 1);
  EXPECT_EQ(host_.Record().SavedXStatusValid, 0);

  host_.Disable();  // a second time: the switch is already off in memory
  EXPECT_EQ(host_.Record().PluginOn, 1) << "a repeated disable lost the user's switch";
}

}  // namespace
