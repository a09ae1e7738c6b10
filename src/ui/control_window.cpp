#include "ui/control_window.h"

#include <cstdlib>

#include "common/text.h"

namespace tunelet {

ScreenPoint ResetControlPosition(const ScreenRect& workArea) {
  return {workArea.right / 2 - 83, workArea.bottom / 2 - 28};
}

ScreenPoint ControlPositionOnShow(ScreenPoint p, ScreenSize screen) {
  if (p.y < 0) p.y = screen.height / 2;
  if (p.x < 0) p.x = screen.width / 2;
  if (p.y + kControlHeight > screen.height) p.y = screen.height - kControlHeight;
  if (p.x + kControlWidth > screen.width) p.x = screen.width - kControlWidth;
  return p;
}

ScreenPoint SnapControlPosition(ScreenPoint p, const ScreenRect& workArea, ScreenSize screen) {
  if (p.x == 0 && p.y == 0) return p;
  if (p.x < kControlSnapDistance) p.x = 0;
  if (p.y < kControlSnapDistance) p.y = 0;
  if (std::abs(p.x + kControlWidth - workArea.right) < kControlSnapDistance) p.x = workArea.right - kControlWidth;
  if (std::abs(p.y + kControlHeight - workArea.bottom) < kControlSnapDistance)
    p.y = workArea.bottom - kControlHeight;
  if (p.x + kControlWidth > screen.width) p.x = screen.width - kControlWidth;
  if (p.y + kControlHeight > screen.height) p.y = screen.height - kControlHeight;
  return p;
}

bool ControlHidesBehind(const ScreenRect& foreground, ScreenSize screen, std::u16string_view exeName,
                        bool hideSetting) {
  const bool fullScreen = foreground.right >= screen.width && foreground.bottom >= screen.height &&
                          foreground.left <= 0 && foreground.top <= 0;
  return fullScreen && hideSetting && !EqualsIgnoreCase(exeName.substr(0, 12), u"EXPLORER.EXE");
}

}  // namespace tunelet
