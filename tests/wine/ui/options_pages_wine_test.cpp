// The options dialog's pages 4 to 7 (popups, others and paste, control
// window, About) under Wine, each on a stand-in of the dialog: a window with
// the tab control where the dialog has it, a page kit on it and fake
// services. Settings go in and come back out through the controls; the
// controls that act at once reach their services; the credits move only
// while their tab is shown; and pages made and freed ten times leave no GDI
// object or window behind. With TUNELET_OPTIONS_SCREENSHOTS=DIR each page is
// also photographed into DIR.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "counts.h"
#include "lang/language_texts.h"
#include "model/settings.h"
#include "model/subsystems.h"
#include "model/ui_texts.h"
#include "model/update_view.h"
#include "paste_target.h"
#include "platform/win32/unique_handle.h"
#include "plugin_windows.h"
#include "templates/template_engine.h"
#include "ui/options_controls.h"
#include "ui/options_texts.h"
#include "ui/win32/options_about_page.h"
#include "ui/win32/options_page.h"
#include "ui/win32/options_pages.h"

namespace {

using tunelet::PluginSettings;
using tunelet::Settings;
using tunelet::win32::OptionsPage;
using tunelet::win32::OptionsPageKit;
using tunelet::win32::OptionsServices;

// This thread's messages, pumped until a condition holds or a bound runs out.
using hotkey_test::PumpFor;
using hotkey_test::PumpUntil;

std::wstring TextOf(HWND hwnd) {
  wchar_t buf[512] = {};
  ::GetWindowTextW(hwnd, buf, 512);
  return buf;
}
bool Checked(HWND button) { return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void Click(HWND button) { ::SendMessageW(button, BM_CLICK, 0, 0); }
// The check marks of a page's buttons, in the order given.
template <typename Item>
std::vector<bool> CheckMarks(Item item, std::initializer_list<int> ids) {
  std::vector<bool> marks;
  for (int id : ids) marks.push_back(Checked(item(id)));
  return marks;
}

struct FakeUserInterface final : tunelet::IUserInterface {
  int shown = 0, closed = 0, resets = 0;
  bool open = false;
  void ShowControlWindow() override {
    ++shown;
    open = true;
  }
  void CloseControlWindow() override {
    ++closed;
    open = false;
  }
  void ResetControlWindowPosition() override { ++resets; }
  bool IsControlWindowOpen() override { return open; }
};

struct FakeUpdateCheck final : tunelet::IUpdateCheck {
  std::vector<tunelet::IUpdateView*> views;  // every SetView, in order
  int checks = 0, loads = 0;
  void SetView(tunelet::IUpdateView* view) override { views.push_back(view); }
  void CheckButtonClicked() override { ++checks; }
  void LoadButtonClicked() override { ++loads; }
};

// A stand-in of the options dialog: its client size, the tab control where
// the dialog has it (WS_CLIPSIBLINGS, as the kit asks), the dialog font.
constexpr wchar_t kHarnessClass[] = L"TOptionsPagesHarness";
constexpr int kClientWidth = 444, kClientHeight = 361;
constexpr RECT kTabRect{13, 42, 13 + 419, 42 + 274};

class Harness {
 public:
  explicit Harness(const OptionsServices& services) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kHarnessClass;
    ::RegisterClassW(&wc);
    RECT r{0, 0, kClientWidth, kClientHeight};
    // No caption: Wine hides a window with one (a window the window manager
    // would manage) only after waiting two seconds for a manager that the
    // virtual display does not run.
    constexpr DWORD kStyle = WS_POPUP | WS_BORDER;
    ::AdjustWindowRectEx(&r, kStyle, FALSE, 0);
    window_ = ::CreateWindowExW(WS_EX_TOPMOST, kHarnessClass, L"Tunelet - Настройки", kStyle,
                                40, 40, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
    tab_ = ::CreateWindowExW(0, WC_TABCONTROLW, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, kTabRect.left,
                             kTabRect.top, kTabRect.right - kTabRect.left, kTabRect.bottom - kTabRect.top, window_,
                             nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(tab_, WM_SETFONT, WPARAM(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    for (int i = 0; i < tunelet::kOptionsTabCount; ++i) {
      std::wstring caption(tunelet::BuiltInTabCaption(i).begin(), tunelet::BuiltInTabCaption(i).end());
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = caption.data();
      ::SendMessageW(tab_, TCM_INSERTITEMW, i, LPARAM(&item));
    }
    kit_.emplace(window_, services);
    ::ShowWindow(window_, SW_SHOWNOACTIVATE);
  }
  ~Harness() {
    ::DestroyWindow(window_);
    kit_.reset();
  }
  Harness(const Harness&) = delete;
  Harness& operator=(const Harness&) = delete;

  HWND window() const { return window_; }
  OptionsPageKit& kit() { return *kit_; }

  // The dialog's "On showing" for one page: its texts when a language file
  // is in use, the settings, then the tab comes to the front.
  HWND Open(OptionsPage& page, int tab, const tunelet::IUiTexts* language = nullptr) {
    RECT area{};
    ::GetClientRect(tab_, &area);
    ::SendMessageW(tab_, TCM_ADJUSTRECT, FALSE, LPARAM(&area));
    const HWND hwnd = kit_->CreatePage(tab_, area, page);
    page.CreateControls(hwnd, *kit_);
    if (language) page.ApplyTexts(*language);
    page.Load(Settings());
    ::SendMessageW(tab_, TCM_SETCURSEL, tab, 0);
    ::ShowWindow(hwnd, SW_SHOW);
    page.Shown();
    ::UpdateWindow(window_);
    return hwnd;
  }

 private:
  HWND window_ = nullptr, tab_ = nullptr;
  std::optional<OptionsPageKit> kit_;
};

class OptionsPages : public ::testing::Test {
 protected:
  void SetUp() override {
    tunelet::ResetSettings();
    services_.ui = &ui_;
    services_.hotKeys = &hotKeys_;
    services_.language = &language_;
    services_.update = &update_;
    services_.texts = &builtIn_;
    harness_.emplace(services_);
  }
  void TearDown() override {
    harness_.reset();  // the windows go before the pages' objects
    pages_.clear();
    tunelet::ResetSettings();
  }

  HWND Open(std::unique_ptr<OptionsPage> page, int tab, const tunelet::IUiTexts* language = nullptr) {
    pages_.push_back(std::move(page));
    return harness_->Open(*pages_.back(), tab, language);
  }
  OptionsPage& Last() { return *pages_.back(); }

  FakeUserInterface ui_;
  tunelet::IHotKeys hotKeys_;
  tunelet::ILanguage language_;
  FakeUpdateCheck update_;
  tunelet::BuiltInUiTexts builtIn_;
  OptionsServices services_;
  std::optional<Harness> harness_;
  std::vector<std::unique_ptr<OptionsPage>> pages_;
};

constexpr int kPopupsTab = 4, kOthersTab = 5, kControlWindowTab = 6, kAboutTab = 7;

// The controls that follow popup_on.
constexpr int kPopupOptions[] = {tunelet::kIdChboxOnTop,   tunelet::kIdChboxShadow,   tunelet::kIdChboxSmooth,
                                 tunelet::kIdLbTransp,     tunelet::kIdTranspBar,     tunelet::kIdLbTranspLeft,
                                 tunelet::kIdLbTranspRight, tunelet::kIdLbDelay,      tunelet::kIdEPopupDelay,
                                 tunelet::kIdUpDown2};

TEST_F(OptionsPages, PopupsPageShowsAndStoresItsSettings) {
  PluginSettings& s = Settings();
  s.PopupsOn = true;
  s.Alwaysontop = true;
  s.Shadow = false;
  s.Smooth = true;
  s.Transp = 120;
  s.Delay = 9;
  const HWND page = Open(tunelet::win32::MakePopupsPage(), kPopupsTab);
  auto item = [&](int id) { return ::GetDlgItem(page, id); };

  EXPECT_EQ(TextOf(item(tunelet::kIdStext6)), L"Настройка popup");
  EXPECT_EQ(CheckMarks(item, {tunelet::kIdPopupOn, tunelet::kIdChboxOnTop, tunelet::kIdChboxShadow,
                              tunelet::kIdChboxSmooth}),
            (std::vector<bool>{true, true, false, true}));
  const HWND bar = item(tunelet::kIdTranspBar);
  EXPECT_EQ(::SendMessageW(bar, TBM_GETPOS, 0, 0), 120);
  EXPECT_EQ(::SendMessageW(bar, TBM_GETRANGEMIN, 0, 0), 20);
  EXPECT_EQ(::SendMessageW(bar, TBM_GETRANGEMAX, 0, 0), 250);
  EXPECT_EQ(::SendMessageW(bar, TBM_GETNUMTICS, 0, 0), (250 - 20) / 10 + 1);
  EXPECT_EQ(TextOf(item(tunelet::kIdLbTranspLeft)), L"92%");
  EXPECT_EQ(TextOf(item(tunelet::kIdLbTranspRight)), L"0%");
  EXPECT_EQ(TextOf(item(tunelet::kIdEPopupDelay)), L"9");
  EXPECT_TRUE(::GetWindowLongPtrW(item(tunelet::kIdEPopupDelay), GWL_STYLE) & ES_READONLY);
  EXPECT_EQ(HWND(::SendMessageW(item(tunelet::kIdUpDown2), UDM_GETBUDDY, 0, 0)), item(tunelet::kIdEPopupDelay));

  // Everything changed, then stored into a record of defaults.
  Click(item(tunelet::kIdChboxOnTop));
  Click(item(tunelet::kIdChboxShadow));
  ::SendMessageW(bar, TBM_SETPOS, TRUE, 200);
  ::SendMessageW(item(tunelet::kIdUpDown2), UDM_SETPOS32, 0, 3);
  PluginSettings stored;
  Last().Store(stored);
  EXPECT_TRUE(stored.PopupsOn);
  EXPECT_FALSE(stored.Alwaysontop);
  EXPECT_TRUE(stored.Shadow);
  EXPECT_TRUE(stored.Smooth);
  EXPECT_EQ(stored.Transp, 200);
  EXPECT_EQ(stored.Delay, 3);
  EXPECT_EQ(TextOf(item(tunelet::kIdEPopupDelay)), L"3");
}

TEST_F(OptionsPages, PopupOptionsFollowPopupOnAndTheSpinKeepsTwoToFifteen) {
  Settings().PopupsOn = false;
  Settings().Delay = 5;
  const HWND page = Open(tunelet::win32::MakePopupsPage(), kPopupsTab);
  auto item = [&](int id) { return ::GetDlgItem(page, id); };
  auto enabledOptions = [&] {
    int n = 0;
    for (int id : kPopupOptions) n += ::IsWindowEnabled(item(id)) != FALSE;
    return n;
  };
  EXPECT_EQ(enabledOptions(), 0);
  EXPECT_TRUE(::IsWindowEnabled(item(tunelet::kIdPopupOn)));
  Click(item(tunelet::kIdPopupOn));
  EXPECT_EQ(enabledOptions(), int(std::size(kPopupOptions)));
  Click(item(tunelet::kIdPopupOn));
  EXPECT_EQ(enabledOptions(), 0);
  Click(item(tunelet::kIdPopupOn));

  const HWND spin = item(tunelet::kIdUpDown2), edit = item(tunelet::kIdEPopupDelay);
  auto position = [&] { return int(::SendMessageW(spin, UDM_GETPOS32, 0, 0)); };
  int low = 0, high = 0;
  ::SendMessageW(spin, UDM_GETRANGE32, WPARAM(&low), LPARAM(&high));
  EXPECT_EQ(low, 2);
  EXPECT_EQ(high, 15);
  ::SendMessageW(spin, UDM_SETPOS32, 0, 1);
  EXPECT_EQ(position(), 2);
  ::SendMessageW(spin, UDM_SETPOS32, 0, 16);
  EXPECT_EQ(position(), 15);
  // The arrow keys in the edit step the spin and stop at its ends.
  auto key = [&](UINT vk) {
    ::SendMessageW(edit, WM_KEYDOWN, vk, 0);
    ::SendMessageW(edit, WM_KEYUP, vk, 0);
  };
  key(VK_UP);
  EXPECT_EQ(position(), 15);
  key(VK_DOWN);
  EXPECT_EQ(position(), 14);
  EXPECT_EQ(TextOf(edit), L"14");
  ::SendMessageW(spin, UDM_SETPOS32, 0, 2);
  key(VK_DOWN);
  EXPECT_EQ(position(), 2);
  PluginSettings stored;
  Last().Store(stored);
  EXPECT_EQ(stored.Delay, 2);
}

HWND OthersItem(HWND page, int id) { return ::GetDlgItem(::GetDlgItem(page, tunelet::kIdOthersBox), id); }

TEST_F(OptionsPages, OthersPageShowsAndStoresItsSettings) {
  PluginSettings& s = Settings();
  s.OLEfoobar = true;
  s.IgnoreVideo = true;
  s.Returnonpause = false;
  s.Getfromname = true;
  s.a_u = 1;
  tunelet::SetText(s.PasteTemplate, u"слушаю %artist% — %title%");
  s.Directpaste = true;
  const HWND page = Open(tunelet::win32::MakeOthersPage(), kOthersTab);
  auto item = [&](int id) { return OthersItem(page, id); };

  EXPECT_EQ(TextOf(item(tunelet::kIdStext7)), L"Основные");
  EXPECT_EQ(CheckMarks(item, {tunelet::kIdChboxOleFoobar, tunelet::kIdChboxVideoOff, tunelet::kIdChboxReturnOnPause,
                              tunelet::kIdChboxGetFromName, tunelet::kIdRbOverBuf, tunelet::kIdRbDirect}),
            (std::vector<bool>{true, true, false, true, false, true}));
  const HWND codepage = item(tunelet::kIdChboxCodepage);
  EXPECT_EQ(::SendMessageW(codepage, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(::SendMessageW(codepage, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(TextOf(codepage), L"Кириллица (1251)");
  EXPECT_EQ(TextOf(item(tunelet::kIdTextPasteText)), L"слушаю %artist% — %title%");

  Click(item(tunelet::kIdChboxReturnOnPause));
  Click(item(tunelet::kIdChboxOleFoobar));
  ::SendMessageW(codepage, CB_SETCURSEL, 0, 0);
  ::SetWindowTextW(item(tunelet::kIdTextPasteText), L"line one\r\nline two");
  Click(item(tunelet::kIdRbOverBuf));
  PluginSettings stored;
  Last().Store(stored);
  EXPECT_FALSE(stored.OLEfoobar);
  EXPECT_TRUE(stored.IgnoreVideo);
  EXPECT_TRUE(stored.Returnonpause);
  EXPECT_TRUE(stored.Getfromname);
  EXPECT_EQ(stored.a_u, 0);
  EXPECT_EQ(tunelet::View(stored.PasteTemplate), u"line one\r\nline two");
  EXPECT_FALSE(stored.Directpaste);
  EXPECT_FALSE(Checked(item(tunelet::kIdRbDirect)));
}

TEST_F(OptionsPages, PasteTemplateStopsAtTwoHundredFiftyFiveCharactersAndTakesLineBreaks) {
  const HWND page = Open(tunelet::win32::MakeOthersPage(), kOthersTab);
  const HWND field = OthersItem(page, tunelet::kIdTextPasteText);
  EXPECT_EQ(::SendMessageW(field, EM_GETLIMITTEXT, 0, 0), 255);
  const LONG_PTR style = ::GetWindowLongPtrW(field, GWL_STYLE);
  EXPECT_TRUE(style & ES_MULTILINE);
  EXPECT_TRUE(style & ES_WANTRETURN);
  ::SetFocus(field);
  ::SendMessageW(field, WM_CHAR, L'a', 1);
  ::SendMessageW(field, WM_CHAR, VK_RETURN, 1);
  // A paste of 300 characters is cut at the limit, and typing stops there.
  const std::wstring many(300, L'x');
  ::SendMessageW(field, EM_REPLACESEL, TRUE, LPARAM(many.c_str()));
  ::SendMessageW(field, WM_CHAR, L'y', 1);
  const std::wstring text = TextOf(field);
  EXPECT_EQ(text.size(), 255u);
  EXPECT_EQ(text.find(L'y'), std::wstring::npos);
  EXPECT_EQ(text.substr(0, 3), L"a\r\n");
}

// Closes the first message box with the title that appears within boundMs,
// from another thread while this one is inside the box's modal loop; what
// it said, its owner and whether it showed the information icon.
struct SeenBox {
  bool seen = false;
  std::wstring text;
  HWND owner = nullptr;
  bool informationIcon = false;
};
BOOL CALLBACK FindIconChild(HWND child, LPARAM found) {
  if ((::GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
      HICON(::SendMessageW(child, STM_GETICON, 0, 0)) == ::LoadIconW(nullptr, IDI_INFORMATION))
    *reinterpret_cast<bool*>(found) = true;
  return TRUE;
}
std::future<SeenBox> CloseMessageBoxWhenShown(std::wstring title, DWORD boundMs) {
  return std::async(std::launch::async, [title, boundMs] {
    SeenBox seen;
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < boundMs) {
      if (HWND box = ::FindWindowW(L"#32770", title.c_str())) {
        seen.seen = true;
        constexpr int kMessageBoxTextId = 0xFFFF;
        wchar_t text[512] = {};
        ::GetDlgItemTextW(box, kMessageBoxTextId, text, 512);
        seen.text = text;
        seen.owner = ::GetWindow(box, GW_OWNER);
        ::EnumChildWindows(box, FindIconChild, LPARAM(&seen.informationIcon));
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        break;
      }
      ::Sleep(10);
    }
    return seen;
  });
}

TEST_F(OptionsPages, PastePreviewShowsTheFieldsTextWithSampleValues) {
  tunelet::SetText(Settings().PasteTemplate, u"stored %title%");
  const HWND page = Open(tunelet::win32::MakeOthersPage(), kOthersTab);
  // The unsaved edit is what the preview shows, blocks left as written.
  ::SetWindowTextW(OthersItem(page, tunelet::kIdTextPasteText), L"*%artist% {{%album%=x}}*");
  std::future<SeenBox> box = CloseMessageBoxWhenShown(L"Tunelet Plugin", 5000);
  Click(OthersItem(page, tunelet::kIdBtTest2));
  const SeenBox seen = box.get();
  ASSERT_TRUE(seen.seen);
  const std::u16string expected = tunelet::PastePreviewText(u"*%artist% {{%album%=x}}*");
  EXPECT_EQ(seen.text, std::wstring(expected.begin(), expected.end()));
  EXPECT_NE(seen.text.find(L"{{"), std::wstring::npos);
  EXPECT_EQ(seen.owner, harness_->window());
  EXPECT_TRUE(seen.informationIcon);
  EXPECT_EQ(tunelet::View(Settings().PasteTemplate), u"stored %title%");
}

TEST_F(OptionsPages, OthersBoxScrollsItsControlsIntoView) {
  const HWND page = Open(tunelet::win32::MakeOthersPage(), kOthersTab);
  const HWND box = ::GetDlgItem(page, tunelet::kIdOthersBox);
  ASSERT_TRUE(box);
  EXPECT_TRUE(::GetWindowLongPtrW(box, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  ASSERT_TRUE(::GetScrollInfo(box, SB_VERT, &si));
  EXPECT_GT(si.nMax + 1, int(si.nPage));  // the content is taller than the box
  EXPECT_EQ(si.nPos, 0);

  auto inView = [&](int id) {
    RECT view{}, r{};
    ::GetClientRect(box, &view);
    ::GetWindowRect(OthersItem(page, id), &r);
    ::MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
    return r.top >= 0 && r.bottom <= view.bottom;
  };
  EXPECT_FALSE(inView(tunelet::kIdRbDirect));
  ::SetFocus(OthersItem(page, tunelet::kIdRbDirect));
  EXPECT_TRUE(inView(tunelet::kIdRbDirect));
  EXPECT_FALSE(inView(tunelet::kIdStext7));
  ::SendMessageW(box, WM_VSCROLL, SB_TOP, 0);
  EXPECT_TRUE(inView(tunelet::kIdStext7));
  ::SendMessageW(box, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA * 5)), 0);
  EXPECT_TRUE(inView(tunelet::kIdRbDirect));
}

TEST_F(OptionsPages, ALanguageFileRefillsTheCodePagesAndReplacesTheCaptions) {
  Settings().a_u = 1;
  Settings().UpdateCheckPending = true;
  const tunelet::LanguageTexts english;  // a file with [Info] only: every text its English default
  const HWND others = Open(tunelet::win32::MakeOthersPage(), kOthersTab, &english);
  const HWND codepage = OthersItem(others, tunelet::kIdChboxCodepage);
  EXPECT_EQ(::SendMessageW(codepage, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(TextOf(codepage), L"Cyrillic (1251)");
  // The refill selects what the settings hold, not what the list showed.
  ::SendMessageW(codepage, CB_SETCURSEL, 0, 0);
  Last().ApplyTexts(english);
  EXPECT_EQ(::SendMessageW(codepage, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(::SendMessageW(codepage, CB_GETCURSEL, 0, 0), 1);
  wchar_t first[64] = {};
  ::SendMessageW(codepage, CB_GETLBTEXT, 0, LPARAM(first));
  EXPECT_STREQ(first, L"System (default)");
  EXPECT_EQ(TextOf(OthersItem(others, tunelet::kIdStext7)), L"Main");
  EXPECT_EQ(TextOf(OthersItem(others, tunelet::kIdBtTest2)), L"Test");
  EXPECT_EQ(TextOf(OthersItem(others, tunelet::kIdRbOverBuf)), L"Over Windows clipboard");

  const HWND popups = Open(tunelet::win32::MakePopupsPage(), kPopupsTab, &english);
  EXPECT_EQ(TextOf(::GetDlgItem(popups, tunelet::kIdLbDelay)), L"Hide popup delay (seconds):");
  EXPECT_EQ(TextOf(::GetDlgItem(popups, tunelet::kIdLbTranspLeft)), L"92%");
  const HWND tlc = Open(tunelet::win32::MakeControlWindowPage(), kControlWindowTab, &english);
  EXPECT_EQ(TextOf(::GetDlgItem(tlc, tunelet::kIdBtResetPos)), L"Reset position");
  services_.texts = &english;
  harness_.reset();
  harness_.emplace(services_);
  const HWND about = Open(tunelet::win32::MakeAboutPage(nullptr), kAboutTab, &english);
  EXPECT_EQ(TextOf(::GetDlgItem(about, tunelet::kIdChboxUpdate)), L"Check updates on startup");
  EXPECT_EQ(TextOf(::GetDlgItem(about, tunelet::kIdBtLoadUp)), L"Load new version");
  // A check under way keeps its caption over the table's.
  EXPECT_EQ(TextOf(::GetDlgItem(about, tunelet::kIdBtGetUp)), L"Checking...");
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(about, tunelet::kIdBtGetUp)));
}

// A caption is cut when it is wider than its control leaves room for (a
// check box or radio button keeps about 16 pixels for its box).
std::vector<std::wstring> CutCaptions(HWND parent) {
  std::vector<std::wstring> cut;
  for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[32] = {};
    ::GetClassNameW(c, cls, 32);
    const std::wstring name = cls;
    const LONG_PTR style = ::GetWindowLongPtrW(c, GWL_STYLE);
    const bool check = name == L"Button" && ((style & BS_TYPEMASK) == BS_AUTOCHECKBOX ||
                                             (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON);
    const bool push = name == L"Button" && (style & BS_TYPEMASK) == BS_PUSHBUTTON;
    if (name != L"Static" && !check && !push) continue;
    const std::wstring text = TextOf(c);
    HDC dc = ::GetDC(c);
    const HGDIOBJ old = ::SelectObject(dc, HFONT(::SendMessageW(c, WM_GETFONT, 0, 0)));
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(c, dc);
    RECT r{};
    ::GetClientRect(c, &r);
    const int room = r.right - (check ? 16 : push ? 8 : 0);
    if (size.cx > room) cut.push_back(text);
  }
  return cut;
}

TEST_F(OptionsPages, NoCaptionIsCutInRussianOrEnglish) {
  const tunelet::LanguageTexts english;
  for (const tunelet::IUiTexts* language : {static_cast<const tunelet::IUiTexts*>(nullptr),
                                            static_cast<const tunelet::IUiTexts*>(&english)}) {
    const HWND popups = Open(tunelet::win32::MakePopupsPage(), kPopupsTab, language);
    const HWND others = Open(tunelet::win32::MakeOthersPage(), kOthersTab, language);
    const HWND tlc = Open(tunelet::win32::MakeControlWindowPage(), kControlWindowTab, language);
    const HWND about = Open(tunelet::win32::MakeAboutPage(nullptr), kAboutTab, language);
    for (HWND parent : {popups, ::GetDlgItem(others, tunelet::kIdOthersBox), tlc, about})
      EXPECT_EQ(CutCaptions(parent), std::vector<std::wstring>{}) << (language ? "English" : "Russian");
  }
}

TEST_F(OptionsPages, ControlWindowPageActsAtOnce) {
  Settings().Show_tlc = true;
  Settings().Hide_tlc = false;
  const HWND page = Open(tunelet::win32::MakeControlWindowPage(), kControlWindowTab);
  auto item = [&](int id) { return ::GetDlgItem(page, id); };
  EXPECT_EQ(TextOf(item(tunelet::kIdTlcHeading)), L"Tunelet Control");
  EXPECT_TRUE(Checked(item(tunelet::kIdChboxTlcOn)));
  EXPECT_FALSE(Checked(item(tunelet::kIdChboxHideIfTop)));

  // Show_tlc changes with the click, before any save (a Cancel keeps it);
  // Hide_tlc waits for the save.
  Click(item(tunelet::kIdChboxTlcOn));
  EXPECT_FALSE(Settings().Show_tlc);
  Click(item(tunelet::kIdChboxHideIfTop));
  EXPECT_FALSE(Settings().Hide_tlc);
  Last().Store(Settings());
  EXPECT_TRUE(Settings().Hide_tlc);
  EXPECT_FALSE(Settings().Show_tlc);

  Click(item(tunelet::kIdBtShowHide));
  EXPECT_EQ(ui_.shown, 1);
  EXPECT_EQ(ui_.closed, 0);
  Click(item(tunelet::kIdBtShowHide));
  EXPECT_EQ(ui_.shown, 1);
  EXPECT_EQ(ui_.closed, 1);
  Click(item(tunelet::kIdBtResetPos));
  EXPECT_EQ(ui_.resets, 1);
}

// Counts the credits box's timer messages as the thread takes them.
std::atomic<int> gCreditsTimers{0};
HWND gCreditsBox = nullptr;
LRESULT CALLBACK CountCreditsTimers(int code, WPARAM removed, LPARAM lp) {
  const auto* m = reinterpret_cast<const MSG*>(lp);
  if (code == HC_ACTION && removed == PM_REMOVE && m->message == WM_TIMER && m->hwnd == gCreditsBox)
    ++gCreditsTimers;
  return ::CallNextHookEx(nullptr, code, removed, lp);
}

// The box as the screen shows it, pixel by pixel.
std::vector<uint32_t> PixelsOf(HWND hwnd) {
  ::UpdateWindow(hwnd);
  RECT r{};
  ::GetClientRect(hwnd, &r);
  std::vector<uint32_t> pixels(size_t(r.right) * size_t(r.bottom));
  HDC dc = ::GetDC(hwnd);
  HDC memory = ::CreateCompatibleDC(dc);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = r.right;
  bi.bmiHeader.biHeight = -r.bottom;  // top row first
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
  ::GdiFlush();
  std::memcpy(pixels.data(), bits, pixels.size() * 4);
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(hwnd, dc);
  return pixels;
}

TEST_F(OptionsPages, AboutPageIsTheUpdateViewAndItsCreditsMoveOnlyWhileShown) {
  Settings().PluginVersion = "3.0.5.2650";
  Settings().Updateonstartup = true;
  std::vector<std::pair<HWND, std::u16string>> opened;
  const HWND page = Open(
      tunelet::win32::MakeAboutPage([&](HWND owner, const std::u16string& url) { opened.emplace_back(owner, url); }),
      kAboutTab);
  auto item = [&](int id) { return ::GetDlgItem(page, id); };
  EXPECT_EQ(TextOf(item(tunelet::kIdSVersionText)), L"Version 3.0.5.2650");
  EXPECT_TRUE(Checked(item(tunelet::kIdChboxUpdate)));
  EXPECT_TRUE(::IsWindowEnabled(item(tunelet::kIdBtGetUp)));
  EXPECT_EQ(TextOf(item(tunelet::kIdBtGetUp)), L"Проверить обновление");
  EXPECT_FALSE(::IsWindowEnabled(item(tunelet::kIdBtLoadUp)));
  Click(item(tunelet::kIdChboxUpdate));
  PluginSettings stored;
  Last().Store(stored);
  EXPECT_FALSE(stored.Updateonstartup);

  // The page is the view; what the check says lands on the buttons.
  ASSERT_EQ(update_.views.size(), 1u);
  tunelet::IUpdateView* view = update_.views[0];
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->OwnerWindow(), uintptr_t(harness_->window()));
  view->SetLoadButton(true);
  view->SetLoadCaption(u"Загрузить 3.0.6");
  view->SetCheckButton(false);
  view->SetCheckCaption(u"Нет обновлений");
  EXPECT_TRUE(::IsWindowEnabled(item(tunelet::kIdBtLoadUp)));
  EXPECT_EQ(TextOf(item(tunelet::kIdBtLoadUp)), L"Загрузить 3.0.6");
  EXPECT_FALSE(::IsWindowEnabled(item(tunelet::kIdBtGetUp)));
  EXPECT_EQ(TextOf(item(tunelet::kIdBtGetUp)), L"Нет обновлений");
  Click(item(tunelet::kIdBtLoadUp));
  EXPECT_EQ(update_.loads, 1);
  view->SetCheckButton(true);
  Click(item(tunelet::kIdBtGetUp));
  EXPECT_EQ(update_.checks, 1);

  // A check under way (the one at start) shows on the tab when it is shown.
  Last().Hidden();
  Settings().UpdateCheckPending = true;
  Last().Shown();
  EXPECT_FALSE(::IsWindowEnabled(item(tunelet::kIdBtGetUp)));
  EXPECT_EQ(TextOf(item(tunelet::kIdBtGetUp)), L"Проверяется...");

  // The credits step while shown, and stand still while hidden.
  const HWND credits = item(tunelet::kIdCredits);
  ASSERT_TRUE(credits);
  gCreditsBox = credits;
  gCreditsTimers = 0;
  HHOOK hook = ::SetWindowsHookExW(WH_GETMESSAGE, CountCreditsTimers, nullptr, ::GetCurrentThreadId());
  ASSERT_TRUE(hook);
  const std::vector<uint32_t> before = PixelsOf(credits);
  EXPECT_TRUE(PumpUntil([] { return gCreditsTimers >= 5; }, 3000));
  EXPECT_NE(PixelsOf(credits), before);
  Last().Hidden();
  PumpFor(50);
  gCreditsTimers = 0;
  const std::vector<uint32_t> stopped = PixelsOf(credits);
  PumpFor(400);
  EXPECT_EQ(gCreditsTimers, 0);
  EXPECT_EQ(PixelsOf(credits), stopped);
  Last().Shown();
  EXPECT_TRUE(PumpUntil([] { return gCreditsTimers >= 2; }, 3000));
  ::UnhookWindowsHookEx(hook);

  // A click on the credits opens the home page, owned by the dialog.
  ::SendMessageW(credits, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  ::SendMessageW(credits, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].first, harness_->window());
  EXPECT_EQ(opened[0].second, u"http://www.tunelet.example/tunelet.htm");

  // The view goes with the page's window, once.
  ::DestroyWindow(page);
  ASSERT_EQ(update_.views.size(), 2u);
  EXPECT_EQ(update_.views[1], nullptr);
  pages_.clear();
  EXPECT_EQ(update_.views.size(), 2u);
}

TEST_F(OptionsPages, TheLoadButtonStartsDisabledAtEveryOpening) {
  for (int opening = 0; opening < 2; ++opening) {
    const HWND page = Open(tunelet::win32::MakeAboutPage(nullptr), kAboutTab);
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(page, tunelet::kIdBtLoadUp)));
    update_.views.back()->SetLoadButton(true);
    harness_.reset();
    pages_.clear();
    harness_.emplace(services_);
  }
  EXPECT_EQ(update_.views.size(), 4u);
  EXPECT_EQ(update_.views[3], nullptr);
}

TEST_F(OptionsPages, ATabSwitchShowsNothingOfThePreviousPage) {
  const HWND others = Open(tunelet::win32::MakeOthersPage(), kOthersTab);
  PumpFor(50);
  // The frame's switch: the new page shown, the old one hidden.
  const HWND tlc = Open(tunelet::win32::MakeControlWindowPage(), kControlWindowTab);
  ::ShowWindow(others, SW_HIDE);
  PumpFor(50);
  // Below the control-window page's buttons there is nothing but the page.
  RECT buttons{};
  ::GetWindowRect(::GetDlgItem(tlc, tunelet::kIdBtShowHide), &buttons);
  ::MapWindowPoints(nullptr, tlc, reinterpret_cast<POINT*>(&buttons), 2);
  RECT client{};
  ::GetClientRect(tlc, &client);
  const std::vector<uint32_t> pixels = PixelsOf(tlc);
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  const uint32_t expected = uint32_t(GetRValue(face)) << 16 | uint32_t(GetGValue(face)) << 8 | GetBValue(face);
  int other = 0;
  for (int y = buttons.bottom + 4; y < client.bottom; ++y)
    for (int x = 0; x < client.right; ++x) other += (pixels[size_t(y) * size_t(client.right) + size_t(x)] & 0xFFFFFF) != expected;
  EXPECT_EQ(other, 0);
}

using PageFactory = std::unique_ptr<OptionsPage> (*)();
std::unique_ptr<OptionsPage> MakeAboutPageOpeningNothing() { return tunelet::win32::MakeAboutPage(nullptr); }
const struct {
  const char* name;
  PageFactory make;
  int tab;
} kPages[] = {{"popups", &tunelet::win32::MakePopupsPage, kPopupsTab},
              {"others", &tunelet::win32::MakeOthersPage, kOthersTab},
              {"control-window", &tunelet::win32::MakeControlWindowPage, kControlWindowTab},
              {"about", &MakeAboutPageOpeningNothing, kAboutTab}};

TEST_F(OptionsPages, PagesMadeAndFreedTenTimesLeaveNoGdiObjectOrWindow) {
  auto cycle = [&](PageFactory make, int tab) {
    const HWND page = Open(make(), tab);
    PumpFor(tab == kAboutTab ? 200 : 0);  // the credits step and paint again
    Last().Hidden();
    ::DestroyWindow(page);
    pages_.clear();
  };
  for (const auto& p : kPages) cycle(p.make, p.tab);  // the kit's bold font, the system's caches
  PumpFor(50);
  const soak::Counts before = soak::Measure();
  for (const auto& p : kPages) {
    for (int i = 0; i < 10; ++i) cycle(p.make, p.tab);
    PumpFor(50);
    const soak::Counts after = soak::Measure();
    EXPECT_EQ(after.gdiTableByType, before.gdiTableByType) << p.name;
    EXPECT_EQ(after.windows, before.windows) << p.name;
  }
  std::printf("GDI objects (but DCs) %lld, DCs %lld, windows %d after 40 pages\n",
              static_cast<long long>(before.gdiTableObjects), static_cast<long long>(before.gdiTableDcs),
              before.windows);
}

TEST_F(OptionsPages, Screenshots) {
  const char* dir = std::getenv("TUNELET_OPTIONS_SCREENSHOTS");
  if (!dir) GTEST_SKIP() << "TUNELET_OPTIONS_SCREENSHOTS=DIR takes a picture of each page";
  PluginSettings& s = Settings();
  s.PopupsOn = true;
  s.Shadow = true;
  s.Transp = 230;
  s.Delay = 5;
  s.Getfromname = true;
  tunelet::SetText(s.PasteTemplate, u"*втыкает %artist% \"%title%\"*");
  s.Show_tlc = true;
  s.Hide_tlc = true;
  s.PluginVersion = "3.0.5.2650";
  s.Updateonstartup = true;
  const tunelet::LanguageTexts english;
  for (const tunelet::IUiTexts* language : {static_cast<const tunelet::IUiTexts*>(nullptr),
                                            static_cast<const tunelet::IUiTexts*>(&english)}) {
    for (const auto& p : kPages) {
      const HWND page = Open(p.make(), p.tab, language);
      PumpFor(p.tab == kAboutTab ? 1500 : 200);
      RECT r{};
      ::GetWindowRect(harness_->window(), &r);
      const std::string name = std::string(dir) + "/options-" + p.name + (language ? "-en" : "") + ".png";
      std::string error;
      EXPECT_TRUE(talkeo_sim::SaveScreenPng(std::wstring(name.begin(), name.end()), &r, &error)) << error;
      Last().Hidden();
      ::DestroyWindow(page);
      pages_.clear();
    }
  }
}

}  // namespace
