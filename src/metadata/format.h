// Display texts of the record's numeric fields, for templates, the popup and
// the QuickInfo window. The decimal separator is the user's.
#pragma once

#include <cstdint>
#include <string>

namespace tunelet {

enum TrackValueKind { kValueSize = 1, kValueBitrate = 2, kValueSampleRate = 3, kValueDuration = 4 };

// "5.96 MB", "128 kbps", "44.1 kHz", "3:37" from Track(); empty for a field
// of 0 or an unknown kind.
std::u16string FormatTrackValue(int kind);
// Minutes (not limited to 59) and two-digit seconds; 0 gives "0:00".
std::u16string FormatDuration(uint32_t seconds);

}  // namespace tunelet
