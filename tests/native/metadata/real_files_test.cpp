// Files written by real encoders (tests/data), read through ClassifyAndRead.
#include <gtest/gtest.h>

#include "real_files.h"

using namespace tunelet;
using tunelet::testing::RealFiles;
using container_builders::U;

namespace {

}  // namespace

TEST_F(RealFiles, Flac) {
  const TrackInfo& t = Read("flac_tagged_picture.flac");
  EXPECT_EQ(U(t.Title), u"Real Flac");
  EXPECT_EQ(U(t.Artist), u"Tunelet Test");
  EXPECT_EQ(U(t.Album), u"Fixtures");
  EXPECT_EQ(U(t.Year), u"2024");
  EXPECT_EQ(U(t.Genre), u"Test");
  EXPECT_EQ(t.TrackNumber, 4u);
  EXPECT_EQ(t.SampleRate, 8000u);
  EXPECT_EQ(t.Duration, 2u);
  EXPECT_EQ(t.FileSize, 12773u);
  EXPECT_GT(t.Bitrate, 0u);
  ASSERT_TRUE(t.CoverFile);
  EXPECT_EQ(ImageTypeFromData(container_builders::FileBytes(t.CoverFile)), ImageType::kPng);
}

TEST_F(RealFiles, WavAndWavPack) {
  const TrackInfo& wav = Read("ffmpeg_list_chunk.wav");
  EXPECT_EQ(U(wav.Title), u"ffmpeg list chunk");
  EXPECT_EQ(wav.SampleRate, 8000u);
  EXPECT_EQ(wav.Duration, 2u);
  EXPECT_EQ(wav.Bitrate, 64u);

  const TrackInfo& wv = Read("wavpack_ape.wv");
  EXPECT_EQ(U(wv.Title), u"Real WavPack");
  EXPECT_EQ(U(wv.Artist), u"Tunelet Test");
  EXPECT_EQ(wv.TrackNumber, 5u);
  EXPECT_EQ(wv.SampleRate, 8000u);
  EXPECT_EQ(wv.Duration, 2u);
  EXPECT_EQ(wv.Bitrate, 22u);  // 5554 bytes over 2 s, not the 64 kbit/s of the PCM
}

TEST_F(RealFiles, Mp4AndWma) {
  const TrackInfo& m4a = Read("ffmpeg_aac.m4a");
  EXPECT_EQ(U(m4a.Title), u"Real M4A");
  EXPECT_EQ(U(m4a.Artist), u"Tunelet Test");
  EXPECT_EQ(U(m4a.Album), u"Fixtures");
  EXPECT_EQ(U(m4a.Comment), u"made by ffmpeg");
  EXPECT_EQ(U(m4a.Year), u"2023");
  EXPECT_EQ(m4a.TrackNumber, 3u);
  EXPECT_EQ(m4a.SampleRate, 8000u);
  EXPECT_EQ(m4a.Duration, 2u);
  EXPECT_EQ(m4a.Bitrate, 22u);  // the esds average: 21966 bit/s

  const TrackInfo& wma = Read("ffmpeg_wmav2.wma");
  EXPECT_EQ(U(wma.Title), u"Real WMA");
  EXPECT_EQ(U(wma.Artist), u"Tunelet Test");
  EXPECT_EQ(U(wma.Album), u"Fixtures");
  EXPECT_EQ(U(wma.Genre), u"Test");
  EXPECT_EQ(wma.TrackNumber, 2u);
  EXPECT_EQ(wma.SampleRate, 8000u);
  EXPECT_EQ(wma.Bitrate, 32u);
  EXPECT_EQ(wma.Duration, 2u);  // 5.1 s play duration less the 3.1 s preroll
  EXPECT_EQ(wma.FileSize, 10456u);
}
