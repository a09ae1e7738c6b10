#include "ui/win32/options_art.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "model/player_table.h"
#include "ui/win32/paint.h"

namespace tunelet::win32 {
namespace {

// The strips of ui_resources.rc, drawn by tools/artwork/make_options_art.py:
// the pictures side by side in one 32-bit BI_RGB bitmap whose fourth byte is
// the pixel's alpha, straight (not premultiplied).
constexpr wchar_t kPlayerIcons[] = L"PLAYERICONS";
constexpr wchar_t kXStatusPictures[] = L"XSTATUSPICTURES";
constexpr wchar_t kButtonGlyphs[] = L"BUTTONGLYPHS";
constexpr int kIconSize = 32, kPictureSize = 16;
// The table's rows but the two extra foobar2000 ones, then the media session.
constexpr int kTableIconCount = kPlayerCount - 2;
constexpr int kPlayerIconCount = kTableIconCount + 1;
constexpr int kXStatusPictureCount = 35;
constexpr int kButtonGlyphCount = 2;

struct Bgra {
  uint8_t b, g, r, a;
};

// A strip as it lies in the module's resources; nothing to free.
class Strip {
 public:
  // The bitmap resource name of this module, when it is a 32-bit BI_RGB
  // bitmap of exactly width × height whose bytes are all there.
  static std::optional<Strip> Load(const wchar_t* name, int width, int height) {
    const HMODULE module = ThisModule();
    HRSRC found = ::FindResourceW(module, name, MAKEINTRESOURCEW(2));  // RT_BITMAP
    if (!found) return std::nullopt;
    const DWORD size = ::SizeofResource(module, found);
    HGLOBAL loaded = ::LoadResource(module, found);
    const auto* bytes = static_cast<const uint8_t*>(loaded ? ::LockResource(loaded) : nullptr);
    BITMAPINFOHEADER header{};
    if (!bytes || size < sizeof header) return std::nullopt;
    std::memcpy(&header, bytes, sizeof header);
    if (header.biSize < sizeof header || header.biSize > size || header.biBitCount != 32 ||
        header.biCompression != BI_RGB || header.biClrUsed != 0 || header.biWidth != width ||
        (header.biHeight != height && header.biHeight != -height))
      return std::nullopt;
    const size_t pixelBytes = size_t(width) * size_t(height) * 4;
    if (size - header.biSize < pixelBytes) return std::nullopt;
    return Strip(bytes + header.biSize, width, height, header.biHeight > 0);
  }

  // The pixel at (x, y), counted from the top left.
  Bgra At(int x, int y) const {
    const int row = bottomUp_ ? height_ - 1 - y : y;
    Bgra p;
    std::memcpy(&p, bits_ + (size_t(row) * width_ + x) * 4, 4);
    return p;
  }

 private:
  Strip(const uint8_t* bits, int width, int height, bool bottomUp)
      : bits_(bits), width_(width), height_(height), bottomUp_(bottomUp) {}
  const uint8_t* bits_;
  int width_, height_;
  bool bottomUp_;
};

// A top-down 32-bit DIB section whose pixels pixel(x, y) gives.
template <typename Pixel>
UniqueGdiObject MakeDib(int width, int height, Pixel pixel) {
  void* bits = nullptr;
  UniqueGdiObject dib = CreateDib32(width, height, &bits);
  if (!dib) return {};
  auto* out = static_cast<Bgra*>(bits);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out[size_t(y) * width + x] = pixel(x, y);
  return dib;
}

uint8_t Scale(uint8_t c, uint8_t alpha) { return uint8_t((c * alpha + 127) / 255); }
uint8_t Mix(uint8_t c, uint8_t background, uint8_t alpha) {
  return uint8_t((c * alpha + background * (255 - alpha) + 127) / 255);
}

// The place of a player's icon in its strip; -1 for ids without one.
int PlayerIconIndex(int playerId) {
  if (playerId == kMediaSession) return kTableIconCount;
  if (playerId < 0 || playerId >= kPlayerCount || playerId == kFoobar2000Alt1 || playerId == kFoobar2000Alt2)
    return -1;
  return playerId < kFoobar2000Alt1 ? playerId : playerId - 2;
}

// A monochrome mask of the strip for image lists drawn without alpha: 1
// where a pixel is more transparent than opaque. Rows are WORD-aligned.
UniqueGdiObject MaskOf(const Strip& strip, int width, int height) {
  const int stride = (width + 15) / 16 * 2;
  std::vector<uint8_t> bits(size_t(stride) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (strip.At(x, y).a < 128) bits[size_t(y) * stride + x / 8] |= uint8_t(0x80 >> (x % 8));
  return UniqueGdiObject(::CreateBitmap(width, height, 1, 1, bits.data()));
}

}  // namespace

// Premultiplied, as AlphaBlend with AC_SRC_ALPHA wants it.
UniqueGdiObject PlayerIconBitmap(int playerId) {
  const int index = PlayerIconIndex(playerId);
  if (index < 0) return {};
  const auto strip = Strip::Load(kPlayerIcons, kIconSize * kPlayerIconCount, kIconSize);
  if (!strip) return {};
  return MakeDib(kIconSize, kIconSize, [&](int x, int y) {
    const Bgra p = strip->At(index * kIconSize + x, y);
    return Bgra{Scale(p.b, p.a), Scale(p.g, p.a), Scale(p.r, p.a), p.a};
  });
}

// Straight alpha for the version-6 image list, which blends it itself, and a
// mask for one that cannot.
UniqueImageList XStatusImageList() {
  constexpr int width = kPictureSize * kXStatusPictureCount;
  const auto strip = Strip::Load(kXStatusPictures, width, kPictureSize);
  if (!strip) return {};
  const UniqueGdiObject colour = MakeDib(width, kPictureSize, [&](int x, int y) { return strip->At(x, y); });
  const UniqueGdiObject mask = MaskOf(*strip, width, kPictureSize);
  if (!colour || !mask) return {};
  UniqueImageList list(
      ::ImageList_Create(kPictureSize, kPictureSize, ILC_COLOR32 | ILC_MASK, kXStatusPictureCount, 0));
  if (!list) return {};
  // The image list copies the pictures; both bitmaps go when this returns.
  if (::ImageList_Add(list.get(), static_cast<HBITMAP>(colour.get()), static_cast<HBITMAP>(mask.get())) < 0 ||
      ::ImageList_GetImageCount(list.get()) != kXStatusPictureCount)
    return {};
  return list;
}

// Already laid on the button face colour, opaque: a button draws a
// BM_SETIMAGE bitmap as it stands on some systems and blends it on others.
UniqueGdiObject ButtonGlyphBitmap(ButtonGlyph glyph) {
  const int index = glyph == ButtonGlyph::Language ? 0 : 1;
  const auto strip = Strip::Load(kButtonGlyphs, kPictureSize * kButtonGlyphCount, kPictureSize);
  if (!strip) return {};
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  return MakeDib(kPictureSize, kPictureSize, [&](int x, int y) {
    const Bgra p = strip->At(index * kPictureSize + x, y);
    return Bgra{Mix(p.b, GetBValue(face), p.a), Mix(p.g, GetGValue(face), p.a), Mix(p.r, GetRValue(face), p.a), 255};
  });
}

}  // namespace tunelet::win32
