// Monkey's Audio (.ape): the "MAC " header in its two layouts (before and
// from version 3.98) and the tags around the stream.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/byte_reader.h"
#include "metadata/ape_tag.h"
#include "metadata/id3v1.h"
#include "metadata/id3v2.h"
#include "platform/platform.h"

namespace tunelet {

// Blocks (samples per channel) per frame of the old header layout.
uint32_t MonkeyBlocksPerFrame(uint16_t version, uint16_t compressionLevel);

class TMonkey {
 public:
  // True when the header was read and the stream is valid.
  bool LoadFromFile(std::u16string_view path);
  bool LoadFromFile(platform::ReadableFile& file);

  bool Valid = false;
  uint64_t FileSize = 0;
  uint16_t Version = 0;
  uint32_t SampleRate = 0;
  uint16_t Channels = 0;
  uint16_t Bits = 0;
  uint64_t Samples = 0;
  double Duration = 0;  // seconds
  double BitRate = 0;   // bit/s x 1000
  TID3v1 ID3v1;
  TID3v2 ID3v2;
  TAPETag APEtag;

 private:
  bool ReadHeader(ByteSpan head, platform::ReadableFile& file, uint64_t streamStart);
};

}  // namespace tunelet
