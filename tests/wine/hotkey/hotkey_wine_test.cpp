// The hot-key window, its registrations and the paste under Wine, in this
// process: a recording IUserInterface stands for the windows, and the paste
// target is an edit control on a thread of its own, as another program's
// would be.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "hotkey/win32/hotkeys_win32.h"
#include "hotkey/win32/paste_win32.h"
#include "model/settings.h"
#include "paste_target.h"
#include "plugin_folder.h"

namespace {

using hotkey_test::ClipboardText;
using hotkey_test::OthersCanRegister;
using hotkey_test::PasteTarget;
using hotkey_test::PumpFor;
using hotkey_test::PumpUntil;
using tunelet::win32::Win32HotKeys;

constexpr wchar_t kHotKeyClass[] = L"THotkeyform";
constexpr wchar_t kHotKeyTitle[] = L"tlhkf";
constexpr int kQuickInfo = 3, kPaste = 4, kToggle = 0;
const std::u16string kPasteTemplate = u"*втыкает %artist% \"%title%\"*";
const std::wstring kPastedLine = L"*втыкает Кино \"Звезда по имени Солнце\"*";


// A key combination pressed on the keyboard (hardware input, not a message).
void Press(std::initializer_list<WORD> keys) {
  std::vector<INPUT> in;
  for (WORD k : keys) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = k;
    in.push_back(i);
  }
  for (auto it = keys.end(); it != keys.begin();) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = *--it;
    i.ki.dwFlags = KEYEVENTF_KEYUP;
    in.push_back(i);
  }
  ::SendInput(UINT(in.size()), in.data(), sizeof(INPUT));
}

struct RecordingWindows final : tunelet::IUserInterface {
  std::vector<std::string> calls;
  bool optionsOpen = false;
  void ShowPopup(int kind) override { calls.push_back("popup " + std::to_string(kind)); }
  void ShowControlWindow() override { calls.push_back("show control"); }
  void CloseControlWindow() override { calls.push_back("close control"); }
  void ShowOptionsDialog() override { calls.push_back("options"); }
  void ShowQuickInfo() override { calls.push_back("quickinfo"); }
  bool IsOptionsDialogOpen() override { return optionsOpen; }
};


class HotKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    tunelet::PluginSettings& s = tunelet::Settings();
    s.PluginOn = true;
    tunelet::SetText(s.PasteTemplate, kPasteTemplate);
    tunelet::SetText(s.Track.Artist, u"Кино");
    tunelet::SetText(s.Track.Title, u"Звезда по имени Солнце");
  }
  void TearDown() override { hotKeys_.DestroyHotKeyWindow(); }
  std::wstring File() const { return folder_.HotKeyFile(); }
  // hotkeys.dat with one binding.
  void WriteFile(int action, const std::string& text) const { folder_.WriteHotKeyFile({{action, text}}); }
  void KnowAFile() { tunelet::SetText(tunelet::Track().FilePath, u"C:\\music\\kino.mp3"); }
  void PressHotKey(int action) {
    ::PostMessageW(hotKeys_.hotKeyWindow(), WM_HOTKEY, WPARAM(action), 0);
    PumpFor(50);
  }

  hotkey_test::PluginFolder folder_{L"tunelet-hotkeys"};
  RecordingWindows windows_;
  Win32HotKeys hotKeys_{windows_};
};

TEST_F(HotKeys, ASlotFromTheFileIsRegisteredByTheHiddenWindowAndReleasedWithIt) {
  WriteFile(kQuickInfo, "Ctrl+F5");
  ASSERT_TRUE(OthersCanRegister(MOD_CONTROL, VK_F5));
  hotKeys_.LoadHotKeySlots();
  hotKeys_.CreateHotKeyWindow();
  const HWND window = ::FindWindowW(kHotKeyClass, kHotKeyTitle);
  ASSERT_TRUE(window);
  EXPECT_EQ(window, hotKeys_.hotKeyWindow());
  EXPECT_FALSE(::IsWindowVisible(window));
  EXPECT_EQ(::GetWindowLongW(window, GWL_STYLE) & (WS_VISIBLE | WS_CHILD | WS_POPUP), 0);
  EXPECT_EQ(::GetClassLongW(window, GCL_STYLE), DWORD(CS_PARENTDC));
  EXPECT_FALSE(OthersCanRegister(MOD_CONTROL, VK_F5));
  EXPECT_EQ(hotKeys_.SlotText(kQuickInfo), u"Ctrl+F5");

  hotKeys_.DestroyHotKeyWindow();
  EXPECT_FALSE(::IsWindow(window));
  WNDCLASSW wc{};
  EXPECT_FALSE(::GetClassInfoW(::GetModuleHandleW(nullptr), kHotKeyClass, &wc));
  EXPECT_TRUE(OthersCanRegister(MOD_CONTROL, VK_F5));
}

TEST_F(HotKeys, AMissingFileIsCreatedEmptyAndNothingIsRegistered) {
  hotKeys_.LoadHotKeySlots();
  WIN32_FILE_ATTRIBUTE_DATA a{};
  ASSERT_TRUE(::GetFileAttributesExW(File().c_str(), GetFileExInfoStandard, &a));
  EXPECT_EQ(a.nFileSizeLow, 0u);
  hotKeys_.CreateHotKeyWindow();
  EXPECT_TRUE(hotKeys_.hotKeyWindow());
  for (int action = 0; action < 5; ++action) EXPECT_FALSE(hotKeys_.UnregisterHotKey(action)) << action;
}

TEST_F(HotKeys, PressingTheKeyOnTheKeyboardShowsQuickInfoOnlyWhenAFileIsKnown) {
  WriteFile(kQuickInfo, "Ctrl+F5");
  hotKeys_.LoadHotKeySlots();
  hotKeys_.CreateHotKeyWindow();
  Press({VK_CONTROL, VK_F5});
  PumpFor(300);
  EXPECT_TRUE(windows_.calls.empty());
  KnowAFile();
  Press({VK_CONTROL, VK_F5});
  EXPECT_TRUE(PumpUntil([&] { return !windows_.calls.empty(); }, 2000));
  EXPECT_EQ(windows_.calls, std::vector<std::string>{"quickinfo"});
}

TEST_F(HotKeys, TheSwitchKeyFlipsPluginOnAndShowsTheStatePopup) {
  hotKeys_.CreateHotKeyWindow();
  tunelet::Settings().PopupsOn = true;
  PressHotKey(kToggle);
  EXPECT_FALSE(tunelet::Settings().PluginOn);
  EXPECT_EQ(windows_.calls, std::vector<std::string>{"popup 1"});
  // Identifiers that are no action go to the default procedure.
  EXPECT_EQ(::SendMessageW(hotKeys_.hotKeyWindow(), WM_HOTKEY, 9, 0), 0);
  EXPECT_EQ(windows_.calls.size(), 1u);
}

TEST_F(HotKeys, TheTrialRegistrationTellsFreeFromTakenAndLeavesNoAtom) {
  hotKeys_.CreateHotKeyWindow();
  const uint32_t ctrlShiftAltF9 = 0x4000 | 0x2000 | 0x8000 | VK_F9;
  EXPECT_TRUE(hotKeys_.CanRegisterShortcut(ctrlShiftAltF9));
  ASSERT_TRUE(::RegisterHotKey(nullptr, 0x7001, MOD_CONTROL | MOD_SHIFT | MOD_ALT, VK_F9));
  EXPECT_FALSE(hotKeys_.CanRegisterShortcut(ctrlShiftAltF9));
  EXPECT_EQ(::GlobalFindAtomW(L"TestingHotKey"), 0);

  const DWORD start = ::GetTickCount();
  const std::vector<std::u16string> unavailable = hotKeys_.UnavailableCombinations();
  const DWORD took = ::GetTickCount() - start;
  ::UnregisterHotKey(nullptr, 0x7001);
  std::printf("unavailable-combinations scan: %u combinations refused, %lu ms\n", unsigned(unavailable.size()),
              static_cast<unsigned long>(took));
  EXPECT_NE(std::find(unavailable.begin(), unavailable.end(), u"Ctrl+Shift+Alt+F9"), unavailable.end());
  EXPECT_EQ(::GlobalFindAtomW(L"TestingHotKey"), 0);
}

TEST_F(HotKeys, TheDialogsRegistrationsGoThroughTheWindowAndNeedAModifier) {
  hotKeys_.CreateHotKeyWindow();
  const uint32_t ctrlF12 = 0x4000 | VK_F12;
  EXPECT_EQ(hotKeys_.TextToShortcut(u"Ctrl+F12"), ctrlF12);
  EXPECT_EQ(hotKeys_.ShortcutToText(ctrlF12), u"Ctrl+F12");
  EXPECT_FALSE(hotKeys_.RegisterHotKey(kPaste, VK_F12));  // no modifier
  ASSERT_TRUE(hotKeys_.RegisterHotKey(kPaste, ctrlF12));
  EXPECT_FALSE(OthersCanRegister(MOD_CONTROL, VK_F12));
  EXPECT_TRUE(hotKeys_.UnregisterHotKey(kPaste));
  EXPECT_TRUE(OthersCanRegister(MOD_CONTROL, VK_F12));

  hotKeys_.SetSlotText(kPaste, u"Ctrl+F12");
  hotKeys_.SaveHotKeySlots();
  hotKeys_.ClearSlot(kPaste);
  hotKeys_.LoadHotKeySlots();
  EXPECT_EQ(hotKeys_.SlotText(kPaste), u"Ctrl+F12");
}

// Wine's layout names Insert as itself only with the extended-key flag
// ("KP_Insert" without), gives F13 and the keypad digits no scan code, and
// names vk 0x92 "=" like the "=" key (0xBB) after it.
TEST_F(HotKeys, KeyNamesComeFromTheLayoutAndOnlyThoseThatNameTheirKeyAgainAreKept) {
  EXPECT_EQ(hotKeys_.ShortcutToText(0x4000 | VK_INSERT), u"Ctrl+Insert");
  EXPECT_EQ(hotKeys_.TextToShortcut(u"Ctrl+Insert"), 0x4000u | VK_INSERT);
  EXPECT_EQ(hotKeys_.ShortcutToText(0x4000 | VK_F13), u"Ctrl+");
  for (const uint32_t kept : {0x4000u | VK_F5, 0x4000u | VK_INSERT, 0x4000u | VK_ADD, 0x8000u | 'Q'})
    EXPECT_TRUE(hotKeys_.ReadsBack(kept)) << std::hex << kept;
  for (const uint32_t lost : {0x4000u | VK_F13, 0x4000u | VK_NUMPAD0, 0x4000u | VK_OEM_PLUS})
    EXPECT_FALSE(hotKeys_.ReadsBack(lost)) << std::hex << lost;
}

TEST_F(HotKeys, ABindingTheSystemRefusedAtStartCountsAsFailedUntilItIsRegistered) {
  constexpr int kOthersId = 0x7003;
  WriteFile(kQuickInfo, "Ctrl+F5");
  ASSERT_TRUE(::RegisterHotKey(nullptr, kOthersId, MOD_CONTROL, VK_F5));  // another program has it
  hotKeys_.LoadHotKeySlots();
  hotKeys_.CreateHotKeyWindow();
  EXPECT_TRUE(hotKeys_.BindingFailed(kQuickInfo));
  EXPECT_FALSE(hotKeys_.BindingFailed(kPaste));  // no binding

  ::UnregisterHotKey(nullptr, kOthersId);
  hotKeys_.RegisterAllHotKeys();
  EXPECT_FALSE(hotKeys_.BindingFailed(kQuickInfo));
  EXPECT_FALSE(OthersCanRegister(MOD_CONTROL, VK_F5));
  hotKeys_.RegisterAllHotKeys();  // what the window holds already stays working
  EXPECT_FALSE(hotKeys_.BindingFailed(kQuickInfo));

  EXPECT_TRUE(hotKeys_.UnregisterHotKey(kQuickInfo));
  EXPECT_TRUE(hotKeys_.BindingFailed(kQuickInfo));  // the slot still holds it
  ASSERT_TRUE(hotKeys_.RegisterHotKey(kQuickInfo, 0x4000 | VK_F5));
  EXPECT_FALSE(hotKeys_.BindingFailed(kQuickInfo));
  hotKeys_.DestroyHotKeyWindow();
  EXPECT_TRUE(hotKeys_.BindingFailed(kQuickInfo));
}

TEST_F(HotKeys, ThePasteKeyPutsTheLineOnTheClipboardAndSendsOneCtrlV) {
  hotKeys_.CreateHotKeyWindow();
  KnowAFile();
  PasteTarget target(PasteTarget::Kind::UnicodeEdit);
  ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == target.frame(); }, 2000));
  PressHotKey(kPaste);
  EXPECT_TRUE(PumpUntil([&] { return target.Text() == kPastedLine; }, 3000)) << target.keys();
  PumpFor(100);
  EXPECT_EQ(target.ctrlV(), 1);
  EXPECT_EQ(target.Text(), kPastedLine);
  EXPECT_EQ(ClipboardText(), kPastedLine);
}

TEST_F(HotKeys, OneKeyCombinationIsFourKeyRecordsToTheFocusedWindow) {
  PasteTarget target(PasteTarget::Kind::UnicodeEdit);
  ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == target.frame(); }, 2000));
  ASSERT_TRUE(tunelet::win32::PutTextOnClipboard(u"Ctrl+V"));
  tunelet::win32::SendKeyCombination(0x4056);
  EXPECT_TRUE(PumpUntil([&] { return target.Text() == L"Ctrl+V"; }, 2000));
  PumpFor(100);
  EXPECT_EQ(target.keys(), 4);
  EXPECT_EQ(target.ctrlV(), 1);
}

TEST_F(HotKeys, TheDirectPasteSendsOneCharacterMessagePerUtf16Unit) {
  tunelet::Settings().Directpaste = true;
  tunelet::SetText(tunelet::Settings().PasteTemplate, u"%title% 🎵{{%album%= from %album%}}");
  hotKeys_.CreateHotKeyWindow();
  KnowAFile();
  const std::wstring line = L"Звезда по имени Солнце 🎵{{= from }}";
  PasteTarget target(PasteTarget::Kind::UnicodeEdit);
  ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == target.frame(); }, 2000));
  PressHotKey(kPaste);
  EXPECT_TRUE(PumpUntil([&] { return target.chars() >= int(line.size()); }, 3000));
  PumpFor(100);
  EXPECT_EQ(target.chars(), int(line.size()));
  EXPECT_EQ(target.Text(), line);
}

// A title with a line break in its tag would send the chat line at the break
// and type the rest as a command.
TEST_F(HotKeys, ALineBreakInATagIsPastedAsASpaceByBothMethods) {
  tunelet::SetText(tunelet::Track().Title, u"Nice song\r\n/quit see you");
  const std::wstring line = L"*втыкает Кино \"Nice song /quit see you\"*";
  hotKeys_.CreateHotKeyWindow();
  KnowAFile();
  {
    tunelet::Settings().Directpaste = true;
    PasteTarget target(PasteTarget::Kind::UnicodeEdit);
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == target.frame(); }, 2000));
    PressHotKey(kPaste);
    EXPECT_TRUE(PumpUntil([&] { return target.chars() >= int(line.size()); }, 3000));
    PumpFor(100);
    EXPECT_EQ(target.lineBreaks(), 0);
    EXPECT_EQ(target.chars(), int(line.size()));
    EXPECT_EQ(target.Text(), line);
  }
  {
    tunelet::Settings().Directpaste = false;
    PasteTarget target(PasteTarget::Kind::UnicodeEdit);
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == target.frame(); }, 2000));
    PressHotKey(kPaste);
    EXPECT_TRUE(PumpUntil([&] { return target.Text() == line; }, 3000)) << target.keys();
    EXPECT_EQ(ClipboardText(), line);
  }
}

TEST_F(HotKeys, AnEightBitWindowGetsWindows1251BytesWhenAUIsOne) {
  tunelet::Settings().a_u = 1;
  tunelet::SetText(tunelet::Settings().PasteTemplate, u"%artist%!");
  KnowAFile();
  PasteTarget target(PasteTarget::Kind::EightBitWindow);
  ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == target.frame(); }, 2000));
  ASSERT_FALSE(::IsWindowUnicode(target.input()));
  tunelet::win32::Win32Paste paste;
  EXPECT_TRUE(paste.PasteDirect());
  EXPECT_TRUE(PumpUntil([&] { return target.chars() >= 5; }, 3000));
  PumpFor(100);
  EXPECT_EQ(target.bytes(), (std::vector<unsigned>{0xCA, 0xE8, 0xED, 0xEE, '!'}));  // К и н о in 1251
}

TEST_F(HotKeys, AReadOnlyEditReceivesNothing) {
  KnowAFile();
  PasteTarget target(PasteTarget::Kind::ReadOnlyEdit);
  ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == target.frame(); }, 2000));
  tunelet::win32::Win32Paste paste;
  EXPECT_FALSE(paste.PasteDirect());
  PumpFor(200);
  EXPECT_EQ(target.chars(), 0);
  EXPECT_EQ(target.Text(), L"");
}

}  // namespace
