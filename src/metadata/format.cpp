#include "metadata/format.h"

#include <cstdio>

#include "model/settings.h"
#include "platform/platform.h"

namespace tunelet {

namespace {

// value with a fixed number of decimals and the user's decimal separator.
std::u16string FixedPoint(double value, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  std::u16string out;
  for (const char* p = buf; *p; ++p) out.push_back(*p == '.' ? platform::DecimalSeparator() : char16_t(*p));
  return out;
}

}  // namespace

std::u16string FormatTrackValue(int kind) {
  const TrackInfo& t = Track();
  switch (kind) {
    case kValueSize:
      return t.FileSize ? FixedPoint(t.FileSize / 1048576.0, 2) + u" MB" : std::u16string();
    case kValueBitrate:
      return t.Bitrate ? FixedPoint(t.Bitrate, 0) + u" kbps" : std::u16string();
    case kValueSampleRate:
      return t.SampleRate ? FixedPoint(t.SampleRate / 1000.0, 1) + u" kHz" : std::u16string();
    case kValueDuration:
      return t.Duration ? FormatDuration(t.Duration) : std::u16string();
    default:
      return {};
  }
}

std::u16string FormatDuration(uint32_t seconds) {
  const uint32_t s = seconds % 60;
  std::u16string text = ToU16(seconds / 60);
  text += s >= 10 ? u":" : u":0";
  text += ToU16(s);
  return text;
}

}  // namespace tunelet
