#include "ui/win32/cover_picture.h"

#include <gdiplus.h>

#include <memory>

#include "metadata/picture_size.h"
#include "platform/win32/unique_handle.h"

namespace tunelet::win32 {

namespace {

namespace gp = Gdiplus::DllExports;

constexpr wchar_t kPlaceholderResource[] = L"NOCOVER";

unsigned imageFilesLoaded = 0;

struct ImageDeleter {
  void operator()(Gdiplus::GpImage* p) const { gp::GdipDisposeImage(p); }
};
struct GraphicsDeleter {
  void operator()(Gdiplus::GpGraphics* p) const { gp::GdipDeleteGraphics(p); }
};
struct AttributesDeleter {
  void operator()(Gdiplus::GpImageAttributes* p) const { gp::GdipDisposeImageAttributes(p); }
};
using UniqueImage = std::unique_ptr<Gdiplus::GpImage, ImageDeleter>;
using UniqueAttributes = std::unique_ptr<Gdiplus::GpImageAttributes, AttributesDeleter>;
using UniqueGraphics = std::unique_ptr<Gdiplus::GpGraphics, GraphicsDeleter>;

}  // namespace

GdiplusSession::~GdiplusSession() {
  if (token_) Gdiplus::GdiplusShutdown(token_);
}

bool GdiplusSession::Ensure() {
  if (token_) return true;
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
  token_ = token;
  return true;
}

bool DrawImageFileStretched(HDC dc, const std::u16string& path, int width, int height) {
  if (!CoverFileAllowed(path)) return false;
  Gdiplus::GpGraphics* rawGraphics = nullptr;
  if (gp::GdipCreateFromHDC(dc, &rawGraphics) != Gdiplus::Ok) return false;
  const UniqueGraphics graphics(rawGraphics);
  gp::GdipSetSmoothingMode(graphics.get(), Gdiplus::SmoothingModeHighQuality);
  gp::GdipSetInterpolationMode(graphics.get(), Gdiplus::InterpolationModeHighQualityBicubic);
  gp::GdipSetPixelOffsetMode(graphics.get(), Gdiplus::PixelOffsetModeHighQuality);
  Gdiplus::GpImage* rawImage = nullptr;
  ++imageFilesLoaded;
  if (gp::GdipLoadImageFromFile(W(path.c_str()), &rawImage) != Gdiplus::Ok) return false;
  const UniqueImage image(rawImage);
  UINT imageWidth = 0, imageHeight = 0;
  if (gp::GdipGetImageWidth(image.get(), &imageWidth) != Gdiplus::Ok ||
      gp::GdipGetImageHeight(image.get(), &imageHeight) != Gdiplus::Ok || !imageWidth || !imageHeight)
    return false;
  // Mirrored beyond its edges, so that the scaling filter does not blend the
  // outer pixels with the transparent nothing around the picture.
  Gdiplus::GpImageAttributes* rawAttributes = nullptr;
  if (gp::GdipCreateImageAttributes(&rawAttributes) != Gdiplus::Ok) return false;
  const UniqueAttributes attributes(rawAttributes);
  gp::GdipSetImageAttributesWrapMode(attributes.get(), Gdiplus::WrapModeTileFlipXY, 0, FALSE);
  return gp::GdipDrawImageRectRectI(graphics.get(), image.get(), 0, 0, width, height, 0, 0, INT(imageWidth),
                                    INT(imageHeight), Gdiplus::UnitPixel, attributes.get(), nullptr,
                                    nullptr) == Gdiplus::Ok;
}

unsigned ImageFilesLoaded() { return imageFilesLoaded; }

bool DrawPlaceholderCover(HDC dc) {
  // From the module this code is linked into (the DLL), not the host's.
  const UniqueGdiObject bitmap(::LoadImageW(ThisModule(), kPlaceholderResource, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!bitmap) return false;
  BITMAP info{};
  if (!::GetObjectW(bitmap.get(), sizeof(info), &info)) return false;
  const UniqueMemoryDc source(::CreateCompatibleDC(dc));
  if (!source) return false;
  const HGDIOBJ old = ::SelectObject(source.get(), bitmap.get());
  const bool drawn = ::BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY) != FALSE;
  ::SelectObject(source.get(), old);
  return drawn;
}

}  // namespace tunelet::win32
