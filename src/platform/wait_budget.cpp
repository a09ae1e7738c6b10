#include "platform/wait_budget.h"

#include <algorithm>

#include "platform/platform.h"

namespace tunelet {

void WaitBudget::Begin(uint32_t nowMs, uint32_t budgetMs) {
  active_ = true;
  startMs_ = nowMs;
  budgetMs_ = budgetMs;
}

void WaitBudget::End() { active_ = false; }

uint32_t WaitBudget::Allow(uint32_t wantedMs, uint32_t nowMs) const {
  if (!active_) return wantedMs;
  const uint32_t spent = nowMs - startMs_;  // the tick count wraps; the difference does not
  return spent >= budgetMs_ ? 0 : std::min(wantedMs, budgetMs_ - spent);
}

WaitBudget& TickWaitBudget() {
  // Per thread: the poll worker's tick and a wait of the host's thread (a
  // player command, a file opened for a window) do not share a budget.
  thread_local WaitBudget budget;
  return budget;
}

uint32_t AllowedWaitMs(uint32_t wantedMs) { return TickWaitBudget().Allow(wantedMs, platform::TickCount()); }

TickWaitScope::TickWaitScope(uint32_t budgetMs) { TickWaitBudget().Begin(platform::TickCount(), budgetMs); }

TickWaitScope::~TickWaitScope() { TickWaitBudget().End(); }

}  // namespace tunelet
