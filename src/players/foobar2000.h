// foobar2000 through its automation object, the portable half: reading a
// track from the player's title formatting, the number rules for its answers,
// and the automation method behind each remote-control command. The calls
// themselves are made by automation_players (Win32).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "model/track_info.h"

namespace tunelet {

// Formats a title-formatting string on the player ("Playback"."FormatTitle");
// nothing when the call fails.
using TitleFormatter = std::function<std::optional<std::u16string>(std::u16string_view format)>;
// Size of the file at a local path (0 when not found).
using FileSizeQuery = std::function<uint32_t(std::u16string_view path)>;


// A whole decimal number (blanks around it and a sign allowed); nothing for
// an empty text, other characters or a value outside 32 bits.
std::optional<int32_t> ParseInteger(std::u16string_view text);

// Reads the playing track into track; true when it is a new one. A failed
// call ends the read with false and leaves what was written so far (with
// LastReadPath empty, so the next cycle reads the track again).
bool ReadFoobar2000TrackFrom(const TitleFormatter& format, const FileSizeQuery& fileSize, TrackInfo& track);

// The method called on "Playback" for a remote-control command (0 stop,
// 1 play, 2 pause, 3 previous, 4 next); play passes the Boolean false.
struct Foobar2000Method {
  std::u16string_view Name;
  bool PassFalse = false;
};
std::optional<Foobar2000Method> Foobar2000MethodFor(int command);

}  // namespace tunelet
