// The soak's music: MP3 files with ID3v2.3 tags (artist, title, album, in
// UTF-16) and a cover picture (a small BMP in an APIC frame), written in code.
#pragma once

#include <string>
#include <vector>

namespace soak {

struct MediaTrack {
  std::wstring path, artist, title, album;
};

// Writes count tracks into folder; each gets a cover of its own colour.
std::vector<MediaTrack> WriteTracks(const std::wstring& folder, int count);

}  // namespace soak
