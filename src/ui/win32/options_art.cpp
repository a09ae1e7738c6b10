#include "ui/win32/options_art.h"

// Stand-ins until the artwork lands: no pictures.
namespace tunelet::win32 {
UniqueGdiObject PlayerIconBitmap(int) { return {}; }
UniqueImageList XStatusImageList() { return {}; }
UniqueGdiObject ButtonGlyphBitmap(ButtonGlyph) { return {}; }
}  // namespace tunelet::win32
