// Files on network shares. A share that does not answer makes every file
// system call on it wait as long as the network stack takes; the host's
// thread must not wait with it. Each call on such a file runs on a lane of
// its own (bounded_lane.h), and the caller waits at most
// kNetworkFileTimeoutMs, cut to what is left of the polling tick's budget.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>

#include "platform/platform.h"
#include "platform/win32/bounded_lane.h"

namespace tunelet::win32 {

constexpr DWORD kNetworkFileTimeoutMs = 1000;

// The lane of every call on network files (the host's thread only).
BoundedLane& NetworkFileLane();

// A file system call on the lane; nothing when it got no answer in time.
template <typename R>
std::optional<R> RunOnFileLane(std::function<R()> call) {
  return RunBounded<R>(NetworkFileLane(), kNetworkFileTimeoutMs, std::move(call));
}

using FileOpener = std::function<std::unique_ptr<platform::ReadableFile>()>;

// Opens a file with open on the lane; its reads run there too. Null when it
// cannot be opened or the share did not answer in time. Once a read gets no
// answer in time the file reads nothing more, so that a reader's many small
// reads of a stalled share cost one wait, not one each.
std::unique_ptr<platform::ReadableFile> OpenBoundedFile(FileOpener open);

}  // namespace tunelet::win32
