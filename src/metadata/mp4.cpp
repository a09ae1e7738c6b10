#include "metadata/mp4.h"

#include <zlib.h>

#include <string_view>

#include "common/checked_convert.h"
#include "common/text.h"
#include "metadata/cover.h"
#include "metadata/container_util.h"
#include "metadata/genres.h"

namespace tunelet {

namespace {

// A movie header with its sample tables is a few megabytes even for long
// films; the caps keep a lying size from allocating the address space of the
// 32-bit host.
constexpr uint64_t kMaxMoovBytes = 32u << 20;
constexpr size_t kMaxInflatedMoovBytes = 32u << 20;
constexpr int kMaxTopLevelAtoms = 100000;
constexpr int kMaxCompressedMovieDepth = 2;
constexpr size_t kAtomHeaderSize = 8;
// stsd: version/flags and entry count (8), then the first sample entry: its
// 8-byte header and 28 bytes of audio fields before its child atoms.
constexpr size_t kSampleEntryChildren = 8 + 8 + 28;
// MPEG-4 descriptor tags in "esds".
constexpr uint8_t kEsDescriptorTag = 0x03;
constexpr uint8_t kDecoderConfigTag = 0x04;

using FourCC = std::string_view;

struct Atom {
  uint8_t type[4] = {};
  ByteSpan body;
  bool is(FourCC t) const { return container::BytesAre(type, t); }
};

// Walks the atoms laid end to end in data and calls f(atom) for each; f
// returns false to stop. Layout: 32-bit big-endian size including the header,
// 4-character type; size 1 means a 64-bit size follows the type. A size of 0
// is the version/flags word of a full box ("meta") and is stepped over; sizes
// 2..7 and atoms running past the data end the walk.
template <typename F>
void ForEachAtom(ByteSpan data, F&& f) {
  ByteReader r(data);
  while (r.remaining() >= 4) {
    const size_t start = r.pos();
    uint64_t size = r.u32be();
    if (size == 0) continue;  // 4 bytes stepped
    if (r.remaining() < 4) return;
    Atom a;
    for (auto& c : a.type) c = r.u8();
    size_t header = kAtomHeaderSize;
    if (size == 1) {
      size = r.u64be();
      header += 8;
      if (!r.ok()) return;
    }
    if (size < header) return;
    if (size - header > r.remaining()) return;
    a.body = data.subspan(start + header, size_t(size - header));
    r.seek(start + header + a.body.size());
    if (!f(a)) return;
  }
}

// The body of the first child of type t, or nullopt.
std::optional<ByteSpan> FindChild(ByteSpan data, FourCC t) {
  std::optional<ByteSpan> found;
  ForEachAtom(data, [&](const Atom& a) {
    if (!a.is(t)) return true;
    found = a.body;
    return false;
  });
  return found;
}

// Follows a dotted path such as "mdia.minf.smhd", one component per level.
std::optional<ByteSpan> FindPath(ByteSpan data, std::string_view path) {
  std::optional<ByteSpan> cur = data;
  while (cur && !path.empty()) {
    const size_t dot = path.find('.');
    cur = FindChild(*cur, path.substr(0, dot));
    path = dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
  }
  return cur;
}

// A number value: 16-bit big-endian when it is 2 bytes long, else the first
// (up to) 4 bytes big-endian; "trkn" thus yields its 2 reserved bytes and
// 2 track bytes.
uint32_t ItemNumber(ByteSpan v) {
  const size_t n = v.size() < 4 ? v.size() : 4;
  uint32_t x = 0;
  for (size_t i = 0; i < n; ++i) x = x << 8 | v[i];
  return x;
}

// A "covr" value: the data type in the low 24 bits of the flags says JPEG
// (13), PNG (14) or BMP (27); the image's first bytes decide otherwise.
void SaveCoverItem(uint32_t dataType, ByteSpan image, TrackInfo& info) {
  if (info.CoverFile) return;  // the first cover wins
  ImageType type = ImageTypeFromData(image);
  if (type == ImageType::kNone) {
    if (dataType == 13) type = ImageType::kJpg;
    else if (dataType == 14) type = ImageType::kPng;
    else if (dataType == 27) type = ImageType::kBmp;
  }
  info.CoverFile = SaveCoverImage(image, type);
}

// Item atom -> its "data" child: version/flags (4), reserved (4), value.
void ApplyIlstItem(const Atom& item, TrackInfo& info) {
  const auto data = FindChild(item.body, "data");
  if (!data || data->size() < 8) return;
  const ByteSpan value = data->subspan(8);
  auto text = [&](OptText& field) { SetText(field, Utf8ToUtf16(container::AsChars(value))); };
  if (item.is("\xA9nam")) text(info.Title);
  else if (item.is("\xA9" "ART")) text(info.Artist);
  else if (item.is("\xA9" "alb")) text(info.Album);
  else if (item.is("\xA9" "day")) text(info.Year);
  else if (item.is("\xA9" "cmt")) text(info.Comment);
  else if (item.is("\xA9" "lyr")) text(info.Lyrics);
  else if (item.is("\xA9" "gen")) {
    if (!info.Genre) text(info.Genre);  // the numbered "gnre" wins
  } else if (item.is("covr")) {
    SaveCoverItem(LoadU32be(*data, 0) & 0xFFFFFF, value, info);
  } else if (item.is("gnre")) {
    const uint32_t n = ItemNumber(value);
    if (n >= 1) SetText(info.Genre, StringTableGenre(n - 1));
  } else if (item.is("trkn")) {
    info.TrackNumber = ItemNumber(value);
  }
}

void ApplyUserData(ByteSpan udta, TrackInfo& info) {
  const auto ilst = FindPath(udta, "meta.ilst");
  if (!ilst) return;
  ForEachAtom(*ilst, [&](const Atom& item) {
    ApplyIlstItem(item, info);
    return true;
  });
}

void ApplyTrack(ByteSpan trak, TrackInfo& info) {
  const auto minf = FindPath(trak, "mdia.minf");
  if (!minf || FindChild(*minf, "vmhd") || !FindChild(*minf, "smhd")) return;
  const auto stsd = FindPath(*minf, "stbl.stsd");
  // stsd: version/flags, entry count, then the first sample entry: size,
  // format, 6 reserved, data reference index, version, revision, vendor,
  // channels, sample size, compression id, packet size, 16.16 sample rate.
  if (stsd && stsd->size() >= 44) info.SampleRate = LoadU32be(*stsd, 40) >> 16;
  if (stsd && stsd->size() >= kSampleEntryChildren) {
    if (const uint32_t bps = Mp4AverageBitrate(stsd->subspan(kSampleEntryChildren))) info.Bitrate = RoundedU32(bps / 1000.0);
  }
}

void ApplyCompressedMovie(ByteSpan cmov, TrackInfo& info, int depth);

void WalkMovie(ByteSpan moovBody, TrackInfo& info, int depth) {
  ForEachAtom(moovBody, [&](const Atom& a) {
    if (a.is("cmov")) {
      ApplyCompressedMovie(a.body, info, depth);
    } else if (a.is("mvhd")) {
      if (auto d = Mp4MovieDuration(a.body)) info.Duration = *d;
    } else if (a.is("udta")) {
      ApplyUserData(a.body, info);
    } else if (a.is("trak")) {
      ApplyTrack(a.body, info);
    }
    return true;
  });
}

// cmov holds "dcom" (the method) and "cmvd": a 32-bit big-endian inflated
// length, then zlib data that inflates to a complete "moov" atom.
void ApplyCompressedMovie(ByteSpan cmov, TrackInfo& info, int depth) {
  if (depth >= kMaxCompressedMovieDepth) return;
  const auto cmvd = FindChild(cmov, "cmvd");
  if (!cmvd || cmvd->size() < 4) return;
  uint32_t want = LoadU32be(*cmvd, 0);
  if (want > kMaxInflatedMoovBytes) want = kMaxInflatedMoovBytes;
  const std::vector<uint8_t> moov = InflateZlib(cmvd->subspan(4), want);
  if (auto body = FindChild(moov, "moov")) WalkMovie(*body, info, depth + 1);
}

}  // namespace

std::vector<uint8_t> InflateZlib(ByteSpan compressed, size_t maxOut) {
  if (maxOut == 0 || compressed.empty()) return {};
  // Deflate packs at most about 1032:1, so a larger stated length is a lie
  // that need not be allocated.
  constexpr size_t kMaxDeflateRatio = 1032;
  if (compressed.size() < maxOut / kMaxDeflateRatio) maxOut = compressed.size() * kMaxDeflateRatio + 64;
  std::vector<uint8_t> out(maxOut);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return {};
  z.next_in = const_cast<Bytef*>(compressed.data());
  z.next_out = out.data();
  // zlib counts in uInt; both spans are far below 4 GiB (capped above).
  z.avail_in = uInt(compressed.size());
  z.avail_out = uInt(out.size());
  inflate(&z, Z_FINISH);
  out.resize(out.size() - z.avail_out);
  inflateEnd(&z);
  return out;
}

uint32_t Mp4AverageBitrate(ByteSpan sampleEntryChildren) {
  const auto esds = FindChild(sampleEntryChildren, "esds");
  if (!esds) return 0;
  ByteReader r(*esds);
  r.skip(4);  // version/flags
  // Descriptors: a tag byte, then a length of 1-4 bytes, 7 bits each, the
  // high bit set on all but the last.
  auto descriptor = [&r](uint8_t wantTag) {
    if (r.u8() != wantTag) return false;
    for (int i = 0; i < 4; ++i)
      if (!(r.u8() & 0x80)) break;
    return r.ok();
  };
  if (!descriptor(kEsDescriptorTag)) return 0;
  r.skip(2);  // ES_ID
  const uint8_t flags = r.u8();
  if (flags & 0x80) r.skip(2);          // depends-on ES_ID
  if (flags & 0x40) r.skip(r.u8());     // URL
  if (flags & 0x20) r.skip(2);          // OCR ES_ID
  if (!descriptor(kDecoderConfigTag)) return 0;
  r.skip(1 + 1 + 3 + 4);  // object type, stream type, buffer size, maximum bit rate
  const uint32_t average = r.u32be();
  return r.ok() ? average : 0;
}

std::optional<uint32_t> Mp4MovieDuration(ByteSpan b) {
  if (b.empty()) return std::nullopt;
  ByteReader r(b);
  const uint8_t version = r.u8();
  r.skip(3);  // flags
  uint64_t scale = 0, duration = 0;
  if (version == 1) {
    r.skip(16);  // 64-bit creation and modification times
    scale = r.u32be();
    duration = r.u64be();
  } else {
    r.skip(8);
    scale = r.u32be();
    duration = r.u32be();
  }
  if (!r.ok() || scale == 0) return std::nullopt;
  const uint64_t s = duration / scale;
  return uint32_t(s > 0xFFFFFFFFu ? 0xFFFFFFFFu : s);
}

void ApplyMp4Movie(ByteSpan moovBody, TrackInfo& info) { WalkMovie(moovBody, info, 0); }

bool ReadMp4Atoms(TrackInfo& info) {
  auto file = platform::OpenForRead(View(info.FilePath));
  if (!file) return false;
  return ReadMp4Atoms(*file, info);
}

bool ReadMp4Atoms(platform::ReadableFile& file, TrackInfo& info) {
  const uint64_t fileSize = file.Size();
  uint64_t pos = 0;
  for (int n = 0; n < kMaxTopLevelAtoms && fileSize - pos >= kAtomHeaderSize; ++n) {
    uint8_t h[16];
    const size_t got = file.ReadAt(pos, h, sizeof h);
    if (got < kAtomHeaderSize) break;
    uint64_t size = LoadU32be(ByteSpan(h, got), 0);
    uint64_t header = kAtomHeaderSize;
    if (size == 1) {  // 64-bit size after the type
      if (got < 16) break;
      size = uint64_t(LoadU32be(ByteSpan(h, got), 8)) << 32 | LoadU32be(ByteSpan(h, got), 12);
      header = 16;
    } else if (size == 0) {  // the last atom, running to the end of the file
      size = fileSize - pos;
    }
    if (size < header) break;
    if (container::BytesAre(h + 4, "moov")) {
      uint64_t body = size - header;
      if (body > fileSize - pos - header) body = fileSize - pos - header;  // read what is there
      if (body > kMaxMoovBytes) body = kMaxMoovBytes;
      std::vector<uint8_t> moov(size_t(body), 0);
      moov.resize(file.ReadAt(pos + header, moov.data(), moov.size()));
      ApplyMp4Movie(moov, info);
      break;
    }
    if (size > fileSize - pos) break;
    pos += size;
  }
  info.FileSize = uint32_t(fileSize);
  return true;
}

}  // namespace tunelet
