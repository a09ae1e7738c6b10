// Display texts, file-name splitting, image types and Base64.
#include <gtest/gtest.h>

#include "model/settings.h"
#include "metadata/cover.h"
#include "metadata/entry_common.h"
#include "metadata/format.h"

using namespace tunelet;

namespace {

TEST(FormatTest, TrackValues) {
  ResetSettings();
  TrackInfo& t = Track();
  for (int kind = 1; kind <= 5; ++kind) EXPECT_EQ(FormatTrackValue(kind), u"");
  t.FileSize = 6250000;
  t.Bitrate = 128;
  t.SampleRate = 44100;
  t.Duration = 217;
  EXPECT_EQ(FormatTrackValue(kValueSize), u"5.96 MB");
  EXPECT_EQ(FormatTrackValue(kValueBitrate), u"128 kbps");
  EXPECT_EQ(FormatTrackValue(kValueSampleRate), u"44.1 kHz");
  EXPECT_EQ(FormatTrackValue(kValueDuration), u"3:37");
  t.SampleRate = 8000;
  EXPECT_EQ(FormatTrackValue(kValueSampleRate), u"8.0 kHz");
  // Halves round up: 0.125 MB and 44.05 kHz (printf gives "0.12" and "44.0").
  t.FileSize = 131072;
  EXPECT_EQ(FormatTrackValue(kValueSize), u"0.13 MB");
  t.SampleRate = 44050;
  EXPECT_EQ(FormatTrackValue(kValueSampleRate), u"44.1 kHz");
  t.FileSize = 0xFFFFFFFFu;  // the largest size: 4096.00 MB
  EXPECT_EQ(FormatTrackValue(kValueSize), u"4096.00 MB");
  t.FileSize = 10485;  // 0.00999... MB
  EXPECT_EQ(FormatTrackValue(kValueSize), u"0.01 MB");
  t.FileSize = 5242;  // 0.004999... MB
  EXPECT_EQ(FormatTrackValue(kValueSize), u"0.00 MB");
  ResetSettings();
}

TEST(FormatTest, Durations) {
  EXPECT_EQ(FormatDuration(0), u"0:00");
  EXPECT_EQ(FormatDuration(5), u"0:05");
  EXPECT_EQ(FormatDuration(9), u"0:09");
  EXPECT_EQ(FormatDuration(10), u"0:10");  // two digits from 10 on
  EXPECT_EQ(FormatDuration(60), u"1:00");
  EXPECT_EQ(FormatDuration(610), u"10:10");
  EXPECT_EQ(FormatDuration(65), u"1:05");
  EXPECT_EQ(FormatDuration(217), u"3:37");
  EXPECT_EQ(FormatDuration(3600), u"60:00");
  EXPECT_EQ(FormatDuration(4503), u"75:03");
}

TEST(FileNameTest, StripLeadingNumber) {
  EXPECT_EQ(StripLeadingNumber(u"01 - Artist - Title"), u"Artist - Title");
  EXPECT_EQ(StripLeadingNumber(u"03 - Band - Song"), u"Band - Song");
  EXPECT_EQ(StripLeadingNumber(u"07 Song"), u"Song");
  EXPECT_EQ(StripLeadingNumber(u"101-Song"), u"Song");
  // Only the track number and the separator after it go: digits and spaces
  // that belong to the artist stay.
  EXPECT_EQ(StripLeadingNumber(u"05 - M83 - Midnight City"), u"M83 - Midnight City");
  EXPECT_EQ(StripLeadingNumber(u"02 - 4 Non Blondes - What's Up"), u"4 Non Blondes - What's Up");
  EXPECT_EQ(StripLeadingNumber(u"2Pac - Song"), u"2Pac - Song");
  EXPECT_EQ(StripLeadingNumber(u"21x"), u"21x");
  EXPECT_EQ(StripLeadingNumber(u"1999 - Song"), u"1999 - Song");
  EXPECT_EQ(StripLeadingNumber(u"Abc - Song"), u"Abc - Song");
  EXPECT_EQ(StripLeadingNumber(u"U2 - One"), u"U2 - One");
  EXPECT_EQ(StripLeadingNumber(u""), u"");
  EXPECT_EQ(StripLeadingNumber(u"-"), u"-");
  EXPECT_EQ(StripLeadingNumber(u"Song"), u"Song");
}

TEST(FileNameTest, SplitFileName) {
  auto split = [](std::u16string_view path) {
    TrackInfo t;
    t.Artist = u"tag artist";
    SplitFileName(t, path);
    return std::pair(t.Artist.value_or(u"<absent>"), t.Title.value_or(u"<absent>"));
  };
  using P = std::pair<std::u16string, std::u16string>;
  EXPECT_EQ(split(u"C:\\Music\\03_-_Band_-_Song.mp3"), P(u"Band", u"Song"));
  EXPECT_EQ(split(u"C:\\Music\\Song.mp3"), P(u"<absent>", u"Song"));
  EXPECT_EQ(split(u"C:\\Music\\05 - M83 - Midnight City.mp3"), P(u"M83", u"Midnight City"));
  EXPECT_EQ(split(u"D:Band-Song #1.v2.mp3"), P(u"Band", u"Song 1.v2"));
  EXPECT_EQ(split(u"C:\\x\\Artist - .mp3"), P(u"Artist", u"<absent>"));
  EXPECT_EQ(split(u"C:\\x\\same - SAME.mp3"), P(u"<absent>", u"SAME"));
  // Video names keep their leading digits.
  EXPECT_EQ(split(u"C:\\v\\2012 - Trailer.avi"), P(u"2012", u"Trailer"));
  EXPECT_EQ(split(u"/home/u/a - b.ogg"), P(u"a", u"b"));
}

TEST(CoverTest, ImageTypes) {
  const uint8_t jpeg[] = {0xFF, 0xD8, 0xFF, 0xE1, 0};
  const uint8_t notJpeg[] = {0xFF, 0xD8, 0xFF, 0xC0, 0};
  const uint8_t png[] = {0x89, 'P', 'N', 'G'};
  const uint8_t gif[] = {'G', 'I', 'F', '8', '9'};
  const uint8_t bmp[] = {'B', 'M', 0};
  EXPECT_EQ(ImageTypeFromData(jpeg), ImageType::kJpg);
  EXPECT_EQ(ImageTypeFromData(notJpeg), ImageType::kNone);
  EXPECT_EQ(ImageTypeFromData(png), ImageType::kPng);
  EXPECT_EQ(ImageTypeFromData(gif), ImageType::kGif);
  EXPECT_EQ(ImageTypeFromData(bmp), ImageType::kBmp);
  EXPECT_EQ(ImageTypeFromData({}), ImageType::kNone);
  // The MIME text wins over the data; unknown MIME falls back to the data.
  EXPECT_EQ(DetectImageType(std::string_view("IMAGE/JPG"), png), ImageType::kJpg);
  EXPECT_EQ(DetectImageType(std::string_view("image/jpeg"), bmp), ImageType::kJpg);
  EXPECT_EQ(DetectImageType(std::string_view("image/webp"), gif), ImageType::kGif);
  EXPECT_EQ(DetectImageType(std::u16string_view(u"image/bmp"), ByteSpan()), ImageType::kBmp);
  EXPECT_FALSE(SaveCoverImage(png, ImageType::kNone));
}

TEST(CoverTest, Base64) {
  auto text = [](std::string_view s) {
    const auto b = Base64Decode(s);
    return std::string(b.begin(), b.end());
  };
  EXPECT_EQ(text("TWFu"), "Man");
  EXPECT_EQ(text("TWE="), "Ma");
  EXPECT_EQ(text("TQ=="), "M");
  EXPECT_EQ(text("TWFuTWFu"), "ManMan");
  EXPECT_EQ(text("TWFu\nTWFu"), "Man");  // stops at the first foreign character
  EXPECT_EQ(text("+/+/"), "\xFB\xFF\xBF");
  EXPECT_EQ(text(""), "");
}

}  // namespace
