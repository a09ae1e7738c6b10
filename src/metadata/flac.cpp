#include "metadata/flac.h"

#include <cmath>
#include <optional>
#include <vector>

#include "common/checked_convert.h"
#include "common/text.h"
#include "metadata/container_util.h"
#include "metadata/cover.h"
#include "metadata/entry_common.h"
#include "metadata/id3v1.h"
#include "metadata/id3v2.h"

namespace tunelet {

namespace {

// A file has a handful of blocks; padding and seek tables never come in
// thousands. The cap only stops a walk over a file of tiny fake blocks.
constexpr int kMaxFlacBlocks = 4096;
constexpr uint32_t kMaxVorbisComments = 100000;
constexpr size_t kBlockHeaderSize = 4;
constexpr size_t kStreamInfoSize = 34;

enum FlacBlockType : uint8_t {
  kStreamInfo = 0,
  kPadding = 1,
  kVorbisComment = 4,
  kPicture = 6,
};

// <1 bit last-block flag><7 bits type><24 bits length, big-endian>
struct BlockHeader {
  bool last = false;
  uint8_t type = 0;
  uint32_t length = 0;
};
BlockHeader DecodeBlockHeader(const uint8_t* p) {
  return {(p[0] & 0x80) != 0, uint8_t(p[0] & 0x7F), uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]};
}

bool IsAcceptedPictureType(uint32_t t) { return t == 0 || t == 3 || t == 4 || t == 6; }

// PICTURE: big-endian picture type, MIME length + text, description length +
// text, width, height, colour depth, colour count, data length + data.
void SaveFlacPicture(ByteSpan body, TrackInfo& info) {
  if (const auto picture = FlacPictureImage(body)) info.CoverFile = SaveCoverImage(picture->data, picture->type);
}

void SetIfAbsent(OptText& field, std::string_view utf8) {
  if (!field) SetText(field, Utf8ToUtf16(utf8));
}

}  // namespace

std::optional<PictureImage> FlacPictureImage(ByteSpan body) {
  ByteReader r(body);
  const uint32_t type = r.u32be();
  const std::string_view mime = container::AsChars(r.bytes(r.u32be()));
  r.skip(r.u32be());  // description
  r.skip(16);         // width, height, depth, colour count
  const ByteSpan data = r.bytes(r.u32be());
  if (!r.ok() || !IsAcceptedPictureType(type) || data.empty()) return std::nullopt;
  const ImageType image = DetectImageType(mime, data);
  if (image == ImageType::kNone) return std::nullopt;
  return PictureImage{image, data};
}

FlacStreamInfo ParseFlacStreamInfo(ByteSpan b) {
  FlacStreamInfo s;
  if (b.size() < 18) return s;
  // bytes 10..17: <20 sample rate><3 channels-1><5 bits per sample-1><36 total samples>
  s.sampleRate = uint32_t(b[10]) << 12 | uint32_t(b[11]) << 4 | b[12] >> 4;
  s.channels = ((b[12] >> 1) & 0x07) + 1u;
  s.bitsPerSample = (uint32_t(b[12] & 0x01) << 4 | b[13] >> 4) + 1u;
  s.totalSamples = uint64_t(b[13] & 0x0F) << 32 | uint64_t(b[14]) << 24 | uint64_t(b[15]) << 16 |
                   uint64_t(b[16]) << 8 | b[17];
  return s;
}

void ApplyFlacVorbisComments(ByteSpan body, TrackInfo& info) {
  ByteReader r(body);
  r.skip(r.u32le());  // vendor string
  uint32_t count = r.u32le();
  if (count > kMaxVorbisComments) count = kMaxVorbisComments;
  std::optional<std::vector<uint8_t>> cover;
  std::string coverMime;
  std::optional<std::string_view> description;
  std::optional<std::vector<uint8_t>> blockPicture;  // a PICTURE block in Base64
  for (uint32_t i = 0; i < count && r.ok(); ++i) {
    const uint32_t len = r.u32le();
    const ByteSpan raw = r.bytes(len);
    if (!r.ok()) break;  // a comment running past the block ends the walk
    const std::string_view c = container::AsChars(raw);
    const size_t eq = c.find('=');
    if (eq == std::string_view::npos) continue;
    const std::u16string key = AsciiToUtf16(c.substr(0, eq));
    const std::string_view value = c.substr(eq + 1);
    auto is = [&](std::u16string_view k) { return EqualsIgnoreCase(key, k); };
    if (is(u"TITLE")) SetIfAbsent(info.Title, value);
    else if (is(u"ARTIST")) SetIfAbsent(info.Artist, value);
    else if (is(u"ALBUM")) SetIfAbsent(info.Album, value);
    else if (is(u"GENRE")) SetIfAbsent(info.Genre, value);
    else if (is(u"DATE")) SetIfAbsent(info.Year, value);
    else if (is(u"COMMENT")) SetIfAbsent(info.Comment, value);
    else if (is(u"DESCRIPTION")) {
      if (!description) description = value;  // used when no COMMENT follows
    }
    else if (is(u"LYRICS")) SetIfAbsent(info.Lyrics, value);
    else if (is(u"TRACKNUMBER")) {
      if (info.TrackNumber == 0) info.TrackNumber = LeadingDigits(value);
    } else if (is(u"COVERART")) {
      if (!cover) cover = Base64Decode(value);
    } else if (is(u"COVERARTMIME")) {
      coverMime = std::string(value);
    } else if (is(u"METADATA_BLOCK_PICTURE")) {
      if (!blockPicture) blockPicture = Base64Decode(value);
    }
  }
  if (description) SetIfAbsent(info.Comment, *description);
  if (cover && !cover->empty()) {
    const ImageType image = DetectImageType(coverMime, *cover);
    if (image != ImageType::kNone) {
      if (OptText path = SaveCoverImage(*cover, image)) info.CoverFile = std::move(path);
    }
  }
  if (blockPicture && !info.CoverFile) SaveFlacPicture(*blockPicture, info);
}

bool ReadFlacMetadata(TrackInfo& info) {
  auto file = platform::OpenForRead(View(info.FilePath));
  if (!file) return false;
  return ReadFlacMetadata(*file, info);
}

bool ReadFlacMetadata(platform::ReadableFile& file, TrackInfo& info) {
  uint64_t pos = ReadId3v2Tag(file, info);
  const uint64_t fileSize = file.Size();
  uint8_t marker[4];
  if (pos < fileSize && file.ReadAt(pos, marker, 4) == 4 && container::BytesAre(marker, "fLaC")) {
    pos += 4;
    bool haveStreamInfo = false;
    std::vector<uint8_t> block;
    for (int n = 0; n < kMaxFlacBlocks; ++n) {
      uint8_t h[kBlockHeaderSize];
      if (file.ReadAt(pos, h, sizeof h) != sizeof h) break;
      const BlockHeader bh = DecodeBlockHeader(h);
      pos += kBlockHeaderSize;
      const bool wanted = (bh.type == kStreamInfo && !haveStreamInfo) || bh.type == kVorbisComment ||
                          (bh.type == kPicture && !info.CoverFile);
      if (wanted) {
        // A block running past the file ends the walk (checked before allocating).
        if (pos > fileSize || bh.length > fileSize - pos || !container::ReadExact(file, pos, bh.length, block)) break;
        if (bh.type == kStreamInfo) {
          haveStreamInfo = true;
          const FlacStreamInfo s = ParseFlacStreamInfo(block);
          info.SampleRate = s.sampleRate;
          if (s.sampleRate && s.totalSamples) info.Duration = FittingU32(s.totalSamples / s.sampleRate);
        } else if (bh.type == kVorbisComment) {
          ApplyFlacVorbisComments(block, info);
        } else {
          SaveFlacPicture(block, info);
        }
      }
      pos += bh.length;
      if (bh.last) break;
    }
    // Provisional size and bit rate, kept when TFLACfile rejects the stream.
    info.FileSize = uint32_t(fileSize);
    if (info.Duration && pos < fileSize)
      info.Bitrate = RoundedU32(double(fileSize - pos) * 8 / 1000 / info.Duration);
  }
  ReadId3v1Tag(file, info);
  return true;
}

bool TFLACfile::LoadFromFile(std::u16string_view path) {
  Reset();
  auto file = platform::OpenForRead(path);
  if (!file) return false;
  return LoadFromStream(*file);
}

bool TFLACfile::LoadFromStream(platform::ReadableFile& file) {
  Reset();
  fileSize_ = file.Size();
  uint64_t pos = Id3v2TagLength(file);
  // "fLaC", the first block header and STREAMINFO.
  uint8_t head[4 + kBlockHeaderSize + kStreamInfoSize];
  if (pos >= fileSize_ || file.ReadAt(pos, head, sizeof head) != sizeof head) return false;
  if (!container::BytesAre(head, "fLaC")) return false;
  const BlockHeader first = DecodeBlockHeader(head + 4);
  info_ = ParseFlacStreamInfo(ByteSpan(head + 8, kStreamInfoSize));
  pos += sizeof head;
  bool valid = info_.sampleRate && info_.totalSamples;  // channels and bits are never 0 once decoded
  if (!first.last) {
    for (int n = 0; n < kMaxFlacBlocks; ++n) {
      uint8_t h[kBlockHeaderSize];
      if (file.ReadAt(pos, h, sizeof h) != sizeof h) break;
      const BlockHeader bh = DecodeBlockHeader(h);
      pos += kBlockHeaderSize;
      if (bh.length == 0) break;
      // Types 0..6 are the defined blocks (6 is PICTURE, which most tagged
      // files carry); 7..126 are reserved and 127 is invalid.
      if (bh.type > kPicture) {
        valid = false;
        break;
      }
      pos += bh.length;
      if (bh.last) break;
    }
  }
  if (!valid) {
    info_ = {};
    return false;
  }
  valid_ = true;
  audioStart_ = pos;
  return true;
}

double TFLACfile::Duration() const {
  return valid_ ? double(info_.totalSamples) / info_.sampleRate : 0.0;
}

uint32_t TFLACfile::Bitrate() const {
  const double d = Duration();
  if (d <= 0 || fileSize_ < audioStart_) return 0;
  return RoundedU32(double(fileSize_ - audioStart_) / 1000 * 8 / d);
}

}  // namespace tunelet
