// ui-preview [SECONDS]: shows a track popup, the state popup and the control
// window on a plain backdrop, prints the screen rectangle of each (left top
// width height, one line each, in that order) and keeps them up for SECONDS
// (default 8). make-screenshots.sh photographs them.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "model/settings.h"
#include "model/ui_texts.h"
#include "ui/win32/control_window.h"
#include "ui/win32/popup_window.h"

namespace {

// Runs the thread's message loop until ms have passed.
void RunFor(UINT ms) {
  const UINT_PTR timer = ::SetTimer(nullptr, 0, ms, nullptr);
  MSG m;
  while (::GetMessageW(&m, nullptr, 0, 0) > 0) {
    if (m.message == WM_TIMER && m.hwnd == nullptr && m.wParam == timer) break;
    ::TranslateMessage(&m);
    ::DispatchMessageW(&m);
  }
  ::KillTimer(nullptr, timer);
}

// A desktop-coloured window under the popups, so that what shows through
// them is what a user would see.
HWND ShowBackdrop() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hbrBackground = ::CreateSolidBrush(RGB(58, 110, 165));
  wc.lpszClassName = L"PopupPreviewBackdrop";
  ::RegisterClassW(&wc);
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  HWND w = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, work.left, work.top,
                             work.right - work.left, work.bottom - work.top, nullptr, nullptr, wc.hInstance,
                             nullptr);
  ::UpdateWindow(w);
  return w;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int seconds = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 8;
  tunelet::PluginSettings& s = tunelet::Settings();
  s.Transp = 230;
  s.Delay = 15;
  s.Alwaysontop = true;
  s.Shadow = true;
  s.PluginOn = true;
  tunelet::SetText(s.Track.PlayerName, u"AIMP2");
  tunelet::SetText(s.Track.Artist, u"Кино");
  tunelet::SetText(s.Track.Title, u"Звезда по имени Солнце");
  s.Track.Duration = 225;

  ShowBackdrop();
  RunFor(300);
  tunelet::IUserInterface noWindows;
  tunelet::BuiltInUiTexts texts;
  tunelet::win32::PopupWindows popups(noWindows, texts);
  popups.Show(tunelet::kTrackPopup);
  popups.Show(tunelet::kStatePopup);
  s.ControlWindowX = 40;
  s.ControlWindowY = 40;
  tunelet::IPlayerAccess noPlayer;
  tunelet::win32::ControlWindow control(noPlayer, noWindows);
  control.Show();
  std::vector<HWND> shown = popups.OpenPopups();
  shown.push_back(control.hwnd());
  for (HWND w : shown) {
    RECT r{};
    ::GetWindowRect(w, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
  std::fflush(stdout);
  RunFor(UINT(seconds > 0 ? seconds : 8) * 1000);
  return 0;
}
