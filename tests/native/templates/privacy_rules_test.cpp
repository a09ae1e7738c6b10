#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "templates/privacy_rules.h"

using namespace tunelet;

namespace {

constexpr int64_t kMinute = 60 * 1000;

TrackInfo Track(std::u16string artist, std::u16string title, std::u16string album, std::u16string path) {
  TrackInfo t;
  SetText(t.Artist, artist);
  SetText(t.Title, title);
  SetText(t.Album, album);
  SetText(t.FilePath, path);
  return t;
}

// ---- Wildcards ---------------------------------------------------------------

TEST(MatchesWildcard, StarsAndQuestionMarksMatchTheWholeText) {
  EXPECT_TRUE(MatchesWildcard(u"*podcast*", u"My Podcast 12"));
  EXPECT_TRUE(MatchesWildcard(u"*", u""));
  EXPECT_TRUE(MatchesWildcard(u"a*b*c", u"abc"));
  EXPECT_TRUE(MatchesWildcard(u"a*b*c", u"aXXbYYbc"));  // the star after a takes "XXbYY"
  EXPECT_TRUE(MatchesWildcard(u"track ??", u"Track 07"));
  EXPECT_FALSE(MatchesWildcard(u"track ??", u"Track 7"));
  EXPECT_FALSE(MatchesWildcard(u"podcast", u"my podcast"));  // anchored at both ends
  EXPECT_FALSE(MatchesWildcard(u"*podcast", u"podcasts"));
  EXPECT_FALSE(MatchesWildcard(u"", u"x"));
  EXPECT_TRUE(MatchesWildcard(u"", u""));
  EXPECT_FALSE(MatchesWildcard(u"?", u""));
  EXPECT_TRUE(MatchesWildcard(u"D:\\Private\\*", u"d:\\private\\2024\\a.mp3"));
  EXPECT_FALSE(MatchesWildcard(u"D:\\Private\\*", u"D:\\Public\\a.mp3"));
}

TEST(MatchesWildcard, PiecesBetweenStarsArePlacedLeftmostInOrder) {
  EXPECT_TRUE(MatchesWildcard(u"*ab*ab*", u"xabab"));
  EXPECT_FALSE(MatchesWildcard(u"*ab*ab*", u"xaba"));
  EXPECT_TRUE(MatchesWildcard(u"*a?c*c", u"abxabcc"));  // "a?c" first fits at "abc"
  EXPECT_FALSE(MatchesWildcard(u"ab*ba", u"aba"));        // head and tail may not overlap
  EXPECT_TRUE(MatchesWildcard(u"ab*ba", u"abba"));
  EXPECT_TRUE(MatchesWildcard(u"**", u"x"));
  // A piece longer than one machine word of positions.
  const std::u16string piece = u"*" + std::u16string(100, u'a') + u"b*";
  EXPECT_TRUE(MatchesWildcard(piece, std::u16string(150, u'a') + u"b"));
  EXPECT_FALSE(MatchesWildcard(piece, std::u16string(99, u'a') + u"b" + std::u16string(99, u'a') + u"b"));
  EXPECT_TRUE(MatchesWildcard(u"*" + std::u16string(70, u'?') + u"z*", std::u16string(80, u'q') + u"z"));
  EXPECT_FALSE(MatchesWildcard(u"*" + std::u16string(70, u'?') + u"z*", std::u16string(69, u'q') + u"z"));
}

TEST(MatchesWildcard, IgnoresCaseOfLatinAndCyrillicLetters) {
  EXPECT_TRUE(MatchesWildcard(u"*ЁЖИК*", u"Песня про ёжика"));
  EXPECT_TRUE(MatchesWildcard(u"Beyoncé", u"BEYONCÉ"));
  EXPECT_TRUE(MatchesWildcard(u"łódź", u"ŁÓDŹ"));
  EXPECT_FALSE(MatchesWildcard(u"ёж", u"еж"));  // different letters, not different cases
}

TEST(MatchesWildcard, QuestionMarkTakesASurrogatePairAsOneCharacter) {
  const std::u16string emoji = u"\U0001F3B5";  // two UTF-16 units
  EXPECT_TRUE(MatchesWildcard(u"a?b", u"a" + emoji + u"b"));
  EXPECT_FALSE(MatchesWildcard(u"a??b", u"a" + emoji + u"b"));
  EXPECT_TRUE(MatchesWildcard(u"*?b", emoji + u"b"));
  // A lone surrogate is a character of its own.
  EXPECT_TRUE(MatchesWildcard(u"?", std::u16string(1, char16_t(0xD83C))));
}

TEST(MatchesWildcard, HostilePatternsAndTextsStayFast) {
  // Exponential backtracking would never finish these.
  const std::u16string manyStars(10000, u'*');
  const std::u16string longText(32768, u'a');
  EXPECT_TRUE(MatchesWildcard(manyStars, longText));
  EXPECT_FALSE(MatchesWildcard(manyStars + u"b", longText));
  std::u16string starsBetween;
  for (int i = 0; i < 128; ++i) starsBetween += u"*a";
  EXPECT_FALSE(MatchesWildcard(starsBetween + u"*b", longText));
  EXPECT_TRUE(MatchesWildcard(starsBetween + u"*", longText));
}

// ---- Parsing the list ----------------------------------------------------

TEST(ParseExclusionPatterns, ReadsFieldNamesAndSkipsEmptyLines) {
  const auto list = ParseExclusionPatterns(
      u"  artist:*podcast*  \r\n\r\nTITLE: Secret*\npath:D:\\Private\\*\rplayer:Chrome\nalbum:\nD:\\Music\\x.mp3\n"
      u"genre:rock\n   \n");
  ASSERT_EQ(list.size(), 6u);
  EXPECT_EQ(list[0], (ExclusionPattern{ExclusionField::Artist, u"*podcast*", u"artist:*podcast*"}));
  EXPECT_EQ(list[1], (ExclusionPattern{ExclusionField::Title, u"Secret*", u"TITLE: Secret*"}));
  EXPECT_EQ(list[2], (ExclusionPattern{ExclusionField::Path, u"D:\\Private\\*", u"path:D:\\Private\\*"}));
  EXPECT_EQ(list[3], (ExclusionPattern{ExclusionField::Player, u"Chrome", u"player:Chrome"}));
  // "album:" names a field but no pattern: skipped. A drive letter and an
  // unknown name are part of the pattern.
  EXPECT_EQ(list[4], (ExclusionPattern{ExclusionField::Any, u"D:\\Music\\x.mp3", u"D:\\Music\\x.mp3"}));
  EXPECT_EQ(list[5], (ExclusionPattern{ExclusionField::Any, u"genre:rock", u"genre:rock"}));
}

TEST(ParseExclusionPatterns, CapsTheCountAndSkipsOverlongLinesWhole) {
  std::u16string text;
  text += std::u16string(kMaxExclusionPatternChars + 1, u'x') + u"\n";
  text += std::u16string(kMaxExclusionPatternChars, u'y') + u"\n";
  for (size_t i = 0; i < 2 * kMaxExclusionPatterns; ++i) text += u"p" + std::u16string(1, char16_t(u'A' + i % 26)) + u"\n";
  const auto list = ParseExclusionPatterns(text);
  ASSERT_EQ(list.size(), kMaxExclusionPatterns);
  EXPECT_EQ(list[0].pattern, std::u16string(kMaxExclusionPatternChars, u'y'));
  EXPECT_EQ(list[1].pattern, u"pA");

  // The stored form (one line a value) gives the same list; a value holding
  // a break is two lines.
  const auto stored = ParseExclusionPatterns(std::vector<std::u16string>{u"title:a", u"b\r\nartist:c"});
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[2].field, ExclusionField::Artist);
}

// ---- Which pattern hides a track ----------------------------------------

TEST(ExclusionThatHides, NamedFieldsLookOnlyAtTheirField) {
  const TrackInfo t = Track(u"Radio Host", u"Daily Podcast #12", u"Talks", u"D:\\Private\\talk.mp3");
  const auto patterns = ParseExclusionPatterns(u"artist:*podcast*\nalbum:Tal?s\n");
  const ExclusionPattern* hit = ExclusionThatHides(t, u"Winamp", patterns);
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit->line, u"album:Tal?s");  // the title's "podcast" is not the artist's

  EXPECT_EQ(ExclusionThatHides(t, u"Winamp", ParseExclusionPatterns(u"title:*podcast")), nullptr) << "anchored";
  EXPECT_NE(ExclusionThatHides(t, u"Winamp", ParseExclusionPatterns(u"title:*podcast*")), nullptr);
  EXPECT_NE(ExclusionThatHides(t, u"Winamp", ParseExclusionPatterns(u"path:d:\\private\\*")), nullptr);
  EXPECT_NE(ExclusionThatHides(t, u"Winamp", ParseExclusionPatterns(u"player:winamp")), nullptr);
  EXPECT_EQ(ExclusionThatHides(t, u"AIMP2", ParseExclusionPatterns(u"player:winamp")), nullptr);
}

TEST(ExclusionThatHides, BarePatternsLookAtEveryFieldAndTheFirstMatchIsNamed) {
  const TrackInfo t = Track(u"Band", u"Song", u"Record", u"C:\\Music\\song.flac");
  const auto patterns = ParseExclusionPatterns(u"nothing\n*.flac\nSONG\n");
  const ExclusionPattern* hit = ExclusionThatHides(t, u"foobar2000", patterns);
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit->line, u"*.flac");
  EXPECT_NE(ExclusionThatHides(t, u"foobar2000", ParseExclusionPatterns(u"foo*")), nullptr) << "player name";
  EXPECT_EQ(ExclusionThatHides(t, u"foobar2000", {}), nullptr);
}

TEST(ExclusionThatHides, AbsentFieldsMatchNothingEvenAStar) {
  TrackInfo t;  // a stream with nothing known but its address
  SetText(t.FilePath, u"http://radio/stream");
  EXPECT_EQ(ExclusionThatHides(t, u"", ParseExclusionPatterns(u"artist:*\nalbum:*\nplayer:*")), nullptr);
  EXPECT_NE(ExclusionThatHides(t, u"", ParseExclusionPatterns(u"path:http://*")), nullptr);
}

// ---- Players and applications -------------------------------------------

TEST(PlayerShared, ClassicPlayersFollowTheirSwitchAndFoobarRowsShareOne) {
  PrivacySettings s;
  for (PlayerId row = 0; row < kPlayerCount; ++row) EXPECT_TRUE(PlayerShared(s, row, u"")) << int(row);
  s.PlayerShared[kFoobar2000] = false;
  s.PlayerShared[kWinamp] = false;
  EXPECT_FALSE(PlayerShared(s, kFoobar2000Alt1, u""));
  EXPECT_FALSE(PlayerShared(s, kFoobar2000Alt2, u""));
  EXPECT_FALSE(PlayerShared(s, kWinamp, u""));
  EXPECT_TRUE(PlayerShared(s, kKmPlayer, u""));  // same window class as Winamp, another player
  EXPECT_FALSE(PlayerShared(s, 99, u""));
}

TEST(PlayerShared, SessionAppsUseTheirChoiceElseBrowsersStartOff) {
  PrivacySettings s;
  EXPECT_FALSE(PlayerShared(s, kMediaSession, u"Chrome"));
  EXPECT_FALSE(PlayerShared(s, kMediaSession, u"308046B0AF4A39CB"));  // Firefox
  EXPECT_TRUE(PlayerShared(s, kMediaSession, u"Spotify.exe"));
  EXPECT_TRUE(PlayerShared(s, kMediaSession, u"C:\\Tools\\SomePlayer.exe"));

  ASSERT_TRUE(RememberSessionApp(s, u"Chrome"));
  ASSERT_TRUE(RememberSessionApp(s, u"Spotify.exe"));
  EXPECT_FALSE(RememberSessionApp(s, u"CHROME")) << "ids compare ignoring case";
  EXPECT_EQ(s.SessionApps, (std::vector<SessionAppChoice>{{u"Chrome", false}, {u"Spotify.exe", true}}));
  s.SessionApps[0].shared = true;
  s.SessionApps[1].shared = false;
  EXPECT_TRUE(PlayerShared(s, kMediaSession, u"chrome"));
  EXPECT_FALSE(PlayerShared(s, kMediaSession, u"Spotify.exe"));
}

TEST(PlayerShared, RememberingIsCappedAndRefusesIdsTheIniCannotHold) {
  PrivacySettings s;
  EXPECT_FALSE(RememberSessionApp(s, u""));
  EXPECT_FALSE(RememberSessionApp(s, std::u16string(kMaxSessionAppIdChars + 1, u'a')));
  EXPECT_FALSE(RememberSessionApp(s, u"evil\r\nPlayer8=0"));
  for (size_t i = 0; i < kMaxRememberedSessionApps; ++i) ASSERT_TRUE(RememberSessionApp(s, u"app" + ToU16(uint32_t(i))));
  EXPECT_FALSE(RememberSessionApp(s, u"Chrome"));
  EXPECT_EQ(s.SessionApps.size(), kMaxRememberedSessionApps);
  EXPECT_FALSE(PlayerShared(s, kMediaSession, u"Chrome")) << "an app not remembered keeps its default";
}

TEST(IsWebBrowserApp, KnowsBrowsersByNameExecutableAndPackage) {
  for (std::u16string_view id : {u"Chrome", u"MSEdge", u"msedge.exe", u"308046B0AF4A39CB", u"opera.exe",
                                 u"C:\\Program Files\\BraveSoftware\\Brave-Browser\\Application\\brave.exe",
                                 u"vivaldi.exe", u"Microsoft.MicrosoftEdge_8wekyb3d8bbwe!MicrosoftEdge"})
    EXPECT_TRUE(IsWebBrowserApp(id)) << std::string(id.begin(), id.end());
  for (std::u16string_view id : {u"", u"Spotify.exe", u"SpotifyAB.SpotifyMusic_zpdnekdrzrea0!Spotify",
                                 u"Microsoft.ZuneMusic_8wekyb3d8bbwe!Microsoft.ZuneMusic", u"vlc.exe",
                                 u"notbrave.exe", u"brave.exe.bak"})
    EXPECT_FALSE(IsWebBrowserApp(id)) << std::string(id.begin(), id.end());
}

// ---- Pause of sharing -----------------------------------------------------

TEST(SharingPause, LastsOneHourAndASecondPressResumes) {
  SharingPause pause;
  EXPECT_FALSE(pause.Active(0));
  EXPECT_TRUE(pause.Toggle(1000));
  EXPECT_EQ(pause.Until(), 1000 + 60 * kMinute);
  EXPECT_TRUE(pause.Active(1000 + 60 * kMinute - 1));
  EXPECT_FALSE(pause.Active(1000 + 60 * kMinute)) << "ends by itself";
  // After it ran out, a press pauses again rather than resuming.
  EXPECT_TRUE(pause.Toggle(10 * 60 * kMinute));
  EXPECT_EQ(pause.Until(), 11 * 60 * kMinute);
  EXPECT_FALSE(pause.Toggle(10 * 60 * kMinute + 5000)) << "second press resumes";
  EXPECT_FALSE(pause.Active(10 * 60 * kMinute + 6000));
}

// ---- A player paused too long ---------------------------------------------

TEST(PauseTracker, CountsFromThePauseStartAndPlayingAgainShows) {
  PauseTracker tracker;
  tracker.Observe(false, 0);
  tracker.Observe(true, 1000);
  tracker.Observe(true, 3 * kMinute);  // still the same pause
  EXPECT_FALSE(tracker.PausedTooLong(1000 + 5 * kMinute - 1, 5));
  EXPECT_TRUE(tracker.PausedTooLong(1000 + 5 * kMinute, 5));
  EXPECT_FALSE(tracker.PausedTooLong(1000 + 500 * kMinute, 0)) << "0 = never";
  tracker.Observe(false, 7 * kMinute);
  EXPECT_FALSE(tracker.PausedTooLong(7 * kMinute, 5));
  tracker.Observe(true, 8 * kMinute);
  EXPECT_FALSE(tracker.PausedTooLong(12 * kMinute, 5)) << "a new pause counts from its own start";
  tracker.Forget();
  EXPECT_FALSE(tracker.PausedTooLong(100 * kMinute, 5));
  tracker.Observe(true, 100 * kMinute);
  EXPECT_FALSE(tracker.PausedTooLong(50 * kMinute, 5)) << "a clock that went back";
}

// ---- Calm publishing --------------------------------------------------------

TEST(CalmPublisher, WithoutAnIntervalEveryChangeGoesAtOnce) {
  CalmPublisher calm;
  calm.RequestPublish(u"A", 100);
  EXPECT_EQ(calm.DueAt(), 100);
  EXPECT_EQ(calm.Take(100), (XStatusChange{XStatusChange::Kind::Publish, u"A"}));
  calm.RequestPublish(u"B", 101);
  EXPECT_EQ(calm.Take(101), (XStatusChange{XStatusChange::Kind::Publish, u"B"}));
  calm.RequestRestore(102);
  EXPECT_EQ(calm.Take(102), (XStatusChange{XStatusChange::Kind::Restore, u""}));
  EXPECT_EQ(calm.DueAt(), std::nullopt);
  EXPECT_EQ(calm.Take(103), std::nullopt);
}

TEST(CalmPublisher, FastChangesWaitAndTheLastOneWins) {
  CalmPublisher calm(30000);
  calm.RequestPublish(u"A", 0);
  EXPECT_EQ(calm.Take(0)->trackKey, u"A") << "the first change goes at once";
  calm.RequestPublish(u"B", 5000);
  calm.RequestPublish(u"C", 9000);
  EXPECT_EQ(calm.DueAt(), 30000);
  EXPECT_EQ(calm.Take(29999), std::nullopt);
  EXPECT_EQ(calm.Take(30000), (XStatusChange{XStatusChange::Kind::Publish, u"C"}));
  EXPECT_EQ(calm.Shown().trackKey, u"C");
  // A change long after the last one goes at once.
  calm.RequestPublish(u"D", 90000);
  EXPECT_EQ(calm.DueAt(), 90000);
}

TEST(CalmPublisher, ARestoreWaitsAtMostTheIntervalAndBackToShownCancels) {
  CalmPublisher calm(30000);
  calm.RequestPublish(u"A", 0);
  calm.Take(0);
  calm.RequestRestore(1000);
  ASSERT_TRUE(calm.DueAt());
  EXPECT_LE(*calm.DueAt() - 1000, 30000);
  EXPECT_EQ(calm.DueAt(), 30000);
  // The track came back before the restore went out: nothing to change.
  calm.RequestPublish(u"A", 2000);
  EXPECT_EQ(calm.DueAt(), std::nullopt);
  // Nothing published yet: a restore has nothing to undo.
  CalmPublisher fresh(30000);
  fresh.RequestRestore(0);
  EXPECT_EQ(fresh.DueAt(), std::nullopt);
  // A restore asked for on the edge of the interval goes at once.
  calm.RequestRestore(30000);
  EXPECT_EQ(calm.Take(30000)->kind, XStatusChange::Kind::Restore);
}

}  // namespace
