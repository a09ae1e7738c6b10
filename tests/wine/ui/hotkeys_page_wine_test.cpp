// The options dialog's hot-key tab under Wine, in this process: the page in a
// small stand-in of the dialog (a window with one tab and the page kit), with
// the real hot keys (Win32HotKeys, its hidden window and hotkeys.dat in a
// temporary folder). Message boxes are answered from a second thread while
// the page's modal box runs on this one.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui_objects.h"
#include "hotkey/win32/hotkeys_win32.h"
#include "lang/language_texts.h"
#include "model/settings.h"
#include "model/ui_texts.h"
#include "paste_target.h"
#include "plugin_folder.h"
#include "plugin_windows.h"
#include "ui/hotkey_tab.h"
#include "ui/options_controls.h"
#include "ui/win32/options_pages.h"

namespace {

using hotkey_test::OthersCanRegister;
using hotkey_test::PumpFor;
using hotkey_test::PumpUntil;
using tunelet::win32::OptionsPage;
using tunelet::win32::OptionsPageKit;

constexpr int kToggle = 0, kSettings = 1, kQuickInfo = 3, kPaste = 4;
constexpr UINT kScanBoundMs = 20000;  // the whole scan, far above what it takes
constexpr wchar_t kHarnessClass[] = L"HotKeysPageHarness";
constexpr DWORD kHarnessStyle = WS_CAPTION | WS_SYSMENU;

// A combination this thread holds for the length of a case, as another
// program would.
class HeldCombination {
 public:
  HeldCombination(int id, UINT mods, UINT vk) : id_(id), held_(::RegisterHotKey(nullptr, id, mods, vk)) {}
  ~HeldCombination() {
    if (held_) ::UnregisterHotKey(nullptr, id_);
  }
  bool held() const { return held_; }

 private:
  int id_;
  bool held_;
};

// The stand-in of the options dialog: a captioned window of the dialog's
// client size with MainPageControl's place and one tab, made once for the
// process (hiding a top-level window takes Wine about 2 s here); each
// Harness lays a page kit and the page over its tab, and takes them away.
struct StandInDialog {
  HWND dialog = nullptr, tabs = nullptr;
  static const StandInDialog& Get() {
    static const StandInDialog made = Make();
    return made;
  }

 private:
  static StandInDialog Make() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = HBRUSH(COLOR_BTNFACE + 1);
    wc.lpszClassName = kHarnessClass;
    ::RegisterClassW(&wc);
    RECT frame{0, 0, 444, 361};
    ::AdjustWindowRectEx(&frame, kHarnessStyle, FALSE, 0);
    StandInDialog d;
    d.dialog = ::CreateWindowExW(0, kHarnessClass, L"Tunelet - Настройки", kHarnessStyle, 40, 40,
                                 frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, nullptr, nullptr);
    d.tabs = ::CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 13, 42, 419, 274,
                               d.dialog, nullptr, nullptr, nullptr);
    ::SendMessageW(d.tabs, WM_SETFONT, WPARAM(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(L"Горячие клавиши");
    TabCtrl_InsertItem(d.tabs, 0, &item);
    return d;
  }
};

class Harness {
 public:
  Harness(tunelet::IHotKeys& hotKeys, const tunelet::IUiTexts& texts)
      : dialog_(StandInDialog::Get().dialog), tabs_(StandInDialog::Get().tabs) {
    services_.ui = &ui_;
    services_.hotKeys = &hotKeys;
    services_.language = &language_;
    services_.update = &update_;
    services_.texts = &texts;
    kit_ = std::make_unique<OptionsPageKit>(dialog_, services_);
    RECT area{};
    ::GetClientRect(tabs_, &area);
    TabCtrl_AdjustRect(tabs_, FALSE, &area);
    page_ = tunelet::win32::MakeHotKeysPage();
    window_ = kit_->CreatePage(tabs_, area, *page_);
    page_->CreateControls(window_, *kit_);
    page_->Load(tunelet::Settings());
    ::ShowWindow(window_, SW_SHOW);
    page_->Shown();
    ::ShowWindow(dialog_, SW_SHOWNOACTIVATE);
  }
  ~Harness() {
    ::DestroyWindow(window_);
    kit_.reset();
    page_.reset();
  }

  HWND dialog() const { return dialog_; }
  HWND window() const { return window_; }
  OptionsPage& page() { return *page_; }
  HWND Item(int id) const { return ::GetDlgItem(window_, id); }
  HWND List() const { return Item(tunelet::kIdHotKeyList); }
  HWND KeyBox() const { return Item(tunelet::kIdHotKey1); }

  std::wstring Cell(int row, int column) const {
    wchar_t text[128] = {};
    ListView_GetItemText(List(), row, column, text, 128);
    return text;
  }
  std::wstring ColumnCaption(int column) const {
    wchar_t text[64] = {};
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT;
    c.pszText = text;
    c.cchTextMax = 64;
    ListView_GetColumn(List(), column, &c);
    return text;
  }
  void SelectRow(int row) const { ListView_SetItemState(List(), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED); }
  int SelectedRow() const { return ListView_GetNextItem(List(), -1, LVNI_SELECTED); }
  void TypeKey(BYTE vk, BYTE flags) const { ::SendMessageW(KeyBox(), HKM_SETHOTKEY, MAKEWORD(vk, flags), 0); }
  WORD KeyBoxValue() const { return LOWORD(::SendMessageW(KeyBox(), HKM_GETHOTKEY, 0, 0)); }
  void Click(int id) const { ::SendMessageW(Item(id), BM_CLICK, 0, 0); }
  bool Enabled(int id) const { return ::IsWindowEnabled(Item(id)); }
  void Menu(int id) const { ::SendMessageW(window_, WM_COMMAND, WPARAM(id), 0); }

  std::vector<std::wstring> Unavailable() const {
    std::vector<std::wstring> texts;
    const HWND list = Item(tunelet::kIdKeyList);
    const int n = int(::SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      wchar_t text[64] = {};
      if (::SendMessageW(list, LB_GETTEXTLEN, i, 0) < 64) ::SendMessageW(list, LB_GETTEXT, i, LPARAM(text));
      texts.push_back(text);
    }
    return texts;
  }
  bool Lists(const std::wstring& combination) const {
    const std::vector<std::wstring> texts = Unavailable();
    return std::find(texts.begin(), texts.end(), combination) != texts.end();
  }
  // The page shows the scan with the background-work cursor.
  bool Scanning() const {
    ::SendMessageW(window_, WM_SETCURSOR, WPARAM(window_), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return ::GetCursor() == ::LoadCursorW(nullptr, IDC_APPSTARTING);
  }
  bool WaitForScanEnd() const {
    return PumpUntil([&] { return !Scanning(); }, kScanBoundMs);
  }
  // Lets the page's timer run one tick of the scan (pumping would run them
  // all: the timer is due again after each); how long the tick held the
  // thread goes to *tickMs.
  bool RunOneScanTick(DWORD* tickMs = nullptr) const {
    MSG m;
    const DWORD start = ::GetTickCount();
    while (!::PeekMessageW(&m, window_, WM_TIMER, WM_TIMER, PM_REMOVE)) {
      if (::GetTickCount() - start > kScanBoundMs) return false;
      ::Sleep(1);
    }
    const DWORD dispatched = ::GetTickCount();
    ::DispatchMessageW(&m);
    if (tickMs) *tickMs = ::GetTickCount() - dispatched;
    return true;
  }
  // Runs the scan a tick at a time until the combination is listed.
  bool ScanUntilListed(const std::wstring& combination) const {
    for (size_t slice = 0; slice < tunelet::kUnavailableScanTrials / tunelet::kScanSliceTrials; ++slice) {
      if (Lists(combination)) return true;
      if (!RunOneScanTick()) return false;
    }
    return Lists(combination);
  }

 private:
  tunelet::IUserInterface ui_;
  tunelet::ILanguage language_;
  tunelet::IUpdateCheck update_;
  tunelet::win32::OptionsServices services_;
  HWND dialog_ = nullptr, tabs_ = nullptr, window_ = nullptr;
  std::unique_ptr<OptionsPageKit> kit_;
  std::unique_ptr<OptionsPage> page_;
};

// Answers the next message box with the title from a second thread and keeps
// what it showed: its text, icon and owner.
class BoxAnswer {
 public:
  struct Seen {
    bool found = false;
    std::wstring text;
    HICON icon = nullptr;
    HWND owner = nullptr;
  };
  BoxAnswer(std::wstring title, int button)
      : thread_([this, title = std::move(title), button] {
          for (int i = 0; i < 500; ++i, ::Sleep(10)) {
            const HWND box = ::FindWindowW(L"#32770", title.c_str());
            if (!box || !::IsWindowVisible(box)) continue;
            seen_.owner = ::GetWindow(box, GW_OWNER);
            seen_.text = ChildText(box, 0xFFFF);  // the box's text static
            for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
              if (IsIconStatic(c)) seen_.icon = HICON(::SendMessageW(c, STM_GETICON, 0, 0));
            seen_.found = true;
            ::PostMessageW(box, WM_COMMAND, WPARAM(button), 0);
            return;
          }
        }) {}
  ~BoxAnswer() {
    if (thread_.joinable()) thread_.join();
  }
  const Seen& Wait() {
    thread_.join();
    return seen_;
  }

 private:
  static bool IsIconStatic(HWND c) {
    wchar_t cls[16] = {};
    ::GetClassNameW(c, cls, 16);
    return _wcsicmp(cls, L"Static") == 0 && (::GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
  }
  static std::wstring ChildText(HWND box, int id) {
    wchar_t text[512] = {};
    ::GetDlgItemTextW(box, id, text, 512);
    return text;
  }
  Seen seen_;
  std::thread thread_;
};

// The items of a context menu the page opens: read from the open menu and
// closed again by a timer of this thread (the menu's loop runs here).
std::vector<std::wstring> g_menuItems;
void CALLBACK ReadAndCloseMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND popup = ::FindWindowW(L"#32768", nullptr);
  const HMENU menu = popup ? reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0)) : nullptr;
  if (!menu) return;  // not open yet
  ::KillTimer(nullptr, timer);
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, UINT(i), text, 64, MF_BYPOSITION);
    g_menuItems.push_back(std::to_wstring(::GetMenuItemID(menu, i)) + L" " + text);
  }
  ::EndMenu();
}
std::vector<std::wstring> ContextMenuOf(HWND page, HWND control) {
  g_menuItems.clear();
  ::SetTimer(nullptr, 0, 20, ReadAndCloseMenu);
  ::SendMessageW(page, WM_CONTEXTMENU, WPARAM(control), LPARAM(-1));  // the keyboard's menu key
  return g_menuItems;
}
std::wstring MenuItem(int id, const wchar_t* caption) { return std::to_wstring(id) + L" " + caption; }
// The same, opened by a right click on the control through the input queue.
std::vector<std::wstring> RightClickMenuOf(HWND control) {
  g_menuItems.clear();
  ::SetTimer(nullptr, 0, 20, ReadAndCloseMenu);
  talkeo_sim::ClickAt(talkeo_sim::ClientToScreenPoint(control, 20, 30), talkeo_sim::MouseButton::Right);
  PumpUntil([] { return !g_menuItems.empty(); }, 3000);
  return g_menuItems;
}

class HotKeysPageTest : public ::testing::Test {
 protected:
  void TearDown() override { hotKeys_.DestroyHotKeyWindow(); }
  // hotkeys.dat with these bindings, then the plug-in's start.
  void StartWith(const std::vector<std::pair<int, std::string>>& bindings) {
    folder_.WriteHotKeyFile(bindings);
    hotKeys_.LoadHotKeySlots();
    hotKeys_.CreateHotKeyWindow();
  }
  // Clicks the button and answers the message box it shows.
  static BoxAnswer::Seen ClickAndAnswer(const Harness& h, int button, const wchar_t* title, int answer) {
    BoxAnswer box(title, answer);
    h.Click(button);
    return box.Wait();
  }
  std::string Slot(int action) const {
    std::ifstream in(std::filesystem::path(folder_.HotKeyFile()), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 155) return "<short file>";
    const size_t at = size_t(action) * 31;
    if (bytes.find_first_not_of('\0', at + 1 + size_t(uint8_t(bytes[at]))) < at + 31) return "<garbage after text>";
    return bytes.substr(at + 1, uint8_t(bytes[at]));
  }

  hotkey_test::PluginFolder folder_{L"tunelet-hotkeys-page"};
  tunelet::IUserInterface windows_;
  tunelet::win32::Win32HotKeys hotKeys_{windows_};
  tunelet::BuiltInUiTexts builtIn_;
};

TEST_F(HotKeysPageTest, TheRowsShowTheFileAndSelectingARowOffersAssignOrDelete) {
  StartWith({{kQuickInfo, "Ctrl+F5"}});
  Harness h(hotKeys_, builtIn_);
  EXPECT_EQ(h.ColumnCaption(0), L"Назначение");
  EXPECT_EQ(h.ColumnCaption(1), L"Сочетание");
  EXPECT_EQ(h.Cell(kToggle, 0), L"Включение/выключение плагина");
  EXPECT_EQ(h.Cell(kPaste, 0), L"Вставить в другое приложение");
  EXPECT_EQ(h.Cell(kQuickInfo, 1), L"Ctrl+F5");
  EXPECT_EQ(h.Cell(kToggle, 1), L"");
  EXPECT_TRUE(ListView_GetExtendedListViewStyle(h.List()) & LVS_EX_FULLROWSELECT);
  EXPECT_EQ(::GetWindowLongW(h.List(), GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_FALSE(h.Enabled(tunelet::kIdBtRegHotKey));
  EXPECT_FALSE(h.Enabled(tunelet::kIdBtDelHotKey));

  h.SelectRow(kQuickInfo);
  EXPECT_TRUE(h.Enabled(tunelet::kIdBtDelHotKey));
  EXPECT_FALSE(h.Enabled(tunelet::kIdBtRegHotKey));
  EXPECT_EQ(h.KeyBoxValue(), MAKEWORD(VK_F5, HOTKEYF_CONTROL));
  h.SelectRow(kToggle);
  EXPECT_TRUE(h.Enabled(tunelet::kIdBtRegHotKey));
  EXPECT_FALSE(h.Enabled(tunelet::kIdBtDelHotKey));
  EXPECT_EQ(h.KeyBoxValue(), 0);

  // KeyList: three columns across its width.
  const HWND keyList = h.Item(tunelet::kIdKeyList);
  EXPECT_TRUE(::GetWindowLongW(keyList, GWL_STYLE) & LBS_MULTICOLUMN);
  h.WaitForScanEnd();
  RECT inside{}, first{};
  ::GetClientRect(keyList, &inside);
  ::SendMessageW(keyList, LB_ADDSTRING, 0, LPARAM(L"x"));
  ::SendMessageW(keyList, LB_GETITEMRECT, 0, LPARAM(&first));
  EXPECT_EQ(first.right - first.left, inside.right / 3);
}

TEST_F(HotKeysPageTest, CtrlF12AssignedToPasteIsRegisteredAndWrittenAndDeletedAgain) {
  StartWith({});
  Harness h(hotKeys_, builtIn_);
  ASSERT_TRUE(OthersCanRegister(MOD_CONTROL, VK_F12));
  h.SelectRow(kPaste);
  h.TypeKey(VK_F12, HOTKEYF_CONTROL);
  h.Click(tunelet::kIdBtRegHotKey);  // the click gives the button the focus
  EXPECT_EQ(::GetFocus(), h.List());  // not left on the greyed button
  EXPECT_FALSE(OthersCanRegister(MOD_CONTROL, VK_F12));
  EXPECT_EQ(Slot(kPaste), "Ctrl+F12");
  EXPECT_EQ(h.Cell(kPaste, 1), L"Ctrl+F12");
  EXPECT_EQ(h.SelectedRow(), -1);
  EXPECT_EQ(h.KeyBoxValue(), 0);
  EXPECT_FALSE(h.Enabled(tunelet::kIdBtRegHotKey));
  EXPECT_FALSE(h.Enabled(tunelet::kIdBtDelHotKey));

  h.SelectRow(kPaste);
  EXPECT_EQ(h.KeyBoxValue(), MAKEWORD(VK_F12, HOTKEYF_CONTROL));
  h.Click(tunelet::kIdBtDelHotKey);
  EXPECT_TRUE(OthersCanRegister(MOD_CONTROL, VK_F12));
  EXPECT_EQ(Slot(kPaste), "");
  EXPECT_EQ(h.Cell(kPaste, 1), L"");
  EXPECT_FALSE(h.Enabled(tunelet::kIdBtDelHotKey));
}

TEST_F(HotKeysPageTest, RefusalsAreToldInMessageBoxesOwnedByTheDialog) {
  HeldCombination held(0x7101, MOD_CONTROL | MOD_ALT, VK_F9);
  ASSERT_TRUE(held.held());
  StartWith({{kSettings, "Ctrl+Alt+F9"}});  // the start could not register it
  Harness h(hotKeys_, builtIn_);

  // Alt+Q is no key for the paste.
  h.SelectRow(kPaste);
  h.TypeKey('Q', HOTKEYF_ALT);
  BoxAnswer::Seen box = ClickAndAnswer(h, tunelet::kIdBtRegHotKey, L"Tunelet Plugin", IDOK);
  ASSERT_TRUE(box.found);
  EXPECT_EQ(box.text, L"Непопустимое значение! Возможно только Ctrl + F1...F12");
  EXPECT_EQ(box.icon, ::LoadIconW(nullptr, IDI_WARNING));
  EXPECT_EQ(box.owner, h.dialog());
  EXPECT_TRUE(OthersCanRegister(MOD_ALT, 'Q'));
  EXPECT_EQ(Slot(kPaste), "");
  EXPECT_EQ(h.KeyBoxValue(), 0);

  // A combination another program holds.
  h.SelectRow(kQuickInfo);
  h.TypeKey(VK_F9, HOTKEYF_CONTROL | HOTKEYF_ALT);
  box = ClickAndAnswer(h, tunelet::kIdBtRegHotKey, L"Tunelet", IDOK);
  ASSERT_TRUE(box.found);
  EXPECT_EQ(box.text, L"Невозможно зарегистрировать горячую клавишу - Показать QuickInfo");
  EXPECT_EQ(box.icon, ::LoadIconW(nullptr, IDI_INFORMATION));
  EXPECT_EQ(h.Cell(kQuickInfo, 1), L"");

  // Deleting what the plug-in never registered asks first; No keeps it.
  h.SelectRow(kSettings);
  box = ClickAndAnswer(h, tunelet::kIdBtDelHotKey, L"Tunelet", IDNO);
  ASSERT_TRUE(box.found);
  EXPECT_EQ(box.text,
            L"Невозможно удалить горячую клавишу - Показать настройки\r\n"
            L"Горячая клавиша не связана с плагином Tunelet. Удалить её?");
  EXPECT_EQ(box.icon, ::LoadIconW(nullptr, IDI_QUESTION));
  EXPECT_EQ(h.Cell(kSettings, 1), L"(не работает) Ctrl+Alt+F9");  // refused at start
  EXPECT_EQ(Slot(kSettings), "Ctrl+Alt+F9");

  // Yes removes it from the file.
  h.SelectRow(kSettings);
  EXPECT_TRUE(ClickAndAnswer(h, tunelet::kIdBtDelHotKey, L"Tunelet", IDYES).found);
  EXPECT_EQ(h.Cell(kSettings, 1), L"");
  EXPECT_EQ(Slot(kSettings), "");
  EXPECT_FALSE(OthersCanRegister(MOD_CONTROL | MOD_ALT, VK_F9));  // still the other program's
}

TEST_F(HotKeysPageTest, TheListsMenusReloadReassignAndDeleteAllInEitherLanguage) {
  StartWith({{kToggle, "Ctrl+F6"}, {kQuickInfo, "Alt+Q"}});
  {
    Harness h(hotKeys_, builtIn_);
    EXPECT_EQ(ContextMenuOf(h.window(), h.List()),
              (std::vector<std::wstring>{MenuItem(tunelet::kIdMenuN2, L"Обновить"),
                                         MenuItem(tunelet::kIdMenuN4, L"Переназначить все"),
                                         MenuItem(tunelet::kIdMenuN5, L"Удалить все")}));
    EXPECT_EQ(ContextMenuOf(h.window(), h.Item(tunelet::kIdKeyList)),
              std::vector<std::wstring>{MenuItem(tunelet::kIdMenuN1, L"Обновить список")});
    EXPECT_EQ(RightClickMenuOf(h.List()).size(), 3u);
    EXPECT_EQ(RightClickMenuOf(h.Item(tunelet::kIdKeyList)).size(), 1u);

    h.Menu(tunelet::kIdMenuN5);
    EXPECT_TRUE(OthersCanRegister(MOD_CONTROL, VK_F6));
    EXPECT_TRUE(OthersCanRegister(MOD_ALT, 'Q'));
    for (int action = 0; action < 5; ++action) {
      EXPECT_EQ(h.Cell(action, 1), L"") << action;
      EXPECT_EQ(Slot(action), "") << action;
    }

    // The file as another copy of it wrote it comes back with "Обновить",
    // and is registered with "Переназначить все".
    StartWith({{kToggle, "Ctrl+F6"}});
    hotKeys_.ClearSlot(kToggle);
    h.Menu(tunelet::kIdMenuN2);
    EXPECT_EQ(h.Cell(kToggle, 1), L"Ctrl+F6");
    ASSERT_TRUE(hotKeys_.UnregisterHotKey(kToggle));
    h.Menu(tunelet::kIdMenuN4);
    EXPECT_FALSE(OthersCanRegister(MOD_CONTROL, VK_F6));
  }
  // A language file applied while the tab is open.
  tunelet::LanguageTexts english;
  tunelet::SelectedUiTexts selected(english);
  tunelet::Settings().UseLanguageFile = true;
  Harness h(hotKeys_, selected);
  h.page().ApplyTexts(english);
  EXPECT_EQ(h.ColumnCaption(0), L"Assignment");
  EXPECT_EQ(h.ColumnCaption(1), L"Combination");
  EXPECT_EQ(h.Cell(kToggle, 0), L"Turn plugin on/off");
  wchar_t heading[64] = {};
  ::GetWindowTextW(h.Item(tunelet::kIdStext4), heading, 64);
  EXPECT_STREQ(heading, L"Setup hot keys");
  EXPECT_EQ(ContextMenuOf(h.window(), h.Item(tunelet::kIdKeyList)),
            std::vector<std::wstring>{MenuItem(tunelet::kIdMenuN1, L"Refresh list")});
}

TEST_F(HotKeysPageTest, TheUnavailableListHoldsWhatOthersRegisteredAndEmptiesWhenThePageHides) {
  // Win+F9 is tried early in the scan, Ctrl+Alt+F9 late.
  HeldCombination early(0x7102, MOD_WIN, VK_F9), late(0x7103, MOD_CONTROL | MOD_ALT, VK_F9);
  ASSERT_TRUE(early.held() && late.held());
  StartWith({});
  const DWORD start = ::GetTickCount();
  Harness h(hotKeys_, builtIn_);
  int ticks = 0;
  DWORD longestTick = 0;
  for (DWORD tick = 0; h.Scanning(); ++ticks, longestTick = std::max(longestTick, tick))
    ASSERT_TRUE(h.RunOneScanTick(&tick));
  const DWORD took = ::GetTickCount() - start;
  const std::vector<std::wstring> listed = h.Unavailable();
  std::printf("the tab's scan: %u combinations listed, %lu ms from showing the tab, %d ticks, the longest %lu ms\n",
              unsigned(listed.size()), static_cast<unsigned long>(took), ticks,
              static_cast<unsigned long>(longestTick));
  const auto win = std::find(listed.begin(), listed.end(), L"Win+F9");
  const auto ctrlAlt = std::find(listed.begin(), listed.end(), L"Ctrl+Alt+F9");
  ASSERT_NE(win, listed.end());
  ASSERT_NE(ctrlAlt, listed.end());
  EXPECT_LT(win, ctrlAlt);  // in the scan's order
  EXPECT_EQ(::GlobalFindAtomW(L"TestingHotKey"), 0);

  // Hidden in the middle of a rebuild: the scan stops and lists nothing.
  h.Menu(tunelet::kIdMenuN1);
  EXPECT_TRUE(h.Unavailable().empty());
  ASSERT_TRUE(h.ScanUntilListed(L"Win+F9"));
  ASSERT_TRUE(h.Scanning());
  h.page().Hidden();
  EXPECT_TRUE(h.Unavailable().empty());
  PumpFor(300);
  EXPECT_TRUE(h.Unavailable().empty());
  EXPECT_FALSE(h.Scanning());

  h.page().Shown();
  ASSERT_TRUE(h.WaitForScanEnd());
  EXPECT_TRUE(h.Lists(L"Ctrl+Alt+F9"));
}

TEST_F(HotKeysPageTest, TenPagesMadeAndDestroyedMidScanLeaveNothingBehind) {
  HeldCombination early(0x7104, MOD_WIN, VK_F9);
  StartWith({{kQuickInfo, "Ctrl+F5"}});
  const auto cycle = [&] {
    Harness h(hotKeys_, builtIn_);
    ::UpdateWindow(h.dialog());
    EXPECT_TRUE(h.ScanUntilListed(L"Win+F9"));
    ContextMenuOf(h.window(), h.List());
    h.SelectRow(kQuickInfo);
  };
  cycle();  // the system's first-time objects
  PumpFor(50);
  const gui_objects::GuiObjects before = gui_objects::CountGuiObjects();
  for (int i = 0; i < 10; ++i) cycle();
  PumpFor(100);  // no timer of a destroyed page may fire now
  const gui_objects::GuiObjects after = gui_objects::CountGuiObjects();
  gui_objects::ExpectNothingLeftBehind(before, after, 1);
  EXPECT_EQ(::GlobalFindAtomW(L"TestingHotKey"), 0);
  EXPECT_FALSE(OthersCanRegister(MOD_CONTROL, VK_F5));  // the plug-in's own keys stay
}

// With TUNELET_SCREENSHOT_DIR set (a Windows path), a picture of the tab as
// a user sees it: three bindings (one that another program holds), one
// selected, the unavailable list filled.
TEST_F(HotKeysPageTest, APictureOfTheTab) {
  wchar_t dir[MAX_PATH] = {};
  if (!::GetEnvironmentVariableW(L"TUNELET_SCREENSHOT_DIR", dir, MAX_PATH)) GTEST_SKIP() << "no screenshot asked for";
  HeldCombination a(0x7105, MOD_WIN, VK_F9), b(0x7106, MOD_CONTROL | MOD_ALT, VK_F9),
      c(0x7107, MOD_CONTROL | MOD_SHIFT, 'Z'), d(0x7108, MOD_ALT, VK_SNAPSHOT);
  StartWith({{kSettings, "Ctrl+Alt+O"}, {kQuickInfo, "Ctrl+F5"}, {kToggle, "Ctrl+Alt+F9"}});
  Harness h(hotKeys_, builtIn_);
  ASSERT_TRUE(h.WaitForScanEnd());
  h.SelectRow(kQuickInfo);
  ::SetForegroundWindow(h.dialog());
  ::SetFocus(h.List());
  PumpFor(300);
  RECT r{};
  ::GetWindowRect(h.dialog(), &r);
  std::string error;
  EXPECT_TRUE(talkeo_sim::SaveScreenPng(std::wstring(dir) + L"\\hotkeys-tab.png", &r, &error)) << error;
}

}  // namespace
