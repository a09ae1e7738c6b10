// The options dialog under Wine, made through Win32UserInterface with test
// services and in-memory settings: the frame, its keys, saving and
// cancelling, the players, main and X-status tabs, the language file's texts
// and what the dialog leaves behind.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "gui_objects.h"
#include "model/player_table.h"
#include "templates/template_engine.h"
#include "ui/options_rules.h"
#include "ui/options_texts.h"

#include "model/settings.h"
#include "model/subsystems.h"
#include "platform/win32/dialog_keys.h"
#include "ui/options_controls.h"
#include "ui/win32/options_dialog.h"
#include "ui/win32/user_interface_win32.h"

namespace {

using gui_objects::CountGuiObjects;
using gui_objects::Describe;
using gui_objects::GuiObjects;
using tunelet::Settings;
using tunelet::win32::Win32UserInterface;

constexpr wchar_t kCaption[] = L"Tunelet - Настройки";

void Pump() {
  MSG m;
  while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&m);
    ::DispatchMessageW(&m);
  }
}

std::wstring TextOf(HWND hwnd) {
  wchar_t buf[1024] = {};
  ::GetWindowTextW(hwnd, buf, 1024);
  return buf;
}

BOOL CALLBACK CountCaptioned(HWND w, LPARAM lp) {
  if (TextOf(w) == kCaption) ++*reinterpret_cast<int*>(lp);
  return TRUE;
}
BOOL CALLBACK CountChild(HWND, LPARAM lp) {
  ++*reinterpret_cast<int*>(lp);
  return TRUE;
}
BOOL CALLBACK CountWindow(HWND w, LPARAM lp) {
  ++*reinterpret_cast<int*>(lp);
  ::EnumChildWindows(w, CountChild, lp);  // every depth
  return TRUE;
}
// Top-level windows of this thread with their children, at every depth.
int WindowsOfThisThread() {
  int n = 0;
  ::EnumThreadWindows(::GetCurrentThreadId(), CountWindow, LPARAM(&n));
  return n;
}
int OptionsWindowsOfThisThread() {
  int n = 0;
  ::EnumThreadWindows(::GetCurrentThreadId(), CountCaptioned, LPARAM(&n));
  return n;
}

// The key as the host's message loop would fetch it: posted to the focused
// control, then pumped (the dialog's hook sees it there).
void PressKey(UINT vk) {
  const HWND focus = ::GetFocus();
  ::PostMessageW(focus, WM_KEYDOWN, vk, 1);
  ::PostMessageW(focus, WM_KEYUP, vk, 0xC0000001);
  Pump();
}

struct FoundControl {
  int id;
  HWND hwnd = nullptr;
};
BOOL CALLBACK MatchId(HWND w, LPARAM lp) {
  auto* f = reinterpret_cast<FoundControl*>(lp);
  if (::GetDlgCtrlID(w) != f->id) return TRUE;
  f->hwnd = w;
  return FALSE;
}
// A control of the dialog by its id, at any depth (pages, scroll boxes).
HWND FindControl(HWND dialog, int id) {
  FoundControl f{id};
  ::EnumChildWindows(dialog, MatchId, LPARAM(&f));
  return f.hwnd;
}

bool Checked(HWND button) { return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
int Selection(HWND combo) { return int(::SendMessageW(combo, CB_GETCURSEL, 0, 0)); }
void SetText(HWND control, const wchar_t* text) { ::SetWindowTextW(control, text); }

// A message box of the dialog, seen from a second thread: its text, caption
// and icon are read, then it is closed with its first button.
struct SeenBox {
  std::wstring caption, text;
  HICON icon = nullptr;
  bool found = false;
};
class BoxWatcher {
 public:
  explicit BoxWatcher(HWND owner, int button = IDOK)
      : thread_([this, owner, button] {
          for (int i = 0; i < 500 && !seen_.found; ++i) {
            for (HWND box = nullptr; (box = ::FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr;) {
              if (::GetWindow(box, GW_OWNER) != owner || !::IsWindowVisible(box)) continue;
              seen_.caption = TextOf(box);
              seen_.text = TextOf(::GetDlgItem(box, 0xFFFF));
              for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
                if ((::GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                  seen_.icon = HICON(::SendMessageW(c, STM_GETICON, 0, 0));
              seen_.found = true;
              ::PostMessageW(box, WM_COMMAND, button, 0);
              return;
            }
            ::Sleep(10);
          }
        }) {}
  ~BoxWatcher() {
    if (thread_.joinable()) thread_.join();
  }
  const SeenBox& Wait() {
    thread_.join();
    return seen_;
  }

 private:
  SeenBox seen_;
  std::thread thread_;
};

// A language file whose texts are the keys themselves, after a letter that
// the 8-bit path of the tabs cannot carry.
class KeyTexts : public tunelet::IUiTexts {
 public:
  std::u16string Text(std::u16string_view key) const override { return u"Ж" + std::u16string(key); }
};

struct CountingStore : tunelet::IOptionsStore {
  int saves = 0;
  void SaveOptions() override { ++saves; }
};
struct CountingLanguage : tunelet::ILanguage {
  int shown = 0;
  void ShowLanguageDialog() override { ++shown; }
};

class OptionsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tunelet::ResetSettings();
    tunelet::PluginSettings& s = Settings();
    s.PluginOn = true;
    s.Action = 21;
    s.Refreshinterval = 5000;
    s.Xstat_a = 11;
    s.Xstat_v = 8;
    s.CurrentPlayer = 1;
    tunelet::SetText(s.AudioTitleTemplate, u"Слушаю:");
    tunelet::SetText(s.AudioTextTemplate, u"{{%artist%=%artist% }}\"%title%\"");
    tunelet::SetText(s.VideoTitleTemplate, u"Смотрю:");
    tunelet::SetText(s.VideoTextTemplate, u"{{%artist%=%artist% }}\"%title%\"");
    s.SettingsJustSaved = false;
    ui_.AttachOptionsServices({nullptr, nullptr, &language_, nullptr, nullptr, &store_});
  }
  void TearDown() override {
    ui_.CloseDialogs();
    Pump();
    tunelet::ResetSettings();
  }
  HWND Open() {
    ui_.ShowOptionsDialog();
    Pump();
    return ui_.OptionsWindow();
  }
  HWND Item(int id) const { return FindControl(ui_.OptionsWindow(), id); }
  HWND Tabs() const { return Item(tunelet::kIdMainPageControl); }
  // The way the simulated host's steps pick a tab.
  void SelectTab(int tab) {
    ::SendMessageW(Tabs(), TCM_SETCURSEL, tab, 0);
    NMHDR hdr{Tabs(), UINT_PTR(tunelet::kIdMainPageControl), UINT(TCN_SELCHANGE)};
    ::SendMessageW(ui_.OptionsWindow(), WM_NOTIFY, tunelet::kIdMainPageControl, LPARAM(&hdr));
  }
  std::vector<HWND> VisiblePages() const {
    std::vector<HWND> pages;
    for (HWND c = ::GetWindow(ui_.OptionsWindow(), GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
      wchar_t cls[32] = {};
      ::GetClassNameW(c, cls, 32);
      if (std::wstring(cls) == L"TntTabSheet" && ::IsWindowVisible(c)) pages.push_back(c);
    }
    return pages;
  }
  void Click(HWND button) { ::SendMessageW(button, BM_CLICK, 0, 0); }

  tunelet::IPlayerAccess players_;
  tunelet::BuiltInUiTexts texts_;
  CountingStore store_;
  CountingLanguage language_;
  Win32UserInterface ui_{players_, texts_};
};

TEST_F(OptionsDialogTest, OpensOnceCentredWithTheFrameAndNineSwitchableTabsInTwoRows) {
  const HWND w = Open();
  ASSERT_TRUE(w);
  EXPECT_TRUE(ui_.IsOptionsDialogOpen());
  EXPECT_EQ(TextOf(w), kCaption);
  RECT client{}, outer{};
  ::GetClientRect(w, &client);
  EXPECT_EQ(client.right, 444);
  EXPECT_EQ(client.bottom, 361);
  ::GetWindowRect(w, &outer);
  EXPECT_NEAR((outer.left + outer.right) / 2, ::GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((outer.top + outer.bottom) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2, 1);
  const LONG style = ::GetWindowLongW(w, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_FALSE(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));

  const struct {
    int id;
    RECT r;
    const wchar_t* text;
  } frame[] = {{tunelet::kIdChboxOn, {17, 15, 355, 32}, L"Плагин включен"},
               {tunelet::kIdMainPageControl, {13, 42, 432, 316}, L""},
               {tunelet::kIdLangButton, {12, 326, 40, 350}, nullptr},
               {tunelet::kIdHpButton, {45, 326, 73, 350}, nullptr},
               {tunelet::kIdBtSave, {222, 325, 324, 352}, L"Сохранить"},
               {tunelet::kIdBtClose, {330, 325, 432, 352}, L"Отмена"}};
  for (const auto& c : frame) {
    const HWND h = Item(c.id);
    ASSERT_TRUE(h) << c.id;
    RECT r{};
    ::GetWindowRect(h, &r);
    ::MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, c.r.left) << c.id;
    EXPECT_EQ(r.top, c.r.top) << c.id;
    EXPECT_EQ(r.right, c.r.right) << c.id;
    EXPECT_EQ(r.bottom, c.r.bottom) << c.id;
    if (c.text) {
      EXPECT_EQ(TextOf(h), c.text) << c.id;
    }
  }
  EXPECT_TRUE(::IsDlgButtonChecked(w, tunelet::kIdChboxOn));

  const wchar_t* const tabs[] = {L"Проигрыватели", L"Основные", L"Х-статус", L"Горячие клавиши",
                                 L"Всплывающие окна", L"Прочие", L"Tunelet Control", L"О плагине",
                                 L"Приватность"};
  ASSERT_EQ(::SendMessageW(Tabs(), TCM_GETITEMCOUNT, 0, 0), 9);
  // In two rows: a third would take the pages' bottom lines.
  EXPECT_EQ(::SendMessageW(Tabs(), TCM_GETROWCOUNT, 0, 0), 2);
  for (int i = 0; i < 9; ++i) {
    wchar_t buf[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = buf;
    item.cchTextMax = 64;
    ::SendMessageW(Tabs(), TCM_GETITEMW, i, LPARAM(&item));
    EXPECT_STREQ(buf, tabs[i]);
  }

  // One page shown at a time, another for each tab.
  std::vector<HWND> seen;
  for (int tab : {0, 3, 7, 1, 2, 8}) {
    SelectTab(tab);
    const std::vector<HWND> visible = VisiblePages();
    ASSERT_EQ(visible.size(), 1u) << tab;
    EXPECT_EQ(std::find(seen.begin(), seen.end(), visible[0]), seen.end()) << tab;
    seen.push_back(visible[0]);
  }
  SelectTab(3);
  EXPECT_EQ(VisiblePages()[0], seen[1]);

  // A second request brings the same window forward.
  ui_.ShowOptionsDialog();
  Pump();
  EXPECT_EQ(ui_.OptionsWindow(), w);
  EXPECT_EQ(OptionsWindowsOfThisThread(), 1);
  EXPECT_EQ(::GetForegroundWindow(), w);

  Click(Item(tunelet::kIdLangButton));
  EXPECT_EQ(language_.shown, 1);
}

TEST_F(OptionsDialogTest, SaveStoresTheSwitchWritesOnceAndCloses) {
  tunelet::SetText(tunelet::Track().LastReadPath, u"C:\\music\\a.mp3");
  const HWND w = Open();
  ASSERT_TRUE(w);
  Click(Item(tunelet::kIdChboxOn));
  Click(Item(tunelet::kIdBtSave));
  Pump();
  EXPECT_FALSE(::IsWindow(w));
  EXPECT_FALSE(ui_.IsOptionsDialogOpen());
  EXPECT_FALSE(Settings().PluginOn);
  EXPECT_EQ(store_.saves, 1);
  EXPECT_TRUE(Settings().SettingsJustSaved);
  EXPECT_FALSE(tunelet::Track().LastReadPath.has_value());
  EXPECT_FALSE(tunelet::win32::DialogKeysHooked());
}

TEST_F(OptionsDialogTest, CancelEscapeAndTheStopCloseWithoutSaving) {
  tunelet::SetText(tunelet::Track().LastReadPath, u"C:\\music\\a.mp3");
  // "Отмена"
  Open();
  Click(Item(tunelet::kIdChboxOn));
  Click(Item(tunelet::kIdBtClose));
  Pump();
  EXPECT_FALSE(ui_.IsOptionsDialogOpen());
  // Escape, from the switch and from inside a page.
  for (int tab : {-1, 1}) {
    const HWND w = Open();
    ASSERT_TRUE(w);
    EXPECT_TRUE(tunelet::win32::DialogKeysHooked());
    if (tab >= 0) {
      SelectTab(tab);
      ::SetFocus(::GetNextDlgTabItem(VisiblePages()[0], nullptr, FALSE));
    }
    Click(Item(tunelet::kIdChboxOn));
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(::IsWindow(w)) << tab;
  }
  // The plug-in's stop.
  Open();
  ui_.CloseDialogs();
  EXPECT_FALSE(ui_.IsOptionsDialogOpen());

  EXPECT_EQ(store_.saves, 0);
  EXPECT_TRUE(Settings().PluginOn);
  EXPECT_FALSE(Settings().SettingsJustSaved);
  EXPECT_TRUE(tunelet::Track().LastReadPath.has_value());
  EXPECT_FALSE(tunelet::win32::DialogKeysHooked());
}

TEST_F(OptionsDialogTest, EnterOnTheSwitchSavesAndTabWalksOn) {
  const HWND w = Open();
  ASSERT_TRUE(w);
  const HWND on = Item(tunelet::kIdChboxOn);
  ::SetFocus(on);
  PressKey(VK_TAB);
  EXPECT_NE(::GetFocus(), on);
  EXPECT_TRUE(::IsChild(w, ::GetFocus()));
  ::SetFocus(on);
  PressKey(VK_RETURN);
  EXPECT_FALSE(::IsWindow(w));
  EXPECT_EQ(store_.saves, 1);
}

// Every setting of the players, main and X-status tabs, away from its
// default, is shown by its control; every control changed is stored.
TEST_F(OptionsDialogTest, EverySettingOfTheFirstThreeTabsIsShownAndStoredBack) {
  tunelet::PluginSettings& s = Settings();
  s.PluginOn = false;
  s.ManualPlayer = true;
  s.CurrentPlayer = tunelet::kAimp2;
  s.Action = 31;
  s.Xstat_a = 3;
  s.Xstat_v = 35;
  s.Refreshinterval = 8000;
  s.KeepXStatusName = true;
  tunelet::SetText(s.AudioTitleTemplate, u"Слушаю тут");
  tunelet::SetText(s.AudioTextTemplate, u"%artist%\r\n%title%");
  tunelet::SetText(s.VideoTitleTemplate, u"Кино:");
  tunelet::SetText(s.VideoTextTemplate, u"{{%album%=[%album%] }}%title%");
  ASSERT_TRUE(Open());

  EXPECT_FALSE(Checked(Item(tunelet::kIdChboxOn)));
  EXPECT_FALSE(Checked(Item(tunelet::kIdRbAuto)));
  EXPECT_TRUE(Checked(Item(tunelet::kIdRbManual)));
  for (int player = 0; player <= tunelet::kMediaSession; ++player) {
    const HWND b = Item(tunelet::PlayerButtonId(player));
    ASSERT_EQ(b != nullptr, tunelet::HasPlayerButton(player)) << player;
    if (b) {
      EXPECT_EQ(Checked(b), player == tunelet::kAimp2) << player;
    }
    if (b) {
      EXPECT_TRUE(::IsWindowEnabled(b)) << player;
    }
  }
  EXPECT_FALSE(Checked(Item(tunelet::kIdRbToOther)));
  EXPECT_TRUE(Checked(Item(tunelet::kIdRbPlusAny)));
  EXPECT_FALSE(Checked(Item(tunelet::kIdRbFromMusic)));
  EXPECT_FALSE(Checked(Item(tunelet::kIdRbFromAny)));
  EXPECT_EQ(Selection(Item(tunelet::kIdComboXstatA)), 2);
  EXPECT_EQ(Selection(Item(tunelet::kIdComboXstatV)), 34);
  EXPECT_EQ(::SendMessageW(Item(tunelet::kIdComboXstatA), CB_GETCOUNT, 0, 0), 35);
  EXPECT_EQ(TextOf(Item(tunelet::kIdEInterval)), L"8");
  EXPECT_EQ(::SendMessageW(Item(tunelet::kIdUpDown1), UDM_GETPOS32, 0, 0), 8);
  EXPECT_EQ(TextOf(Item(tunelet::kIdEXstatNameA)), L"Слушаю тут");
  EXPECT_EQ(TextOf(Item(tunelet::kIdEXstatTextA)), L"%artist%\r\n%title%");
  EXPECT_EQ(TextOf(Item(tunelet::kIdEXstatNameV)), L"Кино:");
  EXPECT_EQ(TextOf(Item(tunelet::kIdEXstatTextV)), L"{{%album%=[%album%] }}%title%");
  EXPECT_TRUE(Checked(Item(tunelet::kIdChboxOnlyText)));

  Click(Item(tunelet::kIdChboxOn));
  Click(Item(tunelet::PlayerButtonId(tunelet::kITunes)));
  Click(Item(tunelet::kIdRbAuto));
  Click(Item(tunelet::kIdRbFromAny));
  ::SendMessageW(Item(tunelet::kIdComboXstatA), CB_SETCURSEL, 19, 0);
  ::SendMessageW(Item(tunelet::kIdComboXstatV), CB_SETCURSEL, 0, 0);
  SetText(Item(tunelet::kIdEInterval), L"4");
  SetText(Item(tunelet::kIdEXstatNameA), L"A");
  SetText(Item(tunelet::kIdEXstatTextA), L"%title%");
  SetText(Item(tunelet::kIdEXstatNameV), L"");
  SetText(Item(tunelet::kIdEXstatTextV), L"%artist%");
  Click(Item(tunelet::kIdChboxOnlyText));
  Click(Item(tunelet::kIdBtSave));

  EXPECT_EQ(store_.saves, 1);
  EXPECT_TRUE(s.PluginOn);
  EXPECT_FALSE(s.ManualPlayer);
  EXPECT_EQ(s.CurrentPlayer, tunelet::kITunes);
  EXPECT_EQ(s.Action, 21);
  EXPECT_EQ(s.Xstat_a, 20);
  EXPECT_EQ(s.Xstat_v, 1);
  EXPECT_EQ(s.Refreshinterval, 4000);
  EXPECT_EQ(tunelet::View(s.AudioTitleTemplate), u"A");
  EXPECT_EQ(tunelet::View(s.AudioTextTemplate), u"%title%");
  EXPECT_FALSE(s.VideoTitleTemplate.has_value());  // an empty text is absent
  EXPECT_EQ(tunelet::View(s.VideoTextTemplate), u"%artist%");
  EXPECT_FALSE(s.KeepXStatusName);
}

TEST_F(OptionsDialogTest, TheModeAndTheChoiceOfPlayerEnableTheirControls) {
  Settings().ManualPlayer = false;
  Settings().CurrentPlayer = tunelet::kGom;
  ASSERT_TRUE(Open());
  // Automatic detection: the buttons are greyed but show the stored player.
  const HWND gom = Item(tunelet::PlayerButtonId(tunelet::kGom));
  EXPECT_FALSE(::IsWindowEnabled(gom));
  EXPECT_TRUE(Checked(gom));
  Click(Item(tunelet::kIdRbManual));
  EXPECT_TRUE(::IsWindowEnabled(gom));

  SelectTab(1);
  const int pictureControls[] = {tunelet::kIdLbForAudio, tunelet::kIdComboXstatA, tunelet::kIdLbForVideo,
                                 tunelet::kIdComboXstatV};
  for (int id : pictureControls) EXPECT_TRUE(::IsWindowEnabled(Item(id))) << id;
  for (int mode : {tunelet::kIdRbToOther, tunelet::kIdRbPlusAny, tunelet::kIdRbFromMusic}) {
    Click(Item(mode));
    for (int id : pictureControls) EXPECT_FALSE(::IsWindowEnabled(Item(id))) << mode << " " << id;
    Click(Item(tunelet::kIdRbFromAny));
    for (int id : pictureControls) EXPECT_TRUE(::IsWindowEnabled(Item(id))) << mode << " " << id;
  }
  // A stored value that is no mode checks none; a save keeps it.
  ui_.CloseDialogs();
  Settings().Action = 7;
  ASSERT_TRUE(Open());
  for (int mode : {tunelet::kIdRbToOther, tunelet::kIdRbPlusAny, tunelet::kIdRbFromMusic, tunelet::kIdRbFromAny})
    EXPECT_FALSE(Checked(Item(mode)));
  Click(Item(tunelet::kIdBtSave));
  EXPECT_EQ(Settings().Action, 7);
}

TEST_F(OptionsDialogTest, TheIntervalTakesDigitsOnlyAndIsKeptToItsRange) {
  ASSERT_TRUE(Open());
  SelectTab(1);
  const HWND interval = Item(tunelet::kIdEInterval);
  EXPECT_TRUE(::GetWindowLongW(interval, GWL_STYLE) & ES_NUMBER);
  int low = 0, high = 0;
  ::SendMessageW(Item(tunelet::kIdUpDown1), UDM_GETRANGE32, WPARAM(&low), LPARAM(&high));
  EXPECT_EQ(low, 3);
  EXPECT_EQ(high, 10);
  // A paste of anything but digits is refused; digits go in.
  auto paste = [interval](const wchar_t* text) {
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(::GlobalLock(block), text, bytes);
    ::GlobalUnlock(block);
    ::SetClipboardData(CF_UNICODETEXT, block);
    ::CloseClipboard();
    SetText(interval, L"");
    ::SendMessageW(interval, WM_PASTE, 0, 0);
  };
  paste(L"7 s");
  EXPECT_EQ(TextOf(interval), L"");
  paste(L"9");
  EXPECT_EQ(TextOf(interval), L"9");
  // Typed letters do not go in either.
  ::SendMessageW(interval, WM_CHAR, 'x', 0);
  EXPECT_EQ(TextOf(interval), L"9");
  // Out of range on save: kept to 3..10.
  SetText(interval, L"99");
  Click(Item(tunelet::kIdBtSave));
  EXPECT_EQ(Settings().Refreshinterval, 10000);
  ASSERT_TRUE(Open());
  SetText(Item(tunelet::kIdEInterval), L"1");
  Click(Item(tunelet::kIdBtSave));
  EXPECT_EQ(Settings().Refreshinterval, 3000);
}

TEST_F(OptionsDialogTest, ATemplateErrorBlocksTheSaveWithTheCheckersMessage) {
  tunelet::PluginSettings& s = Settings();
  const std::u16string audioBefore(tunelet::View(s.AudioTextTemplate));
  for (int broken : {tunelet::kIdEXstatTextA, tunelet::kIdEXstatTextV}) {
    const HWND w = Open();
    ASSERT_TRUE(w);
    Click(Item(tunelet::kIdChboxOn));
    SetText(Item(tunelet::kIdEXstatNameA), L"changed");
    const wchar_t* const bad = L"{{%artist%=%artist% \"%title%\"";
    SetText(Item(broken), bad);
    std::u16string expected(reinterpret_cast<const char16_t*>(bad));
    const tunelet::BlockExpansion check = tunelet::ExpandBlocks(expected, false);
    ASSERT_TRUE(check.error.has_value());

    BoxWatcher watcher(w);
    Click(Item(tunelet::kIdBtSave));
    const SeenBox& box = watcher.Wait();
    ASSERT_TRUE(box.found) << broken;
    EXPECT_EQ(box.caption, reinterpret_cast<const wchar_t*>(check.error->caption.c_str()));
    EXPECT_EQ(box.text, reinterpret_cast<const wchar_t*>(check.error->text.c_str()));
    EXPECT_EQ(box.icon, ::LoadIconW(nullptr, IDI_WARNING));
    Pump();
    EXPECT_TRUE(::IsWindow(w)) << broken;  // still open, nothing stored
    EXPECT_EQ(store_.saves, 0);
    EXPECT_TRUE(s.PluginOn);
    EXPECT_EQ(tunelet::View(s.AudioTitleTemplate), u"Слушаю:");
    EXPECT_EQ(tunelet::View(s.AudioTextTemplate), audioBefore);
    EXPECT_FALSE(s.SettingsJustSaved);
    ui_.CloseDialogs();
  }
}

// The checker's message box runs the host's messages: the plug-in's stop can
// close the dialog under it. Nothing is saved then, and what the running
// page call still uses stays until it returns.
Win32UserInterface* gStopTarget = nullptr;
void CALLBACK StopPlugin(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  gStopTarget->CloseDialogs();
}
TEST_F(OptionsDialogTest, TheStopWhileTheCheckersMessageIsShownClosesWithoutSaving) {
  const HWND w = Open();
  ASSERT_TRUE(w);
  SetText(Item(tunelet::kIdEXstatTextA), L"{{%artist%=");
  SetText(Item(tunelet::kIdEXstatNameA), L"changed");
  gStopTarget = &ui_;
  ::SetTimer(nullptr, 0, 300, StopPlugin);
  Click(Item(tunelet::kIdBtSave));  // back when the box went with its owner
  EXPECT_FALSE(::IsWindow(w));
  EXPECT_FALSE(ui_.IsOptionsDialogOpen());
  EXPECT_EQ(store_.saves, 0);
  EXPECT_EQ(tunelet::View(Settings().AudioTitleTemplate), u"Слушаю:");
  // The same from a page's own box ("По умолчанию").
  const HWND again = Open();
  ASSERT_TRUE(again);
  SelectTab(2);
  ::SetTimer(nullptr, 0, 300, StopPlugin);
  Click(Item(tunelet::kIdBtReset));
  EXPECT_FALSE(::IsWindow(again));
  ASSERT_TRUE(Open());
  Click(Item(tunelet::kIdBtSave));
  EXPECT_EQ(store_.saves, 1);
}

TEST_F(OptionsDialogTest, TheTextFieldsStopAtTheirLimitsAndEnterBreaksTheirLines) {
  const HWND w = Open();
  ASSERT_TRUE(w);
  SelectTab(2);
  const struct {
    int id;
    int limit;
  } fields[] = {{tunelet::kIdEXstatNameA, 20}, {tunelet::kIdEXstatTextA, 510}, {tunelet::kIdEXstatNameV, 20},
                {tunelet::kIdEXstatTextV, 500}};
  for (const auto& f : fields) {
    const HWND edit = Item(f.id);
    SetText(edit, L"");
    for (int i = 0; i < f.limit + 40; ++i) ::SendMessageW(edit, WM_CHAR, L'a' + i % 26, 1);
    EXPECT_EQ(::GetWindowTextLengthW(edit), f.limit) << f.id;
  }
  SetText(Item(tunelet::kIdEXstatTextA), L"ab");
  ::SetFocus(Item(tunelet::kIdEXstatTextA));
  ::SendMessageW(Item(tunelet::kIdEXstatTextA), EM_SETSEL, 1, 1);
  PressKey(VK_RETURN);
  EXPECT_EQ(TextOf(Item(tunelet::kIdEXstatTextA)), L"a\r\nb");
  EXPECT_TRUE(::IsWindow(w));
  EXPECT_EQ(store_.saves, 0);
  // In the name field Enter saves.
  ::SetFocus(Item(tunelet::kIdEXstatNameA));
  PressKey(VK_RETURN);
  EXPECT_FALSE(::IsWindow(w));
  EXPECT_EQ(store_.saves, 1);
  EXPECT_EQ(tunelet::View(Settings().AudioTextTemplate), u"a\r\nb");
}

TEST_F(OptionsDialogTest, PreviewDefaultsAndTheBlocksMenuTexts) {
  const HWND w = Open();
  ASSERT_TRUE(w);
  SelectTab(2);
  SetText(Item(tunelet::kIdEXstatTextA), L"{{%album%=%album%: }}%title%");
  {
    BoxWatcher watcher(w);
    Click(Item(tunelet::kIdBtTest));
    const SeenBox& box = watcher.Wait();
    ASSERT_TRUE(box.found);
    std::u16string expected = u"{{%album%=%album%: }}%title%";
    tunelet::ExpandConditionalBlocks(expected, nullptr, false);
    tunelet::SubstituteSampleValues(expected);
    EXPECT_EQ(box.caption, L"Tunelet Plugin");
    EXPECT_EQ(box.text, reinterpret_cast<const wchar_t*>(expected.c_str()));
    EXPECT_EQ(box.icon, ::LoadIconW(nullptr, IDI_INFORMATION));
  }
  SetText(Item(tunelet::kIdEXstatNameA), L"x");
  SetText(Item(tunelet::kIdEXstatTextV), L"y");
  {
    BoxWatcher watcher(w, IDNO);
    Click(Item(tunelet::kIdBtReset));
    const SeenBox& box = watcher.Wait();
    EXPECT_EQ(box.text, L"Сделать по умолчанию?");
    EXPECT_EQ(box.icon, ::LoadIconW(nullptr, IDI_QUESTION));
    EXPECT_EQ(TextOf(Item(tunelet::kIdEXstatNameA)), L"x");
  }
  {
    BoxWatcher watcher(w, IDYES);
    Click(Item(tunelet::kIdBtReset));
    watcher.Wait();
    EXPECT_EQ(TextOf(Item(tunelet::kIdEXstatNameA)), L"Слушаю:");
    EXPECT_EQ(TextOf(Item(tunelet::kIdEXstatNameV)), L"Смотрю:");
    EXPECT_EQ(TextOf(Item(tunelet::kIdEXstatTextV)), L"{{%artist%=%artist% }}\"%title%\"");
  }
  // "Шаблоны": the balloon (its texts are the rules' tests'), hidden again by
  // its timer.
  const HWND page = ::GetParent(Item(tunelet::kIdBtAddBlock));
  Click(Item(tunelet::kIdBtVars));
  HWND balloon = nullptr;
  for (HWND t = nullptr; (t = ::FindWindowExW(nullptr, t, TOOLTIPS_CLASSW, nullptr)) != nullptr;)
    if (::GetWindow(t, GW_OWNER) == w && ::IsWindowVisible(t) && (::GetWindowLongW(t, GWL_STYLE) & TTS_BALLOON))
      balloon = t;
  ASSERT_TRUE(balloon);
  RECT vars{}, shown{};
  ::GetWindowRect(Item(tunelet::kIdBtVars), &vars);
  ::GetWindowRect(balloon, &shown);
  // Its stem points at the button's top right (Wine puts the balloon below
  // the point, Windows above it when there is room).
  EXPECT_LE(shown.left, vars.right);
  EXPECT_GE(shown.right, vars.right);
  EXPECT_TRUE(std::abs(shown.top - vars.top) < 30 || std::abs(shown.bottom - vars.top) < 30);
  ::SendMessageW(page, WM_TIMER, 1, 0);   // its 10 s are over
  EXPECT_FALSE(::IsWindowVisible(balloon));

  for (int item : {tunelet::kIdMiWtf, tunelet::kIdMiHelp}) {
    BoxWatcher watcher(w);
    ::SendMessageW(page, WM_COMMAND, item, 0);
    const SeenBox& box = watcher.Wait();
    const std::u16string_view text = item == tunelet::kIdMiWtf ? tunelet::kWhatAreBlocksText : tunelet::kBlockSyntaxText;
    EXPECT_EQ(box.text, std::wstring(text.begin(), text.end()));
    EXPECT_EQ(box.icon, ::LoadIconW(nullptr, IDI_INFORMATION));
  }
  EXPECT_EQ(store_.saves, 0);
}

TEST_F(OptionsDialogTest, ALanguageFileCaptionsEveryControlAndTheTabsThroughThe8BitPath) {
  KeyTexts file;
  ui_.AttachOptionsServices({nullptr, nullptr, &language_, nullptr, &file, &store_});
  // Applied when the language is chosen while the dialog is open, and when
  // the dialog opens with UseLanguageFile set.
  for (bool atOpen : {false, true}) {
    Settings().UseLanguageFile = atOpen;
    const HWND w = Open();
    ASSERT_TRUE(w);
    if (!atOpen) {
      EXPECT_EQ(TextOf(w), kCaption);
      Settings().UseLanguageFile = true;
      ui_.ApplyLanguageToOptions();
    }
    EXPECT_EQ(TextOf(w), L"ЖMFCAPTION");
    for (const tunelet::OptionsControlText& t : tunelet::OptionsControlTexts()) {
      if (t.control >= tunelet::kIdStext4 || t.captionKey.empty()) continue;  // the frame and tabs 0..2
      EXPECT_EQ(TextOf(Item(t.control)), L"Ж" + std::wstring(t.captionKey.begin(), t.captionKey.end())) << t.control;
    }
    auto tabText = [](HWND tabs, int i) {
      char buf[64] = {};
      TCITEMA item{};
      item.mask = TCIF_TEXT;
      item.pszText = buf;
      item.cchTextMax = 64;
      ::SendMessageA(tabs, TCM_GETITEMA, i, LPARAM(&item));
      return std::string(buf);
    };
    for (int i = 0; i < 7; ++i) EXPECT_EQ(tabText(Tabs(), i), "?TAB" + std::to_string(i + 1)) << i;
    EXPECT_EQ(TextOf(w), L"ЖMFCAPTION");
    const HWND inner = Item(tunelet::kIdXstatPageControl);
    EXPECT_EQ(tabText(inner, 0), "?LB_FORAUDIO");
    EXPECT_EQ(tabText(inner, 1), "?LB_FORVIDEO");
    // The last tab keeps its built-in caption.
    wchar_t last[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = last;
    item.cchTextMax = 64;
    ::SendMessageW(Tabs(), TCM_GETITEMW, 7, LPARAM(&item));
    EXPECT_STREQ(last, L"О плагине");
    {  // the reset question takes BUT_RESET
      BoxWatcher watcher(w, IDNO);
      Click(Item(tunelet::kIdBtReset));
      EXPECT_EQ(watcher.Wait().text, L"ЖBUT_RESET?");
    }
    ui_.CloseDialogs();
  }
}

TEST_F(OptionsDialogTest, TenOpenAndCloseCyclesLeaveNoWindowGdiObjectOrHook) {
  // Once before counting: Wine's DC cache and the classes settle.
  Open();
  SelectTab(1);
  ::UpdateWindow(ui_.OptionsWindow());
  ui_.CloseDialogs();
  Pump();
  const GuiObjects before = CountGuiObjects();
  const int windowsBefore = WindowsOfThisThread();
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(Open());
    SelectTab(i % 3);
    ::UpdateWindow(ui_.OptionsWindow());
    if (i == 0) {
      EXPECT_GT(WindowsOfThisThread(), windowsBefore + 50);  // the count sees the dialog
    }
    if (i % 2) {
      Click(Item(tunelet::kIdBtSave));
    } else {
      PressKey(VK_ESCAPE);
    }
    Pump();
    EXPECT_FALSE(ui_.IsOptionsDialogOpen());
  }
  const GuiObjects after = CountGuiObjects();
  EXPECT_EQ(after.gdiByType, before.gdiByType) << "before: " << Describe(before) << "\nafter:  " << Describe(after);
  EXPECT_EQ(after.windows, before.windows);
  EXPECT_EQ(WindowsOfThisThread(), windowsBefore);
  EXPECT_FALSE(tunelet::win32::DialogKeysHooked());
  std::printf("%s; windows of this thread %d\n", Describe(after).c_str(), windowsBefore);
}

}  // namespace
