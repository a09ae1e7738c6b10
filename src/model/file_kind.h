// Classification of a path by its extension.
#pragma once

#include <string>
#include <string_view>

#include "model/track_info.h"

namespace tunelet {

// Upper-cased text after the last '.' at a position > 0 (separators do not
// stop the search); empty when none or when 7 or more characters follow it.
std::u16string FileExtension(std::u16string_view path);
bool IsVideoFile(std::u16string_view path);
// The track is a video: its player said so, or its file's extension does.
bool TrackIsVideo(const TrackInfo& t);

}  // namespace tunelet
