// RIFF/WAVE files and WavPack files (whose first block carries the RIFF
// header of the packed file): sample rate, duration, bit rate, and for
// WavPack the APE and ID3v1 tags at the end.
#pragma once

#include "model/track_info.h"
#include "platform/platform.h"

namespace tunelet {

// Reads the file at info.FilePath; true when a RIFF/WAVE "fmt " chunk was
// found. A read error returns false and keeps what was set.
bool ReadRiffInfo(TrackInfo& info);
bool ReadRiffInfo(platform::ReadableFile& file, TrackInfo& info);

}  // namespace tunelet
