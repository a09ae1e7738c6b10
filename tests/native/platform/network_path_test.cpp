// Which paths count as network paths: their file calls are bounded.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace tunelet {

TEST(Platform, NetworkPathsAreThoseOfAShare) {
  EXPECT_TRUE(platform::IsNetworkPath(u"\\\\server\\share\\a.mp3"));  // as open-file discovery reports them
  EXPECT_TRUE(platform::IsNetworkPath(u"//server/share/a.mp3"));
  EXPECT_FALSE(platform::IsNetworkPath(u"C:\\Music\\a.mp3"));
  EXPECT_FALSE(platform::IsNetworkPath(u"\\Device\\HarddiskVolume1\\a.mp3"));
  EXPECT_FALSE(platform::IsNetworkPath(u"\\"));
}

}  // namespace tunelet
