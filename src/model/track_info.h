// TrackInfo: the one description of the playing track. Player access puts the
// path into FilePath; the entry points of metadata/entry_points.h fill the rest.
#pragma once

#include <cstdint>
#include <string>

#include "common/text.h"

namespace tunelet {

struct TrackInfo {
  OptText FilePath;      // what the player plays (path or URL); set by player access
  OptText LastReadPath;  // path whose information the record holds now
  OptText Title;
  OptText Artist;
  OptText Album;
  OptText Genre;
  OptText Year;
  OptText Lyrics;
  OptText Comment;
  OptText CoverFile;     // temporary image file with the first cover found
  OptText PlayerName;
  uint32_t FileSize = 0;     // bytes, low 32 bits
  uint32_t Bitrate = 0;      // kbit/s
  uint32_t SampleRate = 0;   // Hz
  uint32_t Duration = 0;     // whole seconds
  uint32_t TrackNumber = 0;  // 0 = unknown
  // A video by the player's word (the media session says so); files are told
  // by their extension (TrackIsVideo).
  bool IsVideo = false;

  bool operator==(const TrackInfo&) const = default;
};

// Frees every field but FilePath (and the two fields other subsystems own).
void ClearTrackInfo(TrackInfo& t);

}  // namespace tunelet
