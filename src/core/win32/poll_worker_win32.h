// The poll worker: a long-lived thread of the plug-in object that runs the
// players' part of every poll (and the player commands of the control
// window), so that the host's thread never waits on a player. Each answer is
// posted to a window of the host's thread, which takes it with TakeAnswer.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <utility>

#include "core/poll_query.h"

namespace tunelet::win32 {

class PollWorkerThread final : public IPollWorker {
 public:
  explicit PollWorkerThread(IPlayerAccess& players);
  // Never waits on a query in flight: its thread ends on its own once the
  // player lets go, keeping the library mapped until then, and its answer
  // is dropped.
  ~PollWorkerThread() override;
  PollWorkerThread(const PollWorkerThread&) = delete;
  PollWorkerThread& operator=(const PollWorkerThread&) = delete;

  // Where answers are posted (message with no parameters); null: nowhere.
  void SetReplyWindow(HWND window, UINT message);

  bool Submit(PollRequest request) override;
  bool Busy() const override;
  // Player command 0..4 on a copy of the record; dropped when too many wait.
  void SubmitCommand(int command, PluginSettings record);
  // On the reply message: the answer that arrived, with its serial.
  std::optional<std::pair<uint64_t, PollAnswer>> TakeAnswer();

  struct Shared;

 private:
  bool EnsureThread();

  std::shared_ptr<Shared> shared_;
  HANDLE thread_ = nullptr;
};

// The player-access face the windows get: commands go through the worker.
class WorkerCommandAccess final : public IPlayerAccess {
 public:
  explicit WorkerCommandAccess(PollWorkerThread& worker) : worker_(worker) {}
  void SendPlayerCommand(int command) override;

 private:
  PollWorkerThread& worker_;
};

}  // namespace tunelet::win32
