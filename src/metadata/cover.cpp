#include "metadata/cover.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "model/settings.h"
#include "platform/platform.h"

namespace tunelet {

namespace {

// Names tried per cover before giving up (each costs one failed open).
constexpr unsigned kMaxCoverNameAttempts = 64;

// Temporary cover files this process created and has not deleted yet; only
// these are ever deleted. The poll worker writes covers while the host's
// thread may clean up: the list is touched under its lock only.
std::vector<std::u16string>& WrittenCovers() {
  static std::vector<std::u16string> files;
  return files;
}

std::mutex& WrittenCoversLock() {
  static std::mutex lock;
  return lock;
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

std::u16string CoverPath(std::u16string_view prefix, unsigned number, ImageType type) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "%x", number & 0xFFFFu);
  std::u16string path = platform::TempFolder();
  path += prefix;
  for (const char* p = hex; *p; ++p) path.push_back(char16_t(*p));
  path += u'.';
  path += ImageExtension(type);
  return path;
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
  // The temporary-file-name scheme: prefix and a 16-bit number in hex, the
  // tick count first. A name already taken (by another program, another copy
  // of the plug-in or an earlier cover still open) is left alone and the next
  // number is tried.
  const unsigned first = platform::TickCount();
  for (unsigned attempt = 0; attempt < kMaxCoverNameAttempts; ++attempt) {
    std::u16string path = CoverPath(prefix, first + attempt, type);
    switch (platform::CreateNewFile(path, data.data(), data.size())) {
      case platform::CreateResult::kCreated: {
        const std::lock_guard<std::mutex> held(WrittenCoversLock());
        WrittenCovers().push_back(path);
        return path;
      }
      case platform::CreateResult::kExists:
        continue;
      case platform::CreateResult::kFailed:
        return std::nullopt;
    }
  }
  return std::nullopt;
}

void DeleteTemporaryCovers() {
  const std::lock_guard<std::mutex> held(WrittenCoversLock());
  auto& files = WrittenCovers();
  // A file still open elsewhere (a picture shown right now) stays listed and
  // is tried again on the next clean-up. The record forgets a cover whose
  // file is gone, so nothing shows a path that no longer exists.
  OptText& shown = Track().CoverFile;
  std::erase_if(files, [&](const std::u16string& p) {
    const bool gone = platform::DeleteFileAt(p) || !platform::FileExists(p);
    if (gone && shown && *shown == p) shown.reset();
    return gone;
  });
}

std::vector<std::u16string> TemporaryCoverFiles() {
  const std::lock_guard<std::mutex> held(WrittenCoversLock());
  return WrittenCovers();
}

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
