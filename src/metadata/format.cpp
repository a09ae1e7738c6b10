#include "metadata/format.h"

#include <cstdint>

#include "model/settings.h"
#include "platform/platform.h"

namespace tunelet {

namespace {

// numerator / denominator with a fixed number of decimals (0..3) and the
// user's decimal separator. Halves round up ("0.125" gives "0.13"), in
// integers, so the text does not depend on the C library's printf, whose
// rounding of exact halves differs between systems.
std::u16string FixedPoint(uint64_t numerator, uint64_t denominator, int decimals) {
  uint64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const uint64_t scaled = (numerator * scale * 2 + denominator) / (denominator * 2);
  std::u16string out = ToU16(uint32_t(scaled / scale));
  if (decimals > 0) {
    out.push_back(platform::DecimalSeparator());
    const std::u16string fraction = ToU16(uint32_t(scaled % scale));
    out.append(size_t(decimals) - fraction.size(), u'0');
    out += fraction;
  }
  return out;
}

}  // namespace

std::u16string FormatTrackValue(int kind) {
  const TrackInfo& t = Track();
  switch (kind) {
    case kValueSize:
      return t.FileSize ? FixedPoint(t.FileSize, 1048576, 2) + u" MB" : std::u16string();
    case kValueBitrate:
      return t.Bitrate ? ToU16(t.Bitrate) + u" kbps" : std::u16string();
    case kValueSampleRate:
      return t.SampleRate ? FixedPoint(t.SampleRate, 1000, 1) + u" kHz" : std::u16string();
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
