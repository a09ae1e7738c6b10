// Byte builders for the tag and stream readers' test inputs: ID3v2 headers
// and frames of each version (with unsynchronisation), ID3v1 tags, APE items,
// MPEG frame headers with Xing/VBRI, Ogg pages, and a temporary file helper.
// Each builder notes the layout it writes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "base64_builder.h"
#include "common/text.h"
#include "platform/platform.h"

namespace builders {

using Bytes = std::vector<uint8_t>;

inline Bytes Str(std::string_view s) { return Bytes(s.begin(), s.end()); }
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
inline Bytes Be(uint64_t v, int n) {
  Bytes b;
  for (int i = n - 1; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i)));
  return b;
}
inline Bytes Le(uint64_t v, int n) {
  Bytes b;
  for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> (8 * i)));
  return b;
}
// Four 7-bit groups, most significant first.
inline Bytes Synchsafe(uint32_t v) {
  return {uint8_t((v >> 21) & 0x7F), uint8_t((v >> 14) & 0x7F), uint8_t((v >> 7) & 0x7F), uint8_t(v & 0x7F)};
}
// UTF-16 units of s, little- or big-endian, optional BOM, no terminator.
inline Bytes Utf16(std::u16string_view s, bool bom = true, bool bigEndian = false) {
  Bytes b;
  auto unit = [&](char16_t c) {
    if (bigEndian) {
      b.push_back(uint8_t(c >> 8));
      b.push_back(uint8_t(c));
    } else {
      b.push_back(uint8_t(c));
      b.push_back(uint8_t(c >> 8));
    }
  };
  if (bom) unit(0xFEFF);
  for (char16_t c : s) unit(c);
  return b;
}

// --- ID3v2

// Frame: version 2 "ID3"-less header: 3-char id, 3-byte BE size; version 3:
// 4-char id, 4-byte BE size, 2 flag bytes; version 4: as 3, 7-bit-group size.
inline Bytes Frame(int version, std::string_view id, const Bytes& data, uint8_t flags1 = 0, uint8_t flags2 = 0) {
  if (version == 2) return Cat({Str(id), Be(data.size(), 3), data});
  return Cat({Str(id), version == 4 ? Synchsafe(uint32_t(data.size())) : Be(data.size(), 4),
              Bytes{flags1, flags2}, data});
}
// Text frame data: encoding byte, then the text bytes as given.
inline Bytes TextData(uint8_t enc, const Bytes& text) { return Cat({Bytes{enc}, text}); }
inline Bytes Latin1(std::string_view id, std::string_view text, int version = 3) {
  return Frame(version, id, TextData(0, Str(text)));
}
inline Bytes Wide(std::string_view id, std::u16string_view text, int version = 3) {
  return Frame(version, id, TextData(1, Utf16(text)));
}
// "ID3", major, revision 0, flags, 7-bit-group size of what follows, body.
inline Bytes Id3v2Tag(int version, const Bytes& body, uint8_t flags = 0, uint32_t padding = 0) {
  Bytes padded = body;
  padded.resize(body.size() + padding, 0);
  return Cat({Str("ID3"), Bytes{uint8_t(version), 0, flags}, Synchsafe(uint32_t(padded.size())), padded});
}
// Every FF followed by a byte of E0 or above (or 00) gets a 00 inserted.
inline Bytes Unsynchronise(const Bytes& in) {
  Bytes out;
  for (size_t i = 0; i < in.size(); ++i) {
    out.push_back(in[i]);
    if (in[i] == 0xFF && (i + 1 == in.size() || in[i + 1] >= 0xE0 || in[i + 1] == 0)) out.push_back(0);
  }
  return out;
}

// --- ID3v1: "TAG", title, artist, album (30 each), year (4), comment (30;
// in v1.1 28 + zero + track), genre.
using test_encoding::Base64;
// A FLAC PICTURE block body: type, MIME, empty description, sizes, image.
inline Bytes PictureBlockBody(uint32_t type, std::string_view mime, const Bytes& image) {
  return Cat({Be(type, 4), Be(mime.size(), 4), Str(mime), Be(0, 4), Bytes(16, 0), Be(image.size(), 4), image});
}
inline const Bytes kTinyPng = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 1, 2, 3, 4};
inline const Bytes kTinyJpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F'};

inline Bytes Field(std::string_view s, size_t width, uint8_t fill = 0) {
  Bytes b = Str(s.substr(0, width));
  b.resize(width, fill);
  return b;
}
inline Bytes Id3v1(std::string_view title, std::string_view artist, std::string_view album,
                   std::string_view year, int track, uint8_t genre, std::string_view comment = "") {
  Bytes commentArea = track >= 0 ? Cat({Field(comment, 28), Bytes{0, uint8_t(track)}}) : Field(comment, 30);
  return Cat({Str("TAG"), Field(title, 30), Field(artist, 30), Field(album, 30), Field(year, 4), commentArea,
              Bytes{genre}});
}

// --- APE: items (value length, flags, key, NUL, value) then the 32-byte
// footer "APETAGEX", version, size (items + footer), count, flags, reserved.
inline Bytes ApeItem(std::string_view key, const Bytes& value) {
  return Cat({Le(value.size(), 4), Le(0, 4), Str(key), Bytes{0}, value});
}
inline Bytes ApeFooter(uint32_t version, uint32_t size, uint32_t count, uint32_t flags = 0) {
  return Cat({Str("APETAGEX"), Le(version, 4), Le(size, 4), Le(count, 4), Le(flags, 4), Bytes(8, 0)});
}
inline Bytes ApeTag(uint32_t version, std::initializer_list<Bytes> items) {
  Bytes all;
  for (const auto& i : items) all.insert(all.end(), i.begin(), i.end());
  return Cat({all, ApeFooter(version, uint32_t(all.size() + 32), uint32_t(items.size()))});
}

// --- MPEG audio: a 4-byte header. version 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5;
// layer 1 = Layer III; channel mode 3 = mono.
inline Bytes MpegHeader(int version, int layer, int bitrateIndex, int rateIndex, bool padding = false,
                        int channelMode = 0) {
  return {0xFF, uint8_t(0xE0 | version << 3 | layer << 1 | 1),
          uint8_t(bitrateIndex << 4 | rateIndex << 2 | (padding ? 2 : 0)), uint8_t(channelMode << 6)};
}
// n frames of the given header and size (header then zeros).
inline Bytes MpegFrames(const Bytes& header, size_t frameSize, size_t n) {
  Bytes out;
  for (size_t i = 0; i < n; ++i) {
    out.insert(out.end(), header.begin(), header.end());
    out.resize(out.size() + frameSize - header.size(), 0);
  }
  return out;
}
// A frame whose side info holds a "Xing" (frames at +8, bytes at +12) or a
// "VBRI" (bytes at +10, frames at +14) marker at offset.
inline Bytes VbrFrame(const Bytes& header, size_t frameSize, size_t offset, bool xing, uint32_t frames,
                      uint32_t bytes) {
  Bytes f = MpegFrames(header, frameSize, 1);
  Bytes mark = xing ? Cat({Str("Xing"), Be(3, 4), Be(frames, 4), Be(bytes, 4)})
                    : Cat({Str("VBRI"), Be(1, 2), Be(0, 2), Be(0, 2), Be(bytes, 4), Be(frames, 4)});
  std::copy(mark.begin(), mark.end(), f.begin() + ptrdiff_t(offset));
  return f;
}

// --- Ogg: "OggS", version 0, flags, granule (64), serial, sequence, CRC
// (not checked), segment count, lacing values, body.
inline Bytes OggPage(const Bytes& body, uint64_t granule, uint32_t sequence, uint8_t flags = 0,
                     bool continues = false) {
  Bytes lacing;
  size_t left = body.size();
  while (left >= 255) {
    lacing.push_back(255);
    left -= 255;
  }
  if (!continues) lacing.push_back(uint8_t(left));
  return Cat({Str("OggS"), Bytes{0, flags}, Le(granule, 8), Le(0x1234, 4), Le(sequence, 4), Le(0, 4),
              Bytes{uint8_t(lacing.size())}, lacing, body});
}
// Identification packet: 01 "vorbis", version, channels, rate, max/nominal/
// min bit rate, block sizes, framing (30 bytes).
inline Bytes VorbisId(uint8_t channels, uint32_t rate, uint32_t nominal) {
  return Cat({Bytes{1}, Str("vorbis"), Le(0, 4), Bytes{channels}, Le(rate, 4), Le(0, 4), Le(nominal, 4),
              Le(0, 4), Bytes{0xB8, 1}});
}
// Comment packet: 03 "vorbis", vendor, count, comments, framing bit.
inline Bytes VorbisComments(const std::vector<std::string>& comments) {
  Bytes out = Cat({Bytes{3}, Str("vorbis"), Le(6, 4), Str("tester"), Le(comments.size(), 4)});
  for (auto c : comments) out = Cat({out, Le(c.size(), 4), Str(c)});
  out.push_back(1);
  return out;
}

// --- files

// A ReadableFile that owns its bytes (so a temporary can be handed in).
class BytesFile final : public tunelet::platform::ReadableFile {
 public:
  explicit BytesFile(Bytes data) : data_(std::move(data)) {}
  uint64_t Size() const override { return data_.size(); }
  size_t ReadAt(uint64_t offset, uint8_t* dst, size_t n) override {
    if (offset >= data_.size()) return 0;
    n = std::min<size_t>(n, data_.size() - size_t(offset));
    std::copy_n(data_.begin() + ptrdiff_t(offset), n, dst);
    return n;
  }

 private:
  Bytes data_;
};

// A file in the temporary folder, deleted when the object goes.
class TempFile {
 public:
  TempFile(std::string_view name, const Bytes& data) {
    path_ = tunelet::platform::TempFolder() + tunelet::Utf8ToUtf16(name);
    tunelet::platform::WriteNewFile(path_, data.data(), data.size());
  }
  ~TempFile() { tunelet::platform::DeleteFileAt(path_); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::u16string& path() const { return path_; }

 private:
  std::u16string path_;
};

}  // namespace builders
