// The ID3v1 genre list (with its Winamp extensions): 148 names for 0..147.
#pragma once

#include <string_view>

namespace tunelet {

constexpr int kGenreCount = 148;

// Standard spelling; empty for indices outside 0..147. Used by TID3v1.
std::string_view StandardGenreName(int index);
// The plug-in's string-table spelling, which the direct tag readers and the
// container readers use; it differs from the standard one in five names.
std::u16string_view StringTableGenre(int index);

}  // namespace tunelet
