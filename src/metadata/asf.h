// Windows Media (ASF) files: tags, cover, duration and the audio format from
// the objects of the Header object.
#pragma once

#include <array>
#include <cstdint>

#include "common/byte_reader.h"
#include "model/track_info.h"
#include "platform/platform.h"

namespace tunelet {

// A GUID as ASF stores it: the first three groups little-endian.
using AsfGuid = std::array<uint8_t, 16>;
// From its text form "75B22630-668E-11CF-A6D9-00AA0062CE6C".
constexpr AsfGuid MakeAsfGuid(uint32_t a, uint16_t b, uint16_t c, uint64_t d) {
  return {uint8_t(a), uint8_t(a >> 8), uint8_t(a >> 16), uint8_t(a >> 24), uint8_t(b), uint8_t(b >> 8),
          uint8_t(c), uint8_t(c >> 8), uint8_t(d >> 56), uint8_t(d >> 48), uint8_t(d >> 40), uint8_t(d >> 32),
          uint8_t(d >> 24), uint8_t(d >> 16), uint8_t(d >> 8), uint8_t(d)};
}

namespace asf {
constexpr AsfGuid kHeader = MakeAsfGuid(0x75B22630, 0x668E, 0x11CF, 0xA6D900AA0062CE6Cull);
constexpr AsfGuid kContentDescription = MakeAsfGuid(0x75B22633, 0x668E, 0x11CF, 0xA6D900AA0062CE6Cull);
constexpr AsfGuid kExtendedContentDescription = MakeAsfGuid(0xD2D0A440, 0xE307, 0x11D2, 0x97F000A0C95EA850ull);
constexpr AsfGuid kHeaderExtension = MakeAsfGuid(0x5FBF03B5, 0xA92E, 0x11CF, 0x8EE300C00C205365ull);
constexpr AsfGuid kMetadataLibrary = MakeAsfGuid(0x44231C94, 0x9498, 0x49D1, 0xA1411D134E457054ull);
constexpr AsfGuid kFileProperties = MakeAsfGuid(0x8CABDCA1, 0xA947, 0x11CF, 0x8EE400C00C205365ull);
constexpr AsfGuid kStreamProperties = MakeAsfGuid(0xB7DC0791, 0xA9B7, 0x11CF, 0x8EE600C00C205365ull);
constexpr AsfGuid kAudioMedia = MakeAsfGuid(0xF8699E40, 0x5B4D, 0x11CF, 0xA8FD00805F5C442Bull);
}  // namespace asf

// Reads the ASF file at info.FilePath; true when it starts with a Header
// object. FileSize is not set for ASF files.
bool ReadAsfInfo(TrackInfo& info);
bool ReadAsfInfo(platform::ReadableFile& file, TrackInfo& info);

// The joined text of a "WM/Lyrics_Synchronised" value; absent when its
// content type is not lyrics (1).
OptText AsfSynchronisedLyrics(ByteSpan value);

}  // namespace tunelet
