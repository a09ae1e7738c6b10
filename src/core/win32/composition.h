// The composition root: which implementation serves each subsystem interface
// inside the DLL.
#pragma once

#include <memory>

#include "model/host.h"
#include "model/subsystems.h"
#include "core/win32/poll_worker_win32.h"

namespace tunelet::win32 {

// The subsystems one plug-in object uses; those bound to its host live here.
class SubsystemSet {
 public:
  virtual ~SubsystemSet() = default;
  virtual const Subsystems& view() const = 0;
  // Runs the players' side of the polls and the player commands.
  virtual PollWorkerThread& pollWorker() = 0;
};

std::unique_ptr<SubsystemSet> MakeSubsystems(IHost& host);
void PluginObjectCreated();    // starts GDI+ with the first object
void PluginObjectDestroyed();  // stops it with the last

}  // namespace tunelet::win32
