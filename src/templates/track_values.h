// Display forms of the track's numeric fields, shared by the template
// variables, the popup and the QuickInfo window. Implemented with the track
// record in metadata/.
#pragma once

#include <cstdint>
#include <string>

namespace tunelet {

// Kind 1 file size ("5.96 MB"), 2 bitrate ("320 kbps"), 3 sample rate
// ("44.1 kHz"), 4 duration ("3:37"), read from Track(); empty when the field
// is 0. The decimal separator is the user's.
std::u16string FormatTrackValue(int kind);
// Minutes and two-digit seconds; minutes are not capped at 59.
std::u16string FormatDuration(uint32_t seconds);

}  // namespace tunelet
