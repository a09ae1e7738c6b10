#include <gtest/gtest.h>

#include "builders_containers.h"
#include "container_test_util.h"
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
