#include "ui/control_window.h"

#include <gtest/gtest.h>

namespace tunelet {
namespace {

const ScreenSize kScreen{1024, 768};
const ScreenRect kWork{0, 0, 1024, 738};

TEST(ControlWindowPlace, ResetGoesNearTheWorkAreasCentre) {
  const ScreenPoint p = ResetControlPosition(kWork);
  EXPECT_EQ(p.x, 512 - 83);
  EXPECT_EQ(p.y, 369 - 28);
  EXPECT_EQ(ResetControlPosition({0, 0, 1025, 739}).x, 512 - 83);  // halves rounded down
}

TEST(ControlWindowPlace, OffScreenPlacesComeBackOnShow) {
  EXPECT_EQ(ControlPositionOnShow({-5, -1}, kScreen).x, 512);
  EXPECT_EQ(ControlPositionOnShow({-5, -1}, kScreen).y, 384);
  EXPECT_EQ(ControlPositionOnShow({2000, 900}, kScreen).x, 1024 - 158);
  EXPECT_EQ(ControlPositionOnShow({2000, 900}, kScreen).y, 768 - 22);
  EXPECT_EQ(ControlPositionOnShow({100, 200}, kScreen).x, 100);
}

TEST(ControlWindowSnap, EdgesCloserThanTenPixelsPull) {
  EXPECT_EQ(SnapControlPosition({9, 300}, kWork, kScreen).x, 0);
  EXPECT_EQ(SnapControlPosition({10, 300}, kWork, kScreen).x, 10);
  EXPECT_EQ(SnapControlPosition({300, 9}, kWork, kScreen).y, 0);
  // Right edge 5 pixels from the work area's: aligned with it.
  EXPECT_EQ(SnapControlPosition({1024 - 158 - 5, 300}, kWork, kScreen).x, 1024 - 158);
  // Near the bottom: on the work area's bottom, above the task bar.
  EXPECT_EQ(SnapControlPosition({300, 738 - 22 + 6}, kWork, kScreen).y, 738 - 22);
  // Past the screen's edge: pulled back.
  EXPECT_EQ(SnapControlPosition({300, 760}, kWork, kScreen).y, 768 - 22);
  // The origin itself is left alone.
  EXPECT_EQ(SnapControlPosition({0, 0}, kWork, kScreen).x, 0);
}

TEST(ControlWindowHide, OnlyBehindAFullScreenWindowThatIsNotTheDesktop) {
  const ScreenRect full{0, 0, 1024, 768}, window{10, 10, 800, 600};
  EXPECT_TRUE(ControlHidesBehind(full, kScreen, u"mpc-hc.exe", true));
  EXPECT_FALSE(ControlHidesBehind(full, kScreen, u"mpc-hc.exe", false));
  EXPECT_FALSE(ControlHidesBehind(window, kScreen, u"mpc-hc.exe", true));
  EXPECT_FALSE(ControlHidesBehind(full, kScreen, u"explorer.exe", true));
  EXPECT_FALSE(ControlHidesBehind({-8, -8, 1032, 776}, kScreen, u"Explorer.EXE", true));
}

}  // namespace
}  // namespace tunelet
