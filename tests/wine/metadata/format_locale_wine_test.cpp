// The display texts of sizes and sample rates take the user's decimal
// separator. This test runs with a Russian user locale (ctest sets LC_ALL,
// which Wine turns into the process's user locale), where it is a comma.
#include <gtest/gtest.h>

#include <windows.h>

#include "metadata/entry_points.h"
#include "metadata/format.h"
#include "model/settings.h"
#include "templates/template_engine.h"

using namespace tunelet;

namespace {

class RussianUserLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    // Without it the comparisons below would test nothing.
    ASSERT_EQ(GetUserDefaultLCID(), LCID(0x0419)) << "run with LC_ALL=ru_RU.UTF-8";
  }
};

}  // namespace

TEST_F(RussianUserLocale, SizesAndSampleRatesUseTheComma) {
  TrackInfo& t = Track();
  t.FileSize = 6250000;  // 5.9605 MiB
  t.SampleRate = 44100;
  t.Bitrate = 229;
  t.Duration = 217;
  EXPECT_EQ(FormatTrackValue(kValueSize), u"5,96 MB");
  EXPECT_EQ(FormatTrackValue(kValueSampleRate), u"44,1 kHz");
  EXPECT_EQ(FormatTrackValue(kValueBitrate), u"229 kbps");  // whole numbers have no separator
  EXPECT_EQ(FormatTrackValue(kValueDuration), u"3:37");    // nor has the time
  t.FileSize = 1572864;  // exactly 1.5 MiB: the zero stays
  t.SampleRate = 48000;
  EXPECT_EQ(FormatTrackValue(kValueSize), u"1,50 MB");
  EXPECT_EQ(FormatTrackValue(kValueSampleRate), u"48,0 kHz");
}

TEST_F(RussianUserLocale, TheTemplateVariablesOfARealFileUseTheComma) {
  // A FLAC file of 8000 Hz read by the plug-in's entry point, then the
  // variables the X-status text is made of.
  const std::u16string path = u"" TUNELET_TEST_DATA u"/flac_tagged_picture.flac";
  SetText(Track().FilePath, path);
  ASSERT_EQ(ClassifyAndRead(path), 1);
  ASSERT_EQ(Track().SampleRate, 8000u);
  std::u16string text = u"%khz%, %size%";
  SubstituteVariables(text);
  EXPECT_EQ(text, u"8,0 kHz, 0,01 MB");
}
