// Files the player holds open, for open-file discovery: a player opens the
// file it plays and keeps the handle while it plays, often opening the next
// one before it closes the old one.
//   open-file <key> <path>    opens the file for reading (result: the handle value)
//   close-file <key>          closes it
//   hold-handles <n>          n more handles that are not files (events)
//   release-handles           closes them
//   hold-pipe                 a pipe with a read pending on it forever
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "script.h"

using namespace fakeplayer;

namespace {

constexpr int64_t kMaxHeldHandles = 20000;

std::mutex gMutex;
std::map<std::string, HANDLE> gFiles;
std::vector<HANDLE> gPadding;

DWORD WINAPI ReadForever(void* pipe) {
  char byte = 0;
  DWORD got = 0;
  ::ReadFile(static_cast<HANDLE>(pipe), &byte, 1, &got, nullptr);  // nobody ever writes
  return 0;
}

const bool kRegistered = [] {
  RegisterCommand("open-file", [](const Command& c) -> intptr_t {
    if (c.Count() < 2) return kCommandFailed;
    HANDLE f = ::CreateFileW(c.WideArg(1).c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return kCommandFailed;
    std::lock_guard lock(gMutex);
    auto& slot = gFiles[c.Arg(0)];
    if (slot) ::CloseHandle(slot);
    slot = f;
    LogLine("open-file " + c.Arg(0) + " " + std::to_string(reinterpret_cast<uintptr_t>(f)));
    return reinterpret_cast<intptr_t>(f);
  });
  RegisterCommand("close-file", [](const Command& c) -> intptr_t {
    std::lock_guard lock(gMutex);
    auto it = gFiles.find(c.Arg(0));
    if (it == gFiles.end()) return kCommandFailed;
    ::CloseHandle(it->second);
    gFiles.erase(it);
    LogLine("close-file " + c.Arg(0));
    return 0;
  });
  RegisterCommand("hold-handles", [](const Command& c) -> intptr_t {
    int64_t n = 0;
    if (!c.Int(0, &n) || n < 0 || n > kMaxHeldHandles) return kCommandFailed;
    std::lock_guard lock(gMutex);
    for (int64_t i = 0; i < n; ++i) {
      HANDLE e = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
      if (!e) return kCommandFailed;
      gPadding.push_back(e);
    }
    return intptr_t(gPadding.size());
  });
  RegisterCommand("release-handles", [](const Command&) -> intptr_t {
    std::lock_guard lock(gMutex);
    for (HANDLE h : gPadding) ::CloseHandle(h);
    gPadding.clear();
    return 0;
  });
  RegisterCommand("hold-pipe", [](const Command&) -> intptr_t {
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, nullptr, 0)) return kCommandFailed;
    HANDLE reader = ::CreateThread(nullptr, 0, ReadForever, readEnd, 0, nullptr);
    if (!reader) return kCommandFailed;
    ::CloseHandle(reader);
    return 0;  // both ends stay open for the life of the process
  });
  return true;
}();

}  // namespace
