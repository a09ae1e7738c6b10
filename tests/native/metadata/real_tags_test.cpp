// MP3 and Ogg Vorbis files written by real encoders and taggers (tests/data).
// Expected values come from the files' headers as the README describes them.
#include <gtest/gtest.h>

#include <cmath>

#include "core/settings.h"
#include "metadata/cover.h"
#include "metadata/entry_points.h"
#include "platform/platform.h"

using namespace tunelet;

namespace {

std::u16string DataFile(std::string_view name) {
  return Utf8ToUtf16(std::string(TUNELET_CONTAINER_DATA_DIR) + "/" + std::string(name));
}
std::u16string Str16(const OptText& t) { return t ? *t : u"<absent>"; }

class RealTagsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    Settings().Getfromname = true;
  }
  void TearDown() override {
    DeleteTemporaryCovers();
    ResetSettings();
  }
  const TrackInfo& T() { return Track(); }
};

TEST_F(RealTagsTest, LameCbrWithId3v2AndId3v1) {
  ASSERT_EQ(ClassifyAndRead(DataFile("lame_cbr64_id3.mp3")), 1);
  EXPECT_EQ(Str16(T().Title), u"Real Title");
  EXPECT_EQ(Str16(T().Artist), u"Real Artist");
  EXPECT_EQ(Str16(T().Album), u"Real Album");
  EXPECT_EQ(Str16(T().Year), u"2009");
  EXPECT_EQ(Str16(T().Genre), u"Rock");  // only in the ID3v1 tag
  EXPECT_EQ(T().TrackNumber, 4u);
  EXPECT_EQ(T().FileSize, 18560u);
  EXPECT_EQ(T().Bitrate, 64u);
  EXPECT_EQ(T().SampleRate, 44100u);
  // (18560 - 128 - 1924) * 8 / 64000 = 2.06 s
  EXPECT_EQ(T().Duration, 2u);
}

TEST_F(RealTagsTest, LameVbrXing) {
  ASSERT_EQ(ClassifyAndRead(DataFile("lame_vbr_xing.mp3")), 1);
  // 144 * 78 * 8 / 44100 = 2.04 s; round(9051 / 78 * 44100 / 144 / 1000) = 36.
  EXPECT_EQ(T().Duration, 2u);
  EXPECT_EQ(T().Bitrate, 36u);
  EXPECT_EQ(T().SampleRate, 44100u);
  // Untagged: the title comes from the file name.
  EXPECT_EQ(Str16(T().Title), u"lame vbr xing");
}

TEST_F(RealTagsTest, Utf16FramesAndCover) {
  ASSERT_EQ(ClassifyAndRead(DataFile("ffmpeg_utf16_cover.mp3")), 1);
  EXPECT_EQ(Str16(T().Title), u"Привет");
  EXPECT_EQ(Str16(T().Artist), u"Исполнитель");
  EXPECT_EQ(T().SampleRate, 22050u);
  EXPECT_EQ(T().Bitrate, 32u);
  EXPECT_EQ(T().Duration, 2u);  // (8483 - 228) * 8 / 32000 = 2.06 s
  ASSERT_TRUE(T().CoverFile);
  EXPECT_TRUE(T().CoverFile->ends_with(u".PNG"));
  auto f = platform::OpenForRead(*T().CoverFile);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Size(), 96u);  // the 8x8 PNG as ffmpeg wrote it
}

TEST_F(RealTagsTest, OggencComments) {
  ASSERT_EQ(ClassifyAndRead(DataFile("oggenc_tagged.ogg")), 1);
  EXPECT_EQ(Str16(T().Title), u"Ogg Title");
  EXPECT_EQ(Str16(T().Artist), u"Ogg Artist");
  EXPECT_EQ(Str16(T().Album), u"Ogg Album");
  EXPECT_EQ(Str16(T().Year), u"2011");
  EXPECT_EQ(Str16(T().Genre), u"Jazz");
  EXPECT_EQ(T().TrackNumber, 7u);
  EXPECT_EQ(T().SampleRate, 44100u);
  EXPECT_EQ(T().Duration, 2u);   // 88200 / 44100
  EXPECT_EQ(T().Bitrate, 26u);   // round(6575 / 2 / 125)
  EXPECT_EQ(T().FileSize, 6575u);
}

}  // namespace
