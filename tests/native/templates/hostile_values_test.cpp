// Tag values and player titles built to hurt: variable names, line breaks and
// megabyte lengths, from the file or the player to the X-status and the paste.
#include <gtest/gtest.h>

#include <string>

#include "metadata/builders.h"
#include "metadata/cover.h"
#include "metadata/entry_points.h"
#include "model/settings.h"
#include "model/track_caps.h"
#include "players/foobar2000.h"
#include "players/scripted_player_system.h"
#include "players/window_message_players.h"
#include "templates/template_engine.h"
#include "templates/xstatus_policy.h"

using namespace builders;
using namespace tunelet;

namespace {

const Bytes kAudio = MpegFrames(MpegHeader(3, 1, 9, 0), 417, 20);  // MPEG-1 Layer III, 128 kbit/s

std::string Repeat(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}
std::u16string Repeat16(std::u16string_view s, int n) {
  std::u16string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// Each value names the next variable thirty times; stepwise substitution
// made 30^4 * 300 characters of it. 1,175 bytes of ID3v2.3 tag.
Bytes CraftedTag() {
  return Id3v2Tag(3, Cat({Latin1("TPE1", Repeat("%title%", 30)), Latin1("TIT2", Repeat("%album%", 30)),
                          Latin1("TALB", Repeat("%genre%", 30)), Latin1("TCON", Repeat("%year%", 30)),
                          Latin1("TYER", std::string(300, 'y'))}));
}

class HostileValues : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    PluginSettings& s = Settings();
    s.Getfromname = false;  // keeps tag titles as read when the artist is missing
    s.Action = kModeReplaceAny;
    s.Xstat_a = 11;
    s.AudioTitleTemplate = u"Слушаю:";
    s.AudioTextTemplate = u"{{%artist%=%artist% }}\"%title%\"";
    s.PasteTemplate = u"*втыкает %artist% \"%title%\"*";
  }
  void TearDown() override {
    DeleteTemporaryCovers();
    ResetSettings();
  }
  void Play(const TempFile& f) {
    SetText(Track().FilePath, f.path());
    ReadMp3Info(f.path());
  }
};

TEST_F(HostileValues, VariableNamesInTagsArePublishedAsWritten) {
  const Bytes tag = CraftedTag();
  ASSERT_EQ(tag.size(), 1175u);
  TempFile f("tl_crafted.mp3", Cat({tag, kAudio}));
  Play(f);
  ASSERT_EQ(View(Track().Artist), Repeat16(u"%title%", 30));

  const std::optional<XStatusContent> content = BuildXStatusContent();
  ASSERT_TRUE(content);
  EXPECT_EQ(content->text, Repeat16(u"%title%", 30) + u" \"" + Repeat16(u"%album%", 30) + u"\"");
  EXPECT_EQ(PasteText(), u"*втыкает " + Repeat16(u"%title%", 30) + u" \"" + Repeat16(u"%album%", 30) + u"\"*");
}

TEST_F(HostileValues, LongValuesAreCutWhereTheyEnterTheRecordAndTheHostGetsWhatItTakes) {
  // A 100,000-character title (one UTF-16 frame) and a 40,000-byte comment.
  const std::u16string title = Repeat16(u"Ж", 100000);
  const Bytes comment = Cat({Bytes{0}, Str("eng"), Bytes{0}, Str(std::string(40000, 'c'))});
  TempFile f("tl_long.mp3", Cat({Id3v2Tag(3, Cat({Wide("TIT2", title), Frame(3, "COMM", comment)})), kAudio}));
  Play(f);
  EXPECT_EQ(View(Track().Title), Repeat16(u"Ж", int(kMaxTrackValueChars)));
  EXPECT_EQ(View(Track().Comment).size(), kMaxTrackLongTextChars);

  const std::optional<XStatusContent> content = BuildXStatusContent();
  ASSERT_TRUE(content);
  EXPECT_EQ(content->text, u"\"" + Repeat16(u"Ж", int(kMaxXStatusTextChars) - 1));
  EXPECT_EQ(PasteText().size(), kMaxPasteTextChars);

  // A stored title template longer than the host's field is cut to it; the
  // host's own title, kept, goes back as it was.
  Settings().AudioTitleTemplate = Repeat16(u"t", 30);
  EXPECT_EQ(BuildXStatusContent()->title, Repeat16(u"t", int(kMaxXStatusTitleChars)));
  Settings().KeepXStatusName = true;
  Settings().CurrentXStatusTitle = Repeat16(u"k", 30);
  EXPECT_EQ(BuildXStatusContent()->title, Repeat16(u"k", 30));
}

TEST_F(HostileValues, ATitleWithALineBreakIsPastedAndPublishedOnOneLine) {
  TempFile f("tl_quit.mp3", Cat({Id3v2Tag(3, Latin1("TIT2", "Nice song\r\n/quit see you")), kAudio}));
  Play(f);
  EXPECT_EQ(View(Track().Title), u"Nice song\r\n/quit see you");  // QuickInfo shows it as written
  EXPECT_EQ(PasteText(), u"*втыкает \"Nice song /quit see you\"*");
  EXPECT_EQ(BuildXStatusContent()->text, u"\"Nice song /quit see you\"");
}

TEST_F(HostileValues, StreamTitlesFromPlayersAreCutAndStillCompareAsTheSameSong) {
  const std::u16string longTitle = Repeat16(u"s", 10000);

  tunelet::testing::ScriptedPlayerSystem sys;
  const uintptr_t winamp = sys.AddWindow("Winamp v1.x", "", u"winamp.exe");
  sys.Answer(winamp, kWmUser, 0, 104, 1);  // playing
  sys.SetTitle(winamp, longTitle + u" - Winamp");
  EXPECT_TRUE(ReadWinampStreamTitle(sys, winamp, u"http://radio/stream"));
  EXPECT_EQ(View(Track().Title), Repeat16(u"s", int(kMaxTrackValueChars)));
  EXPECT_FALSE(ReadWinampStreamTitle(sys, winamp, u"http://radio/stream"));

  TitleFormatter foobar = [&](std::u16string_view f) -> std::optional<std::u16string> {
    if (f == u"%path%") return u"http://radio/live";
    if (f == u"[%title%]") return longTitle;
    return u"";
  };
  TrackInfo t;
  auto noSize = [](std::u16string_view) { return 0u; };
  EXPECT_TRUE(ReadFoobar2000TrackFrom(foobar, noSize, t));
  EXPECT_EQ(View(t.Title).size(), kMaxTrackValueChars);
  // The same song at the next poll is nothing new.
  EXPECT_FALSE(ReadFoobar2000TrackFrom(foobar, noSize, t));
}

}  // namespace
