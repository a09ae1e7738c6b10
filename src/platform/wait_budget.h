// How long one polling tick may wait on players, all
// waits together: window messages, automation calls, open-file scans and
// files on network shares. Each bounded wait asks the budget how long it may
// take; once the tick's budget is spent, the rest of the tick gets no answer
// at once, so one busy player can never stall the messenger for longer.
#pragma once

#include <cstdint>

namespace tunelet {

constexpr uint32_t kTickWaitBudgetMs = 1500;

class WaitBudget {
 public:
  // A tick starts at nowMs with budgetMs to spend.
  void Begin(uint32_t nowMs, uint32_t budgetMs);
  void End();
  // How long a wait that would take up to wantedMs may take at nowMs: all of
  // it outside a tick, else what is left of the tick's budget (0: none).
  uint32_t Allow(uint32_t wantedMs, uint32_t nowMs) const;

 private:
  bool active_ = false;
  uint32_t startMs_ = 0;
  uint32_t budgetMs_ = 0;
};

// The budget of the tick the calling thread runs now (one at a time per thread).
WaitBudget& TickWaitBudget();
// Allow() at the system's tick count.
uint32_t AllowedWaitMs(uint32_t wantedMs);

// Opens a tick's budget for the life of the object.
class TickWaitScope {
 public:
  explicit TickWaitScope(uint32_t budgetMs);
  ~TickWaitScope();
  TickWaitScope(const TickWaitScope&) = delete;
  TickWaitScope& operator=(const TickWaitScope&) = delete;
};

}  // namespace tunelet
