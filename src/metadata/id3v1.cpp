#include "metadata/id3v1.h"

#include "metadata/entry_common.h"
#include "metadata/genres.h"
#include "metadata/lyrics3.h"
#include "metadata/tag_text.h"

namespace tunelet {

namespace {

// ID3v1 layout: 0 "TAG", 3 title (30), 33 artist (30), 63 album (30),
// 93 year (4), 97 comment (30, or 28 + zero + track in v1.1), 127 genre.
constexpr size_t kTitle = 3, kArtist = 33, kAlbum = 63, kYear = 93, kComment = 97;
constexpr size_t kTrackByte = 126, kGenreByte = 127;

// Lyrics3 v2 trailer: 6 size digits and "LYRICS200".
constexpr size_t kLyrics3TrailerSize = 15;
constexpr size_t kLyrics3BeginSize = 11;  // "LYRICSBEGIN"

bool IsVersion11(ByteSpan t) { return (t[125] == 0 && t[126] != 0) || (t[125] == ' ' && t[126] != ' '); }

// Walks the fields of a Lyrics3 v2 block (after "LYRICSBEGIN"): 3 identifier
// bytes, 5 length digits, the value. EAL/EAR/ETT replace the short values.
void ReadLyrics3Fields(ByteSpan fields, TID3v1& tag) {
  ByteReader r(fields);
  while (r.remaining() >= 8) {
    const std::string_view id = AsChars(r.bytes(3));
    const auto len = ParseDecimal(AsChars(r.bytes(5)));
    if (!len || *len > r.remaining()) return;
    const ByteSpan raw = r.bytes(*len);
    if (id == "LYR") {
      if (tag.Lyrics.empty()) tag.Lyrics = Lyrics3Text(raw);
      continue;
    }
    const std::string value(TrimBlanks(AsChars(raw)));
    if (id == "EAL") tag.LongAlbum = value;
    else if (id == "EAR") tag.LongArtist = value;
    else if (id == "ETT") tag.LongTitle = value;
    else if (id != "IND" && id != "LYR" && id != "INF" && id != "AUT" && id != "IMG") return;
  }
}

}  // namespace

bool IsId3v1Tag(ByteSpan last128) { return last128.size() == kId3v1Size && BytesEqual(last128, 0, "TAG"); }

uint32_t Id3v1Length(platform::ReadableFile& file) {
  const uint64_t size = file.Size();
  if (size < kId3v1Size) return 0;
  return IsId3v1Tag(file.Read(size - kId3v1Size, kId3v1Size)) ? uint32_t(kId3v1Size) : 0;
}

bool TID3v1::LoadFromFile(std::u16string_view path) {
  Reset();
  auto file = platform::OpenForRead(path);
  return file && LoadFromFile(*file);
}

bool TID3v1::LoadFromFile(platform::ReadableFile& file) {
  Reset();
  const uint64_t size = file.Size();
  if (size >= kId3v1Size) {
    const std::vector<uint8_t> t = file.Read(size - kId3v1Size, kId3v1Size);
    if (t.size() != kId3v1Size) return false;
    if (IsId3v1Tag(t)) {
      const ByteSpan s(t);
      Exists = true;
      VersionId = IsVersion11(s) ? 2 : 1;
      TitleShort = FixedField(s.subspan(kTitle, 30));
      ArtistShort = FixedField(s.subspan(kArtist, 30));
      AlbumShort = FixedField(s.subspan(kAlbum, 30));
      Year = FixedField(s.subspan(kYear, 4));
      Comment = FixedField(s.subspan(kComment, VersionId == 2 ? 28 : 30));
      if (VersionId == 2) Track = s[kTrackByte];
      GenreId = s[kGenreByte];
    }
  }

  // A Lyrics3 v2 block ends directly before the tag (or at the file's end).
  const uint64_t end = Exists ? size - kId3v1Size : size;
  if (end < kLyrics3TrailerSize) return true;
  const uint64_t trailerPos = end - kLyrics3TrailerSize;
  const std::vector<uint8_t> trailer = file.Read(trailerPos, kLyrics3TrailerSize);
  if (!BytesEqual(trailer, 6, "LYRICS200")) return true;
  const uint32_t blockSize = ParseDecimal(AsChars(ByteSpan(trailer).first(6))).value_or(0);
  if (blockSize < kLyrics3BeginSize || blockSize > trailerPos) return true;
  const std::vector<uint8_t> block = file.Read(trailerPos - blockSize, blockSize);
  if (block.size() != blockSize || !BytesEqual(block, 0, "LYRICSBEGIN")) return true;
  HasLyrics3 = true;
  Lyrics3Size = blockSize;
  ReadLyrics3Fields(ByteSpan(block).subspan(kLyrics3BeginSize), *this);
  return true;
}

std::string TID3v1::GenreName() const { return std::string(StandardGenreName(GenreId)); }

bool ReadId3v1Tag(platform::ReadableFile& file, TrackInfo& info) {
  const uint64_t size = file.Size();
  bool found = false;
  if (size >= kId3v1Size) {
    const std::vector<uint8_t> t = file.Read(size - kId3v1Size, kId3v1Size);
    found = IsId3v1Tag(t);
    if (found) {
      const ByteSpan s(t);
      auto fill = [&](OptText& field, size_t off, size_t len) {
        if (!field) SetText(field, AnsiToUtf16(FixedField(s.subspan(off, len))));
      };
      fill(info.Album, kAlbum, 30);
      fill(info.Artist, kArtist, 30);
      fill(info.Title, kTitle, 30);
      fill(info.Comment, kComment, 29);
      fill(info.Year, kYear, 4);
      if (!info.Genre) SetText(info.Genre, StringTableGenre(s[kGenreByte]));
      if (info.TrackNumber == 0) info.TrackNumber = s[kTrackByte];
      // Byte 126 is comment text in ID3v1.0 tags; a "track" of 32 or more is
      // taken for such text, whichever tag supplied the number.
      if (info.TrackNumber >= 32) info.TrackNumber = 0;
    }
  }
  const uint64_t trailer = found ? 137 : 9;
  if (size >= trailer) ReadLyrics3Tag(file, size - trailer, info);
  return found;
}

}  // namespace tunelet
