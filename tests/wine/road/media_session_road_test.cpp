// The system media session on the whole road under Wine: the real Tunelet.dll
// in the simulated host, the simulated session manager (tools/fake-session)
// activated by the system's runtime through its registration, and for the
// cases with a classic player the simulated Winamp in its own process.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fake_player_client.h"
#include "fake_sessions.h"
#include "host_test_support.h"
#include "plugin_windows.h"
#include "sim_host.h"

namespace {

using host_test::PluginCopy;
using talkeo_sim::ClickAt;
using talkeo_sim::FindPluginWindow;
using talkeo_sim::MouseButton;
using talkeo_sim::SentMessage;
using talkeo_sim::SimHost;
using talkeo_sim::WindowView;
using talkeo_sim::WindowWatch;
using talkeo_sim::XStatus;
using tunelet::testing::FakeOutcome;
using tunelet::testing::FakePlaybackType;
using tunelet::testing::FakePlayer;
using tunelet::testing::FakeSession;
using tunelet::testing::FakeSessionManager;
using tunelet::testing::FakeSessionScript;
using tunelet::testing::FakeSessionStatus;

constexpr uint32_t kPollMs = 3000;  // the shortest poll period, which the quiet INI sets
constexpr uint32_t kDelayMs = 900;  // from the clear to the publish or the restore
constexpr uint32_t kStepBoundMs = kPollMs + kDelayMs + 2500;
constexpr uint32_t kQuietMs = kPollMs + kDelayMs + 300;
constexpr uint32_t kClickBoundMs = 2000;
// One poll waits on players at most this long in all (the plug-in's budget
// of 1.5 s), plus a margin for a busy machine.
constexpr uint32_t kTickBoundMs = 1500 + 700;

const XStatus kUsersOwn{5, L"Пью пиво", L"с друзьями"};

const wchar_t kPopupClass[] = L"Tpopform";
const wchar_t kQuickInfoClass[] = L"Tinfoform";
const wchar_t kControlClass[] = L"Ttlctrlf";
// The QuickInfo card's cover, in client coordinates.
constexpr RECT kCoverRect{7, 7, 7 + 99, 7 + 99};
// The control window's buttons i_play, i_pause, i_stop, i_prev, i_next.
struct Box {
  int left, top, width, height;
};
constexpr Box kPlay{17, 5, 14, 14}, kPause{34, 5, 14, 14}, kStop{51, 5, 14, 14}, kPrev{72, 5, 14, 14},
    kNext{89, 5, 14, 14};

constexpr COLORREF kThumbnailColour = RGB(200, 30, 40);

std::string Utf8(const std::wstring& w) { return talkeo_sim::ToUtf8(w); }

// An 8 × 8 BMP of one colour, 24 bits per pixel (rows of 24 bytes need no padding).
std::vector<uint8_t> SolidBmp(COLORREF colour) {
  constexpr uint32_t kSide = 8, kRowBytes = kSide * 3, kPixelBytes = kRowBytes * kSide, kOffset = 14 + 40;
  std::vector<uint8_t> b;
  auto u16 = [&](uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  b.push_back('B'), b.push_back('M');
  u32(kOffset + kPixelBytes), u32(0), u32(kOffset);
  u32(40), u32(kSide), u32(kSide), u16(1), u16(24), u32(0), u32(kPixelBytes), u32(2835), u32(2835), u32(0), u32(0);
  for (uint32_t i = 0; i < kSide * kSide; ++i)
    b.push_back(GetBValue(colour)), b.push_back(GetGValue(colour)), b.push_back(GetRValue(colour));
  return b;
}

bool Near(COLORREF a, COLORREF b, int tolerance = 12) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

COLORREF CoverCentre(HWND hwnd) {
  ::UpdateWindow(hwnd);
  HDC dc = ::GetDC(hwnd);
  const COLORREF c = ::GetPixel(dc, (kCoverRect.left + kCoverRect.right) / 2, (kCoverRect.top + kCoverRect.bottom) / 2);
  ::ReleaseDC(hwnd, dc);
  return c;
}

POINT CentreOf(HWND hwnd, const Box& b) {
  return talkeo_sim::ClientToScreenPoint(hwnd, b.left + b.width / 2, b.top + b.height / 2);
}

FakeSession Playing(const std::wstring& appId, const std::wstring& artist, const std::wstring& title) {
  FakeSession s;
  s.appId = appId;
  s.current = true;
  s.status = FakeSessionStatus::Playing;
  s.artist = artist;
  s.title = title;
  s.album = L"Альбом";
  s.endTicks = 215LL * 10'000'000;
  return s;
}

class MediaSessionRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    copy_.WriteQuietIni();
    ASSERT_TRUE(sessions_.ready());
  }
  void TearDown() override {
    player_.reset();
    host_.Unload();
  }

  // Loads the plug-in on its first-run defaults (mode 21, its own
  // templates), switched on, while the user shows their own X-status.
  // Web browsers start switched off in the privacy choices: the user
  // switched this one on.
  void ShareBrowser(const wchar_t* appId) {
    copy_.WriteIni(L"Privacy", L"Apps", L"1");
    copy_.WriteIni(L"Privacy", L"App1", appId);
    copy_.WriteIni(L"Privacy", L"Appshared1", L"1");
  }
  void LoadPlugin(bool popups = false) {
    std::string error;
    ASSERT_TRUE(host_.Load(copy_.Dll(), &error)) << error;
    host_.Record().PluginOn = 1;
    host_.Record().PopupsOn = popups ? 1 : 0;
    host_.UserSetsXStatus(kUsersOwn.picture, kUsersOwn.title, kUsersOwn.text);
    watch_.Watch();
  }
  void Show(FakeSessionScript script) { ASSERT_TRUE(sessions_.Write(std::move(script))); }
  void Show(FakeSession session) { Show(FakeSessionScript().Add(std::move(session))); }

  bool PumpUntil(const std::function<bool()>& done, uint32_t boundMs) {
    return host_test::PumpUntil(host_, done, boundMs);
  }
  bool PumpUntilShown(const XStatus& want, uint32_t boundMs = kStepBoundMs) {
    return PumpUntil([&] { return host_.Shown() == want; }, boundMs);
  }
  std::string ShownText() const { return talkeo_sim::DescribeXStatus(host_.Shown()); }
  std::vector<SentMessage> Sets() const { return host_test::SentXStatusChanges(host_); }
  void ExpectClearThen(const XStatus& after) const { host_test::ExpectClearThen(host_, after); }

  // Dispatches the host's messages for ms and answers the longest time one
  // message took: a poll runs inside one (the plug-in's timer).
  uint32_t LongestDispatchWhilePumping(uint32_t ms) {
    uint32_t longest = 0;
    const DWORD end = ::GetTickCount() + ms;
    while (int32_t(end - ::GetTickCount()) > 0) {
      MSG m;
      if (!::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        continue;
      }
      const DWORD start = ::GetTickCount();
      ::TranslateMessage(&m);
      ::DispatchMessageW(&m);
      longest = std::max<uint32_t>(longest, ::GetTickCount() - start);
    }
    return longest;
  }

  // Winamp with a tagged file at entry 0 of its playlist, playing.
  void StartWinamp(const std::wstring& artist, const std::wstring& title) {
    player_.emplace(L"WINAMP.EXE");
    ASSERT_TRUE(player_->ready());
    ASSERT_EQ(player_->Run("window main \"Winamp v1.x\" \"Winamp\"\n"
                           "answer main 1024 0 104 1\n"
                           "answer main 1024 0 125 0"),
              0);
    const std::wstring path = copy_.Folder() + L"\\winamp.mp3";
    host_test::WriteTaggedMp3(path, artist, title);
    ASSERT_NE(player_->Run("playlist 0 \"" + Utf8(path) + "\""), FakePlayer::kFailed);
  }

  std::optional<WindowView> WaitForPopup() { return watch_.WaitFor(kPopupClass, true, kStepBoundMs); }
  // A click on the popup's text opens QuickInfo where the popup was.
  std::optional<WindowView> OpenQuickInfoFrom(const WindowView& popup) {
    if (!ClickAt({popup.rect.left + 60, popup.rect.top + 40}, MouseButton::Left)) return std::nullopt;
    return watch_.WaitFor(kQuickInfoClass, true, kClickBoundMs);
  }

  PluginCopy copy_;
  FakeSessionManager sessions_;
  SimHost host_;
  WindowWatch watch_{host_};
  std::optional<FakePlayer> player_;
};

TEST_F(MediaSessionRoad, APlayingSessionIsPublishedWithItsAppsNameAndThumbnailAndItsCloseRestores) {
  const std::wstring thumbnail = sessions_.folder() + L"\\thumb.bmp";
  ASSERT_TRUE(tunelet::testing::WriteBytesFile(thumbnail, SolidBmp(kThumbnailColour)));
  FakeSession spotify = Playing(L"Spotify.exe", L"Aurora Lane", L"Полярная ночь");
  spotify.thumbnailPath = thumbnail;
  ASSERT_NO_FATAL_FAILURE(Show(spotify));
  ASSERT_NO_FATAL_FAILURE(LoadPlugin(true));
  ASSERT_TRUE(host_.Start());

  const XStatus published{11, L"Слушаю:", L"Aurora Lane \"Полярная ночь\""};
  ASSERT_TRUE(PumpUntilShown(published)) << ShownText();
  ExpectClearThen(published);

  const std::optional<WindowView> popup = WaitForPopup();
  ASSERT_TRUE(popup);
  ASSERT_FALSE(popup->texts.empty()) << talkeo_sim::DescribeWindow(*popup);
  EXPECT_EQ(popup->texts[0], L"Spotify") << talkeo_sim::DescribeWindow(*popup);

  const std::optional<WindowView> info = OpenQuickInfoFrom(*popup);
  ASSERT_TRUE(info);
  EXPECT_TRUE(Near(CoverCentre(info->hwnd), kThumbnailColour)) << std::hex << CoverCentre(info->hwnd);

  // The session closes: the user's own X-status comes back one delay after the clear.
  spotify.status = FakeSessionStatus::Closed;
  ASSERT_NO_FATAL_FAILURE(Show(spotify));
  ASSERT_TRUE(PumpUntilShown(kUsersOwn)) << ShownText();
  ExpectClearThen(kUsersOwn);

  // Every object the route was handed (manager, sessions, properties,
  // thumbnail stream, operations) is released once the plug-in is gone.
  host_.Unload();
  EXPECT_TRUE(tunelet::testing::WaitForNoFakeSessionObjects(3000)) << tunelet::testing::FakeSessionObjectsAlive();
}

TEST_F(MediaSessionRoad, ALateThumbnailRefreshesTheOpenQuickInfo) {
  const std::wstring thumbnail = sessions_.folder() + L"\\late.bmp";
  ASSERT_TRUE(tunelet::testing::WriteBytesFile(thumbnail, SolidBmp(kThumbnailColour)));
  FakeSession browser = Playing(L"chrome.exe", L"Исполнитель", L"Песня");
  browser.thumbnailPath = thumbnail;
  browser.read = FakeOutcome::After(kPollMs + 1500);  // arrives after the publish
  ASSERT_NO_FATAL_FAILURE(Show(browser));
  ShareBrowser(L"chrome.exe");
  ASSERT_NO_FATAL_FAILURE(LoadPlugin(true));
  ASSERT_TRUE(host_.Start());

  const std::optional<WindowView> popup = WaitForPopup();
  ASSERT_TRUE(popup);
  EXPECT_EQ(popup->texts.empty() ? L"" : popup->texts[0], L"Chrome");
  const std::optional<WindowView> info = OpenQuickInfoFrom(*popup);
  ASSERT_TRUE(info);
  EXPECT_FALSE(Near(CoverCentre(info->hwnd), kThumbnailColour));
  EXPECT_TRUE(PumpUntil([&] { return ::IsWindow(info->hwnd) && Near(CoverCentre(info->hwnd), kThumbnailColour); },
                        2 * kPollMs + 2500));
}

TEST_F(MediaSessionRoad, APlayingSessionBeatsAPausedCurrentOneAndAPlayingWinampBeatsBoth) {
  FakeSession paused = Playing(L"AIMP.exe", L"Пауза", L"Стоит");
  paused.status = FakeSessionStatus::Paused;
  FakeSession playing = Playing(L"MusicBee.exe", L"Играет", L"Звучит");
  playing.current = false;
  ASSERT_NO_FATAL_FAILURE(Show(FakeSessionScript().Add(paused).Add(playing)));
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  ASSERT_TRUE(host_.Start());
  const XStatus session{11, L"Слушаю:", L"Играет \"Звучит\""};
  ASSERT_TRUE(PumpUntilShown(session)) << ShownText();

  // A classic player that plays keeps its priority.
  ASSERT_NO_FATAL_FAILURE(StartWinamp(L"Винамп", L"Классика"));
  const XStatus winamp{11, L"Слушаю:", L"Винамп \"Классика\""};
  ASSERT_TRUE(PumpUntilShown(winamp)) << ShownText();
  host_.Pump(kQuietMs);
  EXPECT_EQ(host_.Shown(), winamp) << ShownText();

  // Winamp stops while it still runs: the session speaks again.
  ASSERT_EQ(player_->Run("answer main 1024 0 104 0"), 0);
  ASSERT_TRUE(PumpUntilShown(session)) << ShownText();
}

TEST_F(MediaSessionRoad, AHungManagerCostsABoundedTickAndTheShownTrackStays) {
  FakeSession spotify = Playing(L"Spotify.exe", L"Исполнитель", L"Песня");
  ASSERT_NO_FATAL_FAILURE(Show(spotify));
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  ASSERT_TRUE(host_.Start());
  const XStatus published{11, L"Слушаю:", L"Исполнитель \"Песня\""};
  ASSERT_TRUE(PumpUntilShown(published)) << ShownText();

  // RequestAsync never completes, then the media properties never come.
  FakeSessionScript hung;
  hung.request = FakeOutcome::Hang();
  ASSERT_NO_FATAL_FAILURE(Show(hung.Add(spotify)));
  host_.ClearLogs();
  const uint32_t requestHung = LongestDispatchWhilePumping(3 * kPollMs);
  EXPECT_LE(requestHung, kTickBoundMs);
  EXPECT_TRUE(Sets().empty()) << "the X-status flapped: " << ShownText();

  spotify.properties = FakeOutcome::Hang();
  ASSERT_NO_FATAL_FAILURE(Show(spotify));
  host_.ClearLogs();
  const uint32_t propertiesHung = LongestDispatchWhilePumping(3 * kPollMs);
  EXPECT_LE(propertiesHung, kTickBoundMs);
  std::printf("longest poll while the manager hangs: %u ms (request), %u ms (properties)\n", requestHung,
              propertiesHung);
  EXPECT_TRUE(Sets().empty()) << "the X-status flapped: " << ShownText();
  EXPECT_EQ(host_.Shown(), published) << ShownText();

  // The manager answers again: the same track is not published again.
  spotify.properties = FakeOutcome::Now();
  ASSERT_NO_FATAL_FAILURE(Show(spotify));
  host_.ClearLogs();
  host_.Pump(kQuietMs);
  EXPECT_TRUE(Sets().empty()) << ShownText();
}

TEST_F(MediaSessionRoad, WithoutARegisteredManagerNothingFailsAndNothingIsAsked) {
  ASSERT_TRUE(tunelet::testing::UnregisterFakeSessionManager());
  ASSERT_NO_FATAL_FAILURE(Show(Playing(L"Spotify.exe", L"Исполнитель", L"Песня")));
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  ASSERT_TRUE(host_.Start());
  EXPECT_LT(LongestDispatchWhilePumping(2 * kPollMs + 500), 500u);
  EXPECT_TRUE(Sets().empty()) << ShownText();
  EXPECT_EQ(host_.Shown(), kUsersOwn);
}

TEST_F(MediaSessionRoad, AVideoSessionIsIgnoredWithIgnoreVideoAndShownAsAVideoWithout) {
  FakeSession video = Playing(L"MSEdge", L"Клип", L"Лето");
  video.type = FakePlaybackType::Video;
  ASSERT_NO_FATAL_FAILURE(Show(video));
  ShareBrowser(L"MSEdge");
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  host_.Record().IgnoreVideo = 1;
  ASSERT_TRUE(host_.Start());
  host_.Pump(kQuietMs);
  EXPECT_TRUE(Sets().empty()) << ShownText();

  // The same session plays music now: shown.
  video.type = FakePlaybackType::Music;
  ASSERT_NO_FATAL_FAILURE(Show(video));
  ASSERT_TRUE(PumpUntilShown({11, L"Слушаю:", L"Клип \"Лето\""})) << ShownText();
}

// A web browser's session is not shared until the user switches it on; the
// browser is remembered, switched off, for the options dialog to list.
TEST_F(MediaSessionRoad, ABrowsersSessionIsNotSharedByDefaultAndIsRememberedSwitchedOff) {
  ASSERT_NO_FATAL_FAILURE(Show(Playing(L"MSEdge", L"Исполнитель", L"Песня")));
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  ASSERT_TRUE(host_.Start());
  host_.Pump(kQuietMs);
  EXPECT_TRUE(Sets().empty()) << ShownText();
  EXPECT_EQ(host_.Shown(), kUsersOwn);
  EXPECT_EQ(copy_.ReadIniInt(L"Privacy", L"Apps", 0), 1);
  EXPECT_EQ(copy_.ReadIniInt(L"Privacy", L"Appshared1", -1), 0);
}

TEST_F(MediaSessionRoad, AVideoSessionGetsTheVideoPictureAndTitle) {
  FakeSession video = Playing(L"MSEdge", L"Клип", L"Лето");
  video.type = FakePlaybackType::Video;
  ASSERT_NO_FATAL_FAILURE(Show(video));
  ShareBrowser(L"MSEdge");
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  ASSERT_TRUE(host_.Start());
  ASSERT_TRUE(PumpUntilShown({8, L"Смотрю:", L"Клип \"Лето\""})) << ShownText();
}

TEST_F(MediaSessionRoad, EachControlWindowButtonReachesTheSession) {
  copy_.WriteIni(L"Others", L"Show_tlc", L"1");
  ASSERT_NO_FATAL_FAILURE(Show(Playing(L"Spotify.exe", L"Исполнитель", L"Песня")));
  ASSERT_NO_FATAL_FAILURE(LoadPlugin());
  host_.Record().ControlWindowX = 200;
  host_.Record().ControlWindowY = 300;
  ASSERT_TRUE(host_.Start());
  ASSERT_TRUE(PumpUntil([&] { return host_.Shown().picture == 11; }, kStepBoundMs)) << ShownText();
  const std::optional<WindowView> control = FindPluginWindow(host_.Module(), kControlClass);
  ASSERT_TRUE(control);
  sessions_.ClearLog();
  for (const Box& button : {kPlay, kPause, kStop, kPrev, kNext}) {
    ASSERT_TRUE(ClickAt(CentreOf(control->hwnd, button), MouseButton::Left));
    // Each command is done before the next click, as a user's clicks are.
    const size_t before = sessions_.Commands().size();
    PumpUntil([&] { return sessions_.Commands().size() > before; }, kClickBoundMs);
  }
  EXPECT_EQ(sessions_.Commands(),
            (std::vector<std::string>{"TryPlayAsync Spotify.exe", "TryPauseAsync Spotify.exe",
                                      "TryStopAsync Spotify.exe", "TrySkipPreviousAsync Spotify.exe",
                                      "TrySkipNextAsync Spotify.exe"}));
  host_.Unload();
  EXPECT_TRUE(tunelet::testing::WaitForNoFakeSessionObjects(3000)) << tunelet::testing::FakeSessionObjectsAlive();
}

}  // namespace
