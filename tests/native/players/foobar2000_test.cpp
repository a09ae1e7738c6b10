#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "common/text.h"
#include "players/foobar2000.h"

using namespace tunelet;

TEST(Foobar2000Numbers, LeadingDigits) {
  EXPECT_EQ(LeadingDigits(u"07/12"), 7u);
  EXPECT_EQ(LeadingDigits(u""), 0u);
  EXPECT_EQ(LeadingDigits(u"?"), 0u);
  EXPECT_EQ(LeadingDigits(u" 5"), 0u);
  EXPECT_EQ(LeadingDigits(u"320"), 320u);
  EXPECT_EQ(LeadingDigits(u"44100 Hz"), 44100u);
  EXPECT_EQ(LeadingDigits(u"99999999999999999999"), 0xFFFFFFFFu);
}

TEST(Foobar2000Numbers, ParseIntegerAcceptsWholeNumbersOnly) {
  EXPECT_EQ(ParseInteger(u"215"), 215);
  EXPECT_EQ(ParseInteger(u" 215 "), 215);
  EXPECT_EQ(ParseInteger(u"-3"), -3);
  EXPECT_EQ(ParseInteger(u""), std::nullopt);
  EXPECT_EQ(ParseInteger(u"2:15"), std::nullopt);
  EXPECT_EQ(ParseInteger(u"12.5"), std::nullopt);
  EXPECT_EQ(ParseInteger(u"+"), std::nullopt);
  EXPECT_EQ(ParseInteger(u"2147483648"), std::nullopt);
  EXPECT_EQ(ParseInteger(u"-2147483648"), std::numeric_limits<int32_t>::min());
}

namespace {

// A player answering title-formatting strings from a table; records every
// string it was sent. A string listed in failing makes the call fail.
struct FakeFormatter {
  std::map<std::u16string, std::u16string> answers;
  std::u16string failing;
  std::vector<std::u16string> sent;

  TitleFormatter Bind() {
    return [this](std::u16string_view f) -> std::optional<std::u16string> {
      sent.emplace_back(f);
      if (f == failing) return std::nullopt;
      auto it = answers.find(std::u16string(f));
      return it == answers.end() ? std::u16string() : it->second;
    };
  }
};

FakeFormatter LocalTrack() {
  FakeFormatter p;
  p.answers = {{u"%path%", u"C:\\Music\\a.mp3"}, {u"[%title%]", u"Song"},       {u"[%artist%]", u"Band"},
               {u"[%album%]", u"LP"},            {u"[%genre%]", u"Rock"},       {u"[%date%]", u"1999"},
               {u"[%tracknumber%]", u"07/12"},   {u"%bitrate%", u"192"},        {u"%samplerate%", u"44100"},
               {u"[%length_seconds%]", u"215"}};
  return p;
}

uint32_t SizeOf(std::u16string_view path) { return path == u"C:\\Music\\a.mp3" ? 4096u : 0u; }

}  // namespace

TEST(Foobar2000Track, LocalFileIsReadWithTheFormatStringsInOrder) {
  FakeFormatter p = LocalTrack();
  TrackInfo t;
  SetText(t.Comment, u"left from before");
  ASSERT_TRUE(ReadFoobar2000TrackFrom(p.Bind(), SizeOf, t));
  const std::vector<std::u16string> expected = {u"%path%",      u"[%title%]",      u"[%title%]",
                                                u"[%artist%]",  u"[%album%]",      u"[%genre%]",
                                                u"[%date%]",    u"[%tracknumber%]", u"%bitrate%",
                                                u"%samplerate%", u"[%length_seconds%]"};
  EXPECT_EQ(p.sent, expected);
  EXPECT_EQ(View(t.FilePath), u"C:\\Music\\a.mp3");
  EXPECT_EQ(View(t.LastReadPath), u"C:\\Music\\a.mp3");
  EXPECT_EQ(View(t.Title), u"Song");
  EXPECT_EQ(View(t.Artist), u"Band");
  EXPECT_EQ(View(t.Album), u"LP");
  EXPECT_EQ(View(t.Genre), u"Rock");
  EXPECT_EQ(View(t.Year), u"1999");
  EXPECT_EQ(View(t.PlayerName), u"Foobar2000");
  EXPECT_FALSE(t.Comment.has_value());
  EXPECT_EQ(t.TrackNumber, 7u);
  EXPECT_EQ(t.Bitrate, 192u);
  EXPECT_EQ(t.SampleRate, 44100u);
  EXPECT_EQ(t.Duration, 215u);
  EXPECT_EQ(t.FileSize, 4096u);

  // The same track again is nothing new, the path compared without case.
  p.answers[u"%path%"] = u"c:\\music\\A.MP3";
  p.answers[u"[%title%]"] = u"SONG";
  p.sent.clear();
  EXPECT_FALSE(ReadFoobar2000TrackFrom(p.Bind(), SizeOf, t));
  EXPECT_EQ(p.sent.size(), 2u);
}

TEST(Foobar2000Track, StreamTitlesMakeNewTracksUnderOnePath) {
  FakeFormatter p;
  p.answers = {{u"%path%", u"http://radio.example/live"}, {u"[%title%]", u"First"},
               {u"%bitrate%", u""}, {u"%samplerate%", u"48000"}, {u"[%length_seconds%]", u""}};
  TrackInfo t;
  ASSERT_TRUE(ReadFoobar2000TrackFrom(p.Bind(), SizeOf, t));
  EXPECT_EQ(t.Duration, 0u);
  EXPECT_EQ(t.FileSize, 0u);
  EXPECT_EQ(t.Bitrate, 0u);
  EXPECT_EQ(t.SampleRate, 48000u);
  EXPECT_EQ(p.sent.back(), u"%samplerate%");  // no length asked for a stream

  EXPECT_FALSE(ReadFoobar2000TrackFrom(p.Bind(), SizeOf, t));
  p.answers[u"[%title%]"] = u"Second";
  ASSERT_TRUE(ReadFoobar2000TrackFrom(p.Bind(), SizeOf, t));
  EXPECT_EQ(View(t.Title), u"Second");
}

TEST(Foobar2000Track, EmptyLengthOfALocalFileFailsAndIsReadAgain) {
  FakeFormatter p = LocalTrack();
  p.answers[u"[%length_seconds%]"] = u"";
  TrackInfo t;
  EXPECT_FALSE(ReadFoobar2000TrackFrom(p.Bind(), SizeOf, t));
  EXPECT_EQ(View(t.Title), u"Song");  // written before the failure, kept
  EXPECT_FALSE(t.LastReadPath.has_value());
  p.answers[u"[%length_seconds%]"] = u"215";
  EXPECT_TRUE(ReadFoobar2000TrackFrom(p.Bind(), SizeOf, t));
}

TEST(Foobar2000Track, AFailedCallEndsTheRead) {
  for (std::u16string failing : {u"%path%", u"[%title%]", u"[%genre%]", u"%bitrate%"}) {
    FakeFormatter p = LocalTrack();
    p.failing = failing;
    TrackInfo t;
    EXPECT_FALSE(ReadFoobar2000TrackFrom(p.Bind(), SizeOf, t));
    EXPECT_EQ(p.sent.back(), failing);
    EXPECT_FALSE(t.LastReadPath.has_value());
  }
}

TEST(Foobar2000Commands, EachCommandHasItsMethod) {
  EXPECT_EQ(Foobar2000MethodFor(0)->Name, u"Stop");
  EXPECT_EQ(Foobar2000MethodFor(1)->Name, u"Start");
  EXPECT_TRUE(Foobar2000MethodFor(1)->PassFalse);
  EXPECT_EQ(Foobar2000MethodFor(2)->Name, u"Pause");
  EXPECT_EQ(Foobar2000MethodFor(3)->Name, u"Previous");
  EXPECT_EQ(Foobar2000MethodFor(4)->Name, u"Next");
  EXPECT_FALSE(Foobar2000MethodFor(2)->PassFalse);
  EXPECT_FALSE(Foobar2000MethodFor(5));
  EXPECT_FALSE(Foobar2000MethodFor(-1));
}
