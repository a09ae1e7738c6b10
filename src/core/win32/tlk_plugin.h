#pragma once

#include "core/win32/host_abi.h"

namespace tunelet::win32 {

// CreateTalkeoPLUGIN: a new plug-in object into *out (counted assignment).
void CreatePlugin(abi::IHostPlugin** out, abi::ITLKPluginService* service) noexcept;

}  // namespace tunelet::win32
