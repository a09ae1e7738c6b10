// Drawing cover pictures into QuickInfo's cover canvas: image files through
// GDI+ (flat API), the built-in NOCOVER bitmap through GDI. Every GDI+
// object lives only as long as the call that made it.
#pragma once

#include <windows.h>

#include <string>

namespace tunelet::win32 {

// GDI+ for this DLL's drawing. Started on first use, on the thread that
// draws (never from DllMain, where the loader lock is held and GDI+ would
// start a thread), and shut down with the owner.
class GdiplusSession {
 public:
  GdiplusSession() = default;
  ~GdiplusSession();
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  // False when GDI+ cannot be started.
  bool Ensure();

 private:
  ULONG_PTR token_ = 0;
};

// Loads the image file and draws it stretched to width x height at (0, 0) of
// dc (the aspect ratio is not kept), with high-quality smoothing and
// filtering; false when the file cannot be loaded or drawn (nothing is
// drawn then). Drawn straight from the picture rather than through a GDI+
// thumbnail, which may be a JPEG's small embedded preview and blends its
// edges with the transparent border. GDI+ never sees a file whose header is
// not a known picture format within the cover limit
// (metadata/picture_size.h): the size a header claims is what decoding
// costs, whatever the file's length.
bool DrawImageFileStretched(HDC dc, const std::u16string& path, int width, int height);
// Image files handed to GDI+ to load so far (for tests).
unsigned ImageFilesLoaded();
// Draws the NOCOVER bitmap of this module's resources at (0, 0) of dc;
// false when it is missing.
bool DrawPlaceholderCover(HDC dc);

}  // namespace tunelet::win32
