#include <gtest/gtest.h>

#include "builders_containers.h"
#include "container_test_util.h"
#include "metadata/riff.h"

using namespace tunelet;
using namespace container_builders;

namespace {
bool ReadRiff(platform::ReadableFile& f, TrackInfo& i) { return ReadRiffInfo(f, i); }
}  // namespace

TEST(Riff, PcmWaveDurationAndBitrate) {
  // 3 s of 44.1 kHz 16-bit stereo: 529200 bytes.
  const Bytes file = Cat({Riff({Fmt(1, 2, 44100, 16)}), DataHeader(529200, 100)});
  bool ok = false;
  const TrackInfo t = ReadBytes(file, ReadRiff, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(t.SampleRate, 44100u);
  EXPECT_EQ(t.Duration, 3u);
  EXPECT_EQ(t.Bitrate, 1411u);
  EXPECT_EQ(t.FileSize, file.size());
  EXPECT_FALSE(t.Title);  // plain WAVE carries no tags here

  // 2.5 s of 32 kHz 16-bit stereo is 1024 kbit/s: the rate is over the exact
  // length, not over the 2 whole seconds shown.
  const TrackInfo half = ReadBytes(Cat({Riff({Fmt(1, 2, 32000, 16)}), DataHeader(320000, 100)}), ReadRiff);
  EXPECT_EQ(half.Duration, 2u);
  EXPECT_EQ(half.Bitrate, 1024u);
}

// Chunks before "fmt " and odd-sized (padded) chunks used to stop the reader.
TEST(Riff, ChunksBeforeTheFormatAndPaddedOddChunks) {
  const Bytes file = Cat({Riff({Chunk("JUNK", B().zeros(28)), Fmt(1, 1, 8000, 8),
                                Chunk("LIST", B().str("INFOISFT").u32le(3).str("abc"))}),
                          DataHeader(8000 * 60, 10)});
  const TrackInfo t = ReadBytes(file, ReadRiff);
  EXPECT_EQ(t.SampleRate, 8000u);
  EXPECT_EQ(t.Duration, 60u);
  EXPECT_EQ(t.Bitrate, 64u);
}

// "fact" gives the length in samples (compressed formats have no usable bits per sample).
TEST(Riff, FactChunkCountsSamples) {
  const Bytes file = Cat({Riff({Fmt(0x55, 2, 22050, 0), Chunk("fact", B().u32le(22050 * 40))}), DataHeader(640000, 4)});
  const TrackInfo t = ReadBytes(file, ReadRiff);
  EXPECT_EQ(t.Duration, 40u);
  EXPECT_EQ(t.Bitrate, 128u);
}

TEST(Riff, WavPackTakesSamplesFromItsBlockAndTagsWithApeFirst) {
  const Bytes riff = Riff({Fmt(1, 2, 44100, 16), DataHeader(0)});
  const Bytes file = Cat({WavPack(44100 * 5, riff), B().zeros(300),
                          ApeTag({{"Title", "APE title"}, {"Track", "40"}}), Id3v1Tag("v1 title", "v1 artist", 3)});
  bool ok = false;
  const TrackInfo t = ReadBytes(file, ReadRiff, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(t.Duration, 5u);
  EXPECT_EQ(t.SampleRate, 44100u);
  EXPECT_EQ(U(t.Title), u"APE title");
  EXPECT_EQ(U(t.Artist), u"v1 artist");
  EXPECT_EQ(t.TrackNumber, 0u);  // 40 is no ID3v1 track number
  EXPECT_EQ(t.FileSize, file.size());
}

// Newer packers store the original extension (odd size, 0x68) before the RIFF header.
TEST(Riff, WavPackRiffHeaderAfterOtherSubBlocks) {
  const Bytes riff = Riff({Fmt(1, 1, 8000, 8), DataHeader(16000)});
  Bytes file = WavPack(16000, riff, 0, B().u8(0x68).u8(2).str("wav").u8(0));
  file.resize(5000, 0);  // the packed blocks: 5000 bytes for 2 s
  bool ok = false;
  const TrackInfo t = ReadBytes(file, ReadRiff, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(t.Duration, 2u);
  EXPECT_EQ(t.Bitrate, 20u);  // 5000 * 8 bits over 2 s, not the 64 kbit/s of the PCM
}

TEST(Riff, WavPackWithoutRiffHeaderStillGivesTagsAndLength) {
  const uint32_t rate44100Mono16Bit = 9u << 23 | 0x04 | 0x01;
  const Bytes head = WavPack(44100 * 8, B().zeros(12), rate44100Mono16Bit);
  const Bytes file = Cat({head, B().zeros(100000 - head.size() - 128), Id3v1Tag("Only", "Tag", 2)});
  bool ok = true;
  const TrackInfo t = ReadBytes(file, ReadRiff, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(U(t.Title), u"Only");
  EXPECT_EQ(t.TrackNumber, 2u);
  EXPECT_EQ(t.Duration, 8u);
  EXPECT_EQ(t.SampleRate, 44100u);
  EXPECT_EQ(t.Bitrate, 100u);  // 100000 bytes over 8 s
}

// DSD WavPack: bit 31 of the flags; the header's rate index times 2 to the
// power of the DSD sub-block's (0x0E) first byte is the rate in bytes of
// eight 1-bit samples. DSD64 (2822400 bit/s) is 88200 (index 12) << 2.
TEST(Riff, DsdWavPackRateComesFromTheHeaderShiftedByItsDsdSubBlock) {
  constexpr uint32_t kDsd = 0x80000000u, kRate88200 = 12u << 23;
  const auto dsd = [&](uint32_t seconds, uint8_t shift, size_t fileSize) {
    const uint32_t rate = 88200u << shift;
    Bytes file = WavPackBlock(rate * seconds, kDsd | kRate88200,
                              {WavPackSubBlock(0x23, B().str("DSD ").zeros(8)), WavPackSubBlock(0x0E, Bytes{shift, 0, 0})});
    file.resize(fileSize, 0);
    return ReadBytes(file, ReadRiff);
  };
  const TrackInfo dsd64 = dsd(10, 2, 100000);
  EXPECT_EQ(dsd64.SampleRate, 352800u);
  EXPECT_EQ(dsd64.Duration, 10u);
  EXPECT_EQ(dsd64.Bitrate, 80u);  // 100000 bytes over 10 s
  const TrackInfo dsd128 = dsd(3, 3, 30000);
  EXPECT_EQ(dsd128.SampleRate, 705600u);
  EXPECT_EQ(dsd128.Duration, 3u);

  // Without its DSD sub-block, or with a shift no rate survives, the rate is not known.
  const TrackInfo noSubBlock = ReadBytes(WavPackBlock(352800, kDsd | kRate88200, {WavPackSubBlock(0x23, Bytes(8, 0))}), ReadRiff);
  EXPECT_EQ(noSubBlock.SampleRate, 0u);
  EXPECT_EQ(noSubBlock.Duration, 0u);
  EXPECT_EQ(ReadBytes(WavPackBlock(352800, kDsd | kRate88200, {WavPackSubBlock(0x0E, Bytes{32})}), ReadRiff).SampleRate,
            0u);
  // The same header without the DSD flag is PCM at 88200 Hz: the sub-block plays no part.
  EXPECT_EQ(ReadBytes(WavPackBlock(88200, kRate88200, {WavPackSubBlock(0x0E, Bytes{2})}), ReadRiff).SampleRate,
            88200u);
}

// Index 15: the rate is in its own sub-block (0x27), 3 bytes little-endian, or
// 4 with 7 more bits in the last.
TEST(Riff, WavPackCustomRateFromItsRateSubBlock) {
  constexpr uint32_t kCustom = 15u << 23;
  const auto rate = [&](const Bytes& data) {
    return ReadBytes(WavPackBlock(37800 * 4, kCustom | 0x01, {WavPackSubBlock(0x27, data)}), ReadRiff);
  };
  const TrackInfo t = rate(Bytes{0xA8, 0x93, 0x00});  // 37800
  EXPECT_EQ(t.SampleRate, 37800u);
  EXPECT_EQ(t.Duration, 4u);
  EXPECT_EQ(rate(Bytes{0x00, 0x00, 0x00, 0x81}).SampleRate, 0x01000000u);  // the top bit of byte 4 is not rate
  EXPECT_EQ(rate(Bytes{0xA8, 0x93}).SampleRate, 0u);                         // too short to be a rate
  EXPECT_EQ(ReadBytes(WavPackBlock(100, kCustom, {}), ReadRiff).SampleRate, 0u);
}

TEST(Riff, NotWaveOrTruncated) {
  bool ok = true;
  ReadBytes(B().str("RIFF").u32le(4).str("AVI "), ReadRiff, &ok);
  EXPECT_FALSE(ok);
  ReadBytes(B().str("RIF"), ReadRiff, &ok);
  EXPECT_FALSE(ok);
  // "fmt " shorter than 16 bytes, and "data" before any format.
  ReadBytes(Riff({Chunk("fmt ", B().zeros(8))}), ReadRiff, &ok);
  EXPECT_FALSE(ok);
  ReadBytes(Cat({Riff({}), DataHeader(100, 100)}), ReadRiff, &ok);
  EXPECT_FALSE(ok);
  // A chunk claiming 4 GB before "fmt ".
  ReadBytes(Riff({Chunk("JUNK", B().zeros(4)), B().str("LIST").u32le(0xFFFFFFFF)}), ReadRiff, &ok);
  EXPECT_FALSE(ok);
  // A zero channel count gives no duration rather than a division by zero.
  const TrackInfo t = ReadBytes(Cat({Riff({Fmt(1, 0, 44100, 16)}), DataHeader(1000)}), ReadRiff, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(t.Duration, 0u);
  EXPECT_EQ(t.Bitrate, 0u);
}

TEST(Riff, InfoListAndId3ChunkTagsOfPlainWave) {
  // INFO before the audio, an "id3 " chunk after it; the ID3v2 tag wins.
  const Bytes infoList = B().str("INFO").str("INAM").u32le(6).str("Title").u8(0).str("IART").u32le(3).str("Art").u8(0)
                             .str("IPRD").u32le(6).str("Album").u8(0).str("ICMT").u32le(5).str("note").u8(0).u8(0)
                             .str("ITRK").u32le(2).str("7").u8(0);
  const Bytes id3 = Id3v2Tag(Id3v2Text("TIT2", "ID3 title"));
  const Bytes file = Cat({Riff({Fmt(1, 1, 8000, 8), Chunk("LIST", infoList)}), DataHeader(16000, 16000),
                          Chunk("id3 ", id3)});
  const TrackInfo t = ReadBytes(file, ReadRiff);
  EXPECT_EQ(U(t.Title), u"ID3 title");
  EXPECT_EQ(U(t.Artist), u"Art");
  EXPECT_EQ(U(t.Album), u"Album");
  EXPECT_EQ(U(t.Comment), u"note");
  EXPECT_EQ(t.TrackNumber, 7u);
  EXPECT_EQ(t.Duration, 2u);

  // A LIST of another type is no tag; an odd INFO length runs past its list.
  const Bytes adtl = Cat({Riff({Fmt(1, 1, 8000, 8), Chunk("LIST", B().str("adtlINAM").u32le(2).str("x").u8(0))}),
                          DataHeader(8000, 8000)});
  EXPECT_FALSE(ReadBytes(adtl, ReadRiff).Title);
  const Bytes liar = Cat({Riff({Fmt(1, 1, 8000, 8), Chunk("LIST", B().str("INFOINAM").u32le(999).str("x"))}),
                          DataHeader(8000, 8000)});
  EXPECT_FALSE(ReadBytes(liar, ReadRiff).Title);
}
