// The rules of the popup notification: where each popup goes on the screen,
// what it says, how long it lives and how opaque it is. Portable: the Win32
// window (ui/win32/popup_window.h) only carries them out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "model/track_info.h"
#include "model/ui_texts.h"

namespace tunelet {

constexpr int kStatePopup = 1;  // the plug-in was switched on or off
constexpr int kTrackPopup = 2;  // a new track was published
constexpr int kSharingPopup = 3;  // sharing was paused or resumed

constexpr int kPopupWidth = 220;
constexpr int kPopupHeight = 63;
constexpr int kPopupGap = 5;          // between popups, and above the work area's bottom
constexpr int kPopupRightMargin = 8;  // from the work area's right edge
constexpr int kPopupCornerDiameter = 15;

struct ScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};
struct ScreenPoint {
  int x = 0, y = 0;
};

// Module state shared by all open popups. The stack keeps its place while any
// popup is open and goes back to the work area's corner when the last closes.
struct PopupStack {
  int PopupCount = 0;        // popup windows that exist
  int PopupStackBottom = 0;  // top edge of the popup placed last
  int PopupStackRight = 0;   // right edge of the work area
};

// Counts a new popup and returns the top-left corner where it goes.
ScreenPoint PlaceNextPopup(PopupStack& stack, const ScreenRect& workArea);
// Counts a destroyed popup; the others stay where they are.
void PopupDestroyed(PopupStack& stack);

// Hours and minutes from a time in the system's long format: "9:41:05" gives
// "9:41", "21:05:00" gives "21:05"; a text of another shape stays whole.
std::u16string ClockText(std::u16string_view longTime);

// The track popup's text: Artist "Title" [3:45], without the brackets when the
// duration is unknown.
std::u16string TrackPopupText(const TrackInfo& track);
// The state popup's text for the plug-in switched on or off.
std::u16string StatePopupText(bool pluginOn, const IUiTexts& texts);
// The state popup's text for sharing paused ("... until 14:05") or resumed.
std::u16string SharingPopupText(bool paused, std::u16string_view untilClock, const IUiTexts& texts);
std::u16string PopupTitle(int kind, const TrackInfo& track);

constexpr int kFitTriggerWidth = 360;  // wider than this is cut ...
constexpr int kFitTargetWidth = 350;   // ... to at most this, then "..." follows
using TextWidthFunction = std::function<int(std::u16string_view)>;
// Shortens a text wider than 360 pixels (as measured by width) to the longest
// start that is at most 350 pixels wide and appends "...". A surrogate pair is
// never split.
std::u16string FitPopupText(std::u16string text, const TextWidthFunction& width);

constexpr int kPopupTextLineWidth = 193;  // lbtext's width in pixels
constexpr size_t kPopupTextLines = 2;     // what lbtext's height holds
// The body text broken into the lines the label shows: each at most 193
// pixels wide, broken after a word where one ends in time, else inside the
// word; at most two. A text that needs more has its last line cut where
// "..." still fits after it and ending in "...", so that a shortened text
// always shows that it is. Surrogate pairs are never split.
std::vector<std::u16string> PopupTextLines(std::u16string_view text, const TextWidthFunction& width);

// The window's alpha value (255 opaque) from Transp; out of range gives 230.
uint8_t PopupAlpha(int32_t transp);
// The popup's life in milliseconds from Delay in seconds; out of range gives 5 s.
uint32_t PopupLifeMs(int32_t delay);

// Whether the class drop shadow is used: the setting is on and the system is
// Windows XP (NT 5.1) or NT 6.0 or later.
bool PopupShadowWanted(bool shadowSetting, uint32_t ntMajor, uint32_t ntMinor);

enum class MouseButton { Left, Right, Other };
enum class PopupClick {
  Nothing,
  Close,
  OpenOptionsThenClose,    // state popup, left button
  OpenQuickInfoThenClose,  // track popup with a known file, left button
};
PopupClick PopupClickAction(int kind, MouseButton button, bool trackHasFile);

}  // namespace tunelet
