// APE tags (versions 1000 and 2000): a 32-byte "APETAGEX" footer at the end
// of the file or directly before an ID3v1 tag, with the items before it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/track_info.h"
#include "platform/platform.h"

namespace tunelet {

constexpr size_t kApeFooterSize = 32;

// The tag as 8-bit (key, value) pairs, for Monkey's Audio files.
class TAPETag {
 public:
  bool LoadFromFile(std::u16string_view path);
  bool LoadFromFile(platform::ReadableFile& file);
  // Value of the first item whose key equals key ignoring case, else empty.
  std::string GetItem(std::string_view key) const;

  bool Exists = false;
  uint32_t Version = 0;
  uint32_t Size = 0;  // items plus footer, from the footer
  std::vector<std::pair<std::string, std::string>> Items;
  std::vector<uint8_t> Cover;  // the image of the first cover item, whole
};

// Direct reader: fills the absent fields of info (and TrackNumber, and the
// cover). True when a tag was found.
bool ReadApeTag(platform::ReadableFile& file, TrackInfo& info);

}  // namespace tunelet
