// The rules of the QuickInfo card: where it goes, what its labels say, how
// long it stays, and which picture is the track's cover. Portable:
// ui/win32/quick_info_window.h carries them out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/track_info.h"
#include "model/ui_texts.h"
#include "ui/popup.h"

namespace tunelet {

constexpr int kQuickInfoWidth = 329;
constexpr int kQuickInfoHeight = 112;
constexpr int kQuickInfoRightMargin = 8;   // from the work area's right edge
constexpr int kQuickInfoBottomMargin = 5;  // above the work area's bottom
constexpr int kCoverSize = 99;             // the cover picture is drawn 99 x 99
constexpr uint32_t kQuickInfoFirstIntervalMs = 2500;  // Timer1 after showing
constexpr uint32_t kQuickInfoRestIntervalMs = 1000;   // Timer1 while the mouse rests on it
constexpr std::u16string_view kQuickInfoCaption = u"Tunelet QuickInfo";
// The timer reads at most this many characters of the title under the mouse.
constexpr size_t kQuickInfoTitleCheckLength = 17;

// The card's top-left corner: the work area's bottom-right corner, 8 pixels
// in from the right and 5 up from the bottom.
ScreenPoint QuickInfoPosition(const ScreenRect& workArea);

// What the labels show for a track.
struct QuickInfoTexts {
  std::u16string title, artist, album, genre, time, year, fileInfo, fileName;
};
// From the current track (Track()); the unknown-track and unknown-artist
// texts come from texts.
QuickInfoTexts CurrentQuickInfoTexts(const IUiTexts& texts);
// Sample rate, bit rate and size of the current track, those that are
// known, joined by ", ".
std::u16string StreamFactsLine();

// Timer1: whether the card stays, from the title of the window under the
// mouse (absent when there is none).
bool QuickInfoStays(const std::u16string* titleUnderMouse);

// The folder of a path, with its trailing separator ('\' or '/'); empty for
// a stream address ("://") or a path without a folder.
std::u16string FolderOf(std::u16string_view path);

// A picture beside the file at path: the first entry of each pattern in turn
// ("cover.*", "*cover*.*", "folder.*", "*front.*", "album*.*", "*.jpg"),
// taken when it is larger than 1000 and smaller than 1000000 bytes and its
// extension is JPG, JPEG, BMP, GIF, PNG or TIFF; later entries of the same
// pattern are not looked at. Empty for a stream and when nothing fits.
std::u16string FindFolderCover(std::u16string_view path);
// True when the track has a cover file; else looks for a folder picture and
// keeps it as the track's cover.
bool EnsureCoverFile(TrackInfo& track);

}  // namespace tunelet
