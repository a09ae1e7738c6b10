// Fixture for the files written by real encoders and taggers (tests/data),
// read through ClassifyAndRead as the plug-in reads them.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "container_test_util.h"
#include "model/settings.h"
#include "metadata/cover.h"
#include "metadata/entry_points.h"

namespace tunelet::testing {

class RealFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    Settings().Getfromname = true;
  }
  void TearDown() override {
    DeleteTemporaryCovers();
    ResetSettings();
  }
  const TrackInfo& Read(const char* name) {
    const std::u16string path = Utf8ToUtf16(std::string(TUNELET_CONTAINER_DATA_DIR "/") + name);
    SetText(Track().FilePath, path);
    EXPECT_EQ(ClassifyAndRead(path), 1);
    return Track();
  }
};

}  // namespace tunelet::testing
