// QuickInfo's cover under Wine with pictures whose headers claim enormous
// sizes: a small folder PNG of 30,000 x 30,000 pixels and an embedded JPEG
// of 20,000 x 20,000 show the placeholder without reaching GDI+, while an
// ordinary picture still shows, is decoded once per track and is painted
// from the card's own bitmap.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gui_objects.h"
#include "metadata/cover.h"
#include "metadata/entry_points.h"
#include "model/settings.h"
#include "picture_builders.h"
#include "sample_track.h"
#include "ui/win32/cover_picture.h"
#include "ui/win32/quick_info_window.h"

namespace {

using picture_builders::Bytes;
using tunelet::win32::ImageFilesLoaded;
using tunelet::win32::QuickInfoWindow;

constexpr COLORREF kGreen = RGB(20, 160, 40), kRed = RGB(200, 30, 60);

void Pump() {
  MSG m;
  while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&m);
    ::DispatchMessageW(&m);
  }
}

COLORREF PixelAt(HWND hwnd, int x, int y) {
  ::UpdateWindow(hwnd);
  HDC dc = ::GetDC(hwnd);
  const COLORREF c = ::GetPixel(dc, x, y);
  ::ReleaseDC(hwnd, dc);
  return c;
}
bool Near(COLORREF a, COLORREF b, int tolerance = 3) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}
COLORREF CoverCentre(HWND hwnd) {
  const RECT c = QuickInfoWindow::kCoverRect;
  return PixelAt(hwnd, (c.left + c.right) / 2, (c.top + c.bottom) / 2);
}

// Cover-area pixels (every 7th each way) that differ from the NOCOVER bitmap.
int PixelsUnlikeThePlaceholder(HWND hwnd) {
  HBITMAP nocover = HBITMAP(::LoadImageW(::GetModuleHandleW(nullptr), L"NOCOVER", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!nocover) return -1;
  HDC memory = ::CreateCompatibleDC(nullptr);
  const HGDIOBJ old = ::SelectObject(memory, nocover);
  const RECT cover = QuickInfoWindow::kCoverRect;
  int differing = 0;
  for (int y = 0; y < 99; y += 7)
    for (int x = 0; x < 99; x += 7)
      differing += !Near(::GetPixel(memory, x, y), PixelAt(hwnd, cover.left + x, cover.top + y), 0);
  ::SelectObject(memory, old);
  ::DeleteDC(memory);
  ::DeleteObject(nocover);
  return differing;
}

// An ID3v2.3 tag with a title and an APIC front cover of the given MIME
// type, then silent MPEG audio frames.
Bytes Mp3WithPicture(std::u16string_view title, const Bytes& picture, std::string_view mime) {
  Bytes body;
  sample_track::PutText(body, "TIT2", title);
  if (!picture.empty()) {
    Bytes apic = {0};  // Latin-1
    apic.insert(apic.end(), mime.begin(), mime.end());
    apic.insert(apic.end(), {0, 3, 0});  // end of MIME, front cover, empty description
    apic.insert(apic.end(), picture.begin(), picture.end());
    sample_track::PutFrame(body, "APIC", apic);
  }
  Bytes file = {'I', 'D', '3', 3, 0, 0};
  const uint32_t size = uint32_t(body.size());
  for (int shift : {21, 14, 7, 0}) file.push_back(uint8_t((size >> shift) & 0x7F));
  file.insert(file.end(), body.begin(), body.end());
  for (int i = 0; i < 50; ++i) {
    const size_t start = file.size();
    file.insert(file.end(), {0xFF, 0xFB, 0x90, 0x00});  // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz
    file.resize(start + 417, 0);
  }
  return file;
}

class CoverLimits : public ::testing::Test {
 protected:
  void SetUp() override {
    tunelet::ResetSettings();
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    root_ = std::wstring(temp) + L"tunelet-covers-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(root_.c_str(), nullptr);
    card_.emplace(texts_);
    card_->SetShellOpen([](const std::u16string&) {});
    ::SetCursorPos(2, 2);  // away from the card, which then stays for 2.5 s
  }
  void TearDown() override {
    card_.reset();
    tunelet::DeleteTemporaryCovers();
    tunelet::ResetSettings();
    for (const std::wstring& f : written_) ::DeleteFileW(f.c_str());
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) ::RemoveDirectoryW(it->c_str());
    ::RemoveDirectoryW(root_.c_str());
  }

  std::wstring Write(const std::wstring& folder, const wchar_t* name, const Bytes& data) {
    const std::wstring dir = root_ + folder + L"\\";
    if (::CreateDirectoryW(dir.c_str(), nullptr)) folders_.push_back(dir);
    const std::wstring path = dir + name;
    EXPECT_TRUE(sample_track::WriteFile(path, data));
    written_.push_back(path);
    return path;
  }
  // Reads the track as the plug-in does, so that its cover is what the
  // tag readers and the folder search give.
  void Play(const std::wstring& path) {
    const std::u16string u(path.begin(), path.end());
    tunelet::ClearTrackInfo(tunelet::Track());
    tunelet::SetText(tunelet::Track().FilePath, u);
    tunelet::ClassifyAndRead(u);
  }
  // A track in its own folder, without an embedded picture, beside cover.png.
  void PlayBesideFolderPicture(const wchar_t* folder, const Bytes& png) {
    Write(folder, L"cover.png", png);
    Play(Write(folder, L"song.mp3", Mp3WithPicture(u"Song", {}, "")));
  }
  // Shows (or refreshes) the card; the milliseconds it took.
  double ShowCard() {
    LARGE_INTEGER f, a, b;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&a);
    card_->Show();
    ::QueryPerformanceCounter(&b);
    Pump();
    return double(b.QuadPart - a.QuadPart) * 1000.0 / double(f.QuadPart);
  }

  tunelet::BuiltInUiTexts texts_;
  std::wstring root_;
  std::vector<std::wstring> written_, folders_;
  std::optional<QuickInfoWindow> card_;
};

TEST_F(CoverLimits, AFolderPngOfThirtyThousandPixelsSquareShowsThePlaceholderWithoutDecoding) {
  const Bytes huge = picture_builders::HugePng(30000, 30000, 2000);  // over 1000 bytes: the folder search takes it
  PlayBesideFolderPicture(L"huge", huge);
  const unsigned loadsBefore = ImageFilesLoaded();
  const double ms = ShowCard();
  std::printf("QuickInfo opened with a %zu-byte 30000 x 30000 folder PNG in %.1f ms\n", huge.size(), ms);
  const HWND w = card_->hwnd();
  ASSERT_TRUE(w);
  EXPECT_TRUE(tunelet::Track().CoverFile);  // found, then refused
  EXPECT_TRUE(card_->ShowsPlaceholder());
  EXPECT_EQ(ImageFilesLoaded(), loadsBefore);
  EXPECT_EQ(PixelsUnlikeThePlaceholder(w), 0);
  // The refused picture acts as the placeholder: the cursor is no hand and
  // a click on it opens nothing.
  std::vector<std::u16string> opened;
  card_->SetShellOpen([&](const std::u16string& p) { opened.push_back(p); });
  ::SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 50));
  ::SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(50, 50));
  EXPECT_TRUE(opened.empty());
  EXPECT_TRUE(::IsWindow(w));
}

TEST_F(CoverLimits, AnEmbeddedJpegOverTheLimitShowsThePlaceholderNotTheFolderPicture) {
  Write(L"tagged", L"cover.png", picture_builders::SolidPng(24, 24, 0x14A028));
  const Bytes jpeg = picture_builders::Jpeg(20000, 20000);
  Play(Write(L"tagged", L"song.mp3", Mp3WithPicture(u"Tagged", jpeg, "image/jpeg")));
  ASSERT_TRUE(tunelet::Track().CoverFile);
  EXPECT_NE(tunelet::Track().CoverFile->find(u".JPG"), std::u16string::npos);
  const unsigned loadsBefore = ImageFilesLoaded();
  const double ms = ShowCard();
  std::printf("QuickInfo opened with an embedded 20000 x 20000 JPEG in %.1f ms\n", ms);
  ASSERT_TRUE(card_->hwnd());
  EXPECT_TRUE(card_->ShowsPlaceholder());
  EXPECT_EQ(ImageFilesLoaded(), loadsBefore);
  EXPECT_EQ(PixelsUnlikeThePlaceholder(card_->hwnd()), 0);
}

TEST_F(CoverLimits, AnOrdinaryCoverIsDecodedOncePerTrackAndPaintedFromTheCard) {
  PlayBesideFolderPicture(L"green", picture_builders::SolidPng(24, 24, 0x14A028));
  const unsigned loads = ImageFilesLoaded();
  ShowCard();
  const HWND w = card_->hwnd();
  ASSERT_TRUE(w);
  EXPECT_FALSE(card_->ShowsPlaceholder());
  EXPECT_TRUE(Near(CoverCentre(w), kGreen)) << std::hex << CoverCentre(w);
  EXPECT_EQ(ImageFilesLoaded(), loads + 1);

  // Asked for again, repainted, closed and opened: the same track's picture
  // is not decoded again.
  for (int i = 0; i < 3; ++i) {
    ShowCard();
    ::InvalidateRect(w, nullptr, FALSE);
    ::UpdateWindow(w);
  }
  card_->Close();
  Pump();
  ShowCard();
  ASSERT_TRUE(card_->hwnd());
  EXPECT_TRUE(Near(CoverCentre(card_->hwnd()), kGreen));
  EXPECT_FALSE(card_->ShowsPlaceholder());
  EXPECT_EQ(ImageFilesLoaded(), loads + 1);

  // The next track has a picture of its own; then one refused, then back.
  PlayBesideFolderPicture(L"red", picture_builders::SolidPng(30, 30, 0xC81E3C));
  ShowCard();
  EXPECT_TRUE(Near(CoverCentre(card_->hwnd()), kRed));
  EXPECT_EQ(ImageFilesLoaded(), loads + 2);
  PlayBesideFolderPicture(L"huge", picture_builders::HugePng(16000, 16000, 2000));
  ShowCard();
  EXPECT_TRUE(card_->ShowsPlaceholder());
  EXPECT_EQ(ImageFilesLoaded(), loads + 2);
  Play(root_ + L"red\\song.mp3");
  ShowCard();
  EXPECT_FALSE(card_->ShowsPlaceholder());
  EXPECT_TRUE(Near(CoverCentre(card_->hwnd()), kRed));
  EXPECT_EQ(ImageFilesLoaded(), loads + 3);
}

TEST_F(CoverLimits, NoGdiObjectIsLeftAcrossTracksWithRefusedAndOrdinaryCovers) {
  PlayBesideFolderPicture(L"green", picture_builders::SolidPng(24, 24, 0x14A028));
  ShowCard();  // GDI+ starts now and stays for the owner's life
  card_->Close();
  Pump();
  const gui_objects::GuiObjects before = gui_objects::CountGuiObjects();
  for (int i = 0; i < 6; ++i) {
    if (i % 2)
      PlayBesideFolderPicture(L"huge", picture_builders::HugePng(30000, 30000, 2000));
    else
      PlayBesideFolderPicture(i % 4 ? L"green" : L"red", picture_builders::SolidPng(24, 24, 0x14A028 + i));
    ShowCard();
    ASSERT_TRUE(card_->hwnd());
    ::UpdateWindow(card_->hwnd());
    if (i % 3 == 0) {
      card_->Close();
      Pump();
    }
  }
  card_->Close();
  Pump();
  gui_objects::ExpectNothingLeftBehind(before, gui_objects::CountGuiObjects(), 1);
}

}  // namespace
