// The road of a track through the real DLL in the simulated host: a player
// window of the host's own process and a media file that process holds open
// stand in for a playing player. The host sees the user's X-status saved,
// cleared, the track published 900 ms later, and the user's X-status put back
// when playback ends.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_test_support.h"
#include "sim_host.h"

namespace {

using host_test::Bstr;
using host_test::PluginCopy;
using talkeo_sim::kMsgGetXStatus;
using talkeo_sim::kMsgSetXStatus;
using talkeo_sim::SentMessage;
using talkeo_sim::SimHost;
using talkeo_sim::XStatus;

// A poll period of 3000 ms, the 900 ms delay and a margin for a busy machine.
constexpr uint32_t kStepBoundMs = 3000 + 900 + 2500;
// Long enough for one more tick and the delay after it.
constexpr uint32_t kQuietMs = 3000 + 900 + 300;

const XStatus kUsersOwn{5, L"Пью пиво", L"с друзьями"};
const XStatus kPublished{11, L"Слушаю:", L"Исполнитель \"Песня\""};

// A player of the table whose window is found by its class alone.
class PlayerWindow {
 public:
  PlayerWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MediaPlayerClassicW";
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, L"Media Player Classic", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                              nullptr, wc.hInstance, nullptr);
  }
  ~PlayerWindow() { Close(); }
  void Close() {
    if (hwnd_) ::DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  }

 private:
  HWND hwnd_ = nullptr;
};

class PlaybackInHost : public ::testing::Test {
 protected:
  void SetUp() override {
    copy_.WriteQuietIni();
    track_ = copy_.Folder() + L"\\track.mp3";
    host_test::WriteTaggedMp3(track_, L"Исполнитель", L"Песня");
    std::string error;
    ASSERT_TRUE(host_.Load(copy_.Dll(), &error)) << error;
    host_.Record().Initialised = 1;
    host_.Record().PluginOn = 1;
    host_.UserSetsXStatus(kUsersOwn.picture, kUsersOwn.title, kUsersOwn.text);
  }
  void TearDown() override {
    StopPlaying();
    host_.Unload();
  }
  void Play() {
    playing_ = ::CreateFileW(track_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(playing_, INVALID_HANDLE_VALUE);
  }
  void StopPlaying() {
    if (playing_ != INVALID_HANDLE_VALUE) ::CloseHandle(playing_);
    playing_ = INVALID_HANDLE_VALUE;
  }
  // Pumps until the host shows `want`, at most boundMs; true when it did.
  bool PumpUntilShown(const XStatus& want, uint32_t boundMs = kStepBoundMs) {
    return host_test::PumpUntil(host_, [&] { return host_.Shown() == want; }, boundMs);
  }
  std::vector<SentMessage> SentSets() const {
    std::vector<SentMessage> sets;
    for (const auto& m : host_.Sent())
      if (m.raw.Msg == kMsgSetXStatus) sets.push_back(m);
    return sets;
  }
  // The track published from the user's X-status, logs cleared.
  void StartAndPublish() {
    Play();
    ASSERT_TRUE(host_.Start());
    ASSERT_TRUE(PumpUntilShown(kPublished)) << "shown: " << talkeo_sim::DescribeXStatus(host_.Shown());
    host_.ClearLogs();
  }

  PluginCopy copy_;
  SimHost host_;
  PlayerWindow player_;
  std::wstring track_;
  HANDLE playing_ = INVALID_HANDLE_VALUE;
};

TEST_F(PlaybackInHost, NewTrackIsPublishedAndTheUsersXStatusComesBackWhenPlaybackEnds) {
  Play();
  ASSERT_TRUE(host_.Start());
  ASSERT_TRUE(PumpUntilShown(kPublished)) << "shown: " << talkeo_sim::DescribeXStatus(host_.Shown());

  // Title, then the user's X-status saved, cleared; the track 900 ms later.
  std::vector<int32_t> codes;
  for (const auto& m : host_.Sent()) codes.push_back(m.raw.Msg);
  EXPECT_EQ(codes, (std::vector<int32_t>{kMsgGetXStatus, kMsgGetXStatus, kMsgSetXStatus, kMsgSetXStatus}));
  auto sets = SentSets();
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].raw.WParam, 0);
  EXPECT_FALSE(sets[0].title.has_value());
  EXPECT_FALSE(sets[0].text.has_value());
  EXPECT_GE(sets[1].timeMs - sets[0].timeMs, 850u) << "published before the 900 ms delay";
  EXPECT_EQ(host_.Sent()[1].answer, kUsersOwn);

  // The same file on the next tick is not new: nothing more is sent.
  host_.ClearLogs();
  host_.Pump(3300);
  EXPECT_EQ(host_.CountSent(kMsgSetXStatus), 0u);

  StopPlaying();
  ASSERT_TRUE(PumpUntilShown(kUsersOwn)) << "shown: " << talkeo_sim::DescribeXStatus(host_.Shown());
  sets = SentSets();
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].raw.WParam, 0);
  EXPECT_GE(sets[1].timeMs - sets[0].timeMs, 850u) << "restored before the 900 ms delay";

  // Played again after the stop, the same file is a new track.
  Play();
  ASSERT_TRUE(PumpUntilShown(kPublished));
  host_.Shutdown();
  EXPECT_EQ(host_.Record().SavedXStatusValid, 1) << "the user's X-status is kept while the track is shown";
}

TEST_F(PlaybackInHost, TheUsersXStatusSurvivesAShutdownDuringPlayback) {
  StartAndPublish();
  host_.Shutdown();
  const talkeo_sim::HostKeptOptions& r = host_.Record();
  EXPECT_EQ(r.SavedXStatusValid, 1);
  EXPECT_EQ(r.SavedXStatusPicture, kUsersOwn.picture);
  EXPECT_EQ(Bstr(r.SavedXStatusTitle), kUsersOwn.title);
  EXPECT_EQ(Bstr(r.SavedXStatusText), kUsersOwn.text);
  EXPECT_EQ(host_.Release(), 0u);

  // The host's next run: the user's own X-status goes back at once.
  StopPlaying();
  ASSERT_TRUE(host_.Start());
  ASSERT_FALSE(SentSets().empty());
  EXPECT_EQ(SentSets().front().raw.WParam, kUsersOwn.picture);
  EXPECT_EQ(host_.Shown(), kUsersOwn);
}

TEST_F(PlaybackInHost, DisableDuringPlaybackLeavesThePublishedXStatus) {
  StartAndPublish();
  host_.Disable();
  host_.Pump(kQuietMs);
  EXPECT_EQ(host_.CountSent(kMsgSetXStatus), 0u);
  EXPECT_EQ(host_.Shown(), kPublished);
  EXPECT_EQ(host_.Record().SavedXStatusValid, 0);
  EXPECT_EQ(host_.Record().PluginOn, 1);
}

}  // namespace
