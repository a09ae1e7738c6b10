#include "metadata/stream_values.h"

namespace tunelet {

void DropImpossibleStreamValues(TrackInfo& t) {
  if (t.SampleRate <= kMaxRealSampleRate && t.Duration <= kMaxRealDuration && t.Bitrate <= kMaxRealBitrate) return;
  t.SampleRate = 0;
  t.Duration = 0;
  t.Bitrate = 0;
}

}  // namespace tunelet
