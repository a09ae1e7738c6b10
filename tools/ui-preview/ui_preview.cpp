// ui-preview [SECONDS] [SCENE]: shows the plug-in's windows on a plain
// backdrop through the plug-in's own window code, prints the screen rectangle
// of each (left top width height, one line each) and keeps them up for
// SECONDS (default 8). make-screenshots.sh photographs them. Scenes:
//   windows            a track popup, the state popup, the control window and
//                      the language dialog (listing the shipped addons/)
//   popup-long         a track popup with a text too long for its two lines
//   quickinfo-cover    QuickInfo of a tagged MP3 with an embedded cover
//   quickinfo-nocover  QuickInfo of a radio stream (the placeholder picture)
//   options-N          the options dialog on its tab N (0..8), built-in texts
//   options-balloon    its X-status tab with the balloon of variables
//   options-pictures   its main tab with the audio picture list dropped down
#include <windows.h>
#include <commctrl.h>

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "lang/language_texts.h"
#include "lang/win32/language_win32.h"
#include "metadata/cover.h"
#include "metadata/entry_points.h"
#include "model/player_table.h"
#include "model/settings.h"
#include "model/ui_texts.h"
#include "sample_track.h"
#include "ui/options_controls.h"
#include "ui/win32/control_window.h"
#include "ui/win32/popup_window.h"
#include "ui/win32/quick_info_window.h"
#include "ui/win32/user_interface_win32.h"

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

void PrintRects(const std::vector<HWND>& shown) {
  for (HWND w : shown) {
    RECT r{};
    ::GetWindowRect(w, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
  std::fflush(stdout);
}

uint32_t Rgb(double r, double g, double b) {
  auto c = [](double v) { return uint32_t(v < 0 ? 0 : v > 255 ? 255 : v); };
  return c(r) << 16 | c(g) << 8 | c(b);
}

// The sample album's cover: a striped sun setting behind a lit grid.
uint32_t SampleCoverPixel(int x, int y) {
  constexpr double kSize = 240, kHorizon = 160;
  const double t = y / kHorizon;
  if (y < kHorizon) {
    const double dx = x - 120, dy = y - 118, r = std::sqrt(dx * dx + dy * dy);
    const bool gap = y > 105 && int(y - 105) % 12 < 2 + (y - 105) / 12;
    if (r < 62 && !gap) return Rgb(255, 214 - 120 * (y - 56) / 62.0, 90 + 60 * (y - 56) / 62.0);
    return Rgb(36 + 190 * t * t, 18 + 40 * t, 72 + 60 * t);  // night to dusk
  }
  const double depth = (y - kHorizon) / (kSize - kHorizon);
  // Lines across at widening intervals, and lines that meet at the horizon.
  const double row = std::sqrt(depth) * 8;
  const bool across = row - std::floor(row) < 0.12 + 0.1 * depth;
  const double spread = (x - 120) / (0.15 + depth);
  const bool along = std::fmod(std::fabs(spread) + 20, 40) < 2.2 + 2 * depth;
  if (across || along) return Rgb(255, 70 + 60 * depth, 200);
  return Rgb(28 + 20 * depth, 10, 48 + 20 * depth);
}

// A track popup whose text is too long for its two lines.
void ShowLongPopupScene(int seconds) {
  tunelet::PluginSettings& s = tunelet::Settings();
  tunelet::SetText(s.Track.PlayerName, u"Winamp");
  tunelet::SetText(s.Track.Artist, u"Оркестр русских народных инструментов имени Осипова");
  tunelet::SetText(s.Track.Title, u"Увертюра на темы песен военных лет");
  s.Track.Duration = 412;
  tunelet::IUserInterface noWindows;
  tunelet::BuiltInUiTexts texts;
  tunelet::win32::PopupWindows popups(noWindows, texts);
  popups.Show(tunelet::kTrackPopup);
  PrintRects(popups.OpenPopups());
  RunFor(UINT(seconds) * 1000);
}

void ShowWindowsScene(int seconds) {
  tunelet::PluginSettings& s = tunelet::Settings();
  tunelet::SetText(s.Track.PlayerName, u"AIMP2");
  tunelet::SetText(s.Track.Artist, u"Кино");
  tunelet::SetText(s.Track.Title, u"Звезда по имени Солнце");
  s.Track.Duration = 225;
  tunelet::IUserInterface noWindows;
  tunelet::BuiltInUiTexts texts;
  tunelet::win32::PopupWindows popups(noWindows, texts);
  popups.Show(tunelet::kTrackPopup);
  popups.Show(tunelet::kStatePopup);
  s.ControlWindowX = 40;
  s.ControlWindowY = 40;
  tunelet::IPlayerAccess noPlayer;
  tunelet::win32::ControlWindow control(noPlayer, noWindows, texts);
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
  PrintRects(shown);
  RunFor(UINT(seconds) * 1000);
}

// A tagged MP3 in a folder of its own under the temporary folder, read as the
// plug-in reads the file a player plays.
void PlaySampleTrack(const std::wstring& folder) {
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring path = folder + L"\\03 - Полярная ночь - Северное сияние.mp3";
  const sample_track::Tags tags{u"Северное сияние", u"Полярная ночь", u"Огни над заливом", u"2024", u"Synthpop"};
  // 225 s of 128 kbit/s frames (38.28 frames a second).
  sample_track::WriteFile(path, sample_track::Mp3(tags, sample_track::Bmp(240, 240, SampleCoverPixel), 8613));
  const std::u16string u(path.begin(), path.end());
  tunelet::SetText(tunelet::Track().FilePath, u);
  tunelet::ClassifyAndRead(u);
  ::DeleteFileW(path.c_str());
  ::RemoveDirectoryW(folder.c_str());
}

void PlaySampleStream() {
  tunelet::TrackInfo& t = tunelet::Track();
  tunelet::SetText(t.FilePath, u"http://radio.example.org:8000/live");
  tunelet::SetText(t.PlayerName, u"Winamp");
  tunelet::SetText(t.Artist, u"Радио Пример");
  tunelet::SetText(t.Title, u"Утренний эфир");
  t.Bitrate = 128;
  t.SampleRate = 44100;
}

void ShowQuickInfoScene(bool withCover, int seconds) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  if (withCover)
    PlaySampleTrack(std::wstring(temp) + L"tunelet-preview");
  else
    PlaySampleStream();
  tunelet::BuiltInUiTexts texts;
  tunelet::win32::QuickInfoWindow card(texts);
  card.Show();
  if (!card.hwnd()) return;
  // The mouse rests on the card's title, as a reader's would: it stays open.
  RECT r{};
  ::GetWindowRect(card.hwnd(), &r);
  ::SetCursorPos(r.left + 240, r.top + 14);
  PrintRects({card.hwnd()});
  RunFor(UINT(seconds) * 1000);
  tunelet::DeleteTemporaryCovers();
}

BOOL CALLBACK MatchId(HWND w, LPARAM lp) {
  auto* found = reinterpret_cast<std::pair<int, HWND>*>(lp);
  if (::GetDlgCtrlID(w) != found->first) return TRUE;
  found->second = w;
  return FALSE;
}
HWND FindControl(HWND dialog, int id) {
  std::pair<int, HWND> found{id, nullptr};
  ::EnumChildWindows(dialog, MatchId, LPARAM(&found));
  return found.second;
}

enum class OptionsExtra { None, Balloon, Pictures };
void ShowOptionsScene(int tab, OptionsExtra extra, int seconds) {
  tunelet::PluginSettings& s = tunelet::Settings();
  s.Action = 21;
  s.Refreshinterval = 5000;
  s.Xstat_a = 11;
  s.Xstat_v = 8;
  s.CurrentPlayer = tunelet::kWinamp;
  s.Transp = 230;
  s.Delay = 5;
  s.Updateonstartup = true;
  s.PopupsOn = true;
  tunelet::SetText(s.AudioTitleTemplate, tunelet::kDefaultAudioTitleTemplate);
  tunelet::SetText(s.AudioTextTemplate, tunelet::kDefaultAudioTextTemplate);
  tunelet::SetText(s.VideoTitleTemplate, tunelet::kDefaultVideoTitleTemplate);
  tunelet::SetText(s.VideoTextTemplate, tunelet::kDefaultVideoTextTemplate);
  tunelet::SetText(s.PasteTemplate, tunelet::kDefaultPasteTemplate);
  tunelet::IPlayerAccess noPlayer;
  tunelet::BuiltInUiTexts texts;
  tunelet::win32::Win32UserInterface ui(noPlayer, texts);
  ui.ShowOptionsDialog();
  const HWND dialog = ui.OptionsWindow();
  if (!dialog) return;
  const HWND tabs = ::GetDlgItem(dialog, tunelet::kIdMainPageControl);
  ::SendMessageW(tabs, TCM_SETCURSEL, tab, 0);
  NMHDR hdr{tabs, UINT_PTR(tunelet::kIdMainPageControl), UINT(TCN_SELCHANGE)};
  ::SendMessageW(dialog, WM_NOTIFY, tunelet::kIdMainPageControl, LPARAM(&hdr));
  if (extra == OptionsExtra::Balloon) ::SendMessageW(FindControl(dialog, tunelet::kIdBtVars), BM_CLICK, 0, 0);
  if (extra == OptionsExtra::Pictures) ::SendMessageW(FindControl(dialog, tunelet::kIdComboXstatA), CB_SHOWDROPDOWN, TRUE, 0);
  PrintRects({dialog});
  RunFor(UINT(seconds) * 1000);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int seconds = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 8;
  if (seconds <= 0) seconds = 8;
  const std::wstring scene = argc > 2 ? argv[2] : L"windows";
  tunelet::PluginSettings& s = tunelet::Settings();
  s.Transp = 230;
  s.Delay = 15;
  s.Alwaysontop = true;
  s.Shadow = true;
  s.PluginOn = true;

  ShowBackdrop();
  RunFor(300);
  if (scene == L"windows")
    ShowWindowsScene(seconds);
  else if (scene == L"popup-long")
    ShowLongPopupScene(seconds);
  else if (scene == L"quickinfo-cover" || scene == L"quickinfo-nocover")
    ShowQuickInfoScene(scene == L"quickinfo-cover", seconds);
  else if (scene == L"options-balloon")
    ShowOptionsScene(2, OptionsExtra::Balloon, seconds);
  else if (scene == L"options-pictures")
    ShowOptionsScene(1, OptionsExtra::Pictures, seconds);
  else if (scene.rfind(L"options-", 0) == 0)
    ShowOptionsScene(std::wcstol(scene.c_str() + 8, nullptr, 10), OptionsExtra::None, seconds);
  else
    return 2;
  return 0;
}
