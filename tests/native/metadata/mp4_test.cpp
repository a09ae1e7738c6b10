#include <gtest/gtest.h>

#include "builders_containers.h"
#include "container_test_util.h"
#include "metadata/cover.h"
#include "metadata/genres.h"
#include "metadata/mp4.h"

using namespace tunelet;
using namespace container_builders;

namespace {

bool ReadMp4(platform::ReadableFile& f, TrackInfo& i) { return ReadMp4Atoms(f, i); }

Bytes TaggedMoov(const Bytes& mvhd) {
  return Atom("moov", Cat({mvhd, Trak(false, 44100),
                           Udta(Cat({IlstItem("trkn", 0, B().u16be(0).u16be(5).u16be(12).u16be(0)),
                                     IlstText("\xA9nam", "Caf\xC3\xA9"), IlstText("\xA9" "ART", "Band"),
                                     IlstText("\xA9" "alb", "Album"), IlstText("\xA9" "day", "2004"),
                                     IlstText("\xA9" "cmt", "Note"), IlstItem("gnre", 0, B().u16be(18)),
                                     IlstText("\xA9too", "encoder")}))}));
}

void ExpectTags(const TrackInfo& t) {
  EXPECT_EQ(U(t.Title), u"Caf\u00E9");  // the title item comes after "trkn"
  EXPECT_EQ(U(t.Artist), u"Band");
  EXPECT_EQ(U(t.Album), u"Album");
  EXPECT_EQ(U(t.Year), u"2004");
  EXPECT_EQ(U(t.Comment), u"Note");
  EXPECT_EQ(U(t.Genre), std::u16string(StringTableGenre(17)));  // "gnre" counts from 1
  EXPECT_EQ(t.TrackNumber, 5u);
  EXPECT_EQ(t.SampleRate, 44100u);
}

}  // namespace

TEST(Mp4, ItemsDurationAndAudioTrack) {
  const Bytes file = Cat({Ftyp(), Atom("free", B().zeros(3)), TaggedMoov(Mvhd0(600, 600 * 185 + 599)),
                          Atom("mdat", B().zeros(64))});
  bool ok = false;
  const TrackInfo t = ReadBytes(file, ReadMp4, &ok);
  EXPECT_TRUE(ok);
  ExpectTags(t);
  EXPECT_EQ(t.Duration, 185u);
  EXPECT_EQ(t.FileSize, file.size());
  EXPECT_EQ(t.Bitrate, 0u);
}

// Both used to end the walk or give a wrong duration.
TEST(Mp4, SixtyFourBitAtomSizesAndVersion1MovieHeaders) {
  const Bytes file = Cat({Ftyp(), Atom64("mdat", B().zeros(40)), TaggedMoov(Mvhd1(44100, 44100ull * 7201))});
  const TrackInfo t = ReadBytes(file, ReadMp4);
  ExpectTags(t);
  EXPECT_EQ(t.Duration, 7201u);

  EXPECT_EQ(Mp4MovieDuration(B().u8(1).zeros(3).u64be(0).u64be(0).u32be(1000).u64be(4'000'000'000'000ull)),
            4'000'000'000u);
  EXPECT_EQ(Mp4MovieDuration(B().u8(0).zeros(11).u32be(0).u32be(5)), std::nullopt);  // time scale 0
  EXPECT_EQ(Mp4MovieDuration(B().u8(1).zeros(10)), std::nullopt);                    // cut short
}

TEST(Mp4, CompressedMovieHeaderIsInflated) {
  const Bytes file = Cat({Ftyp(), CompressedMoov(TaggedMoov(Mvhd0(1000, 61000)))});
  const TrackInfo t = ReadBytes(file, ReadMp4);
  ExpectTags(t);
  EXPECT_EQ(t.Duration, 61u);

  // The inflated length is capped by what was asked for.
  const Bytes big(100000, 'x');
  Bytes z = CompressedMoov(big);
  EXPECT_EQ(InflateZlib(ByteSpan(z).subspan(40), 10).size(), 10u);
  EXPECT_TRUE(InflateZlib(B().str("not zlib at all"), 100).empty());
}

TEST(Mp4, VideoTracksGiveNoSampleRate) {
  const Bytes moov = Atom("moov", Cat({Trak(false, 22050), Trak(true, 90000)}));
  EXPECT_EQ(ReadBytes(Cat({Ftyp(), moov}), ReadMp4).SampleRate, 22050u);
  // A video media header wins over a sound one in the same track.
  const Bytes stsd = Atom("stsd", Cat({B().u32be(0).u32be(1), B().u32be(36).str("mp4a").zeros(24).u32be(48000u << 16)}));
  const Bytes minf = Atom("minf", Cat({Atom("vmhd", B().zeros(8)), Atom("smhd", B().zeros(8)), Atom("stbl", stsd)}));
  const Bytes both = Atom("trak", Atom("mdia", minf));
  EXPECT_EQ(ReadBytes(Cat({Ftyp(), Atom("moov", Cat({Trak(false, 22050), both}))}), ReadMp4).SampleRate, 22050u);
  EXPECT_EQ(ReadBytes(Cat({Ftyp(), Atom("moov", Trak(false, 48000))}), ReadMp4).SampleRate, 48000u);
}

TEST(Mp4, MissingMoovOrBrokenSizesLeaveOnlyTheFileSize) {
  const Bytes noMoov = Cat({Ftyp(), Atom("mdat", B().zeros(20))});
  TrackInfo t = ReadBytes(noMoov, ReadMp4);
  EXPECT_EQ(t.FileSize, noMoov.size());
  EXPECT_EQ(t.Duration, 0u);

  // A top-level size of 1..7 ends the walk.
  const Bytes tiny = Cat({Ftyp(), B().u32be(5).str("junk"), TaggedMoov(Mvhd0(1, 9))});
  t = ReadBytes(tiny, ReadMp4);
  EXPECT_FALSE(t.Title);
  EXPECT_EQ(t.FileSize, tiny.size());

  // A moov that claims more than the file holds is read as far as it goes.
  Bytes cut = Cat({Ftyp(), TaggedMoov(Mvhd0(10, 50))});
  cut.resize(cut.size() - 30);
  t = ReadBytes(cut, ReadMp4);
  EXPECT_EQ(t.Duration, 5u);
  EXPECT_EQ(t.SampleRate, 44100u);

  // A child atom claiming to run past its parent ends that walk only.
  Bytes liar = Cat({Ftyp(), Atom("moov", Cat({Mvhd0(10, 70), B().u32be(0x7FFFFFF0).str("udta")}))});
  EXPECT_EQ(ReadBytes(liar, ReadMp4).Duration, 7u);
}

TEST(Mp4, TextGenreLyricsCoverAndAverageBitrate) {
  const Bytes items = Cat({IlstText("\xA9gen", "Synthpop"), IlstText("\xA9lyr", "la la"),
                           IlstItem("covr", 14, PngBytes(7)), IlstItem("covr", 13, JpegBytes(8))});
  const Bytes file = Cat({Ftyp(), Atom("moov", Cat({Mvhd0(1000, 2000), Trak(false, 44100, Esds(140000, 127600)),
                                                     Udta(items)}))});
  TrackInfo t = ReadBytes(file, ReadMp4);
  EXPECT_EQ(U(t.Genre), u"Synthpop");
  EXPECT_EQ(U(t.Lyrics), u"la la");
  EXPECT_EQ(t.Bitrate, 128u);  // 127600 bit/s
  ASSERT_TRUE(t.CoverFile);
  EXPECT_TRUE(t.CoverFile->ends_with(u".PNG"));  // the first cover
  DeleteTemporaryCovers();

  // The numbered genre wins over the text one, in either order; a cover whose
  // bytes say nothing is typed by its data type (13 JPEG).
  const Bytes both = Cat({IlstItem("gnre", 0, B().u16be(18)), IlstText("\xA9gen", "Text"),
                          IlstItem("covr", 13, B().str("not an image header"))});
  t = ReadBytes(Cat({Ftyp(), Atom("moov", Udta(both))}), ReadMp4);
  EXPECT_EQ(U(t.Genre), std::u16string(StringTableGenre(17)));
  ASSERT_TRUE(t.CoverFile);
  EXPECT_TRUE(t.CoverFile->ends_with(u".JPG"));
  DeleteTemporaryCovers();

  // An esds without a decoder configuration, or cut short, gives no rate.
  EXPECT_EQ(Mp4AverageBitrate(Atom("esds", B().u32be(0).u8(3).u8(3).u16be(1).u8(0))), 0u);
  Bytes cut = Esds(1, 64000);
  cut.resize(cut.size() - 2);
  cut[3] = uint8_t(cut.size());
  EXPECT_EQ(Mp4AverageBitrate(cut), 0u);
  EXPECT_EQ(Mp4AverageBitrate(Esds(1, 64000)), 64000u);
}
