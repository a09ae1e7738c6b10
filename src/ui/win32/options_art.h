// The options dialog's pictures: the player buttons' icons, the X-status
// pictures of the two picture lists and the glyphs of the small buttons.
// Original artwork of this project, drawn by tools/artwork and linked into
// the module as resources (tunelet_ui_resources).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "platform/win32/unique_handle.h"

namespace tunelet::win32 {

struct ImageListTraits {
  using Type = HIMAGELIST;
  static HIMAGELIST Invalid() { return nullptr; }
  static void Close(HIMAGELIST h) { ::ImageList_Destroy(h); }
};
using UniqueImageList = UniqueHandle<ImageListTraits>;

// The 32 × 32 icon beside a player's radio button (a 32-bit DIB section with
// premultiplied alpha, for AlphaBlend or a static's SS_BITMAP); empty for ids
// without one.
UniqueGdiObject PlayerIconBitmap(int playerId);

// The 35 X-status pictures, 16 × 16, at index picture number − 1.
UniqueImageList XStatusImageList();

enum class ButtonGlyph { Language, HomePage };
// The glyph of langbutton or hpbutton (BM_SETIMAGE, IMAGE_BITMAP), 16 × 16.
UniqueGdiObject ButtonGlyphBitmap(ButtonGlyph glyph);

}  // namespace tunelet::win32
