// ID3v1 / ID3v1.1 tags (the last 128 bytes of a file), with the Lyrics3 v2
// fields that replace their truncated values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/byte_reader.h"
#include "model/track_info.h"
#include "platform/platform.h"

namespace tunelet {

constexpr size_t kId3v1Size = 128;

// True when the 128 bytes begin with "TAG".
bool IsId3v1Tag(ByteSpan last128);
// Length of the ID3v1 tag at the end of the file: 128 or 0.
uint32_t Id3v1Length(platform::ReadableFile& file);

// The tag as 8-bit strings (for MP3 files and Monkey's Audio).
class TID3v1 {
 public:
  // Clears and reads; false only when the file cannot be read.
  bool LoadFromFile(std::u16string_view path);
  bool LoadFromFile(platform::ReadableFile& file);
  void Reset() { *this = TID3v1{}; }

  bool Exists = false;
  int VersionId = 0;  // 1 for ID3v1.0, 2 for ID3v1.1
  std::string TitleShort, ArtistShort, AlbumShort;
  std::string Year;
  std::string Comment;
  uint8_t Track = 0;
  uint8_t GenreId = 255;
  bool HasLyrics3 = false;
  uint32_t Lyrics3Size = 0;  // block size from its "LYRICS200" trailer
  std::string LongTitle, LongArtist, LongAlbum;  // from Lyrics3 v2 fields
  std::u16string Lyrics;                         // the Lyrics3 v2 "LYR" field

  const std::string& Title() const { return LongTitle.empty() ? TitleShort : LongTitle; }
  const std::string& Artist() const { return LongArtist.empty() ? ArtistShort : LongArtist; }
  const std::string& Album() const { return LongAlbum.empty() ? AlbumShort : LongAlbum; }
  std::string GenreName() const;
};

// Direct reader: fills the absent fields of info from the ID3v1 tag, then
// runs ReadLyrics3Tag. True when an ID3v1 tag was found.
bool ReadId3v1Tag(platform::ReadableFile& file, TrackInfo& info);

}  // namespace tunelet
