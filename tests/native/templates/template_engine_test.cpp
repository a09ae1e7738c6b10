#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "model/settings.h"
#include "model/track_caps.h"
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

// The expansion rule step by step, as the text reads: every pass searches the
// whole current text for the first "{{", the first "=" after it and the first
// "}}" after it, and deletes from the string. Slow, and plainly right.
BlockExpansion StepwiseExpansion(std::u16string& text, bool live) {
  // 1-based positions, 0 for none.
  auto find = [&](std::u16string_view marker, size_t from) -> size_t {
    const size_t p = text.find(marker, from == 0 ? 0 : from - 1);
    return p == std::u16string::npos ? 0 : p + 1;
  };
  auto count = [&](std::u16string_view marker) {
    size_t n = 0;
    for (size_t p = text.find(marker); p != std::u16string::npos; p = text.find(marker, p + 1)) ++n;
    return n;
  };
  auto failed = [](std::u16string caption, std::u16string message) {
    return BlockExpansion{kBlocksFailed, TemplateError{std::move(caption), std::move(message)}};
  };
  const size_t openings = count(u"{{");
  if (openings == 0) return {kNoBlocks, std::nullopt};
  if (count(u"}}") != openings)
    return failed(u"Ошибка в условных блоках", u"Количество тэгов {{ несоответствует количеству тэгов }}");
  for (size_t pass = 1; pass <= openings; ++pass) {
    const std::u16string caption = u"Ошибка в условном блоке #" + ToU16(uint32_t(pass));
    const size_t o = find(u"{{", 1), s = find(u"=", o + 1), c = find(u"}}", o + 2);
    if (s > c) return failed(caption, u"Ожидался = но }} был найден");
    if (s == 0) return failed(caption, u"Отсутствует =");
    if (s == o + 2) return failed(caption, u"Отсутствует тэг между {{ и =");
    if (c == s + 1) return failed(caption, u"Отсутствует тэг между = и }}");
    if (o == 0) return failed(caption, u"Ожидался = но }} был найден");
    const std::u16string tag = text.substr(o + 1, s - o - 2);
    const std::optional<size_t> index = FindTemplateVariable(tag);
    if (!index) return failed(caption, u"Неопределённый шаблон \"" + tag + u"\"");
    if (!live || TemplateVariableHolds(*index)) {
      text.erase(c - 1, 2);
      text.erase(o - 1, s - o + 1);
    } else {
      text.erase(o - 1, c + 2 - o);
    }
  }
  return {kBlocksExpanded, std::nullopt};
}

// Random templates: blocks nested in blocks with now and then a piece left out
// or a stray brace, "=" or undefined tag thrown in, so that every rule and
// every error is met, and braces that a deletion brings together too.
class TemplateGenerator {
 public:
  std::u16string Make() {
    std::u16string text;
    Items(text, 0);
    return text;
  }

 private:
  bool Chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(random_) < percent; }
  template <size_t N>
  std::u16string_view Pick(const std::u16string_view (&from)[N]) {
    return from[std::uniform_int_distribution<size_t>(0, N - 1)(random_)];
  }
  void Items(std::u16string& text, int depth) {
    static constexpr std::u16string_view kPlain[] = {u"x", u" ", u"=", u"{", u"}", u"}}", u"{{", u"%artist%"};
    static constexpr std::u16string_view kTags[] = {u"%artist%", u"%album%", u"%artist%", u"%album%",
                                                    u"%artist%", u"%album%", u"%bogus%",  u""};
    for (int n = std::uniform_int_distribution<int>(depth == 0 ? 1 : 0, 3)(random_); n > 0; --n) {
      if (depth > 2 || Chance(40)) {
        text += Chance(92) ? kPlain[0] : Pick(kPlain);
        continue;
      }
      if (!Chance(2)) text += u"{{";
      text += Pick(kTags);
      if (!Chance(2)) text += u"=";
      Items(text, depth + 1);
      if (!Chance(2)) text += u"}}";
    }
  }
  std::mt19937 random_{20240611};
};

TEST_F(TemplateEngine, BlockExpansionFollowsTheStepwiseRuleOnEveryKindOfText) {
  Track().Artist = u"A";  // holds; the album does not
  TemplateGenerator generator;
  int expanded = 0, failed = 0;
  for (int i = 0; i < 20000; ++i) {
    const std::u16string text = generator.Make();
    const bool live = i % 2 == 0;
    std::u16string expected = text, actual = text;
    const BlockExpansion want = StepwiseExpansion(expected, live);
    const BlockExpansion got = ExpandBlocks(actual, live);
    const std::string shown(text.begin(), text.end());  // the pieces are ASCII
    ASSERT_EQ(got.result, want.result) << shown;
    ASSERT_EQ(actual, expected) << shown;
    ASSERT_EQ(got.error.has_value(), want.error.has_value()) << shown;
    if (want.error) {
      ASSERT_EQ(got.error->caption, want.error->caption) << shown;
      ASSERT_EQ(got.error->text, want.error->text) << shown;
    }
    if (want.result == kBlocksExpanded) ++expanded;
    if (want.result == kBlocksFailed) ++failed;
  }
  // Both ends are reached often enough to matter.
  EXPECT_GT(expanded, 1000);
  EXPECT_GT(failed, 2000);
}

TEST_F(TemplateEngine, LongTemplatesExpandWholly) {
  Track().Artist = u"A";
  // 10,000 blocks in a row, half of them dropped.
  std::u16string row;
  for (int i = 0; i < 5000; ++i) row += u"{{%artist%=a}}{{%album%=b}}";
  EXPECT_EQ(ExpandConditionalBlocks(row, nullptr, true), kBlocksExpanded);
  EXPECT_EQ(row, std::u16string(5000, u'a'));
  // 10,000 blocks nested under holding ones: each pass closes the next inner
  // block with the outer closing.
  std::u16string nested;
  for (int i = 0; i < 10000; ++i) nested += u"{{%artist%=";
  nested += u"x";
  for (int i = 0; i < 10000; ++i) nested += u"}} ";
  EXPECT_EQ(ExpandConditionalBlocks(nested, nullptr, true), kBlocksExpanded);
  EXPECT_EQ(nested, u"x" + std::u16string(10000, u' '));
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

TEST_F(TemplateEngine, ValuesAreInsertedOnceAndNeverSearchedAgain) {
  Track().Title = u"Best of %ALBUM%";
  Track().Album = u"Wolves %title%";
  Track().Artist = u"%artist%%artist%";
  std::u16string text = u"%title% / %album% / %artist%!";
  SubstituteVariables(text);
  EXPECT_EQ(text, u"Best of %ALBUM% / Wolves %title% / %artist%%artist%!");

  // A value ending in part of a name does not complete a name with the
  // template text after it.
  Track().Title = u"50%";
  text = u"%title%artist%";
  SubstituteVariables(text);
  EXPECT_EQ(text, u"50%artist%");

  // A stray percent sign of the template stays; names overlapping it are found.
  text = u"100% %%title%%";
  SubstituteVariables(text);
  EXPECT_EQ(text, u"100% %50%%");
}

TEST_F(TemplateEngine, ControlCharactersOfValuesBecomeOneSpaceButTheTemplatesOwnStay) {
  Track().Artist = u"\tBand\x7F";
  Track().Title = u"Nice song\r\n/quit see you\x85\u2028end";
  std::u16string text = u"%artist%\r\n%title%\t!";
  SubstituteVariables(text);
  EXPECT_EQ(text, u" Band \r\nNice song /quit see you end\t!");
  // Previews show the sample values as they are.
  EXPECT_EQ(PastePreviewText(u"a\nb %#%"), u"a\nb 3");
}

TEST_F(TemplateEngine, SubstitutionStopsAtItsCapWithoutSplittingAPair) {
  Track().Title = std::u16string(kMaxTrackValueChars, u't');
  std::u16string many;
  for (int i = 0; i < 20; ++i) many += u"%title%";
  SubstituteVariables(many);
  EXPECT_EQ(many, std::u16string(kMaxSubstitutedChars, u't'));

  Track().Title = u"ab\U0001F3B5";  // a, b and one surrogate pair
  std::u16string text = u"%title%";
  SubstituteVariables(text, 3);
  EXPECT_EQ(text, u"ab");
  text = u"%title%";
  SubstituteVariables(text, 4);
  EXPECT_EQ(text, u"ab\U0001F3B5");
  text = u"xyz%title%";
  SubstituteVariables(text, 2);
  EXPECT_EQ(text, u"xy");
}

TEST_F(TemplateEngine, PasteTextDropsTheSpaceAfterAnEmptyArtistOnly) {
  Track().Title = u"holiday clip";
  Settings().PasteTemplate = u"%artist% \"%title%\"";
  EXPECT_EQ(PasteText(), u"\"holiday clip\"");
  Settings().PasteTemplate = u"*втыкает %artist% \"%title%\"*";
  EXPECT_EQ(PasteText(), u"*втыкает \"holiday clip\"*");
  Track().Artist = u"";  // present but empty
  EXPECT_EQ(PasteText(), u"*втыкает \"holiday clip\"*");
  // Other empty values keep the spaces the user wrote.
  Settings().PasteTemplate = u"%album% %artist%  %title%";
  EXPECT_EQ(PasteText(), u"  holiday clip");
  Track().Artist = u"A";
  EXPECT_EQ(PasteText(), u" A  holiday clip");
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
