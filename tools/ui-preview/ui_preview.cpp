// ui-preview [SECONDS]: shows a track popup, the state popup, the control
// window and the language dialog (listing the shipped addons/) on a plain
// backdrop, prints the screen rectangle of each (left top
// width height, one line each, in that order) and keeps them up for SECONDS
// (default 8). make-screenshots.sh photographs them.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "lang/language_texts.h"
#include "lang/win32/language_win32.h"
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

class NoIni : public tunelet::IIniFile {
 public:
  std::optional<std::u16string> Read(std::u16string_view, std::u16string_view) override { return std::nullopt; }
  void Write(std::u16string_view, std::u16string_view, std::u16string_view) override {}
};

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
  // The language dialog lists the addons/ folder of the source tree.
  std::wstring dll = L"Z:" TUNELET_SOURCE_DIR L"/Tunelet.dll";
  for (wchar_t& c : dll)
    if (c == L'/') c = L'\\';
  s.DllPath.assign(dll.begin(), dll.end());
  s.PluginVersion = "3.0.1.0";
  NoIni noIni;
  tunelet::LanguageTexts languageTexts;
  tunelet::win32::Win32Language language(noIni, languageTexts, noWindows);
  language.ShowLanguageDialog();
  std::vector<HWND> shown = popups.OpenPopups();
  shown.push_back(control.hwnd());
  shown.push_back(language.DialogWindow());
  for (HWND w : shown) {
    RECT r{};
    ::GetWindowRect(w, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
  std::fflush(stdout);
  RunFor(UINT(seconds > 0 ? seconds : 8) * 1000);
  return 0;
}
