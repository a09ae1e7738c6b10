// A tagged MP3 made in code, for ui-preview's screenshots and the Wine tests
// of QuickInfo: an ID3v2.3 tag (UTF-16 text frames and a cover picture in an
// APIC frame) followed by silent MPEG-1 Layer III frames of 128 kbit/s at
// 44.1 kHz, and the 24-bit BMP pictures it carries.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace sample_track {

using Bytes = std::vector<uint8_t>;

inline void PutLe(Bytes& b, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
inline void PutBe(Bytes& b, uint32_t v, int n) {
  for (int i = n - 1; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i)));
}

// A bottom-up 24-bit BMP; colour(x, y) gives 0xRRGGBB for the pixel at x, y
// (y from the top).
template <typename Colour>
Bytes Bmp(int width, int height, Colour colour) {
  const uint32_t stride = (uint32_t(width) * 3 + 3) & ~3u, pixels = stride * uint32_t(height);
  Bytes b = {'B', 'M'};
  PutLe(b, 14 + 40 + pixels, 4);
  PutLe(b, 0, 4);
  PutLe(b, 14 + 40, 4);
  for (uint32_t v : {40u, uint32_t(width), uint32_t(height)}) PutLe(b, v, 4);
  PutLe(b, 1, 2);
  PutLe(b, 24, 2);
  for (uint32_t v : {0u, pixels, 2835u, 2835u, 0u, 0u}) PutLe(b, v, 4);
  for (int y = height - 1; y >= 0; --y) {
    const size_t start = b.size();
    for (int x = 0; x < width; ++x) {
      const uint32_t c = colour(x, y);
      b.push_back(uint8_t(c));
      b.push_back(uint8_t(c >> 8));
      b.push_back(uint8_t(c >> 16));
    }
    b.resize(start + stride, 0);
  }
  return b;
}

inline void PutFrame(Bytes& tag, std::string_view id, const Bytes& data) {
  tag.insert(tag.end(), id.begin(), id.end());
  PutBe(tag, uint32_t(data.size()), 4);
  tag.push_back(0);
  tag.push_back(0);
  tag.insert(tag.end(), data.begin(), data.end());
}

// A text frame in UTF-16 with a byte-order mark.
inline void PutText(Bytes& tag, std::string_view id, std::u16string_view text) {
  Bytes data = {1, 0xFF, 0xFE};
  for (char16_t c : text) PutLe(data, c, 2);
  PutFrame(tag, id, data);
}

struct Tags {
  std::u16string title, artist, album, year, genre;
};

// The whole file: tag, cover (a BMP; none when empty) and frames of audio.
inline Bytes Mp3(const Tags& t, const Bytes& bmpCover, int frames) {
  Bytes body;
  if (!t.title.empty()) PutText(body, "TIT2", t.title);
  if (!t.artist.empty()) PutText(body, "TPE1", t.artist);
  if (!t.album.empty()) PutText(body, "TALB", t.album);
  if (!t.year.empty()) PutText(body, "TYER", t.year);
  if (!t.genre.empty()) PutText(body, "TCON", t.genre);
  if (!bmpCover.empty()) {
    // Latin-1, MIME, picture type 3 (front cover), empty description.
    Bytes apic = {0};
    for (char c : std::string_view("image/bmp")) apic.push_back(uint8_t(c));
    apic.insert(apic.end(), {0, 3, 0});
    apic.insert(apic.end(), bmpCover.begin(), bmpCover.end());
    PutFrame(body, "APIC", apic);
  }
  Bytes file = {'I', 'D', '3', 3, 0, 0};
  const uint32_t size = uint32_t(body.size());
  for (int shift : {21, 14, 7, 0}) file.push_back(uint8_t((size >> shift) & 0x7F));  // 7-bit groups
  file.insert(file.end(), body.begin(), body.end());
  // MPEG-1 Layer III, no CRC, 128 kbit/s, 44.1 kHz, no padding: 417 bytes.
  constexpr size_t kFrameBytes = 417;
  for (int i = 0; i < frames; ++i) {
    const size_t start = file.size();
    file.insert(file.end(), {0xFF, 0xFB, 0x90, 0x00});
    file.resize(start + kFrameBytes, 0);
  }
  return file;
}

inline bool WriteFile(const std::wstring& path, const Bytes& data) {
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (!f) return false;
  const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace sample_track
