// The player-access subsystem the DLL plugs into the core.
#pragma once

#include "model/subsystems.h"

namespace tunelet::win32 {

IPlayerAccess& DllPlayerAccess();

}  // namespace tunelet::win32
