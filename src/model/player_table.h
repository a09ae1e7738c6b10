// The table of known players: three parallel arrays indexed by PlayerId.
#pragma once

#include <cstdint>
#include <string_view>

namespace tunelet {

using PlayerId = uint8_t;  // 0..20, the row of the player table
constexpr int kPlayerCount = 21;

enum : PlayerId {
  kWmp = 0, kMpc = 1, kGom = 2, kLightAlloy = 3, kBsPlayer = 4, kZoomPlayer = 5, kKmPlayer = 6,
  kCrystal = 7, kWinamp = 8, kFoobar2000 = 9, kFoobar2000Alt1 = 10, kFoobar2000Alt2 = 11,
  kAimp2 = 12, kJetAudio = 13, kITunes = 14, kMediaMonkey = 15, kQmp = 16, kApollo = 17,
  kXmPlay = 18, kRealPlayer = 19, kImpsPlayer = 20,
};

// The system media session: a player of its own beside the table's rows (the
// table's loops never reach it), shown as the twentieth choice.
constexpr PlayerId kMediaSession = 21;

// Window class (8-bit), window title (8-bit; null = any) and display name
// (kMediaSession has a display name only).
std::string_view PlayerWindowClass(int id);
const char* PlayerWindowTitle(int id);
std::u16string_view PlayerDisplayName(int id);  // empty for ids out of range

// PlayerHandle value meaning "foobar2000 through its automation object".
constexpr uintptr_t kFoobarAutomationHandle = 4;
// PlayerHandle value meaning "a session of the system media session".
constexpr uintptr_t kMediaSessionHandle = 5;

// True when CurrentPlayer answers GetPlayerInfo (Winamp, AIMP2, iTunes).
bool PlayerReportsInfo();

}  // namespace tunelet
