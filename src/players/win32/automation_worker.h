// Work that may wait on another process (automation calls into a player, a
// scan of a player's handles) runs on a short-lived thread of its own, and
// the host's thread waits for it only so long. A player that hangs then costs
// one stuck thread, never a hung messenger.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>

namespace tunelet::win32 {

class BoundedLane {
 public:
  enum class Apartment { None, MultiThreaded };
  explicit BoundedLane(Apartment apartment) : apartment_(apartment) {}
  BoundedLane(const BoundedLane&) = delete;
  BoundedLane& operator=(const BoundedLane&) = delete;

  // Runs task on a new thread (inside a COM apartment when asked for) and
  // waits at most timeoutMs. False when it could not start or did not end in
  // time; it then ends on its own, and until it has, this lane refuses new
  // tasks. The task must own everything it touches: after a time-out the
  // caller is gone. Exceptions thrown by the task are swallowed.
  bool Run(std::function<void()> task, DWORD timeoutMs);

  struct Job;

 private:
  Apartment apartment_;
  std::shared_ptr<Job> stalled_;
};

// Runs a task that produces a value; nothing on failure or time-out.
template <typename R>
std::optional<R> RunBounded(BoundedLane& lane, DWORD timeoutMs, std::function<R()> task) {
  auto result = std::make_shared<std::optional<R>>();
  if (!lane.Run([result, task = std::move(task)] { *result = task(); }, timeoutMs)) return std::nullopt;
  return std::move(*result);
}

}  // namespace tunelet::win32
