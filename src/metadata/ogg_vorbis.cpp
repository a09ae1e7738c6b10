#include "metadata/ogg_vorbis.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "common/checked_convert.h"
#include "metadata/flac.h"
#include "metadata/id3v2.h"
#include "metadata/tag_text.h"

namespace tunelet {

namespace {

constexpr size_t kPageHeaderSize = 27;       // "OggS" ... segment count
constexpr size_t kIdentificationSize = 30;   // the first packet
constexpr size_t kMaxCommentPacket = 256u << 10;  // text comments come long before this
constexpr int kMaxCommentPages = 64;
constexpr uint32_t kMaxComments = 10000;
constexpr size_t kMaxCommentValue = 250;
// The last page is looked for in windows of 251 bytes stepping back 241.
constexpr int kTailWindows = 50;
constexpr size_t kTailWindow = 251;
constexpr uint64_t kTailStep = 241;

bool IsVorbisPacket(ByteSpan p, uint8_t type) { return p.size() >= 7 && p[0] == type && BytesEqual(p, 1, "vorbis"); }

}  // namespace

bool ParseOggPageHeader(ByteSpan b, OggPageHeader& out) {
  out = {};
  if (b.size() < kPageHeaderSize || !BytesEqual(b, 0, "OggS")) return false;
  ByteReader r(b.subspan(5));
  out.flags = r.u8();
  out.granule = r.u64le();
  out.serial = r.u32le();
  out.segments = b[26];
  return true;
}

bool TOggVorbis::LoadFromFile(std::u16string_view path) {
  *this = TOggVorbis{};
  auto file = platform::OpenForRead(path);
  return file && LoadFromFile(*file);
}

bool TOggVorbis::LoadFromFile(platform::ReadableFile& file) {
  *this = TOggVorbis{};
  FileSize = file.Size();
  const uint64_t tag = Id3v2TagLength(file);
  if (tag > 0 && tag <= FileSize) Id3v2Size = tag;

  // First page: its first packet is the identification header.
  const std::vector<uint8_t> first = file.Read(Id3v2Size, kPageHeaderSize);
  OggPageHeader page;
  if (!ParseOggPageHeader(first, page)) return false;
  const uint64_t packetPos = Id3v2Size + kPageHeaderSize + page.segments;
  const std::vector<uint8_t> id = file.Read(packetPos, kIdentificationSize);
  if (id.size() < 28 || !IsVorbisPacket(id, 0x01)) return false;
  ByteReader r(ByteSpan(id).subspan(7));
  r.u32le();  // version
  Channels = r.u8();
  SampleRate = r.u32le();
  r.u32le();  // maximum bit rate
  const uint32_t nominal = r.u32le();
  NominalBitrate = nominal > 0x7FFFFFFF ? 0 : nominal / 1000;  // negative means unset

  // The comment header begins the second page; it may go on over further
  // pages (large comments, pictures), so its segments are gathered.
  std::vector<uint8_t> packet;
  uint64_t pos = packetPos + kIdentificationSize;
  for (int n = 0; n < kMaxCommentPages && packet.size() < kMaxCommentPacket; ++n) {
    const std::vector<uint8_t> head = file.Read(pos, kPageHeaderSize + 255);
    if (!ParseOggPageHeader(head, page) || head.size() < kPageHeaderSize + page.segments) break;
    uint64_t take = 0, pageBody = 0;
    bool complete = false;
    for (size_t i = 0; i < page.segments; ++i) {
      const uint8_t lace = head[kPageHeaderSize + i];
      pageBody += lace;
      if (!complete) {
        take += lace;
        complete = lace < 255;
      }
    }
    const uint64_t bodyPos = pos + kPageHeaderSize + page.segments;
    const std::vector<uint8_t> part =
        file.Read(bodyPos, size_t(std::min<uint64_t>(take, kMaxCommentPacket - packet.size())));
    packet.insert(packet.end(), part.begin(), part.end());
    if (complete || part.size() < take) break;
    pos = bodyPos + pageBody;
  }
  if (IsVorbisPacket(packet, 0x03)) ReadComments(packet);
  ReadSamples(file);
  return true;
}

namespace {

// The value of a comment whose name is key (ignoring case).
std::optional<std::string_view> PictureValue(std::string_view comment, std::string_view key) {
  if (comment.size() <= key.size() || comment[key.size()] != '=') return std::nullopt;
  for (size_t i = 0; i < key.size(); ++i) {
    char ch = comment[i];
    if (ch >= 'a' && ch <= 'z') ch = char(ch - 32);
    if (ch != key[i]) return std::nullopt;
  }
  return comment.substr(key.size() + 1);
}

}  // namespace

void TOggVorbis::ReadComments(ByteSpan packet) {
  ByteReader r(packet.subspan(7));
  r.skip(r.u32le());  // vendor
  const uint32_t count = r.u32le();
  std::u16string artist, performer;
  std::u16string track;
  std::vector<uint8_t> coverArt;  // legacy COVERART: the image in Base64
  std::string_view coverArtMime;
  for (uint32_t i = 0; i < std::min(count, kMaxComments) && r.ok(); ++i) {
    const uint32_t len = r.u32le();
    if (!r.ok() || len > r.remaining()) break;
    const ByteSpan c = r.bytes(len);
    // Pictures are read whole, before values are cut to their text length.
    const std::string_view whole = AsChars(c);
    if (const auto picture = PictureValue(whole, "METADATA_BLOCK_PICTURE")) {
      if (CoverData.empty()) {
        const std::vector<uint8_t> block = Base64Decode(*picture);
        if (const auto image = FlacPictureImage(block)) {
          CoverData.assign(image->data.begin(), image->data.end());
          CoverType = image->type;
        }
      }
      continue;
    }
    if (const auto picture = PictureValue(whole, "COVERART")) {
      if (coverArt.empty()) coverArt = Base64Decode(*picture);
      continue;
    }
    if (const auto mime = PictureValue(whole, "COVERARTMIME")) {
      coverArtMime = *mime;
      continue;
    }
    const std::string_view text = TrimBlanks(AsChars(c.first(std::min<size_t>(c.size(), kMaxCommentValue))));
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos) continue;
    std::string key(text.substr(0, eq));
    for (auto& ch : key)
      if (ch >= 'a' && ch <= 'z') ch = char(ch - 32);
    const std::u16string value = Utf8ToUtf16(TrimBlanks(text.substr(eq + 1)));
    if (key == "TITLE") Title = value;
    else if (key == "ARTIST") artist = value;
    else if (key == "PERFORMER") performer = value;
    else if (key == "ALBUM") Album = value;
    else if (key == "TRACKNUMBER") track = value;
    else if (key == "DATE") Date = value;
    else if (key == "GENRE") Genre = value;
    else if (key == "COMMENT") Comment = value;
    else if (key == "DESCRIPTION") Description = value;
    else if (key == "LYRICS") Lyrics = value;
  }
  if (CoverData.empty() && !coverArt.empty()) {
    CoverType = DetectImageType(coverArtMime, coverArt);
    if (CoverType != ImageType::kNone) CoverData = std::move(coverArt);
  }
  Artist = artist.empty() ? performer : artist;
  const std::u16string_view t = std::u16string_view(track).substr(0, std::u16string_view(track).find(u'/'));
  const std::string ascii(t.begin(), t.end());
  Track = ParseDecimal(TrimBlanks(std::string_view(ascii))).value_or(0);
}

void TOggVorbis::ReadSamples(platform::ReadableFile& file) {
  for (int k = 1; k <= kTailWindows; ++k) {
    const uint64_t back = kTailStep * uint64_t(k) + 10;
    const uint64_t at = FileSize > back ? FileSize - back : 0;
    const std::vector<uint8_t> w = file.Read(at, kTailWindow);
    for (size_t i = w.size() >= 4 ? w.size() - 4 + 1 : 0; i-- > 0;) {
      if (!BytesEqual(w, i, "OggS")) continue;
      OggPageHeader page;
      if (ParseOggPageHeader(file.Read(at + i, kPageHeaderSize), page)) {
        Samples = uint32_t(page.granule);
        return;
      }
    }
    if (at == 0) return;
  }
}

double TOggVorbis::Duration() const {
  if (Samples > 0 && SampleRate > 0) return double(Samples) / SampleRate;
  if (NominalBitrate != 0 && Channels != 0)
    return double(FileSize - Id3v2Size) / NominalBitrate / Channels / 125.0 * 2;
  return 0;
}

uint32_t TOggVorbis::BitRate() const {
  const double d = Duration();
  if (d <= 0) return 0;
  const double kbps = double(FileSize - Id3v2Size) / d / 125.0;
  return RoundedU32(kbps);
}

bool TOggVorbis::Valid() const {
  return (Channels == 1 || Channels == 2 || Channels == 6) && SampleRate >= 1 && Duration() > 0.1 && BitRate() != 0;
}

}  // namespace tunelet
