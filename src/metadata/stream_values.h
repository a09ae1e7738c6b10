// The limits of stream values that real audio files hold. A header that
// claims more was misread or is damaged, and what was computed from it
// (duration from the sample rate, bit rate from the duration) is wrong too.
#pragma once

#include <cstdint>

#include "model/track_info.h"

namespace tunelet {

constexpr uint32_t kMaxRealSampleRate = 768000;     // Hz
constexpr uint32_t kMaxRealDuration = 100 * 3600;   // seconds
constexpr uint32_t kMaxRealBitrate = 100000;        // kbit/s

// Sample rate, duration and bit rate together become unknown (0) when any of
// them is beyond its limit; the file size, which the file system gives, stays.
void DropImpossibleStreamValues(TrackInfo& t);

}  // namespace tunelet
