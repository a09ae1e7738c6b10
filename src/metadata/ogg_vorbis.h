// Ogg Vorbis: the identification and comment headers at the start of the
// stream and the granule position of the last page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_reader.h"
#include "metadata/cover.h"
#include "platform/platform.h"

namespace tunelet {

// Fields of a 27-byte Ogg page header.
struct OggPageHeader {
  uint8_t flags = 0;
  uint64_t granule = 0;
  uint32_t serial = 0;
  uint8_t segments = 0;
};
// Parses a page header ("OggS" ...) at the start of bytes.
bool ParseOggPageHeader(ByteSpan bytes, OggPageHeader& out);

class TOggVorbis {
 public:
  // False unless "OggS" and the identification header were found.
  bool LoadFromFile(std::u16string_view path);
  bool LoadFromFile(platform::ReadableFile& file);

  bool Valid() const;
  double Duration() const;  // seconds
  uint32_t BitRate() const; // kbit/s

  uint64_t FileSize = 0;
  uint8_t Channels = 0;
  uint32_t SampleRate = 0;
  uint32_t NominalBitrate = 0;  // kbit/s (the header's bit/s / 1000)
  uint32_t Samples = 0;         // low 32 bits of the last page's granule position
  uint64_t Id3v2Size = 0;       // a leading ID3v2 tag, 0 when none
  // Comment values (decoded from UTF-8).
  std::u16string Title, Artist, Album, Date, Genre, Comment, Description, Lyrics;
  // The first cover picture: METADATA_BLOCK_PICTURE, else the legacy COVERART.
  std::vector<uint8_t> CoverData;
  ImageType CoverType = ImageType::kNone;
  uint32_t Track = 0;

 private:
  void ReadComments(ByteSpan packet);
  void ReadSamples(platform::ReadableFile& file);
};

}  // namespace tunelet
