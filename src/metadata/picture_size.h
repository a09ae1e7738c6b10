// The pixel size of a cover picture, read from its header before anything
// decodes it. A small file can announce an enormous picture (a PNG of a few
// kilobytes can claim 30,000 x 30,000 pixels); decoding one would take
// gigabytes and minutes on the host's thread, so a picture whose header is
// unknown, cut short or over the limit is never handed to a decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/byte_reader.h"

namespace tunelet {

// The largest width and height of a cover that is decoded; a larger
// picture shows the placeholder.
constexpr uint32_t kMaxCoverSide = 4096;
// How much of a picture file is read for its header: JPEG metadata segments
// (Exif, ICC profile, XMP) come before the frame header, and a TIFF's first
// directory may sit at the end of the file.
constexpr size_t kPictureHeaderReadBytes = size_t(1) << 20;

struct PictureSize {
  uint32_t width = 0, height = 0;
  bool operator==(const PictureSize&) const = default;
};

// Width and height from the header of a PNG (IHDR), JPEG (the first SOFn
// frame header), GIF (logical screen and first image), BMP (info or core
// header) or TIFF (first directory). Absent for any other data, for a
// header cut short, and for a zero width or height.
std::optional<PictureSize> ReadPictureSize(ByteSpan data);

// Whether a picture of this size may be decoded for a cover.
bool CoverSizeAllowed(const PictureSize& size);

// Reads the start of the file at path and tells whether it is a picture of
// a known format within the cover limit; false when it cannot be read.
bool CoverFileAllowed(std::u16string_view path);

}  // namespace tunelet
