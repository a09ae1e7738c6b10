// ID3v1 (class and direct reader), Lyrics3 v1/v2 and APE tags.
#include <gtest/gtest.h>

#include "builders.h"
#include "metadata/ape_tag.h"
#include "metadata/cover.h"
#include "metadata/id3v1.h"
#include "metadata/lyrics3.h"

using namespace builders;
using namespace tunelet;

namespace {

std::u16string Str16(const OptText& t) { return t ? *t : u"<absent>"; }

// "LYRICSBEGIN", fields (id, 5 digits, value), 6-digit size, "LYRICS200".
Bytes Lyrics3v2(std::initializer_list<std::pair<std::string_view, Bytes>> fields) {
  Bytes block = Str("LYRICSBEGIN");
  for (const auto& [id, value] : fields) {
    char len[8];
    std::snprintf(len, sizeof len, "%05zu", value.size());
    block = Cat({block, Str(id), Str(len), value});
  }
  char size[8];
  std::snprintf(size, sizeof size, "%06zu", block.size());
  return Cat({block, Str(size), Str("LYRICS200")});
}

TrackInfo DirectId3v1(const Bytes& file, TrackInfo info = {}) {
  BytesFile f(file);
  ReadId3v1Tag(f, info);
  return info;
}

TEST(Id3v1Test, ClassReadsBothVersionsAndTrimsBlanks) {
  const Bytes audio(200, 0x55);
  BytesFile f11(Cat({audio, Id3v1("A", "Artist   ", "Album", "1999", 7, 17, "comment")}));
  TID3v1 tag;
  ASSERT_TRUE(tag.LoadFromFile(f11));
  EXPECT_TRUE(tag.Exists);
  EXPECT_EQ(tag.VersionId, 2);
  EXPECT_EQ(tag.Title(), "A");  // a single character followed by padding is kept
  EXPECT_EQ(tag.Artist(), "Artist");
  EXPECT_EQ(tag.Year, "1999");
  EXPECT_EQ(tag.Track, 7);
  EXPECT_EQ(tag.GenreName(), "Rock");

  // Blank-padded v1.0 tag with a full comment: no track; genre 107 in the standard spelling.
  Bytes v10 = Cat({Str("TAG"), Field("T", 30, ' '), Field("", 30, ' '), Field("", 30, ' '), Field("", 4, ' '),
                   Field("a comment running to the end..", 30, ' '), Bytes{107}});
  BytesFile f10(v10);
  ASSERT_TRUE(tag.LoadFromFile(f10));
  EXPECT_EQ(tag.VersionId, 1);
  EXPECT_EQ(tag.Track, 0);
  EXPECT_EQ(tag.Title(), "T");
  EXPECT_EQ(tag.Artist(), "");
  EXPECT_EQ(tag.GenreName(), "Booty Bass");

  // Version 1.1 also when byte 125 is a space and byte 126 is not.
  Bytes spaced = Id3v1("S", "", "", "", 9, 0, "blank-padded comment");
  spaced[125] = ' ';
  BytesFile fs(spaced);
  ASSERT_TRUE(tag.LoadFromFile(fs));
  EXPECT_EQ(tag.VersionId, 2);
  EXPECT_EQ(tag.Track, 9);

  BytesFile none(audio);
  ASSERT_TRUE(tag.LoadFromFile(none));
  EXPECT_FALSE(tag.Exists);
  EXPECT_EQ(tag.GenreName(), "");
}

TEST(Id3v1Test, ClassTakesLongValuesFromLyrics3v2) {
  const Bytes block = Lyrics3v2({{"IND", Str("01")}, {"ETT", Str("A title much longer than thirty characters")},
                                 {"EAR", Str(" Long Artist ")}});
  BytesFile f(Cat({Bytes(64, 1), block, Id3v1("A title much longer than thir", "Short", "Al", "", 1, 0)}));
  TID3v1 tag;
  ASSERT_TRUE(tag.LoadFromFile(f));
  EXPECT_TRUE(tag.HasLyrics3);
  EXPECT_EQ(tag.Lyrics3Size, block.size() - 15);
  EXPECT_EQ(tag.Title(), "A title much longer than thirty characters");
  EXPECT_EQ(tag.Artist(), "Long Artist");
  EXPECT_EQ(tag.Album(), "Al");

  // A block size that points before the file's start, or a missing LYRICSBEGIN: ignored.
  Bytes lying = Cat({Str("999999LYRICS200"), Id3v1("t", "", "", "", 0, 0)});
  BytesFile g(lying);
  ASSERT_TRUE(tag.LoadFromFile(g));
  EXPECT_FALSE(tag.HasLyrics3);
}

TEST(Id3v1Test, DirectReaderFillsOnlyAbsentFields) {
  TrackInfo before;
  before.Title = u"from v2";
  before.TrackNumber = 0;
  const TrackInfo t = DirectId3v1(Cat({Bytes(10, 0), Id3v1("v1 title", "v1 artist", "", "2000", 5, 107, "note")}), before);
  EXPECT_EQ(Str16(t.Title), u"from v2");
  EXPECT_EQ(Str16(t.Artist), u"v1 artist");
  EXPECT_EQ(Str16(t.Album), u"<absent>");  // all blank
  EXPECT_EQ(Str16(t.Year), u"2000");
  EXPECT_EQ(Str16(t.Comment), u"note");
  EXPECT_EQ(Str16(t.Genre), u"Booty Brass");  // the string-table spelling
  EXPECT_EQ(t.TrackNumber, 5u);

  // A track number of 32 or more is dropped whenever the tag exists, wherever it came from.
  TrackInfo ape;
  ape.TrackNumber = 40;
  EXPECT_EQ(DirectId3v1(Id3v1("t", "a", "", "", 3, 0), ape).TrackNumber, 0u);
  EXPECT_EQ(DirectId3v1(Id3v1("t", "a", "", "", 31, 0)).TrackNumber, 31u);
  EXPECT_EQ(DirectId3v1(Id3v1("t", "a", "", "", 32, 0)).TrackNumber, 0u);  // a blank of ID3v1.0 comment text
  // Genre index 255: no genre.
  EXPECT_FALSE(DirectId3v1(Id3v1("t", "a", "", "", 3, 255)).Genre);
}

TEST(Lyrics3Test, Version2FieldsAndWideLyrics) {
  // LYR with FF FE: UTF-16 without its byte-order mark; ETT only while absent.
  const Bytes block = Lyrics3v2({{"LYR", Cat({Bytes{0xFF, 0xFE}, Utf16(u"\u041B\u0430 la", false)})},
                                 {"ETT", Str("Lyrics title")}, {"EAL", Str("Lyrics album")}});
  TrackInfo preset;
  preset.Album = u"kept";
  const TrackInfo t = DirectId3v1(Cat({Bytes(30, 0), block, Id3v1("", "", "", "", 0, 255)}), preset);
  EXPECT_EQ(Str16(t.Lyrics), u"\u041B\u0430 la");
  EXPECT_EQ(Str16(t.Title), u"Lyrics title");
  EXPECT_EQ(Str16(t.Album), u"kept");

  // Without an ID3v1 tag the block ends the file; an ANSI LYR value.
  const TrackInfo u = DirectId3v1(Cat({Bytes(5, 0), Lyrics3v2({{"LYR", Str("plain words")}})}));
  EXPECT_EQ(Str16(u.Lyrics), u"plain words");
}

TEST(Lyrics3Test, Version1AndBrokenBlocks) {
  const TrackInfo t =
      DirectId3v1(Cat({Bytes(50, 0), Str("LYRICSBEGINold lyrics\r\nline 2LYRICSEND"), Id3v1("", "", "", "", 0, 0)}));
  EXPECT_EQ(Str16(t.Lyrics), u"old lyrics\r\nline 2");

  // Lying sizes and field lengths: nothing read, no crash.
  Bytes bad = Lyrics3v2({{"LYR", Str("words")}});
  bad[11 + 3] = '9';  // field length 90005 > block
  EXPECT_FALSE(DirectId3v1(bad).Lyrics);
  EXPECT_FALSE(DirectId3v1(Str("000500LYRICS200")).Lyrics);
  EXPECT_FALSE(DirectId3v1(Str("LYRICS200")).Lyrics);
  EXPECT_FALSE(DirectId3v1(Str("LYRICSEND")).Lyrics);  // no LYRICSBEGIN before it
}

TEST(ApeTagTest, ClassItemsAreCutAndMatchedIgnoringCase) {
  const Bytes tag = ApeTag(2000, {ApeItem("Title", Str(" Song ")), ApeItem("Long", Bytes(300, 'x')),
                                  ApeItem("Artist", Str("Band"))});
  BytesFile f(Cat({Bytes(100, 0), tag, Id3v1("t", "", "", "", 1, 0)}));
  TAPETag ape;
  ASSERT_TRUE(ape.LoadFromFile(f));
  EXPECT_TRUE(ape.Exists);
  EXPECT_EQ(ape.Version, 2000u);
  EXPECT_EQ(ape.Size, tag.size());
  EXPECT_EQ(ape.GetItem("TITLE"), "Song");
  EXPECT_EQ(ape.GetItem("long"), std::string(250, 'x'));
  EXPECT_EQ(ape.GetItem("artist"), "Band");  // the walk went on past the long value
  EXPECT_EQ(ape.GetItem("Missing"), "");
}

TEST(ApeTagTest, DirectReaderDecodesByVersion) {
  const Bytes png = Cat({Bytes{0x89}, Str("PNG"), Bytes(10, 1)});
  const Bytes tag = ApeTag(2000, {ApeItem("TITLE", Str("\xD0\x96ук")), ApeItem("Track", Str("12/20")),
                                  ApeItem("Cover Art (Front)", Cat({Str("front.png"), Bytes{0}, png})),
                                  ApeItem("genre", Str("Jazz"))});
  TrackInfo t;
  BytesFile f(Cat({Bytes(8, 0), tag}));
  ASSERT_TRUE(ReadApeTag(f, t));
  EXPECT_EQ(Str16(t.Title), u"\u0416ук");
  EXPECT_EQ(t.TrackNumber, 12u);
  EXPECT_EQ(Str16(t.Genre), u"Jazz");
  ASSERT_TRUE(t.CoverFile);
  EXPECT_NE(t.CoverFile->find(u"cover"), std::u16string::npos);
  EXPECT_TRUE(t.CoverFile->ends_with(u".PNG"));
  DeleteTemporaryCovers();

  // Version 1000: 8-bit ANSI text.
  TrackInfo v1;
  BytesFile g(ApeTag(1000, {ApeItem("Artist", Str("Caf\xE9"))}));
  ASSERT_TRUE(ReadApeTag(g, v1));
  EXPECT_EQ(Str16(v1.Artist), u"Caf\u00E9");
}

TEST(ApeTagTest, LyingFootersAndItems) {
  TrackInfo t;
  // A header (bit 29) where the footer should be: no tag.
  Bytes items = ApeItem("Title", Str("x"));
  BytesFile h(Cat({items, ApeFooter(2000, uint32_t(items.size() + 32), 1, 1u << 29)}));
  EXPECT_FALSE(ReadApeTag(h, t));
  // A tag size beyond the file's start, and a huge item count.
  BytesFile big(Cat({items, ApeFooter(2000, 0xFFFFFFF0u, 0xFFFFFFFFu)}));
  EXPECT_TRUE(ReadApeTag(big, t));
  EXPECT_FALSE(t.Title);
  // An item whose value length runs past the items: the walk ends there.
  const Bytes good = ApeItem("Album", Str("kept"));
  const Bytes bad = Cat({Le(0x7FFFFFFF, 4), Le(0, 4), Str("Title"), Bytes{0}, Str("x")});
  BytesFile lie(Cat({good, bad, ApeFooter(2000, uint32_t(good.size() + bad.size() + 32), 2)}));
  EXPECT_TRUE(ReadApeTag(lie, t));
  EXPECT_EQ(Str16(t.Album), u"kept");
  EXPECT_FALSE(t.Title);
  // Every truncation of a valid tag: no crash.
  const Bytes full = ApeTag(2000, {ApeItem("Title", Str("abc")), ApeItem("Artist", Str("def"))});
  for (size_t n = 0; n <= full.size(); ++n) {
    TrackInfo any;
    BytesFile cut(Bytes(full.end() - ptrdiff_t(n), full.end()));
    ReadApeTag(cut, any);
    TAPETag cls;
    cls.LoadFromFile(cut);
  }
}

}  // namespace
