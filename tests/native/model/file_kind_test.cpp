#include <gtest/gtest.h>

#include "model/file_kind.h"

using namespace tunelet;

TEST(FileKind, ExtensionSearchIgnoresSeparatorsAndCapsAtSixCharacters) {
  EXPECT_EQ(FileExtension(u"C:\\Music.d\\song"), u"D\\SONG");
  EXPECT_EQ(FileExtension(u"C:\\Music.d\\songs"), u"");  // 7 characters after the dot
  EXPECT_EQ(FileExtension(u"a.Mp3"), u"MP3");
  EXPECT_EQ(FileExtension(u".mp3"), u"");  // the only dot is the first character
  EXPECT_EQ(FileExtension(u"noext"), u"");
  EXPECT_EQ(FileExtension(u"a."), u"");
  EXPECT_EQ(FileExtension(u"x.ä.flac"), u"FLAC");
  EXPECT_EQ(FileExtension(u"x.ömp"), u"öMP");  // only a-z are upper-cased
}

TEST(FileKind, VideoByExtension) {
  for (auto p : {u"clip.mp4", u"a.AVI", u"b.mpeg", u"c.Mkv", u"d.flv", u"e.wmv", u"f.mov", u"g.mpg"})
    EXPECT_TRUE(IsVideoFile(p)) << std::string(p, p + 5);
  for (auto p : {u"a.mp3", u"a.m4a", u"a.mp4x", u"mp4", u"a.ogg"}) EXPECT_FALSE(IsVideoFile(p));
}
