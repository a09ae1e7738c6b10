#include "platform/win32/bounded_lane.h"

#include <objbase.h>

#include "platform/win32/unique_handle.h"
#include "platform/wait_budget.h"

namespace tunelet::win32 {

struct BoundedLane::Job {
  std::function<void()> task;
  BoundedLane::Apartment apartment = BoundedLane::Apartment::None;
  UniqueKernelHandle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

namespace {

DWORD WINAPI LaneThread(void* param) {
  {
    auto* held = static_cast<std::shared_ptr<BoundedLane::Job>*>(param);
    std::shared_ptr<BoundedLane::Job> job = std::move(*held);
    delete held;
    const bool com = job->apartment == BoundedLane::Apartment::MultiThreaded;
    const HRESULT init = com ? ::CoInitializeEx(nullptr, COINIT_MULTITHREADED) : S_OK;
    try {
      if (SUCCEEDED(init)) job->task();
    } catch (...) {
    }
    job->task = nullptr;  // COM references the task holds go while COM is up
    if (com && SUCCEEDED(init)) ::CoUninitialize();
    ::SetEvent(job->done.get());
  }
  // The reference taken for this thread keeps the module mapped until here.
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&LaneThread), &self);
  ::FreeLibraryAndExitThread(self, 0);
  return 0;
}

}  // namespace

void BoundedLane::ForgetEndedJobs() {
  std::erase_if(abandoned_, [](const std::shared_ptr<Job>& job) {
    return ::WaitForSingleObject(job->done.get(), 0) == WAIT_OBJECT_0;
  });
}

size_t BoundedLane::StuckCount() {
  ForgetEndedJobs();
  return abandoned_.size();
}

bool BoundedLane::Run(std::function<void()> task, DWORD timeoutMs) {
  try {
    if (StuckCount() >= maxAbandoned_) return false;
    timeoutMs = AllowedWaitMs(timeoutMs);
    if (timeoutMs == 0) return false;  // the tick has waited enough
    auto job = std::make_shared<Job>();
    if (!job->done) return false;
    job->task = std::move(task);
    job->apartment = apartment_;

    HMODULE self = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&LaneThread),
                              &self))
      return false;
    auto* param = new std::shared_ptr<Job>(job);
    UniqueKernelHandle thread(::CreateThread(nullptr, 0, LaneThread, param, 0, nullptr));
    if (!thread) {
      delete param;
      ::FreeLibrary(self);
      return false;
    }
    if (::WaitForSingleObject(job->done.get(), timeoutMs) != WAIT_OBJECT_0) {
      abandoned_.push_back(std::move(job));
      return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace tunelet::win32
