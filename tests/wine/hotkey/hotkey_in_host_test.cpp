// The real Tunelet.dll in the simulated host: hotkeys.dat beside it is read at
// start, its combinations are registered for as long as the plug-in runs and
// released by MSG_SHUTDOWN and MSG_DISABLED.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "host_test_support.h"
#include "sim_host.h"

namespace {

using host_test::PluginCopy;
using talkeo_sim::SimHost;

bool OthersCanRegister(UINT mods, UINT vk) {
  constexpr int kProbeId = 0x7002;
  if (!::RegisterHotKey(nullptr, kProbeId, mods, vk)) return false;
  ::UnregisterHotKey(nullptr, kProbeId);
  return true;
}

HWND PluginHotKeyWindow() { return ::FindWindowW(L"THotkeyform", L"tlhkf"); }

class HotKeysInHost : public ::testing::Test {
 protected:
  void SetUp() override {
    copy_.WriteQuietIni();
    std::string error;
    ASSERT_TRUE(host_.Load(copy_.Dll(), &error)) << error;
    host_.Record().Initialised = 1;
    host_.Record().PluginOn = 1;
  }
  void TearDown() override { host_.Unload(); }
  std::wstring File() const { return copy_.Folder() + L"\\hotkeys.dat"; }
  // hotkeys.dat with Ctrl+F5 for QuickInfo and Ctrl+Shift+F6 for the switch.
  void WriteBindings() const {
    std::string bytes(155, '\0');
    const auto put = [&](int action, const std::string& text) {
      bytes[size_t(action) * 31] = char(text.size());
      bytes.replace(size_t(action) * 31 + 1, text.size(), text);
    };
    put(3, "Ctrl+F5");
    put(0, "Ctrl+Shift+F6");
    HANDLE f = ::CreateFileW(File().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    ::WriteFile(f, bytes.data(), DWORD(bytes.size()), &done, nullptr);
    ::CloseHandle(f);
  }
  void PressCtrlShiftF6() {
    const WORD keys[] = {VK_CONTROL, VK_SHIFT, VK_F6};
    INPUT in[6] = {};
    for (int i = 0; i < 3; ++i) {
      in[i].type = in[5 - i].type = INPUT_KEYBOARD;
      in[i].ki.wVk = in[5 - i].ki.wVk = keys[i];
      in[5 - i].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    ::SendInput(6, in, sizeof(INPUT));
  }

  PluginCopy copy_;
  SimHost host_;
};

TEST_F(HotKeysInHost, CombinationsFromTheFileLiveFromStartToShutdown) {
  WriteBindings();
  ASSERT_TRUE(OthersCanRegister(MOD_CONTROL, VK_F5));
  ASSERT_TRUE(host_.Start());
  EXPECT_TRUE(PluginHotKeyWindow());
  EXPECT_FALSE(OthersCanRegister(MOD_CONTROL, VK_F5));
  EXPECT_FALSE(OthersCanRegister(MOD_CONTROL | MOD_SHIFT, VK_F6));
  host_.Shutdown();
  EXPECT_FALSE(PluginHotKeyWindow());
  EXPECT_TRUE(OthersCanRegister(MOD_CONTROL, VK_F5));
  EXPECT_TRUE(OthersCanRegister(MOD_CONTROL | MOD_SHIFT, VK_F6));
}

TEST_F(HotKeysInHost, DisablingReleasesThemAndEnablingTakesThemAgain) {
  WriteBindings();
  ASSERT_TRUE(host_.Start());
  EXPECT_FALSE(OthersCanRegister(MOD_CONTROL, VK_F5));
  host_.Disable();
  EXPECT_FALSE(PluginHotKeyWindow());
  EXPECT_TRUE(OthersCanRegister(MOD_CONTROL, VK_F5));
  host_.Enable();
  EXPECT_FALSE(OthersCanRegister(MOD_CONTROL, VK_F5));
  host_.Shutdown();
  EXPECT_TRUE(OthersCanRegister(MOD_CONTROL, VK_F5));
}

TEST_F(HotKeysInHost, AMissingFileIsCreatedEmptyBesideThePlugIn) {
  ASSERT_TRUE(host_.Start());
  WIN32_FILE_ATTRIBUTE_DATA a{};
  ASSERT_TRUE(::GetFileAttributesExW(File().c_str(), GetFileExInfoStandard, &a));
  EXPECT_EQ(a.nFileSizeLow, 0u);
  EXPECT_TRUE(PluginHotKeyWindow());
  host_.Shutdown();
}

TEST_F(HotKeysInHost, TheSwitchKeyTurnsThePlugInOffWithTheStatePopup) {
  WriteBindings();
  host_.Record().PopupsOn = 1;
  ASSERT_TRUE(host_.Start());
  PressCtrlShiftF6();
  EXPECT_TRUE(host_test::PumpUntil(host_, [] { return ::FindWindowW(L"Tpopform", nullptr) != nullptr; }, 3000));
  host_.Shutdown();
  EXPECT_EQ(host_.Record().PluginOn, 0);  // the record stored at shutdown holds the switch as the key left it
}

}  // namespace
