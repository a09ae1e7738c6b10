#include "ui/win32/paint.h"

namespace tunelet::win32 {

UniqueGdiObject CreateDib32(int width, int height, void** bits) {
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = -height;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  UniqueGdiObject dib(::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &pixels, nullptr, 0));
  if (!pixels) dib.reset();
  if (bits) *bits = dib ? pixels : nullptr;
  return dib;
}

COLORREF Blend(COLORREF from, COLORREF to, int step, int steps) {
  auto mix = [&](int a, int b) { return a + (b - a) * step / (steps > 1 ? steps - 1 : 1); };
  return RGB(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
             mix(GetBValue(from), GetBValue(to)));
}

void FillSolid(HDC dc, const RECT& r, COLORREF colour) {
  ::SetBkColor(dc, colour);
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void FrameSolid(HDC dc, const RECT& r, COLORREF colour) {
  FillSolid(dc, {r.left, r.top, r.right, r.top + 1}, colour);
  FillSolid(dc, {r.left, r.bottom - 1, r.right, r.bottom}, colour);
  FillSolid(dc, {r.left, r.top, r.left + 1, r.bottom}, colour);
  FillSolid(dc, {r.right - 1, r.top, r.right, r.bottom}, colour);
}

void FillVerticalGradient(HDC dc, const RECT& r, COLORREF from, COLORREF to) {
  for (int y = r.top; y < r.bottom; ++y)
    FillSolid(dc, {r.left, y, r.right, y + 1}, Blend(from, to, y - r.top, r.bottom - r.top));
}

}  // namespace tunelet::win32
