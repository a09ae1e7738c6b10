// How the metadata readers ask the running player for what only it knows
// (the MP4 entry point takes the bit rate from Winamp, AIMP2 and iTunes).
// The core plugs player access in at start; until then, and in the tools and
// tests, no player answers.
#pragma once

#include <cstdint>

namespace tunelet {

class IPlayerAccess;

// Player access used by the entry points; null means no player answers.
void SetPlayerInfoSource(IPlayerAccess* players);
IPlayerAccess* PlayerInfoSource();

// GetPlayerInfo(kind) of the installed source (21 bit rate, 22 sample rate,
// 23 length in seconds); 0 without a source.
int32_t AskPlayerInfo(int kind);

}  // namespace tunelet
