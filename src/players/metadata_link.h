// The metadata entry point player access hands a playing file to. It lives
// with the metadata readers; until they are linked in, metadata_link.cpp
// gives a stand-in that takes no file.
#pragma once

#if __has_include("metadata/entry_points.h")
#include "metadata/entry_points.h"
#define TUNELET_HAS_METADATA_ENTRY_POINTS 1
#else
#include <string_view>

namespace tunelet {
// Picks the metadata reader by extension; nonzero when the track was taken.
int ClassifyAndRead(std::u16string_view path);
}  // namespace tunelet
#endif
