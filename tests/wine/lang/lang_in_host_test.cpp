// The real Tunelet.dll in the simulated host: the language dialog at the
// first start, Apply, and a configured language file that is missing or
// cannot be read.
#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "host_test_support.h"
#include "sim_host.h"

namespace {

using host_test::PluginCopy;
using talkeo_sim::SimHost;

constexpr wchar_t kDialogCaption[] = L"Tunelet Plugin Localization";
constexpr int kListId = 103, kApplyId = 105;  // the dialog's controls

class LanguageInHost : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(host_.Load(copy_.Dll(), &error)) << error;
    std::filesystem::create_directories(copy_.Folder() + L"\\addons");
    copy_.WriteIni(L"Others", L"temp", L"1");
    copy_.WriteIni(L"Main", L"Updateonstartup", L"0");
    copy_.WriteIni(L"Main", L"Refreshinterval", L"3000");
    host_.Record().Initialised = 1;
    host_.Record().PluginOn = 1;
  }
  void TearDown() override { host_.Unload(); }
  std::wstring Addon(const wchar_t* name) const { return copy_.Folder() + L"\\addons\\" + name; }
  void InstallShippedEnglish() {
    std::wstring shipped = std::wstring(L"Z:") + TUNELET_SHIPPED_ENGLISH;
    for (wchar_t& c : shipped)
      if (c == L'/') c = L'\\';
    ASSERT_TRUE(::CopyFileW(shipped.c_str(), Addon(L"English.lng").c_str(), FALSE));
  }
  HWND Dialog() const { return ::FindWindowW(L"#32770", kDialogCaption); }
  std::wstring IniText(const wchar_t* key) const {
    wchar_t v[64] = {};
    ::GetPrivateProfileStringW(L"Others", key, L"<missing>", v, 64, copy_.Ini().c_str());
    return v;
  }

  PluginCopy copy_;
  SimHost host_;
};

TEST_F(LanguageInHost, FirstRunShowsTheDialogAtEveryStartUntilALanguageIsApplied) {
  InstallShippedEnglish();
  ASSERT_TRUE(host_.Start());
  HWND dlg = Dialog();
  ASSERT_NE(dlg, nullptr);
  EXPECT_TRUE(::IsWindowVisible(dlg));
  host_.Shutdown();
  EXPECT_FALSE(::IsWindow(dlg)) << "stopping closes the dialog";

  host_.Enable();  // only closed, not applied: it comes again
  dlg = Dialog();
  ASSERT_NE(dlg, nullptr);
  const HWND list = ::GetDlgItem(dlg, kListId);
  ASSERT_EQ(ListView_GetItemCount(list), 2);
  ListView_SetItemState(list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ::SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(kApplyId, BN_CLICKED), LPARAM(::GetDlgItem(dlg, kApplyId)));
  EXPECT_FALSE(::IsWindow(dlg));
  EXPECT_EQ(IniText(L"Langfile"), L"English.lng");
  EXPECT_EQ(IniText(L"Firstrun"), L"0");
  host_.Disable();
  EXPECT_EQ(host_.Record().UseLanguageFile, 1);

  host_.Enable();
  EXPECT_EQ(Dialog(), nullptr);
  host_.Shutdown();
  EXPECT_EQ(host_.Record().UseLanguageFile, 1) << "the English file loaded again";
}

TEST_F(LanguageInHost, AMissingConfiguredFileQuietlyClearsTheFlag) {
  copy_.WriteIni(L"Others", L"Firstrun", L"0");
  copy_.WriteIni(L"Others", L"Langfile", L"gone.lng");
  host_.Record().UseLanguageFile = 1;
  ASSERT_TRUE(host_.Start());
  host_.Pump(50);
  EXPECT_EQ(::FindWindowW(L"#32770", L"Tunelet Plugin"), nullptr);
  host_.Shutdown();
  EXPECT_EQ(host_.Record().UseLanguageFile, 0);
}

// The error box stays up longer than a poll period, as a user reading it
// would leave it: the tick that runs inside its message loop must not undo
// the start's restore of the user's X-status.
TEST_F(LanguageInHost, AnUnreadableFileShowsTheBoxAndTheUsersXStatusStaysBack) {
  copy_.WriteIni(L"Others", L"Firstrun", L"0");
  copy_.WriteIni(L"Others", L"Langfile", L"locked.lng");
  std::ofstream(std::filesystem::path(Addon(L"locked.lng"))) << "[Info]\nLNG_LANG=Locked\n";
  const HANDLE lock = ::CreateFileW(Addon(L"locked.lng").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  auto& r = host_.Record();
  r.UseLanguageFile = 1;
  r.SavedXStatusValid = 1;
  r.SavedXStatusPicture = 5;
  ::SysReAllocString(&r.SavedXStatusTitle, L"Кофе");
  ::SysReAllocString(&r.SavedXStatusText, L"утро");

  std::wstring boxText;
  std::thread closer([&] {
    for (int i = 0; i < 1000; ++i) {
      const HWND box = ::FindWindowW(L"#32770", L"Tunelet Plugin");
      if (box && ::IsWindowVisible(box)) {
        wchar_t text[512] = {};
        ::GetDlgItemTextW(box, 0xFFFF, text, 512);
        boxText = text;
        ::Sleep(3600);  // a poll period and more
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        return;
      }
      ::Sleep(10);
    }
  });
  ASSERT_TRUE(host_.Start());
  closer.join();
  EXPECT_EQ(boxText, L"Error loading " + Addon(L"locked.lng"));
  host_.Pump(1500);  // a restore armed during the box would fire here
  EXPECT_EQ(host_.Shown().picture, 5);
  EXPECT_EQ(host_.Shown().title, L"Кофе");
  EXPECT_EQ(host_.Shown().text, L"утро");
  host_.Shutdown();
  EXPECT_EQ(host_.Record().UseLanguageFile, 0);
  ::CloseHandle(lock);
}

}  // namespace
