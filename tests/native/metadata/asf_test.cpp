#include <gtest/gtest.h>

#include "builders_containers.h"
#include "container_test_util.h"
#include "metadata/asf.h"
#include "metadata/cover.h"

using namespace tunelet;
using namespace container_builders;

namespace {

bool ReadAsf(platform::ReadableFile& f, TrackInfo& i) { return ReadAsfInfo(f, i); }

Bytes Str(std::u16string_view s) { return Wz(s); }

class AsfTest : public ::testing::Test {
 protected:
  void TearDown() override { DeleteTemporaryCovers(); }
};

}  // namespace

TEST_F(AsfTest, GuidsAreStoredWithTheirFirstGroupsLittleEndian) {
  const Bytes want = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  EXPECT_EQ(Guid(asf::kHeader), want);
}

TEST_F(AsfTest, DescriptionAttributesDurationAndAudioStream) {
  const Bytes file = Cat({AsfHeader({
      AsfFileProperties(2'205'000'000ull, 3000),  // 220.5 s with a 3 s preroll
      AsfContentDescription(u"Title \u0416", u"Author", u"Description"),
      AsfExtended({AsfAttr(u"WM/AlbumTitle", 0, Str(u"First")), AsfAttr(u"wm/albumtitle", 0, Str(u"Album")),
                   AsfAttr(u"WM/Year", 3, B().u32le(2007)), AsfAttr(u"WM/Genre", 0, Str(u"Jazz")),
                   AsfAttr(u"WM/Track", 0, Str(u"0")), AsfAttr(u"WM/Lyrics", 0, Str(u"words")),
                   AsfAttr(u"WM/Unknown", 1, B().zeros(40))}),
      AsfAudioStream(44100, 16000),
  }), B().zeros(50)});
  bool ok = false;
  const TrackInfo t = ReadBytes(file, ReadAsf, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(U(t.Title), u"Title \u0416");
  EXPECT_EQ(U(t.Artist), u"Author");
  EXPECT_EQ(U(t.Comment), u"Description");
  EXPECT_EQ(U(t.Album), u"Album");  // a later attribute replaces an earlier one
  EXPECT_EQ(U(t.Year), u"2007");
  EXPECT_EQ(U(t.Genre), u"Jazz");
  EXPECT_EQ(U(t.Lyrics), u"words");
  EXPECT_EQ(t.TrackNumber, 1u);  // "WM/Track" text counts from 0
  EXPECT_EQ(t.Duration, 217u);
  EXPECT_EQ(t.SampleRate, 44100u);
  EXPECT_EQ(t.Bitrate, 128u);
  EXPECT_EQ(t.FileSize, file.size());
}

TEST_F(AsfTest, TrackNumberForms) {
  auto track = [](Bytes attr) { return ReadBytes(AsfHeader({AsfExtended({attr})}), ReadAsf).TrackNumber; };
  EXPECT_EQ(track(AsfAttr(u"WM/TrackNumber", 0, Str(u"5/10"))), 5u);
  EXPECT_EQ(track(AsfAttr(u"WM/TrackNumber", 3, B().u32le(9))), 9u);
  EXPECT_EQ(track(AsfAttr(u"WM/TrackNumber", 5, B().u16le(4))), 4u);
  // WM/Track counts from 0 in every form.
  EXPECT_EQ(track(AsfAttr(u"WM/Track", 3, B().u32le(3))), 4u);
  EXPECT_EQ(track(AsfAttr(u"WM/Track", 3, B().u32le(0))), 1u);
  EXPECT_EQ(track(AsfAttr(u"WM/Track", 0, Str(u"4"))), 5u);
}

TEST_F(AsfTest, FirstLyricsAttributeStays) {
  const Bytes file = AsfHeader({AsfExtended({AsfAttr(u"WM/Lyrics", 0, Str(u"first")),
                                             AsfAttr(u"WM/Lyrics", 0, Str(u"second"))})});
  EXPECT_EQ(U(ReadBytes(file, ReadAsf).Lyrics), u"first");
}

TEST_F(AsfTest, DescriptionAttributeFillsAMissingComment) {
  auto comment = [](std::initializer_list<Bytes> objects) { return ReadBytes(AsfHeader(objects), ReadAsf).Comment; };
  EXPECT_EQ(U(comment({AsfExtended({AsfAttr(u"Description", 0, Str(u"from attribute"))})})), u"from attribute");
  // The content-description object's text wins.
  EXPECT_EQ(U(comment({AsfContentDescription(u"T", u"A", u"from object"),
                       AsfExtended({AsfAttr(u"Description", 0, Str(u"from attribute"))})})),
            u"from object");
}

TEST_F(AsfTest, PicturesFromAttributesAndTheMetadataLibrary) {
  // An icon is skipped, the front cover taken, a later picture ignored.
  const TrackInfo t = ReadBytes(AsfHeader({AsfExtended({
                                    AsfAttr(u"WM/Picture", 1, AsfPictureValue(2, u"image/png", PngBytes(1))),
                                    AsfAttr(u"WM/Picture", 1, AsfPictureValue(3, u"image/jpeg", JpegBytes(2))),
                                    AsfAttr(u"WM/Picture", 1, AsfPictureValue(3, u"image/png", PngBytes(3)))})}),
                                ReadAsf);
  EXPECT_EQ(FileBytes(t.CoverFile), JpegBytes(2));

  // No MIME type: the data's first bytes say PNG.
  const TrackInfo lib = ReadBytes(AsfHeader({AsfHeaderExtensionWithPicture(AsfPictureValue(0, u"", PngBytes(7)))}),
                                  ReadAsf);
  EXPECT_EQ(FileBytes(lib.CoverFile), PngBytes(7));

  // A picture whose stated length runs past its value is dropped.
  Bytes bad = AsfPictureValue(3, u"image/png", PngBytes(1));
  bad[1] = 0xF0;
  EXPECT_FALSE(ReadBytes(AsfHeader({AsfExtended({AsfAttr(u"WM/Picture", 1, bad)})}), ReadAsf).CoverFile);
}

TEST_F(AsfTest, SynchronisedLyricsAreJoinedWithoutTimeStamps) {
  // time-stamp format, content type 1, byte count n, descriptor, then pieces:
  // [0x0A] text 0 time-stamp
  const Bytes pieces = B().add(Wz(u"Hello")).u32le(1000).u8(0x0A).add(Wz(u"world")).u32le(2000);
  const Bytes desc = Wz(u"d");
  const Bytes value = B().u8(2).u8(1).u32le(desc.size() + pieces.size()).add(desc).add(pieces);
  EXPECT_EQ(AsfSynchronisedLyrics(value), std::u16string(u"Hello\nworld"));
  EXPECT_EQ(AsfSynchronisedLyrics(B().u8(2).u8(2).u32le(4).zeros(4)), std::nullopt);  // not lyrics
  // A count larger than the value stops at the value's end.
  const Bytes liar = B().u8(2).u8(1).u32le(0xFFFFFFF0).add(desc).add(Wz(u"ab")).u32le(0).add(Wz(u"cd"));
  EXPECT_EQ(AsfSynchronisedLyrics(liar), std::u16string(u"abcd"));

  const TrackInfo t = ReadBytes(AsfHeader({AsfExtended({AsfAttr(u"WM/Lyrics_Synchronised", 1, value)})}), ReadAsf);
  EXPECT_EQ(U(t.Lyrics), u"Hello\nworld");
}

TEST_F(AsfTest, NotAsfOrLyingSizes) {
  bool ok = true;
  ReadBytes(B().str("RIFF").zeros(40), ReadAsf, &ok);
  EXPECT_FALSE(ok);

  // A header claiming 4 GB, with a sub-object running past the data: what
  // came before it stays.
  Bytes file = AsfHeader({AsfFileProperties(600'000'000), AsfContentDescription(u"T", u"A", u"D")});
  for (int i = 16; i < 24; ++i) file[i] = 0xFF;
  file.resize(file.size() - 5);
  const TrackInfo t = ReadBytes(file, ReadAsf, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(t.Duration, 60u);
  EXPECT_FALSE(t.Title);

  // A preroll longer than the play duration is not subtracted.
  EXPECT_EQ(ReadBytes(AsfHeader({AsfFileProperties(10'000'000, 5000)}), ReadAsf).Duration, 1u);

  // An attribute count far above what the object holds.
  Bytes ext = AsfHeader({AsfExtended({AsfAttr(u"WM/Genre", 0, Str(u"Pop"))})});
  ext[30 + 24] = 0xFF;
  ext[30 + 25] = 0xFF;
  EXPECT_EQ(U(ReadBytes(ext, ReadAsf).Genre), u"Pop");
}
