// Byte builders for picture headers and small whole pictures: PNG (with
// real chunk CRCs and a stored, uncompressed zlib stream, so a decoder
// accepts it), JPEG segment walks up to a frame header, GIF, BMP and TIFF
// headers. Self-contained: the Wine tests use them too.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace picture_builders {

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }
inline void AppendText(Bytes& out, std::string_view s) { out.insert(out.end(), s.begin(), s.end()); }
inline void AppendBe(Bytes& out, uint32_t v, int n) {
  for (int i = n - 1; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
}
inline void AppendLe(Bytes& out, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// --- PNG

// CRC-32 of ISO 3309 (polynomial EDB88320, reflected), as PNG chunks carry it.
inline uint32_t Crc32(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return c ^ 0xFFFFFFFFu;
}

// Length (32-bit big-endian), type, data, CRC over type and data.
inline void PngChunk(Bytes& out, std::string_view type, const Bytes& data) {
  AppendBe(out, uint32_t(data.size()), 4);
  const size_t crcFrom = out.size();
  AppendText(out, type);
  Append(out, data);
  AppendBe(out, Crc32(out.data() + crcFrom, out.size() - crcFrom), 4);
}

// zlib header 78 01, one final stored deflate block (BFINAL=1, BTYPE=00,
// LEN and its complement, little-endian) and the Adler-32 of the data.
inline Bytes StoredZlib(const Bytes& raw) {
  Bytes z = {0x78, 0x01, 0x01};
  AppendLe(z, uint32_t(raw.size()), 2);
  AppendLe(z, uint32_t(~raw.size()) & 0xFFFFu, 2);
  Append(z, raw);
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521u;
    b = (b + a) % 65521u;
  }
  AppendBe(z, (b << 16) | a, 4);
  return z;
}

inline Bytes PngSignature() { return {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}; }

// IHDR: width, height, bit depth 8, colour type 2 (RGB), deflate,
// adaptive filtering, no interlace.
inline Bytes PngIhdr(uint32_t width, uint32_t height) {
  Bytes ihdr;
  AppendBe(ihdr, width, 4);
  AppendBe(ihdr, height, 4);
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  return ihdr;
}

// A whole PNG of one colour (0xRRGGBB); rows of filter byte 0 and RGB
// triples, stored uncompressed, so keep it small (a stored block holds at
// most 65,535 bytes).
inline Bytes SolidPng(uint32_t width, uint32_t height, uint32_t rgb) {
  Bytes raw;
  for (uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);
    for (uint32_t x = 0; x < width; ++x) raw.insert(raw.end(), {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)});
  }
  Bytes png = PngSignature();
  PngChunk(png, "IHDR", PngIhdr(width, height));
  PngChunk(png, "IDAT", StoredZlib(raw));
  PngChunk(png, "IEND", {});
  return png;
}

// A valid PNG header claiming width x height, with only dataBytes of pixel
// data (zeros): small on disk, enormous once decoded.
inline Bytes HugePng(uint32_t width, uint32_t height, size_t dataBytes = 64) {
  Bytes png = PngSignature();
  PngChunk(png, "IHDR", PngIhdr(width, height));
  PngChunk(png, "IDAT", StoredZlib(Bytes(dataBytes, 0)));
  PngChunk(png, "IEND", {});
  return png;
}

// --- JPEG

// FF marker, 16-bit big-endian length counting itself, body.
inline Bytes JpegSegment(uint8_t marker, const Bytes& body) {
  Bytes s = {0xFF, marker};
  AppendBe(s, uint32_t(body.size() + 2), 2);
  Append(s, body);
  return s;
}
// A baseline frame header body: precision 8, height, width, one component
// (id 1, sampling 11, quantisation table 0).
inline Bytes FrameHeaderBody(uint16_t width, uint16_t height) {
  Bytes b = {8};
  AppendBe(b, height, 2);
  AppendBe(b, width, 2);
  b.insert(b.end(), {1, 1, 0x11, 0});
  return b;
}
// SOI, a JFIF APP0, the given segments, then SOFn (marker) with the size
// and a start of scan with a little data after it.
inline Bytes Jpeg(uint16_t width, uint16_t height, std::initializer_list<Bytes> before = {}, uint8_t sof = 0xC0) {
  Bytes j = {0xFF, 0xD8};
  Bytes jfif;
  AppendText(jfif, std::string_view("JFIF\0", 5));
  jfif.insert(jfif.end(), {1, 1, 0, 0, 1, 0, 1, 0, 0});
  Append(j, JpegSegment(0xE0, jfif));
  for (const Bytes& b : before) Append(j, b);
  Append(j, JpegSegment(sof, FrameHeaderBody(width, height)));
  Append(j, JpegSegment(0xDA, {1, 1, 0, 0, 63, 0}));
  j.insert(j.end(), {0x12, 0x34, 0xFF, 0xD9});
  return j;
}

// --- GIF

// "GIF89a", logical screen, optional global colour table of 2 entries,
// the given blocks, then an image descriptor (2C) and the trailer.
inline Bytes Gif(uint16_t screenWidth, uint16_t screenHeight, uint16_t left, uint16_t top, uint16_t width,
                 uint16_t height, std::initializer_list<Bytes> blocks = {}, bool colourTable = true) {
  Bytes g;
  AppendText(g, "GIF89a");
  AppendLe(g, screenWidth, 2);
  AppendLe(g, screenHeight, 2);
  g.push_back(colourTable ? 0x80 : 0x00);  // table of 2^(0+1) entries
  g.insert(g.end(), {0, 0});
  if (colourTable) g.insert(g.end(), {0, 0, 0, 255, 255, 255});
  for (const Bytes& b : blocks) Append(g, b);
  g.push_back(0x2C);
  for (uint16_t v : {left, top, width, height}) AppendLe(g, v, 2);
  g.insert(g.end(), {0, 2, 2, 0x4C, 0x01, 0, 0x3B});
  return g;
}
// An extension block: 21, label, sub-blocks of the given sizes, empty one.
inline Bytes GifExtension(uint8_t label, std::initializer_list<uint8_t> subBlockSizes) {
  Bytes e = {0x21, label};
  for (uint8_t n : subBlockSizes) {
    e.push_back(n);
    e.insert(e.end(), n, 0x41);
  }
  e.push_back(0);
  return e;
}

// --- BMP

// File header and a BITMAPINFOHEADER (40 bytes, signed width and height)
// of a 24-bit picture; no pixels follow.
inline Bytes BmpInfoHeader(int32_t width, int32_t height) {
  Bytes b = {'B', 'M'};
  AppendLe(b, 14 + 40, 4);
  AppendLe(b, 0, 4);
  AppendLe(b, 14 + 40, 4);
  AppendLe(b, 40, 4);
  AppendLe(b, uint32_t(width), 4);
  AppendLe(b, uint32_t(height), 4);
  AppendLe(b, 1, 2);
  AppendLe(b, 24, 2);
  for (int i = 0; i < 6; ++i) AppendLe(b, 0, 4);
  return b;
}
// File header and an OS/2 BITMAPCOREHEADER (12 bytes, 16-bit sizes).
inline Bytes BmpCoreHeader(uint16_t width, uint16_t height) {
  Bytes b = {'B', 'M'};
  AppendLe(b, 14 + 12, 4);
  AppendLe(b, 0, 4);
  AppendLe(b, 14 + 12, 4);
  AppendLe(b, 12, 4);
  AppendLe(b, width, 2);
  AppendLe(b, height, 2);
  AppendLe(b, 1, 2);
  AppendLe(b, 24, 2);
  return b;
}

// --- TIFF

struct TiffEntry {
  uint16_t tag, type;
  uint32_t value;
};
// Byte-order mark, 42, the first directory's offset (8, right after the
// header, or after `gap` filler bytes), its entries and a zero next-offset.
inline Bytes Tiff(bool bigEndian, std::initializer_list<TiffEntry> entries, uint32_t gap = 0) {
  auto put = [&](Bytes& b, uint32_t v, int n) { bigEndian ? AppendBe(b, v, n) : AppendLe(b, v, n); };
  Bytes t;
  AppendText(t, bigEndian ? "MM" : "II");
  put(t, 42, 2);
  put(t, 8 + gap, 4);
  t.insert(t.end(), gap, 0);
  put(t, uint32_t(entries.size()), 2);
  for (const TiffEntry& e : entries) {
    put(t, e.tag, 2);
    put(t, e.type, 2);
    put(t, 1, 4);
    if (e.type == 3) {
      put(t, e.value, 2);
      put(t, 0, 2);
    } else {
      put(t, e.value, 4);
    }
  }
  put(t, 0, 4);
  return t;
}

}  // namespace picture_builders
