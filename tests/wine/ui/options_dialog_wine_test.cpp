// The options dialog under Wine, made through Win32UserInterface with test
// services and in-memory settings: the frame, its keys, saving and
// cancelling, the players, main and X-status tabs, the language file's texts
// and what the dialog leaves behind.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/settings.h"
#include "model/subsystems.h"
#include "platform/win32/dialog_keys.h"
#include "ui/options_controls.h"
#include "ui/win32/options_dialog.h"
#include "ui/win32/user_interface_win32.h"

namespace {

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
  HWND Item(int id) const { return ::GetDlgItem(ui_.OptionsWindow(), id); }
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

TEST_F(OptionsDialogTest, OpensOnceCentredWithTheFrameAndEightSwitchableTabs) {
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
    if (c.text) EXPECT_EQ(TextOf(h), c.text) << c.id;
  }
  EXPECT_TRUE(::IsDlgButtonChecked(w, tunelet::kIdChboxOn));

  const wchar_t* const tabs[] = {L"Проигрыватели", L"Основные", L"Х-статус", L"Горячие клавиши",
                                 L"Всплывающие окна", L"Прочие", L"Tunelet Control", L"О плагине"};
  ASSERT_EQ(::SendMessageW(Tabs(), TCM_GETITEMCOUNT, 0, 0), 8);
  for (int i = 0; i < 8; ++i) {
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
  for (int tab : {0, 3, 7, 1, 2}) {
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

}  // namespace
