// The longest values the track record keeps from a file or a player. A tag
// frame may hold megabytes; the templates, the popup, QuickInfo and the paste
// work on what is left after these caps.
#pragma once

#include <cstddef>
#include <string_view>

#include "model/track_info.h"

namespace tunelet {

constexpr size_t kMaxTrackValueChars = 4096;      // title, artist, album, genre, year, player
constexpr size_t kMaxTrackLongTextChars = 16384;  // lyrics and comment

// Cuts every text field that tags and players fill to its cap; paths stay.
void CapTrackValues(TrackInfo& t);
// value as CapTrackValues would keep it in a short field.
std::u16string_view CappedTrackValue(std::u16string_view value);

}  // namespace tunelet
