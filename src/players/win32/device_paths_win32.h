// Drive paths from device paths, with the machine's own drive list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "players/device_paths.h"

namespace tunelet::win32 {

// The logical drives in the system's order, each with its first device name.
std::vector<DosDevice> ListDosDevices();
std::u16string DevicePathToDrivePath(std::u16string_view path);

}  // namespace tunelet::win32
