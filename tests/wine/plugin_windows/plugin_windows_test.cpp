// The plug-in's own windows as a user meets them: the real Tunelet.dll in the
// simulated host, a simulated Winamp playing tagged files, and the host looking
// at the screen (talkeo-sim's window watch): where the popups appear, what they
// show, that they never take the focus, what real clicks do, what the control
// window's buttons send to the player, where it comes back after a restart,
// and that no GDI or USER object is left behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "fake_player_client.h"
#include "gui_objects.h"
#include "host_test_support.h"
#include "plugin_windows.h"
#include "sim_host.h"

namespace {

using gui_objects::CountGuiObjects;
using gui_objects::Describe;
using gui_objects::ExpectNothingLeftBehind;
using gui_objects::GuiObjects;
using host_test::PluginCopy;
using talkeo_sim::ClickAt;
using talkeo_sim::FindPluginWindow;
using talkeo_sim::ListPluginWindows;
using talkeo_sim::MouseButton;
using talkeo_sim::SimHost;
using talkeo_sim::WindowView;
using talkeo_sim::WindowWatch;
using tunelet::testing::FakePlayer;

constexpr uint32_t kPollMs = 3000;  // the shortest poll period, which the quiet INI sets
constexpr uint32_t kPublishMs = 900;
// From a new song to its popup: a poll, the publish delay, a margin for a busy machine.
constexpr uint32_t kPopupBoundMs = kPollMs + kPublishMs + 2500;
constexpr uint32_t kClickBoundMs = 2000;

constexpr int kPopupWidth = 220, kPopupHeight = 63;
constexpr int kPopupGap = 5, kPopupRightMargin = 8;
constexpr int kControlWidth = 158, kControlHeight = 22;
constexpr UINT kWmCommand = 0x111;

const wchar_t kPopupClass[] = L"Tpopform";
const wchar_t kControlClass[] = L"Ttlctrlf";
const wchar_t kQuickInfoClass[] = L"Tinfoform";

std::string Utf8(const std::wstring& w) { return talkeo_sim::ToUtf8(w); }

RECT WorkArea() {
  RECT r{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

std::vector<WindowView> VisibleOfClass(HMODULE module, const wchar_t* className) {
  std::vector<WindowView> out;
  for (auto& w : ListPluginWindows(module))
    if (w.visible && w.className == className) out.push_back(std::move(w));
  return out;
}

// A control of a window, in client coordinates.
struct Box {
  int left, top, width, height;
};
POINT CentreOf(HWND hwnd, const Box& b) {
  return talkeo_sim::ClientToScreenPoint(hwnd, b.left + b.width / 2, b.top + b.height / 2);
}

bool HasText(const WindowView& w, const std::wstring& part) {
  return std::any_of(w.texts.begin(), w.texts.end(),
                     [&](const std::wstring& t) { return t.find(part) != std::wstring::npos; });
}

// A window of the host in front, as the user's chat window would be.
class ChatWindow {
 public:
  ChatWindow() {
    hwnd_ = ::CreateWindowExW(0, L"STATIC", L"chat", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr,
                              nullptr, nullptr, nullptr);
    ::SetForegroundWindow(hwnd_);
  }
  ~ChatWindow() { ::DestroyWindow(hwnd_); }
  HWND hwnd() const { return hwnd_; }

 private:
  HWND hwnd_;
};

// The chat window in front with the focus in its input field, as while the
// user types. Without a caption: Wine takes about 2 s to destroy a captioned
// window on the virtual display.
class ChatWithField {
 public:
  ChatWithField() {
    hwnd_ = ::CreateWindowExW(0, L"STATIC", L"chat", WS_POPUP | WS_BORDER | WS_VISIBLE, 600, 100, 300, 200, nullptr,
                              nullptr, nullptr, nullptr);
    field_ = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 150, 280, 24, hwnd_, nullptr,
                               nullptr, nullptr);
    ::SetForegroundWindow(hwnd_);
    ::SetFocus(field_);
  }
  ~ChatWithField() { ::DestroyWindow(hwnd_); }
  HWND hwnd() const { return hwnd_; }
  HWND field() const { return field_; }

 private:
  HWND hwnd_, field_;
};

// The popup's body text: Tahoma 8 pt in RGB(249, 249, 249) in a label at
// (15, 25) that is 193 pixels wide and holds two lines.
constexpr int kBodyLeft = 15, kBodyTop = 25, kBodyWidth = 193, kBodyHeight = 27;
constexpr COLORREF kBodyColour = RGB(249, 249, 249);

int BodyTextWidth(const std::wstring& text) {
  HDC screen = ::GetDC(nullptr);
  const HFONT font = ::CreateFontW(-::MulDiv(8, ::GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE,
                                   FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                   DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
  const HGDIOBJ old = ::SelectObject(screen, font);
  SIZE size{};
  ::GetTextExtentPoint32W(screen, text.c_str(), int(text.size()), &size);
  ::SelectObject(screen, old);
  ::DeleteObject(font);
  ::ReleaseDC(nullptr, screen);
  return size.cx;
}

// The pixels the screen shows in a rectangle of a window (client
// coordinates), copied from the screen in one go.
std::vector<COLORREF> ScreenPixels(HWND hwnd, const RECT& area) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  const POINT origin = talkeo_sim::ClientToScreenPoint(hwnd, area.left, area.top);
  HDC screen = ::GetDC(nullptr);
  HDC copy = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ old = ::SelectObject(copy, bitmap);
  ::BitBlt(copy, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY | CAPTUREBLT);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels.push_back(::GetPixel(copy, x, y));
  ::SelectObject(copy, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(copy);
  ::ReleaseDC(nullptr, screen);
  return pixels;
}
// Pixels of exactly the body text's colour (fully covered by a glyph).
int BodyColouredPixels(HWND hwnd, const RECT& area) {
  const std::vector<COLORREF> pixels = ScreenPixels(hwnd, area);
  return int(std::count_if(pixels.begin(), pixels.end(), [](COLORREF c) {
    return std::abs(GetRValue(c) - GetRValue(kBodyColour)) <= 2 && std::abs(GetGValue(c) - GetGValue(kBodyColour)) <= 2 &&
           std::abs(GetBValue(c) - GetBValue(kBodyColour)) <= 2;
  }));
}
// Light pixels on the dark body: glyphs, also where they cover a pixel in part.
int LightPixels(HWND hwnd, const RECT& area) {
  const std::vector<COLORREF> pixels = ScreenPixels(hwnd, area);
  return int(std::count_if(pixels.begin(), pixels.end(), [](COLORREF c) { return GetRValue(c) >= 160; }));
}

// The system makes some objects of its own the first time a process paints
// a layered, shaped window with text (colour spaces, a system colour brush,
// the thread's IME window, cached DCs). A real host has long done that
// before any popup, so the leak cases do it first, with a window of the
// host's that stays open while they count.
class HostsOwnWindow {
 public:
  HostsOwnWindow() {
    hwnd_ = ::CreateWindowExW(0, L"STATIC", L"chat", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr,
                              nullptr, nullptr, nullptr);
    HWND shaped = ::CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, L"STATIC",
                                    L"warm-up", WS_POPUP, 400, 300, 220, 63, nullptr, nullptr, nullptr, nullptr);
    ::SetLayeredWindowAttributes(shaped, 0, 230, LWA_ALPHA);
    ::SetWindowRgn(shaped, ::CreateRoundRectRgn(0, 0, 220, 63, 15, 15), TRUE);
    ::ShowWindow(shaped, SW_SHOWNOACTIVATE);
    ::UpdateWindow(shaped);
    ::UpdateWindow(hwnd_);
    ::DestroyWindow(shaped);
  }
  ~HostsOwnWindow() { ::DestroyWindow(hwnd_); }

 private:
  HWND hwnd_;
};

// The counters see objects come and go, or the leak cases below would prove
// nothing. A window stays open meanwhile: the thread's first window brings
// objects of the system's own (its IME window, cached DCs) that stay with it.
TEST(GuiObjectCounters, SeeBrushesAndWindowsComeAndGo) {
  HWND keep = ::CreateWindowExW(0, L"STATIC", L"k", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                nullptr);
  ::UpdateWindow(keep);
  const GuiObjects before = CountGuiObjects();
  ASSERT_GT(before.Gdi(), 0) << "no GDI handle table in the PEB";
  std::vector<HGDIOBJ> brushes;
  for (int i = 0; i < 10; ++i) brushes.push_back(::CreateSolidBrush(RGB(i, 0, 0)));
  HWND top = ::CreateWindowExW(0, L"STATIC", L"t", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ::CreateWindowExW(0, L"STATIC", L"c", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
  const GuiObjects held = CountGuiObjects();
  EXPECT_EQ(held.gdiByType[16], before.gdiByType[16] + 10) << Describe(held);
  EXPECT_EQ(held.windows, before.windows + 2);
  for (HGDIOBJ b : brushes) ::DeleteObject(b);
  ::DestroyWindow(top);
  EXPECT_EQ(CountGuiObjects(), before) << Describe(before);
  ::DestroyWindow(keep);
}

// Winamp playing entry 0 of its playlist; a new file there is a new track.
class PluginWindows : public ::testing::Test {
 protected:
  void SetUp() override { copy_.WriteQuietIni(); }
  void TearDown() override {
    player_.reset();
    host_.Unload();
  }

  // The plug-in switched on with popups, its record written before.
  void LoadPlugin(SimHost& host, const PluginCopy& copy) {
    std::string error;
    ASSERT_TRUE(host.Load(copy.Dll(), &error)) << error;
    host.Record().Initialised = 1;
    host.Record().PluginOn = 1;
    host.Record().PopupsOn = 1;
  }
  void LoadPlugin() {
    ASSERT_NO_FATAL_FAILURE(LoadPlugin(host_, copy_));
    watch_.Watch();
  }

  void StartWinamp() {
    player_.emplace(L"WINAMP.EXE");
    ASSERT_TRUE(player_->ready());
    ASSERT_EQ(player_->Run("window main \"Winamp v1.x\" \"Winamp\"\n"
                           "answer main 1024 0 104 1\n"
                           "answer main 1024 0 125 0"),
              0);
  }
  // Winamp goes on to a tagged file "Artist N" - "Song N", and its window
  // title says so, as a real Winamp's does.
  void PlaySong(int n) {
    const std::wstring path = copy_.Folder() + L"\\song" + std::to_wstring(n) + L".mp3";
    host_test::WriteTaggedMp3(path, Artist(n), Song(n));
    ASSERT_NE(player_->Run("playlist 0 \"" + Utf8(path) + "\""), FakePlayer::kFailed);
    ASSERT_EQ(player_->Run("title main \"" + Utf8(Artist(n) + L" - " + Song(n) + L" - Winamp") + "\""), 0);
  }
  static std::wstring Artist(int n) { return L"Исполнитель " + std::to_wstring(n); }
  static std::wstring Song(int n) { return L"Песня " + std::to_wstring(n); }

  bool PumpUntil(const std::function<bool()>& done, uint32_t boundMs) {
    return host_test::PumpUntil(host_, done, boundMs);
  }
  std::vector<WindowView> Popups() const { return VisibleOfClass(host_.Module(), kPopupClass); }
  bool PumpUntilPopups(size_t n, uint32_t boundMs = kPopupBoundMs) {
    return PumpUntil([&] { return Popups().size() >= n; }, boundMs);
  }
  bool ClickAndWaitGone(const WindowView& w, POINT at, MouseButton button) {
    if (!ClickAt(at, button)) return false;
    return PumpUntil([&] { return !::IsWindow(w.hwnd); }, kClickBoundMs);
  }
  // A point on a popup's body text, away from its clock.
  static POINT OnPopupText(const WindowView& w) { return {w.rect.left + 60, w.rect.top + 40}; }

  PluginCopy copy_;
  SimHost host_;
  WindowWatch watch_{host_};
  std::optional<FakePlayer> player_;
};

TEST_F(PluginWindows, ThreeTracksStackThreePopupsFiveApartNoneActivatedAndTheNextAfterAllClosedIsAtTheBottom) {
  copy_.WriteIni(L"Popup", L"Delay", L"15");  // all three stay while the next ones come
  ChatWindow chat;
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  ASSERT_NO_FATAL_FAILURE(StartWinamp());
  ASSERT_NO_FATAL_FAILURE(PlaySong(1));
  ASSERT_TRUE(host_.Start());
  host_.Pump(50);
  const HWND foreground = ::GetForegroundWindow();
  ASSERT_EQ(foreground, chat.hwnd());

  for (int n = 1; n <= 3; ++n) {
    if (n > 1) ASSERT_NO_FATAL_FAILURE(PlaySong(n));
    ASSERT_TRUE(PumpUntilPopups(size_t(n))) << "popup " << n;
  }
  std::vector<WindowView> popups = Popups();
  ASSERT_EQ(popups.size(), 3u);
  std::sort(popups.begin(), popups.end(), [](const auto& a, const auto& b) { return a.rect.top > b.rect.top; });
  const RECT work = WorkArea();
  for (int i = 0; i < 3; ++i) {
    const WindowView& p = popups[size_t(i)];
    SCOPED_TRACE("popup " + std::to_string(i + 1) + ": " + talkeo_sim::DescribeWindow(p));
    EXPECT_EQ(p.rect.right - p.rect.left, kPopupWidth);
    EXPECT_EQ(p.rect.bottom - p.rect.top, kPopupHeight);
    EXPECT_EQ(p.rect.right, work.right - kPopupRightMargin);
    EXPECT_EQ(p.rect.bottom, work.bottom - kPopupGap - i * (kPopupHeight + kPopupGap));
    EXPECT_EQ(p.caption, L"Tunelet popup");
    EXPECT_TRUE(p.exStyle & WS_EX_NOACTIVATE);
    EXPECT_FALSE(p.foreground);
    EXPECT_FALSE(p.active);
    ASSERT_FALSE(p.texts.empty());
    EXPECT_EQ(p.texts.front(), L"Winamp");  // the player's name is the title
    // The oldest at the bottom: song 1 there, song 3 on top.
    EXPECT_TRUE(HasText(p, Artist(i + 1) + L" \"" + Song(i + 1) + L"\""));
  }
  EXPECT_EQ(::GetForegroundWindow(), foreground);

  // Right clicks close them, the top one first; the others stay where they are.
  for (int i = 2; i >= 0; --i) {
    ASSERT_TRUE(ClickAndWaitGone(popups[size_t(i)], OnPopupText(popups[size_t(i)]), MouseButton::Right));
    EXPECT_EQ(Popups().size(), size_t(i));
    for (int below = 0; below < i; ++below) {
      RECT now{};
      ::GetWindowRect(popups[size_t(below)].hwnd, &now);
      EXPECT_EQ(now.top, popups[size_t(below)].rect.top);
    }
  }
  EXPECT_EQ(::GetForegroundWindow(), foreground);

  ASSERT_NO_FATAL_FAILURE(PlaySong(4));
  ASSERT_TRUE(PumpUntilPopups(1));
  EXPECT_EQ(Popups().front().rect.bottom, work.bottom - kPopupGap);
  EXPECT_TRUE(HasText(Popups().front(), Song(4)));
}

// Also: the one popup leaves no GDI or USER object behind.
TEST_F(PluginWindows, TranspAndDelayOutOfRangeGiveAlpha230AndFiveSecondsAndNothingIsLeftBehind) {
  HostsOwnWindow hostsOwn;
  copy_.WriteIni(L"Popup", L"Transp", L"10");
  copy_.WriteIni(L"Popup", L"Delay", L"16");
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  ASSERT_NO_FATAL_FAILURE(StartWinamp());
  ASSERT_NO_FATAL_FAILURE(PlaySong(1));
  ASSERT_TRUE(host_.Start());
  host_.Pump(200);
  const GuiObjects before = CountGuiObjects();
  ASSERT_TRUE(PumpUntilPopups(1));
  const uint32_t seenMs = host_.Now();
  const WindowView popup = Popups().front();
  const GuiObjects shown = CountGuiObjects();
  ASSERT_TRUE(popup.alpha.has_value());
  EXPECT_EQ(*popup.alpha, 230);
  ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(popup.hwnd); }, 5000 + 4000));
  const uint32_t lifeMs = host_.Now() - seenMs;
  EXPECT_GE(lifeMs, 5000u - 100u);  // seen within a pump slice of its showing
  EXPECT_LE(lifeMs, 5000u + 2000u);

  host_.Pump(100);
  const GuiObjects after = CountGuiObjects();
  EXPECT_GT(shown.windows, before.windows);
  ExpectNothingLeftBehind(before, after, 1);
  std::printf("one popup: before %s\n           shown  %s\n           after  %s\n", Describe(before).c_str(),
              Describe(shown).c_str(), Describe(after).c_str());
}

TEST_F(PluginWindows, LeftClickOnATrackPopupClosesItAndOpensQuickInfo) {
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  ASSERT_NO_FATAL_FAILURE(StartWinamp());
  ASSERT_NO_FATAL_FAILURE(PlaySong(1));
  ASSERT_TRUE(host_.Start());
  ASSERT_TRUE(PumpUntilPopups(1));
  const WindowView popup = Popups().front();
  ASSERT_TRUE(ClickAndWaitGone(popup, OnPopupText(popup), MouseButton::Left));
  const std::optional<WindowView> info = watch_.WaitFor(kQuickInfoClass, true, kClickBoundMs);
  if (!info) GTEST_SKIP() << "no Tinfoform appeared after the left click: this build has no QuickInfo window";
  EXPECT_EQ(info->caption, L"Tunelet QuickInfo");
  EXPECT_EQ(info->rect.right - info->rect.left, 329);
  EXPECT_EQ(info->rect.bottom - info->rect.top, 112);
  EXPECT_TRUE(HasText(*info, Song(1))) << talkeo_sim::DescribeWindow(*info);
  EXPECT_TRUE(HasText(*info, Artist(1))) << talkeo_sim::DescribeWindow(*info);

  // The mouse rests on it (it opens in the popup's corner): it stays past its
  // first 2.5 s; once the mouse is elsewhere it goes within about a second.
  host_.Pump(2500 + 1000);
  ASSERT_TRUE(::IsWindow(info->hwnd));
  ASSERT_TRUE(talkeo_sim::MoveMouse({10, 10}));
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(info->hwnd); }, 1000 + 1000));
}

// A track text too long for the popup: the popup draws it as two lines that
// each fit the label, the second ending in "...", both in the body's colour,
// the dots included.
TEST_F(PluginWindows, ALongTrackTextShowsAsTwoLinesThatFitTheSecondEndingInVisibleDots) {
  const std::wstring artist = L"Оркестр русских народных инструментов имени Осипова",
                     title = L"Увертюра на темы песен военных лет";
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  ASSERT_NO_FATAL_FAILURE(StartWinamp());
  const std::wstring path = copy_.Folder() + L"\\long.mp3";
  host_test::WriteTaggedMp3(path, artist, title);
  ASSERT_NE(player_->Run("playlist 0 \"" + Utf8(path) + "\""), FakePlayer::kFailed);
  ASSERT_TRUE(host_.Start());
  ASSERT_TRUE(PumpUntilPopups(1));
  host_.Pump(100);
  const std::optional<WindowView> popup = FindPluginWindow(host_.Module(), kPopupClass);
  ASSERT_TRUE(popup);
  // The title, the clock, then the body's lines.
  ASSERT_EQ(popup->texts.size(), 4u) << talkeo_sim::DescribeWindow(*popup);
  EXPECT_EQ(popup->texts[0], L"Winamp");
  const std::wstring first = popup->texts[2], second = popup->texts[3];
  ASSERT_GT(second.size(), 3u);
  EXPECT_EQ(second.substr(second.size() - 3), L"...");
  const std::wstring shown = first + L" " + second.substr(0, second.size() - 3);
  EXPECT_EQ((artist + L" \"" + title).rfind(shown, 0), 0u) << "broken at a space, cut at the end: " << Utf8(shown);
  EXPECT_LE(BodyTextWidth(first), kBodyWidth) << Utf8(first);
  EXPECT_LE(BodyTextWidth(second), kBodyWidth) << Utf8(second);

  // Both lines are on the screen in the body's colour, and so are the dots
  // at the second line's end.
  const int middle = kBodyTop + kBodyHeight / 2;
  EXPECT_GT(BodyColouredPixels(popup->hwnd, {kBodyLeft, kBodyTop, kBodyLeft + kBodyWidth, middle}), 50);
  EXPECT_GT(BodyColouredPixels(popup->hwnd, {kBodyLeft, middle, kBodyLeft + kBodyWidth, kBodyTop + kBodyHeight}), 50);
  const int end = kBodyLeft + BodyTextWidth(second), dots = BodyTextWidth(L"...");
  EXPECT_GE(LightPixels(popup->hwnd, {end - dots, middle, end, kBodyTop + kBodyHeight}), 3) << "the dots";
}

// A hand for the popup menu the host's thread opens next: from a second
// thread (the host's is inside the menu's own loop meanwhile) it waits for
// the menu, reads its entries and then presses Escape or clicks the first
// entry, both as real input.
class MenuHand {
 public:
  enum class Action { Dismiss, ChooseFirst };
  explicit MenuHand(Action action) : thread_([this, action] { Run(action); }) {}
  ~MenuHand() { Join(); }
  // After the hand is done (joined): the entries it saw, none if no menu came.
  const std::vector<std::wstring>& Entries() const { return entries_; }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  static BOOL CALLBACK FindMenu(HWND hwnd, LPARAM p) {
    wchar_t cls[16] = {};
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(hwnd)) return TRUE;
    ::GetClassNameW(hwnd, cls, 16);
    if (std::wstring(cls) != L"#32768") return TRUE;
    *reinterpret_cast<HWND*>(p) = hwnd;
    return FALSE;
  }
  void Run(Action action) {
    constexpr DWORD kBoundMs = 5000;
    const DWORD start = ::GetTickCount();
    HWND menu = nullptr;
    while (!menu && ::GetTickCount() - start < kBoundMs) {
      ::Sleep(20);
      ::EnumWindows(&FindMenu, LPARAM(&menu));
    }
    if (!menu) return;
    ::Sleep(150);  // shown and painted, as an eye would wait
    const HMENU items = reinterpret_cast<HMENU>(::SendMessageW(menu, MN_GETHMENU, 0, 0));
    for (int i = 0; items && i < ::GetMenuItemCount(items); ++i) {
      wchar_t text[128] = {};
      ::GetMenuStringW(items, UINT(i), text, 128, MF_BYPOSITION);
      entries_.push_back(text);
    }
    if (action == Action::ChooseFirst) {
      RECT r{};
      ::GetWindowRect(menu, &r);
      ClickAt({(r.left + r.right) / 2, r.top + (r.bottom - r.top) / 2}, MouseButton::Left);
    } else {
      INPUT keys[2] = {};
      keys[0].type = keys[1].type = INPUT_KEYBOARD;
      keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
      keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
      ::SendInput(2, keys, sizeof(INPUT));
    }
  }

  std::vector<std::wstring> entries_;
  std::thread thread_;
};

// The control window: shown at start (Show_tlc), its place in the host's record.
class ControlWindowInHost : public PluginWindows {
 protected:
  void SetUp() override {
    PluginWindows::SetUp();
    copy_.WriteIni(L"Others", L"Show_tlc", L"1");
  }
  std::optional<WindowView> Control() { return FindPluginWindow(host_.Module(), kControlClass); }
  std::optional<WindowView> WaitForControl() { return watch_.WaitFor(kControlClass, true, kClickBoundMs); }
  void StartAt(int x, int y) {
    ASSERT_NO_FATAL_FAILURE(LoadPlugin());
    host_.Record().PopupsOn = 0;
    host_.Record().ControlWindowX = x;
    host_.Record().ControlWindowY = y;
    ASSERT_TRUE(host_.Start());
  }
};

// The buttons i_play, i_pause, i_stop, i_prev, i_next, i_info and bt_close.
constexpr Box kPlay{17, 5, 14, 14}, kPause{34, 5, 14, 14}, kStop{51, 5, 14, 14}, kPrev{72, 5, 14, 14},
    kNext{89, 5, 14, 14}, kInfo{111, 4, 16, 15}, kClose{139, 4, 15, 15};
POINT Centre(HWND hwnd, const Box& b) { return CentreOf(hwnd, b); }

TEST_F(ControlWindowInHost, ItsButtonsReachWinampAsWinampMenuCommandsAndItsInfoButtonOpensQuickInfo) {
  ASSERT_NO_FATAL_FAILURE(StartWinamp());
  ASSERT_NO_FATAL_FAILURE(PlaySong(1));
  ASSERT_NO_FATAL_FAILURE(StartAt(200, 300));
  // The plug-in knows Winamp once it has published its track.
  ASSERT_TRUE(PumpUntil([&] { return host_.Shown().picture != 0; }, kPopupBoundMs));
  const std::optional<WindowView> control = Control();
  ASSERT_TRUE(control);
  player_->ClearLog();
  for (const Box& button : {kPlay, kPause, kStop, kPrev, kNext}) {
    ASSERT_TRUE(ClickAt(Centre(control->hwnd, button), MouseButton::Left));
    host_.Pump(100);
  }
  // Sent synchronously, so each is logged before the click returns.
  const std::vector<std::string> want{"main 273 40045 0", "main 273 40046 0", "main 273 40047 0",
                                      "main 273 40044 0", "main 273 40048 0"};
  std::vector<std::string> commands;
  for (const std::string& m : player_->Messages())
    if (m.rfind("main " + std::to_string(kWmCommand) + " ", 0) == 0) commands.push_back(m);
  EXPECT_EQ(commands, want);
  EXPECT_TRUE(::IsWindow(control->hwnd));

  // The right button and a press dragged off the button send nothing (the
  // right button's menu is closed again).
  player_->ClearLog();
  {
    const ChatWindow chat;  // the host in front, as when the user chats
    host_.Pump(50);
    MenuHand hand(MenuHand::Action::Dismiss);
    ASSERT_TRUE(ClickAt(Centre(control->hwnd, kPlay), MouseButton::Right));
    host_.Pump(100);
    PumpUntil([&] { return false; }, 300);
    hand.Join();
    EXPECT_EQ(hand.Entries().size(), 1u);
  }
  EXPECT_TRUE(player_->Messages().empty() ||
              std::none_of(player_->Messages().begin(), player_->Messages().end(),
                           [](const std::string& m) { return m.rfind("main 273 ", 0) == 0; }));

  // The info button opens QuickInfo of the playing file.
  ASSERT_TRUE(ClickAt(Centre(control->hwnd, kInfo), MouseButton::Left));
  const std::optional<WindowView> info = watch_.WaitFor(kQuickInfoClass, true, kClickBoundMs);
  ASSERT_TRUE(info);
  EXPECT_TRUE(HasText(*info, Song(1))) << talkeo_sim::DescribeWindow(*info);
}

// The window never takes the focus: real clicks on its buttons and on its
// background leave the chat window in front with the focus in its field,
// and the commands still reach the player.
TEST_F(ControlWindowInHost, ClicksOnItLeaveTheChatInFrontWithItsFocusAndReachThePlayer) {
  ASSERT_NO_FATAL_FAILURE(StartWinamp());
  ASSERT_NO_FATAL_FAILURE(PlaySong(1));
  ASSERT_NO_FATAL_FAILURE(StartAt(200, 300));
  ASSERT_TRUE(PumpUntil([&] { return host_.Shown().picture != 0; }, kPopupBoundMs));
  const std::optional<WindowView> control = Control();
  ASSERT_TRUE(control);
  ChatWithField chat;
  host_.Pump(50);
  ASSERT_EQ(::GetForegroundWindow(), chat.hwnd());
  ASSERT_EQ(::GetFocus(), chat.field());
  player_->ClearLog();
  constexpr Box kGrip{4, 5, 9, 13};
  for (const Box& place : {kPlay, kGrip, kNext}) {
    ASSERT_TRUE(ClickAt(Centre(control->hwnd, place), MouseButton::Left));
    host_.Pump(100);
    EXPECT_EQ(::GetForegroundWindow(), chat.hwnd()) << "after a click at " << place.left;
    EXPECT_EQ(::GetActiveWindow(), chat.hwnd()) << "after a click at " << place.left;
    EXPECT_EQ(::GetFocus(), chat.field()) << "after a click at " << place.left;
  }
  std::vector<std::string> commands;
  for (const std::string& m : player_->Messages())
    if (m.rfind("main 273 ", 0) == 0) commands.push_back(m);
  EXPECT_EQ(commands, (std::vector<std::string>{"main 273 40045 0", "main 273 40048 0"}));
  EXPECT_EQ(Control().value_or(WindowView{}).rect.left, 200) << "a click is no drag";
}

// "H:MM" an hour after the local time now.
std::wstring ClockInAnHour() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  const int until = (t.wHour * 60 + t.wMinute + 60) % (24 * 60);
  wchar_t text[8] = {};
  std::swprintf(text, 8, L"%d:%02d", until / 60, until % 60);
  return text;
}

// A real right click on the control window opens its menu; its one entry
// pauses sharing for an hour and the popup says until when; the entry then
// resumes it. The menu follows the state, and the window still drags.
TEST_F(ControlWindowInHost, ItsRightClickMenuPausesAndResumesSharingWithAPopupEachTime) {
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  host_.Record().PopupsOn = 1;
  host_.Record().ControlWindowX = 200;
  host_.Record().ControlWindowY = 300;
  ASSERT_TRUE(host_.Start());
  ASSERT_TRUE(WaitForControl());
  const HWND control = Control()->hwnd;
  constexpr Box kBackground{4, 5, 9, 13};  // the grip
  ChatWithField chat;  // the user types in the host's window meanwhile
  host_.Pump(50);

  auto chooseFromMenu = [&](const Box& where) {
    MenuHand hand(MenuHand::Action::ChooseFirst);
    EXPECT_TRUE(ClickAt(Centre(control, where), MouseButton::Right));
    host_.Pump(100);
    PumpUntil([&] { return false; }, 300);
    hand.Join();
    return hand.Entries();
  };
  const std::wstring before = ClockInAnHour();
  EXPECT_EQ(chooseFromMenu(kBackground), std::vector<std::wstring>{L"Приостановить трансляцию на 1 час"});
  const std::wstring after = ClockInAnHour();
  ASSERT_TRUE(PumpUntilPopups(1, kClickBoundMs));
  const WindowView paused = Popups().front();
  // The body breaks its line before the time: the drawn lines joined.
  std::wstring body;
  for (const std::wstring& t : paused.texts) body += t + L" ";
  EXPECT_TRUE(body.find(L"Трансляция приостановлена до " + before + L" ") != std::wstring::npos ||
              body.find(L"Трансляция приостановлена до " + after + L" ") != std::wstring::npos)
      << talkeo_sim::DescribeWindow(paused);
  EXPECT_TRUE(HasText(paused, L"Tunelet Plugin"));

  // On a button too: the menu, not the button's command.
  EXPECT_EQ(chooseFromMenu(kPlay), std::vector<std::wstring>{L"Возобновить трансляцию"});
  ASSERT_TRUE(PumpUntil([&] {
    const auto shown = Popups();
    return std::any_of(shown.begin(), shown.end(), [](const WindowView& w) { return HasText(w, L"Трансляция возобновлена"); });
  }, kClickBoundMs));
  EXPECT_EQ(chooseFromMenu(kBackground), std::vector<std::wstring>{L"Приостановить трансляцию на 1 час"});
  // The menus took nothing from the chat.
  EXPECT_EQ(::GetForegroundWindow(), chat.hwnd());
  EXPECT_EQ(::GetFocus(), chat.field());

  // The left button still drags the window by its background.
  const RECT at = Control()->rect;
  const POINT from = Centre(control, kBackground);
  ASSERT_TRUE(talkeo_sim::MoveMouse(from));
  INPUT down{}, up{};
  down.type = up.type = INPUT_MOUSE;
  down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(1, &down, sizeof(INPUT));
  host_.Pump(50);
  for (int i = 1; i <= 4; ++i) {
    ASSERT_TRUE(talkeo_sim::MoveMouse({from.x + 15 * i, from.y + 10 * i}));
    host_.Pump(30);
  }
  ::SendInput(1, &up, sizeof(INPUT));
  host_.Pump(100);
  const RECT moved = Control()->rect;
  EXPECT_EQ(moved.left - at.left, 60);
  EXPECT_EQ(moved.top - at.top, 40);
}

TEST_F(ControlWindowInHost, ItsPlaceSurvivesCloseAndReopenAndARestartOfThePlugin) {
  const std::wstring store = copy_.Folder() + L"\\talkeo-sim.store";
  host_.SetStoreFile(store);
  ASSERT_NO_FATAL_FAILURE(StartAt(200, 300));
  std::optional<WindowView> control = WaitForControl();
  ASSERT_TRUE(control);
  EXPECT_EQ(control->rect.left, 200);
  EXPECT_EQ(control->rect.top, 300);
  EXPECT_EQ(control->rect.right - control->rect.left, kControlWidth);
  EXPECT_EQ(control->rect.bottom - control->rect.top, kControlHeight);

  // Moved as the system's move loop moves it when the user drags it (a drag
  // injected with SendInput does not end under Wine: docs/wine-notes.md).
  ::SetWindowPos(control->hwnd, nullptr, 350, 400, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  host_.Pump(50);
  const RECT moved = Control().value_or(WindowView{}).rect;
  EXPECT_EQ(moved.left, 350);
  EXPECT_EQ(moved.top, 400);

  // Closed by its button: its place goes into the host's record at the stop.
  ASSERT_TRUE(ClickAt(Centre(control->hwnd, kClose), MouseButton::Left));
  ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(control->hwnd); }, kClickBoundMs));
  host_.Disable();
  EXPECT_EQ(host_.Record().ControlWindowX, moved.left);
  EXPECT_EQ(host_.Record().ControlWindowY, moved.top);
  // The user switches the plug-in on again: the window comes back there.
  host_.Enable();
  control = WaitForControl();
  ASSERT_TRUE(control);
  EXPECT_EQ(control->rect.left, moved.left);
  EXPECT_EQ(control->rect.top, moved.top);

  // The messenger ends and starts again: a new host, the record from its store.
  host_.Shutdown();
  host_.Unload();
  SimHost again;
  again.SetStoreFile(store);
  std::string error;
  ASSERT_TRUE(again.Load(copy_.Dll(), &error)) << error;
  ASSERT_TRUE(again.Start());
  WindowWatch watch(again);
  control = watch.WaitFor(kControlClass, true, kClickBoundMs);
  ASSERT_TRUE(control);
  EXPECT_EQ(control->rect.left, moved.left);
  EXPECT_EQ(control->rect.top, moved.top);
  again.Shutdown();
  again.Unload();
}

TEST_F(ControlWindowInHost, APlaceOffTheScreenComesBackOnIt) {
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN), screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  ASSERT_NO_FATAL_FAILURE(StartAt(-500, -1));
  std::optional<WindowView> control = WaitForControl();
  ASSERT_TRUE(control);
  EXPECT_EQ(control->rect.left, screenWidth / 2);
  EXPECT_EQ(control->rect.top, screenHeight / 2);

  host_.Disable();
  host_.Record().ControlWindowX = screenWidth + 40;
  host_.Record().ControlWindowY = screenHeight + 40;
  host_.Enable();
  control = WaitForControl();
  ASSERT_TRUE(control);
  EXPECT_EQ(control->rect.right, screenWidth);
  EXPECT_EQ(control->rect.bottom, screenHeight);
}

// Fifty popups in a few polls: ten copies of the plug-in in the one host
// process, each its own library with its own popups, all following the same
// Winamp. Right clicks close half of them, their timers the rest.
TEST_F(PluginWindows, FiftyPopupsLeaveNoGdiOrUserObjectBehind) {
  HostsOwnWindow hostsOwn;
  constexpr int kCopies = 10;
  constexpr size_t kWanted = 50;
  std::vector<std::unique_ptr<PluginCopy>> copies;
  std::vector<std::unique_ptr<SimHost>> hosts;
  std::vector<std::unique_ptr<WindowWatch>> watches;
  size_t appeared = 0;
  std::vector<int> seenBy(kCopies);
  std::vector<WindowView> open;
  for (int i = 0; i < kCopies; ++i) {
    copies.push_back(std::make_unique<PluginCopy>());
    copies.back()->WriteQuietIni();
    copies.back()->WriteIni(L"Popup", L"Delay", L"2");
    hosts.push_back(std::make_unique<SimHost>());
    ASSERT_NO_FATAL_FAILURE(LoadPlugin(*hosts.back(), *copies.back()));
    watches.push_back(std::make_unique<WindowWatch>(*hosts.back()));
    watches.back()->SetSink([&, i](const WindowWatch::Event& e) {
      if (e.change == WindowWatch::Change::Appeared && e.window.className == kPopupClass) {
        ++appeared;
        ++seenBy[i];
        open.push_back(e.window);
      }
    });
  }
  ASSERT_NO_FATAL_FAILURE(StartWinamp());
  ASSERT_NO_FATAL_FAILURE(PlaySong(1));
  for (auto& h : hosts) ASSERT_TRUE(h->Start());
  hosts.front()->Pump(200);
  const GuiObjects before = CountGuiObjects();

  // A new song once every copy has shown the last one, until fifty popups
  // have been seen; half of them are closed by a right click as they come.
  bool rightClick = false;
  int openAtOnce = 0;
  for (int song = 1; appeared < kWanted; ++song) {
    if (song > 1) ASSERT_NO_FATAL_FAILURE(PlaySong(song));
    const size_t wanted = std::min(kWanted, size_t(kCopies) * size_t(song));
    const uint64_t deadline = ::GetTickCount64() + kPollMs + kPopupBoundMs;
    while (appeared < wanted && ::GetTickCount64() < deadline) {
      hosts.front()->Pump(20);  // one thread: this dispatches every copy's messages
      for (auto& w : watches) w->Poll();
      int openNow = 0;
      for (auto& h : hosts) openNow += int(VisibleOfClass(h->Module(), kPopupClass).size());
      openAtOnce = std::max(openAtOnce, openNow);
      // The copies' popups share the corner: a popup is clicked only where it
      // is on top, so that the click closes the one that was seen. Input goes
      // before the timers that make new popups, so nothing comes between.
      for (const WindowView& w : open) {
        const POINT at{w.rect.left + 60, w.rect.top + 40};
        if ((rightClick = !rightClick) && ::WindowFromPoint(at) == w.hwnd) {
          ClickAt(at, MouseButton::Right);
          hosts.front()->Pump(0);
        }
      }
      open.clear();
    }
    std::string seen;
    for (size_t i = 0; i < hosts.size(); ++i)
      seen += "\ncopy " + std::to_string(i) + ": " + std::to_string(seenBy[i]) + " popup(s), " +
              talkeo_sim::DescribeXStatus(hosts[i]->Shown());
    ASSERT_GE(appeared, wanted) << "song " << song << seen;
  }
  EXPECT_EQ(appeared, kWanted) << "each copy shows each song once";
  // All closed: by click, or by their two-second timers.
  auto noPopups = [&] {
    for (auto& h : hosts)
      if (!VisibleOfClass(h->Module(), kPopupClass).empty()) return false;
    return true;
  };
  ASSERT_TRUE(host_test::PumpUntil(*hosts.front(), noPopups, 2000 + 3000));
  hosts.front()->Pump(100);
  const GuiObjects after = CountGuiObjects();
  ExpectNothingLeftBehind(before, after, openAtOnce);
  std::printf("%zu popups, at most %d open at once: before %s\n  after  %s\n", appeared, openAtOnce,
              Describe(before).c_str(), Describe(after).c_str());
  for (auto& h : hosts) {
    h->Shutdown();
    h->Unload();
  }
}

}  // namespace
