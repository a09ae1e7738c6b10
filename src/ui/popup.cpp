#include "ui/popup.h"

#include <algorithm>

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

std::u16string SharingPopupText(bool paused, std::u16string_view untilClock, const IUiTexts& texts) {
  if (!paused) return texts.Text(u"SHARING_RESUMED");
  return texts.Text(u"SHARING_PAUSED_UNTIL") + u" " + std::u16string(untilClock);
}

std::u16string PopupTitle(int kind, const TrackInfo& track) {
  if (kind == kStatePopup || kind == kSharingPopup) return u"Tunelet Plugin";
  return std::u16string(View(track.PlayerName));
}

namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

constexpr std::u16string_view kEllipsis = u"...";

std::u16string_view TrimSpacesRight(std::u16string_view s) {
  const size_t last = s.find_last_not_of(u' ');
  return last == std::u16string_view::npos ? std::u16string_view() : s.substr(0, last + 1);
}

std::u16string_view TrimSpacesLeft(std::u16string_view s) {
  const size_t first = s.find_first_not_of(u' ');
  return first == std::u16string_view::npos ? std::u16string_view() : s.substr(first);
}

// The length of the longest start of text that, followed by suffix, is at
// most maxWidth wide; found by halving, so a long text costs few
// measurements. Never ends between the halves of a surrogate pair.
size_t LongestStartThatFits(std::u16string_view text, std::u16string_view suffix, int maxWidth,
                            const TextWidthFunction& width) {
  auto fits = [&](size_t n) {
    std::u16string candidate(text.substr(0, n));
    candidate += suffix;
    return width(candidate) <= maxWidth;
  };
  if (fits(text.size())) return text.size();
  size_t fitting = 0, tooWide = text.size();
  while (tooWide - fitting > 1) {
    const size_t mid = fitting + (tooWide - fitting) / 2;
    (fits(mid) ? fitting : tooWide) = mid;
  }
  if (fitting > 0 && IsHighSurrogate(text[fitting - 1])) --fitting;
  return fitting;
}

// One character, or both halves of a surrogate pair.
size_t FirstCharacterLength(std::u16string_view text) {
  return text.size() >= 2 && IsHighSurrogate(text[0]) ? 2 : 1;
}

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

std::vector<std::u16string> PopupTextLines(std::u16string_view text, const TextWidthFunction& width) {
  std::vector<std::u16string> lines;
  std::u16string_view rest = text;
  while (!rest.empty()) {
    if (lines.size() + 1 == kPopupTextLines && width(rest) > kPopupTextLineWidth) {
      // The last line the label shows, and the text goes on past it.
      const size_t kept = LongestStartThatFits(rest, kEllipsis, kPopupTextLineWidth, width);
      lines.emplace_back(TrimSpacesRight(rest.substr(0, kept)));
      lines.back() += kEllipsis;
      break;
    }
    // Even a character wider than the line takes one, so that the text moves on.
    const size_t fitting =
        std::max(LongestStartThatFits(rest, {}, kPopupTextLineWidth, width), FirstCharacterLength(rest));
    if (fitting >= rest.size()) {
      lines.emplace_back(rest);
      break;
    }
    // After the last word that ends in time (a space right after the fitting
    // start counts), else inside the word.
    size_t end = fitting, next = fitting;
    const size_t space = rest.substr(0, fitting + 1).find_last_of(u' ');
    if (space != std::u16string_view::npos && !TrimSpacesRight(rest.substr(0, space)).empty()) {
      end = space;
      next = space + 1;
    }
    lines.emplace_back(TrimSpacesRight(rest.substr(0, end)));
    rest = TrimSpacesLeft(rest.substr(next));
  }
  return lines;
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
