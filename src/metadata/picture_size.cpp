#include "metadata/picture_size.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "platform/platform.h"

namespace tunelet {

namespace {

// Segments walked before a JPEG's frame header; real files have a handful
// (APPn, DQT, DHT), an ICC profile split over many APP2 segments a few dozen.
constexpr unsigned kMaxJpegSegments = 256;
// Extension blocks walked before a GIF's first image.
constexpr unsigned kMaxGifBlocks = 256;
// Entries looked at in a TIFF's first directory.
constexpr unsigned kMaxTiffEntries = 512;

constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint32_t kPngIhdrLength = 13;

std::optional<PictureSize> Sized(uint32_t width, uint32_t height) {
  if (width == 0 || height == 0) return std::nullopt;
  return PictureSize{width, height};
}

bool StartsWith(ByteSpan d, std::span<const uint8_t> prefix) {
  return d.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), d.begin());
}

// Signature, then the first chunk, which must be IHDR: length 13, "IHDR",
// width and height (32-bit big-endian).
std::optional<PictureSize> PngSize(ByteSpan d) {
  ByteReader r(d);
  r.skip(sizeof kPngSignature);
  const uint32_t length = r.u32be();
  if (length != kPngIhdrLength || !r.peekIs("IHDR")) return std::nullopt;
  r.skip(4);
  const uint32_t width = r.u32be(), height = r.u32be();
  if (!r.ok()) return std::nullopt;
  return Sized(width, height);
}

bool IsJpegFrameHeader(uint8_t marker) {
  // SOF0-SOF15 but DHT (C4), JPG (C8) and DAC (CC).
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}
bool IsJpegStandalone(uint8_t marker) {
  return marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7);  // TEM, SOI, RSTn
}

// After SOI, segments of FF, marker, 16-bit big-endian length (counting
// itself), body; fill bytes FF may stand before a marker. The frame header
// holds precision (8 bits), height and width (16 bits each). A scan or the
// end of the image before it means no usable size.
std::optional<PictureSize> JpegSize(ByteSpan d) {
  ByteReader r(d);
  r.skip(2);  // SOI
  for (unsigned segment = 0; segment < kMaxJpegSegments; ++segment) {
    if (r.u8() != 0xFF) return std::nullopt;
    uint8_t marker = r.u8();
    while (marker == 0xFF && r.ok()) marker = r.u8();
    if (!r.ok()) return std::nullopt;
    if (IsJpegStandalone(marker)) continue;
    if (marker == 0xD9 || marker == 0xDA) return std::nullopt;  // EOI, SOS
    const uint16_t length = r.u16be();
    if (length < 2) return std::nullopt;
    ByteReader body = r.sub(length - 2u);
    if (!r.ok()) return std::nullopt;
    if (IsJpegFrameHeader(marker)) {
      body.u8();  // sample precision
      const uint16_t height = body.u16be(), width = body.u16be();
      if (!body.ok()) return std::nullopt;
      return Sized(width, height);  // a height of 0 waits for a DNL segment: refused
    }
  }
  return std::nullopt;
}

// Header "GIF87a"/"GIF89a", the logical screen (16-bit little-endian width
// and height, flags with the global colour table's size), then extension
// blocks (21, label, sub-blocks ending with an empty one) up to the first
// image descriptor (2C, left, top, width, height). The size is what covers
// both the screen and that image, which may reach beyond it.
std::optional<PictureSize> GifSize(ByteSpan d) {
  ByteReader r(d);
  r.skip(6);
  const uint32_t screenWidth = r.u16le(), screenHeight = r.u16le();
  const uint8_t flags = r.u8();
  r.skip(2);  // background colour, aspect ratio
  if (flags & 0x80) r.skip(3u << ((flags & 0x07) + 1));
  for (unsigned block = 0; block < kMaxGifBlocks && r.ok(); ++block) {
    const uint8_t introducer = r.u8();
    if (introducer == 0x2C) {
      const uint32_t left = r.u16le(), top = r.u16le(), width = r.u16le(), height = r.u16le();
      if (!r.ok() || width == 0 || height == 0) return std::nullopt;
      return Sized(std::max(screenWidth, left + width), std::max(screenHeight, top + height));
    }
    if (introducer != 0x21) return std::nullopt;  // the trailer or garbage
    r.u8();  // label
    // Each sub-block takes at least its length byte, so this ends with the data.
    for (uint8_t n = r.u8(); n != 0 && r.ok(); n = r.u8()) r.skip(n);
  }
  return std::nullopt;
}

// "BM", file size, reserved, pixel offset, then the DIB header: its size
// (12 for the old core header with 16-bit width and height; 16 and more
// with signed 32-bit ones, a negative height meaning top-down rows).
std::optional<PictureSize> BmpSize(ByteSpan d) {
  ByteReader r(d);
  r.skip(14);
  const uint32_t headerSize = r.u32le();
  if (headerSize == 12) {
    const uint32_t width = r.u16le(), height = r.u16le();
    return r.ok() ? Sized(width, height) : std::nullopt;
  }
  if (headerSize < 16) return std::nullopt;
  const int32_t width = int32_t(r.u32le()), height = int32_t(r.u32le());
  if (!r.ok() || width <= 0 || height == INT32_MIN) return std::nullopt;
  return Sized(uint32_t(width), uint32_t(height < 0 ? -height : height));
}

// "II*\0" (little-endian) or "MM\0*" (big-endian), the first directory's
// offset, then its entry count and 12-byte entries: tag, type, count and a
// value field that holds a SHORT (type 3) or LONG (type 4) in place.
// ImageWidth is tag 256, ImageLength 257.
std::optional<PictureSize> TiffSize(ByteSpan d, bool bigEndian) {
  ByteReader r(d);
  auto u16 = [&](ByteReader& in) { return bigEndian ? in.u16be() : in.u16le(); };
  auto u32 = [&](ByteReader& in) { return bigEndian ? in.u32be() : in.u32le(); };
  r.skip(4);
  r.seek(u32(r));
  const unsigned count = std::min<unsigned>(u16(r), kMaxTiffEntries);
  uint32_t width = 0, height = 0;
  for (unsigned i = 0; i < count && r.ok(); ++i) {
    ByteReader entry = r.sub(12);
    const uint16_t tag = u16(entry), type = u16(entry);
    entry.skip(4);  // count
    uint32_t value = 0;
    if (type == 3) {
      value = u16(entry);
    } else if (type == 4) {
      value = u32(entry);
    }
    if (tag == 256) width = value;
    if (tag == 257) height = value;
  }
  if (!r.ok()) return std::nullopt;
  return Sized(width, height);
}

}  // namespace

std::optional<PictureSize> ReadPictureSize(ByteSpan d) {
  if (StartsWith(d, kPngSignature)) return PngSize(d);
  if (d.size() >= 2 && d[0] == 0xFF && d[1] == 0xD8) return JpegSize(d);
  if (BytesEqual(d, 0, "GIF87a") || BytesEqual(d, 0, "GIF89a")) return GifSize(d);
  if (BytesEqual(d, 0, "BM")) return BmpSize(d);
  if (BytesEqual(d, 0, std::string_view("II*\0", 4))) return TiffSize(d, false);
  if (BytesEqual(d, 0, std::string_view("MM\0*", 4))) return TiffSize(d, true);
  return std::nullopt;
}

bool CoverSizeAllowed(const PictureSize& size) {
  return size.width <= kMaxCoverSide && size.height <= kMaxCoverSide;
}

bool CoverFileAllowed(std::u16string_view path) {
  const std::unique_ptr<platform::ReadableFile> file = platform::OpenForRead(path);
  if (!file) return false;
  const std::vector<uint8_t> start = file->Read(0, kPictureHeaderReadBytes);
  const std::optional<PictureSize> size = ReadPictureSize(start);
  return size && CoverSizeAllowed(*size);
}

}  // namespace tunelet
