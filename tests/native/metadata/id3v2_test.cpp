// The direct ID3v2 reader (frame walk, scores, dispatch, decoding) and the
// ID3v2 tag class.
#include <gtest/gtest.h>

#include "builders.h"
#include "metadata/cover.h"
#include "metadata/id3v2.h"
#include "metadata/memory_file.h"

using namespace builders;
using namespace tunelet;

namespace {

struct Read {
  TrackInfo info;
  uint64_t length = 0;
};

Read ReadTag(const Bytes& file) {
  Read r;
  MemoryFile f(file);
  r.length = ReadId3v2Tag(f, r.info);
  return r;
}

std::u16string Str16(const OptText& t) { return t ? *t : u"<absent>"; }

class Id3v2Test : public ::testing::Test {
 protected:
  void TearDown() override { DeleteTemporaryCovers(); }
};

TEST_F(Id3v2Test, TitleScoresPreferMainFramesAndWideEncodings) {
  // Latin-1 TIT2 (score 11), then UTF-16 TIT2 (13): the UTF-16 one wins.
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(3, Cat({Latin1("TIT2", "plain"), Wide("TIT2", u"wide")}))).info.Title), u"wide");
  // Same encoding twice: the first stays.
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(3, Cat({Latin1("TIT2", "one"), Latin1("TIT2", "two")}))).info.Title), u"one");
  // TIT1 first, TIT2 later: TIT2 wins; TIT2 first: a later TIT1 (even UTF-16) never replaces it.
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(3, Cat({Wide("TIT1", u"group"), Latin1("TIT2", "main")}))).info.Title), u"main");
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(3, Cat({Latin1("TIT2", "main"), Wide("TIT1", u"group")}))).info.Title), u"main");
  // Secondary artist and album frames only fill in for the main ones.
  const Read r = ReadTag(Id3v2Tag(3, Cat({Latin1("TPE2", "band"), Latin1("TPE1", "artist"), Wide("TOPE", u"orig"),
                                          Latin1("TOAL", "old"), Latin1("TALB", "album")})));
  EXPECT_EQ(Str16(r.info.Artist), u"artist");
  EXPECT_EQ(Str16(r.info.Album), u"album");
  // Alone, a secondary frame does fill the field.
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(3, Latin1("TPE4", "remixer"))).info.Artist), u"remixer");
}

TEST_F(Id3v2Test, GenreTrackYearAndEmptyValues) {
  auto genre = [](std::string_view text) { return Str16(ReadTag(Id3v2Tag(3, Latin1("TCON", text))).info.Genre); };
  EXPECT_EQ(genre("(9)"), u"Metal");
  EXPECT_EQ(genre("(17)Jazzy"), u"Jazzy");
  EXPECT_EQ(genre("Rock"), u"Rock");
  EXPECT_EQ(genre("(107)"), u"Booty Brass");  // the string table's spelling
  EXPECT_EQ(genre("(148)"), u"<absent>");
  EXPECT_EQ(genre("(RX)"), u"(RX)");
  // Version 2.4 writes the number bare; numbers outside the list stay text.
  auto genre4 = [](std::string_view text) { return Str16(ReadTag(Id3v2Tag(4, Latin1("TCON", text, 4))).info.Genre); };
  EXPECT_EQ(genre4("17"), u"Rock");
  EXPECT_EQ(genre4("0"), u"Blues");
  EXPECT_EQ(genre4("148"), u"148");
  EXPECT_EQ(genre4("1999"), u"1999");
  EXPECT_EQ(genre4("17 Rock"), u"17 Rock");
  // The first genre frame stays; TORY only fills a missing year.
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(3, Cat({Latin1("TCON", "Rock"), Latin1("TCON", "Pop")}))).info.Genre), u"Rock");
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(3, Cat({Latin1("TYER", "2001"), Latin1("TORY", "1990")}))).info.Year), u"2001");
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(3, Latin1("TORY", "1990"))).info.Year), u"1990");

  const Read r = ReadTag(Id3v2Tag(3, Cat({Latin1("TRCK", "3/12"), Latin1("TRCK", "7"), Latin1("TORY", "1990"),
                                          Latin1("TYER", "2001"), Latin1("TDRC", "2002-05-01")})));
  EXPECT_EQ(r.info.TrackNumber, 3u);  // only while 0
  EXPECT_EQ(Str16(r.info.Year), u"2002-05-01");  // TYER/TDRC always replace

  // An empty decoded value leaves the field; a frame of the encoding byte alone clears it.
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(3, Cat({Latin1("TYER", "1999"), Frame(3, "TYER", {0, 0, 0})}))).info.Year), u"1999");
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(3, Cat({Latin1("TYER", "1999"), Frame(3, "TYER", {0})}))).info.Year), u"<absent>");
}

TEST_F(Id3v2Test, TextEncodings) {
  // 1: UTF-16 with a BOM in either order; 2: big-endian (decoded as such); 3: UTF-8.
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(3, Frame(3, "TIT2", TextData(1, Utf16(u"\u0416ук", true, true))))).info.Title), u"\u0416ук");
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(4, Frame(4, "TIT2", TextData(2, Utf16(u"Ab\u0416", false, true))))).info.Title), u"Ab\u0416");
  // A four-byte UTF-8 sequence becomes a surrogate pair.
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(4, Frame(4, "TIT2", TextData(3, Str("x\xF0\x9F\x98\x80y\0\0"))))).info.Title),
            u"x\xD83D\xDE00y");
  // ANSI text up to its first NUL (ID3v2.4 lists several values).
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(4, Frame(4, "TPE1", TextData(0, Str(std::string("One\0Two", 7)))))).info.Artist), u"One");
}

TEST_F(Id3v2Test, UnsynchronisationAndVersionDetails) {
  // ID3v2.3: the whole tag is unsynchronised, sizes count the restored bytes.
  const Bytes frames = Cat({Latin1("TIT2", "\xFF\xE9t"), Latin1("TPE1", "next")});
  Read r = ReadTag(Id3v2Tag(3, Unsynchronise(frames), 0x80));
  EXPECT_EQ(Str16(r.info.Title), u"\u00FF\u00E9t");
  EXPECT_EQ(Str16(r.info.Artist), u"next");

  // ID3v2.4: per frame (flag 0x02); the stored size counts the inserted zeros.
  const Bytes data = Unsynchronise(TextData(0, Str("\xFF\xE0z")));
  r = ReadTag(Id3v2Tag(4, Cat({Frame(4, "TIT2", data, 0, 0x02), Latin1("TPE1", "after", 4)})));
  EXPECT_EQ(Str16(r.info.Title), u"\u00FF\u00E0z");
  EXPECT_EQ(Str16(r.info.Artist), u"after");

  // ID3v2.4 data-length indicator: 4 bytes before the data, inside the frame's size.
  r = ReadTag(Id3v2Tag(4, Cat({Frame(4, "TIT2", Cat({Synchsafe(5), TextData(0, Str("dli!"))}), 0, 0x01),
                               Latin1("TALB", "al", 4)})));
  EXPECT_EQ(Str16(r.info.Title), u"dli!");
  EXPECT_EQ(Str16(r.info.Album), u"al");

  // Extended headers: v3 size without itself, v4 7-bit size with itself.
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(3, Cat({Be(6, 4), Bytes(6, 0), Latin1("TIT2", "x3")}), 0x40)).info.Title), u"x3");
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(4, Cat({Synchsafe(6), Bytes{1, 0}, Latin1("TIT2", "x4", 4)}), 0x40)).info.Title), u"x4");

  // Version 2.2 identifiers.
  r = ReadTag(Id3v2Tag(2, Cat({Latin1("TT2", "t2", 2), Latin1("TP1", "a2", 2), Latin1("TRK", "9", 2)})));
  EXPECT_EQ(Str16(r.info.Title), u"t2");
  EXPECT_EQ(Str16(r.info.Artist), u"a2");
  EXPECT_EQ(r.info.TrackNumber, 9u);

  // A compressed frame is not decoded as text.
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(3, Frame(3, "TIT2", TextData(0, Str("zzz")), 0, 0x80))).info.Title), u"<absent>");
  // A revision other than 0 yields no frames, but the length still counts.
  Bytes rev = Id3v2Tag(3, Latin1("TIT2", "t"));
  rev[4] = 1;
  r = ReadTag(rev);
  EXPECT_FALSE(r.info.Title);
  EXPECT_EQ(r.length, rev.size());
}

TEST_F(Id3v2Test, LengthAndLyingSizes) {
  EXPECT_EQ(ReadTag(Str("no tag here")).length, 0u);
  const Bytes tag = Id3v2Tag(3, Latin1("TIT2", "t"), 0, 100);
  EXPECT_EQ(ReadTag(tag).length, tag.size());
  Bytes footer = tag;
  footer[5] = 0x10;
  EXPECT_EQ(ReadTag(footer).length, tag.size() + 10);

  // A frame that claims more than the tag holds ends the walk; what came before stays.
  Read r = ReadTag(Id3v2Tag(3, Cat({Latin1("TIT2", "kept"), Str("TPE1"), Be(0x7FFFFFF0, 4), Bytes{0, 0, 0, 'x'}})));
  EXPECT_EQ(Str16(r.info.Title), u"kept");
  EXPECT_FALSE(r.info.Artist);
  // A header that claims 256 MB in a short file: reads what is there.
  Bytes huge = Cat({Str("ID3"), Bytes{3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}, Latin1("TIT2", "short")});
  r = ReadTag(huge);
  EXPECT_EQ(Str16(r.info.Title), u"short");
  EXPECT_EQ(r.length, 10u + 0x0FFFFFFF);
  // Truncated mid-header and mid-frame: no crash, nothing invented.
  const Bytes full = Id3v2Tag(4, Cat({Latin1("TIT2", "abcdef", 4), Wide("TPE1", u"xyz", 4)}));
  for (size_t n = 0; n < full.size(); ++n) ReadTag(Bytes(full.begin(), full.begin() + ptrdiff_t(n)));
}

// COMM: encoding, language, description (terminated in the encoding's width), text.
Bytes Comm(int version, std::string_view description, std::string_view text) {
  return Frame(version, version == 2 ? "COM" : "COMM", Cat({Bytes{0}, Str("eng"), Str(description), Bytes{0}, Str(text)}));
}
Bytes WideComm(std::u16string_view description, std::u16string_view text) {
  return Frame(3, "COMM", Cat({Bytes{1}, Str("eng"), Utf16(description), Bytes{0, 0}, Utf16(text)}));
}

TEST_F(Id3v2Test, PlainCommentWinsAndPlayerHousekeepingIsNoComment) {
  auto comment = [](const Bytes& frames, int version = 3) { return Str16(ReadTag(Id3v2Tag(version, frames)).info.Comment); };
  // The frames a tagging player writes before the user's comment.
  const Bytes housekeeping = Cat({Comm(3, "iTunes_CDDB_TrackNumber", "3"),
                                  Comm(3, "iTunNORM", " 00000253 0000022B 00001D1E"),
                                  WideComm(u"iTunSMPB", u" 00000000 00000210"), Comm(3, "iTunPGAP", "0"),
                                  Comm(3, "iTunes_CDDB_1", "7F0A5A09+123")});
  EXPECT_EQ(comment(Cat({housekeeping, Comm(3, "", "Live at the club")})), u"Live at the club");
  EXPECT_EQ(comment(housekeeping), u"<absent>");
  EXPECT_EQ(comment(Cat({Comm(2, "iTunNORM", "1"), Comm(2, "", "old tag")}), 2), u"old tag");
  // A described comment stands in until a plain one comes, and never replaces it.
  EXPECT_EQ(comment(Comm(3, "Notes", "described")), u"described");
  EXPECT_EQ(comment(Cat({Comm(3, "Notes", "described"), WideComm(u"", u"plain")})), u"plain");
  EXPECT_EQ(comment(Cat({Comm(3, "", "plain"), Comm(3, "Notes", "described"), Comm(3, "", "second plain")})),
            u"plain");
  // A plain frame with no text leaves room for a described one.
  EXPECT_EQ(comment(Cat({Comm(3, "", ""), Comm(3, "Notes", "described")})), u"described");
}

TEST_F(Id3v2Test, CommentLyricsAndUserText) {
  const Read r = ReadTag(Id3v2Tag(3, Cat({
      Frame(3, "COMM", Cat({Bytes{0}, Str("eng"), Str("desc"), Bytes{0}, Str("the comment")})),
      Frame(3, "USLT", Cat({Bytes{1}, Str("eng"), Utf16(u"d"), Bytes{0, 0}, Utf16(u"la la")})),
  })));
  EXPECT_EQ(Str16(r.info.Comment), u"the comment");
  EXPECT_EQ(Str16(r.info.Lyrics), u"la la");

  // SYLT: pieces joined, terminators and time stamps dropped; content type must be 1.
  const Bytes sylt = Cat({Bytes{0}, Str("eng"), Bytes{2, 1}, Str("desc"), Bytes{0}, Str("one "), Bytes{0},
                          Be(100, 4), Str("two"), Bytes{0}, Be(200, 4)});
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(3, Frame(3, "SYLT", sylt))).info.Lyrics), u"one two");
  Bytes chords = sylt;
  chords[5] = 2;
  EXPECT_FALSE(ReadTag(Id3v2Tag(3, Frame(3, "SYLT", chords))).info.Lyrics);
  const Bytes wideSylt = Cat({Bytes{1}, Str("eng"), Bytes{2, 1}, Bytes{0, 0}, Utf16(u"ab"), Bytes{0, 0},
                              Be(1, 4), Utf16(u"cd"), Bytes{0, 0}, Be(2, 4)});
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(3, Frame(3, "SYLT", wideSylt))).info.Lyrics), u"abcd");

  // TXXX: only with the description "LYRICS".
  EXPECT_EQ(Str16(ReadTag(Id3v2Tag(3, Cat({Frame(3, "TXXX", Cat({Bytes{0}, Str("MOOD"), Bytes{0}, Str("calm")})),
                                           Frame(3, "TXXX", Cat({Bytes{0}, Str("LYRICS"), Bytes{0}, Str("words")}))})))
                .info.Lyrics),
            u"words");
}

TEST_F(Id3v2Test, Pictures) {
  const Bytes png = Cat({Bytes{0x89}, Str("PNG\r\n\x1A\n"), Bytes(20, 7)});
  auto apic = [&](std::string_view mime, uint8_t type, const Bytes& image, uint8_t enc = 0) {
    const Bytes desc = enc == 1 ? Cat({Utf16(u"d"), Bytes{0, 0}}) : Cat({Str("d"), Bytes{0}});
    return Frame(3, "APIC", Cat({Bytes{enc}, Str(mime), Bytes{0}, Bytes{type}, desc, image}));
  };
  // A link, then an icon (type 1), then the back cover: only the last is taken.
  Read r = ReadTag(Id3v2Tag(3, Cat({apic("-->", 3, png), apic("image/png", 1, png), apic("", 4, png, 1)})));
  ASSERT_TRUE(r.info.CoverFile);
  EXPECT_TRUE(r.info.CoverFile->ends_with(u".PNG"));
  auto f = platform::OpenForRead(*r.info.CoverFile);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Read(0, 100), png);

  // The MIME type decides before the data; a link alone sets no cover.
  r = ReadTag(Id3v2Tag(3, apic("image/JPEG", 0, png)));
  ASSERT_TRUE(r.info.CoverFile);
  EXPECT_TRUE(r.info.CoverFile->ends_with(u".JPG"));
  EXPECT_FALSE(ReadTag(Id3v2Tag(3, apic("-->", 3, png))).info.CoverFile);
  // Unknown data without a MIME type: no file.
  EXPECT_FALSE(ReadTag(Id3v2Tag(3, apic("", 3, Str("not a picture")))).info.CoverFile);
  // Version 2.2 PIC: a 3-character format instead of a MIME type.
  r = ReadTag(Id3v2Tag(2, Frame(2, "PIC", Cat({Bytes{0}, Str("GIF"), Bytes{3}, Str("d"), Bytes{0}, png}))));
  ASSERT_TRUE(r.info.CoverFile);
  EXPECT_TRUE(r.info.CoverFile->ends_with(u".GIF"));
}

TEST_F(Id3v2Test, TagClassReadsMainFramesAsStored) {
  const Bytes tag = Id3v2Tag(3, Cat({Latin1("TIT1", "group"), Wide("TPE1", u"\u0416anna"), Latin1("TOAL", "orig"),
                                     Latin1("TRCK", " 4/9"), Latin1("TDRC", "2004-01-02"), Latin1("TCON", "(17)Rock"),
                                     Frame(3, "TALB", TextData(0, Str("zip")), 0, 0x80)}),
                             0, 20);
  MemoryFile f(tag);
  TID3v2 id3;
  ASSERT_TRUE(id3.LoadFromFile(f));
  EXPECT_TRUE(id3.Exists);
  EXPECT_EQ(id3.Size, tag.size());
  EXPECT_EQ(id3.Title.ansi, "group");
  EXPECT_TRUE(id3.Artist.isWide);
  EXPECT_EQ(id3.Artist.wide, u"\u0416anna");
  EXPECT_EQ(id3.Album.ansi, "orig");  // the compressed TALB is skipped
  EXPECT_EQ(id3.Track, 4u);
  EXPECT_EQ(id3.Year.ansi, "2004");
  EXPECT_EQ(id3.Genre.ansi, "Rock");

  // The Unicode encodings: UTF-16 big-endian without a mark (2), UTF-8 (3),
  // UTF-16 with a mark (1) for the track number.
  const Bytes unicode = Id3v2Tag(4, Cat({Frame(4, "TIT2", TextData(3, Str("\xD0\x96" "anna"))),
                                         Frame(4, "TPE1", TextData(2, Utf16(u"Band", false, true))),
                                         Frame(4, "TRCK", TextData(1, Utf16(u"07/12"))),
                                         Frame(4, "TCON", TextData(3, Str("Pop")))}));
  MemoryFile u(unicode);
  ASSERT_TRUE(id3.LoadFromFile(u));
  EXPECT_TRUE(id3.Title.isWide);
  EXPECT_EQ(id3.Title.wide, u"\u0416anna");
  EXPECT_EQ(id3.Artist.wide, u"Band");
  EXPECT_EQ(id3.Genre.wide, u"Pop");
  EXPECT_EQ(id3.Track, 7u);

  // A tag longer than the file: the header counts, no frames are read.
  const Bytes cut(tag.begin(), tag.end() - 30);
  MemoryFile g(cut);
  ASSERT_TRUE(id3.LoadFromFile(g));
  EXPECT_TRUE(id3.Exists);
  EXPECT_TRUE(id3.Title.empty());
}

}  // namespace
