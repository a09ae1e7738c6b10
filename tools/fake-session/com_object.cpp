// The live-object count of the simulated session manager.
#include "com_object.h"

#include <mutex>

#include "session_script.h"

namespace fakesession {

namespace {
std::atomic<long> gLive{0};
std::mutex gLogMutex;
std::wstring gLogPath;
}  // namespace

long LiveObjects() { return gLive.load(); }

void SetObjectLog(const std::wstring& logPath) {
  std::lock_guard lock(gLogMutex);
  gLogPath = logPath;
}

Counted::Counted() { ++gLive; }

Counted::~Counted() {
  if (--gLive != 0) return;
  std::wstring log;
  {
    std::lock_guard lock(gLogMutex);
    log = gLogPath;
  }
  AppendLog(log, "objects 0");
}

}  // namespace fakesession
