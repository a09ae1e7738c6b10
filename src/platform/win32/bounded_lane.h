// Work that may wait on another process (automation calls into a player, a
// scan of a player's handles, a file on a network share) runs on a thread of
// its lane, and the caller waits for it only so long. A player that hangs
// then costs a stuck thread or two, never a hung messenger, and only its own
// lane: each player and kind of work has one.
//
// A lane keeps one thread for its tasks, started with the first task and
// ended after kLaneIdleTimeoutMs without one, by ReleaseIdleLaneThreads, or
// when it is given up under a task that did not end in time.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace tunelet::win32 {

// What a lane's thread keeps from one task to the next (a player's
// automation object, say). It belongs to that thread alone: a thread given
// up under a task takes it along, the next thread starts without, and it is
// destroyed on its thread, inside the lane's apartment, when the thread ends.
class LaneThreadState {
 public:
  virtual ~LaneThreadState() = default;
};
using KeptLaneState = std::unique_ptr<LaneThreadState>;

// A lane thread with no task for this long ends, letting the library go.
constexpr DWORD kLaneIdleTimeoutMs = 60000;
// Replaces the idle time-out (tests shorten it) for waits that start from
// now on; returns the previous one.
DWORD SetLaneIdleTimeout(DWORD ms);

class BoundedLane {
 public:
  struct Job;
  struct Worker;
  enum class Apartment { None, MultiThreaded };
  explicit BoundedLane(Apartment apartment, size_t maxAbandoned = kMaxAbandoned);
  ~BoundedLane();
  BoundedLane(const BoundedLane&) = delete;
  BoundedLane& operator=(const BoundedLane&) = delete;

  // Runs task on the lane's thread (inside a COM apartment when asked for)
  // and waits at most timeoutMs, cut to what is left of the polling tick's
  // wait budget; callers of one lane take turns within that time. False
  // when it could not start or did not end in time. A task that did not end
  // is abandoned: its thread ends on its own after it (holding the library
  // mapped until then), its results are discarded, and the next task starts
  // on a fresh thread. Only while maxAbandoned tasks of this lane are still
  // stuck does it refuse new ones, so a hung player costs a few threads, not
  // one per tick. The task must own everything it touches: after a time-out
  // the caller is gone. Exceptions thrown by the task are swallowed.
  bool Run(std::function<void()> task, DWORD timeoutMs);
  // The same, with what the thread kept from its earlier tasks.
  bool RunKeeping(std::function<void(KeptLaneState&)> task, DWORD timeoutMs);

  // Threads of this lane given up under a task that have not ended yet.
  size_t StuckCount();
  // Lets the lane's thread end once it has no task (the next task starts a
  // new one); the thread let go of, if there was one.
  std::shared_ptr<Worker> ReleaseThread();

  static constexpr size_t kMaxAbandoned = 2;

 private:
  void ForgetEndedThreads();
  std::shared_ptr<Worker> HandOver(const std::shared_ptr<Job>& job);
  void Abandon(const std::shared_ptr<Worker>& worker);

  Apartment apartment_;
  size_t maxAbandoned_;
  std::timed_mutex turn_;  // one caller's task at a time
  std::mutex state_;       // guards the two below
  std::shared_ptr<Worker> worker_;
  std::vector<std::shared_ptr<Worker>> abandoned_;  // threads given up under a task
};

// Lets every lane's thread end once it has no task: the plug-in calls it when
// it is switched off or its last object goes, so that no idle thread keeps
// the library mapped. Waits for the threads to end, at most
// kReleaseWaitBoundMs in all.
void ReleaseIdleLaneThreads();
constexpr DWORD kReleaseWaitBoundMs = 250;

// Runs a task that produces a value; nothing on failure or time-out.
template <typename R>
std::optional<R> RunBounded(BoundedLane& lane, DWORD timeoutMs, std::function<R()> task) {
  auto result = std::make_shared<std::optional<R>>();
  if (!lane.Run([result, task = std::move(task)] { *result = task(); }, timeoutMs)) return std::nullopt;
  return std::move(*result);
}

// The same with what the lane's thread kept from its earlier tasks.
template <typename R>
std::optional<R> RunBoundedKeeping(BoundedLane& lane, DWORD timeoutMs, std::function<R(KeptLaneState&)> task) {
  auto result = std::make_shared<std::optional<R>>();
  if (!lane.RunKeeping([result, task = std::move(task)](KeptLaneState& kept) { *result = task(kept); }, timeoutMs))
    return std::nullopt;
  return std::move(*result);
}

}  // namespace tunelet::win32
