#include "ui/popup.h"

#include "metadata/format.h"

namespace tunelet {

ScreenPoint PlaceNextPopup(PopupStack& stack, const ScreenRect& workArea) {
  if (stack.PopupCount == 0) {
    stack.PopupStackRight = workArea.right;
    stack.PopupStackBottom = workArea.bottom;
  }
  ++stack.PopupCount;
  stack.PopupStackBottom -= kPopupHeight + kPopupGap;
  return {stack.PopupStackRight - kPopupWidth - kPopupRightMargin, stack.PopupStackBottom};
}

void PopupDestroyed(PopupStack& stack) {
  if (stack.PopupCount > 0) --stack.PopupCount;
}

std::u16string ClockText(std::u16string_view longTime) {
  const size_t colon = longTime.find(u':');
  if (colon == 1) return std::u16string(longTime.substr(0, 4));  // one-digit hour
  if (colon == 2) return std::u16string(longTime.substr(0, 5));
  return std::u16string(longTime);
}

std::u16string TrackPopupText(const TrackInfo& track) {
  std::u16string text(View(track.Artist));
  if (!text.empty()) text += u' ';  // no artist: the quoted title starts the text
  text += u'"';
  text += View(track.Title);
  text += u'"';
  if (track.Duration > 0) {
    text += u" [";
    text += FormatDuration(track.Duration);
    text += u']';
  }
  return text;
}

std::u16string StatePopupText(bool pluginOn, const IUiTexts& texts) {
  return texts.Text(pluginOn ? u"PLUGIN_ON" : u"PLUGIN_OFF");
}

std::u16string PopupTitle(int kind, const TrackInfo& track) {
  if (kind == kStatePopup) return u"Tunelet Plugin";
  return std::u16string(View(track.PlayerName));
}

namespace {
bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
}  // namespace

std::u16string FitPopupText(std::u16string text, const TextWidthFunction& width) {
  if (width(text) <= kFitTriggerWidth) return text;
  // The longest start that fits, found by halving rather than by dropping one
  // character at a time: the same cut, with a bounded number of measurements
  // however long a tag is.
  size_t fits = 0, tooWide = text.size();
  while (tooWide - fits > 1) {
    const size_t mid = fits + (tooWide - fits) / 2;
    if (width(std::u16string_view(text).substr(0, mid)) <= kFitTargetWidth)
      fits = mid;
    else
      tooWide = mid;
  }
  if (fits > 0 && IsHighSurrogate(text[fits - 1])) --fits;
  text.resize(fits);
  text += u"...";
  return text;
}

uint8_t PopupAlpha(int32_t transp) { return transp >= 20 && transp <= 255 ? uint8_t(transp) : uint8_t(230); }

uint32_t PopupLifeMs(int32_t delay) { return uint32_t(delay >= 2 && delay <= 15 ? delay : 5) * 1000u; }

bool PopupShadowWanted(bool shadowSetting, uint32_t ntMajor, uint32_t ntMinor) {
  if (!shadowSetting) return false;
  return (ntMajor == 5 && ntMinor == 1) || ntMajor >= 6;
}

PopupClick PopupClickAction(int kind, MouseButton button, bool trackHasFile) {
  if (button == MouseButton::Right) return PopupClick::Close;
  if (button != MouseButton::Left) return PopupClick::Nothing;
  if (kind == kStatePopup) return PopupClick::OpenOptionsThenClose;
  if (kind == kTrackPopup && trackHasFile) return PopupClick::OpenQuickInfoThenClose;
  return PopupClick::Close;
}

}  // namespace tunelet
