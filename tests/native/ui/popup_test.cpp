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
