#include "metadata/asf.h"

#include <algorithm>
#include <vector>

#include "common/text.h"
#include "metadata/container_util.h"
#include "metadata/cover.h"
#include "metadata/entry_common.h"

namespace tunelet {

namespace {

// Pictures live in the header, so it may be large; beyond this it is a lie.
constexpr uint64_t kMaxAsfHeaderBytes = 64u << 20;
constexpr uint32_t kMaxAsfObjects = 10000;
constexpr uint32_t kMaxAsfAttributes = 100000;
constexpr size_t kObjectHeaderSize = 24;  // GUID + 64-bit size

bool GuidIs(ByteSpan g, const AsfGuid& want) {
  return g.size() == 16 && std::equal(g.begin(), g.end(), want.begin());
}

bool IsAcceptedPictureType(uint8_t t) { return t == 0 || t == 3 || t == 4 || t == 6; }

// UTF-16 units up to (and past) a zero unit; the reader ends after it.
std::u16string ReadZeroTerminated(ByteReader& r) {
  std::u16string s;
  while (r.ok()) {
    const char16_t u = r.u16le();
    if (!r.ok() || u == 0) break;
    s.push_back(u);
  }
  return s;
}

// "WM/Picture": picture type (byte), data length (32-bit), MIME type and
// description (UTF-16, zero-terminated), image data.
void SaveAsfPicture(ByteSpan value, TrackInfo& info) {
  if (info.CoverFile) return;
  ByteReader r(value);
  const uint8_t type = r.u8();
  const uint32_t length = r.u32le();
  const std::u16string mime = ReadZeroTerminated(r);
  ReadZeroTerminated(r);  // description
  const ByteSpan data = r.bytes(length);
  if (!r.ok() || data.empty() || !IsAcceptedPictureType(type)) return;
  const ImageType image = DetectImageType(mime, data);
  if (image != ImageType::kNone) info.CoverFile = SaveCoverImage(data, image);
}

// Types 1..4 are read as a 32-bit number from the first four bytes, type 5
// as a 16-bit number.
uint32_t AttributeNumber(uint16_t type, ByteSpan v) {
  if (type == 5) return LoadU16le(v, 0);
  uint32_t x = 0;
  for (size_t i = 0; i < v.size() && i < 4; ++i) x |= uint32_t(v[i]) << (8 * i);
  return x;
}

void ApplyContentDescription(ByteSpan body, TrackInfo& info) {
  ByteReader r(body);
  uint16_t len[5];
  for (auto& l : len) l = r.u16le();
  auto set = [&r](OptText& field, uint16_t n) {
    const ByteSpan s = r.bytes(n);
    const std::u16string t = container::Utf16LeText(s);
    if (r.ok() && !t.empty()) SetText(field, t);  // length 0 or a zero first unit: nothing
  };
  // title, author, copyright (not used), description, rating
  set(info.Title, len[0]);
  set(info.Artist, len[1]);
  r.skip(len[2]);
  set(info.Comment, len[3]);
}

void ApplyAttribute(std::u16string_view name, uint16_t type, ByteSpan value, TrackInfo& info) {
  auto is = [&](std::u16string_view n) { return EqualsIgnoreCase(name, n); };
  const bool isString = type == 0;
  const std::u16string text = isString ? container::Utf16LeText(value) : std::u16string();
  if (is(u"WM/AlbumTitle")) {
    if (isString) SetText(info.Album, text);
  } else if (is(u"WM/Lyrics")) {
    if (isString && !info.Lyrics) SetText(info.Lyrics, text);
  } else if (is(u"WM/Lyrics_Synchronised")) {
    if (!info.Lyrics) {
      if (OptText lyrics = AsfSynchronisedLyrics(value)) SetText(info.Lyrics, *lyrics);
    }
  } else if (is(u"Description")) {
    // Taggers that keep every field as an attribute store the
    // content-description text under its own name.
    if (isString && !info.Comment) SetText(info.Comment, text);
  } else if (is(u"WM/Genre")) {
    if (isString) SetText(info.Genre, text);
  } else if (is(u"WM/Year")) {
    SetText(info.Year, isString ? text : ToU16(AttributeNumber(type, value)));
  } else if (is(u"WM/Track")) {
    // WM/Track counts from 0, as text or as a number.
    const uint32_t zeroBased = isString ? LeadingDigits(text) : AttributeNumber(type, value);
    info.TrackNumber = zeroBased < 0xFFFFFFFFu ? zeroBased + 1 : 0;
  } else if (is(u"WM/TrackNumber")) {
    info.TrackNumber = isString ? LeadingDigits(text) : AttributeNumber(type, value);
  } else if (is(u"WM/Picture")) {
    SaveAsfPicture(value, info);
  }
}

// Extended Content Description: a 16-bit count, then per attribute: name
// length (bytes), name (UTF-16), value type, value length, value.
void ApplyExtendedContent(ByteSpan body, TrackInfo& info) {
  ByteReader r(body);
  const uint32_t count = std::min<uint32_t>(r.u16le(), kMaxAsfAttributes);
  for (uint32_t i = 0; i < count && r.ok(); ++i) {
    const ByteSpan name = r.bytes(r.u16le());
    const uint16_t type = r.u16le();
    const ByteSpan value = r.bytes(r.u16le());
    if (!r.ok()) break;  // an attribute running past the object ends the walk
    ApplyAttribute(container::Utf16LeText(name), type, value, info);
  }
}

// Metadata Library: 16-bit record count; per record language index, stream
// number, name length, data type (16-bit each), data length (32-bit), name
// (UTF-16, zero-terminated), data.
void ApplyMetadataLibrary(ByteSpan body, TrackInfo& info) {
  ByteReader r(body);
  const uint32_t count = r.u16le();
  for (uint32_t i = 0; i < count && r.ok() && !info.CoverFile; ++i) {
    r.skip(4);
    const uint16_t nameLength = r.u16le();
    r.skip(2);
    const uint32_t dataLength = r.u32le();
    const ByteSpan name = r.bytes(nameLength);
    const ByteSpan data = r.bytes(dataLength);
    if (!r.ok()) break;
    if (EqualsIgnoreCase(container::Utf16LeText(name), u"WM/Picture")) SaveAsfPicture(data, info);
  }
}

// Calls f(guid, body) for each object laid end to end in data; only the low
// 32 bits of an object's size are used.
template <typename F>
void ForEachObject(ByteSpan data, uint32_t maxCount, F&& f) {
  ByteReader r(data);
  for (uint32_t i = 0; i < maxCount && r.remaining() >= kObjectHeaderSize; ++i) {
    const ByteSpan guid = r.bytes(16);
    const uint32_t size = uint32_t(r.u64le());
    if (size < kObjectHeaderSize) return;
    const ByteSpan body = r.bytes(size - kObjectHeaderSize);
    if (!r.ok()) return;  // runs past the header read
    if (!f(guid, body)) return;
  }
}

// Header Extension: 18 bytes of fields, the 32-bit size of its data at 18,
// the data (sub-objects) from 22.
void ApplyHeaderExtension(ByteSpan body, TrackInfo& info) {
  ByteReader r(body);
  r.skip(18);
  const ByteSpan data = r.bytes(r.u32le());
  if (!r.ok()) return;
  ForEachObject(data, kMaxAsfObjects, [&](ByteSpan guid, ByteSpan obj) {
    if (GuidIs(guid, asf::kMetadataLibrary)) ApplyMetadataLibrary(obj, info);
    return !info.CoverFile;
  });
}

void ApplyHeaderObject(ByteSpan guid, ByteSpan body, TrackInfo& info) {
  if (GuidIs(guid, asf::kContentDescription)) {
    ApplyContentDescription(body, info);
  } else if (GuidIs(guid, asf::kExtendedContentDescription)) {
    ApplyExtendedContent(body, info);
  } else if (GuidIs(guid, asf::kHeaderExtension)) {
    ApplyHeaderExtension(body, info);
  } else if (GuidIs(guid, asf::kFileProperties)) {
    // play duration (100-ns units) at 40, send duration, preroll (ms) at 56.
    // The play duration includes the preroll (often 3 s), which is no part
    // of what the listener hears.
    ByteReader r(body);
    r.skip(40);
    uint64_t duration = r.u64le();
    r.skip(8);
    const uint64_t preroll = r.u64le();
    if (!r.ok()) return;
    if (preroll <= UINT64_MAX / 10000u && duration >= preroll * 10000u) duration -= preroll * 10000u;
    info.Duration = uint32_t(std::min<uint64_t>(duration / 10000000u, 0xFFFFFFFFu));
  } else if (GuidIs(guid, asf::kStreamProperties)) {
    // stream type GUID, ..., WAVEFORMATEX from 54: format tag, channels,
    // samples per second (58), average bytes per second (62)
    if (body.size() >= 66 && GuidIs(body.first(16), asf::kAudioMedia)) {
      info.SampleRate = LoadU32le(body, 58);
      info.Bitrate = uint32_t(uint64_t(LoadU32le(body, 62)) * 8 / 1000);
    }
  }
}

}  // namespace

OptText AsfSynchronisedLyrics(ByteSpan value) {
  ByteReader r(value);
  r.u8();  // time-stamp format
  if (r.u8() != 1 || !r.ok()) return std::nullopt;
  int64_t budget = r.u32le();
  budget -= 2 * int64_t(ReadZeroTerminated(r).size() + 1);  // the descriptor
  std::u16string text;
  while (budget > 0 && r.ok() && !r.atEnd()) {
    if (r.peekIs("\x0A")) {  // a line break before the piece
      r.skip(1);
      text.push_back(u'\n');
      budget -= 1;
    }
    const std::u16string piece = ReadZeroTerminated(r);
    text += piece;
    r.skip(4);  // time stamp
    budget -= 2 * int64_t(piece.size()) + 6;
  }
  return text;
}

bool ReadAsfInfo(TrackInfo& info) {
  auto file = platform::OpenForRead(View(info.FilePath));
  if (!file) return false;
  return ReadAsfInfo(*file, info);
}

bool ReadAsfInfo(platform::ReadableFile& file, TrackInfo& info) {
  uint8_t h[kObjectHeaderSize];
  if (file.ReadAt(0, h, sizeof h) != sizeof h || !GuidIs(ByteSpan(h, 16), asf::kHeader)) return false;
  uint64_t size = ByteReader(ByteSpan(h + 16, 8)).u64le();
  if (size < kObjectHeaderSize) return true;
  // Read what the file holds of the header; the walk ends where it ends.
  uint64_t rest = std::min<uint64_t>({size - kObjectHeaderSize, file.Size() - kObjectHeaderSize, kMaxAsfHeaderBytes});
  std::vector<uint8_t> header(size_t(rest), 0);
  header.resize(file.ReadAt(kObjectHeaderSize, header.data(), header.size()));
  // sub-object count (32-bit) and 2 reserved bytes
  ByteReader r(header);
  const uint32_t count = std::min(r.u32le(), kMaxAsfObjects);
  r.skip(2);
  if (!r.ok()) return true;
  ForEachObject(header.size() > 6 ? ByteSpan(header).subspan(6) : ByteSpan(), count, [&](ByteSpan guid, ByteSpan body) {
    ApplyHeaderObject(guid, body, info);
    return true;
  });
  info.FileSize = uint32_t(file.Size());
  return true;
}

}  // namespace tunelet
