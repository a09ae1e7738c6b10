// Turning the device path of an open file (as the memory manager names it)
// into a path the user and the file functions understand.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunelet {

// One logical drive: "C:" and the first device name it stands for,
// e.g. "\Device\HarddiskVolume1".
struct DosDevice {
  std::u16string Drive;
  std::u16string DeviceName;
};

// Network redirector paths become "\\server\share\...", "\??\C:\..." (what
// Wine reports) becomes "C:\...", a path under a drive's device becomes that
// drive's path; anything else comes back unchanged.
std::u16string DevicePathToDrivePath(std::u16string_view path, const std::vector<DosDevice>& drives);

}  // namespace tunelet
