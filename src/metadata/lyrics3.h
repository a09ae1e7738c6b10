// Lyrics3 blocks (version 1 "LYRICSEND" and version 2 "LYRICS200"), which sit
// directly before an ID3v1 tag or at the end of the file.
#pragma once

#include <cstdint>

#include "common/byte_reader.h"
#include "model/track_info.h"
#include "platform/platform.h"

namespace tunelet {

// markerPosition: where a "LYRICS200" or "LYRICSEND" marker would start
// (file size - 137 with an ID3v1 tag, file size - 9 without). Fills album,
// artist, title and lyrics of info while they are absent.
// A Lyrics3 v2 "LYR" value: UTF-16 after a byte-order mark, else 8-bit text
// in the system code page up to its first NUL.
std::u16string Lyrics3Text(ByteSpan value);

void ReadLyrics3Tag(platform::ReadableFile& file, uint64_t markerPosition, TrackInfo& info);

}  // namespace tunelet
