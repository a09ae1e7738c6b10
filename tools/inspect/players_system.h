// What `tunelet-inspect --players` takes from the real system (Windows only).
#pragma once

#include <memory>
#include <string>

#include "player_probe.h"

namespace tunelet::inspect {

// The plug-in's own routes: window messages, automation, open files, the
// media session.
PlayerRoutes SystemPlayerRoutes();
IProcessProbe& SystemProcessProbe();
// The INI file at path, read only.
std::unique_ptr<PlayerProbe::IniReader> IniFileReader(const std::u16string& path);
// "Tunelet.ini" in the tool's own folder: the tool is run from the plug-in's.
std::u16string DefaultIniPath();
bool FileExists(const std::u16string& path);

}  // namespace tunelet::inspect
