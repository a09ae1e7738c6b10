// The real Tunelet.dll in the simulated host: hotkeys.dat beside it is read at
// start, its combinations are registered for as long as the plug-in runs and
// released by MSG_SHUTDOWN and MSG_DISABLED.
#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "host_test_support.h"
#include "paste_target.h"
#include "plugin_windows.h"
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
    put(4, "Ctrl+F12");
    HANDLE f = ::CreateFileW(File().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    ::WriteFile(f, bytes.data(), DWORD(bytes.size()), &done, nullptr);
    ::CloseHandle(f);
  }
  // Presses the keys in order and releases them in reverse.
  static void Press(std::initializer_list<WORD> keys) {
    std::vector<INPUT> in;
    for (WORD k : keys) {
      INPUT i{};
      i.type = INPUT_KEYBOARD;
      i.ki.wVk = k;
      in.push_back(i);
    }
    for (size_t n = in.size(); n-- > 0;) {
      INPUT i = in[n];
      i.ki.dwFlags = KEYEVENTF_KEYUP;
      in.push_back(i);
    }
    ::SendInput(UINT(in.size()), in.data(), sizeof(INPUT));
  }
  void PressCtrlShiftF6() { Press({VK_CONTROL, VK_SHIFT, VK_F6}); }

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

// What Media Player Classic shows: its window, while this process holds the
// file open (the open-file route finds it).
class PlayerWindow {
 public:
  PlayerWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MediaPlayerClassicW";
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, L"Media Player Classic", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                              nullptr, wc.hInstance, nullptr);
  }
  ~PlayerWindow() {
    ::DestroyWindow(hwnd_);
    ::UnregisterClassW(L"MediaPlayerClassicW", ::GetModuleHandleW(nullptr));
  }

 private:
  HWND hwnd_ = nullptr;
};

TEST_F(HotKeysInHost, ThePasteKeyTypesThePlayingTrackThroughTheClipboardWithTheDefaultTemplate) {
  WriteBindings();
  const std::wstring track = copy_.Folder() + L"\\track.mp3";
  host_test::WriteTaggedMp3(track, L"Кино", L"Группа крови");
  PlayerWindow player;
  HANDLE playing = ::CreateFileW(track.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(playing, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(host_.Start());
  const bool published = host_test::PumpUntil(host_, [&] { return host_.Shown().picture == 11; }, 10000);
  ::CloseHandle(playing);
  ASSERT_TRUE(published) << talkeo_sim::DescribeXStatus(host_.Shown());

  hotkey_test::PasteTarget target(hotkey_test::PasteTarget::Kind::UnicodeEdit);
  ASSERT_TRUE(host_test::PumpUntil(host_, [&] { return ::GetForegroundWindow() == target.frame(); }, 2000));
  Press({VK_CONTROL, VK_F12});
  const std::wstring line = L"*втыкает Кино \"Группа крови\"*";
  EXPECT_TRUE(host_test::PumpUntil(host_, [&] { return target.Text() == line; }, 3000)) << target.keys();
  host_.Pump(100);
  EXPECT_EQ(target.ctrlV(), 1);
  EXPECT_EQ(target.Text(), line);
  EXPECT_EQ(hotkey_test::ClipboardText(), line);
  host_.Shutdown();
}

// The sixth key pauses sharing: the state popup says until when, the user's
// own X-status comes back, and a second press resumes (the track is shown
// again). The sixth slot lies after the five an older version reads.
TEST_F(HotKeysInHost, ThePauseKeyShowsTheUsersOwnWithTheStatePopupAndASecondPressResumes) {
  std::string bytes(186, '\0');
  const std::string key = "Ctrl+Shift+F9";
  bytes[5 * 31] = char(key.size());
  bytes.replace(5 * 31 + 1, key.size(), key);
  HANDLE f = ::CreateFileW(File().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD done = 0;
  ::WriteFile(f, bytes.data(), DWORD(bytes.size()), &done, nullptr);
  ::CloseHandle(f);
  const std::wstring track = copy_.Folder() + L"\\track.mp3";
  host_test::WriteTaggedMp3(track, L"Кино", L"Группа крови");
  PlayerWindow player;
  HANDLE playing = ::CreateFileW(track.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(playing, INVALID_HANDLE_VALUE);
  const talkeo_sim::XStatus own{5, L"Пью пиво", L"с друзьями"};
  host_.UserSetsXStatus(own.picture, own.title, own.text);
  host_.Record().PopupsOn = 1;
  ASSERT_TRUE(talkeo_sim::DrawnTexts::Trace(host_.Module()));
  ASSERT_TRUE(host_.Start());
  auto shown = [&](int picture) { return host_test::PumpUntil(host_, [&] { return host_.Shown().picture == picture; }, 10000); };
  auto popupSays = [&](const std::wstring& start) {
    return host_test::PumpUntil(host_, [&] {
      // The title, the clock, then the body's lines (a long text takes two).
      for (const talkeo_sim::WindowView& w : talkeo_sim::ListPluginWindows(host_.Module())) {
        if (w.className != L"Tpopform" || w.texts.size() < 3) continue;
        std::wstring body = w.texts[2];
        for (size_t i = 3; i < w.texts.size(); ++i) body += L" " + w.texts[i];
        if (body.rfind(start, 0) == 0) return true;
      }
      return false;
    }, 3000);
  };
  const bool published = shown(11);
  ASSERT_TRUE(published) << talkeo_sim::DescribeXStatus(host_.Shown());

  Press({VK_CONTROL, VK_SHIFT, VK_F9});
  EXPECT_TRUE(popupSays(L"Трансляция приостановлена до "));
  EXPECT_TRUE(shown(own.picture)) << talkeo_sim::DescribeXStatus(host_.Shown());
  EXPECT_EQ(host_.Shown(), own);
  host_.Pump(4000);  // a later poll does not bring the track back
  EXPECT_EQ(host_.Shown(), own);

  Press({VK_CONTROL, VK_SHIFT, VK_F9});
  EXPECT_TRUE(popupSays(L"Трансляция возобновлена"));
  EXPECT_TRUE(shown(11)) << talkeo_sim::DescribeXStatus(host_.Shown());
  ::CloseHandle(playing);
  host_.Shutdown();
}

}  // namespace
