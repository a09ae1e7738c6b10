#include "gui_objects.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace host_test {

namespace {

const char* const kGdiTypeNames[32] = {nullptr, "DC", nullptr, nullptr, "region", "bitmap", nullptr, nullptr,
                                       "palette", "colour space", "font", nullptr, nullptr, nullptr, nullptr, nullptr,
                                       "brush", nullptr, nullptr, nullptr, nullptr, "enhanced metafile", nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "pen", nullptr};
constexpr int kCachedDcsPerOpenWindow = 2;

BOOL CALLBACK CountChild(HWND, LPARAM n) {
  ++*reinterpret_cast<int*>(n);
  return TRUE;
}
BOOL CALLBACK CountOwnWindow(HWND w, LPARAM n) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(w, &pid);
  if (pid != ::GetCurrentProcessId()) return TRUE;
  ++*reinterpret_cast<int*>(n);
  ::EnumChildWindows(w, CountChild, n);
  return TRUE;
}
int CountWindowsOfProcess() {
  int n = 0;
  ::EnumWindows(CountOwnWindow, LPARAM(&n));
  for (HWND w = nullptr; (w = ::FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr)) != nullptr;)
    CountOwnWindow(w, LPARAM(&n));
  return n;
}

}  // namespace

GuiObjects CountGuiObjects() {
  return {::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS),
          ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), CountGdiHandles(), CountWindowsOfProcess()};
}

std::string Describe(const GuiObjects& g) {
  std::string s = "GetGuiResources GDI " + std::to_string(g.gdiReported) + ", USER " +
                  std::to_string(g.userReported) + "; GDI handles " + std::to_string(g.Gdi()) + " (";
  for (size_t t = 0; t < g.gdiByType.size(); ++t)
    if (g.gdiByType[t])
      s += (s.back() == '(' ? "" : ", ") + std::to_string(g.gdiByType[t]) + " " +
           (kGdiTypeNames[t] ? kGdiTypeNames[t] : "type " + std::to_string(t));
  return s + "), windows " + std::to_string(g.windows);
}

void ExpectNothingLeftBehind(const GuiObjects& before, const GuiObjects& after, int openAtOnce) {
  SCOPED_TRACE("before: " + Describe(before) + "\nafter:  " + Describe(after));
  EXPECT_EQ(after.gdiReported, before.gdiReported);
  EXPECT_EQ(after.userReported, before.userReported);
  EXPECT_EQ(after.windows, before.windows);
  const int cachedDcs = after.gdiByType[kGdiDc] - before.gdiByType[kGdiDc];
  EXPECT_GE(cachedDcs, 0);
  EXPECT_LE(cachedDcs, kCachedDcsPerOpenWindow * openAtOnce);
  EXPECT_EQ(after.gdiByType[kGdiRegion] - before.gdiByType[kGdiRegion], cachedDcs);
  EXPECT_EQ(after.gdiByType[kGdiBitmap] - before.gdiByType[kGdiBitmap], cachedDcs);
  for (size_t t = 0; t < before.gdiByType.size(); ++t) {
    if (t == kGdiDc || t == kGdiRegion || t == kGdiBitmap) continue;
    EXPECT_EQ(after.gdiByType[t], before.gdiByType[t]) << "GDI objects of type " << t;
  }
}

HostsOwnWindow::HostsOwnWindow() {
  hwnd_ = ::CreateWindowExW(0, L"STATIC", L"chat", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr,
                            nullptr, nullptr, nullptr);
  HWND shaped = ::CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, L"STATIC",
                                  L"warm-up", WS_POPUP, 400, 300, 220, 63, nullptr, nullptr, nullptr, nullptr);
  ::SetLayeredWindowAttributes(shaped, 0, 230, LWA_ALPHA);
  ::SetWindowRgn(shaped, ::CreateRoundRectRgn(0, 0, 220, 63, 15, 15), TRUE);
  ::ShowWindow(shaped, SW_SHOWNOACTIVATE);
  ::UpdateWindow(shaped);
  ::UpdateWindow(hwnd_);
  ::DestroyWindow(shaped);
}

HostsOwnWindow::~HostsOwnWindow() { ::DestroyWindow(hwnd_); }

}  // namespace host_test
