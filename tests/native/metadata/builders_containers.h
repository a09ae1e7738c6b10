// Byte builders for container test inputs: ASF objects, MP4 atoms, FLAC
// blocks, RIFF chunks, and the small ID3v2 / APE / ID3v1 tags that such files
// carry. Each builder notes the layout it writes.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base64_builder.h"
#include "metadata/asf.h"

namespace container_builders {

using Bytes = std::vector<uint8_t>;
using test_encoding::Base64;

struct B {
  Bytes b;
  B& u8(uint32_t v) { b.push_back(uint8_t(v)); return *this; }
  B& le(uint64_t v, int n) { for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> (8 * i))); return *this; }
  B& be(uint64_t v, int n) { for (int i = n - 1; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i))); return *this; }
  B& u16le(uint32_t v) { return le(v, 2); }
  B& u32le(uint64_t v) { return le(v, 4); }
  B& u64le(uint64_t v) { return le(v, 8); }
  B& u16be(uint32_t v) { return be(v, 2); }
  B& u24be(uint32_t v) { return be(v, 3); }
  B& u32be(uint64_t v) { return be(v, 4); }
  B& u64be(uint64_t v) { return be(v, 8); }
  B& str(std::string_view s) { b.insert(b.end(), s.begin(), s.end()); return *this; }
  B& add(const Bytes& x) { b.insert(b.end(), x.begin(), x.end()); return *this; }
  B& zeros(size_t n) { b.insert(b.end(), n, 0); return *this; }
  // UTF-16LE units of s (ASCII or already UTF-16), no terminator.
  B& w(std::u16string_view s) { for (char16_t c : s) u16le(c); return *this; }
  operator Bytes() const { return b; }
  operator tunelet::ByteSpan() const { return b; }
};

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A tiny picture whose first bytes say PNG.
inline Bytes PngBytes(uint8_t tag) { return B().u8(0x89).str("PNG\r\n\x1A\n").u8(tag).u8(tag).zeros(6); }
inline Bytes JpegBytes(uint8_t tag) { return B().u8(0xFF).u8(0xD8).u8(0xFF).u8(0xE0).u8(tag).zeros(7); }

// ---- ID3v2.3 in front: "ID3" 3 0, flags, synchsafe size; frames "TIT2" etc.
inline Bytes Id3v2Text(std::string_view id, std::string_view latin1) {
  return B().str(id).u32be(latin1.size() + 1).u16be(0).u8(0).str(latin1);
}
inline Bytes Id3v2Tag(const Bytes& frames) {
  const uint32_t n = uint32_t(frames.size());
  return B().str("ID3").u8(3).u8(0).u8(0).u8((n >> 21) & 0x7F).u8((n >> 14) & 0x7F).u8((n >> 7) & 0x7F).u8(n & 0x7F).add(
      frames);
}

// ---- ID3v1: "TAG", title/artist/album 30 each, year 4, comment 28, 0, track, genre.
inline Bytes Id3v1Tag(std::string_view title, std::string_view artist, uint8_t track, uint8_t genre = 255) {
  auto field = [](std::string_view s, size_t n) {
    Bytes f(n, 0);
    for (size_t i = 0; i < s.size() && i < n; ++i) f[i] = uint8_t(s[i]);
    return f;
  };
  return B().str("TAG").add(field(title, 30)).add(field(artist, 30)).add(field("", 30)).add(field("", 4))
      .add(field("", 28)).u8(0).u8(track).u8(genre);
}

// ---- APE v2 tag: items (value length, flags, key NUL, value), then the
// 32-byte footer "APETAGEX", version, size (items + footer), count, flags, 8 reserved.
inline Bytes ApeTag(std::initializer_list<std::pair<std::string_view, std::string_view>> items) {
  B body;
  for (const auto& [k, v] : items) body.u32le(v.size()).u32le(0).str(k).u8(0).str(v);
  return B().add(body).str("APETAGEX").u32le(2000).u32le(body.b.size() + 32).u32le(items.size()).u32le(0).zeros(8);
}

// ---- FLAC: "fLaC", blocks <1 last><7 type><24 length BE>.
inline Bytes FlacBlock(uint8_t type, const Bytes& body, bool last = false) {
  return B().u8((last ? 0x80 : 0) | type).u24be(uint32_t(body.size())).add(body);
}
// STREAMINFO (34 bytes): block sizes, frame sizes, then <20 rate><3 ch-1><5 bps-1><36 total>, MD5.
inline Bytes FlacStreamInfoBody(uint32_t rate, uint32_t channels, uint32_t bits, uint64_t total) {
  B s;
  s.u16be(4096).u16be(4096).u24be(0).u24be(0);
  const uint64_t packed = uint64_t(rate) << 44 | uint64_t(channels - 1) << 41 | uint64_t(bits - 1) << 36 | total;
  s.u64be(packed).zeros(16);
  return s;
}
// VORBIS_COMMENT: little-endian vendor length + vendor, count, (length + text)*.
inline Bytes VorbisCommentBody(std::initializer_list<std::string_view> comments) {
  B c;
  c.u32le(6).str("tunelt").u32le(comments.size());
  for (auto s : comments) c.u32le(s.size()).str(s);
  return c;
}
// PICTURE: big-endian type, MIME, description, width, height, depth, colours, data.
inline Bytes FlacPictureBody(uint32_t type, std::string_view mime, const Bytes& data) {
  return B().u32be(type).u32be(mime.size()).str(mime).u32be(4).str("desc").u32be(1).u32be(1).u32be(24).u32be(0)
      .u32be(data.size()).add(data);
}

// ---- MP4: 32-bit BE size (with the 8-byte header), 4-character type.
inline Bytes Atom(std::string_view type, const Bytes& body) {
  return B().u32be(body.size() + 8).str(type).add(body);
}
// The same with size 1 and a 64-bit size after the type.
inline Bytes Atom64(std::string_view type, const Bytes& body) {
  return B().u32be(1).str(type).u64be(body.size() + 16).add(body);
}
inline Bytes Mvhd0(uint32_t scale, uint32_t duration) {
  return Atom("mvhd", B().u32be(0).u32be(0).u32be(0).u32be(scale).u32be(duration).zeros(80));
}
inline Bytes Mvhd1(uint32_t scale, uint64_t duration) {
  return Atom("mvhd", B().u8(1).zeros(3).u64be(0).u64be(0).u32be(scale).u64be(duration).zeros(80));
}
// An item of "ilst" with its "data" atom: version/flags, reserved, value.
inline Bytes IlstItem(std::string_view type, uint32_t dataType, const Bytes& value) {
  return Atom(type, Atom("data", B().u32be(dataType).u32be(0).add(value)));
}
inline Bytes IlstText(std::string_view type, std::string_view utf8) { return IlstItem(type, 1, B().str(utf8)); }
// udta > meta (full box: version/flags first) > hdlr, ilst.
inline Bytes Udta(const Bytes& items) {
  return Atom("udta", Atom("meta", Cat({B().u32be(0), Atom("hdlr", B().zeros(25)), Atom("ilst", items)})));
}
// trak > mdia > minf > smhd|vmhd, stbl > stsd with one sample entry whose
// 16.16 sample rate sits at stsd body offset 40; children (such as "esds")
// follow the entry's fields.
inline Bytes Trak(bool video, uint32_t rate, const Bytes& children = {}) {
  const Bytes entry = B().u32be(uint32_t(36 + children.size())).str(video ? "avc1" : "mp4a").zeros(6).u16be(1)
                          .zeros(8).u16be(2).u16be(16).zeros(4).u32be(uint64_t(rate) << 16).add(children);
  const Bytes stsd = Atom("stsd", Cat({B().u32be(0).u32be(1), entry}));
  const Bytes minf = Atom("minf", Cat({Atom(video ? "vmhd" : "smhd", B().zeros(8)), Atom("stbl", stsd)}));
  return Atom("trak", Atom("mdia", Cat({Atom("mdhd", B().zeros(24)), minf})));
}
// "esds": an ES descriptor (tag 3) holding a decoder configuration (tag 4)
// with its maximum and average bit rates; lengths in the 4-byte form.
inline Bytes Esds(uint32_t maxBitrate, uint32_t averageBitrate) {
  return Atom("esds", B().u32be(0).u8(3).u8(0x80).u8(0x80).u8(0x80).u8(21).u16be(1).u8(0)
                          .u8(4).u8(0x80).u8(0x80).u8(0x80).u8(13).u8(0x40).u8(0x15).zeros(3)
                          .u32be(maxBitrate).u32be(averageBitrate));
}
inline Bytes Ftyp() { return Atom("ftyp", B().str("M4A ").u32be(0).str("M4A mp42isom")); }
// cmov > dcom "zlib", cmvd: 32-bit BE inflated length, zlib data of a whole moov atom.
inline Bytes CompressedMoov(const Bytes& moov) {
  uLongf n = compressBound(uLong(moov.size()));
  Bytes z(n);
  compress(z.data(), &n, moov.data(), uLong(moov.size()));
  z.resize(n);
  return Atom("moov", Atom("cmov", Cat({Atom("dcom", B().str("zlib")), Atom("cmvd", Cat({B().u32be(moov.size()), z}))})));
}

// ---- ASF: 16-byte GUID, 64-bit LE size with the 24-byte header, body.
inline Bytes Guid(const tunelet::AsfGuid& g) { return Bytes(g.begin(), g.end()); }
inline Bytes AsfObject(const tunelet::AsfGuid& g, const Bytes& body) {
  return B().add(Guid(g)).u64le(body.size() + 24).add(body);
}
// Header: 32-bit count, 2 reserved bytes, the objects.
inline Bytes AsfHeader(std::initializer_list<Bytes> objects) {
  B body;
  body.u32le(objects.size()).u8(1).u8(2);
  for (const auto& o : objects) body.add(o);
  return AsfObject(tunelet::asf::kHeader, body);
}
// Zero-terminated UTF-16LE.
inline Bytes Wz(std::u16string_view s) { return B().w(s).u16le(0); }
// Content Description: five 16-bit byte lengths, then the strings.
inline Bytes AsfContentDescription(std::u16string_view title, std::u16string_view author, std::u16string_view desc) {
  const Bytes t = Wz(title), a = Wz(author), c = Wz(u"(c)"), d = Wz(desc), r = Wz(u"");
  return AsfObject(tunelet::asf::kContentDescription, B().u16le(t.size()).u16le(a.size()).u16le(c.size())
                                                          .u16le(d.size()).u16le(r.size()).add(t).add(a).add(c).add(d).add(r));
}
// One attribute: name length (bytes), name, value type, value length, value.
inline Bytes AsfAttr(std::u16string_view name, uint16_t type, const Bytes& value) {
  const Bytes n = Wz(name);
  return B().u16le(n.size()).add(n).u16le(type).u16le(value.size()).add(value);
}
inline Bytes AsfExtended(std::initializer_list<Bytes> attrs) {
  B body;
  body.u16le(attrs.size());
  for (const auto& a : attrs) body.add(a);
  return AsfObject(tunelet::asf::kExtendedContentDescription, body);
}
// "WM/Picture" value: type, data length, MIME and description (UTF-16 z), data.
inline Bytes AsfPictureValue(uint8_t type, std::u16string_view mime, const Bytes& data) {
  return B().u8(type).u32le(data.size()).add(Wz(mime)).add(Wz(u"front")).add(data);
}
// Header Extension: reserved GUID + 16-bit, data size at 18, sub-objects; one
// Metadata Library with a "WM/Picture" record.
inline Bytes AsfHeaderExtensionWithPicture(const Bytes& pictureValue) {
  const Bytes name = Wz(u"WM/Picture");
  const Bytes lib = AsfObject(tunelet::asf::kMetadataLibrary, B().u16le(1).u16le(0).u16le(0).u16le(name.size())
                                                                  .u16le(1).u32le(pictureValue.size()).add(name).add(pictureValue));
  return AsfObject(tunelet::asf::kHeaderExtension, B().zeros(16).u16le(6).u32le(lib.size()).add(lib));
}
// File Properties: play duration (100 ns) at body offset 40, send duration,
// preroll (ms) at 56, flags, packet sizes, bit rate.
inline Bytes AsfFileProperties(uint64_t duration100ns, uint64_t prerollMs = 0) {
  return AsfObject(tunelet::asf::kFileProperties, B().zeros(40).u64le(duration100ns).u64le(0).u64le(prerollMs).zeros(16));
}
// Stream Properties: stream type GUID, ..., WAVEFORMATEX from body offset 54.
inline Bytes AsfAudioStream(uint32_t rate, uint32_t bytesPerSecond) {
  return AsfObject(tunelet::asf::kStreamProperties, B().add(Guid(tunelet::asf::kAudioMedia)).zeros(38)
                                                        .u16le(0x161).u16le(2).u32le(rate).u32le(bytesPerSecond).zeros(8));
}

// ---- RIFF: 4-character id, 32-bit LE size, body, pad byte for odd sizes.
inline Bytes Chunk(std::string_view id, const Bytes& body) {
  B c;
  c.str(id).u32le(body.size()).add(body);
  if (body.size() & 1) c.u8(0);
  return c;
}
// "fmt ": format tag, channels, rate, bytes/s, block align, bits.
inline Bytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  const uint32_t align = channels * bits / 8;
  return Chunk("fmt ", B().u16le(tag).u16le(channels).u32le(rate).u32le(rate * align).u16le(align).u16le(bits));
}
inline Bytes Riff(std::initializer_list<Bytes> chunks) {
  B body;
  body.str("WAVE");
  for (const auto& c : chunks) body.add(c);
  return B().str("RIFF").u32le(body.b.size()).add(body);
}
// A data chunk header claiming n bytes, followed by only `present` of them.
inline Bytes DataHeader(uint32_t n, size_t present = 0) { return B().str("data").u32le(n).zeros(present); }
// WavPack: 32-byte block header ("wvpk", block size, version, track, index,
// total samples at 12, block index, block samples, flags at 24, crc), a
// 2-byte sub-block header, then the packed file's RIFF header.
// extraSubBlock goes before the RIFF header's sub-block when given.
// A WavPack block of sub-blocks (each id byte, size in 16-bit words, data;
// see WavPackSubBlock) and nothing else.
inline Bytes WavPackBlock(uint32_t totalSamples, uint32_t flags, std::initializer_list<Bytes> subBlocks) {
  B body;
  for (const auto& sub : subBlocks) body.add(sub);
  return B().str("wvpk").u32le(24 + body.b.size()).u16le(0x410).u8(0).u8(0).u32le(totalSamples).u32le(0)
      .u32le(totalSamples).u32le(flags).u32le(0).add(body).b;
}
// A small sub-block: kind (0x40 added when the data are of odd length), size
// in words, the data padded to an even length.
inline Bytes WavPackSubBlock(uint8_t kind, const Bytes& data) {
  Bytes padded = data;
  if (data.size() % 2) padded.push_back(0);
  return B().u8(kind | (data.size() % 2 ? 0x40 : 0)).u8(uint8_t(padded.size() / 2)).add(padded).b;
}
inline Bytes WavPack(uint32_t totalSamples, const Bytes& riffHeader, uint32_t flags = 0,
                     const Bytes& extraSubBlock = {}) {
  return B().str("wvpk").u32le(24 + extraSubBlock.size() + 2 + riffHeader.size()).u16le(0x410).u8(0).u8(0)
      .u32le(totalSamples).u32le(0).u32le(totalSamples).u32le(flags).u32le(0).add(extraSubBlock).u8(0x21)
      .u8(uint8_t(riffHeader.size() / 2)).add(riffHeader);
}

}  // namespace container_builders
