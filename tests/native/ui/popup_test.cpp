#include "ui/popup.h"

#include <gtest/gtest.h>

namespace tunelet {
namespace {

const ScreenRect kWorkArea{0, 0, 1024, 738};  // a task bar of 30 pixels below

TEST(PopupStack, PopupsOpenWhileOthersAreVisibleStackUpwardFiveApart) {
  PopupStack stack;
  const ScreenPoint first = PlaceNextPopup(stack, kWorkArea);
  const ScreenPoint second = PlaceNextPopup(stack, kWorkArea);
  const ScreenPoint third = PlaceNextPopup(stack, kWorkArea);
  EXPECT_EQ(first.x, 1024 - 220 - 8);
  EXPECT_EQ(first.y, 738 - 63 - 5);
  EXPECT_EQ(second.y, first.y - 63 - 5);
  EXPECT_EQ(third.y, second.y - 63 - 5);
  EXPECT_EQ(second.x, first.x);
  EXPECT_EQ(stack.PopupCount, 3);
}

TEST(PopupStack, StackMovesDownOnlyWhenAllHaveClosed) {
  PopupStack stack;
  PlaceNextPopup(stack, kWorkArea);
  const ScreenPoint second = PlaceNextPopup(stack, kWorkArea);
  PopupDestroyed(stack);  // either one: the next still goes above the highest
  EXPECT_EQ(PlaceNextPopup(stack, kWorkArea).y, second.y - 68);
  // A work area that changed meanwhile is not looked at while popups are open.
  EXPECT_EQ(PlaceNextPopup(stack, {0, 0, 800, 600}).x, 1024 - 228);
  while (stack.PopupCount > 0) PopupDestroyed(stack);
  const ScreenPoint again = PlaceNextPopup(stack, {0, 0, 800, 600});
  EXPECT_EQ(again.x, 800 - 228);
  EXPECT_EQ(again.y, 600 - 68);
}

TEST(PopupStack, ExtraDestroyDoesNotGoNegative) {
  PopupStack stack;
  PopupDestroyed(stack);
  EXPECT_EQ(stack.PopupCount, 0);
}

TEST(PopupClock, KeepsHoursAndMinutes) {
  EXPECT_EQ(ClockText(u"0:05:17"), u"0:05");
  EXPECT_EQ(ClockText(u"00:05:17"), u"00:05");
  EXPECT_EQ(ClockText(u"21:05:00"), u"21:05");
  EXPECT_EQ(ClockText(u"9:41:05 PM"), u"9:41");
  EXPECT_EQ(ClockText(u"21.05.00"), u"21.05.00");  // another separator: left whole
  EXPECT_EQ(ClockText(u""), u"");
}

TEST(PopupTexts, TrackTextQuotesTheTitleAndAddsTheKnownDuration) {
  TrackInfo t;
  SetText(t.Artist, u"Кино");
  SetText(t.Title, u"Звезда");
  EXPECT_EQ(TrackPopupText(t), u"Кино \"Звезда\"");
  t.Duration = 225;
  EXPECT_EQ(TrackPopupText(t), u"Кино \"Звезда\" [3:45]");
  t.Duration = 3601;
  EXPECT_EQ(TrackPopupText(t), u"Кино \"Звезда\" [60:01]");
  // Without an artist the quoted title starts the text.
  TrackInfo noArtist;
  SetText(noArtist.Title, u"holiday clip");
  EXPECT_EQ(TrackPopupText(noArtist), u"\"holiday clip\"");
  noArtist.Artist = u"";  // present but empty, as an 8-bit tag stores it
  EXPECT_EQ(TrackPopupText(noArtist), u"\"holiday clip\"");
  TrackInfo none;
  EXPECT_EQ(TrackPopupText(none), u"\"\"");
}

TEST(PopupTexts, TitlesAndStateTexts) {
  TrackInfo t;
  SetText(t.PlayerName, u"Winamp");
  EXPECT_EQ(PopupTitle(kTrackPopup, t), u"Winamp");
  EXPECT_EQ(PopupTitle(kStatePopup, t), u"Tunelet Plugin");
  BuiltInUiTexts texts;
  EXPECT_EQ(StatePopupText(true, texts), u"Плагин активен (ON)");
  EXPECT_EQ(StatePopupText(false, texts), u"Плагин неактивен (OFF)");
  EXPECT_EQ(texts.Text(u"NO_SUCH_KEY"), u"");
}

// Ten pixels per UTF-16 unit, counting calls.
struct TenPerUnit {
  int* calls;
  int operator()(std::u16string_view s) const {
    ++*calls;
    return int(s.size()) * 10;
  }
};

TEST(PopupFit, TextUpTo360PixelsStaysWhole) {
  int calls = 0;
  const std::u16string text(36, u'a');
  EXPECT_EQ(FitPopupText(text, TenPerUnit{&calls}), text);
}

TEST(PopupFit, WiderTextIsCutTo350PixelsAndGetsDots) {
  int calls = 0;
  EXPECT_EQ(FitPopupText(std::u16string(37, u'a'), TenPerUnit{&calls}), std::u16string(35, u'a') + u"...");
  // A very long tag costs few measurements.
  calls = 0;
  EXPECT_EQ(FitPopupText(std::u16string(100000, u'b'), TenPerUnit{&calls}), std::u16string(35, u'b') + u"...");
  EXPECT_LT(calls, 40);
}

TEST(PopupFit, NeverSplitsASurrogatePair) {
  int calls = 0;
  std::u16string text(34, u'a');
  for (int i = 0; i < 10; ++i) text += u"\U0001F3B5";  // the cut falls inside the first pair
  EXPECT_EQ(FitPopupText(text, TenPerUnit{&calls}), std::u16string(34, u'a') + u"...");
}

// With ten pixels a unit a line of 193 pixels holds 19 units, and 16 before "...".
using Lines = std::vector<std::u16string>;

TEST(PopupLines, ShortTextIsOneLineAndLongerTextBreaksAfterTheLastWordThatFits) {
  int calls = 0;
  const TenPerUnit width{&calls};
  EXPECT_EQ(PopupTextLines(u"", width), Lines{});
  EXPECT_EQ(PopupTextLines(u"Кино \"Звезда\"", width), Lines{u"Кино \"Звезда\""});
  EXPECT_EQ(PopupTextLines(u"aaaaa bbbbb ccccc ddddd eeeee", width), (Lines{u"aaaaa bbbbb ccccc", u"ddddd eeeee"}));
  // A word that ends exactly at the line's end stays on it; the spaces at
  // the break go.
  EXPECT_EQ(PopupTextLines(u"aaaaaaaaa bbbbbbbbb   ccc", width), (Lines{u"aaaaaaaaa bbbbbbbbb", u"ccc"}));
  // A word longer than a line is broken where the line is full; a leading
  // space is no place to break.
  EXPECT_EQ(PopupTextLines(std::u16string(25, u'x'), width), (Lines{std::u16string(19, u'x'), std::u16string(6, u'x')}));
  EXPECT_EQ(PopupTextLines(u" " + std::u16string(25, u'y'), width),
            (Lines{u" " + std::u16string(18, u'y'), std::u16string(7, u'y')}));
}

TEST(PopupLines, TextNeedingAThirdLineEndsItsSecondInVisibleDots) {
  int calls = 0;
  const TenPerUnit width{&calls};
  EXPECT_EQ(PopupTextLines(u"aaaaa bbbbb ccccc ddddd eeeee fffff ggggg", width),
            (Lines{u"aaaaa bbbbb ccccc", u"ddddd eeeee ffff..."}));
  // A text already cut to 350 pixels: its "..." would fall on a third line.
  const std::u16string cut = FitPopupText(u"aaaaaaaa bbbbbbbb cccccccc dddddddd eeeeeeee", width);
  ASSERT_EQ(cut, u"aaaaaaaa bbbbbbbb cccccccc dddddddd...");
  EXPECT_EQ(PopupTextLines(cut, width), (Lines{u"aaaaaaaa bbbbbbbb", u"cccccccc ddddddd..."}));
  // No space before the dots, and however long the text, few measurements.
  EXPECT_EQ(PopupTextLines(u"aaaaa bbbbb ccccc ddddddddddddddd  eeeee", width),
            (Lines{u"aaaaa bbbbb ccccc", u"ddddddddddddddd..."}));
  calls = 0;
  std::u16string huge;
  while (huge.size() < 100000) huge += u"word ";
  EXPECT_EQ(PopupTextLines(huge, width), (Lines{u"word word word word", u"word word word w..."}));
  EXPECT_LT(calls, 60);
}

TEST(PopupLines, NeverSplitASurrogatePairAndAlwaysMoveOn) {
  int calls = 0;
  const TenPerUnit width{&calls};
  std::u16string notes;
  for (int i = 0; i < 12; ++i) notes += u"\U0001F3B5";  // two units each
  EXPECT_EQ(PopupTextLines(notes, width), (Lines{notes.substr(0, 18), notes.substr(18)}));
  EXPECT_EQ(PopupTextLines(notes + notes, width), (Lines{notes.substr(0, 18), notes.substr(0, 16) + u"..."}));
  // A character wider than a line still takes one.
  const auto wide = [](std::u16string_view s) { return int(s.size()) * 250; };
  EXPECT_EQ(PopupTextLines(u"WWW", wide), (Lines{u"W", u"..."}));
}

TEST(PopupSettings, AlphaAndLifeFollowTheirRanges) {
  EXPECT_EQ(PopupAlpha(230), 230);
  EXPECT_EQ(PopupAlpha(20), 20);
  EXPECT_EQ(PopupAlpha(255), 255);
  EXPECT_EQ(PopupAlpha(10), 230);
  EXPECT_EQ(PopupAlpha(300), 230);
  EXPECT_EQ(PopupLifeMs(2), 2000u);
  EXPECT_EQ(PopupLifeMs(15), 15000u);
  EXPECT_EQ(PopupLifeMs(1), 5000u);
  EXPECT_EQ(PopupLifeMs(16), 5000u);
}

TEST(PopupSettings, ShadowOnXpAndLaterButNotOn2003OrOlder) {
  EXPECT_TRUE(PopupShadowWanted(true, 5, 1));
  EXPECT_TRUE(PopupShadowWanted(true, 6, 1));
  EXPECT_TRUE(PopupShadowWanted(true, 10, 0));
  EXPECT_FALSE(PopupShadowWanted(true, 5, 0));
  EXPECT_FALSE(PopupShadowWanted(true, 5, 2));
  EXPECT_FALSE(PopupShadowWanted(false, 6, 1));
}

TEST(PopupClicks, LeftOpensByKindRightClosesOthersDoNothing) {
  EXPECT_EQ(PopupClickAction(kStatePopup, MouseButton::Left, false), PopupClick::OpenOptionsThenClose);
  EXPECT_EQ(PopupClickAction(kTrackPopup, MouseButton::Left, true), PopupClick::OpenQuickInfoThenClose);
  EXPECT_EQ(PopupClickAction(kTrackPopup, MouseButton::Left, false), PopupClick::Close);
  EXPECT_EQ(PopupClickAction(kTrackPopup, MouseButton::Right, true), PopupClick::Close);
  EXPECT_EQ(PopupClickAction(kStatePopup, MouseButton::Other, true), PopupClick::Nothing);
}

}  // namespace
}  // namespace tunelet
