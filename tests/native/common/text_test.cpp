#include <gtest/gtest.h>

#include "common/text.h"

using namespace tunelet;

TEST(Text, Utf8FourByteSequencesBecomeSurrogatePairs) {
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x8E\xB5"), std::u16string(u"\U0001F3B5"));
  EXPECT_EQ(Utf8ToUtf16("\xD0\x9F\xD1\x80\xD0\xB8"), u"При");
  EXPECT_EQ(Utf16ToUtf8(u"\U0001F3B5 \u00e9"), "\xF0\x9F\x8E\xB5 \xC3\xA9");
}

TEST(Text, MalformedUtf8NeverReadsPastTheEnd) {
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F"), u"\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("a\xC0\x80"), u"a\uFFFD");  // overlong NUL
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");       // encoded surrogate
}

TEST(Text, SetTextStoresEmptyAsAbsent) {
  OptText t = std::u16string(u"x");
  SetText(t, u"");
  EXPECT_FALSE(t.has_value());
  SetText(t, u"y");
  EXPECT_EQ(*t, u"y");
}

TEST(Text, CaseInsensitiveComparisonCoversCyrillic) {
  EXPECT_TRUE(EqualsIgnoreCase(u"C:\\Музыка\\a.MP3", u"c:\\МУЗЫКА\\A.mp3"));
  EXPECT_FALSE(EqualsIgnoreCase(u"abc", u"abd"));
  EXPECT_EQ(FindIgnoreCase(u"Hello %ALBUM%", u"%album%"), 6u);
}
