#include "core/win32/composition.h"

#include <windows.h>
#include <gdiplus.h>

#include "players/win32/dll_player_access.h"

namespace tunelet::win32 {

namespace {
// GDI+ must not start or stop under the loader lock, so it starts with the
// first plug-in object and stops when the last one is gone.
ULONG_PTR gGdiplusToken = 0;
int gObjects = 0;
}

Subsystems MakeSubsystems(IHost& host) {
  Subsystems s;
  s.players = &DllPlayerAccess();
  return WithDefaults(s);
}

void PluginObjectCreated() {
  if (gObjects++ == 0 && !gGdiplusToken) {
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&gGdiplusToken, &input, nullptr) != Gdiplus::Ok) gGdiplusToken = 0;
  }
}

void PluginObjectDestroyed() {
  if (--gObjects == 0 && gGdiplusToken) {
    Gdiplus::GdiplusShutdown(gGdiplusToken);
    gGdiplusToken = 0;
  }
}

}  // namespace tunelet::win32
