#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "lang/language_files.h"
#include "lang/win32/language_system_win32.h"
#include "lang/win32/language_win32.h"
#include "model/settings.h"
#include "platform/win32/unique_handle.h"

using namespace tunelet;
using namespace tunelet::win32;

namespace {

std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

// The plug-in's INI file, in memory.
class MapIni : public IIniFile {
 public:
  std::map<std::u16string, std::u16string> values;  // "Section/Key"
  std::optional<std::u16string> Read(std::u16string_view section, std::u16string_view key) override {
    auto it = values.find(std::u16string(section) + u"/" + std::u16string(key));
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  void Write(std::u16string_view section, std::u16string_view key, std::u16string_view value) override {
    values[std::u16string(section) + u"/" + std::u16string(key)] = std::u16string(value);
  }
};

class CountingUi : public IUserInterface {
 public:
  int optionsRefreshed = 0;
  void ApplyLanguageToOptions() override { ++optionsRefreshed; }
};

// A fresh plug-in folder with "addons\" per case; Settings().DllPath names a
// library in it.
class LangWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"tunelet-lang-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
              std::to_wstring(++counter) + L"\\";
    std::filesystem::create_directories(folder_ + L"addons");
    Settings().DllPath = U16(folder_ + L"Tunelet.dll");
    Settings().PluginVersion = "3.0.1.0";
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  std::wstring Addon(const wchar_t* name) const { return folder_ + L"addons\\" + name; }
  void WriteBytes(const std::wstring& path, const std::string& bytes) const {
    std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
  }
  // UTF-16 little-endian with a byte-order mark.
  void WriteUtf16(const std::wstring& path, const std::u16string& text) const {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
      bytes.push_back(char(c & 0xFF));
      bytes.push_back(char(c >> 8));
    }
    WriteBytes(path, bytes);
  }
  void ExpectAllEnglish(const LanguageTexts& texts) {
    for (const LanguageKey& k : LanguageKeys()) EXPECT_EQ(texts.Text(k.key), k.english) << std::string(k.key.begin(), k.key.end());
  }

  std::wstring folder_;
  Win32LanguageSystem system_;
  LanguageTexts texts_;
  MapIni ini_;
};

TEST_F(LangWineTest, Utf16FileWithAByteOrderMarkLoadsCyrillicCjkAndSurrogatesExactly) {
  const std::u16string on = u"Плагин включён — 插件已启用 \U0001F3B5";
  WriteUtf16(Addon(L"mixed.lng"), u"[Info]\r\nLNG_LANG=Смешанный\r\n[Main]\r\nPLUGIN_ON=" + on +
                                      u"\r\nTAB3=Статус\r\n");
  ASSERT_TRUE(LoadLanguageFile(system_, U16(Addon(L"mixed.lng")), texts_));
  EXPECT_EQ(texts_.Text(u"PLUGIN_ON"), on);
  EXPECT_EQ(texts_.Text(u"TAB3"), u"Статус");
  // Missing keys keep their defaults.
  EXPECT_EQ(texts_.Text(u"HOTKEY_REG_ERROR"), u"Failed to assign hot key for");
  EXPECT_EQ(texts_.Text(u"PLUGIN_OFF"), u"The plug-in is inactive (OFF)");
}

TEST_F(LangWineTest, AnsiFileIsReadInTheSystemCodePage) {
  // "Café" with é in the ANSI code page of this prefix (1252).
  WriteBytes(Addon(L"fr.lng"), "[Info]\r\nLNG_LANG=Fran\xE7" "ais\r\n[Main]\r\nTAB1=Caf\xE9\r\n");
  ASSERT_TRUE(LoadLanguageFile(system_, U16(Addon(L"fr.lng")), texts_));
  ASSERT_EQ(::GetACP(), 1252u) << "the values below assume the Western code page";
  EXPECT_EQ(texts_.Text(u"TAB1"), u"Café");
  EXPECT_EQ(system_.ReadProfileValue(U16(Addon(L"fr.lng")), u"Info", u"LNG_LANG", u""), u"Français");
}

TEST_F(LangWineTest, LongValuesAreReadWholeUpToTheLimitAndCutThere) {
  const std::string longer(10000, 'a');
  const std::string huge(kMaxValueChars + 5000, 'b');
  WriteBytes(Addon(L"long.lng"), "[Main]\r\nTAB1=" + longer + "end\r\nTAB2=" + huge + "\r\nTAB3=x\r\n");
  ASSERT_TRUE(LoadLanguageFile(system_, U16(Addon(L"long.lng")), texts_));
  EXPECT_EQ(texts_.Text(u"TAB1"), std::u16string(10000, u'a') + u"end");
  EXPECT_EQ(texts_.Text(u"TAB2"), std::u16string(kMaxValueChars, u'b'));
  EXPECT_EQ(texts_.Text(u"TAB3"), u"x");
}

TEST_F(LangWineTest, TheShippedEnglishFileGivesEveryEnglishDefault) {
  std::wstring shipped = std::wstring(L"Z:") + TUNELET_SHIPPED_ENGLISH;
  for (wchar_t& c : shipped)
    if (c == L'/') c = L'\\';
  ASSERT_TRUE(::CopyFileW(shipped.c_str(), Addon(L"English.lng").c_str(), FALSE));
  texts_.Replace(std::vector<std::u16string>(LanguageKeys().size(), u"stale"));
  ASSERT_TRUE(LoadLanguageFile(system_, U16(Addon(L"English.lng")), texts_));
  ExpectAllEnglish(texts_);
  const auto rows = ListLanguages(system_, U16(folder_ + L"addons\\"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].language, u"English");
}

TEST_F(LangWineTest, ListingUsesFullPathsAndLeavesTheCurrentDirectoryAlone) {
  WriteBytes(Addon(L"a.lng"), "[Info]\r\nLNG_LANG=A\r\n");
  WriteBytes(Addon(L"unnamed.lng"), "[Main]\r\nTAB1=x\r\n");
  WriteBytes(Addon(L"b.lngx"), "[Info]\r\nLNG_LANG=Not a language file\r\n");
  std::filesystem::create_directories(Addon(L"folder.lng"));
  wchar_t before[MAX_PATH] = {}, after[MAX_PATH] = {};
  ::SetCurrentDirectoryW(folder_.c_str());
  ::GetCurrentDirectoryW(MAX_PATH, before);
  const auto rows = ListLanguages(system_, U16(folder_ + L"addons\\"));
  ::GetCurrentDirectoryW(MAX_PATH, after);
  EXPECT_STREQ(before, after);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].language, u"A");
  EXPECT_EQ(rows[1].author, u"<...>");
  EXPECT_EQ(rows[1].path, U16(Addon(L"a.lng")));
  EXPECT_EQ(system_.Probe(U16(Addon(L"folder.lng"))), FileAccess::kMissing);
  ::SetCurrentDirectoryW(L"C:\\");  // so that the folder can go
}

TEST_F(LangWineTest, TheStoredNamePassesThroughTheAnsiCodePage) {
  EXPECT_EQ(system_.ThroughAnsiCodePage(u"English.lng"), u"English.lng");
  EXPECT_EQ(system_.ThroughAnsiCodePage(u"Café.lng"), u"Café.lng");
  EXPECT_NE(system_.ThroughAnsiCodePage(u"日本語.lng"), u"日本語.lng");
}

// A message box found by caption from another thread: what it showed, then
// closed with its OK button.
struct SeenBox {
  std::wstring text;
  HWND owner = nullptr;
  HICON icon = nullptr;
  bool found = false;
};

BOOL CALLBACK CollectStatics(HWND child, LPARAM lp) {
  auto* seen = reinterpret_cast<SeenBox*>(lp);
  wchar_t cls[32] = {};
  ::GetClassNameW(child, cls, 32);
  if (_wcsicmp(cls, L"Static") != 0) return TRUE;
  if (::GetWindowLongW(child, GWL_STYLE) & SS_ICON) {
    seen->icon = HICON(::SendMessageW(child, STM_GETICON, 0, 0));
  } else {
    wchar_t text[512] = {};
    ::GetWindowTextW(child, text, 512);
    if (wcslen(text) > seen->text.size()) seen->text = text;
  }
  return TRUE;
}

class BoxCloser {
 public:
  BoxCloser()
      : thread_([this] {
          for (int i = 0; i < 500 && !seen_.found; ++i) {
            const HWND box = ::FindWindowW(L"#32770", kMessageCaption);
            if (box && ::IsWindowVisible(box)) {
              seen_.owner = ::GetWindow(box, GW_OWNER);
              ::EnumChildWindows(box, CollectStatics, LPARAM(&seen_));
              seen_.found = true;
              ::PostMessageW(box, WM_COMMAND, IDOK, 0);
              return;
            }
            ::Sleep(10);
          }
        }) {}
  const SeenBox& Wait() {
    thread_.join();
    return seen_;
  }
  ~BoxCloser() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  SeenBox seen_;
  std::thread thread_;
};

// Held open with no sharing: the file is there but cannot be read.
UniqueHandle<FileHandleTraits> Lock(const std::wstring& path) {
  return UniqueHandle<FileHandleTraits>(
      ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

TEST_F(LangWineTest, AConfiguredFileThatCannotBeReadShowsTheErrorBox) {
  WriteBytes(Addon(L"locked.lng"), "[Info]\r\nLNG_LANG=Locked\r\n");
  const auto lock = Lock(Addon(L"locked.lng"));
  ASSERT_TRUE(lock);
  EXPECT_EQ(system_.Probe(U16(Addon(L"locked.lng"))), FileAccess::kUnreadable);
  ini_.Write(u"Others", u"Langfile", u"locked.lng");
  Settings().UseLanguageFile = true;
  BoxCloser closer;
  EXPECT_FALSE(LoadConfiguredLanguage(system_, ini_, texts_));
  const SeenBox& box = closer.Wait();
  ASSERT_TRUE(box.found);
  EXPECT_EQ(box.text, L"Error loading " + Addon(L"locked.lng"));
  EXPECT_EQ(box.owner, nullptr);
  // MB_TOPMOST is asked for, but Wine 8 does not raise message boxes above
  // other windows (docs/wine-notes.md), so box.topmost is not checked here.
  EXPECT_EQ(box.icon, ::LoadIconW(nullptr, IDI_WARNING));
  EXPECT_FALSE(Settings().UseLanguageFile);
}

TEST_F(LangWineTest, AMissingConfiguredFileIsQuiet) {
  ini_.Write(u"Others", u"Langfile", u"gone.lng");
  Settings().UseLanguageFile = true;
  EXPECT_FALSE(LoadConfiguredLanguage(system_, ini_, texts_));
  EXPECT_EQ(::FindWindowW(L"#32770", kMessageCaption), nullptr);
}

class LanguageDialogWineTest : public LangWineTest {
 protected:
  HWND Dialog() const { return language_.DialogWindow(); }
  HWND List() const { return ::GetDlgItem(Dialog(), LanguageDialog::kListId); }
  HWND Apply() const { return ::GetDlgItem(Dialog(), LanguageDialog::kApplyId); }
  std::wstring Cell(int row, int column) const {
    wchar_t text[256] = {};
    ListView_GetItemText(List(), row, column, text, 256);
    return text;
  }
  void Select(int row) {
    ListView_SetItemState(List(), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }
  void ClickApply() {
    ::SendMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(LanguageDialog::kApplyId, BN_CLICKED), LPARAM(Apply()));
  }

  CountingUi ui_;
  Win32Language language_{ini_, texts_, ui_};
};

TEST_F(LanguageDialogWineTest, ShowsTheBuiltInRowThenEveryNamedFile) {
  WriteBytes(Addon(L"de.lng"), "[Info]\r\nLNG_LANG=Deutsch\r\nLNG_AUTHOR=Anna\r\nLNG_INFO=v2\r\n");
  WriteBytes(Addon(L"noname.lng"), "[Main]\r\nTAB1=x\r\n");
  language_.ShowLanguageDialog();
  const HWND dlg = Dialog();
  ASSERT_NE(dlg, nullptr);
  EXPECT_TRUE(::IsWindowVisible(dlg));
  wchar_t caption[64] = {};
  ::GetWindowTextW(dlg, caption, 64);
  EXPECT_STREQ(caption, L"Tunelet Plugin Localization");
  EXPECT_TRUE(::GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  RECT r{};
  ::GetWindowRect(dlg, &r);
  EXPECT_EQ(r.right - r.left, 415);
  EXPECT_EQ(r.bottom - r.top, 196);
  EXPECT_EQ(r.left, (::GetSystemMetrics(SM_CXSCREEN) - 415) / 2);
  EXPECT_EQ(r.top, (::GetSystemMetrics(SM_CYSCREEN) - 196) / 2);

  const LONG listStyle = ::GetWindowLongW(List(), GWL_STYLE);
  EXPECT_EQ(listStyle & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_TRUE(listStyle & LVS_NOSORTHEADER);
  EXPECT_FALSE(listStyle & LVS_EDITLABELS);
  const DWORD ex = ListView_GetExtendedListViewStyle(List());
  EXPECT_TRUE((ex & LVS_EX_FULLROWSELECT) && (ex & LVS_EX_GRIDLINES));
  EXPECT_EQ(ListView_GetColumnWidth(List(), 0), 120);
  EXPECT_EQ(ListView_GetColumnWidth(List(), 1), 125);
  EXPECT_EQ(ListView_GetColumnWidth(List(), 2), 140);

  ASSERT_EQ(ListView_GetItemCount(List()), 2);
  EXPECT_EQ(Cell(0, 0), L"Русский (RU)");
  EXPECT_EQ(Cell(0, 1), L"ORB2000");
  EXPECT_EQ(Cell(0, 2), L"Build-In");
  EXPECT_EQ(Cell(1, 0), L"Deutsch");
  EXPECT_EQ(Cell(1, 1), L"Anna");
  EXPECT_EQ(Cell(1, 2), L"v2");

  wchar_t version[32] = {};
  ::GetDlgItemTextW(dlg, LanguageDialog::kVersionId, version, 32);
  EXPECT_STREQ(version, L"3.0.1.0");

  // Showing again brings up the same window.
  language_.ShowLanguageDialog();
  EXPECT_EQ(Dialog(), dlg);
  language_.CloseLanguageDialog();
  EXPECT_FALSE(::IsWindow(dlg));
  EXPECT_EQ(Dialog(), nullptr);
}

TEST_F(LanguageDialogWineTest, ApplyFollowsTheSelectionAndTakesEachKindOfRow) {
  WriteUtf16(Addon(L"en.lng"), u"[Info]\r\nLNG_LANG=English\r\n[Main]\r\nTAB3=Status!\r\n");
  Settings().Firstrun = true;
  language_.ShowLanguageDialog();
  EXPECT_FALSE(::IsWindowEnabled(Apply()));
  Select(1);
  EXPECT_TRUE(::IsWindowEnabled(Apply()));
  ListView_SetItemState(List(), 1, 0, LVIS_SELECTED);
  EXPECT_FALSE(::IsWindowEnabled(Apply()));

  Select(1);
  ClickApply();
  EXPECT_EQ(Dialog(), nullptr);
  EXPECT_TRUE(Settings().UseLanguageFile);
  EXPECT_EQ(texts_.Text(u"TAB3"), u"Status!");
  EXPECT_EQ(ini_.values[u"Others/Langfile"], u"en.lng");
  EXPECT_EQ(ini_.values[u"Others/Firstrun"], u"0");
  EXPECT_EQ(ui_.optionsRefreshed, 1);

  language_.ShowLanguageDialog();
  Select(0);
  ClickApply();
  EXPECT_EQ(Dialog(), nullptr);
  EXPECT_FALSE(Settings().UseLanguageFile);
  EXPECT_EQ(ini_.values[u"Others/Langfile"], u"");
  EXPECT_EQ(ui_.optionsRefreshed, 1);  // the options dialog keeps its texts until reopened
}

// The host's own message loop knows nothing of the dialog; Escape still
// closes it.
TEST_F(LanguageDialogWineTest, EscapeThroughAnOrdinaryMessageLoopClosesTheDialog) {
  language_.ShowLanguageDialog();
  ASSERT_NE(Dialog(), nullptr);
  ::PostMessageW(List(), WM_KEYDOWN, VK_ESCAPE, 1);
  for (int i = 0; i < 200 && Dialog(); ++i) {
    MSG m;
    while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&m);
      ::DispatchMessageW(&m);
    }
    if (Dialog()) ::Sleep(10);
  }
  EXPECT_EQ(Dialog(), nullptr);
}

TEST_F(LanguageDialogWineTest, AFileThatCannotBeReadIsReportedAndTheDialogStays) {
  WriteBytes(Addon(L"locked.lng"), "[Info]\r\nLNG_LANG=Locked\r\n");
  language_.ShowLanguageDialog();
  const auto lock = Lock(Addon(L"locked.lng"));
  Settings().UseLanguageFile = true;
  Select(1);
  BoxCloser closer;
  ClickApply();
  const SeenBox& box = closer.Wait();
  ASSERT_TRUE(box.found);
  EXPECT_EQ(box.text, L"Error loading " + Addon(L"locked.lng"));
  EXPECT_EQ(box.owner, Dialog());
  EXPECT_EQ(box.icon, ::LoadIconW(nullptr, IDI_INFORMATION));
  EXPECT_NE(Dialog(), nullptr);
  EXPECT_FALSE(Settings().UseLanguageFile);
  EXPECT_TRUE(ini_.values.empty());
  language_.CloseLanguageDialog();
}

}  // namespace
