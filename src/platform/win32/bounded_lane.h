// Work that may wait on another process (automation calls into a player, a
// scan of a player's handles, a file on a network share) runs on a
// short-lived thread of its own, and the host's thread waits for it only so
// long. A player that hangs then costs a stuck thread or two, never a hung
// messenger, and only its own lane: each player and kind of work has one.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tunelet::win32 {

class BoundedLane {
 public:
  enum class Apartment { None, MultiThreaded };
  explicit BoundedLane(Apartment apartment, size_t maxAbandoned = kMaxAbandoned)
      : apartment_(apartment), maxAbandoned_(maxAbandoned) {}
  BoundedLane(const BoundedLane&) = delete;
  BoundedLane& operator=(const BoundedLane&) = delete;

  // Runs task on a new thread (inside a COM apartment when asked for) and
  // waits at most timeoutMs, cut to what is left of the polling tick's wait
  // budget. False when it could not start or did not end in time. A task
  // that did not end is abandoned: its thread ends on its own (holding the
  // library mapped until then), its results are discarded, and the next task
  // starts on a fresh thread. Only while maxAbandoned tasks of this lane
  // are still stuck does it refuse new ones, so a hung player costs a few
  // threads, not one per tick. The task must own everything it touches:
  // after a time-out the caller is gone. Exceptions thrown by the task are
  // swallowed.
  bool Run(std::function<void()> task, DWORD timeoutMs);

  // Abandoned tasks of this lane that have not ended yet.
  size_t StuckCount();

  static constexpr size_t kMaxAbandoned = 2;

  struct Job;

 private:
  void ForgetEndedJobs();

  Apartment apartment_;
  size_t maxAbandoned_;
  std::vector<std::shared_ptr<Job>> abandoned_;
};

// Runs a task that produces a value; nothing on failure or time-out.
template <typename R>
std::optional<R> RunBounded(BoundedLane& lane, DWORD timeoutMs, std::function<R()> task) {
  auto result = std::make_shared<std::optional<R>>();
  if (!lane.Run([result, task = std::move(task)] { *result = task(); }, timeoutMs)) return std::nullopt;
  return std::move(*result);
}

}  // namespace tunelet::win32
