// The composition root: which implementation serves each subsystem interface
// inside the DLL.
#pragma once

#include "core/host.h"
#include "core/subsystems.h"

namespace tunelet::win32 {

Subsystems MakeSubsystems(IHost& host);
void PluginObjectCreated();    // starts GDI+ with the first object
void PluginObjectDestroyed();  // stops it with the last

}  // namespace tunelet::win32
