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

namespace {

using tunelet::win32::Win32HotKeys;

constexpr wchar_t kHotKeyClass[] = L"THotkeyform";
constexpr wchar_t kHotKeyTitle[] = L"tlhkf";
constexpr int kQuickInfo = 3, kPaste = 4, kToggle = 0;
const std::u16string kPasteTemplate = u"*втыкает %artist% \"%title%\"*";
const std::wstring kPastedLine = L"*втыкает Кино \"Звезда по имени Солнце\"*";

bool PumpUntil(const std::function<bool()>& done, DWORD boundMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG m;
    while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&m);
      ::DispatchMessageW(&m);
    }
    if (done()) return true;
    if (::GetTickCount() - start > boundMs) return false;
    ::Sleep(5);
  }
}
void PumpFor(DWORD ms) { PumpUntil([] { return false; }, ms); }

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

// Whether another window could take the combination now.
bool OthersCanRegister(UINT mods, UINT vk) {
  constexpr int kProbeId = 0x7000;
  if (!::RegisterHotKey(nullptr, kProbeId, mods, vk)) return false;
  ::UnregisterHotKey(nullptr, kProbeId);
  return true;
}

std::wstring ClipboardText() {
  std::wstring text;
  for (int attempt = 0; attempt < 50 && !::OpenClipboard(nullptr); ++attempt) ::Sleep(10);
  if (HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
    if (auto* p = static_cast<const wchar_t*>(::GlobalLock(h))) {
      text = p;
      ::GlobalUnlock(h);
    }
  }
  ::CloseClipboard();
  return text;
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

// The window another program would have in front: a top-level window with
// one focused edit control (or an 8-bit window with a caret), on a thread of
// its own, counting the keys and characters it receives.
class PasteTarget {
 public:
  enum class Kind { UnicodeEdit, ReadOnlyEdit, EightBitWindow };
  explicit PasteTarget(Kind kind) : kind_(kind) {
    ready_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this] { Run(); });
    ::WaitForSingleObject(ready_, 5000);
  }
  ~PasteTarget() {
    if (threadId_) ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    // Closing the front window activates one of this thread's: keep answering.
    PumpUntil([this] { return ended_.load(); }, 5000);
    thread_.join();
    ::CloseHandle(ready_);
  }
  HWND frame() const { return frame_; }
  HWND input() const { return input_; }
  std::wstring Text() const {
    wchar_t buf[512] = {};
    ::GetWindowTextW(input_, buf, 512);
    return buf;
  }
  int chars() const { return chars_; }
  int ctrlV() const { return ctrlV_; }
  int keys() const { return keys_; }
  std::vector<unsigned> bytes() const {
    std::vector<unsigned> copy;
    for (int i = 0; i < byteCount_; ++i) copy.push_back(bytes_[i]);
    return copy;
  }

 private:
  static PasteTarget*& Self() {
    static thread_local PasteTarget* self = nullptr;
    return self;
  }
  static LRESULT CALLBACK EditHook(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    PasteTarget* t = Self();
    if (msg == WM_CHAR) ++t->chars_;
    if (msg == WM_KEYDOWN && wp == 'V' && (::GetKeyState(VK_CONTROL) & 0x8000)) ++t->ctrlV_;
    if (msg == WM_KEYDOWN || msg == WM_KEYUP) ++t->keys_;
    return ::CallWindowProcW(t->editProc_, h, msg, wp, lp);
  }
  static LRESULT CALLBACK EightBitProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    PasteTarget* t = Self();
    if (msg == WM_SETFOCUS) {
      ::CreateCaret(h, nullptr, 1, 12);
      ::ShowCaret(h);
    } else if (msg == WM_KILLFOCUS) {
      ::DestroyCaret();
    } else if (msg == WM_CHAR && t) {
      ++t->chars_;
      if (t->byteCount_ < int(std::size(t->bytes_))) t->bytes_[t->byteCount_++] = unsigned(wp);
      return 0;
    }
    return ::DefWindowProcA(h, msg, wp, lp);
  }
  void Run() {
    Self() = this;
    threadId_ = ::GetCurrentThreadId();
    frame_ = ::CreateWindowExW(0, L"STATIC", L"chat", WS_POPUP | WS_BORDER | WS_VISIBLE, 50, 50, 420, 120, nullptr,
                               nullptr, nullptr, nullptr);
    if (kind_ == Kind::EightBitWindow) {
      WNDCLASSA wc{};
      wc.lpfnWndProc = EightBitProc;
      wc.hInstance = ::GetModuleHandleA(nullptr);
      wc.lpszClassName = "HotKeyTest8Bit";
      ::RegisterClassA(&wc);
      input_ = ::CreateWindowExA(0, "HotKeyTest8Bit", "", WS_CHILD | WS_VISIBLE, 5, 5, 400, 24, frame_, nullptr,
                                 nullptr, nullptr);
    } else {
      const DWORD readOnly = kind_ == Kind::ReadOnlyEdit ? ES_READONLY : 0;
      input_ = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL | readOnly, 5, 5,
                                 400, 24, frame_, nullptr, nullptr, nullptr);
      editProc_ = reinterpret_cast<WNDPROC>(
          ::SetWindowLongPtrW(input_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditHook)));
    }
    ::SetForegroundWindow(frame_);
    ::SetFocus(input_);
    ::SetEvent(ready_);
    MSG m;
    while (::GetMessageW(&m, nullptr, 0, 0) > 0) {
      ::TranslateMessage(&m);
      ::DispatchMessageW(&m);
    }
    ::DestroyWindow(frame_);
    if (kind_ == Kind::EightBitWindow) ::UnregisterClassA("HotKeyTest8Bit", ::GetModuleHandleA(nullptr));
    ended_ = true;
  }

  Kind kind_;
  HANDLE ready_ = nullptr;
  std::thread thread_;
  std::atomic<DWORD> threadId_{0};
  std::atomic<bool> ended_{false};
  HWND frame_ = nullptr, input_ = nullptr;
  WNDPROC editProc_ = nullptr;
  std::atomic<int> chars_{0}, ctrlV_{0}, keys_{0}, byteCount_{0};
  unsigned bytes_[256] = {};
};

class HotKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"tunelet-hotkeys-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    tunelet::ResetSettings();
    tunelet::PluginSettings& s = tunelet::Settings();
    s.DllPath = reinterpret_cast<const char16_t*>((folder_ + L"\\Tunelet.dll").c_str());
    s.PluginOn = true;
    tunelet::SetText(s.PasteTemplate, kPasteTemplate);
    tunelet::SetText(s.Track.Artist, u"Кино");
    tunelet::SetText(s.Track.Title, u"Звезда по имени Солнце");
    ::DeleteFileW(File().c_str());
  }
  void TearDown() override {
    hotKeys_.DestroyHotKeyWindow();
    ::DeleteFileW(File().c_str());
    ::RemoveDirectoryW(folder_.c_str());
    tunelet::ResetSettings();
  }
  std::wstring File() const { return folder_ + L"\\hotkeys.dat"; }
  // hotkeys.dat with one binding.
  void WriteFile(int action, const std::string& text) const {
    std::string bytes(155, '\0');
    bytes[size_t(action) * 31] = char(text.size());
    bytes.replace(size_t(action) * 31 + 1, text.size(), text);
    HANDLE f = ::CreateFileW(File().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put = 0;
    ::WriteFile(f, bytes.data(), DWORD(bytes.size()), &put, nullptr);
    ::CloseHandle(f);
  }
  void KnowAFile() { tunelet::SetText(tunelet::Track().FilePath, u"C:\\music\\kino.mp3"); }
  void PressHotKey(int action) {
    ::PostMessageW(hotKeys_.hotKeyWindow(), WM_HOTKEY, WPARAM(action), 0);
    PumpFor(50);
  }

  std::wstring folder_;
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
