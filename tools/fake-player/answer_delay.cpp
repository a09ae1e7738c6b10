// A slow player: a window that takes a while before it answers a message,
// for measuring how long a caller waits (not a hang: the answer comes).
#include <map>
#include <mutex>
#include <utility>

#include "script.h"

using namespace fakeplayer;

namespace {

constexpr int64_t kLongestDelayMs = 60000;  // a slip in a script must not leave a zombie

std::mutex gDelaysMutex;
std::map<std::pair<HWND, UINT>, DWORD> gDelays;

DWORD DelayFor(HWND window, UINT message) {
  std::lock_guard lock(gDelaysMutex);
  const auto it = gDelays.find({window, message});
  return it == gDelays.end() ? 0 : it->second;
}

const bool kRegistered = [] {
  RegisterCommand("delay", [](const Command& c) -> intptr_t {
    // delay <window-id> <message> <ms>: 0 ms answers at once again
    HWND w = PlayerWindow(c.Arg(0));
    int64_t message = 0, ms = 0;
    if (!w || !c.Int(1, &message) || !c.Int(2, &ms) || ms < 0 || ms > kLongestDelayMs) return kCommandFailed;
    std::lock_guard lock(gDelaysMutex);
    gDelays[{w, UINT(message)}] = DWORD(ms);
    return 0;
  });
  RegisterMessageHook([](HWND w, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (const DWORD ms = DelayFor(w, message)) Sleep(ms);
    return std::nullopt;  // then answered as usual
  });
  return true;
}();

}  // namespace
