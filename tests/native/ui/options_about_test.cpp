#include "ui/options_about.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "model/maker_site.h"

namespace tunelet {
namespace {

bool HasLine(const std::vector<CreditsLine>& lines, std::u16string_view text, CreditsStyle style) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const CreditsLine& l) { return l.text == text && l.style == style; });
}

TEST(Credits, NameTheAuthorTheHomePageAndAContactOnTheMakersSite) {
  const std::vector<CreditsLine> lines = CreditsLines();
  EXPECT_TRUE(HasLine(lines, u"ORB2000", CreditsStyle::Plain));
  EXPECT_TRUE(HasLine(lines, u"Благодарности", CreditsStyle::Heading));
  EXPECT_TRUE(HasLine(lines, u"www.tunelet.example/tunelet.htm", CreditsStyle::Link));
  EXPECT_TRUE(HasLine(lines, u"orb2000@tunelet.example", CreditsStyle::Link));
  // Gaps only between groups: never first, last or two in a row.
  ASSERT_FALSE(lines.empty());
  EXPECT_FALSE(lines.front().text.empty());
  EXPECT_FALSE(lines.back().text.empty());
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_FALSE(lines[i].text.empty() && lines[i - 1].text.empty()) << i;
  EXPECT_EQ(MakerHomePageUrl(), u"http://www.tunelet.example/tunelet.htm");
}

TEST(Credits, ScrollUpOnePixelAStepAndComeBackFromBelowOnceGone) {
  constexpr int kBox = 130, kText = 300;
  int offset = InitialCreditsOffset(kBox);
  EXPECT_GT(CreditsTextTop(offset, kBox), 0);  // the first line shows at once, near the top
  EXPECT_LT(CreditsTextTop(offset, kBox), 20);
  int steps = 0;
  // The last line's bottom reaches the box's top after this many steps.
  while (CreditsTextTop(offset, kBox) + kText > 0) {
    const int next = NextCreditsOffset(offset, kBox, kText);
    ASSERT_EQ(next, offset + 1);
    offset = next;
    ASSERT_LT(++steps, 1000);
  }
  EXPECT_EQ(steps, kText + 8);
  // Then the text enters again from just below the box.
  offset = NextCreditsOffset(offset, kBox, kText);
  EXPECT_EQ(CreditsTextTop(offset, kBox), kBox);
  // A box lower than the margin: the text comes in from just below it.
  EXPECT_EQ(CreditsTextTop(InitialCreditsOffset(4), 4), 4);
}

}  // namespace
}  // namespace tunelet
