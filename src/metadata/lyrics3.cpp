#include "metadata/lyrics3.h"

#include "metadata/entry_common.h"
#include "metadata/tag_text.h"

namespace tunelet {

namespace {

constexpr size_t kMarkerSize = 9;              // "LYRICS200" / "LYRICSEND"
constexpr size_t kSizeDigits = 6;              // block size before "LYRICS200"
constexpr size_t kMaxLyrics3v1Bytes = 5100;    // a version 1 block is at most this long
constexpr size_t kLyrics3v1SearchSpan = 5090;  // where its "LYRICSBEGIN" may start
constexpr size_t kMaxFieldValue = 250;         // album, artist, title values
constexpr std::string_view kBegin = "LYRICSBEGIN";

void ReadVersion2Fields(ByteSpan fields, TrackInfo& info) {
  ByteReader r(fields);
  while (r.remaining() >= 8) {
    const std::string_view id = AsChars(r.bytes(3));
    const auto len = ParseDecimal(AsChars(r.bytes(5)));
    if (!len || *len > r.remaining()) return;
    const ByteSpan value = r.bytes(*len);
    auto fill = [&](OptText& field) {
      if (!field) SetText(field, AnsiToUtf16(CutAtNul(AsChars(value.first(std::min(value.size(), kMaxFieldValue))))));
    };
    if (id == "EAL") fill(info.Album);
    else if (id == "EAR") fill(info.Artist);
    else if (id == "ETT") fill(info.Title);
    else if (id == "LYR" && !info.Lyrics) SetText(info.Lyrics, Lyrics3Text(value));
  }
}

}  // namespace

std::u16string Lyrics3Text(ByteSpan value) {
  const bool bom = value.size() >= 2 && ((value[0] == 0xFF && value[1] == 0xFE) || (value[0] == 0xFE && value[1] == 0xFF));
  return bom ? DecodeUtf16(value) : AnsiToUtf16(CutAtNul(AsChars(value)));
}

void ReadLyrics3Tag(platform::ReadableFile& file, uint64_t markerPosition, TrackInfo& info) {
  const std::vector<uint8_t> marker = file.Read(markerPosition, kMarkerSize);
  if (BytesEqual(marker, 0, "LYRICS200")) {
    if (markerPosition < kSizeDigits) return;
    const uint64_t sizePos = markerPosition - kSizeDigits;
    const auto blockSize = ParseDecimal(AsChars(file.Read(sizePos, kSizeDigits)));
    if (!blockSize || *blockSize > sizePos) return;
    const std::vector<uint8_t> block = file.Read(sizePos - *blockSize, *blockSize);
    if (block.size() == *blockSize && BytesEqual(block, 0, kBegin))
      ReadVersion2Fields(ByteSpan(block).subspan(kBegin.size()), info);
  } else if (BytesEqual(marker, 0, "LYRICSEND")) {
    if (info.Lyrics) return;
    const uint64_t from = markerPosition > kMaxLyrics3v1Bytes ? markerPosition - kMaxLyrics3v1Bytes : 0;
    const std::vector<uint8_t> area = file.Read(from, size_t(markerPosition - from));
    const std::string_view text = AsChars(area);
    const size_t begin = text.find(kBegin);
    if (begin == std::string_view::npos || begin >= kLyrics3v1SearchSpan) return;
    SetText(info.Lyrics, AnsiToUtf16(CutAtNul(text.substr(begin + kBegin.size()))));
  }
}

}  // namespace tunelet
