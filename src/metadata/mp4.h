// MP4/M4A files: the atom walk that takes duration, sample rate and the
// iTunes-style item list out of "moov" (inflating a compressed movie header).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/byte_reader.h"
#include "model/track_info.h"
#include "platform/platform.h"

namespace tunelet {

// Reads the MP4 file at info.FilePath. False only when it cannot be opened.
bool ReadMp4Atoms(TrackInfo& info);
bool ReadMp4Atoms(platform::ReadableFile& file, TrackInfo& info);

// Walks the children of a "moov" atom (its body, without the header).
void ApplyMp4Movie(ByteSpan moovBody, TrackInfo& info);

// Inflates zlib data into at most maxOut bytes; what was produced before an
// error or the cap is kept. Empty when nothing could be inflated.
std::vector<uint8_t> InflateZlib(ByteSpan compressed, size_t maxOut);

// The average bit rate (bit/s) in the "esds" atom among the child atoms of
// an audio sample entry; 0 when there is none.
uint32_t Mp4AverageBitrate(ByteSpan sampleEntryChildren);

// Duration in whole seconds from an "mvhd" body (version 0 or 1); nullopt when
// the body is too short or the time scale is 0.
std::optional<uint32_t> Mp4MovieDuration(ByteSpan mvhdBody);

}  // namespace tunelet
