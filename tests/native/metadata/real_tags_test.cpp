// MP3 and Ogg Vorbis files written by real encoders and taggers (tests/data).
// Expected values come from the files' headers as the README describes them.
#include <gtest/gtest.h>

#include <cmath>

#include "real_files.h"
#include "platform/platform.h"

using namespace tunelet;
using container_builders::U;
using tunelet::testing::RealFiles;

namespace {

TEST_F(RealFiles, LameCbrWithId3v2AndId3v1) {
  const TrackInfo& t = Read("lame_cbr64_id3.mp3");
  EXPECT_EQ(U(t.Title), u"Real Title");
  EXPECT_EQ(U(t.Artist), u"Real Artist");
  EXPECT_EQ(U(t.Album), u"Real Album");
  EXPECT_EQ(U(t.Year), u"2009");
  EXPECT_EQ(U(t.Genre), u"Rock");  // only in the ID3v1 tag
  EXPECT_EQ(t.TrackNumber, 4u);
  EXPECT_EQ(t.FileSize, 18560u);
  EXPECT_EQ(t.Bitrate, 64u);
  EXPECT_EQ(t.SampleRate, 44100u);
  // (18560 - 128 - 1924) * 8 / 64000 = 2.06 s
  EXPECT_EQ(t.Duration, 2u);
}

TEST_F(RealFiles, LameVbrXing) {
  const TrackInfo& t = Read("lame_vbr_xing.mp3");
  // 144 * 78 * 8 / 44100 = 2.04 s; round(9051 / 78 * 44100 / 144 / 1000) = 36.
  EXPECT_EQ(t.Duration, 2u);
  EXPECT_EQ(t.Bitrate, 36u);
  EXPECT_EQ(t.SampleRate, 44100u);
  // Untagged: the title comes from the file name.
  EXPECT_EQ(U(t.Title), u"lame vbr xing");
}

TEST_F(RealFiles, Utf16FramesAndCover) {
  const TrackInfo& t = Read("ffmpeg_utf16_cover.mp3");
  EXPECT_EQ(U(t.Title), u"Привет");
  EXPECT_EQ(U(t.Artist), u"Исполнитель");
  EXPECT_EQ(t.SampleRate, 22050u);
  EXPECT_EQ(t.Bitrate, 32u);
  EXPECT_EQ(t.Duration, 2u);  // (8483 - 228) * 8 / 32000 = 2.06 s
  ASSERT_TRUE(t.CoverFile);
  EXPECT_TRUE(t.CoverFile->ends_with(u".PNG"));
  auto f = platform::OpenForRead(*t.CoverFile);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Size(), 96u);  // the 8x8 PNG as ffmpeg wrote it
}

TEST_F(RealFiles, OggencComments) {
  const TrackInfo& t = Read("oggenc_tagged.ogg");
  EXPECT_EQ(U(t.Title), u"Ogg Title");
  EXPECT_EQ(U(t.Artist), u"Ogg Artist");
  EXPECT_EQ(U(t.Album), u"Ogg Album");
  EXPECT_EQ(U(t.Year), u"2011");
  EXPECT_EQ(U(t.Genre), u"Jazz");
  EXPECT_EQ(t.TrackNumber, 7u);
  EXPECT_EQ(t.SampleRate, 44100u);
  EXPECT_EQ(t.Duration, 2u);   // 88200 / 44100
  EXPECT_EQ(t.Bitrate, 26u);   // round(6575 / 2 / 125)
  EXPECT_EQ(t.FileSize, 6575u);
}

}  // namespace
