// MPEG audio (MPEG-1, MPEG-2 and MPEG-2.5, Layers I to III): the first frame
// after any ID3v2 tag, its Xing/VBRI header, and the bit rate and duration
// that follow. Frame math is in pure functions so it can be tested alone.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/byte_reader.h"
#include "platform/platform.h"

namespace tunelet {

// A decoded 4-byte frame header.
struct MpegFrameHeader {
  uint8_t versionId = 0;    // 0 MPEG-2.5, 2 MPEG-2, 3 MPEG-1
  uint8_t layerId = 0;      // 1 Layer III, 2 Layer II, 3 Layer I
  uint8_t bitrateIndex = 0;
  uint8_t sampleRateIndex = 0;
  bool padding = false;
  uint8_t channelMode = 0;  // 3 = mono
  uint32_t bitrate = 0;     // kbit/s
  uint32_t sampleRate = 0;  // Hz
  uint32_t coefficient = 0; // c in the frame-size formula
  uint32_t paddingSize = 0; // 4 for Layer I, else 1, when padded
  uint32_t frameSize = 0;   // bytes
  bool mpeg1() const { return versionId == 3; }
  bool mono() const { return channelMode == 3; }
};

// Validity of the 4 bytes at p (sync, version, layer, bit-rate index neither
// free nor bad, sample-rate index, emphasis).
bool IsValidMpegHeader(const uint8_t* p);
// Decodes a header already known to be valid.
MpegFrameHeader DecodeMpegHeader(const uint8_t* p);
uint32_t MpegBitrate(uint8_t versionId, uint8_t layerId, uint8_t index);  // kbit/s
uint32_t MpegSampleRate(uint8_t versionId, uint8_t index);                // Hz
uint32_t MpegCoefficient(uint8_t versionId, uint8_t layerId);
// Offset of the Xing/VBRI marker from the frame's start.
uint32_t VbrHeaderOffset(const MpegFrameHeader& h);

class TMPEGaudio {
 public:
  // False when the file cannot be opened; Valid() tells whether a stream was found.
  bool LoadFromFile(std::u16string_view path);
  bool LoadFromFile(platform::ReadableFile& file);

  bool Valid() const;
  uint32_t BitRate() const;  // kbit/s
  double Duration() const;   // seconds

  uint64_t FileSize = 0;
  bool FrameFound = false;
  uint64_t FramePosition = 0;
  MpegFrameHeader Frame;
  bool VbrFound = false;
  uint32_t VbrFrames = 0, VbrBytes = 0;
  uint64_t AudioEnd = 0;  // before a trailing ID3v1 tag and its Lyrics3 block

 private:
  bool SearchBlock(ByteSpan block, uint64_t blockOffset);
};

}  // namespace tunelet
