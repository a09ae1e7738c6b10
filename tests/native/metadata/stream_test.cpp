// Stream properties: MPEG audio frame math and first-frame search, Ogg Vorbis
// headers and comments, Monkey's Audio header layouts.
#include <gtest/gtest.h>

#include <cmath>

#include "builders.h"
#include "metadata/monkey.h"
#include "metadata/mpeg_audio.h"
#include "metadata/ogg_vorbis.h"

using namespace builders;
using namespace tunelet;

namespace {

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz: 144 * 128000 / 44100 = 417.96 -> 417 bytes.
const Bytes kCbr128 = MpegHeader(3, 1, 9, 0);
constexpr size_t kCbr128Size = 417;

TEST(MpegMathTest, HeaderValidityAndFrameSizes) {
  EXPECT_TRUE(IsValidMpegHeader(kCbr128.data()));
  auto bad = [](Bytes h) { return !IsValidMpegHeader(h.data()); };
  EXPECT_TRUE(bad(MpegHeader(3, 1, 0, 0)));   // free format
  EXPECT_TRUE(bad(MpegHeader(3, 1, 15, 0)));  // bad bit-rate index
  EXPECT_TRUE(bad(MpegHeader(3, 1, 9, 3)));   // reserved sample rate
  EXPECT_TRUE(bad(MpegHeader(1, 1, 9, 0)));   // reserved version
  EXPECT_TRUE(bad(MpegHeader(3, 0, 9, 0)));   // reserved layer
  Bytes emphasis = kCbr128;
  emphasis[3] |= 2;
  EXPECT_TRUE(bad(emphasis));
  EXPECT_TRUE(bad(Bytes{0xFF, 0xDF, 0x90, 0}));

  auto decode = [](Bytes h) { return DecodeMpegHeader(h.data()); };
  EXPECT_EQ(decode(kCbr128).frameSize, 417u);
  EXPECT_EQ(decode(MpegHeader(3, 1, 9, 0, true)).frameSize, 418u);
  // MPEG-2 Layer III 64 kbit/s at 22050 Hz: c = 72 -> 208; MPEG-2.5 at 8000 Hz: 576.
  EXPECT_EQ(decode(MpegHeader(2, 1, 8, 0)).bitrate, 64u);
  EXPECT_EQ(decode(MpegHeader(2, 1, 8, 0)).frameSize, 208u);
  EXPECT_EQ(decode(MpegHeader(0, 1, 8, 2)).sampleRate, 8000u);
  EXPECT_EQ(decode(MpegHeader(0, 1, 8, 2)).frameSize, 576u);
  // MPEG-1 Layer I 32 kbit/s: c = 48, padding 4 bytes -> 34 + 4.
  EXPECT_EQ(decode(MpegHeader(3, 3, 1, 0, true)).frameSize, 38u);
  // Table corners: MPEG-1 Layer II index 14 = 384, MPEG-2 Layer I index 14 = 256, Layer III 160.
  EXPECT_EQ(MpegBitrate(3, 2, 14), 384u);
  EXPECT_EQ(MpegBitrate(2, 3, 14), 256u);
  EXPECT_EQ(MpegBitrate(2, 1, 14), 160u);
  EXPECT_EQ(MpegBitrate(3, 3, 14), 448u);

  EXPECT_EQ(VbrHeaderOffset(decode(kCbr128)), 36u);
  EXPECT_EQ(VbrHeaderOffset(decode(MpegHeader(3, 1, 9, 0, false, 3))), 21u);
  EXPECT_EQ(VbrHeaderOffset(decode(MpegHeader(2, 1, 8, 0))), 21u);
  EXPECT_EQ(VbrHeaderOffset(decode(MpegHeader(2, 1, 8, 0, false, 3))), 13u);
}

TMPEGaudio Mpeg(const Bytes& file) {
  BytesFile f(file);
  TMPEGaudio m;
  EXPECT_TRUE(m.LoadFromFile(f));
  return m;
}

TEST(MpegAudioTest, ConstantBitRateAfterTagsUsesTheAudioSpan) {
  // A 4096-byte ID3v2 tag, 300 frames, an ID3v1 tag.
  const Bytes tag = Id3v2Tag(3, Latin1("TIT2", "x"), 0, 4096 - 10 - 12);
  ASSERT_EQ(tag.size(), 4096u);
  const Bytes file = Cat({tag, MpegFrames(kCbr128, kCbr128Size, 300), Id3v1("t", "", "", "", 1, 0)});
  const TMPEGaudio m = Mpeg(file);
  ASSERT_TRUE(m.Valid());
  EXPECT_EQ(m.FramePosition, 4096u);
  EXPECT_EQ(m.BitRate(), 128u);
  EXPECT_DOUBLE_EQ(m.Duration(), double(file.size() - 128 - 4096) * 8 / 128000);

  // A Lyrics3 v2 block before the ID3v1 tag is not audio either.
  const Bytes lyrics = Cat({Str("LYRICSBEGIN"), Str("LYR00003abc"), Str("000022LYRICS200")});
  const Bytes withLyrics = Cat({MpegFrames(kCbr128, kCbr128Size, 10), lyrics, Id3v1("t", "", "", "", 1, 0)});
  EXPECT_EQ(Mpeg(withLyrics).AudioEnd, withLyrics.size() - 128 - lyrics.size());
}

TEST(MpegAudioTest, XingAndVbriHeaders) {
  // Xing with 1000 frames at 44100 Hz: 144 * 1000 * 8 / 44100 = 26.12 s;
  // bit rate round((313000 / 1000) * 44100 / 144 / 1000) = 96.
  Bytes file = Cat({VbrFrame(kCbr128, kCbr128Size, 36, true, 1000, 313000), MpegFrames(kCbr128, kCbr128Size, 3)});
  TMPEGaudio m = Mpeg(file);
  ASSERT_TRUE(m.Valid());
  EXPECT_TRUE(m.VbrFound);
  EXPECT_NEAR(m.Duration(), 26.122, 0.001);
  EXPECT_EQ(m.BitRate(), 96u);

  file = Cat({VbrFrame(kCbr128, kCbr128Size, 36, false, 1000, 313000), MpegFrames(kCbr128, kCbr128Size, 3)});
  m = Mpeg(file);
  EXPECT_EQ(m.VbrFrames, 1000u);
  EXPECT_EQ(m.VbrBytes, 313000u);

  // MPEG-2 mono: the marker sits 13 bytes in; 72 * 500 * 8 / 22050 s.
  const Bytes mono = MpegHeader(2, 1, 8, 0, false, 3);
  file = Cat({VbrFrame(mono, 208, 13, true, 500, 500 * 150), MpegFrames(mono, 208, 3)});
  m = Mpeg(file);
  EXPECT_NEAR(m.Duration(), 72.0 * 500 * 8 / 22050, 1e-9);
  // The padding bytes are no part of a frame's average: MPEG-1 Layer I,
  // padded (4 bytes), 100 bytes per frame: (100 - 4) * 44100 / 48 / 1000 =
  // 88.2 -> 88 (92 with the padding counted).
  const Bytes layer1 = MpegHeader(3, 3, 9, 0, true);
  const size_t layer1Size = DecodeMpegHeader(layer1.data()).frameSize;
  file = Cat({VbrFrame(layer1, layer1Size, 36, true, 1000, 100000), MpegFrames(layer1, layer1Size, 3)});
  m = Mpeg(file);
  ASSERT_TRUE(m.VbrFound);
  EXPECT_EQ(m.BitRate(), 88u);
  // A Xing frame count of 0 falls back to the table rate.
  file = Cat({VbrFrame(kCbr128, kCbr128Size, 36, true, 0, 0), MpegFrames(kCbr128, kCbr128Size, 30)});
  EXPECT_EQ(Mpeg(file).BitRate(), 128u);
}

TEST(MpegAudioTest, SearchAcrossBlocksAndRejections) {
  // 5000 bytes of junk: the frame is found in the second block.
  Bytes file = Cat({Bytes(5000, 0), MpegFrames(kCbr128, kCbr128Size, 20)});
  TMPEGaudio m = Mpeg(file);
  ASSERT_TRUE(m.FrameFound);
  EXPECT_EQ(m.FramePosition, 5000u);

  // Free format, a header without a following one, and too short a stream: no stream.
  EXPECT_FALSE(Mpeg(MpegFrames(MpegHeader(3, 1, 0, 0), 400, 20)).FrameFound);
  EXPECT_FALSE(Mpeg(Cat({kCbr128, Bytes(2000, 0)})).FrameFound);
  EXPECT_FALSE(Mpeg(MpegFrames(kCbr128, kCbr128Size, 2)).Valid());  // 0.05 s
  // Junk beyond the search limit is never read through.
  m = Mpeg(Cat({Bytes(300u << 10, 0), MpegFrames(kCbr128, kCbr128Size, 20)}));
  EXPECT_FALSE(m.FrameFound);
  EXPECT_EQ(m.FileSize, 0u);
}

TEST(MpegAudioTest, FurtherTagsAreSteppedOverWhole) {
  // A second ID3v2 tag of 300 KB (a picture a tagger left behind) after the
  // first: the audio starts beyond the search limit counted from the first tag.
  const Bytes first = Id3v2Tag(3, Latin1("TIT2", "x"));
  const Bytes second = Id3v2Tag(4, Latin1("TIT2", "y", 4), 0, 300u << 10);
  const Bytes third = Id3v2Tag(3, Latin1("TPE1", "z"));
  const Bytes file = Cat({first, second, third, MpegFrames(kCbr128, kCbr128Size, 300)});
  const TMPEGaudio m = Mpeg(file);
  ASSERT_TRUE(m.Valid());
  EXPECT_EQ(m.FramePosition, first.size() + second.size() + third.size());
  EXPECT_EQ(m.BitRate(), 128u);
  EXPECT_DOUBLE_EQ(m.Duration(), double(300 * kCbr128Size) * 8 / 128000);
  // Junk after the second tag still counts against the limit.
  EXPECT_FALSE(Mpeg(Cat({first, second, Bytes(300u << 10, 0), MpegFrames(kCbr128, kCbr128Size, 20)})).FrameFound);
}

TEST(MpegAudioTest, CutFilesEndingBeforeTheNextFramePosition) {
  // A header whose next frame would start past the file's end: the check
  // must not read beyond the last (short) block. 232..251 bytes is a download
  // cut inside the second frame's header span.
  EXPECT_FALSE(Mpeg(Cat({kCbr128, Bytes(96, 0)})).FrameFound);
  for (size_t cut = 232; cut <= 251; ++cut) {
    Bytes file = MpegFrames(kCbr128, kCbr128Size, 2);
    file.resize(cut);
    EXPECT_FALSE(Mpeg(file).FrameFound) << cut;
  }
  // The next header cut after two of its four bytes is not a header either.
  Bytes twoBytes = MpegFrames(kCbr128, kCbr128Size, 2);
  twoBytes.resize(kCbr128Size + 2);
  EXPECT_FALSE(Mpeg(twoBytes).FrameFound);
}

// --- Ogg Vorbis

Bytes OggFile(const Bytes& comments, uint8_t channels, uint64_t lastGranule, size_t audioBytes = 20000) {
  return Cat({OggPage(VorbisId(channels, 44100, 128000), 0, 0, 2), OggPage(comments, 0, 1),
              OggPage(Bytes(audioBytes / 2, 0x11), lastGranule / 2, 2),
              OggPage(Bytes(audioBytes / 2, 0x22), lastGranule, 3, 4)});
}

TOggVorbis Ogg(const Bytes& file) {
  BytesFile f(file);
  TOggVorbis o;
  EXPECT_TRUE(o.LoadFromFile(f));
  return o;
}

TEST(OggVorbisTest, HeadersCommentsAndLastGranule) {
  const Bytes file = OggFile(VorbisComments({"title=Song", "PERFORMER=Player", "Album=LP", "TRACKNUMBER=4/10",
                                             "DATE=2003", "GENRE=Folk", "nonsense", "TITLE=Later \xD0\x96"}),
                             2, 441000);
  const TOggVorbis o = Ogg(file);
  ASSERT_TRUE(o.Valid());
  EXPECT_EQ(o.Channels, 2);
  EXPECT_EQ(o.SampleRate, 44100u);
  EXPECT_EQ(o.NominalBitrate, 128u);
  EXPECT_EQ(o.Samples, 441000u);
  EXPECT_DOUBLE_EQ(o.Duration(), 10.0);
  EXPECT_EQ(o.BitRate(), uint32_t(std::lround(file.size() / 10.0 / 125)));
  EXPECT_EQ(o.Title, u"Later \u0416");  // a later comment replaces
  EXPECT_EQ(o.Artist, u"Player");       // PERFORMER when there is no ARTIST
  EXPECT_EQ(o.Album, u"LP");
  EXPECT_EQ(o.Track, 4u);
  EXPECT_EQ(o.Date, u"2003");
  EXPECT_EQ(o.Genre, u"Folk");
}

// 200000 bytes of audio in four pages of 50000 (197 segments each), then a
// last page of 100 bytes with the granule: 201132 bytes in all.
Bytes LongOggFile(uint8_t channels, uint32_t nominalBitRate, uint64_t lastGranule) {
  Bytes file = Cat({OggPage(VorbisId(channels, 44100, nominalBitRate), 0, 0, 2), OggPage(VorbisComments({}), 0, 1)});
  for (uint32_t page = 0; page < 4; ++page) file = Cat({file, OggPage(Bytes(50000, 0x33), 0, 2 + page)});
  return Cat({file, OggPage(Bytes(100, 0x44), lastGranule, 6, 4)});
}

// The bit rate is the stream's bytes over its length in kilobits a second
// (bytes / seconds / 125): 201132 bytes in 10 s are 161 kbit/s (not 157).
// Without a last granule the length comes from the nominal rate, (bytes /
// 96 / 1 / 125 * 2 s for 96 kbit/s mono), and the bit rate from the length:
// 48 kbit/s (not 47).
TEST(OggVorbisTest, BitRateIsKilobitsOverTheLength) {
  const Bytes file = LongOggFile(2, 128000, 441000);
  ASSERT_EQ(file.size(), 201132u);  // 58 + 50 + 4 * (27 + 197 + 50000) + (27 + 1 + 100)
  EXPECT_DOUBLE_EQ(Ogg(file).Duration(), 10.0);
  EXPECT_EQ(Ogg(file).BitRate(), 161u);
  const TOggVorbis nominal = Ogg(LongOggFile(1, 96000, 0));
  EXPECT_DOUBLE_EQ(nominal.Duration(), 201132.0 / 6000);
  EXPECT_EQ(nominal.BitRate(), 48u);
}

TEST(OggVorbisTest, CommentPacketOverSeveralPages) {
  const Bytes packet = VorbisComments({"DESCRIPTION=" + std::string(600, 'd'), "ARTIST=Across", "TITLE=Pages"});
  const size_t firstPart = 2 * 255;
  const Bytes file = Cat({OggPage(VorbisId(2, 44100, 128000), 0, 0, 2),
                          OggPage(Bytes(packet.begin(), packet.begin() + firstPart), 0, 1, 0, true),
                          OggPage(Bytes(packet.begin() + firstPart, packet.end()), 0, 2, 1),
                          OggPage(Bytes(9000, 0), 88200, 3, 4)});
  const TOggVorbis o = Ogg(file);
  EXPECT_EQ(o.Artist, u"Across");
  EXPECT_EQ(o.Title, u"Pages");
}

TEST(OggVorbisTest, FallbacksAndRejections) {
  // No granule on the last page: duration from the nominal rate, (size / 128 / 2 / 125 * 2).
  const Bytes noGranule = OggFile(VorbisComments({}), 2, 0);
  EXPECT_NEAR(Ogg(noGranule).Duration(), noGranule.size() / 128.0 / 2 / 125 * 2, 1e-9);
  // Four channels are not taken.
  EXPECT_FALSE(Ogg(OggFile(VorbisComments({}), 4, 441000)).Valid());
  // An ID3v2 tag in front: the stream starts after it.
  const Bytes tagged = Cat({Id3v2Tag(3, Latin1("TIT2", "x")), OggFile(VorbisComments({"ARTIST=A"}), 1, 44100)});
  const TOggVorbis o = Ogg(tagged);
  EXPECT_EQ(o.Id3v2Size, 22u);
  EXPECT_EQ(o.Artist, u"A");
  // Not Ogg at all.
  BytesFile junk(Bytes(100, 'x'));
  TOggVorbis none;
  EXPECT_FALSE(none.LoadFromFile(junk));
  // Lying comment lengths and truncations: no crash, nothing invented.
  Bytes lying = VorbisComments({"ARTIST=A"});
  lying[7] = 0xFF;  // vendor length
  EXPECT_EQ(Ogg(OggFile(lying, 2, 44100)).Artist, u"");
  const Bytes full = OggFile(VorbisComments({"ARTIST=A", "TITLE=B"}), 2, 44100, 400);
  for (size_t n = 0; n < full.size(); n += 7) {
    BytesFile cut(Bytes(full.begin(), full.begin() + ptrdiff_t(n)));
    TOggVorbis any;
    any.LoadFromFile(cut);
    any.Valid();
  }
}

// --- Monkey's Audio

// "MAC ", version, and the old 30-byte header: level, flags, channels, rate,
// header bytes, terminating bytes, total frames, final frame blocks, 4 more.
Bytes OldMac(uint16_t version, uint16_t level, uint16_t flags, uint32_t frames, uint32_t finalBlocks) {
  return Cat({Str("MAC "), Le(version, 2), Le(level, 2), Le(flags, 2), Le(2, 2), Le(44100, 4), Le(0, 4), Le(0, 4),
              Le(frames, 4), Le(finalBlocks, 4), Le(0, 4)});
}
// "MAC ", version, the 52-byte descriptor (its length at 8), the header:
// level, flags, blocks per frame, final frame blocks, frames, bits, channels, rate.
Bytes NewMac(uint16_t version, uint32_t descriptorBytes, uint32_t blocksPerFrame, uint32_t finalBlocks,
             uint32_t frames) {
  Bytes d = Cat({Str("MAC "), Le(version, 2), Le(0, 2), Le(descriptorBytes, 4), Le(24, 4), Bytes(36, 0)});
  d.resize(descriptorBytes, 0);
  return Cat({d, Le(2000, 2), Le(0, 2), Le(blocksPerFrame, 4), Le(finalBlocks, 4), Le(frames, 4), Le(16, 2),
              Le(2, 2), Le(48000, 4)});
}

TMonkey Monkey(const Bytes& file) {
  BytesFile f(file);
  TMonkey m;
  m.LoadFromFile(f);
  return m;
}

TEST(MonkeyTest, VersionLayouts) {
  EXPECT_EQ(MonkeyBlocksPerFrame(3970, 2000), 294912u);
  EXPECT_EQ(MonkeyBlocksPerFrame(3920, 2000), 73728u);
  EXPECT_EQ(MonkeyBlocksPerFrame(3850, 4000), 73728u);
  EXPECT_EQ(MonkeyBlocksPerFrame(3850, 3000), 9216u);

  // 3970: old header, 294912 blocks per frame.
  Bytes file = Cat({OldMac(3970, 2000, 0, 2, 1000), Bytes(1000, 0)});
  TMonkey m = Monkey(file);
  ASSERT_TRUE(m.Valid);
  EXPECT_EQ(m.Samples, 294912u + 1000);
  EXPECT_EQ(m.Bits, 16);
  EXPECT_DOUBLE_EQ(m.Duration, 295912.0 / 44100);
  EXPECT_DOUBLE_EQ(m.BitRate, file.size() * 8 / (m.Duration / 1000));
  // The frame grew to 294912 blocks with version 3950; 3900..3949 have 73728.
  EXPECT_EQ(Monkey(OldMac(3949, 2000, 0, 3, 10)).Samples, 2u * 73728 + 10);
  EXPECT_EQ(Monkey(OldMac(3950, 2000, 0, 3, 10)).Samples, 2u * 294912 + 10);
  EXPECT_EQ(Monkey(OldMac(3899, 4000, 0, 3, 10)).Samples, 2u * 73728 + 10);
  EXPECT_EQ(Monkey(OldMac(3899, 3000, 0, 3, 10)).Samples, 2u * 9216 + 10);
  EXPECT_EQ(Monkey(OldMac(3970, 2000, 0x01, 2, 1)).Bits, 8);
  EXPECT_EQ(Monkey(OldMac(3970, 2000, 0x08, 2, 1)).Bits, 24);

  // 3990: the descriptor layout; a longer descriptor is stepped over.
  for (uint32_t descriptor : {52u, 60u}) {
    m = Monkey(NewMac(3990, descriptor, 73728, 500, 3));
    ASSERT_TRUE(m.Valid);
    EXPECT_EQ(m.Samples, 73728u * 2 + 500);
    EXPECT_EQ(m.SampleRate, 48000u);
    EXPECT_EQ(m.Channels, 2);
  }
  // Zero frames: no samples, not valid; a tag in front is stepped over.
  EXPECT_FALSE(Monkey(NewMac(3990, 52, 73728, 500, 0)).Valid);
  EXPECT_TRUE(Monkey(Cat({Id3v2Tag(3, Latin1("TIT2", "x")), OldMac(3970, 2000, 0, 2, 1)})).Valid);
  // Truncations: no crash.
  const Bytes full = NewMac(3990, 52, 73728, 500, 3);
  for (size_t n = 0; n < full.size(); ++n) Monkey(Bytes(full.begin(), full.begin() + ptrdiff_t(n)));
}

}  // namespace
