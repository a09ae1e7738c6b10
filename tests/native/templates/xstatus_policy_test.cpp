#include <gtest/gtest.h>

#include <vector>

#include "model/settings.h"
#include "templates/xstatus_policy.h"

using namespace tunelet;

namespace {

// Records every message the plug-in sends to the host.
struct FakeHost : IHost {
  struct SetCall {
    int32_t picture;
    OptText title, text;
  };
  std::vector<SetCall> sets;
  int gets = 0;
  XStatusAnswer answer;

  void SetXStatus(int32_t picture, const OptText& title, const OptText& text) override {
    sets.push_back({picture, title, text});
  }
  XStatusAnswer GetXStatus() override {
    ++gets;
    return answer;
  }
  bool LoadHostKept(HostKeptValues&) override { return false; }
  bool StoreHostKept(const HostKeptValues&) override { return false; }
};

struct FakeUi : IUserInterface {
  std::vector<int> popups;
  void ShowPopup(int kind) override { popups.push_back(kind); }
};

class XStatusPolicyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    PluginSettings& s = Settings();
    // Defaults of a fresh installation.
    s.Action = 21;
    s.Xstat_a = 11;
    s.Xstat_v = 8;
    s.AudioTitleTemplate = u"Слушаю:";
    s.AudioTextTemplate = u"{{%artist%=%artist% }}\"%title%\"";
    s.VideoTitleTemplate = u"Смотрю:";
    s.VideoTextTemplate = u"{{%artist%=%artist% }}\"%title%\"";
    // A track is playing and the user's own X-status is saved.
    s.SavedXStatusValid = true;
    s.SavedXStatusPicture = 5;
    s.SavedXStatusTitle = u"Busy";
    s.SavedXStatusText = u"Working";
    s.Track.FilePath = u"C:\\Music\\a.mp3";
    s.Track.LastReadPath = u"C:\\Music\\a.mp3";
    s.Track.Artist = u"A";
    s.Track.Title = u"T";
  }
  void TearDown() override { ResetSettings(); }

  // Publishes once and returns the one message the host received.
  FakeHost::SetCall PublishOnce() {
    FakeHost::SetCall none{-1, std::nullopt, std::nullopt};
    host.sets.clear();
    policy.PublishTrack();
    EXPECT_EQ(host.sets.size(), 1u);
    EXPECT_EQ(host.gets, 0);
    return host.sets.empty() ? none : host.sets.back();
  }

  void UseVideo() { Settings().Track.FilePath = u"D:\\Video\\clip.mkv"; }

  FakeHost host;
  FakeUi ui;
  XStatusPolicy policy{host, ui};
};

TEST_F(XStatusPolicyTest, PicturePerModeAndKind) {
  struct Case {
    uint8_t mode;
    int32_t audio, video;
  };
  // 10 and 31 keep the user's picture, 11 is "Music", 21 the plug-in's own.
  for (Case c : {Case{10, 5, 5}, Case{11, 11, 11}, Case{21, 11, 8}, Case{31, 5, 5}}) {
    Settings().Action = c.mode;
    Settings().Track.FilePath = u"C:\\Music\\a.mp3";
    EXPECT_EQ(PublishOnce().picture, c.audio) << int(c.mode);
    UseVideo();
    EXPECT_EQ(PublishOnce().picture, c.video) << int(c.mode);
  }
}

TEST_F(XStatusPolicyTest, DefaultTemplatesForAudioAndVideo) {
  Settings().VideoTextTemplate = u"V: %title%";
  auto audio = PublishOnce();
  EXPECT_EQ(audio.title, u"Слушаю:");
  EXPECT_EQ(audio.text, u"A \"T\"");
  UseVideo();
  auto video = PublishOnce();
  EXPECT_EQ(video.title, u"Смотрю:");
  EXPECT_EQ(video.text, u"V: T");
}

TEST_F(XStatusPolicyTest, MusicModeUsesTheAudioTemplatesForVideoToo) {
  Settings().Action = 11;
  Settings().VideoTitleTemplate = u"Video";
  Settings().VideoTextTemplate = u"V";
  UseVideo();
  auto sent = PublishOnce();
  EXPECT_EQ(sent.title, u"Слушаю:");
  EXPECT_EQ(sent.text, u"A \"T\"");
}

TEST_F(XStatusPolicyTest, AppendModeJoinsTheUsersTextAndExpandsBoth) {
  Settings().Action = 31;
  EXPECT_EQ(PublishOnce().text, u"Working A \"T\"");
  // Publishing leaves the saved text alone: the next track joins it again.
  EXPECT_EQ(PublishOnce().text, u"Working A \"T\"");
  EXPECT_EQ(Settings().SavedXStatusText, u"Working");

  Settings().SavedXStatusText = u"On %player%";
  Settings().Track.PlayerName = u"P";
  EXPECT_EQ(PublishOnce().text, u"On P A \"T\"");
}

TEST_F(XStatusPolicyTest, KeptTitleIsSentBackInEveryMode) {
  Settings().KeepXStatusName = true;
  Settings().CurrentXStatusTitle = u"Host title";
  for (uint8_t mode : {10, 11, 21, 31}) {
    Settings().Action = mode;
    EXPECT_EQ(PublishOnce().title, u"Host title") << int(mode);
  }
  Settings().CurrentXStatusTitle.reset();
  EXPECT_EQ(PublishOnce().title, std::nullopt);
}

TEST_F(XStatusPolicyTest, TitlesGoOutAsWrittenAndEmptyOnesAsNull) {
  Settings().AudioTitleTemplate = u"{{%artist%=x}}%time%";  // 20 characters, the most a title takes
  EXPECT_EQ(PublishOnce().title, u"{{%artist%=x}}%time%");
  Settings().AudioTitleTemplate = u"";
  EXPECT_EQ(PublishOnce().title, std::nullopt);
}

TEST_F(XStatusPolicyTest, TemplateWithABlockErrorIsStillPublished) {
  Settings().AudioTextTemplate = u"{{%artist%=%artist% }}{{%bogus%=x}} %title%";
  EXPECT_EQ(PublishOnce().text, u"A {{%bogus%=x}} T");
}

TEST_F(XStatusPolicyTest, NewTrackPopupOnlyWithPopupsOnAndOnlyWhenPublished) {
  policy.PublishTrack();
  Settings().PopupsOn = true;
  Settings().Action = 0;  // not a mode: nothing is published
  policy.PublishTrack();
  EXPECT_TRUE(ui.popups.empty());
  Settings().Action = 21;
  policy.PublishTrack();
  EXPECT_EQ(ui.popups, std::vector<int>{2});
  EXPECT_EQ(host.sets.size(), 2u);
}

TEST_F(XStatusPolicyTest, ChangeInContentModesBecomesTheSavedXStatus) {
  for (uint8_t mode : {10, 31}) {
    SetUp();
    Settings().Action = mode;
    policy.OnXStatusChanged(7, u"New");
    EXPECT_EQ(Settings().SavedXStatusPicture, 7) << int(mode);
    EXPECT_EQ(Settings().SavedXStatusText, u"New");
    EXPECT_EQ(Settings().SavedXStatusTitle, u"Busy");
    EXPECT_FALSE(Settings().Track.LastReadPath);  // republished at the next poll
  }
  // A radio stream's song is republished too: it is new by its window title.
  Settings().LastWindowTitle = u"1. Radio - Song - Winamp";
  policy.OnXStatusChanged(8, u"Radio");
  EXPECT_FALSE(Settings().LastWindowTitle);
  EXPECT_TRUE(host.sets.empty());
  EXPECT_EQ(host.gets, 0);
}

TEST_F(XStatusPolicyTest, SamePictureOrNoPictureKeepsTheSavedText) {
  Settings().Action = 10;
  policy.OnXStatusChanged(5, u"Other");
  EXPECT_EQ(Settings().SavedXStatusText, u"Working");
  EXPECT_FALSE(Settings().Track.LastReadPath);

  policy.OnXStatusChanged(0, u"Other");
  EXPECT_EQ(Settings().SavedXStatusText, u"Working");
  EXPECT_EQ(Settings().SavedXStatusPicture, 0);

  // Only the low 16 bits of the host's value are a picture.
  policy.OnXStatusChanged(0x10009, u"Nine");
  EXPECT_EQ(Settings().SavedXStatusPicture, 9);
  EXPECT_EQ(Settings().SavedXStatusText, u"Nine");
}

TEST_F(XStatusPolicyTest, MusicModeRepublishesOnlyWhenMusicIsChosen) {
  Settings().Action = 11;
  Settings().LastWindowTitle = u"1. Radio - Song - Winamp";
  policy.OnXStatusChanged(7, u"New");
  EXPECT_TRUE(Settings().Track.LastReadPath);
  EXPECT_TRUE(Settings().LastWindowTitle);
  policy.OnXStatusChanged(11, u"New");
  EXPECT_FALSE(Settings().Track.LastReadPath);
  EXPECT_FALSE(Settings().LastWindowTitle);
  EXPECT_EQ(Settings().SavedXStatusPicture, 5);
  EXPECT_EQ(Settings().SavedXStatusText, u"Working");
}

TEST_F(XStatusPolicyTest, ChangesIgnoredInReplaceModeAndWithoutASavedXStatus) {
  policy.OnXStatusChanged(11, u"New");  // mode 21
  Settings().Action = 10;
  Settings().SavedXStatusValid = false;
  policy.OnXStatusChanged(7, u"New");
  EXPECT_EQ(Settings().SavedXStatusPicture, 5);
  EXPECT_EQ(Settings().SavedXStatusText, u"Working");
  EXPECT_TRUE(Settings().Track.LastReadPath);
}

}  // namespace
