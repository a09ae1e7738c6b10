// The popup windows under Wine: placement, styles, alpha, clicks, their life
// and the GDI and USER objects they leave behind; once in this process through
// the ui layer, once from the real Tunelet.dll in the simulated host.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host_test_support.h"
#include "model/settings.h"
#include "real_mouse.h"
#include "sim_host.h"
#include "ui/popup.h"
#include "ui/win32/control_window.h"
#include "ui/win32/popup_window.h"

namespace {

using tunelet::win32::ControlWindow;
using tunelet::win32::PopupWindows;

void PumpFor(DWORD ms) {
  const DWORD start = ::GetTickCount();
  do {
    MSG m;
    while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&m);
      ::DispatchMessageW(&m);
    }
    ::Sleep(5);
  } while (::GetTickCount() - start < ms);
}

RECT WorkArea() {
  RECT r{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t buf[64] = {};
  ::GetClassNameW(hwnd, buf, 64);
  return buf;
}
std::wstring CaptionOf(HWND hwnd) {
  wchar_t buf[64] = {};
  ::GetWindowTextW(hwnd, buf, 64);
  return buf;
}
BYTE AlphaOf(HWND hwnd) {
  BYTE alpha = 0;
  DWORD flags = 0;
  ::GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags);
  return alpha;
}

void MouseUp(HWND hwnd, UINT msg, int x, int y) { ::SendMessageW(hwnd, msg, 0, MAKELPARAM(x, y)); }

struct GuiCounts {
  DWORD gdi, user;
  bool operator==(const GuiCounts&) const = default;
};
GuiCounts CountGuiObjects() {
  return {::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS),
          ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS)};
}

struct ClickTargets : tunelet::IUserInterface {
  int options = 0, quickInfo = 0;
  void ShowOptionsDialog() override { ++options; }
  void ShowQuickInfo() override { ++quickInfo; }
};

class Popups : public ::testing::Test {
 protected:
  void SetUp() override {
    tunelet::ResetSettings();
    tunelet::PluginSettings& s = tunelet::Settings();
    s.Transp = 200;
    s.Delay = 15;  // longer than any case here: popups close by click or at the end
    s.Alwaysontop = true;
    s.Shadow = true;
    tunelet::SetText(s.Track.PlayerName, u"Winamp");
    tunelet::SetText(s.Track.Artist, u"Кино");
    tunelet::SetText(s.Track.Title, u"Звезда по имени Солнце");
    s.Track.Duration = 225;
    popups_.emplace(clicks_, texts_);
  }
  void TearDown() override {
    popups_.reset();
    tunelet::ResetSettings();
  }
  HWND ShowOne(int kind) {
    const size_t before = popups_->OpenPopups().size();
    popups_->Show(kind);
    if (popups_->OpenPopups().size() != before + 1) return nullptr;
    return popups_->OpenPopups().back();
  }

  ClickTargets clicks_;
  tunelet::BuiltInUiTexts texts_;
  std::optional<PopupWindows> popups_;
};

TEST_F(Popups, ThreeTrackPopupsStackFiveApartAtTheCornerWithoutTakingTheFocus) {
  // A window of ours in front, as the user's chat window would be.
  HWND front = ::CreateWindowExW(0, L"STATIC", L"chat", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                 nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(front);
  ::SetForegroundWindow(front);
  PumpFor(50);
  const HWND foreground = ::GetForegroundWindow(), active = ::GetActiveWindow(), focus = ::GetFocus();

  std::vector<HWND> shown;
  for (int i = 0; i < 3; ++i) shown.push_back(ShowOne(tunelet::kTrackPopup));
  PumpFor(100);
  EXPECT_EQ(::GetForegroundWindow(), foreground);
  EXPECT_EQ(::GetActiveWindow(), active);
  EXPECT_EQ(::GetFocus(), focus);

  const RECT work = WorkArea();
  for (int i = 0; i < 3; ++i) {
    const HWND w = shown[i];
    ASSERT_TRUE(w);
    RECT r{};
    ::GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 220);
    EXPECT_EQ(r.bottom - r.top, 63);
    EXPECT_EQ(r.left, work.right - 220 - 8);
    EXPECT_EQ(r.top, work.bottom - (63 + 5) * (i + 1)) << "popup " << i;
    EXPECT_TRUE(::IsWindowVisible(w));
    EXPECT_EQ(ClassOf(w), L"Tpopform");
    EXPECT_EQ(CaptionOf(w), L"Tunelet popup");
    const LONG_PTR style = ::GetWindowLongPtrW(w, GWL_STYLE), ex = ::GetWindowLongPtrW(w, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & WS_CAPTION);
    EXPECT_TRUE(ex & WS_EX_NOACTIVATE);
    EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(ex & WS_EX_TOPMOST);
    EXPECT_EQ(AlphaOf(w), 200);
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(::GetWindowRgn(w, region), COMPLEXREGION) << "rounded region set";
    ::DeleteObject(region);
  }
  EXPECT_EQ(popups_->stack().PopupCount, 3);
  // The middle one closes: the others stay, the next goes above the highest.
  MouseUp(shown[1], WM_RBUTTONUP, 50, 40);
  EXPECT_FALSE(::IsWindow(shown[1]));
  const HWND fourth = ShowOne(tunelet::kTrackPopup);
  RECT r{};
  ::GetWindowRect(fourth, &r);
  EXPECT_EQ(r.top, work.bottom - (63 + 5) * 4);
  ::DestroyWindow(front);
}

TEST_F(Popups, StackGoesBackDownOnlyWhenAllHaveClosed) {
  MouseUp(ShowOne(tunelet::kStatePopup), WM_RBUTTONUP, 5, 40);
  RECT r{};
  const HWND again = ShowOne(tunelet::kStatePopup);
  ::GetWindowRect(again, &r);
  EXPECT_EQ(r.bottom, WorkArea().bottom - 5);
  EXPECT_EQ(popups_->stack().PopupCount, 1);
}

TEST_F(Popups, WithoutAlwaysOnTopTheyAreNotTopmost) {
  tunelet::Settings().Alwaysontop = false;
  const HWND w = ShowOne(tunelet::kStatePopup);
  ASSERT_TRUE(w);
  EXPECT_FALSE(::GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(Popups, RightClickClosesLeftClickOpensTheKindsWindowTheClockIgnoresTheMouse) {
  HWND state = ShowOne(tunelet::kStatePopup);
  MouseUp(state, WM_LBUTTONUP, 180, 8);  // on the clock
  MouseUp(state, WM_MBUTTONUP, 50, 40);  // another button
  EXPECT_TRUE(::IsWindow(state));
  MouseUp(state, WM_LBUTTONUP, 50, 40);
  EXPECT_FALSE(::IsWindow(state));
  EXPECT_EQ(clicks_.options, 1);

  HWND noFile = ShowOne(tunelet::kTrackPopup);
  MouseUp(noFile, WM_LBUTTONUP, 50, 10);  // no file known: only closes
  EXPECT_FALSE(::IsWindow(noFile));
  EXPECT_EQ(clicks_.quickInfo, 0);

  tunelet::SetText(tunelet::Track().FilePath, u"C:\\Music\\track.mp3");
  HWND track = ShowOne(tunelet::kTrackPopup);
  MouseUp(track, WM_LBUTTONUP, 50, 10);
  EXPECT_FALSE(::IsWindow(track));
  EXPECT_EQ(clicks_.quickInfo, 1);

  HWND right = ShowOne(tunelet::kTrackPopup);
  MouseUp(right, WM_RBUTTONUP, 50, 40);
  EXPECT_FALSE(::IsWindow(right));
  EXPECT_EQ(clicks_.quickInfo, 1);
  EXPECT_EQ(clicks_.options, 1);
  EXPECT_EQ(popups_->stack().PopupCount, 0);
}

// Wine's GetGuiResources answers 0 whatever the process holds, so under Wine
// the popups' own objects are looked at as well: their fonts must be dead and
// no window of the class left once they have closed.
int LiveObjects(const std::vector<HGDIOBJ>& objects) {
  int n = 0;
  for (HGDIOBJ o : objects) n += ::GetObjectType(o) != 0;
  return n;
}
BOOL CALLBACK CountPopupWindow(HWND w, LPARAM count) {
  *reinterpret_cast<int*>(count) += ClassOf(w) == L"Tpopform";
  return TRUE;
}
int PopupWindowsOfThisThread() {
  int n = 0;
  ::EnumThreadWindows(::GetCurrentThreadId(), &CountPopupWindow, LPARAM(&n));
  return n;
}

TEST_F(Popups, NoGdiOrUserObjectsAreLeftBehind) {
  PumpFor(50);
  const GuiCounts before = CountGuiObjects();
  HWND one = ShowOne(tunelet::kTrackPopup);
  const std::vector<HGDIOBJ> fonts = popups_->GdiObjectsOf(one);
  ASSERT_EQ(fonts.size(), 2u);
  EXPECT_EQ(LiveObjects(fonts), 2);
  PumpFor(100);  // painted
  MouseUp(one, WM_RBUTTONUP, 50, 40);
  PumpFor(50);
  EXPECT_EQ(CountGuiObjects(), before);
  EXPECT_EQ(LiveObjects(fonts), 0);

  std::vector<HWND> many;
  std::vector<HGDIOBJ> held;
  for (int i = 0; i < 50; ++i) {
    many.push_back(ShowOne(i % 2 ? tunelet::kTrackPopup : tunelet::kStatePopup));
    for (HGDIOBJ o : popups_->GdiObjectsOf(many.back())) held.push_back(o);
  }
  PumpFor(200);
  const GuiCounts open = CountGuiObjects();
  EXPECT_EQ(PopupWindowsOfThisThread(), 50);
  EXPECT_EQ(LiveObjects(held), 100);
  for (HWND w : many) MouseUp(w, WM_RBUTTONUP, 50, 40);
  PumpFor(50);
  const GuiCounts after = CountGuiObjects();
  EXPECT_EQ(after, before);
  EXPECT_EQ(LiveObjects(held), 0);
  EXPECT_EQ(PopupWindowsOfThisThread(), 0);
  std::printf("GetGuiResources GDI/USER: %lu/%lu before, %lu/%lu with 50 popups open, %lu/%lu after\n",
              before.gdi, before.user, open.gdi, open.user, after.gdi, after.user);
}

TEST_F(Popups, OpenPopupsCloseWithTheirOwner) {
  const HWND a = ShowOne(tunelet::kTrackPopup), b = ShowOne(tunelet::kStatePopup);
  popups_.reset();
  EXPECT_FALSE(::IsWindow(a));
  EXPECT_FALSE(::IsWindow(b));
}

struct PlayerCommands : tunelet::IPlayerAccess {
  std::vector<int> sent;
  void SendPlayerCommand(int command) override { sent.push_back(command); }
};

class ControlWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tunelet::ResetSettings();
    tunelet::Settings().ControlWindowX = 100;
    tunelet::Settings().ControlWindowY = 200;
    tunelet::Settings().Hide_tlc = true;
    control_.emplace(player_, clicks_, texts_);
  }
  void TearDown() override {
    control_.reset();
    tunelet::ResetSettings();
  }
  // A screen point of the window, from client coordinates.
  POINT At(int x, int y) const {
    POINT p{x, y};
    ::ClientToScreen(control_->hwnd(), &p);
    return p;
  }
  POINT CentreOf(ControlWindow::Button b) const {
    const RECT r = ControlWindow::ButtonRect(b);
    return At((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  // A real click: pressed and released through the input queue.
  void Click(ControlWindow::Button b) {
    const POINT at = CentreOf(b);
    real_mouse::Press(at);
    real_mouse::Release(at);
    PumpFor(30);
  }
  // A real drag by the grip, which belongs to the background; pumped between
  // the steps as a hand would be slower than the window.
  RECT DragBy(int dx, int dy) {
    const POINT from = At(8, 11);
    real_mouse::Press(from);
    PumpFor(20);
    for (int i = 1; i <= 4; ++i) {
      real_mouse::MoveTo({from.x + dx * i / 4, from.y + dy * i / 4});
      PumpFor(20);
    }
    real_mouse::Release({from.x + dx, from.y + dy});
    PumpFor(30);
    return Rect();
  }
  COLORREF PixelAt(int x, int y) const {
    ::UpdateWindow(control_->hwnd());
    HDC dc = ::GetDC(control_->hwnd());
    const COLORREF c = ::GetPixel(dc, x, y);
    ::ReleaseDC(control_->hwnd(), dc);
    return c;
  }
  RECT Rect() const {
    RECT r{};
    ::GetWindowRect(control_->hwnd(), &r);
    return r;
  }

  PlayerCommands player_;
  ClickTargets clicks_;
  tunelet::BuiltInUiTexts texts_;
  std::optional<ControlWindow> control_;
};

TEST_F(ControlWindowTest, ShowsAtItsSavedPlaceOnTopWithoutTakingTheFocus) {
  const HWND foreground = ::GetForegroundWindow();
  control_->Show();
  const HWND w = control_->hwnd();
  ASSERT_TRUE(w);
  PumpFor(50);
  EXPECT_EQ(::GetForegroundWindow(), foreground);
  EXPECT_TRUE(::IsWindowVisible(w));
  EXPECT_EQ(ClassOf(w), L"Ttlctrlf");
  EXPECT_EQ(CaptionOf(w), L"Tunelet Control");
  const RECT r = Rect();
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 200);
  EXPECT_EQ(r.right - r.left, 158);
  EXPECT_EQ(r.bottom - r.top, 22);
  const LONG_PTR ex = ::GetWindowLongPtrW(w, GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
  EXPECT_FALSE(ex & WS_EX_NOACTIVATE);  // removed once created, so that it can be dragged
  control_->Show();  // at most one
  EXPECT_EQ(control_->hwnd(), w);
}

TEST_F(ControlWindowTest, AnOffScreenPlaceComesBackToTheScreensCentre) {
  tunelet::Settings().ControlWindowX = -500;
  tunelet::Settings().ControlWindowY = -1;
  control_->Show();
  EXPECT_EQ(Rect().left, ::GetSystemMetrics(SM_CXSCREEN) / 2);
  EXPECT_EQ(Rect().top, ::GetSystemMetrics(SM_CYSCREEN) / 2);
}

TEST_F(ControlWindowTest, ButtonsSendTheirCommandsAndCloseStoresThePlace) {
  control_->Show();
  using B = ControlWindow::Button;
  for (B b : {B::Play, B::Pause, B::Stop, B::Previous, B::Next}) Click(b);
  EXPECT_EQ(player_.sent, (std::vector<int>{1, 2, 0, 3, 4}));
  // The info button does nothing without a current file or while the
  // plug-in is off.
  tunelet::Settings().PluginOn = true;
  Click(B::Info);
  EXPECT_EQ(clicks_.quickInfo, 0);
  tunelet::SetText(tunelet::Track().FilePath, u"C:\\Music\\a.mp3");
  tunelet::Settings().PluginOn = false;
  Click(B::Info);
  EXPECT_EQ(clicks_.quickInfo, 0);
  tunelet::Settings().PluginOn = true;
  Click(B::Info);
  EXPECT_EQ(clicks_.quickInfo, 1);
  // Pressed on one button, released on another: no click.
  real_mouse::Press(CentreOf(B::Play));
  PumpFor(20);
  real_mouse::Release(CentreOf(B::Next));
  PumpFor(30);
  EXPECT_EQ(player_.sent.size(), 5u);

  ::SetWindowPos(control_->hwnd(), nullptr, 300, 250, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  const HWND w = control_->hwnd();
  Click(B::Close);
  EXPECT_FALSE(::IsWindow(w));
  EXPECT_EQ(control_->hwnd(), nullptr);
  EXPECT_EQ(tunelet::Settings().ControlWindowX, 300);
  EXPECT_EQ(tunelet::Settings().ControlWindowY, 250);
  control_->Show();  // and back where it was
  EXPECT_EQ(Rect().left, 300);
}

// The pressed look: the glyph of a button held down with the left button
// sits one pixel right and down, and comes back when it is released.
TEST_F(ControlWindowTest, ALeftPressMovesTheButtonsPictureOnePixelUntilReleased) {
  control_->Show();
  PumpFor(30);
  constexpr COLORREF kGlyph = RGB(52, 74, 98);
  // The stop glyph fills (3, 3)-(11, 11) of its button.
  const RECT stop = ControlWindow::ButtonRect(ControlWindow::Button::Stop);
  auto glyphAt = [&](int x, int y) { return PixelAt(stop.left + x, stop.top + y) == kGlyph; };
  ASSERT_TRUE(glyphAt(3, 3));
  ASSERT_FALSE(glyphAt(11, 11));
  const POINT on = CentreOf(ControlWindow::Button::Stop);

  real_mouse::Press(on);
  PumpFor(50);
  EXPECT_FALSE(glyphAt(3, 3));
  EXPECT_TRUE(glyphAt(11, 11));
  EXPECT_TRUE(player_.sent.empty()) << "the click fires on release";
  real_mouse::Release(on);
  PumpFor(50);
  EXPECT_TRUE(glyphAt(3, 3));
  EXPECT_FALSE(glyphAt(11, 11));
  EXPECT_EQ(player_.sent, std::vector<int>{0});

  // Another button does not press it.
  real_mouse::Press(on, real_mouse::Button::Right);
  PumpFor(50);
  EXPECT_TRUE(glyphAt(3, 3));
  EXPECT_FALSE(glyphAt(11, 11));
  real_mouse::Release(on, real_mouse::Button::Right);
  PumpFor(30);
  EXPECT_EQ(player_.sent, std::vector<int>{0});
}

// Dragged by its background with the real mouse: it follows, snaps to the
// edges closer than ten pixels, and the window in front keeps the focus.
TEST_F(ControlWindowTest, DraggedByItsBackgroundItFollowsAndSnapsWithoutTakingTheFocus) {
  // Without a caption: Wine takes about 2 s to destroy a captioned window here.
  HWND front = ::CreateWindowExW(0, L"EDIT", L"chat", WS_POPUP | WS_BORDER | WS_VISIBLE, 400, 400, 200, 100, nullptr,
                                 nullptr, nullptr, nullptr);
  ASSERT_TRUE(front);
  ::SetForegroundWindow(front);
  ::SetFocus(front);
  PumpFor(50);
  ASSERT_EQ(::GetFocus(), front);
  control_->Show();
  PumpFor(30);

  RECT r = DragBy(150, 80);
  EXPECT_EQ(r.left, 250);
  EXPECT_EQ(r.top, 280);
  EXPECT_EQ(r.right - r.left, 158);
  EXPECT_EQ(::GetForegroundWindow(), front);
  EXPECT_EQ(::GetFocus(), front);
  EXPECT_TRUE(player_.sent.empty());

  r = DragBy(9 - r.left, 0);  // within 9 pixels of the left edge: snapped
  EXPECT_EQ(r.left, 0);
  r = DragBy(10, 0);
  EXPECT_EQ(r.left, 10);
  const RECT work = WorkArea();
  r = DragBy(work.right - 5 - r.right, work.bottom - 3 - r.bottom);
  EXPECT_EQ(r.right, work.right);
  EXPECT_EQ(r.bottom, work.bottom);

  // A press on a button is no drag.
  const RECT before = Rect();
  const POINT play = CentreOf(ControlWindow::Button::Play);
  real_mouse::Press(play);
  PumpFor(20);
  real_mouse::MoveTo({play.x - 60, play.y - 60});
  PumpFor(20);
  real_mouse::Release({play.x - 60, play.y - 60});
  PumpFor(30);
  EXPECT_EQ(Rect().left, before.left);
  EXPECT_EQ(Rect().top, before.top);
  EXPECT_TRUE(player_.sent.empty()) << "released off the button";
  EXPECT_EQ(::GetForegroundWindow(), front);
  ::DestroyWindow(front);
}

TEST_F(ControlWindowTest, SnapsToEdgesCloserThanTenPixels) {
  control_->Show();
  const HWND w = control_->hwnd();
  auto moveTo = [&](int x, int y) {
    ::SetWindowPos(w, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return Rect();
  };
  EXPECT_EQ(moveTo(9, 300).left, 0);
  EXPECT_EQ(moveTo(10, 300).left, 10);
  const RECT work = WorkArea();
  EXPECT_EQ(moveTo(work.right - 158 - 5, 300).right, work.right);
  EXPECT_EQ(moveTo(300, work.bottom - 22 + 4).bottom, work.bottom);
}

TEST_F(ControlWindowTest, ResetMovesItNearTheWorkAreasCentre) {
  control_->Show();
  control_->ResetPosition();
  const RECT work = WorkArea();
  EXPECT_EQ(tunelet::Settings().ControlWindowX, work.right / 2 - 83);
  EXPECT_EQ(Rect().left, work.right / 2 - 83);
  EXPECT_EQ(Rect().top, work.bottom / 2 - 28);
}

TEST_F(ControlWindowTest, HidesBehindAFullScreenWindowOnlyWhenAskedTo) {
  control_->Show();
  const HWND w = control_->hwnd();
  HWND full = ::CreateWindowExW(0, L"STATIC", L"video", WS_POPUP | WS_VISIBLE, 0, 0, ::GetSystemMetrics(SM_CXSCREEN),
                                ::GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(full);
  ::SetForegroundWindow(full);
  PumpFor(50);
  ASSERT_EQ(::GetForegroundWindow(), full);
  PumpFor(2200);  // at least one round of the once-a-second timer
  EXPECT_FALSE(::IsWindowVisible(w));
  tunelet::Settings().Hide_tlc = false;
  PumpFor(2200);
  EXPECT_TRUE(::IsWindowVisible(w));
  ::DestroyWindow(full);
}

BOOL CALLBACK FindOwnedTooltip(HWND w, LPARAM found) {
  auto* f = reinterpret_cast<std::pair<HWND, HWND>*>(found);
  if (ClassOf(w) == TOOLTIPS_CLASSW && ::GetWindow(w, GW_OWNER) == f->first) f->second = w;
  return TRUE;
}

TEST_F(ControlWindowTest, QuickInfoAndCloseHaveHintsThatGoWithTheWindow) {
  control_->Show();
  std::pair<HWND, HWND> found{control_->hwnd(), nullptr};
  ::EnumThreadWindows(::GetCurrentThreadId(), &FindOwnedTooltip, LPARAM(&found));
  ASSERT_TRUE(found.second);
  EXPECT_EQ(::SendMessageW(found.second, TTM_GETTOOLCOUNT, 0, 0), 2);
  control_->Close();
  EXPECT_FALSE(::IsWindow(found.second));
}

TEST_F(ControlWindowTest, ClosesWithItsOwner) {
  control_->Show();
  const HWND w = control_->hwnd();
  control_.reset();
  EXPECT_FALSE(::IsWindow(w));
}

// The real DLL: a plug-in that starts switched off announces it on its first
// poll, with the INI's out-of-range Transp and Delay replaced by 230 and 5 s.
TEST(PopupsInHost, StatePopupAtTheFirstTickWithDefaultsForOutOfRangeSettings) {
  host_test::PluginCopy copy;
  copy.WriteQuietIni();
  copy.WriteIni(L"Popup", L"Transp", L"10");
  copy.WriteIni(L"Popup", L"Delay", L"16");
  talkeo_sim::SimHost host;
  std::string error;
  ASSERT_TRUE(host.Load(copy.Dll(), &error)) << error;
  host.Record().Initialised = 1;
  host.Record().PluginOn = 0;
  ASSERT_TRUE(host.Start());

  HWND popup = nullptr;
  auto found = [&] {
    popup = ::FindWindowW(L"Tpopform", L"Tunelet popup");
    return popup != nullptr;
  };
  ASSERT_TRUE(host_test::PumpUntil(host, found, 3000 + 3000));
  const uint32_t seenMs = host.Now();
  EXPECT_EQ(HMODULE(::GetClassLongPtrW(popup, GCLP_HMODULE)), host.Module());
  EXPECT_EQ(AlphaOf(popup), 230);
  ASSERT_TRUE(host_test::PumpUntil(host, [&] { return !::IsWindow(popup); }, 5000 + 4000));
  // Closed by its 5-second timer: never before, and long before 15 or 16 s.
  const uint32_t lifeMs = host.Now() - seenMs;
  EXPECT_GE(lifeMs, 4800u);
  EXPECT_LE(lifeMs, 5000u + 4000u);
  host.Shutdown();
  host.Unload();
}

}  // namespace
