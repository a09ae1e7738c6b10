// Lyrics3 blocks (version 1 "LYRICSEND" and version 2 "LYRICS200"), which sit
// directly before an ID3v1 tag or at the end of the file.
#pragma once

#include <cstdint>

#include "model/track_info.h"
#include "platform/platform.h"

namespace tunelet {

// markerPosition: where a "LYRICS200" or "LYRICSEND" marker would start
// (file size - 137 with an ID3v1 tag, file size - 9 without). Fills album,
// artist, title and lyrics of info while they are absent.
void ReadLyrics3Tag(platform::ReadableFile& file, uint64_t markerPosition, TrackInfo& info);

}  // namespace tunelet
