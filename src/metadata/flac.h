// FLAC files: the metadata blocks (tags, cover, provisional stream values)
// that fill TrackInfo, and TFLACfile, the stream-properties reader whose
// values replace the provisional ones when it accepts the file.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/byte_reader.h"
#include "metadata/cover.h"
#include "model/track_info.h"
#include "platform/platform.h"

namespace tunelet {

// STREAMINFO, the first metadata block (34 bytes).
struct FlacStreamInfo {
  uint32_t sampleRate = 0;     // Hz, 20 bits
  uint32_t channels = 0;       // 1..8
  uint32_t bitsPerSample = 0;  // 4..32
  uint64_t totalSamples = 0;   // 36 bits, 0 = unknown
};
// Decodes a STREAMINFO body; zeros when fewer than 18 bytes are given.
FlacStreamInfo ParseFlacStreamInfo(ByteSpan body);

// A cover picture inside a PICTURE block body (the same layout is the
// Base64 value of a "METADATA_BLOCK_PICTURE" comment): picture type, MIME
// type, description, four 32-bit sizes, then the image. Absent for picture
// types other than covers, images of unknown type and broken lengths.
struct PictureImage {
  ImageType type = ImageType::kNone;
  ByteSpan data;  // inside the body given
};
std::optional<PictureImage> FlacPictureImage(ByteSpan body);

// Walks a VORBIS_COMMENT block body into info (each field only while absent;
// DESCRIPTION stands in for a missing COMMENT) and saves a "COVERART"
// picture, which replaces any cover found before; a "METADATA_BLOCK_PICTURE"
// only fills a missing cover.
void ApplyFlacVorbisComments(ByteSpan body, TrackInfo& info);

// Reads the metadata of the FLAC file at info.FilePath (ID3v2 in front, the
// "fLaC" blocks, ID3v1/Lyrics3 at the end). False when it cannot be opened.
bool ReadFlacMetadata(TrackInfo& info);
bool ReadFlacMetadata(platform::ReadableFile& file, TrackInfo& info);

// Stream properties of a FLAC file. Created, loaded once and read.
class TFLACfile {
 public:
  bool LoadFromFile(std::u16string_view path);
  bool LoadFromStream(platform::ReadableFile& file);

  // "fLaC" was found and channels, sample rate, bits per sample and total
  // samples are all known.
  bool Valid() const { return valid_; }
  uint64_t FileSize() const { return fileSize_; }
  uint32_t SampleRate() const { return info_.sampleRate; }
  uint32_t Channels() const { return info_.channels; }
  uint32_t BitsPerSample() const { return info_.bitsPerSample; }
  uint64_t TotalSamples() const { return info_.totalSamples; }
  uint64_t AudioStart() const { return audioStart_; }
  double Duration() const;    // seconds, 0 when not valid
  uint32_t Bitrate() const;   // kbit/s, rounded; 0 when not valid

 private:
  void Reset() { *this = TFLACfile{}; }

  bool valid_ = false;
  uint64_t fileSize_ = 0;
  uint64_t audioStart_ = 0;
  FlacStreamInfo info_;
};

}  // namespace tunelet
