// QuickInfo under Wine, through the ui layer in this process: its place,
// styles and texts, the cover from a tagged MP3 and the placeholder for a
// stream (looked at pixel by pixel), Timer1 with the real mouse, the clicks,
// and the GDI and USER objects it leaves behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "metadata/cover.h"
#include "metadata/entry_points.h"
#include "model/settings.h"
#include "real_mouse.h"
#include "sample_track.h"
#include "ui/quick_info.h"
#include "ui/win32/quick_info_window.h"
#include "ui/win32/user_interface_win32.h"

namespace {

using tunelet::win32::QuickInfoWindow;

void Pump() {
  MSG m;
  while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&m);
    ::DispatchMessageW(&m);
  }
}
// Pumps messages until done() or boundMs; the milliseconds it took, or
// nothing when the bound ran out.
template <typename Done>
std::optional<DWORD> PumpUntil(Done done, DWORD boundMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    Pump();
    const DWORD took = ::GetTickCount() - start;
    if (done()) return took;
    if (took >= boundMs) return std::nullopt;
    ::Sleep(5);
  }
}
void PumpFor(DWORD ms) { PumpUntil([] { return false; }, ms); }

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
RECT WorkArea() {
  RECT r{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}
RECT RectOf(HWND hwnd) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  return r;
}

// A pixel of the window's client area as the screen shows it.
COLORREF PixelAt(HWND hwnd, int x, int y) {
  ::UpdateWindow(hwnd);
  HDC dc = ::GetDC(hwnd);
  const COLORREF c = ::GetPixel(dc, x, y);
  ::ReleaseDC(hwnd, dc);
  return c;
}
bool Near(COLORREF a, COLORREF b, int tolerance = 3) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

constexpr COLORREF kCoverColour = RGB(200, 30, 60);         // the tag's picture
constexpr COLORREF kFolderPictureColour = RGB(20, 160, 40);  // beside the track

struct GuiCounts {
  DWORD gdi, user;
  bool operator==(const GuiCounts&) const = default;
};
GuiCounts CountGuiObjects() {
  return {::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS),
          ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS)};
}
int LiveObjects(const std::vector<HGDIOBJ>& objects) {
  int n = 0;
  for (HGDIOBJ o : objects) n += ::GetObjectType(o) != 0;
  return n;
}
BOOL CALLBACK CountCardWindow(HWND w, LPARAM count) {
  *reinterpret_cast<int*>(count) += ClassOf(w) == L"Tinfoform";
  return TRUE;
}
int CardWindowsOfThisThread() {
  int n = 0;
  ::EnumThreadWindows(::GetCurrentThreadId(), &CountCardWindow, LPARAM(&n));
  return n;
}

class QuickInfo : public ::testing::Test {
 protected:
  void SetUp() override {
    tunelet::ResetSettings();
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"tunelet-quickinfo-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    card_.emplace(texts_);
    card_->SetShellOpen([this](const std::u16string& p) { opened_.push_back(p); });
    ParkMouse();
  }
  void TearDown() override {
    card_.reset();
    tunelet::DeleteTemporaryCovers();
    tunelet::ResetSettings();
    for (const wchar_t* name : {L"song.mp3", L"cover.bmp"}) ::DeleteFileW((folder_ + name).c_str());
    ::RemoveDirectoryW(folder_.c_str());
  }
  // The mouse away from the card, over no window of ours.
  static void ParkMouse() { ::SetCursorPos(2, 2); }

  // A tagged MP3 with a plain red cover, read as the plug-in reads it.
  void PlayTaggedMp3() {
    const auto red = sample_track::Bmp(120, 80, [](int, int) { return 0xC8'1E'3Cu; });
    sample_track::Tags tags{u"Звезда по имени Солнце", u"Кино", u"Звезда по имени Солнце", u"1989", u"Rock"};
    const std::wstring path = folder_ + L"song.mp3";
    ASSERT_TRUE(sample_track::WriteFile(path, sample_track::Mp3(tags, red, 200)));
    // A folder picture that must not be used: the tag has its own.
    ASSERT_TRUE(sample_track::WriteFile(folder_ + L"cover.bmp",
                                        sample_track::Bmp(40, 40, [](int, int) { return 0x14'A0'28u; })));
    const std::u16string u(path.begin(), path.end());
    tunelet::SetText(tunelet::Track().FilePath, u);
    tunelet::ClassifyAndRead(u);
    ASSERT_FALSE(tunelet::IsEmpty(tunelet::Track().CoverFile));
  }
  void PlayStream() {
    tunelet::ClearTrackInfo(tunelet::Track());
    tunelet::SetText(tunelet::Track().FilePath, u"http://radio.example:8000/stream");
    tunelet::SetText(tunelet::Track().Title, u"Radio");
    tunelet::Track().Bitrate = 128;
  }
  HWND ShowCard() {
    card_->Show();
    PumpFor(30);
    return card_->hwnd();
  }

  tunelet::BuiltInUiTexts texts_;
  std::wstring folder_;
  std::optional<QuickInfoWindow> card_;
  std::vector<std::u16string> opened_;
};

TEST_F(QuickInfo, ShowsAtTheCornerWithItsStylesWithoutTakingTheFocusAndRefreshesInPlace) {
  HWND front = ::CreateWindowExW(0, L"STATIC", L"chat", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                 nullptr, nullptr, nullptr, nullptr);
  ::SetForegroundWindow(front);
  PumpFor(30);
  const HWND foreground = ::GetForegroundWindow();
  PlayStream();
  const HWND w = ShowCard();
  ASSERT_TRUE(w);
  EXPECT_EQ(::GetForegroundWindow(), foreground);
  EXPECT_TRUE(::IsWindowVisible(w));
  EXPECT_EQ(ClassOf(w), L"Tinfoform");
  EXPECT_EQ(CaptionOf(w), L"Tunelet QuickInfo");
  const RECT work = WorkArea(), r = RectOf(w);
  EXPECT_EQ(r.right - r.left, 329);
  EXPECT_EQ(r.bottom - r.top, 112);
  EXPECT_EQ(r.left, work.right - 329 - 8);
  EXPECT_EQ(r.top, work.bottom - 112 - 5);
  const LONG_PTR style = ::GetWindowLongPtrW(w, GWL_STYLE), ex = ::GetWindowLongPtrW(w, GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & WS_CAPTION);
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_FALSE(ex & WS_EX_NOACTIVATE);  // it can be activated
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof(v);
  ::GetVersionExW(&v);
  const bool shadow = (v.dwMajorVersion == 5 && v.dwMinorVersion == 1) || v.dwMajorVersion >= 6;
  EXPECT_EQ((::GetClassLongPtrW(w, GCL_STYLE) & CS_DROPSHADOW) != 0, shadow);

  const tunelet::QuickInfoTexts* t = card_->Texts();
  ASSERT_TRUE(t);
  EXPECT_EQ(t->title, u"Radio");
  EXPECT_EQ(t->artist, u"Неизвестный исполнитель");
  EXPECT_EQ(t->album, u"-");
  EXPECT_EQ(t->fileInfo, u"128 kbps");

  // Moved by the user, then asked for again: the same window, refilled where it is.
  ::SetWindowPos(w, nullptr, 100, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  tunelet::SetText(tunelet::Track().Title, u"Next");
  EXPECT_EQ(ShowCard(), w);
  EXPECT_EQ(RectOf(w).left, 100);
  EXPECT_EQ(card_->Texts()->title, u"Next");
  EXPECT_EQ(CardWindowsOfThisThread(), 1);
  ::DestroyWindow(front);
}

TEST_F(QuickInfo, ShowsTheTagsCoverAndThePlaceholderForAStream) {
  PlayTaggedMp3();
  const HWND w = ShowCard();
  ASSERT_TRUE(w);
  EXPECT_FALSE(card_->ShowsPlaceholder());
  const RECT cover = QuickInfoWindow::kCoverRect;
  for (POINT p : {POINT{cover.left, cover.top}, POINT{cover.right - 1, cover.bottom - 1},
                  POINT{(cover.left + cover.right) / 2, (cover.top + cover.bottom) / 2}}) {
    const COLORREF c = PixelAt(w, p.x, p.y);
    EXPECT_TRUE(Near(c, kCoverColour)) << "at " << p.x << "," << p.y << ": " << std::hex << c;
    EXPECT_FALSE(Near(c, kFolderPictureColour));
  }
  EXPECT_EQ(card_->Texts()->artist, u"Кино");
  EXPECT_EQ(card_->Texts()->year, u"1989");

  // The placeholder is NOCOVER of this module's resources, pixel for pixel.
  PlayStream();
  card_->Refresh();
  EXPECT_TRUE(card_->ShowsPlaceholder());
  HBITMAP nocover = HBITMAP(::LoadImageW(::GetModuleHandleW(nullptr), L"NOCOVER", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_TRUE(nocover);
  BITMAP info{};
  ::GetObjectW(nocover, sizeof(info), &info);
  EXPECT_EQ(info.bmWidth, 99);
  EXPECT_EQ(info.bmHeight, 99);
  EXPECT_EQ(info.bmBitsPixel, 24);
  HDC memory = ::CreateCompatibleDC(nullptr);
  const HGDIOBJ old = ::SelectObject(memory, nocover);
  int differing = 0;
  for (int y = 0; y < 99; y += 7)
    for (int x = 0; x < 99; x += 7)
      differing += !Near(::GetPixel(memory, x, y), PixelAt(w, cover.left + x, cover.top + y), 0);
  ::SelectObject(memory, old);
  ::DeleteDC(memory);
  ::DeleteObject(nocover);
  EXPECT_EQ(differing, 0);
}

TEST_F(QuickInfo, ClosesAboutTwoAndAHalfSecondsAfterAppearingWhenTheMouseIsElsewhere) {
  POINT p{};
  ::GetCursorPos(&p);
  ASSERT_EQ(p.x, 2) << "SetCursorPos moves the mouse";
  PlayStream();
  const HWND w = ShowCard();
  ASSERT_TRUE(w);
  const std::optional<DWORD> life = PumpUntil([&] { return !::IsWindow(w); }, 4500);
  ASSERT_TRUE(life) << "still open after 4.5 s";
  EXPECT_GE(*life, 2400u);
  EXPECT_LE(*life, 3300u);
  EXPECT_EQ(card_->hwnd(), nullptr);
  EXPECT_EQ(CardWindowsOfThisThread(), 0);
}

TEST_F(QuickInfo, StaysWhileTheMouseRestsOnItAndClosesAboutASecondAfterItLeaves) {
  PlayStream();
  const HWND w = ShowCard();
  ASSERT_TRUE(w);
  const RECT r = RectOf(w);
  ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  ASSERT_EQ(::WindowFromPoint({(r.left + r.right) / 2, (r.top + r.bottom) / 2}), w);
  PumpFor(3700);  // past the first tick and one of a second
  ASSERT_TRUE(::IsWindow(w));
  ParkMouse();
  const std::optional<DWORD> rest = PumpUntil([&] { return !::IsWindow(w); }, 2500);
  ASSERT_TRUE(rest) << "still open 2.5 s after the mouse left";
  EXPECT_LE(*rest, 1300u);
}

TEST_F(QuickInfo, ClicksOpenTheFolderAndTheCoverOrClose) {
  PlayTaggedMp3();
  const HWND w = ShowCard();
  const std::u16string cover = *tunelet::Track().CoverFile;
  const std::u16string folder(folder_.begin(), folder_.end());
  auto send = [&](UINT msg, POINT p) { ::SendMessageW(w, msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(p.x, p.y)); };
  const POINT onFileName{120, 98}, onCover{50, 50}, onTitle{200, 12};

  send(WM_LBUTTONDOWN, onFileName);
  send(WM_LBUTTONDOWN, onCover);
  send(WM_LBUTTONUP, onCover);
  send(WM_MBUTTONUP, onTitle);
  send(WM_MBUTTONUP, onFileName);  // the file name only opens its folder
  EXPECT_EQ(opened_, (std::vector<std::u16string>{folder, cover, cover}));
  send(WM_RBUTTONUP, onFileName);
  send(WM_RBUTTONUP, onCover);
  EXPECT_TRUE(::IsWindow(w));

  // The placeholder opens nothing, and a stream has no folder.
  opened_.clear();
  PlayStream();
  card_->Refresh();
  send(WM_LBUTTONDOWN, onCover);
  send(WM_LBUTTONUP, onCover);
  send(WM_MBUTTONUP, onTitle);
  send(WM_LBUTTONDOWN, onFileName);
  EXPECT_TRUE(opened_.empty());

  send(WM_RBUTTONUP, onTitle);
  EXPECT_FALSE(::IsWindow(w));
  EXPECT_EQ(card_->hwnd(), nullptr);
}

// Drags the card with the real mouse from a client point by (dx, dy): the
// press, moves of at most 8 pixels as a mouse gives them, and the release,
// through the input queue and pumped between the steps.
void DragCard(HWND card, POINT client, int dx, int dy) {
  POINT from = client;
  ::ClientToScreen(card, &from);
  real_mouse::Press(from);
  PumpFor(20);
  const int steps = std::max(std::abs(dx), std::abs(dy)) / 8 + 1;
  for (int i = 1; i <= steps; ++i) {
    real_mouse::MoveTo({from.x + dx * i / steps, from.y + dy * i / steps});
    PumpFor(15);
  }
  real_mouse::Release({from.x + dx, from.y + dy});
  PumpFor(30);
}

TEST_F(QuickInfo, DraggedByItsLabelsAndBackgroundButNotByTheFileNameOrTheCover) {
  PlayTaggedMp3();
  const HWND w = ShowCard();
  ASSERT_TRUE(w);
  const RECT start = RectOf(w);
  DragCard(w, {200, 12}, -150, -100);  // by the title
  RECT r = RectOf(w);
  EXPECT_EQ(r.left, start.left - 150);
  EXPECT_EQ(r.top, start.top - 100);
  DragCard(w, {200, 89}, 40, 30);  // by the background above the file name
  r = RectOf(w);
  EXPECT_EQ(r.left, start.left - 110);
  EXPECT_EQ(r.top, start.top - 70);
  EXPECT_TRUE(opened_.empty());

  // The file name opens its folder at the press and the cover its file at
  // the release; neither moves the card.
  DragCard(w, {150, 98}, -60, -40);
  DragCard(w, {50, 50}, 20, 20);
  EXPECT_EQ(RectOf(w).left, r.left);
  EXPECT_EQ(RectOf(w).top, r.top);
  const std::u16string folder(folder_.begin(), folder_.end());
  EXPECT_EQ(opened_, (std::vector<std::u16string>{folder, *tunelet::Track().CoverFile}));
  EXPECT_TRUE(::IsWindow(w));
}

TEST_F(QuickInfo, TheHandCursorShowsOverARealCoverAndTheFileNameOnly) {
  PlayTaggedMp3();
  const HWND w = ShowCard();
  ASSERT_TRUE(w);
  // The cursor the card sets when the real mouse comes to a client point.
  auto cursorAt = [&](int x, int y) {
    POINT p{x, y};
    ::ClientToScreen(w, &p);
    real_mouse::MoveTo(p);
    PumpFor(40);
    return ::GetCursor();
  };
  const HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND), arrow = ::LoadCursorW(nullptr, IDC_ARROW);
  EXPECT_EQ(cursorAt(50, 50), hand) << "a cover";
  EXPECT_EQ(cursorAt(200, 12), arrow) << "the title";
  EXPECT_EQ(cursorAt(150, 98), hand) << "the file name";
  EXPECT_EQ(cursorAt(200, 89), arrow) << "the background";

  PlayStream();
  card_->Refresh();
  EXPECT_EQ(cursorAt(52, 52), arrow) << "the placeholder";
  EXPECT_EQ(cursorAt(150, 99), hand) << "the file name";
}

TEST_F(QuickInfo, NoGdiOrUserObjectsAreLeftBehindAlsoAfterTwentyCycles) {
  PlayTaggedMp3();
  const tunelet::TrackInfo tagged = tunelet::Track();
  ShowCard();
  card_->Close();  // GDI+ is started now and stays for the owner's life
  PumpFor(30);
  const GuiCounts before = CountGuiObjects();
  std::vector<HGDIOBJ> held;
  for (int i = 0; i < 20; ++i) {
    if (i % 2)
      PlayStream();
    else
      tunelet::Track() = tagged;
    ASSERT_TRUE(ShowCard());
    const std::vector<HGDIOBJ> own = card_->GdiObjects();
    ASSERT_EQ(own.size(), 6u);  // five fonts and the cover canvas
    EXPECT_EQ(LiveObjects(own), 6);
    held.insert(held.end(), own.begin(), own.end());
    ::UpdateWindow(card_->hwnd());
    card_->Close();
    PumpFor(10);
  }
  const GuiCounts after = CountGuiObjects();
  EXPECT_EQ(after, before);
  EXPECT_EQ(LiveObjects(held), 0);
  EXPECT_EQ(CardWindowsOfThisThread(), 0);
  std::printf("GetGuiResources GDI/USER: %lu/%lu before, %lu/%lu after 20 cycles\n", before.gdi, before.user,
              after.gdi, after.user);
}

TEST(QuickInfoInTheInterface, ShownByShowQuickInfoAndClosedByCloseDialogs) {
  tunelet::ResetSettings();
  tunelet::SetText(tunelet::Track().FilePath, u"http://radio.example/stream");
  tunelet::IPlayerAccess noPlayer;
  {
    tunelet::BuiltInUiTexts texts;
    tunelet::win32::Win32UserInterface ui(noPlayer, texts);
    ui.ShowQuickInfo();
    const HWND w = ::FindWindowW(L"Tinfoform", L"Tunelet QuickInfo");
    ASSERT_TRUE(w);
    ui.ShowQuickInfo();  // refreshed, not a second one
    EXPECT_EQ(CardWindowsOfThisThread(), 1);
    ui.CloseDialogs();
    EXPECT_FALSE(::IsWindow(w));
    ui.ShowQuickInfo();
    ASSERT_TRUE(::FindWindowW(L"Tinfoform", nullptr));
  }  // closed with its owner
  EXPECT_FALSE(::FindWindowW(L"Tinfoform", nullptr));
  tunelet::ResetSettings();
}

}  // namespace
