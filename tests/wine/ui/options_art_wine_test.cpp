// The options dialog's pictures from this module's resources: each player
// icon, X-status picture and button glyph there, of its size, not blank, cut
// from its own place of the strip, drawn with its transparency; and loading
// and freeing them leaves no GDI object behind.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

#include "gui_objects.h"
#include "host_test_support.h"
#include "model/player_table.h"
#include "ui/win32/options_art.h"
#include "ui/win32/paint.h"

namespace {

using namespace tunelet::win32;

constexpr int kXStatusPictureCount = 35;

bool HasIcon(int id) { return id != tunelet::kFoobar2000Alt1 && id != tunelet::kFoobar2000Alt2; }

// A 32-bit pixel as it lies in a DIB: blue in the low byte, alpha in the high one.
using Pixel = uint32_t;
int Alpha(Pixel p) { return int(p >> 24); }
Pixel Colour(Pixel p) { return p & 0xFFFFFF; }
Pixel ColourOf(COLORREF c) { return Pixel(GetRValue(c)) << 16 | Pixel(GetGValue(c)) << 8 | GetBValue(c); }
bool Premultiplied(Pixel p) {
  const int a = Alpha(p);
  return int(p >> 16 & 0xFF) <= a && int(p >> 8 & 0xFF) <= a && int(p & 0xFF) <= a;
}

// The pixels of a 32-bit DIB section, top row first; empty when it is not one
// of size × size.
std::vector<Pixel> PixelsOf(HGDIOBJ bitmap, int size) {
  DIBSECTION ds{};
  if (::GetObjectW(bitmap, sizeof ds, &ds) != sizeof ds || ds.dsBm.bmWidth != size || ds.dsBm.bmHeight != size ||
      ds.dsBm.bmBitsPixel != 32 || !ds.dsBm.bmBits)
    return {};
  const auto* bits = static_cast<const Pixel*>(ds.dsBm.bmBits);
  std::vector<Pixel> pixels(bits, bits + size * size);
  if (ds.dsBmih.biHeight > 0)  // bottom-up
    for (int y = 0; y < size / 2; ++y)
      std::swap_ranges(pixels.begin() + y * size, pixels.begin() + (y + 1) * size,
                       pixels.begin() + (size - 1 - y) * size);
  return pixels;
}

size_t DistinctColours(const std::vector<Pixel>& pixels) {
  std::set<Pixel> seen;
  for (Pixel p : pixels) seen.insert(Colour(p));
  return seen.size();
}

// Picture i of the list as ImageList_Draw puts it on a 16 × 16 background.
std::vector<Pixel> DrawnOn(HIMAGELIST list, int i, COLORREF background) {
  const UniqueGdiObject canvas = CreateDib32(16, 16);
  const UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  const UniqueGdiObject brush(::CreateSolidBrush(background));
  if (!canvas || !dc || !brush) return {};
  const HGDIOBJ old = ::SelectObject(dc.get(), canvas.get());
  const RECT all{0, 0, 16, 16};
  ::FillRect(dc.get(), &all, static_cast<HBRUSH>(brush.get()));
  ::ImageList_Draw(list, i, dc.get(), 0, 0, ILD_NORMAL);
  ::GdiFlush();
  ::SelectObject(dc.get(), old);
  return PixelsOf(canvas.get(), 16);
}

TEST(OptionsArt, EachPlayerWithAButtonHasItsOwnPremultipliedIconOnARoundedTile) {
  std::set<std::vector<Pixel>> icons;
  for (int id = 0; id <= tunelet::kMediaSession; ++id) {
    const UniqueGdiObject icon = PlayerIconBitmap(id);
    if (!HasIcon(id)) {
      EXPECT_FALSE(icon) << "player " << id;
      continue;
    }
    const std::vector<Pixel> pixels = PixelsOf(icon.get(), 32);
    ASSERT_EQ(pixels.size(), 32u * 32u) << "player " << id;
    EXPECT_EQ(Alpha(pixels[0]), 0) << "player " << id << ": the tile's corner is transparent";
    EXPECT_EQ(Alpha(pixels[16 * 32 + 2]), 255) << "player " << id;
    EXPECT_GT(DistinctColours(pixels), 8u) << "player " << id;
    for (Pixel p : pixels) ASSERT_TRUE(Premultiplied(p)) << "player " << id;
    icons.insert(pixels);
  }
  EXPECT_EQ(icons.size(), 20u);  // each cut from its own place
  EXPECT_FALSE(PlayerIconBitmap(-1));
  EXPECT_FALSE(PlayerIconBitmap(tunelet::kMediaSession + 1));
}

TEST(OptionsArt, TheThirtyFiveXStatusPicturesDrawDistinctAndTransparentOnWhiteAndTheButtonFace) {
  const UniqueImageList list = XStatusImageList();
  ASSERT_TRUE(list);
  ASSERT_EQ(::ImageList_GetImageCount(list.get()), kXStatusPictureCount);
  int cx = 0, cy = 0;
  ASSERT_TRUE(::ImageList_GetIconSize(list.get(), &cx, &cy));
  EXPECT_EQ(cx, 16);
  EXPECT_EQ(cy, 16);
  for (const COLORREF background : {RGB(255, 255, 255), ::GetSysColor(COLOR_BTNFACE)}) {
    std::set<std::vector<Pixel>> seen;
    for (int i = 0; i < kXStatusPictureCount; ++i) {
      std::vector<Pixel> drawn = DrawnOn(list.get(), i, background);
      ASSERT_EQ(drawn.size(), 256u);
      int untouched = 0;
      for (Pixel& p : drawn) untouched += (p = Colour(p)) == ColourOf(background);
      EXPECT_GE(untouched, 10) << "picture " << i + 1 << " hides its background";
      EXPECT_GE(256 - untouched, 40) << "picture " << i + 1 << " is blank";
      seen.insert(drawn);
    }
    EXPECT_EQ(seen.size(), size_t(kXStatusPictureCount));
  }
}

TEST(OptionsArt, ButtonGlyphsAreOpaqueOnTheButtonFace) {
  std::set<std::vector<Pixel>> glyphs;
  for (const ButtonGlyph glyph : {ButtonGlyph::Language, ButtonGlyph::HomePage}) {
    const UniqueGdiObject bitmap = ButtonGlyphBitmap(glyph);
    const std::vector<Pixel> pixels = PixelsOf(bitmap.get(), 16);
    ASSERT_EQ(pixels.size(), 256u);
    EXPECT_EQ(Colour(pixels[255]), ColourOf(::GetSysColor(COLOR_BTNFACE)));
    EXPECT_GT(DistinctColours(pixels), 4u);
    for (Pixel p : pixels) ASSERT_EQ(Alpha(p), 255);
    glyphs.insert(pixels);
  }
  EXPECT_EQ(glyphs.size(), 2u);
}

TEST(OptionsArt, LoadingAndFreeingThemFiftyTimesLeavesNoGdiObject) {
  const auto loadAll = [] {
    std::vector<UniqueGdiObject> bitmaps;
    for (int id = 0; id <= tunelet::kMediaSession; ++id)
      if (HasIcon(id)) bitmaps.push_back(PlayerIconBitmap(id));
    bitmaps.push_back(ButtonGlyphBitmap(ButtonGlyph::Language));
    bitmaps.push_back(ButtonGlyphBitmap(ButtonGlyph::HomePage));
    const UniqueImageList list = XStatusImageList();
    int live = list ? 1 : 0;
    for (const UniqueGdiObject& b : bitmaps) live += ::GetObjectType(b.get()) == OBJ_BITMAP;
    return live;
  };
  // 20 icons, 2 glyphs, the list.
  EXPECT_EQ(loadAll(), 23);  // the first load may warm up what the system keeps
  const DWORD reported = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  const auto before = gui_objects::CountGdiHandles();
  ASSERT_GT(before[gui_objects::kGdiDc], 0) << "no GDI handle table in the PEB";
  for (int i = 0; i < 50; ++i) ASSERT_EQ(loadAll(), 23);
  EXPECT_EQ(gui_objects::CountGdiHandles(), before);
  EXPECT_EQ(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), reported);
}

}  // namespace
