// The entry points on real temporary files: field precedence, the file-name
// fallback, the player name, bounded reads and the clean-up of cover files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "builders.h"
#include "model/settings.h"
#include "metadata/cover.h"
#include "metadata/entry_points.h"
#include "metadata/stream_values.h"
#include "model/player_table.h"
#include "platform/platform.h"

using namespace builders;
using namespace tunelet;

namespace {

const Bytes kHeader = MpegHeader(3, 1, 9, 0);  // MPEG-1 Layer III, 128 kbit/s, 44100 Hz
Bytes Audio(size_t frames = 100) { return MpegFrames(kHeader, 417, frames); }
std::u16string Str16(const OptText& t) { return t ? *t : u"<absent>"; }

class EntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    Settings().Getfromname = true;
    Settings().CurrentPlayer = kWinamp;
  }
  void TearDown() override {
    DeleteTemporaryCovers();
    ResetSettings();
  }
  const TrackInfo& T() { return Track(); }
};

TEST_F(EntryTest, Mp3WithOnlyId3v1KeepsBlankValuesPresent) {
  const Bytes file = Cat({Audio(), Id3v1("Song", "", "Album", "1999", 3, 17)});
  TempFile f("tl_v1only.mp3", file);
  Track().FilePath = f.path();
  Track().Comment = u"old track";
  EXPECT_EQ(ReadMp3Info(f.path()), 1);
  EXPECT_EQ(Str16(T().Title), u"Song");
  EXPECT_EQ(Str16(T().Artist), u"");  // present and empty: the name fallback does not run
  EXPECT_EQ(Str16(T().Album), u"Album");
  EXPECT_EQ(Str16(T().Genre), u"Rock");
  EXPECT_EQ(Str16(T().Year), u"1999");
  EXPECT_EQ(T().TrackNumber, 3u);
  EXPECT_FALSE(T().Comment);  // nothing of the previous track survives
  EXPECT_EQ(Str16(T().LastReadPath), f.path());
  EXPECT_EQ(Str16(T().FilePath), f.path());
  EXPECT_EQ(Str16(T().PlayerName), std::u16string(PlayerDisplayName(kWinamp)));
  EXPECT_EQ(T().FileSize, file.size());
  EXPECT_EQ(T().Bitrate, 128u);
  EXPECT_EQ(T().SampleRate, 44100u);
  EXPECT_EQ(T().Duration, uint32_t((file.size() - 128) * 8 / 128000));
}

TEST_F(EntryTest, Mp3Id3v2WinsAndId3v1FillsTheGaps) {
  TempFile f("tl_both.mp3", Cat({Id3v2Tag(3, Cat({Wide("TIT2", u"From v2"), Latin1("TRCK", "0")})), Audio(),
                                 Id3v1("v1 title", "X", "", "", 9, 107)}));
  ReadMp3Info(f.path());
  EXPECT_EQ(Str16(T().Title), u"From v2");
  EXPECT_EQ(Str16(T().Artist), u"X");
  EXPECT_EQ(Str16(T().Album), u"<absent>");  // empty ID3v1 values do not fill
  EXPECT_EQ(Str16(T().Genre), u"Booty Bass"); // the tag class's own list
  EXPECT_EQ(T().TrackNumber, 9u);
  EXPECT_EQ(T().Bitrate, 128u);
}

TEST_F(EntryTest, TagCodePageAppliesToId3v1Text) {
  TempFile f("tl_cp.mp3", Cat({Audio(), Id3v1("\xC0\xC1", "Band", "", "", 1, 0)}));
  Settings().a_u = 1;
  ReadMp3Info(f.path());
  EXPECT_EQ(Str16(T().Title), u"\u0410\u0411");
  Settings().a_u = 0;
  ReadMp3Info(f.path());
  EXPECT_EQ(Str16(T().Title), u"\u00C0\u00C1");
}

TEST_F(EntryTest, FileNameFallback) {
  const std::u16string dir = platform::TempFolder();
  TempFile untagged("03_-_Band_-_Song.mp3", Bytes(64, 0));
  ReadMp3Info(untagged.path());
  EXPECT_EQ(Str16(T().Artist), u"Band");
  EXPECT_EQ(Str16(T().Title), u"Song");

  // No separator: artist equals title and is dropped. A missing file still gets its name.
  ReadMp3Info(dir + u"tl_missing_Song.mp3");
  EXPECT_EQ(Str16(T().Title), u"tl missing Song");
  EXPECT_FALSE(T().Artist);
  ReadMp3Info(u"C:\\Music\\Song.mp3");
  EXPECT_EQ(Str16(T().Title), u"Song");
  EXPECT_FALSE(T().Artist);

  Settings().Getfromname = false;
  ReadMp3Info(u"C:\\Music\\Song.mp3");
  EXPECT_EQ(Str16(T().Title), u"Song");
  ReadMp3Info(u"C:\\Music\\01 - A - B.mp3");
  EXPECT_EQ(Str16(T().Title), u"01 - A - B");
  EXPECT_FALSE(T().Artist);

  // A tag with only one of the two: with Getfromname on the file name replaces both.
  Settings().Getfromname = true;
  TempFile artistOnly("tl_Artist - Name.mp3", Id3v2Tag(3, Latin1("TPE1", "Tagged")));
  ReadMp3Info(artistOnly.path());
  EXPECT_EQ(Str16(T().Artist), u"tl Artist");
  EXPECT_EQ(Str16(T().Title), u"Name");
}

TEST_F(EntryTest, ClassifyAndReadDispatchesByExtension) {
  Track().Title = u"from the player";
  EXPECT_EQ(ClassifyAndRead(u"C:\\x\\stream.xyz"), 0);
  EXPECT_EQ(Str16(T().Title), u"from the player");

  // Video: size and name only; with Getfromname off the extension stays,
  // with it on the leading digits of a video name are kept.
  TempFile clip("clip.avi", Bytes(1234, 0));
  Settings().Getfromname = false;
  EXPECT_EQ(ClassifyAndRead(clip.path()), 1);
  EXPECT_EQ(Str16(T().Title), u"clip.avi");
  EXPECT_EQ(T().FileSize, 1234u);
  Settings().Getfromname = true;
  ClassifyAndRead(u"D:\\v\\01 clip.MKV");
  EXPECT_EQ(Str16(T().Title), u"01 clip");
  EXPECT_EQ(T().FileSize, 0u);

  TempFile mp3("tl_classify.Mp3", Cat({Audio(), Id3v1("T", "A", "", "", 1, 0)}));
  EXPECT_EQ(ClassifyAndRead(mp3.path()), 1);
  EXPECT_EQ(Str16(T().Title), u"T");
}

TEST_F(EntryTest, Mp3ReadsNoAudioBody) {
  // 4 MB of frames between small tags: a few KB are read, not the body.
  const Bytes body = Audio(4u * 1024 * 1024 / 417);
  TempFile f("tl_big.mp3", Cat({Id3v2Tag(3, Cat({Latin1("TIT2", "Big"), Latin1("TPE1", "Band")}), 0, 2000), body, Id3v1("", "", "", "", 1, 0)}));
  platform::ResetBytesReadCounter();
  ReadMp3Info(f.path());
  EXPECT_EQ(Str16(T().Title), u"Big");
  EXPECT_GT(T().Duration, 200u);
  EXPECT_LT(platform::BytesReadCounter(), 32u * 1024);

  // A 1 MB cover in the tag is read once, by the tag reader.
  const Bytes png = Cat({Bytes{0x89}, Str("PNG\r\n\x1A\n"), Bytes(1u << 20, 5)});
  const Bytes apic = Frame(3, "APIC", Cat({Bytes{0}, Str("image/png"), Bytes{0, 3, 0}, png}));
  TempFile covered("tl_bigcover.mp3", Cat({Id3v2Tag(3, Cat({Latin1("TIT2", "C"), Latin1("TPE1", "D"), apic})), body}));
  platform::ResetBytesReadCounter();
  ReadMp3Info(covered.path());
  EXPECT_TRUE(T().CoverFile);
  EXPECT_LT(platform::BytesReadCounter(), png.size() + 32u * 1024);

  // Without any frame the search gives up long before the end.
  TempFile junk("tl_junk.mp3", Bytes(4u << 20, 0x20));
  platform::ResetBytesReadCounter();
  ReadMp3Info(junk.path());
  EXPECT_EQ(T().Bitrate, 0u);
  EXPECT_LT(platform::BytesReadCounter(), 300u * 1024);
}

Bytes OggWithComments(const std::vector<std::string>& comments) {
  return Cat({OggPage(VorbisId(2, 44100, 128000), 0, 0, 2), OggPage(VorbisComments(comments), 0, 1),
              OggPage(Bytes(8000, 1), 220500, 2), OggPage(Bytes(8000, 2), 441000, 3, 4)});
}

TEST_F(EntryTest, OggCommentsThatAreMissingOrEmptyStayAbsent) {
  const Bytes file = OggWithComments({"ARTIST=\xD0\x96\xD0\xB0", "TITLE=Song", "GENRE=", "TRACKNUMBER=7"});
  TempFile f("tl_song.ogg", file);
  Settings().a_u = 1;  // comments are UTF-8 whatever the code page
  EXPECT_EQ(ClassifyAndRead(f.path()), 1);
  EXPECT_EQ(Str16(T().Artist), u"\u0416\u0430");
  EXPECT_EQ(Str16(T().Title), u"Song");
  EXPECT_EQ(Str16(T().Genre), u"<absent>");
  EXPECT_EQ(Str16(T().Album), u"<absent>");
  EXPECT_EQ(T().TrackNumber, 7u);
  EXPECT_EQ(T().Duration, 10u);
  EXPECT_EQ(T().SampleRate, 44100u);
  EXPECT_EQ(T().FileSize, file.size());
  EXPECT_EQ(T().Bitrate, uint32_t(std::lround(file.size() / 10.0 / 125)));

  // No comments at all: the file name gives artist and title.
  TempFile untagged("05 - Band - Night Song.ogg", OggWithComments({}));
  EXPECT_EQ(ClassifyAndRead(untagged.path()), 1);
  EXPECT_EQ(Str16(T().Artist), u"Band");
  EXPECT_EQ(Str16(T().Title), u"Night Song");
}

TEST_F(EntryTest, ApeTagThenId3v2ThenStream) {
  // Old-layout header: 2 frames of 294912 blocks + 1000, 44100 Hz, 16 bits, stereo.
  const Bytes mac = Cat({Str("MAC "), Le(3970, 2), Le(2000, 2), Le(0, 2), Le(2, 2), Le(44100, 4), Le(0, 4),
                         Le(0, 4), Le(2, 4), Le(1000, 4), Le(0, 4), Bytes(50000, 0)});
  const Bytes id3 = Id3v2Tag(3, Cat({Latin1("TIT2", "v2 title"), Wide("TPE1", u"v2 \u0416"), Latin1("TALB", "v2 al"),
                                     Latin1("TRCK", "5")}));
  const Bytes ape = ApeTag(2000, {ApeItem("TITLE", Str("Ape \xD0\x96")), ApeItem("track", Str("12"))});
  const Bytes file = Cat({id3, mac, ape});
  TempFile f("tl_music.ape", file);
  EXPECT_EQ(ReadApeInfo(f.path()), 1);
  EXPECT_EQ(Str16(T().Title), u"Ape \u0416");
  EXPECT_EQ(Str16(T().Artist), u"v2 \u0416");  // UTF-16 from the ID3v2 tag kept as it is
  EXPECT_EQ(Str16(T().Album), u"v2 al");
  EXPECT_EQ(Str16(T().Year), u"<absent>");  // no year in either tag
  EXPECT_EQ(T().TrackNumber, 12u);
  const double seconds = (294912.0 + 1000) / 44100;
  EXPECT_EQ(T().Duration, uint32_t(seconds));
  EXPECT_EQ(T().SampleRate, 44100u);
  EXPECT_EQ(T().Bitrate, uint32_t(std::lround((file.size() - id3.size() - ape.size()) * 8 / seconds / 1000)));
  EXPECT_EQ(T().FileSize, file.size());
}

// Old-layout Monkey's Audio header (version 3970, 294912 blocks a frame),
// 16-bit stereo, then audio bytes.
Bytes MonkeyFile(uint32_t sampleRate, uint32_t frames, uint32_t finalBlocks, size_t audioBytes) {
  return Cat({Str("MAC "), Le(3970, 2), Le(2000, 2), Le(0, 2), Le(2, 2), Le(sampleRate, 4), Le(0, 4), Le(0, 4),
              Le(frames, 4), Le(finalBlocks, 4), Le(0, 4), Bytes(audioBytes, 0)});
}

TEST_F(EntryTest, StreamValuesNoRealFileHoldsAreNotShown) {
  // A rate of 2734688000 Hz (a damaged header): no rate, no duration, no bit rate.
  TempFile rate("tl_rate.ape", MonkeyFile(2734688000u, 2, 1000, 50000));
  ReadApeInfo(rate.path());
  EXPECT_EQ(T().SampleRate, 0u);
  EXPECT_EQ(T().Duration, 0u);
  EXPECT_EQ(T().Bitrate, 0u);
  EXPECT_EQ(T().FileSize, 50036u);  // the size is the file system's: it stays
  // 10000 frames at 8000 Hz: 2948826088 samples, 368603 s, beyond 100 hours.
  TempFile longest("tl_long.ape", MonkeyFile(8000, 10000, 1000, 50000));
  ReadApeInfo(longest.path());
  EXPECT_EQ(T().Duration, 0u);
  EXPECT_EQ(T().SampleRate, 0u);
  // One block at 44100 Hz in 50 KB: 17.6 million kbit/s.
  TempFile shortest("tl_short.ape", MonkeyFile(44100, 1, 1, 50000));
  ReadApeInfo(shortest.path());
  EXPECT_EQ(T().Bitrate, 0u);
  EXPECT_EQ(T().SampleRate, 0u);
  // The highest real rate is shown: 11502568 samples at 768000 Hz, 50036 bytes in 14.977 s.
  TempFile real("tl_real.ape", MonkeyFile(768000, 40, 1000, 50000));
  ReadApeInfo(real.path());
  EXPECT_EQ(T().SampleRate, 768000u);
  EXPECT_EQ(T().Duration, 14u);
  EXPECT_EQ(T().Bitrate, 27u);
}

TEST(StreamValueLimits, EachValueAtItsLimitStaysAndOneBeyondDropsAll) {
  const auto after = [](uint32_t rate, uint32_t seconds, uint32_t kbps) {
    TrackInfo t;
    t.FileSize = 1234;
    t.SampleRate = rate;
    t.Duration = seconds;
    t.Bitrate = kbps;
    DropImpossibleStreamValues(t);
    EXPECT_EQ(t.FileSize, 1234u);
    return std::to_string(t.SampleRate) + "/" + std::to_string(t.Duration) + "/" + std::to_string(t.Bitrate);
  };
  EXPECT_EQ(after(768000, 360000, 100000), "768000/360000/100000");
  EXPECT_EQ(after(768001, 10, 128), "0/0/0");
  EXPECT_EQ(after(44100, 360001, 128), "0/0/0");
  EXPECT_EQ(after(44100, 10, 100001), "0/0/0");
  EXPECT_EQ(after(0, 0, 0), "0/0/0");
}

TEST_F(EntryTest, PreviousCoverIsDeletedByTheNextReadAndAtStop) {
  const Bytes png = Cat({Bytes{0x89}, Str("PNG\r\n\x1A\n"), Bytes(16, 3)});
  const Bytes apic = Frame(3, "APIC", Cat({Bytes{0}, Str("image/png"), Bytes{0, 3, 0}, png}));
  TempFile first("tl_cover1.mp3", Cat({Id3v2Tag(3, apic), Audio(10)}));
  TempFile second("tl_cover2.mp3", Cat({Id3v2Tag(3, apic), Audio(10)}));
  ReadMp3Info(first.path());
  ASSERT_TRUE(T().CoverFile);
  const std::u16string firstCover = *T().CoverFile;
  EXPECT_TRUE(platform::FileExists(firstCover));

  ReadMp3Info(u"C:\\nothing.mp3");
  EXPECT_FALSE(T().CoverFile);
  EXPECT_FALSE(platform::FileExists(firstCover));

  ReadMp3Info(second.path());
  ASSERT_TRUE(T().CoverFile);
  const std::u16string secondCover = *T().CoverFile;
  EXPECT_TRUE(platform::FileExists(secondCover));
  DeleteTemporaryCovers();  // what a disable does: the record forgets the file with it
  EXPECT_FALSE(platform::FileExists(secondCover));
  EXPECT_FALSE(T().CoverFile);
  EXPECT_TRUE(TemporaryCoverFiles().empty());
}

TEST_F(EntryTest, CoversNeverTouchFilesTheyDidNotCreate) {
  // The names the next covers would get are taken by someone else's files.
  const std::string dir = ::testing::TempDir() + "tl_taken_covers/";
  std::filesystem::create_directories(dir);
  const char* oldTmp = std::getenv("TMPDIR");
  const std::string savedTmp = oldTmp ? oldTmp : "";
  ::setenv("TMPDIR", dir.c_str(), 1);
  const Bytes others = Str("someone else's file");
  std::vector<std::u16string> taken;
  const uint32_t now = platform::TickCount();
  for (uint32_t k = 0; k < 50; ++k) {
    char name[16];
    std::snprintf(name, sizeof name, "img%x.PNG", unsigned((now + k) & 0xFFFF));
    taken.push_back(Utf8ToUtf16(dir + name));
    ASSERT_TRUE(platform::WriteNewFile(taken.back(), others.data(), others.size()));
  }
  const uint8_t png[] = {0x89, 'P', 'N', 'G', 1, 2, 3};
  const OptText cover = SaveCoverImage(png, ImageType::kPng);
  ASSERT_TRUE(cover);
  EXPECT_EQ(std::find(taken.begin(), taken.end(), *cover), taken.end());
  DeleteTemporaryCovers();
  EXPECT_FALSE(platform::FileExists(*cover));
  for (const auto& path : taken) {
    auto f = platform::OpenForRead(path);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Read(0, 100), others);
  }
  if (oldTmp) ::setenv("TMPDIR", savedTmp.c_str(), 1); else ::unsetenv("TMPDIR");
  std::filesystem::remove_all(dir);
}

TEST_F(EntryTest, Mp3CommentFromId3v1AndLyricsFromLyrics3) {
  const Bytes lyrics3 = Cat({Str("LYRICSBEGIN"), Str("IND00002"), Str("10"), Str("LYR00008la la la"),
                             Str("000037LYRICS200")});
  ASSERT_EQ(lyrics3.size(), 37u + 15u);
  const Bytes v1 = Id3v1("Song", "Band", "", "", 2, 17, "v1 note");
  TempFile plain("tl_v1comment.mp3", Cat({Audio(), lyrics3, v1}));
  ReadMp3Info(plain.path());
  EXPECT_EQ(Str16(T().Comment), u"v1 note");
  EXPECT_EQ(Str16(T().Lyrics), u"la la la");
  EXPECT_EQ(T().Bitrate, 128u);

  // The ID3v2 frames win over both.
  const Bytes comm = Frame(3, "COMM", Cat({Bytes{0}, Str("eng"), Bytes{0}, Str("v2 note")}));
  const Bytes uslt = Frame(3, "USLT", Cat({Bytes{0}, Str("eng"), Bytes{0}, Str("v2 words")}));
  TempFile both("tl_v2comment.mp3", Cat({Id3v2Tag(3, Cat({Latin1("TIT2", "T"), comm, uslt})), Audio(), lyrics3, v1}));
  ReadMp3Info(both.path());
  EXPECT_EQ(Str16(T().Comment), u"v2 note");
  EXPECT_EQ(Str16(T().Lyrics), u"v2 words");
}

TEST_F(EntryTest, OggDescriptionLyricsAndCoverPictures) {
  const std::string picture = "METADATA_BLOCK_PICTURE=" + Base64(PictureBlockBody(3, "image/png", kTinyPng));
  TempFile f("tl_cover.ogg", OggWithComments({"TITLE=T", "DESCRIPTION=about", "LYRICS=words", picture,
                                              "COVERART=" + Base64(kTinyJpeg)}));
  ReadOggInfo(f.path());
  EXPECT_EQ(Str16(T().Comment), u"about");
  EXPECT_EQ(Str16(T().Lyrics), u"words");
  ASSERT_TRUE(T().CoverFile);
  EXPECT_TRUE(T().CoverFile->ends_with(u".PNG"));  // the standard picture before the legacy one
  auto cover = platform::OpenForRead(*T().CoverFile);
  ASSERT_TRUE(cover);
  EXPECT_EQ(cover->Read(0, 100), kTinyPng);

  // COMMENT wins over DESCRIPTION; the legacy COVERART alone is used, typed by its MIME comment.
  TempFile g("tl_legacy.ogg", OggWithComments({"DESCRIPTION=about", "COMMENT=note", "COVERARTMIME=image/jpeg",
                                               "COVERART=" + Base64(kTinyJpeg)}));
  ReadOggInfo(g.path());
  EXPECT_EQ(Str16(T().Comment), u"note");
  ASSERT_TRUE(T().CoverFile);
  EXPECT_TRUE(T().CoverFile->ends_with(u".JPG"));

  // A picture that is no cover (type 1, the file icon) or not Base64 gives none.
  const std::string icon = "METADATA_BLOCK_PICTURE=" + Base64(PictureBlockBody(1, "image/png", kTinyPng));
  TempFile h("tl_icon.ogg", OggWithComments({icon, "COVERART=***"}));
  ReadOggInfo(h.path());
  EXPECT_FALSE(T().CoverFile);
}

Bytes MonkeyStream() {
  // Old-layout header: 2 frames of 294912 blocks + 1000, 44100 Hz, 16 bits, stereo.
  return Cat({Str("MAC "), Le(3970, 2), Le(2000, 2), Le(0, 2), Le(2, 2), Le(44100, 4), Le(0, 4), Le(0, 4), Le(2, 4),
              Le(1000, 4), Le(0, 4), Bytes(50000, 0)});
}

TEST_F(EntryTest, MonkeyCommentLyricsCoverAndId3v1) {
  const Bytes ape = ApeTag(2000, {ApeItem("Title", Str("Ape title")), ApeItem("COMMENT", Str("ape note")),
                                  ApeItem("Lyrics", Str("ape words")),
                                  ApeItem("Cover Art (Front)", Cat({Str("front.jpg"), Bytes{0}, kTinyJpeg}))});
  const Bytes v1 = Id3v1("v1 title", "v1 artist", "v1 album", "2001", 6, 17, "v1 note");
  TempFile f("tl_tags.ape", Cat({MonkeyStream(), ape, v1}));
  EXPECT_EQ(ReadApeInfo(f.path()), 1);
  EXPECT_EQ(Str16(T().Title), u"Ape title");  // APE before ID3v1
  EXPECT_EQ(Str16(T().Comment), u"ape note");
  EXPECT_EQ(Str16(T().Lyrics), u"ape words");
  EXPECT_EQ(Str16(T().Artist), u"v1 artist");
  EXPECT_EQ(Str16(T().Album), u"v1 album");
  EXPECT_EQ(Str16(T().Year), u"2001");
  EXPECT_EQ(Str16(T().Genre), u"Rock");
  EXPECT_EQ(T().TrackNumber, 6u);
  ASSERT_TRUE(T().CoverFile);
  EXPECT_TRUE(T().CoverFile->ends_with(u".JPG"));
  auto cover = platform::OpenForRead(*T().CoverFile);
  ASSERT_TRUE(cover);
  EXPECT_EQ(cover->Read(0, 100), kTinyJpeg);

  // Only an ID3v1 tag, and an untagged file that gets its name.
  TempFile v1only("tl_v1.ape", Cat({MonkeyStream(), v1}));
  ReadApeInfo(v1only.path());
  EXPECT_EQ(Str16(T().Title), u"v1 title");
  EXPECT_EQ(Str16(T().Comment), u"v1 note");
  TempFile bare("07 - Band - Bare.ape", MonkeyStream());
  ReadApeInfo(bare.path());
  EXPECT_EQ(Str16(T().Artist), u"Band");
  EXPECT_EQ(Str16(T().Title), u"Bare");
}

TEST_F(EntryTest, MonkeyId3v2EightBitTextUsesTheTagCodePage) {
  TempFile f("tl_cp.ape", Cat({Id3v2Tag(3, Cat({Latin1("TIT2", "\xC6\xE0"), Latin1("TPE1", "A")})), MonkeyStream()}));
  Settings().a_u = 1;  // Windows-1251: C6 E0 is "\u0416\u0430"
  ReadApeInfo(f.path());
  EXPECT_EQ(Str16(T().Title), u"\u0416\u0430");
}

TEST_F(EntryTest, MonkeyUnicodeId3v2FillsTheRecord) {
  const Bytes id3 = Id3v2Tag(4, Cat({Frame(4, "TIT2", TextData(3, Str("\xD0\x96 title"))),
                                     Frame(4, "TPE1", TextData(1, Utf16(u"Band"))),
                                     Frame(4, "TRCK", TextData(3, Str("9")))}));
  TempFile f("tl_unicode.ape", Cat({id3, MonkeyStream()}));
  ReadApeInfo(f.path());
  EXPECT_EQ(Str16(T().Title), u"\u0416 title");
  EXPECT_EQ(Str16(T().Artist), u"Band");
  EXPECT_EQ(T().TrackNumber, 9u);
}

}  // namespace
