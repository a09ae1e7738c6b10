// A lane keeps one thread for its tasks: what a task leaves to the next stays
// on that thread, a task that does not end in time takes its thread with it,
// and an idle thread ends when released or after the idle time-out.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "platform/win32/bounded_lane.h"
#include "platform/win32/unique_handle.h"

namespace tunelet::win32 {
namespace {

constexpr DWORD kTaskTimeoutMs = 2000;
// How long a released or idle thread may take to end (it has nothing to do).
constexpr DWORD kThreadEndBoundMs = 5000;

DWORD ThreadOfTask(BoundedLane& lane) {
  return RunBounded<DWORD>(lane, kTaskTimeoutMs, [] { return ::GetCurrentThreadId(); }).value_or(0);
}

bool ThreadEnds(DWORD threadId) {
  UniqueKernelHandle thread(::OpenThread(SYNCHRONIZE, FALSE, threadId));
  return !thread || ::WaitForSingleObject(thread.get(), kThreadEndBoundMs) == WAIT_OBJECT_0;
}

// What a test task keeps: the thread it was made on, and where the thread
// it was destroyed on is written.
struct Memo final : LaneThreadState {
  Memo(std::shared_ptr<std::atomic<DWORD>> destroyedOn) : destroyedOn(std::move(destroyedOn)) {}
  ~Memo() override { *destroyedOn = ::GetCurrentThreadId(); }
  DWORD madeOn = ::GetCurrentThreadId();
  int tasks = 0;
  std::shared_ptr<std::atomic<DWORD>> destroyedOn;
};

// Counts the tasks that found the memo, making one when there is none.
int CountedTask(BoundedLane& lane, const std::shared_ptr<std::atomic<DWORD>>& destroyedOn) {
  return RunBoundedKeeping<int>(lane, kTaskTimeoutMs, [destroyedOn](KeptLaneState& kept) {
           if (!kept) kept = std::make_unique<Memo>(destroyedOn);
           return ++static_cast<Memo&>(*kept).tasks;
         })
      .value_or(-1);
}

TEST(BoundedLane, TasksShareOneThreadUntilItIsReleased) {
  BoundedLane lane(BoundedLane::Apartment::MultiThreaded);
  const DWORD first = ThreadOfTask(lane);
  ASSERT_NE(first, 0u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ThreadOfTask(lane), first) << i;
  EXPECT_TRUE(lane.Run([] { throw 1; }, kTaskTimeoutMs));  // swallowed: the task ended
  EXPECT_EQ(ThreadOfTask(lane), first);

  // Released, an idle thread has ended when the call returns: the host
  // unloads the library right after.
  UniqueKernelHandle thread(::OpenThread(SYNCHRONIZE, FALSE, first));
  ASSERT_TRUE(thread);
  ReleaseIdleLaneThreads();
  EXPECT_EQ(::WaitForSingleObject(thread.get(), 0), WAIT_OBJECT_0);
  EXPECT_NE(ThreadOfTask(lane), 0u);  // a new thread serves the next task
}

TEST(BoundedLane, WhatATaskKeepsReachesTheNextAndGoesWithItsThread) {
  auto destroyedOn = std::make_shared<std::atomic<DWORD>>(0);
  {
    BoundedLane lane(BoundedLane::Apartment::MultiThreaded);
    EXPECT_EQ(CountedTask(lane, destroyedOn), 1);
    EXPECT_EQ(CountedTask(lane, destroyedOn), 2);
    const DWORD thread = ThreadOfTask(lane);
    EXPECT_EQ(CountedTask(lane, destroyedOn), 3);
    lane.ReleaseThread();
    ASSERT_TRUE(ThreadEnds(thread));
    EXPECT_EQ(destroyedOn->load(), thread);  // destroyed on its own thread
    EXPECT_EQ(CountedTask(lane, destroyedOn), 1);  // the new thread starts without
    *destroyedOn = 0;
  }
  // A lane that goes lets its thread go too.
  for (DWORD waited = 0; waited < kThreadEndBoundMs && destroyedOn->load() == 0; waited += 20) ::Sleep(20);
  EXPECT_NE(destroyedOn->load(), 0u);
}

TEST(BoundedLane, AnIdleThreadEndsByItself) {
  const DWORD previous = SetLaneIdleTimeout(50);
  BoundedLane lane(BoundedLane::Apartment::None);
  const DWORD thread = ThreadOfTask(lane);
  EXPECT_TRUE(ThreadEnds(thread));
  SetLaneIdleTimeout(previous);
  EXPECT_NE(ThreadOfTask(lane), 0u);
}

// A task that does not end in time keeps its thread and what that thread
// kept; the next task starts on a fresh thread without it, and the stuck
// thread ends on its own once its task does.
TEST(BoundedLane, AnAbandonedTaskTakesItsThreadAndWhatItKept) {
  constexpr size_t kMaxStuck = 1;
  BoundedLane lane(BoundedLane::Apartment::MultiThreaded, kMaxStuck);
  auto destroyedOn = std::make_shared<std::atomic<DWORD>>(0);
  ASSERT_EQ(CountedTask(lane, destroyedOn), 1);
  const DWORD first = ThreadOfTask(lane);

  auto release = std::make_shared<UniqueKernelHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const DWORD started = ::GetTickCount();
  EXPECT_FALSE(lane.Run([release] { ::WaitForSingleObject(release->get(), 10000); }, 100));
  EXPECT_LT(::GetTickCount() - started, 1000u);
  EXPECT_EQ(lane.StuckCount(), 1u);
  EXPECT_FALSE(lane.Run([] {}, kTaskTimeoutMs));  // refused while as many as allowed are stuck
  EXPECT_EQ(lane.StuckCount(), 1u);

  ::SetEvent(release->get());
  ASSERT_TRUE(ThreadEnds(first));
  EXPECT_EQ(lane.StuckCount(), 0u);
  EXPECT_EQ(destroyedOn->load(), first);
  EXPECT_EQ(CountedTask(lane, destroyedOn), 1);
}

// Callers on two threads take turns: neither task is lost or overlaps the
// other.
TEST(BoundedLane, CallersOfOneLaneTakeTurns) {
  BoundedLane lane(BoundedLane::Apartment::None);
  std::atomic<int> running{0}, overlaps{0}, done{0};
  auto task = [&] {
    if (++running > 1) ++overlaps;
    ::Sleep(30);
    --running;
    ++done;
  };
  bool otherRan = false;
  std::thread other([&] { otherRan = lane.Run(task, kTaskTimeoutMs); });
  const bool thisRan = lane.Run(task, kTaskTimeoutMs);
  other.join();
  EXPECT_TRUE(thisRan);
  EXPECT_TRUE(otherRan);
  EXPECT_EQ(done.load(), 2);
  EXPECT_EQ(overlaps.load(), 0);
}

}  // namespace
}  // namespace tunelet::win32
