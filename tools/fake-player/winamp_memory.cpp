// Winamp's playlist as the plug-in reads it: the answer to
// (WM_USER, index, 211) is the address, inside this process, of the 8-bit file
// name of that playlist entry.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "script.h"

using namespace fakeplayer;

namespace {

constexpr int kPlaylistEntries = 32;
constexpr size_t kEntryBytes = 1024;  // a reader takes 512 bytes from the address
constexpr LPARAM kGetPlaylistFile = 211;

std::mutex gPlaylistMutex;
char gPlaylist[kPlaylistEntries][kEntryBytes];
bool gPlaylistSet[kPlaylistEntries];

const bool kRegistered = [] {
  RegisterCommand("playlist", [](const Command& c) -> intptr_t {
    // playlist <index> <text>: the text is stored in the system ANSI code page
    int64_t index = 0;
    if (!c.Int(0, &index) || index < 0 || index >= kPlaylistEntries || c.Count() < 2) return kCommandFailed;
    const std::string ansi = ToAnsi(c.Arg(1));
    std::lock_guard lock(gPlaylistMutex);
    std::memset(gPlaylist[index], 0, kEntryBytes);
    std::memcpy(gPlaylist[index], ansi.data(), std::min(ansi.size(), kEntryBytes - 1));
    gPlaylistSet[index] = true;
    return reinterpret_cast<intptr_t>(gPlaylist[index]);
  });
  RegisterCommand("playlist-clear", [](const Command&) -> intptr_t {
    std::lock_guard lock(gPlaylistMutex);
    std::memset(gPlaylist, 0, sizeof gPlaylist);
    std::memset(gPlaylistSet, 0, sizeof gPlaylistSet);
    return 0;
  });
  RegisterMessageHook([](HWND, UINT message, WPARAM w, LPARAM l) -> std::optional<LRESULT> {
    if (message != WM_USER || l != kGetPlaylistFile || w >= kPlaylistEntries) return std::nullopt;
    std::lock_guard lock(gPlaylistMutex);
    if (!gPlaylistSet[w]) return std::nullopt;
    return reinterpret_cast<LRESULT>(gPlaylist[w]);
  });
  return true;
}();

}  // namespace
