#include "metadata/cover.h"

#include <algorithm>
#include <cstdio>

#include "platform/platform.h"

namespace tunelet {

namespace {

// Temporary cover files this process wrote and has not deleted yet.
std::vector<std::u16string>& WrittenCovers() {
  static std::vector<std::u16string> files;
  return files;
}

template <typename Char>
bool MimeIs(std::basic_string_view<Char> mime, std::string_view want) {
  if (mime.size() != want.size()) return false;
  for (size_t i = 0; i < want.size(); ++i) {
    uint32_t c = uint32_t(mime[i]);
    if (c >= 'A' && c <= 'Z') c += 32;
    if (c != uint8_t(want[i])) return false;
  }
  return true;
}

template <typename Char>
ImageType FromMime(std::basic_string_view<Char> mime) {
  if (MimeIs(mime, "image/gif")) return ImageType::kGif;
  if (MimeIs(mime, "image/jpg") || MimeIs(mime, "image/jpeg")) return ImageType::kJpg;
  if (MimeIs(mime, "image/png")) return ImageType::kPng;
  if (MimeIs(mime, "image/bmp")) return ImageType::kBmp;
  return ImageType::kNone;
}

}  // namespace

ImageType ImageTypeFromData(ByteSpan d) {
  if (d.size() >= 4 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF && (d[3] & 0xF0) == 0xE0) return ImageType::kJpg;
  if (BytesEqual(d, 0, "GIF8")) return ImageType::kGif;
  if (d.size() >= 4 && d[0] == 0x89 && BytesEqual(d, 1, "PNG")) return ImageType::kPng;
  if (BytesEqual(d, 0, "BM")) return ImageType::kBmp;
  return ImageType::kNone;
}

ImageType DetectImageType(std::string_view mime, ByteSpan data) {
  const ImageType t = FromMime(mime);
  return t != ImageType::kNone ? t : ImageTypeFromData(data);
}

ImageType DetectImageType(std::u16string_view mime, ByteSpan data) {
  const ImageType t = FromMime(mime);
  return t != ImageType::kNone ? t : ImageTypeFromData(data);
}

std::u16string_view ImageExtension(ImageType type) {
  switch (type) {
    case ImageType::kJpg: return u"JPG";
    case ImageType::kPng: return u"PNG";
    case ImageType::kGif: return u"GIF";
    case ImageType::kBmp: return u"BMP";
    default: return {};
  }
}

OptText SaveCoverImage(ByteSpan data, ImageType type, std::u16string_view prefix) {
  if (type == ImageType::kNone || data.empty()) return std::nullopt;
  // The temporary-file-name scheme: prefix and a 16-bit unique number in hex.
  char hex[8];
  std::snprintf(hex, sizeof hex, "%x", unsigned(platform::TickCount() & 0xFFFF));
  std::u16string path = platform::TempFolder();
  path += prefix;
  for (const char* p = hex; *p; ++p) path.push_back(char16_t(*p));
  path += u'.';
  path += ImageExtension(type);
  if (!platform::WriteNewFile(path, data.data(), data.size())) return std::nullopt;
  auto& files = WrittenCovers();
  if (std::find(files.begin(), files.end(), path) == files.end()) files.push_back(path);
  return path;
}

void DeleteTemporaryCovers() {
  auto& files = WrittenCovers();
  // A file still open elsewhere (a picture shown right now) stays listed and
  // is tried again on the next clean-up.
  std::erase_if(files, [](const std::u16string& p) {
    return platform::DeleteFileAt(p) || !platform::FileExists(p);
  });
}

const std::vector<std::u16string>& TemporaryCoverFiles() { return WrittenCovers(); }

std::vector<uint8_t> Base64Decode(std::string_view text) {
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  std::vector<uint8_t> out;
  out.reserve(text.size() / 4 * 3);
  uint32_t acc = 0;
  int bits = 0;
  for (char c : text) {
    const int v = value(c);
    if (v < 0) break;  // padding or a foreign character ends the data
    acc = (acc << 6) | uint32_t(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(uint8_t(acc >> bits));
      acc &= (1u << bits) - 1;
    }
  }
  return out;
}

}  // namespace tunelet
