// Winamp, AIMP2, jetAudio and Apollo: asked what they play by window messages,
// by reading the player's memory or shared memory, or by their window titles.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "players/player_routes_set.h"

namespace tunelet {

// --- the routes of GetPlayingPath; empty for nothing playing, no value when
// the player did not answer in time
// Winamp is asked its state at every call; the playlist entry's path only
// when the state or the window title changed since the last answer of the
// same window (the path is otherwise answered again).
// `paused`, when given, says whether the player answered that it is paused
// (with Returnonpause off a paused player still answers its track).
PathAnswer GetWinampPath(IPlayerSystem& system, uintptr_t playerHandle, bool* paused = nullptr);
// Drops the path GetWinampPath remembers, so that the next call asks in full.
void ForgetWinampPath();
PathAnswer GetAimp2Path(IPlayerSystem& system, uintptr_t playerHandle, bool* paused = nullptr);
std::optional<bool> JetAudioIsPlaying(IPlayerSystem& system, uintptr_t playerHandle, bool* paused = nullptr);
PathAnswer GetApolloPath(IPlayerSystem& system, uintptr_t playerHandle);

// --- stream titles: true when a new track was written into TrackInfo
bool ReadWinampStreamTitle(IPlayerSystem& system, uintptr_t playerHandle, std::u16string_view url);
bool ReadAimp2StreamTitle(IPlayerSystem& system, uintptr_t playerHandle, std::u16string_view url);

// --- the pure parts
// The AIMP2 record "AIMP2_RemoteInfo" holds the playing file as its string 4.
constexpr size_t kAimp2RecordBytes = 2048;
// String 4 of the record, or empty when the lengths place it (partly) outside
// the bytes given.
std::u16string Aimp2PathFromRecord(std::span<const uint8_t> record);

// The song in a Winamp window title ("1. Artist - Song - Winamp": the
// playlist number, when Winamp shows it, and the suffix dropped), or nothing
// when the title is not one of a playing track.
std::optional<std::u16string> WinampTitleToTrackTitle(std::u16string_view windowTitle);
// The same for the title of AIMP2's Winamp-compatible window ("01. Artist -
// Song - Winamp").
std::optional<std::u16string> Aimp2TitleToTrackTitle(std::u16string_view windowTitle);

// A playlist number at the start ("12. Song" gives "Song"); other text as it is.
std::u16string_view DropPlaylistNumber(std::u16string_view text);

// A station's song text split at its first " - " into artist and title; a
// text without two non-empty sides is all title, with no artist.
struct StreamSong {
  std::u16string artist;  // empty: none
  std::u16string title;
};
StreamSong SplitStreamSong(std::u16string_view song);

// The text before the first NUL.
std::string_view TextBeforeNul(std::span<const uint8_t> bytes);

}  // namespace tunelet
