// ID3v2 tags (versions 2.2, 2.3 and 2.4) at the start of a file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/byte_reader.h"
#include "model/track_info.h"
#include "platform/platform.h"

namespace tunelet {

constexpr size_t kId3v2HeaderSize = 10;

// The 10-byte header: "ID3", major version, revision, flags, 7-bit-group size.
struct Id3v2Header {
  uint8_t major = 0;
  uint8_t revision = 0;
  uint8_t flags = 0;
  uint32_t size = 0;  // bytes after the header, without a footer
  bool unsynchronised() const { return flags & 0x80; }
  bool extended() const { return flags & 0x40; }
  bool hasFooter() const { return flags & 0x10; }
  // 10 + size, plus 10 with a footer.
  uint64_t totalLength() const { return uint64_t(kId3v2HeaderSize) + size + (hasFooter() ? 10 : 0); }
};

// Parses the header at the start of bytes; false without "ID3".
bool ParseId3v2Header(ByteSpan bytes, Id3v2Header& out);
// b0 * 2^21 + b1 * 2^14 + b2 * 2^7 + b3 (four 7-bit groups, MSB first).
uint32_t SynchsafeToUInt(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3);
// Total length of the ID3v2 tag at the start of the file; 0 without one.
uint64_t Id3v2TagLength(platform::ReadableFile& file);

// A text value of the tag class: 8-bit text for encoding 0, UTF-16 kept as
// such for encoding 1 (so that it does not lose characters on the way).
struct Id3v2Text {
  std::string ansi;
  std::u16string wide;
  bool isWide = false;
  bool empty() const { return isWide ? wide.empty() : ansi.empty(); }
};

// The tag's main text frames, for Monkey's Audio files.
class TID3v2 {
 public:
  bool LoadFromFile(std::u16string_view path);
  bool LoadFromFile(platform::ReadableFile& file);

  bool Exists = false;
  int VersionId = 0;  // major version 2, 3 or 4
  uint32_t Size = 0;  // total length: 10 + size (+ 10 with a footer)
  Id3v2Text Title, Artist, Album, Year, Genre;
  uint32_t Track = 0;
};

// Direct reader: walks the frames of the tag at the start of the file and
// fills info (title/artist/album by score, the rest while absent; the first
// accepted cover picture to a temporary file). Returns 0 without an "ID3"
// header, else the tag's total length, which is where the stream continues.
uint64_t ReadId3v2Tag(platform::ReadableFile& file, TrackInfo& info);

}  // namespace tunelet
