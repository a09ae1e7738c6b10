// The options dialog of the real Tunelet.dll in the simulated host: the rules
// a user notices by clicking, pressing keys and waiting. Escape in a
// multi-line template field cancels the dialog; the blocks menu opens under
// its button; the template balloon lives ten seconds; the home-page and
// download buttons hand their pages to the shell; the hot-key tab names the
// grey Insert key, reads hotkeys.dat anew at every opening and takes a
// language chosen while it is shown, hints included.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "host_test_support.h"
#include "loopback_http.h"
#include "plugin_windows.h"
#include "script.h"
#include "sim_host.h"
#include "sim_text.h"
#include "ui/options_controls.h"
#include "ui/options_rules.h"
#include "ui/options_texts.h"

namespace {

using host_test::PluginCopy;
using talkeo_sim::FindDialogControl;
using talkeo_sim::FindOptionsDialog;
using talkeo_sim::MessageBoxView;
using talkeo_sim::MessageBoxWatch;
using talkeo_sim::ShellOpens;
using talkeo_sim::SimHost;
using talkeo_sim::WindowText;
using namespace tunelet;

constexpr uint32_t kBoxBoundMs = 5000;
constexpr uint32_t kMarginMs = 2500;  // a busy machine
constexpr uint32_t kBalloonLifeMs = 10000;
// The first WinINet request of a process takes several seconds under Wine.
constexpr uint32_t kUpdateBoundMs = 20000;
constexpr wchar_t kLanguageDialogCaption[] = L"Tunelet Plugin Localization";
constexpr int kLanguageListId = 103, kLanguageApplyId = 105;  // the language dialog's controls
constexpr size_t kSlotSize = 31, kSlotCount = 5;

std::wstring Wide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }
std::wstring Marked(std::u16string_view key) { return L"«" + Wide(key) + L"»"; }

// hotkeys.dat: five slots of a length byte and 30 ANSI characters.
void WriteSlots(const std::wstring& path, const std::vector<std::string>& texts) {
  std::string bytes(kSlotSize * kSlotCount, '\0');
  for (size_t i = 0; i < texts.size() && i < kSlotCount; ++i) {
    bytes[i * kSlotSize] = char(texts[i].size());
    bytes.replace(i * kSlotSize + 1, texts[i].size(), texts[i]);
  }
  std::ofstream(std::filesystem::path(path), std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

std::string ReadSlot(const std::wstring& path, size_t slot) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < kSlotSize * kSlotCount) return "(short file)";
  return bytes.substr(slot * kSlotSize + 1, size_t(uint8_t(bytes[slot * kSlotSize])));
}

// A visible window of this process of the class (and caption), or null.
struct WindowQuery {
  const wchar_t* className;
  const wchar_t* caption;
  DWORD style = 0;  // bits the window must have
  HWND found = nullptr;
};
BOOL CALLBACK MatchWindow(HWND w, LPARAM lp) {
  auto* q = reinterpret_cast<WindowQuery*>(lp);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(w, &pid);
  wchar_t cls[64] = {};
  ::GetClassNameW(w, cls, 64);
  if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(w) || ::lstrcmpiW(cls, q->className) != 0) return TRUE;
  if (q->caption && WindowText(w) != q->caption) return TRUE;
  if ((DWORD(::GetWindowLongW(w, GWL_STYLE)) & q->style) != q->style) return TRUE;
  q->found = w;
  return FALSE;
}
HWND VisibleWindow(const wchar_t* className, const wchar_t* caption = nullptr, DWORD style = 0) {
  WindowQuery q{className, caption, style};
  ::EnumWindows(MatchWindow, LPARAM(&q));
  return q.found;
}

// The hint a control shows: the text its tool has in one of the tooltip
// windows the dialog owns; nothing when no tooltip knows the control.
struct HintQuery {
  HWND dialog, control;
  std::optional<std::wstring> text;
};
BOOL CALLBACK AskTooltip(HWND w, LPARAM lp) {
  auto* q = reinterpret_cast<HintQuery*>(lp);
  wchar_t cls[64] = {};
  ::GetClassNameW(w, cls, 64);
  if (::lstrcmpiW(cls, TOOLTIPS_CLASSW) != 0 || ::GetWindow(w, GW_OWNER) != q->dialog ||
      (::GetWindowLongW(w, GWL_STYLE) & TTS_BALLOON))  // the template balloon
    return TRUE;
  wchar_t buffer[1024] = {};
  TOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;
  ti.hwnd = ::GetParent(q->control);
  ti.uId = UINT_PTR(q->control);
  if (!::SendMessageW(w, TTM_GETTOOLINFOW, 0, LPARAM(&ti))) return TRUE;
  ti.lpszText = buffer;
  ::SendMessageW(w, TTM_GETTEXTW, std::size(buffer), LPARAM(&ti));
  q->text = buffer;
  return FALSE;
}
std::optional<std::wstring> HintOf(HWND dialog, HWND control) {
  HintQuery q{dialog, control};
  ::EnumThreadWindows(::GetCurrentThreadId(), AskTooltip, LPARAM(&q));
  return q.text;
}

std::wstring ColumnCaption(HWND list, int column) {
  wchar_t buffer[256] = {};
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT;
  col.pszText = buffer;
  col.cchTextMax = int(std::size(buffer));
  ::SendMessageW(list, LVM_GETCOLUMNW, column, LPARAM(&col));
  return buffer;
}

class OptionsDialogRules : public ::testing::Test {
 protected:
  void SetUp() override { copy_.WriteQuietIni(); }
  void TearDown() override { host_.Unload(); }

  void Start() {
    std::string error;
    ASSERT_TRUE(host_.Load(copy_.Dll(), &error)) << error;
    ShellOpens::Trace(host_.Module());
    ShellOpens::Take();
    host_.Record().Initialised = 1;
    host_.Record().PluginOn = 1;
    ASSERT_TRUE(host_.Start());
  }

  void Steps(const std::string& script) { host_test::RunSimSteps(host_, script); }

  HWND Dialog() const { return FindOptionsDialog(host_.Module()); }
  HWND Control(int id) const { return FindDialogControl(Dialog(), id); }
  bool PumpUntil(const std::function<bool()>& done, uint32_t boundMs) {
    return host_test::PumpUntil(host_, done, boundMs);
  }
  void Click(HWND control) {
    std::string error;
    ASSERT_TRUE(talkeo_sim::ClickControl(control, &error)) << error;
  }
  std::optional<MessageBoxView> AnswerBox(MessageBoxWatch& boxes, int ticket, uint32_t boundMs = kBoxBoundMs) {
    return boxes.Wait(ticket, [&](uint32_t ms) { host_.Pump(ms); }, boundMs);
  }

  PluginCopy copy_;
  SimHost host_;
};

// --- the X-status tab

// What the blocks menu showed while it was open: looked at from a thread
// timer, which the menu's own loop still runs.
struct SeenMenu {
  RECT rect{};
  std::vector<std::wstring> items;
  int defaultItem = -1;
  bool found = false;
};
SeenMenu gSeenMenu;

void CALLBACK LookAtMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND menuWindow = VisibleWindow(L"#32768");
  if (!menuWindow) return;
  ::KillTimer(nullptr, timer);
  gSeenMenu.found = true;
  ::GetWindowRect(menuWindow, &gSeenMenu.rect);
  if (const auto menu = reinterpret_cast<HMENU>(::SendMessageW(menuWindow, MN_GETHMENU, 0, 0))) {
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
      wchar_t text[128] = {};
      ::GetMenuStringW(menu, UINT(i), text, int(std::size(text)), MF_BYPOSITION);
      gSeenMenu.items.push_back(text);
    }
    gSeenMenu.defaultItem = int(::GetMenuDefaultItem(menu, TRUE, 0));
  }
  // Up from no selection lands on the last item, "Синтаксис"; Enter picks it.
  INPUT keys[4] = {};
  const WORD vks[2] = {VK_UP, VK_RETURN};
  for (int i = 0; i < 4; ++i) {
    keys[i].type = INPUT_KEYBOARD;
    keys[i].ki.wVk = vks[i / 2];
    keys[i].ki.dwFlags = (i % 2) ? KEYEVENTF_KEYUP : 0;
  }
  ::SendInput(4, keys, sizeof(INPUT));
}

TEST_F(OptionsDialogRules, TheBlocksMenuOpensUnderItsButtonTheBalloonLivesTenSecondsAndEscapeInATextCancels) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 2\n"));
  const HWND dialog = Dialog();
  ASSERT_TRUE(dialog);

  // "Блоки": the menu's top-left corner one pixel right of the button's
  // bottom-left corner; its last item chosen with the keyboard shows the syntax.
  {
    const HWND addBlock = Control(kIdBtAddBlock);
    RECT button{};
    ::GetWindowRect(addBlock, &button);
    gSeenMenu = {};
    MessageBoxWatch boxes;
    const int ticket = boxes.Expect(IDOK);
    const UINT_PTR look = ::SetTimer(nullptr, 0, 50, LookAtMenu);
    ASSERT_NO_FATAL_FAILURE(Click(addBlock));
    const std::optional<MessageBoxView> box = AnswerBox(boxes, ticket);
    ::KillTimer(nullptr, look);
    ASSERT_TRUE(gSeenMenu.found) << "no menu after a click on bt_addblock";
    EXPECT_EQ(gSeenMenu.rect.left, button.left + 1);
    EXPECT_EQ(gSeenMenu.rect.top, button.bottom);
    EXPECT_EQ(gSeenMenu.items, (std::vector<std::wstring>{L"Условные блоки", L"", L"Что это и зачем?", L"Синтаксис"}));
    EXPECT_EQ(gSeenMenu.defaultItem, 0) << "the heading is drawn bold";
    ASSERT_TRUE(box) << "no message box from the menu's last item";
    EXPECT_EQ(box->text, Wide(kBlockSyntaxText));
    EXPECT_EQ(box->caption, L"Tunelet Plugin");
    EXPECT_EQ(box->owner, dialog);
    EXPECT_TRUE(boxes.TakeUnexpected().empty());
  }

  // "Шаблоны": the balloon goes by itself ten seconds after the click.
  {
    ASSERT_NO_FATAL_FAILURE(Click(Control(kIdBtVars)));
    HWND balloon = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (balloon = VisibleWindow(TOOLTIPS_CLASSW, nullptr, TTS_BALLOON)) != nullptr; },
                          2000))
        << "no balloon after a click on bt_vars";
    const uint32_t shown = host_.Now();
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(balloon); }, kBalloonLifeMs + kMarginMs))
        << "the balloon was still shown after " << host_.Now() - shown << " ms";
    const uint32_t lived = host_.Now() - shown;
    EXPECT_GE(lived, kBalloonLifeMs - 500);
    std::printf("the template balloon was shown for %u ms\n", lived);
  }

  // Escape in the audio text field closes the dialog as "Отмена" does; the
  // field's own Escape asks the page to close.
  const std::wstring before = WindowText(Control(kIdEXstatTextA));
  ASSERT_NO_FATAL_FAILURE(Steps("control e_xstat_text_a text \"не сохранять\"\n"
                                "control e_xstat_text_a key Escape\n"));
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(dialog); }, 2000)) << "Escape in e_xstat_text_a left the dialog open";
  host_.Shutdown();
  EXPECT_EQ(host_test::Bstr(host_.Record().AudioTextTemplate), before) << "Escape saved";
}

// --- the frame's home-page button and the About tab's download button

TEST_F(OptionsDialogRules, TheHomePageAndTheDownloadButtonsHandTheirPagesToTheShell) {
  update_test::LoopbackHttpServer server;
  ASSERT_TRUE(server.Listening());
  update_test::ProxySetting proxy(server.Port());
  server.SetAnswer(update_test::LoopbackHttpServer::Answer("200 OK", "tunelet9.0.0.zip"));
  ASSERT_NO_FATAL_FAILURE(Start());
  host_.OpenOptions();
  const HWND dialog = Dialog();
  ASSERT_TRUE(dialog);
  auto expectOpened = [&](const std::wstring& url) {
    const std::vector<ShellOpens::Opened> opened = ShellOpens::Take();
    ASSERT_EQ(opened.size(), 1u) << "pages opened: " << opened.size();
    EXPECT_EQ(opened[0].file, url);
    EXPECT_TRUE(opened[0].verb.empty() || opened[0].verb == L"open") << talkeo_sim::ToUtf8(opened[0].verb);
    EXPECT_EQ(opened[0].owner, dialog);
    EXPECT_EQ(opened[0].show, SW_SHOWNORMAL);
  };

  ASSERT_NO_FATAL_FAILURE(Click(Control(kIdHpButton)));
  host_.Pump(100);
  expectOpened(L"http://www.tunelet.example/tunelet.htm");

  // The credits open the same page.
  ASSERT_NO_FATAL_FAILURE(Steps("tab 7\nexpect-control bt_loadup disabled\n"));
  ASSERT_NO_FATAL_FAILURE(Click(Control(kIdCredits)));
  host_.Pump(100);
  expectOpened(L"http://www.tunelet.example/tunelet.htm");

  // A newer version found enables the download button; its click opens the
  // download page and greys it.
  MessageBoxWatch boxes;
  const int ticket = boxes.Expect(IDOK);
  ASSERT_NO_FATAL_FAILURE(Click(Control(kIdBtGetUp)));
  const std::optional<MessageBoxView> box = AnswerBox(boxes, ticket, kUpdateBoundMs);
  ASSERT_TRUE(box) << "no announcement of the newer version";
  EXPECT_NE(box->text.find(L"9.0.0"), std::wstring::npos) << talkeo_sim::ToUtf8(box->text);
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowEnabled(Control(kIdBtLoadUp)) != FALSE; }, 2000))
      << "bt_loadup stays disabled";
  EXPECT_TRUE(ShellOpens::Take().empty()) << "the check opened a page by itself";
  ASSERT_NO_FATAL_FAILURE(Click(Control(kIdBtLoadUp)));
  host_.Pump(100);
  expectOpened(L"http://www.tunelet.example/files/plugins/download.htm");
  EXPECT_FALSE(::IsWindowEnabled(Control(kIdBtLoadUp)));
  EXPECT_TRUE(boxes.TakeUnexpected().empty());
}

// --- the hot-key tab

TEST_F(OptionsDialogRules, TheHotKeyTabNamesInsertReadsHotkeysDatAtEveryOpeningAndTakesALanguageWhileShown) {
  // A language file whose every text is «KEY».
  std::vector<std::u16string> keys = {u"HOTKEYLIST_ITEMS", u"HOTKEYLIST_SUBITEMS"};
  for (char16_t n = u'1'; n <= u'5'; ++n) keys.push_back(u"HOTKEYLIST_ITEM" + std::u16string(1, n));
  keys.push_back(u"HOTKEY_NOT_WORKING");
  for (const auto& t : OptionsControlTexts()) {
    if (!t.captionKey.empty()) keys.emplace_back(t.captionKey);
    if (!t.hintKey.empty() && t.hintKey != kClearedHint) keys.emplace_back(t.hintKey);
  }
  std::u16string file = u"\xFEFF[Info]\r\nLNG_LANG=Test\r\n[Main]\r\n";
  for (const auto& k : keys) file += k + u"=«" + k + u"»\r\n";
  std::filesystem::create_directories(copy_.Folder() + L"\\addons");
  std::ofstream(std::filesystem::path(copy_.Folder() + L"\\addons\\test.lng"), std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size() * 2));
  const std::wstring slots = copy_.Folder() + L"\\hotkeys.dat";
  ASSERT_NO_FATAL_FAILURE(Start());

  // The grey Insert key by its name, not the keypad's "Num 0".
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 3\n"
                                "control HotKeyList select 0\n"
                                "control HotKey1 key Ctrl+Insert\n"
                                "control bt_reghotkey click\n"
                                "expect-control HotKeyList cell 0 1 \"Ctrl+Insert\"\n"
                                "control bt_close click\n"));
  EXPECT_EQ(ReadSlot(slots, 0), "Ctrl+Insert");
  ASSERT_TRUE(PumpUntil([&] { return !Dialog(); }, 2000));

  // Another program's hotkeys.dat, read at the next opening. Its binding was
  // never registered (hot keys are registered at start), so it shows marked.
  WriteSlots(slots, {"", "", "Ctrl+Shift+F7"});
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 3\n"
                                "expect-control HotKeyList cell 0 1 \"\"\n"
                                "expect-control HotKeyList cell 2 1 \"(не работает) Ctrl+Shift+F7\"\n"));

  // The language button's dialog, its row of the file, "Apply": the shown
  // tab takes the file's captions and every control its hint.
  ASSERT_NO_FATAL_FAILURE(Click(Control(kIdLangButton)));
  HWND languages = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (languages = VisibleWindow(L"#32770", kLanguageDialogCaption)) != nullptr; },
                        2000));
  const HWND list = ::GetDlgItem(languages, kLanguageListId);
  int row = -1;
  for (int i = 0; i < ListView_GetItemCount(list) && row < 0; ++i)
    if (talkeo_sim::ItemText(list, i) == L"Test") row = i;
  ASSERT_GE(row, 0) << "test.lng is not listed";
  RECT cell{};
  ListView_GetItemRect(list, row, &cell, LVIR_LABEL);
  ASSERT_TRUE(talkeo_sim::ClickAt(talkeo_sim::ClientToScreenPoint(list, (cell.left + cell.right) / 2,
                                                                  (cell.top + cell.bottom) / 2),
                                  talkeo_sim::MouseButton::Left));
  const HWND apply = ::GetDlgItem(languages, kLanguageApplyId);
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowEnabled(apply) != FALSE; }, 2000)) << "the row was not selected";
  ASSERT_NO_FATAL_FAILURE(Click(apply));
  ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(languages); }, 2000)) << "Apply left the language dialog open";

  const HWND hotKeys = Control(kIdHotKeyList);
  EXPECT_EQ(ColumnCaption(hotKeys, 0), Marked(u"HOTKEYLIST_ITEMS"));
  EXPECT_EQ(ColumnCaption(hotKeys, 1), Marked(u"HOTKEYLIST_SUBITEMS"));
  for (int r = 0; r < 5; ++r)
    EXPECT_EQ(talkeo_sim::ItemText(hotKeys, r), Marked(u"HOTKEYLIST_ITEM" + std::u16string(1, char16_t(u'1' + r))))
        << "row " << r;
  EXPECT_EQ(talkeo_sim::ItemText(hotKeys, 2, 1), L"(" + Marked(u"HOTKEY_NOT_WORKING") + L") Ctrl+Shift+F7");
  const HWND dialog = Dialog();
  for (const auto& t : OptionsControlTexts()) {
    if (t.hintKey.empty()) continue;
    const HWND c = Control(t.control);
    if (!c) {
      ADD_FAILURE() << "no control " << t.control;
      continue;
    }
    const std::optional<std::wstring> hint = HintOf(dialog, c);
    if (t.hintKey == kClearedHint) {
      EXPECT_TRUE(!hint || hint->empty()) << "control " << t.control << " kept its hint";
    } else {
      EXPECT_EQ(hint.value_or(L"(no tooltip)"), Marked(t.hintKey)) << "control " << t.control;
    }
  }
}

}  // namespace
