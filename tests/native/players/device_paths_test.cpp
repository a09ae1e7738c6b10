#include <gtest/gtest.h>

#include "players/device_paths.h"

using namespace tunelet;

namespace {
const std::vector<DosDevice> kDrives = {
    {u"C:", u"\\Device\\HarddiskVolume1"},
    {u"D:", u"\\Device\\CdRom0"},
    {u"E:", u"\\Device\\HarddiskVolume10"},
};
}

TEST(DevicePaths, VolumePathsBecomeDrivePaths) {
  EXPECT_EQ(DevicePathToDrivePath(u"\\Device\\HarddiskVolume1\\Music\\Песня.mp3", kDrives), u"C:\\Music\\Песня.mp3");
  EXPECT_EQ(DevicePathToDrivePath(u"\\device\\cdrom0\\track01.wav", kDrives), u"D:\\track01.wav");
}

TEST(DevicePaths, AVolumeNameIsNotMatchedAsThePrefixOfALongerOne) {
  EXPECT_EQ(DevicePathToDrivePath(u"\\Device\\HarddiskVolume10\\a.mp3", kDrives), u"E:\\a.mp3");
}

TEST(DevicePaths, NetworkRedirectorPathsBecomeSharePaths) {
  EXPECT_EQ(DevicePathToDrivePath(u"\\Device\\LanmanRedirector\\server\\share\\a.mp3", kDrives),
            u"\\\\server\\share\\a.mp3");
  EXPECT_EQ(DevicePathToDrivePath(u"\\Device\\Mup\\server\\share\\a.mp3", kDrives), u"\\\\server\\share\\a.mp3");
  // The redirector prefix is compared exactly.
  EXPECT_EQ(DevicePathToDrivePath(u"\\device\\lanmanredirector\\s\\a.mp3", kDrives),
            u"\\device\\lanmanredirector\\s\\a.mp3");
}

TEST(DevicePaths, DosDeviceNamespacePathsLoseTheirPrefix) {
  EXPECT_EQ(DevicePathToDrivePath(u"\\??\\C:\\probe dir\\a.mp3", kDrives), u"C:\\probe dir\\a.mp3");
  EXPECT_EQ(DevicePathToDrivePath(u"\\??\\UNC\\server\\share\\a.mp3", kDrives), u"\\\\server\\share\\a.mp3");
}

TEST(DevicePaths, UnknownVolumesAndOddInputsComeBackUnchanged) {
  EXPECT_EQ(DevicePathToDrivePath(u"\\Device\\HarddiskVolume7\\a.mp3", kDrives), u"\\Device\\HarddiskVolume7\\a.mp3");
  EXPECT_EQ(DevicePathToDrivePath(u"\\Device\\HarddiskVolume1", kDrives), u"\\Device\\HarddiskVolume1");
  EXPECT_EQ(DevicePathToDrivePath(u"", kDrives), u"");
  EXPECT_EQ(DevicePathToDrivePath(u"\\??\\x", kDrives), u"\\??\\x");
  EXPECT_EQ(DevicePathToDrivePath(u"\\Device\\HarddiskVolume1\\a.mp3", {}), u"\\Device\\HarddiskVolume1\\a.mp3");
}

TEST(DevicePaths, FirstMatchingDriveWins) {
  const std::vector<DosDevice> substed = {{u"S:", u"\\Device\\HarddiskVolume1"}, {u"C:", u"\\Device\\HarddiskVolume1"}};
  EXPECT_EQ(DevicePathToDrivePath(u"\\Device\\HarddiskVolume1\\a.mp3", substed), u"S:\\a.mp3");
}
