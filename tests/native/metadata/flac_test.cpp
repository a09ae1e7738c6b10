#include <gtest/gtest.h>

#include "builders_containers.h"
#include "container_test_util.h"
#include "metadata/cover.h"
#include "common/checked_convert.h"
#include "metadata/flac.h"

using namespace tunelet;
using namespace container_builders;

namespace {

bool ReadFlac(platform::ReadableFile& f, TrackInfo& i) { return ReadFlacMetadata(f, i); }

Bytes Flac(std::initializer_list<Bytes> blocks) {
  Bytes out = B().str("fLaC");
  for (const auto& b : blocks) out.insert(out.end(), b.begin(), b.end());
  return out;
}

class FlacTest : public ::testing::Test {
 protected:
  void TearDown() override { DeleteTemporaryCovers(); }
};

}  // namespace

TEST_F(FlacTest, StreamInfoFieldsAndThe36BitSampleCount) {
  const auto s = ParseFlacStreamInfo(FlacStreamInfoBody(96000, 6, 24, 0x9'1234'5678ull));
  EXPECT_EQ(s.sampleRate, 96000u);
  EXPECT_EQ(s.channels, 6u);
  EXPECT_EQ(s.bitsPerSample, 24u);
  EXPECT_EQ(s.totalSamples, 0x912345678ull);
  EXPECT_EQ(ParseFlacStreamInfo(B().zeros(10)).sampleRate, 0u);  // too short: nothing
}

TEST_F(FlacTest, TagsAndStreamAfterAnId3v2TagWithId3FieldsWinning) {
  const Bytes file = Cat({Id3v2Tag(Id3v2Text("TIT2", "From ID3")),
                          Flac({FlacBlock(0, FlacStreamInfoBody(44100, 2, 16, 44100 * 125)),
                                FlacBlock(4, VorbisCommentBody({"title=Vorbis title", "Artist=Band \xC3\xA9",
                                                                "TRACKNUMBER=7/12", "no equals sign",
                                                                "DATE=1999", "genre=Rock", "LYRICS=la la"})),
                                FlacBlock(1, B().zeros(100), true)}),
                          Bytes(2000000, 0)});
  bool ok = false;
  const TrackInfo t = ReadBytes(file, ReadFlac, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(U(t.Title), u"From ID3");
  EXPECT_EQ(U(t.Artist), u"Band \u00E9");
  EXPECT_EQ(U(t.Year), u"1999");
  EXPECT_EQ(U(t.Genre), u"Rock");
  EXPECT_EQ(U(t.Lyrics), u"la la");
  EXPECT_EQ(t.TrackNumber, 7u);
  EXPECT_EQ(t.SampleRate, 44100u);
  EXPECT_EQ(t.Duration, 125u);
  // Provisional bit rate over the bytes after the metadata: 2 MB in 125 s.
  EXPECT_EQ(t.FileSize, file.size());
  EXPECT_EQ(t.Bitrate, 128u);
}

TEST_F(FlacTest, CoverArtCommentReplacesAnEarlierPictureBlock) {
  const Bytes picture = PngBytes(1), comment = JpegBytes(2);
  // "/9j/4AIAAAAAAAAA" is the Base64 text of JpegBytes(2).
  ASSERT_EQ(Base64Decode("/9j/4AIAAAAAAAAA"), comment);
  const Bytes file = Flac({FlacBlock(0, FlacStreamInfoBody(44100, 2, 16, 0)),
                           FlacBlock(6, FlacPictureBody(3, "image/png", picture)),
                           FlacBlock(4, VorbisCommentBody({"COVERART=/9j/4AIAAAAAAAAA", "COVERARTMIME=image/jpeg"})),
                           FlacBlock(6, FlacPictureBody(3, "image/png", PngBytes(3)), true)});
  const TrackInfo t = ReadBytes(file, ReadFlac);
  ASSERT_TRUE(t.CoverFile);
  EXPECT_EQ(FileBytes(t.CoverFile), comment);
}

TEST_F(FlacTest, PictureTypesOtherThanCoversAreSkipped) {
  const Bytes file = Flac({FlacBlock(6, FlacPictureBody(1, "image/png", PngBytes(1))),  // file icon
                           FlacBlock(6, FlacPictureBody(4, "", JpegBytes(4)), true)});  // back cover, type from data
  const TrackInfo t = ReadBytes(file, ReadFlac);
  EXPECT_EQ(FileBytes(t.CoverFile), JpegBytes(4));
}

TEST_F(FlacTest, LyingLengthsEndTheWalkAndKeepWhatWasRead) {
  Bytes comments = VorbisCommentBody({"TITLE=kept", "ARTIST=cut"});
  comments[comments.size() - 14] = 0xFF;  // the second comment's length now runs past the block
  const Bytes file = Flac({FlacBlock(0, FlacStreamInfoBody(8000, 1, 8, 8000 * 3)), FlacBlock(4, comments),
                           B().u8(0x04).u24be(0xFFFFFF).str("short")});
  const TrackInfo t = ReadBytes(file, ReadFlac);
  EXPECT_EQ(U(t.Title), u"kept");
  EXPECT_FALSE(t.Artist);
  EXPECT_EQ(t.Duration, 3u);

  // No marker: only the ID3 tags count, and the reader still reports the open file.
  bool ok = false;
  const TrackInfo none = ReadBytes(B().str("fLaX").zeros(60), ReadFlac, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(none.SampleRate, 0u);
}

TEST_F(FlacTest, StreamReaderAcceptsPictureBlocksAndRejectsReservedOnes) {
  const Bytes head = Cat({Id3v2Tag(Id3v2Text("TIT2", "x")),
                          Flac({FlacBlock(0, FlacStreamInfoBody(44100, 2, 16, 44100 * 10)),
                                FlacBlock(6, FlacPictureBody(3, "image/png", PngBytes(1)), true)})});
  Bytes file = Cat({head, Bytes(176400, 0x55)});  // 10 s of audio in 176400 bytes
  TFLACfile flac;
  MemoryFile f(file);
  ASSERT_TRUE(flac.LoadFromStream(f));
  EXPECT_TRUE(flac.Valid());
  EXPECT_EQ(flac.AudioStart(), head.size());
  EXPECT_DOUBLE_EQ(flac.Duration(), 10.0);
  EXPECT_EQ(flac.Bitrate(), 141u);  // 176400 B / 1000 * 8 / 10 s = 141.12
  EXPECT_EQ(flac.FileSize(), file.size());

  const Bytes reserved = Flac({FlacBlock(0, FlacStreamInfoBody(44100, 2, 16, 441000)), FlacBlock(9, B().zeros(4), true)});
  MemoryFile r(reserved);
  EXPECT_FALSE(flac.LoadFromStream(r));
  EXPECT_EQ(flac.Duration(), 0.0);

  const Bytes noSamples = Flac({FlacBlock(0, FlacStreamInfoBody(44100, 2, 16, 0), true)});
  MemoryFile z(noSamples);
  EXPECT_FALSE(flac.LoadFromStream(z));
  EXPECT_EQ(flac.Bitrate(), 0u);
}

// The bit rate is that of the audio frames: the bytes after the last
// metadata block (here 100000 bytes in 10 s, 80 kbit/s), not the whole file
// with its 50000 bytes of padding (120 kbit/s).
TEST_F(FlacTest, BitRateCountsOnlyTheAudioAfterTheMetadata) {
  const Bytes file = Cat({Flac({FlacBlock(0, FlacStreamInfoBody(44100, 2, 16, 441000)),
                                FlacBlock(1, B().zeros(50000), true)}),
                          Bytes(100000, 0x55)});
  TFLACfile flac;
  MemoryFile f(file);
  ASSERT_TRUE(flac.LoadFromStream(f));
  EXPECT_EQ(flac.Bitrate(), 80u);
  EXPECT_EQ(ReadBytes(file, ReadFlac).Bitrate, 80u);  // the provisional value too
}

TEST_F(FlacTest, StreamValuesBeyondTheRecordsRangeGiveUnknown) {
  // 1 Hz and 2^36 - 1 samples: 68719476735 s does not fit 32 bits.
  const Bytes longest = Cat({Flac({FlacBlock(0, FlacStreamInfoBody(1, 2, 16, 0xF'FFFF'FFFFull), true)}),
                             Bytes(1000, 0)});
  TrackInfo t = ReadBytes(longest, ReadFlac);
  EXPECT_EQ(t.Duration, 0u);
  EXPECT_EQ(t.Bitrate, 0u);
  TFLACfile flac;
  MemoryFile f(longest);
  ASSERT_TRUE(flac.LoadFromStream(f));
  EXPECT_EQ(TruncatedU32(flac.Duration()), 0u);
  EXPECT_EQ(flac.Bitrate(), 0u);  // 8000 bits over 2^36 s rounds to 0

  // 1048575 Hz and one sample: 600000 bytes in under a microsecond are
  // 5033160000 kbit/s, beyond the record's 32 bits (and a 32-bit long).
  const Bytes shortest = Cat({Flac({FlacBlock(0, FlacStreamInfoBody(1048575, 2, 16, 1), true)}), Bytes(600000, 0)});
  MemoryFile g(shortest);
  ASSERT_TRUE(flac.LoadFromStream(g));
  EXPECT_EQ(flac.Bitrate(), 0u);
}

TEST_F(FlacTest, DescriptionAndBlockPictureComments) {
  const std::string picture = "METADATA_BLOCK_PICTURE=" + Base64(FlacPictureBody(3, "image/png", PngBytes(5)));
  const Bytes file = Flac({FlacBlock(0, FlacStreamInfoBody(44100, 2, 16, 44100)),
                           FlacBlock(4, VorbisCommentBody({"DESCRIPTION=about", picture}), true)});
  TrackInfo t = ReadBytes(file, ReadFlac);
  EXPECT_EQ(U(t.Comment), u"about");
  ASSERT_TRUE(t.CoverFile);
  EXPECT_TRUE(t.CoverFile->ends_with(u".PNG"));
  DeleteTemporaryCovers();

  // COMMENT wins over DESCRIPTION in either order; a PICTURE block found
  // first stays the cover.
  const Bytes both = Flac({FlacBlock(6, FlacPictureBody(3, "image/jpeg", JpegBytes(1))),
                           FlacBlock(4, VorbisCommentBody({"DESCRIPTION=about", "COMMENT=note", picture}), true)});
  t = ReadBytes(both, ReadFlac);
  EXPECT_EQ(U(t.Comment), u"note");
  ASSERT_TRUE(t.CoverFile);
  EXPECT_TRUE(t.CoverFile->ends_with(u".JPG"));
}
