#include "core/win32/poll_worker_win32.h"

#include <deque>
#include <mutex>

#include "platform/win32/unique_handle.h"

namespace tunelet::win32 {

namespace {

// Commands clicked faster than a player takes them: the rest are dropped.
constexpr size_t kMaxWaitingCommands = 8;
// How long the plug-in object lets an idle worker end before it goes (the
// thread only has to wake up; one busy with a player is never waited for).
constexpr DWORD kIdleWorkerEndMs = 200;

// The player access objects are shared by every plug-in object of the
// process: two workers (an old object's, still stuck on a player, and a new
// one's) never query at the same time.
std::mutex& QueryGate() {
  static std::mutex gate;
  return gate;
}

}  // namespace

struct PollWorkerThread::Shared {
  explicit Shared(IPlayerAccess& p) : players(p) {}
  IPlayerAccess& players;
  std::mutex lock;
  // Set when there is work or the object goes (as the lanes wake theirs).
  UniqueKernelHandle wake{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  bool stop = false;
  bool querying = false;  // a query handed over and not answered yet
  bool running = false;   // the thread is in a task now
  std::optional<PollRequest> query;
  std::deque<std::pair<int, PluginSettings>> commands;
  std::optional<std::pair<uint64_t, PollAnswer>> answer;
  HWND replyTo = nullptr;
  UINT replyMessage = 0;
};

namespace {

void RunCommand(PollWorkerThread::Shared& shared, int command, PluginSettings& record) {
  const std::lock_guard<std::mutex> gate(QueryGate());
  const ThreadRecordScope onCopy(record);
  shared.players.SendPlayerCommand(command);
}

void RunQuery(PollWorkerThread::Shared& shared, PollRequest& request) {
  PollAnswer answer;
  {
    const std::lock_guard<std::mutex> gate(QueryGate());
    answer = RunPollQuery(shared.players, request);
  }
  const std::lock_guard<std::mutex> held(shared.lock);
  shared.querying = false;
  if (shared.stop || !shared.replyTo) return;
  shared.answer.emplace(request.serial, std::move(answer));
  ::PostMessageW(shared.replyTo, shared.replyMessage, 0, 0);
}

void ServeUntilStopped(PollWorkerThread::Shared& shared) {
  for (;;) {
    std::optional<PollRequest> query;
    std::optional<std::pair<int, PluginSettings>> command;
    {
      std::unique_lock<std::mutex> held(shared.lock);
      while (!shared.stop && !shared.query && shared.commands.empty()) {
        held.unlock();
        ::WaitForSingleObject(shared.wake.get(), INFINITE);
        held.lock();
      }
      if (shared.stop) return;
      shared.running = true;
      if (!shared.commands.empty()) {
        command = std::move(shared.commands.front());
        shared.commands.pop_front();
      } else {
        query = std::move(shared.query);
        shared.query.reset();
      }
    }
    try {
      if (command) RunCommand(shared, command->first, command->second);
      if (query) RunQuery(shared, *query);
    } catch (...) {
      // Nothing of this thread reaches the host; a failed query answers
      // nothing, and the next poll asks again.
      const std::lock_guard<std::mutex> held(shared.lock);
      shared.querying = false;
    }
    const std::lock_guard<std::mutex> held(shared.lock);
    shared.running = false;
  }
}

DWORD WINAPI WorkerThreadEntry(void* param) {
  {
    std::unique_ptr<std::shared_ptr<PollWorkerThread::Shared>> held(
        static_cast<std::shared_ptr<PollWorkerThread::Shared>*>(param));
    std::shared_ptr<PollWorkerThread::Shared> shared = std::move(*held);
    ServeUntilStopped(*shared);
  }
  // The reference taken when the thread started keeps the library mapped
  // until here.
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&WorkerThreadEntry), &self);
  ::FreeLibraryAndExitThread(self, 0);
  return 0;
}

}  // namespace

PollWorkerThread::PollWorkerThread(IPlayerAccess& players) : shared_(std::make_shared<Shared>(players)) {}

PollWorkerThread::~PollWorkerThread() {
  bool busy = false;
  {
    const std::lock_guard<std::mutex> held(shared_->lock);
    shared_->stop = true;
    shared_->replyTo = nullptr;
    busy = shared_->running || shared_->query || !shared_->commands.empty();
    shared_->commands.clear();
  }
  ::SetEvent(shared_->wake.get());
  if (!thread_) return;
  // An idle worker ends at once; let it, so that no thread of ours is left
  // when the host unloads the library right after.
  if (!busy) ::WaitForSingleObject(thread_, kIdleWorkerEndMs);
  ::CloseHandle(thread_);
}

void PollWorkerThread::SetReplyWindow(HWND window, UINT message) {
  const std::lock_guard<std::mutex> held(shared_->lock);
  shared_->replyTo = window;
  shared_->replyMessage = message;
  shared_->answer.reset();
}

bool PollWorkerThread::EnsureThread() {
  if (thread_) return true;
  HMODULE self = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&WorkerThreadEntry),
                            &self))
    return false;
  auto* param = new std::shared_ptr<Shared>(shared_);
  thread_ = ::CreateThread(nullptr, 0, WorkerThreadEntry, param, 0, nullptr);
  if (thread_) return true;
  delete param;
  ::FreeLibrary(self);
  return false;
}

bool PollWorkerThread::Submit(PollRequest request) {
  {
    const std::lock_guard<std::mutex> held(shared_->lock);
    if (shared_->querying || shared_->stop) return false;
    if (!shared_->wake || !EnsureThread()) return false;
    shared_->querying = true;
    shared_->query.emplace(std::move(request));
  }
  ::SetEvent(shared_->wake.get());
  return true;
}

bool PollWorkerThread::Busy() const {
  const std::lock_guard<std::mutex> held(shared_->lock);
  return shared_->querying;
}

void PollWorkerThread::SubmitCommand(int command, PluginSettings record) {
  {
    const std::lock_guard<std::mutex> held(shared_->lock);
    if (shared_->stop || shared_->commands.size() >= kMaxWaitingCommands || !shared_->wake || !EnsureThread())
      return;
    shared_->commands.emplace_back(command, std::move(record));
  }
  ::SetEvent(shared_->wake.get());
}

std::optional<std::pair<uint64_t, PollAnswer>> PollWorkerThread::TakeAnswer() {
  const std::lock_guard<std::mutex> held(shared_->lock);
  return std::exchange(shared_->answer, std::nullopt);
}

void WorkerCommandAccess::SendPlayerCommand(int command) { worker_.SubmitCommand(command, Settings()); }

}  // namespace tunelet::win32
