#include <gtest/gtest.h>

#include <vector>

#include "model/settings.h"
#include "templates/template_engine.h"

using namespace tunelet;

namespace {

struct RecordingReporter : ITemplateErrorReporter {
  std::vector<TemplateError> reports;
  void Report(std::u16string caption, std::u16string text) override {
    reports.push_back({std::move(caption), std::move(text)});
  }
};

const std::u16string kBlockCaption1 = u"Ошибка в условном блоке #1";
const std::u16string kBlockCaption2 = u"Ошибка в условном блоке #2";

class TemplateEngine : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }
  void TearDown() override { ResetSettings(); }

  // What publishing makes of a text template: live blocks, then live values.
  static std::u16string Publish(std::u16string text) {
    ExpandConditionalBlocks(text, nullptr, true);
    SubstituteVariables(text);
    return text;
  }

  // Runs check mode and expects exactly one report with caption and message;
  // returns the text as the failed expansion left it.
  static std::u16string CheckFails(std::u16string text, const std::u16string& caption, const std::u16string& message) {
    RecordingReporter reporter;
    EXPECT_EQ(ExpandConditionalBlocks(text, &reporter, false), kBlocksFailed);
    EXPECT_EQ(reporter.reports.size(), 1u);
    if (!reporter.reports.empty()) {
      EXPECT_EQ(reporter.reports[0].caption, caption);
      EXPECT_EQ(reporter.reports[0].text, message);
    }
    return text;
  }
};

TEST_F(TemplateEngine, BlockKeepsItsTextOnlyWhenTheVariableIsPresent) {
  Track().Title = u"T";
  EXPECT_EQ(Publish(u"{{%artist%=%artist% - }}%title%"), u"T");
  Track().Artist = u"A";
  EXPECT_EQ(Publish(u"{{%artist%=%artist% - }}%title%"), u"A - T");
  // A tag that stored an empty value still counts as present.
  Track().Artist = u"";
  EXPECT_EQ(Publish(u"{{%artist%=[%artist%]}}%title%"), u"[]T");
  // The first "=" separates; later ones belong to the text.
  Track().Artist = u"A";
  EXPECT_EQ(Publish(u"{{%artist%=a=b}}"), u"a=b");
}

TEST_F(TemplateEngine, BlockConditionsOfTheNumericAndAlwaysTrueVariables) {
  Track().Title = u"T";
  const std::u16string numbered = u"{{%#%=%#%. }}%title%";
  EXPECT_EQ(Publish(numbered), u"0. T");  // an unknown track number passes (below 100)
  Track().TrackNumber = 99;
  EXPECT_EQ(Publish(numbered), u"99. T");
  Track().TrackNumber = 100;
  EXPECT_EQ(Publish(numbered), u"T");
  Track().TrackNumber = 120;
  EXPECT_EQ(Publish(numbered), u"T");

  // Player and file type keep their text even without a value.
  EXPECT_EQ(Publish(u"{{%player%=p}}{{%ft%=f}}"), u"pf");
  EXPECT_EQ(Publish(u"{{%size%=s}}{{%bitrate%=b}}{{%khz%=k}}{{%time%=t}}"), u"");
  Track().FileSize = 1;
  Track().Bitrate = 1;
  Track().SampleRate = 1;
  Track().Duration = 1;
  EXPECT_EQ(Publish(u"{{%size%=s}}{{%bitrate%=b}}{{%khz%=k}}{{%time%=t}}"), u"sbkt");
}

TEST_F(TemplateEngine, ResultCodes) {
  std::u16string plain = u"a }} b";
  EXPECT_EQ(ExpandConditionalBlocks(plain, nullptr, true), kNoBlocks);
  EXPECT_EQ(plain, u"a }} b");
  std::u16string empty;
  EXPECT_EQ(ExpandConditionalBlocks(empty, nullptr, false), kNoBlocks);
  std::u16string blocks = u"{{%player%=x}}{{%album%=y}}";
  EXPECT_EQ(ExpandConditionalBlocks(blocks, nullptr, true), kBlocksExpanded);
  EXPECT_EQ(blocks, u"x");
}

TEST_F(TemplateEngine, MarkerErrorsAreReportedWithTheirTexts) {
  EXPECT_EQ(CheckFails(u"{{%artist%=}}", kBlockCaption1, u"Отсутствует тэг между = и }}"), u"{{%artist%=}}");
  EXPECT_EQ(CheckFails(u"{{=x}}", kBlockCaption1, u"Отсутствует тэг между {{ и ="), u"{{=x}}");
  EXPECT_EQ(CheckFails(u"{{%artist%}}", kBlockCaption1, u"Отсутствует ="), u"{{%artist%}}");
  EXPECT_EQ(CheckFails(u"}}{{%artist%=x", kBlockCaption1, u"Ожидался = но }} был найден"), u"}}{{%artist%=x");
  CheckFails(u"{{%artist%}}=x", kBlockCaption1, u"Ожидался = но }} был найден");
}

TEST_F(TemplateEngine, UndefinedTagsAreQuotedAndMatchedCaseSensitively) {
  CheckFails(u"{{%foo%=x}}", kBlockCaption1, u"Неопределённый шаблон \"%foo%\"");
  CheckFails(u"{{%ARTIST%=x}}", kBlockCaption1, u"Неопределённый шаблон \"%ARTIST%\"");
  // Outside blocks the same spelling is a variable; the failed block stays.
  Track().Artist = u"A";
  EXPECT_EQ(Publish(u"%ARTIST% {{%ARTIST%=x}}"), u"A {{A=x}}");
}

TEST_F(TemplateEngine, ErrorCaptionCountsPassesAndEarlierBlocksStayExpanded) {
  EXPECT_EQ(CheckFails(u"{{%title%=x}} {{%bogus%=y}}", kBlockCaption2, u"Неопределённый шаблон \"%bogus%\""),
            u"x {{%bogus%=y}}");
}

TEST_F(TemplateEngine, MarkerCountsIncludeOverlappingOccurrences) {
  const std::u16string countsCaption = u"Ошибка в условных блоках";
  const std::u16string countsText = u"Количество тэгов {{ несоответствует количеству тэгов }}";
  EXPECT_EQ(CheckFails(u"{{%artist%=x}}}}", countsCaption, countsText), u"{{%artist%=x}}}}");
  CheckFails(u"{{%artist%={{%album%=x}}}}", countsCaption, countsText);  // "}}}}" counts three
  CheckFails(u"{{{%artist%=x}}", countsCaption, countsText);            // "{{{" counts two
  CheckFails(u"{{%artist%=x", countsCaption, countsText);
  // Live mode fails the same way, silently and with the text unchanged.
  RecordingReporter reporter;
  std::u16string text = u"{{%artist%=x}}}}";
  EXPECT_EQ(ExpandConditionalBlocks(text, &reporter, true), kBlocksFailed);
  EXPECT_TRUE(reporter.reports.empty());
  EXPECT_EQ(text, u"{{%artist%=x}}}}");
}

TEST_F(TemplateEngine, NestedBlockWorksOnlyUnderAHoldingOuterBlock) {
  const std::u16string nested = u"{{%artist%={{%album%=x}} }}";
  Track().Artist = u"A";
  Track().Album = u"B";
  EXPECT_EQ(Publish(nested), u"x ");
  // The outer closing ends up closing the inner block, which takes the
  // trailing space with it.
  Track().Album.reset();
  EXPECT_EQ(Publish(nested), u"");

  // A failing outer block takes the inner opening along; the next pass
  // meets the inner block's stray closing.
  Track().Artist.reset();
  std::u16string text = nested;
  BlockExpansion e = ExpandBlocks(text, true);
  EXPECT_EQ(e.result, kBlocksFailed);
  ASSERT_TRUE(e.error);
  EXPECT_EQ(e.error->caption, kBlockCaption2);
  EXPECT_EQ(text, u" }}");
}

TEST_F(TemplateEngine, StrayClosingWithAVariableBeforeItIsAnErrorNotAnEdit) {
  // After the first pass the text is " %title%=y}}": a well-formed tag and
  // separator but no opening left to delete from.
  Track().Title = u"T";
  std::u16string text = u"{{%artist%={{%album%=x}} %title%=y}}";
  BlockExpansion e = ExpandBlocks(text, true);
  EXPECT_EQ(e.result, kBlocksFailed);
  ASSERT_TRUE(e.error);
  EXPECT_EQ(e.error->caption, kBlockCaption2);
  EXPECT_EQ(e.error->text, u"Ожидался = но }} был найден");
  EXPECT_EQ(text, u" %title%=y}}");
}

TEST_F(TemplateEngine, CheckModeKeepsEveryBlockAndNeverReportsInLiveMode) {
  std::u16string text = u"{{%artist%=%artist% }}{{%#%=#%#% }}{{%album%=(%album%)}}";
  RecordingReporter reporter;
  EXPECT_EQ(ExpandConditionalBlocks(text, &reporter, false), kBlocksExpanded);
  EXPECT_EQ(text, u"%artist% #%#% (%album%)");
  EXPECT_TRUE(reporter.reports.empty());

  std::u16string broken = u"{{%bogus%=x}}";
  EXPECT_EQ(ExpandConditionalBlocks(broken, &reporter, true), kBlocksFailed);
  EXPECT_TRUE(reporter.reports.empty());
  EXPECT_EQ(ExpandConditionalBlocks(broken, nullptr, false), kBlocksFailed);  // no owner: nothing to show
}

TEST_F(TemplateEngine, PreviewFillsEveryOptionalPartWithSampleValues) {
  RecordingReporter reporter;
  Track().TrackNumber = 500;  // the live track plays no part in a preview
  EXPECT_EQ(PreviewTemplateText(u"{{%artist%=%artist% - }}{{%#%=%#%. }}\"%title%\"", &reporter),
            u"Idiot Pilot - 3. \"Retina And The Sky\"");
  EXPECT_EQ(PreviewTemplateText(u"{{%artist%=}}", &reporter), std::nullopt);
  ASSERT_EQ(reporter.reports.size(), 1u);
  EXPECT_EQ(reporter.reports[0].text, u"Отсутствует тэг между = и }}");
}

TEST_F(TemplateEngine, SampleValuesOfEveryVariableIgnoringCase) {
  std::u16string text = u"%Artist%|%TITLE%|%album%|%genre%|%year%|%player%|%#%|%size%|%bitrate%|%KHZ%|%time%|%ft%";
  SubstituteSampleValues(text);
  EXPECT_EQ(text,
            u"Idiot Pilot|Retina And The Sky|Wolves|Electronica\\Alt-Rock|2007|Winamp|3|5,96 MB|229 kbps|"
            u"44,1 kHz|3:37|MP3");
}

TEST_F(TemplateEngine, LiveValuesComeFromTheTrack) {
  TrackInfo& t = Track();
  t.Artist = u"Ар";
  t.Title = u"Ti";
  t.Album = u"Al";
  t.Genre = u"Ge";
  t.Year = u"1999";
  t.PlayerName = u"Pl";
  t.TrackNumber = 7;
  t.FileSize = 6250000;
  t.Bitrate = 320;
  t.SampleRate = 44100;
  t.Duration = 217;
  t.FilePath = u"C:\\Music\\song.flac";
  std::u16string text = u"%artist%|%title%|%album%|%genre%|%year%|%player%|%#%|%size%|%bitrate%|%khz%|%time%|%ft%";
  SubstituteVariables(text);
  EXPECT_EQ(text, u"Ар|Ti|Al|Ge|1999|Pl|7|5.96 MB|320 kbps|44.1 kHz|3:37|FLAC");

  ClearTrackInfo(t);
  t.FilePath = u"C:\\Music\\noextension";
  text = u"[%artist%][%#%][%size%][%time%][%ft%]";
  SubstituteVariables(text);
  EXPECT_EQ(text, u"[][0][][][]");
}

TEST_F(TemplateEngine, SubstitutionRunsInIndexOrderOnTheTextSoFar) {
  Track().Title = u"Best of %ALBUM%";
  Track().Album = u"Wolves %title%";
  // The title's %ALBUM% is replaced (album comes later); the album's %title%
  // is not (title came earlier).
  std::u16string text = u"%title%";
  SubstituteVariables(text);
  EXPECT_EQ(text, u"Best of Wolves %title%");

  // A value holding its own variable's name is not searched again.
  Track().Artist = u"%artist%%artist%";
  text = u"%artist%!";
  SubstituteVariables(text);
  EXPECT_EQ(text, u"%artist%%artist%!");
}

TEST_F(TemplateEngine, PasteTextSubstitutesButLeavesBlocksAsWritten) {
  Settings().PasteTemplate = u"*втыкает %artist% \"%title%\"*{{%album%= from %album%}}";
  Track().Artist = u"A";
  Track().Title = u"T";
  Track().Album = u"B";
  EXPECT_EQ(PasteText(), u"*втыкает A \"T\"*{{B= from B}}");
  EXPECT_EQ(PastePreviewText(u"%artist%"), u"Idiot Pilot");
  Settings().PasteTemplate.reset();
  EXPECT_EQ(PasteText(), u"");
}

}  // namespace
