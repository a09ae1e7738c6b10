// The options dialog of the real Tunelet.dll in the simulated host, worked as
// a user works it: the host's "options" request opens it, talkeo-sim's steps
// pick its tabs, tick, type, choose and press, read what its controls show
// and answer its message boxes; the host's record, the INI file, hotkeys.dat
// and the X-status tell what a save did. A simulated Winamp plays where the
// next poll matters.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>
#include <optional>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "fake_player_client.h"
#include "gui_objects.h"
#include "host_test_support.h"
#include "platform/win32/unique_handle.h"
#include "plugin_windows.h"
#include "script.h"
#include "sim_host.h"
#include "model/player_table.h"
#include "ui/options_controls.h"
#include "ui/options_texts.h"

namespace {

using host_test::PluginCopy;
using talkeo_sim::FindDialogControl;
using talkeo_sim::FindOptionsDialog;
using talkeo_sim::HookTrace;
using talkeo_sim::MessageBoxView;
using talkeo_sim::MessageBoxWatch;
using talkeo_sim::SimHost;
using talkeo_sim::WindowText;
using talkeo_sim::WindowView;
using talkeo_sim::WindowWatch;
using tunelet::testing::FakePlayer;
using namespace tunelet;

constexpr uint32_t kPublishMs = 900;
constexpr uint32_t kMarginMs = 2500;  // a busy machine
constexpr uint32_t kBoxBoundMs = 5000;
constexpr int kDialogWidth = 444, kDialogHeight = 361;
const wchar_t kPopupClass[] = L"Tpopform";

std::string Utf8(const std::wstring& w) { return talkeo_sim::ToUtf8(w); }

std::wstring Bstr(BSTR b) { return host_test::Bstr(b); }

// A window of the host's in front, as the user's chat window would be.
tunelet::win32::UniqueWindow ChatInFront() {
  tunelet::win32::UniqueWindow chat(::CreateWindowExW(0, L"STATIC", L"chat", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                                                      10, 300, 200, nullptr, nullptr, nullptr, nullptr));
  ::SetForegroundWindow(chat.get());
  return chat;
}

class OptionsDialog : public ::testing::Test {
 protected:
  void SetUp() override { copy_.WriteQuietIni(); }
  void TearDown() override {
    player_.reset();
    host_.Unload();
  }

  // The plug-in switched on, its record written before; its hooks counted.
  void Load() {
    std::string error;
    ASSERT_TRUE(host_.Load(copy_.Dll(), &error)) << error;
    HookTrace::Trace(host_.Module());
    host_.Record().Initialised = 1;
    host_.Record().PluginOn = 1;
  }
  void Start() {
    if (!host_.Module()) {
      ASSERT_NO_FATAL_FAILURE(Load());
    }
    ASSERT_TRUE(host_.Start());
    watch_.Watch();
  }

  void Steps(const std::string& script) { host_test::RunSimSteps(host_, script); }

  HWND Dialog() const { return FindOptionsDialog(host_.Module()); }
  HWND Control(int id) const { return FindDialogControl(Dialog(), id); }
  int DialogWindows() const {
    int n = 0;
    for (const WindowView& w : talkeo_sim::ListPluginWindows(host_.Module()))
      n += FindDialogControl(w.hwnd, kIdMainPageControl) != nullptr;
    return n;
  }
  bool PumpUntil(const std::function<bool()>& done, uint32_t boundMs) {
    return host_test::PumpUntil(host_, done, boundMs);
  }
  std::optional<MessageBoxView> AnswerBox(MessageBoxWatch& boxes, int ticket) {
    return boxes.Wait(ticket, [&](uint32_t ms) { host_.Pump(ms); }, kBoxBoundMs);
  }

  // Winamp playing a tagged file by "Исполнитель" called "Песня".
  void PlayOnWinamp() {
    player_.emplace(L"WINAMP.EXE");
    ASSERT_TRUE(player_->ready());
    const std::wstring song = copy_.Folder() + L"\\song.mp3";
    host_test::WriteTaggedMp3(song, L"Исполнитель", L"Песня");
    ASSERT_EQ(player_->Run("window main \"Winamp v1.x\" \"Winamp\"\n"
                           "answer main 1024 0 104 1\n"
                           "answer main 1024 0 125 0"),
              0);
    ASSERT_NE(player_->Run("playlist 0 \"" + Utf8(song) + "\""), FakePlayer::kFailed);
  }

  std::wstring IniText(const wchar_t* section, const wchar_t* key) const {
    wchar_t buf[256] = {};
    ::GetPrivateProfileStringW(section, key, L"(missing)", buf, 256, copy_.Ini().c_str());
    return buf;
  }

  PluginCopy copy_;
  SimHost host_;
  WindowWatch watch_{host_};
  std::optional<FakePlayer> player_;
};

TEST_F(OptionsDialog, OpensOnceCentredAndASecondRequestBringsTheSameWindowToTheFront) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const auto chat = ChatInFront();
  host_.OpenOptions();
  const HWND dialog = Dialog();
  ASSERT_TRUE(dialog) << "no visible Tmainform after MSG_OPEN_OPTIONS";
  EXPECT_EQ(WindowText(dialog), L"Tunelet - Настройки");
  RECT client{}, outer{};
  ::GetClientRect(dialog, &client);
  ::GetWindowRect(dialog, &outer);
  EXPECT_EQ(client.right, kDialogWidth);
  EXPECT_EQ(client.bottom, kDialogHeight);
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN), screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  EXPECT_LE(std::abs((outer.left + outer.right) / 2 - screenWidth / 2), 1);
  EXPECT_LE(std::abs((outer.top + outer.bottom) / 2 - screenHeight / 2), 1);
  EXPECT_EQ(::GetForegroundWindow(), dialog);

  ::SetForegroundWindow(chat.get());
  ASSERT_EQ(::GetForegroundWindow(), chat.get());
  host_.OpenOptions();
  host_.Pump(50);
  EXPECT_EQ(Dialog(), dialog);
  EXPECT_EQ(DialogWindows(), 1);
  EXPECT_EQ(::GetForegroundWindow(), dialog);
}

// Every setting the dialog shows, each away from its default.
TEST_F(OptionsDialog, ShowsWhatTheIniAndTheHostsRecordHold) {
  for (const auto& [section, key, value] : std::vector<std::tuple<const wchar_t*, const wchar_t*, const wchar_t*>>{
           {L"Main", L"Action", L"11"},          {L"Main", L"Refreshinterval", L"7000"},
           {L"Main", L"Getfromname", L"0"},      {L"Main", L"Updateonstartup", L"0"},
           {L"Main", L"Xstat_a", L"5"},          {L"Main", L"Xstat_v", L"30"},
           {L"Main", L"a_u", L"1"},              {L"Popup", L"Alwaysontop", L"0"},
           {L"Popup", L"Shadow", L"0"},          {L"Popup", L"Smooth", L"1"},
           {L"Popup", L"Transp", L"100"},        {L"Popup", L"Delay", L"9"},
           {L"Others", L"OLEfoobar", L"1"},      {L"Others", L"Returnonpause", L"1"},
           {L"Others", L"Directpaste", L"1"},    {L"Others", L"Show_tlc", L"1"},
           {L"Others", L"Hide_tlc", L"0"}})
    copy_.WriteIni(section, key, value);
  ASSERT_NO_FATAL_FAILURE(Load());
  ASSERT_NO_FATAL_FAILURE(Steps("hostkept KeepXStatusName 1; hostkept ManualPlayer 1; hostkept IgnoreVideo 1\n"
        "hostkept PopupsOn 0; hostkept PlayerId 13\n"
        "hostkept AudioTitleTemplate \"Аудио:\"; hostkept AudioTextTemplate \"{{%album%=[%album%] }}%title%\"\n"
        "hostkept VideoTitleTemplate \"Видео:\"; hostkept VideoTextTemplate \"Кино %title%\"\n"
        "hostkept PasteTemplate \"сейчас %artist%\"\n"));
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Steps("options\n"
        "expect-control chbox_on checked\n"
        "tab 0\n"
        "expect-control rb_manual checked; expect-control rb_auto unchecked\n"
        "expect-control rb_jetaudio checked; expect-control rb_winamp unchecked\n"
        "expect-control rb_jetaudio enabled\n"
        "tab 1\n"
        "expect-control rb_frommusic checked; expect-control rb_fromany unchecked\n"
        "expect-control rb_toother unchecked; expect-control rb_plusany unchecked\n"
        "expect-control e_interval text \"7\"\n"
        "expect-control combox_xstat_a selected 4; expect-control combox_xstat_v selected 29\n"
        "tab 2\n"
        "expect-control e_xstat_name_a text \"Аудио:\"\n"
        "expect-control e_xstat_text_a text \"{{%album%=[%album%] }}%title%\"\n"
        "expect-control e_xstat_name_v text \"Видео:\"; expect-control e_xstat_text_v text \"Кино %title%\"\n"
        "expect-control chbox_onlytext checked\n"
        "tab 4\n"
        "expect-control popup_on unchecked\n"
        "expect-control chbox_ontop unchecked; expect-control chbox_shadow unchecked\n"
        "expect-control chbox_smooth checked\n"
        "expect-control transpbar selected 100\n"
        "expect-control UpDown2 selected 9; expect-control e_popupdelay text \"9\"\n"
        "expect-control chbox_ontop disabled; expect-control transpbar disabled\n"
        "tab 5\n"
        "expect-control chbox_olefoobar checked; expect-control chbox_videooff checked\n"
        "expect-control chbox_returnonpause checked; expect-control chbox_getfromname unchecked\n"
        "expect-control chbox_codepage selected 1\n"
        "expect-control text_pastetext text \"сейчас %artist%\"\n"
        "expect-control rb_direct checked; expect-control rb_overbuf unchecked\n"
        "tab 6\n"
        "expect-control chbox_tlc_on checked; expect-control chbox_hideiftop unchecked\n"
        "tab 7\n"
        "expect-control chbox_update unchecked\n"));
}

TEST_F(OptionsDialog, SaveStoresEverySettingWritesTheIniAndTheNextPollPublishesAgain) {
  ASSERT_NO_FATAL_FAILURE(Load());
  host_.Record().PopupsOn = 1;
  ASSERT_NO_FATAL_FAILURE(PlayOnWinamp());
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_TRUE(PumpUntil([&] { return host_.Shown().picture == 11; }, 3000 + kPublishMs + kMarginMs))
      << "the track was not published before the dialog";

  ASSERT_NO_FATAL_FAILURE(Steps("options\n"
        "tab 0; control rb_manual check; control rb_winamp check\n"
        "tab 1; control combox_xstat_a select 4; control combox_xstat_v select 29\n"
        "control e_interval text \"4\"\n"
        "tab 2\n"
        "control e_xstat_name_a text \"Аудио:\"\n"
        "control e_xstat_text_a text \"{{%album%=[%album%] }}%artist% — %title%\"\n"
        "control xstatPageControl select 1\n"
        "control e_xstat_name_v text \"Видео:\"; control e_xstat_text_v text \"кино %title%\"\n"
        "control chbox_onlytext check\n"
        "tab 4\n"
        "control chbox_ontop uncheck; control chbox_shadow uncheck; control chbox_smooth check\n"
        "control transpbar select 120; control UpDown2 select 12\n"
        "expect-control e_popupdelay text \"12\"\n"
        "control popup_on uncheck\n"
        "tab 5\n"
        "control chbox_olefoobar check; control chbox_videooff check; control chbox_returnonpause check\n"
        "control chbox_getfromname uncheck; control chbox_codepage select 1\n"
        "control text_pastetext text \"слушаю %title%\"; control rb_direct check\n"
        "tab 6; control chbox_hideiftop uncheck\n"
        "tab 7; control chbox_update check\n"
        "control bt_save click\n"));
  EXPECT_TRUE(PumpUntil([&] { return !Dialog(); }, 2000)) << "the dialog stays after a save";

  const auto& r = host_.Record();
  EXPECT_EQ(r.PluginOn, 1);
  EXPECT_EQ(r.KeepXStatusName, 1);
  EXPECT_EQ(r.ManualPlayer, 1);
  EXPECT_EQ(r.IgnoreVideo, 1);
  EXPECT_EQ(r.PopupsOn, 0);
  EXPECT_EQ(r.PlayerId, 8u);
  EXPECT_EQ(Bstr(r.AudioTitleTemplate), L"Аудио:");
  EXPECT_EQ(Bstr(r.AudioTextTemplate), L"{{%album%=[%album%] }}%artist% — %title%");
  EXPECT_EQ(Bstr(r.VideoTitleTemplate), L"Видео:");
  EXPECT_EQ(Bstr(r.VideoTextTemplate), L"кино %title%");
  EXPECT_EQ(Bstr(r.PasteTemplate), L"слушаю %title%");
  const struct {
    const wchar_t *section, *key, *value;
  } ini[] = {{L"Main", L"Action", L"21"},       {L"Main", L"Refreshinterval", L"4000"},
             {L"Main", L"Getfromname", L"0"},   {L"Main", L"Updateonstartup", L"1"},
             {L"Main", L"Xstat_a", L"5"},       {L"Main", L"Xstat_v", L"30"},
             {L"Main", L"a_u", L"1"},           {L"Main", L"OLEfoobar", L"1"},
             {L"Popup", L"Alwaysontop", L"0"},  {L"Popup", L"Shadow", L"0"},
             {L"Popup", L"Smooth", L"1"},       {L"Popup", L"Transp", L"120"},
             {L"Popup", L"Delay", L"12"},       {L"Others", L"OLEfoobar", L"1"},
             {L"Others", L"Returnonpause", L"1"}, {L"Others", L"Directpaste", L"1"},
             {L"Others", L"Show_tlc", L"0"},    {L"Others", L"Hide_tlc", L"0"}};
  for (const auto& k : ini) EXPECT_EQ(IniText(k.section, k.key), k.value) << Utf8(k.section) << "/" << Utf8(k.key);

  // The same track again, with the new settings, at the next poll.
  EXPECT_TRUE(PumpUntil(
      [&] { return host_.Shown().picture == 5 && host_.Shown().text == L"Исполнитель — Песня"; },
      4000 + kPublishMs + kMarginMs))
      << talkeo_sim::DescribeXStatus(host_.Shown());

  // The mode buttons each store their Action.
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 1; control rb_plusany check; control bt_save press\n"));
  EXPECT_EQ(IniText(L"Main", L"Action"), L"31");
}

// The slider stops at 250 and the interval field shows whole seconds: a save
// that touched neither writes back what the INI held.
TEST_F(OptionsDialog, ASaveWritesBackTheOpacityAndIntervalTheUserDidNotTouch) {
  copy_.WriteIni(L"Popup", L"Transp", L"255");
  copy_.WriteIni(L"Main", L"Refreshinterval", L"7500");
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Steps("options\n"
        "tab 1; expect-control e_interval text \"7\"\n"
        "tab 4; expect-control transpbar selected 250\n"
        "control bt_save click\n"));
  ASSERT_TRUE(PumpUntil([&] { return !Dialog(); }, 2000));
  EXPECT_EQ(IniText(L"Popup", L"Transp"), L"255");
  EXPECT_EQ(IniText(L"Main", L"Refreshinterval"), L"7500");

  // Moved by the user, they are stored as the controls say.
  ASSERT_NO_FATAL_FAILURE(Steps("options\n"
        "tab 1; control e_interval text \"8\"\n"
        "tab 4; control popup_on check; control transpbar select 240\n"
        "control bt_save click\n"));
  ASSERT_TRUE(PumpUntil([&] { return !Dialog(); }, 2000));
  EXPECT_EQ(IniText(L"Popup", L"Transp"), L"240");
  EXPECT_EQ(IniText(L"Main", L"Refreshinterval"), L"8000");
}

TEST_F(OptionsDialog, ATemplateWithAnErrorBlocksTheSaveWithTheCheckersMessageAndStoresNothing) {
  ASSERT_NO_FATAL_FAILURE(Load());
  ASSERT_NO_FATAL_FAILURE(Steps("hostkept AudioTextTemplate \"%title%\"; hostkept VideoTextTemplate \"%title%\"\n"));
  ASSERT_NO_FATAL_FAILURE(Start());
  host_.OpenOptions();
  const HWND dialog = Dialog();
  ASSERT_TRUE(dialog);
  for (const int field : {kIdEXstatTextA, kIdEXstatTextV}) {
    SCOPED_TRACE(field == kIdEXstatTextA ? "audio text" : "video text");
    const std::string name = field == kIdEXstatTextA ? "e_xstat_text_a" : "e_xstat_text_v";
    ASSERT_NO_FATAL_FAILURE(Steps("tab 1; control e_interval text \"9\"\ntab 2\ncontrol xstatPageControl select " +
                                  std::string(field == kIdEXstatTextA ? "0" : "1") + "\ncontrol " + name +
                                  " text \"{{%artist%=x\"\n"));
    MessageBoxWatch boxes;
    const int ticket = boxes.Expect(IDOK);
    std::string error;
    ASSERT_TRUE(talkeo_sim::ClickControl(Control(kIdBtSave), &error)) << error;
    const std::optional<MessageBoxView> box = AnswerBox(boxes, ticket);
    ASSERT_TRUE(box) << "no message box after Save";
    EXPECT_EQ(box->caption, L"Ошибка в условных блоках");
    EXPECT_EQ(box->text, L"Количество тэгов {{ несоответствует количеству тэгов }}");
    EXPECT_EQ(box->owner, dialog);
    EXPECT_EQ(box->icon, ::LoadIconW(nullptr, IDI_WARNING));
    host_.Pump(50);
    EXPECT_EQ(Dialog(), dialog) << "the dialog closed";
    EXPECT_EQ(Bstr(host_.Record().AudioTextTemplate), L"%title%");
    EXPECT_EQ(Bstr(host_.Record().VideoTextTemplate), L"%title%");
    EXPECT_EQ(IniText(L"Main", L"Refreshinterval"), L"3000");
    ASSERT_NO_FATAL_FAILURE(Steps("control " + name + " text \"%title%\"\n"));
    EXPECT_TRUE(boxes.TakeUnexpected().empty());
  }
  // Both sound again: the save goes through.
  ASSERT_NO_FATAL_FAILURE(Steps("control bt_save press\n"));
  EXPECT_FALSE(Dialog());
  EXPECT_EQ(IniText(L"Main", L"Refreshinterval"), L"9000");
}

TEST_F(OptionsDialog, CancelAndEscapeCloseWithoutSavingButTheControlWindowTickStays) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 2\n"
        "control e_xstat_name_a text \"не сохранять\"\n"
        "tab 6; control chbox_tlc_on check\n"
        "control bt_close click\n"));
  EXPECT_TRUE(PumpUntil([&] { return !Dialog(); }, 2000)) << "Cancel did not close the dialog";
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 2\n"
        "expect-control e_xstat_name_a text \"Слушаю:\"\n"
        "control e_xstat_name_a text \"и это тоже\"\n"
        "control e_xstat_name_a key Escape\n"));
  EXPECT_TRUE(PumpUntil([&] { return !Dialog(); }, 2000)) << "Escape did not close the dialog";
  host_.Shutdown();
  EXPECT_EQ(Bstr(host_.Record().AudioTitleTemplate), L"Слушаю:");
  EXPECT_EQ(IniText(L"Others", L"Show_tlc"), L"1") << "the tick acts at once";
}

TEST_F(OptionsDialog, ASaveWithThePluginSwitchedOffShowsTheOffPopupAtTheNextTick) {
  ASSERT_NO_FATAL_FAILURE(Load());
  host_.Record().PopupsOn = 1;
  ASSERT_NO_FATAL_FAILURE(Start());
  host_.Pump(200);
  ASSERT_NO_FATAL_FAILURE(Steps("options; control chbox_on uncheck; control bt_save click\n"));
  const std::optional<WindowView> popup = watch_.WaitFor(kPopupClass, true, 3000 + kMarginMs);
  ASSERT_TRUE(popup) << "no popup after the save";
  EXPECT_EQ(host_.Record().PluginOn, 0);
  bool off = false;
  for (const auto& t : popup->texts) off |= t.find(L"Плагин неактивен (OFF)") != std::wstring::npos;
  EXPECT_TRUE(off) << talkeo_sim::DescribeWindow(*popup);
}

TEST_F(OptionsDialog, ThePictureListsFollowModeTwentyOneAndThePlayerButtonsFollowManual) {
  ASSERT_NO_FATAL_FAILURE(Load());
  ASSERT_NO_FATAL_FAILURE(Steps("hostkept PlayerId 8\n"));
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 1\n"
        "expect-control rb_fromany checked\n"
        "expect-control combox_xstat_a enabled; expect-control combox_xstat_v enabled\n"
        "control rb_toother check\n"
        "expect-control combox_xstat_a disabled; expect-control combox_xstat_v disabled\n"
        "expect-control lb_foraudio disabled; expect-control lb_forvideo disabled\n"
        "control rb_fromany check\n"
        "expect-control combox_xstat_a enabled; expect-control combox_xstat_v enabled\n"
        "expect-control lb_foraudio enabled; expect-control lb_forvideo enabled\n"
        "tab 0\n"
        "expect-control rb_auto checked; expect-control rb_winamp disabled; expect-control rb_winamp checked\n"
        "control rb_manual check; expect-control rb_winamp enabled\n"
        "control rb_auto check; expect-control rb_winamp disabled\n"));
}

// Whether the button's caption, broken at spaces when the button takes more
// than one line, fits beside its round box (Wine draws it 13 pixels wide, the
// text 4 after it and the focus frame around the text) in the part of the
// button its box leaves visible.
bool CaptionFits(HWND button) {
  constexpr int kRadioBoxRoom = 20;
  const std::wstring text = WindowText(button);
  RECT shown{}, box{};
  ::GetWindowRect(button, &shown);
  const HWND parent = ::GetParent(button);
  ::GetClientRect(parent, &box);
  ::MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&box), 2);
  shown.right = std::min(shown.right, box.right);
  const int room = shown.right - shown.left - kRadioBoxRoom;
  const bool multiline = ::GetWindowLongPtrW(button, GWL_STYLE) & BS_MULTILINE;
  RECT need{0, 0, room, 0};
  const HDC dc = ::GetDC(button);
  const HGDIOBJ old = ::SelectObject(dc, HFONT(::SendMessageW(button, WM_GETFONT, 0, 0)));
  ::DrawTextW(dc, text.c_str(), int(text.size()), &need, DT_CALCRECT | (multiline ? DT_WORDBREAK : DT_SINGLELINE));
  ::SelectObject(dc, old);
  ::ReleaseDC(button, dc);
  return need.right <= room && need.bottom <= shown.bottom - shown.top;
}

// The media session's tile ends the right column, below the box's fold: the
// user scrolls down with the scroll bar and clicks its button. The host's
// record keeps the table's row an older version understands.
TEST_F(OptionsDialog, AClickChoosesTheMediaSessionWhichTheNextStartShowsChecked) {
  ASSERT_NO_FATAL_FAILURE(Load());
  ASSERT_NO_FATAL_FAILURE(Steps("hostkept PlayerId 8\n"));
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 0\n"
        "expect-control rb_media_session disabled\n"
        "control rb_manual click\n"
        "expect-control rb_media_session enabled; expect-control rb_winamp checked\n"));
  // Two clicks on the scroll bar's track just above its lower arrow: a page
  // down each.
  RECT box{};
  ::GetWindowRect(Control(kIdPlayerBox), &box);
  const POINT track{box.right - ::GetSystemMetrics(SM_CXVSCROLL) / 2,
                    box.bottom - ::GetSystemMetrics(SM_CYVSCROLL) - 4};
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(talkeo_sim::ClickAt(track, talkeo_sim::MouseButton::Left));
    host_.Pump(100);
  }
  for (int player = 0; player <= tunelet::kMediaSession; ++player)
    if (const HWND button = Control(PlayerButtonId(player))) {
      EXPECT_TRUE(CaptionFits(button)) << Utf8(WindowText(button)) << " is cut";
    }
  ASSERT_NO_FATAL_FAILURE(Steps("control rb_media_session click\n"
        "expect-control rb_media_session checked; expect-control rb_winamp unchecked\n"
        "control bt_save click\n"));
  ASSERT_TRUE(PumpUntil([&] { return !Dialog(); }, 2000)) << "the dialog stays after a save";
  EXPECT_EQ(host_.Record().ManualPlayer, 1);
  EXPECT_EQ(host_.Record().PlayerId, 8u);
  EXPECT_EQ(IniText(L"Main", L"Mediasession"), L"1");

  host_.Unload();
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 0\n"
        "expect-control rb_manual checked\n"
        "expect-control rb_media_session checked; expect-control rb_winamp unchecked\n"
        "control rb_auto click; control bt_save click\n"));
  ASSERT_TRUE(PumpUntil([&] { return !Dialog(); }, 2000)) << "the dialog stays after a save";
  EXPECT_EQ(IniText(L"Main", L"Mediasession"), L"0");
  EXPECT_EQ(host_.Record().PlayerId, 8u);
}

TEST_F(OptionsDialog, TheTextFieldsStopAt500And510CharactersAndEnterInTheAudioTextBreaksTheLine) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const std::string many(600, 'x');
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 2\n"
        "control xstatPageControl select 1\n"
        "control e_xstat_text_v text \"" + many + "\"\n"
        "expect-control e_xstat_text_v length 500\n"
        "control xstatPageControl select 0\n"
        "control e_xstat_text_a text \"" + many + "\"\n"
        "expect-control e_xstat_text_a length 510\n"
        "control e_xstat_name_a text \"" + many + "\"\n"
        "expect-control e_xstat_name_a length 20\n"
        "control e_xstat_text_a text \"ab\"\n"
        "control e_xstat_text_a key Return\n"
        "expect-control e_xstat_text_a text \"ab\\r\\n\"\n"));
  EXPECT_TRUE(Dialog()) << "Enter in the audio text closed the dialog";
  EXPECT_EQ(host_.Record().AudioTextTemplate, nullptr) << "Enter saved";
}

TEST_F(OptionsDialog, AltQIsRefusedForThePasteActionAndCtrlF12Accepted) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 3\n"
        "control HotKeyList select 4\n"
        "control HotKey1 key Alt+Q\n"
        "control bt_reghotkey click\n"
        "messagebox expect \"Непопустимое значение! Возможно только Ctrl + F1...F12\" answer ok\n"
        "expect-control HotKeyList cell 4 1 \"\"\n"
        "control HotKeyList select 4\n"
        "control HotKey1 key Ctrl+F12\n"
        "control bt_reghotkey click\n"
        "expect-control HotKeyList cell 4 1 \"Ctrl+F12\"\n"));
  std::ifstream in(std::filesystem::path(copy_.Folder() + L"\\hotkeys.dat"), std::ios::binary);
  std::string slots((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GE(slots.size(), 155u);
  EXPECT_EQ(slots.substr(4 * 31, 1 + 8), std::string("\x08") + "Ctrl+F12") << "slot of action 4";
}

// The sixth action, pausing sharing: its row shows with the other five
// without a scroll bar, its caption fits its column, and it takes a
// combination into the sixth slot of hotkeys.dat.
TEST_F(OptionsDialog, TheSixthHotKeyRowShowsWithoutScrollingAndTakesACombination) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 3\n"
        "expect-control HotKeyList item 5 \"Приостановить трансляцию на 1 час\"\n"));
  const HWND list = Control(kIdHotKeyList);
  ASSERT_EQ(ListView_GetItemCount(list), 6);
  EXPECT_FALSE(::GetWindowLongW(list, GWL_STYLE) & WS_VSCROLL) << "a scroll bar";
  EXPECT_GE(ListView_GetCountPerPage(list), 6);
  RECT inside{}, last{};
  ::GetClientRect(list, &inside);
  ASSERT_TRUE(ListView_GetItemRect(list, 5, &last, LVIR_BOUNDS));
  EXPECT_LE(last.bottom, inside.bottom) << "the sixth row is cut";
  constexpr int kCellMargins = 12;
  EXPECT_LE(ListView_GetStringWidth(list, L"Приостановить трансляцию на 1 час") + kCellMargins,
            ListView_GetColumnWidth(list, 0));
  ASSERT_NO_FATAL_FAILURE(Steps("control HotKeyList select 5\n"
        "control HotKey1 key Ctrl+Alt+P\n"
        "control bt_reghotkey click\n"
        "expect-control HotKeyList cell 5 1 \"Ctrl+Alt+P\"\n"));
  std::ifstream in(std::filesystem::path(copy_.Folder() + L"\\hotkeys.dat"), std::ios::binary);
  std::string slots((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(slots.size(), 186u);
  EXPECT_EQ(slots.substr(5 * 31, 1 + 10), std::string("\x0A") + "Ctrl+Alt+P") << "slot of action 5";
}

// Under Wine's layout F13 has no name: "Ctrl+" would name nothing at the next
// start. A binding another program holds is marked in its row.
TEST_F(OptionsDialog, ACombinationWithoutANameIsRefusedAndABindingTheSystemRefusedIsMarked) {
  constexpr int kOthersId = 0x7004;
  std::string slots(155, '\0');
  slots[1 * 31] = 7;
  slots.replace(1 * 31 + 1, 7, "Ctrl+F7");
  slots[2 * 31] = 13;
  slots.replace(2 * 31 + 1, 13, "Ctrl+Shift+F8");
  {
    std::ofstream out(std::filesystem::path(copy_.Folder() + L"\\hotkeys.dat"), std::ios::binary);
    out << slots;
  }
  ASSERT_TRUE(::RegisterHotKey(nullptr, kOthersId, MOD_CONTROL, VK_F7));
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 3\n"
        "expect-control HotKeyList cell 1 1 \"(не работает) Ctrl+F7\"\n"
        "expect-control HotKeyList cell 2 1 \"Ctrl+Shift+F8\"\n"
        "control HotKeyList select 3\n"
        "control HotKey1 key Ctrl+F13\n"
        "control bt_reghotkey click\n"
        "messagebox expect \"Это сочетание не сохранится: при следующем запуске его название не будет "
        "распознано. Выберите другое сочетание.\" answer ok\n"
        "expect-control HotKeyList cell 3 1 \"\"\n"));
  // The mark fits the column, whatever the combination's length.
  const HWND list = Control(kIdHotKeyList);
  constexpr int kCellPadding = 12;
  EXPECT_LE(ListView_GetStringWidth(list, L"(не работает) ") + kCellPadding, ListView_GetColumnWidth(list, 1));
  ::UnregisterHotKey(nullptr, kOthersId);
  EXPECT_TRUE(::RegisterHotKey(nullptr, kOthersId, MOD_CONTROL, VK_F13)) << "registered although refused";
  ::UnregisterHotKey(nullptr, kOthersId);
  std::ifstream in(std::filesystem::path(copy_.Folder() + L"\\hotkeys.dat"), std::ios::binary);
  std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The five slots as they were, and the sixth action's slot, empty, after them.
  EXPECT_EQ(after, slots + std::string(31, '\0'));
}

// Every caption (and hint) the language keys name, the tabs', the two
// template tabs', the code pages' and the window's, from a file whose every
// value is «KEY».
TEST_F(OptionsDialog, WithALanguageFileEveryCaptionOfTheTableIsTheFilesText) {
  std::vector<std::u16string> keys = {u"MFCAPTION", u"CP0", u"CP1", u"LB_FORAUDIO", u"LB_FORVIDEO"};
  for (const auto& t : OptionsControlTexts()) {
    if (!t.captionKey.empty()) keys.emplace_back(t.captionKey);
    if (!t.hintKey.empty() && t.hintKey != kClearedHint) keys.emplace_back(t.hintKey);
  }
  for (int tab = 1; tab <= 7; ++tab) keys.push_back(u"TAB" + std::u16string(1, char16_t(u'0' + tab)));
  keys.push_back(u"TAB9");
  std::u16string file = u"\xFEFF[Info]\r\nLNG_LANG=Test\r\n[Main]\r\n";
  for (const auto& k : keys) file += k + u"=«" + k + u"»\r\n";
  const std::wstring addons = copy_.Folder() + L"\\addons";
  ::CreateDirectoryW(addons.c_str(), nullptr);
  std::ofstream(std::filesystem::path(addons + L"\\test.lng"), std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size() * 2));
  copy_.WriteIni(L"Others", L"Langfile", L"test.lng");
  ASSERT_NO_FATAL_FAILURE(Load());
  host_.Record().UseLanguageFile = 1;
  ASSERT_NO_FATAL_FAILURE(Start());
  host_.OpenOptions();
  const HWND dialog = Dialog();
  ASSERT_TRUE(dialog);
  auto marked = [](std::u16string_view key) { return L"«" + std::wstring(key.begin(), key.end()) + L"»"; };
  EXPECT_EQ(WindowText(dialog), marked(u"MFCAPTION"));
  int checked = 0, captioned = 0;
  for (const auto& t : OptionsControlTexts()) {
    if (t.captionKey.empty() || t.control == kIdMenuN1) continue;  // a menu item, not a window
    ++captioned;
    const HWND c = Control(t.control);
    if (!c) {
      ADD_FAILURE() << "no control " << t.control;
      continue;
    }
    EXPECT_EQ(WindowText(c), marked(t.captionKey)) << "control " << t.control;
    ++checked;
  }
  EXPECT_EQ(checked, captioned);
  const HWND tabs = Control(kIdMainPageControl);
  for (int tab = 0; tab < 7; ++tab)
    EXPECT_EQ(talkeo_sim::ItemText(tabs, tab), marked(u"TAB" + std::u16string(1, char16_t(u'1' + tab))))
        << "tab " << tab;
  EXPECT_EQ(talkeo_sim::ItemText(tabs, 7), L"О плагине");
  EXPECT_EQ(talkeo_sim::ItemText(tabs, kPrivacyTab), marked(u"TAB9"));
  const HWND templateTabs = Control(kIdXstatPageControl);
  EXPECT_EQ(talkeo_sim::ItemText(templateTabs, 0), marked(u"LB_FORAUDIO"));
  EXPECT_EQ(talkeo_sim::ItemText(templateTabs, 1), marked(u"LB_FORVIDEO"));
  const HWND codepage = Control(kIdChboxCodepage);
  EXPECT_EQ(talkeo_sim::ItemText(codepage, 0), marked(u"CP0"));
  EXPECT_EQ(talkeo_sim::ItemText(codepage, 1), marked(u"CP1"));
}

// The privacy tab's list: a check box per row.
bool RowTicked(HWND list, int row) {
  return ListView_GetItemState(list, row, LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

// Every privacy choice goes through a save into the INI file, comes back
// after a restart of the plug-in, and shows again; Cancel keeps nothing; a
// number out of range is refused with a message and nothing is stored. The number
// fields take their largest values whole (a field too narrow for its digits
// refuses the last one).
TEST_F(OptionsDialog, ThePrivacyChoicesSurviveASaveAndARestartCancelKeepsNothingAndARangeIsChecked) {
  // Two applications remembered by an earlier run: a player and a browser.
  copy_.WriteIni(L"Privacy", L"Apps", L"2");
  copy_.WriteIni(L"Privacy", L"App1", L"Spotify.exe");
  copy_.WriteIni(L"Privacy", L"Appshared1", L"1");
  copy_.WriteIni(L"Privacy", L"App2", L"firefox.exe");
  copy_.WriteIni(L"Privacy", L"Appshared2", L"0");
  ASSERT_NO_FATAL_FAILURE(Start());
  constexpr int kWinampRow = 8, kSpotifyRow = 19, kFirefoxRow = 20;  // 19 players, then the apps
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 8\n"
        "expect-control PrivacyPlayerList item 0 \"Windows Media Player\"\n"
        "expect-control PrivacyPlayerList item 8 \"Winamp\"\n"
        "expect-control PrivacyPlayerList item 9 \"Foobar2000\"\n"
        "expect-control PrivacyPlayerList item 10 \"AIMP2\"\n"
        "expect-control PrivacyPlayerList item 19 \"Spotify (Spotify.exe)\"\n"
        "expect-control PrivacyPlayerList item 20 \"Firefox (firefox.exe) (браузер)\"\n"
        "expect-control EPauseLimit text \"0\"; expect-control ECalmInterval text \"0\"\n"));
  HWND list = Control(kIdPrivacyPlayerList);
  // Every control lies whole inside the page, whatever the tab rows leave it.
  RECT page{};
  ::GetClientRect(::GetParent(list), &page);
  ::MapWindowPoints(::GetParent(list), nullptr, reinterpret_cast<POINT*>(&page), 2);
  for (int id : {kIdLbPrivacyPlayers, kIdPrivacyPlayerList, kIdLbPrivacyExclusions, kIdEPrivacyExclusions,
                 kIdLbPrivacyPatternHint, kIdLbPauseLimit, kIdEPauseLimit, kIdLbCalmInterval, kIdECalmInterval}) {
    RECT r{};
    ::GetWindowRect(Control(id), &r);
    EXPECT_TRUE(r.left >= page.left && r.top >= page.top && r.right <= page.right && r.bottom <= page.bottom)
        << "control " << id << " leaves the page";
  }
  ASSERT_EQ(ListView_GetItemCount(list), 21);
  EXPECT_TRUE(RowTicked(list, kWinampRow));
  EXPECT_TRUE(RowTicked(list, kSpotifyRow));
  EXPECT_FALSE(RowTicked(list, kFirefoxRow));

  // The space bar flips the focused row's tick, as a click on its box does.
  ASSERT_NO_FATAL_FAILURE(Steps("control PrivacyPlayerList select 8; control PrivacyPlayerList key Space\n"
        "control PrivacyPlayerList select 19; control PrivacyPlayerList key Space\n"
        "control PrivacyPlayerList select 20; control PrivacyPlayerList key Space\n"
        "control EPrivacyExclusions text \"artist:*podcast*\\n  title:Intro \\n\\nplayer:foobar*\"\n"
        "control EPauseLimit text \"30\"; control ECalmInterval text \"120\"\n"
        "control bt_save click\n"));
  ASSERT_TRUE(PumpUntil([&] { return !Dialog(); }, 2000)) << "the dialog stays after a save";
  EXPECT_EQ(IniText(L"Privacy", L"Player8"), L"0");
  EXPECT_EQ(IniText(L"Privacy", L"Player9"), L"1");
  EXPECT_EQ(IniText(L"Privacy", L"Apps"), L"2");
  EXPECT_EQ(IniText(L"Privacy", L"App1"), L"Spotify.exe");
  EXPECT_EQ(IniText(L"Privacy", L"Appshared1"), L"0");
  EXPECT_EQ(IniText(L"Privacy", L"Appshared2"), L"1");
  EXPECT_EQ(IniText(L"Privacy", L"Exclusions"), L"3");
  EXPECT_EQ(IniText(L"Privacy", L"Exclusion1"), L"artist:*podcast*");
  EXPECT_EQ(IniText(L"Privacy", L"Exclusion2"), L"title:Intro");
  EXPECT_EQ(IniText(L"Privacy", L"Exclusion3"), L"player:foobar*");
  EXPECT_EQ(IniText(L"Privacy", L"Pauselimit"), L"30");
  EXPECT_EQ(IniText(L"Privacy", L"Calminterval"), L"120");

  // A restart of the plug-in reads them back into the dialog.
  host_.Unload();
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 8\n"
        "expect-control EPrivacyExclusions text \"artist:*podcast*\\r\\ntitle:Intro\\r\\nplayer:foobar*\"\n"
        "expect-control EPauseLimit text \"30\"; expect-control ECalmInterval text \"120\"\n"));
  list = Control(kIdPrivacyPlayerList);
  ASSERT_EQ(ListView_GetItemCount(list), 21);
  EXPECT_FALSE(RowTicked(list, kWinampRow));
  EXPECT_TRUE(RowTicked(list, kWinampRow + 1));
  EXPECT_FALSE(RowTicked(list, kSpotifyRow));
  EXPECT_TRUE(RowTicked(list, kFirefoxRow));

  // Cancel: the next opening shows the stored choices, the file keeps them.
  ASSERT_NO_FATAL_FAILURE(Steps("control PrivacyPlayerList select 8; control PrivacyPlayerList key Space\n"
        "control EPrivacyExclusions text \"\"; control EPauseLimit text \"5\"\n"
        "control bt_close click\n"));
  ASSERT_TRUE(PumpUntil([&] { return !Dialog(); }, 2000));
  ASSERT_NO_FATAL_FAILURE(Steps("options; tab 8\n"
        "expect-control EPauseLimit text \"30\"\n"
        "expect-control EPrivacyExclusions text \"artist:*podcast*\\r\\ntitle:Intro\\r\\nplayer:foobar*\"\n"));
  EXPECT_FALSE(RowTicked(Control(kIdPrivacyPlayerList), kWinampRow));
  EXPECT_EQ(IniText(L"Privacy", L"Player8"), L"0");

  // Out of range: the save is refused with the range, the dialog stays.
  ASSERT_NO_FATAL_FAILURE(Steps("control EPauseLimit text \"1441\"; control bt_save click\n"
        "messagebox expect \"Допустимые значения: от 0 до 1440\"\n"
        "control EPauseLimit text \"1440\"; control ECalmInterval text \"601\"; control bt_save click\n"
        "messagebox expect \"Допустимые значения: от 0 до 600\"\n"));
  EXPECT_TRUE(Dialog());
  EXPECT_EQ(IniText(L"Privacy", L"Pauselimit"), L"30");
  ASSERT_NO_FATAL_FAILURE(Steps("control ECalmInterval text \"600\"; control bt_save click\n"));
  ASSERT_TRUE(PumpUntil([&] { return !Dialog(); }, 2000));
  EXPECT_EQ(IniText(L"Privacy", L"Pauselimit"), L"1440");
  EXPECT_EQ(IniText(L"Privacy", L"Calminterval"), L"600");
}

// What the host's thread holds: GDI objects by type (the process's GDI
// handle table), the top-level and message-only windows of the thread and of
// the plug-in among them, and the hooks the plug-in set (HookTrace).
struct Held {
  std::array<int, 32> gdi{};
  int threadWindows = 0, pluginWindows = 0, hooks = 0;
};
BOOL CALLBACK CountThreadWindow(HWND, LPARAM n) {
  ++*reinterpret_cast<int*>(n);
  return TRUE;
}
Held CountHeld(HMODULE module) {
  Held h;
  h.gdi = gui_objects::CountGdiHandles();
  ::EnumThreadWindows(::GetCurrentThreadId(), CountThreadWindow, LPARAM(&h.threadWindows));
  h.pluginWindows = host_test::WindowsOfModuleOnThisThread(module);
  h.hooks = HookTrace::Live();
  return h;
}
std::string Describe(const Held& h) {
  std::string s = "windows " + std::to_string(h.threadWindows) + " (" + std::to_string(h.pluginWindows) +
                  " of the plug-in), hooks " + std::to_string(h.hooks) + ", GDI by type";
  for (size_t t = 0; t < h.gdi.size(); ++t)
    if (h.gdi[t]) s += " " + std::to_string(t) + ":" + std::to_string(h.gdi[t]);
  return s;
}

// Each cycle shows every tab and closes the dialog another way: Cancel,
// Escape, Save. The first cycle, not counted, lets the system make what it
// keeps for the process (cached DCs, the IME window).
TEST_F(OptionsDialog, TenOpenCloseCyclesLeaveNoWindowGdiObjectOrHookBehind) {
  const auto chat = ChatInFront();
  ASSERT_NO_FATAL_FAILURE(Start());
  auto cycle = [&](int n) {
    host_.OpenOptions();
    const HWND dialog = Dialog();
    if (!dialog) return false;
    for (int tab = 0; tab < kOptionsTabCount; ++tab) {
      talkeo_sim::SelectTab(Control(kIdMainPageControl), tab);
      host_.Pump(30);
    }
    std::string error;
    bool closing = false;
    if (n % 3 == 0) closing = talkeo_sim::PressButton(Control(kIdBtClose), &error);
    if (n % 3 == 1) {
      talkeo_sim::KeyCombo escape;
      closing = talkeo_sim::ParseKeyCombo(L"Escape", escape) &&
                talkeo_sim::PressKeys(Control(kIdChboxOn), escape, &error);
    }
    if (n % 3 == 2) closing = talkeo_sim::PressButton(Control(kIdBtSave), &error);
    EXPECT_TRUE(closing) << error;
    return PumpUntil([&] { return !::IsWindow(dialog); }, 3000);
  };
  ASSERT_TRUE(cycle(0)) << "the first dialog did not close";
  host_.Pump(100);
  const Held before = CountHeld(host_.Module());
  host_.OpenOptions();
  const Held open = CountHeld(host_.Module());
  talkeo_sim::PressButton(Control(kIdBtClose), nullptr);
  ASSERT_TRUE(PumpUntil([&] { return !Dialog(); }, 3000));
  const uint64_t started = ::GetTickCount64();
  for (int n = 1; n <= 10; ++n) ASSERT_TRUE(cycle(n)) << "cycle " << n;
  const uint64_t tookMs = ::GetTickCount64() - started;
  host_.Pump(100);
  const Held after = CountHeld(host_.Module());
  SCOPED_TRACE("before: " + Describe(before) + "\nopen:   " + Describe(open) + "\nafter:  " + Describe(after));
  EXPECT_GT(open.pluginWindows, before.pluginWindows);
  EXPECT_GT(open.hooks, before.hooks) << "the dialog's keyboard hook was not seen";
  EXPECT_EQ(after.threadWindows, before.threadWindows);
  EXPECT_EQ(after.pluginWindows, before.pluginWindows);
  EXPECT_EQ(after.hooks, before.hooks);
  EXPECT_EQ(after.gdi, before.gdi);
  std::printf("options dialog, 10 cycles in %llu ms\n  before %s\n  open   %s\n  after  %s\n",
              static_cast<unsigned long long>(tookMs), Describe(before).c_str(), Describe(open).c_str(),
              Describe(after).c_str());
}

}  // namespace
