#include "platform/win32/bounded_lane.h"

#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <utility>

#include "platform/win32/unique_handle.h"
#include "platform/wait_budget.h"

namespace tunelet::win32 {

struct BoundedLane::Job {
  std::function<void(KeptLaneState&)> task;
  UniqueKernelHandle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// Shared by a lane and its thread; whichever lets go last frees it.
struct BoundedLane::Worker {
  BoundedLane::Apartment apartment = BoundedLane::Apartment::None;
  UniqueKernelHandle wake{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  std::mutex mutex;                // guards next and ending
  std::shared_ptr<Job> next;       // handed over, not yet taken
  bool ending = false;             // the thread takes no more tasks
  // The lane let go: end once there is no task. Set without the lock, so
  // that a lane destroyed at process exit never waits on a lock a thread
  // ended by the system may hold; a task handed over first is still taken.
  std::atomic<bool> leaving{false};
  UniqueKernelHandle thread;       // set once by the lane, when it starts the thread
};

namespace {

std::atomic<DWORD> gIdleTimeoutMs{kLaneIdleTimeoutMs};

using Worker = BoundedLane::Worker;
using Job = BoundedLane::Job;

// The next task, or nothing once the thread is to end: the lane let it go,
// or no task came for the idle time-out. Marks the end under the lock, so a
// task is never handed to a thread that will not take it.
std::shared_ptr<Job> NextTask(Worker& worker) {
  for (bool timedOut = false;; timedOut = ::WaitForSingleObject(worker.wake.get(), gIdleTimeoutMs) == WAIT_TIMEOUT) {
    std::lock_guard lock(worker.mutex);
    if (worker.next) return std::exchange(worker.next, nullptr);
    if (worker.leaving || timedOut) {
      worker.ending = true;
      return nullptr;
    }
  }
}

void ServeTasks(Worker& worker, bool apartmentReady) {
  KeptLaneState kept;
  while (std::shared_ptr<Job> job = NextTask(worker)) {
    try {
      if (apartmentReady) job->task(kept);
    } catch (...) {
    }
    job->task = nullptr;  // COM references the task holds go while COM is up
    ::SetEvent(job->done.get());
  }
  kept.reset();  // the same for what the tasks kept
}

DWORD WINAPI LaneThread(void* param) {
  {
    auto* held = static_cast<std::shared_ptr<Worker>*>(param);
    std::shared_ptr<Worker> worker = std::move(*held);
    delete held;
    const bool com = worker->apartment == BoundedLane::Apartment::MultiThreaded;
    const HRESULT init = com ? ::CoInitializeEx(nullptr, COINIT_MULTITHREADED) : S_OK;
    ServeTasks(*worker, SUCCEEDED(init));
    if (com && SUCCEEDED(init)) ::CoUninitialize();
  }
  // The reference taken for this thread keeps the module mapped until here.
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&LaneThread), &self);
  ::FreeLibraryAndExitThread(self, 0);
  return 0;
}

// A new thread whose first task is job; nothing when it cannot start.
std::shared_ptr<Worker> StartWorker(BoundedLane::Apartment apartment, const std::shared_ptr<Job>& job) {
  auto worker = std::make_shared<Worker>();
  if (!worker->wake) return nullptr;
  worker->apartment = apartment;
  worker->next = job;
  HMODULE self = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&LaneThread), &self))
    return nullptr;
  auto* param = new std::shared_ptr<Worker>(worker);
  worker->thread.reset(::CreateThread(nullptr, 0, LaneThread, param, 0, nullptr));
  if (!worker->thread) {
    delete param;
    ::FreeLibrary(self);
    return nullptr;
  }
  return worker;
}

void LetGo(Worker& worker) {
  worker.leaving = true;
  ::SetEvent(worker.wake.get());
}

struct LaneRegistry {
  std::mutex mutex;
  std::vector<BoundedLane*> lanes;
};

LaneRegistry& Lanes() {
  static LaneRegistry registry;
  return registry;
}

}  // namespace

BoundedLane::BoundedLane(Apartment apartment, size_t maxAbandoned)
    : apartment_(apartment), maxAbandoned_(maxAbandoned) {
  LaneRegistry& registry = Lanes();
  std::lock_guard lock(registry.mutex);
  registry.lanes.push_back(this);
}

BoundedLane::~BoundedLane() {
  {
    LaneRegistry& registry = Lanes();
    std::lock_guard lock(registry.mutex);
    std::erase(registry.lanes, this);
  }
  ReleaseThread();
}

// A thread given up under a task counts until it has ended: letting go of
// what it kept calls into the same player.
void BoundedLane::ForgetEndedThreads() {
  std::erase_if(abandoned_, [](const std::shared_ptr<Worker>& worker) {
    return ::WaitForSingleObject(worker->thread.get(), 0) == WAIT_OBJECT_0;
  });
}

size_t BoundedLane::StuckCount() {
  std::lock_guard lock(state_);
  ForgetEndedThreads();
  return abandoned_.size();
}

std::shared_ptr<BoundedLane::Worker> BoundedLane::ReleaseThread() {
  std::lock_guard lock(state_);
  if (worker_) LetGo(*worker_);
  return std::move(worker_);
}

std::shared_ptr<BoundedLane::Worker> BoundedLane::HandOver(const std::shared_ptr<Job>& job) {
  std::lock_guard lock(state_);
  if (worker_) {
    std::lock_guard workerLock(worker_->mutex);
    if (!worker_->ending && !worker_->leaving) {
      worker_->next = job;
      ::SetEvent(worker_->wake.get());
      return worker_;
    }
  }
  worker_ = StartWorker(apartment_, job);
  return worker_;
}

void BoundedLane::Abandon(const std::shared_ptr<Worker>& worker) {
  LetGo(*worker);
  std::lock_guard lock(state_);
  if (worker_ == worker) worker_.reset();
  abandoned_.push_back(worker);
}

bool BoundedLane::Run(std::function<void()> task, DWORD timeoutMs) {
  if (!task) return false;
  return RunKeeping([task = std::move(task)](KeptLaneState&) { task(); }, timeoutMs);
}

bool BoundedLane::RunKeeping(std::function<void(KeptLaneState&)> task, DWORD timeoutMs) {
  try {
    if (StuckCount() >= maxAbandoned_) return false;
    timeoutMs = AllowedWaitMs(timeoutMs);
    if (timeoutMs == 0) return false;  // the tick has waited enough
    const DWORD start = ::GetTickCount();
    std::unique_lock turn(turn_, std::defer_lock);
    if (!turn.try_lock_for(std::chrono::milliseconds(timeoutMs))) return false;
    const DWORD waited = ::GetTickCount() - start;
    if (waited >= timeoutMs) return false;
    timeoutMs -= waited;
    if (StuckCount() >= maxAbandoned_) return false;  // another caller's task may have stuck meanwhile

    auto job = std::make_shared<Job>();
    if (!job->done) return false;
    job->task = std::move(task);
    const std::shared_ptr<Worker> worker = HandOver(job);
    if (!worker) return false;
    if (::WaitForSingleObject(job->done.get(), timeoutMs) != WAIT_OBJECT_0) {
      Abandon(worker);
      return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

void ReleaseIdleLaneThreads() {
  try {
    std::vector<std::shared_ptr<Worker>> released;
    {
      LaneRegistry& registry = Lanes();
      std::lock_guard lock(registry.mutex);
      for (BoundedLane* lane : registry.lanes)
        if (std::shared_ptr<Worker> worker = lane->ReleaseThread()) released.push_back(std::move(worker));
    }
    // An idle thread ends at once unless letting go of what it kept waits
    // on a player; the library is unmapped with the host's FreeLibrary only
    // once they all have ended.
    const DWORD start = ::GetTickCount();
    for (const std::shared_ptr<Worker>& worker : released) {
      const DWORD waited = ::GetTickCount() - start;
      if (waited >= kReleaseWaitBoundMs) break;
      ::WaitForSingleObject(worker->thread.get(), kReleaseWaitBoundMs - waited);
    }
  } catch (...) {
  }
}

DWORD SetLaneIdleTimeout(DWORD ms) { return gIdleTimeoutMs.exchange(ms); }

}  // namespace tunelet::win32
