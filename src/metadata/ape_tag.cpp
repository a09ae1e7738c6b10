#include "metadata/ape_tag.h"

#include <algorithm>
#include <optional>

#include "metadata/cover.h"
#include "metadata/entry_common.h"
#include "metadata/id3v1.h"
#include "metadata/tag_text.h"

namespace tunelet {

namespace {

// Footer: "APETAGEX", version, tag size (items + footer), item count, flags,
// 8 reserved bytes; all little-endian.
struct ApeFooter {
  uint32_t version = 0, size = 0, count = 0, flags = 0;
  uint64_t position = 0;  // where the footer starts
  bool isHeader() const { return flags & (1u << 29); }
};

constexpr size_t kMaxApeTagBytes = 16u << 20;  // covers included
constexpr uint32_t kMaxApeItems = 1000;
constexpr size_t kMaxClassValue = 250;         // the tag class keeps this much of a value
constexpr size_t kItemHeaderSize = 8;          // value length, item flags

// Reads the footer at the end of the file or before an ID3v1 tag.
bool ReadFooter(platform::ReadableFile& file, ApeFooter& f) {
  const uint64_t end = file.Size() - Id3v1Length(file);
  if (end < kApeFooterSize) return false;
  f.position = end - kApeFooterSize;
  const std::vector<uint8_t> b = file.Read(f.position, kApeFooterSize);
  if (b.size() != kApeFooterSize || !BytesEqual(b, 0, "APETAGEX")) return false;
  f.version = LoadU32le(b, 8);
  f.size = LoadU32le(b, 12);
  f.count = LoadU32le(b, 16);
  f.flags = LoadU32le(b, 20);
  return true;
}

// The items' bytes: (size - 32) bytes ending at the footer.
std::vector<uint8_t> ReadItems(platform::ReadableFile& file, const ApeFooter& f) {
  if (f.size < kApeFooterSize || f.size - kApeFooterSize > f.position) return {};
  const uint64_t n = std::min<uint64_t>(f.size - kApeFooterSize, kMaxApeTagBytes);
  return file.Read(f.position - (f.size - kApeFooterSize), size_t(n));
}

struct ApeItem {
  std::string_view key;
  ByteSpan value;
};

// Walks at most count items inside the bytes: value length, flags, key up to
// its NUL, value.
template <typename Fn>
void ForEachItem(ByteSpan items, uint32_t count, Fn&& fn) {
  ByteReader r(items);
  for (uint32_t i = 0; i < std::min(count, kMaxApeItems); ++i) {
    const uint32_t len = r.u32le();
    r.u32le();  // item flags are not interpreted
    if (!r.ok()) return;
    const ByteSpan rest = r.data().subspan(r.pos());
    const size_t nul = AsChars(rest).find('\0');
    if (nul == std::string_view::npos) return;
    const std::string_view key = AsChars(r.bytes(nul));
    r.skip(1);
    if (len > r.remaining()) return;
    fn(ApeItem{key, r.bytes(len)});
  }
}

bool KeyIs(std::string_view key, std::u16string_view want) { return EqualsIgnoreCase(AsciiToUtf16(key), want); }

bool IsCoverKey(std::string_view key) {
  return KeyIs(key, u"Cover Art (Front)") || KeyIs(key, u"Cover Art (Back)") || KeyIs(key, u"APIC");
}

// A cover item's value: a NUL-terminated description, then the image.
std::optional<ByteSpan> CoverImage(ByteSpan value) {
  const size_t nul = AsChars(value).find('\0');
  if (nul == std::string_view::npos) return std::nullopt;
  return value.subspan(nul + 1);
}

}  // namespace

bool TAPETag::LoadFromFile(std::u16string_view path) {
  *this = TAPETag{};
  auto file = platform::OpenForRead(path);
  return file && LoadFromFile(*file);
}

bool TAPETag::LoadFromFile(platform::ReadableFile& file) {
  *this = TAPETag{};
  ApeFooter f;
  if (!ReadFooter(file, f)) return true;
  Exists = true;
  Version = f.version;
  Size = f.size;
  const std::vector<uint8_t> items = ReadItems(file, f);
  ForEachItem(items, f.count, [&](const ApeItem& item) {
    if (Cover.empty() && IsCoverKey(item.key)) {
      if (const auto image = CoverImage(item.value)) Cover.assign(image->begin(), image->end());
    }
    const ByteSpan v = item.value.first(std::min(item.value.size(), kMaxClassValue));
    Items.emplace_back(std::string(TrimBlanks(item.key)), std::string(TrimBlanks(CutAtNul(AsChars(v)))));
  });
  return true;
}

std::string TAPETag::GetItem(std::string_view key) const {
  for (const auto& [k, v] : Items)
    if (KeyIs(k, AsciiToUtf16(key))) return v;
  return {};
}

bool ReadApeTag(platform::ReadableFile& file, TrackInfo& info) {
  ApeFooter f;
  if (!ReadFooter(file, f) || f.isHeader()) return false;
  const std::vector<uint8_t> items = ReadItems(file, f);
  const bool utf8 = f.version > 1000;
  ForEachItem(items, f.count, [&](const ApeItem& item) {
    auto text = [&] {
      const std::string_view v = CutAtNul(AsChars(item.value));
      return utf8 ? Utf8ToUtf16(v) : AnsiToUtf16(v);
    };
    auto fill = [&](OptText& field) {
      if (!field) SetText(field, text());
    };
    if (KeyIs(item.key, u"TITLE")) fill(info.Title);
    else if (KeyIs(item.key, u"ARTIST")) fill(info.Artist);
    else if (KeyIs(item.key, u"ALBUM")) fill(info.Album);
    else if (KeyIs(item.key, u"COMMENT")) fill(info.Comment);
    else if (KeyIs(item.key, u"GENRE")) fill(info.Genre);
    else if (KeyIs(item.key, u"YEAR")) fill(info.Year);
    else if (KeyIs(item.key, u"LYRICS")) fill(info.Lyrics);
    else if (KeyIs(item.key, u"TRACK")) info.TrackNumber = LeadingDigits(AsChars(item.value));
    else if (!info.CoverFile && IsCoverKey(item.key)) {
      if (const auto image = CoverImage(item.value))
        info.CoverFile = SaveCoverImage(*image, ImageTypeFromData(*image), u"cover");
    }
  });
  return true;
}

}  // namespace tunelet
