// Test-only stand-in for the track-value formatting that lives with the
// track record: a point as decimal separator, the display forms of the
// track's numeric fields.
#include <cstdio>

#include "core/settings.h"
#include "templates/track_values.h"

namespace tunelet {

namespace {
std::u16string Formatted(const char* format, double value, const char* unit) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, value);
  return AsciiToUtf16(buf) + AsciiToUtf16(unit);
}
}  // namespace

std::u16string FormatDuration(uint32_t seconds) {
  const uint32_t s = seconds % 60;
  return ToU16(seconds / 60) + (s < 10 ? u":0" : u":") + ToU16(s);
}

std::u16string FormatTrackValue(int kind) {
  const TrackInfo& t = Track();
  switch (kind) {
    case 1: return t.FileSize ? Formatted("%.2f", t.FileSize / 1048576.0, " MB") : u"";
    case 2: return t.Bitrate ? Formatted("%.0f", double(t.Bitrate), " kbps") : u"";
    case 3: return t.SampleRate ? Formatted("%.1f", t.SampleRate / 1000.0, " kHz") : u"";
    case 4: return t.Duration ? FormatDuration(t.Duration) : u"";
    default: return {};
  }
}

}  // namespace tunelet
