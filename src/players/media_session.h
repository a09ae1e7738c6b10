// The system media session (Windows 10 1809 and later), the portable half:
// which of its sessions to show, how a session fills the track record, the
// names of well-known source applications, and the guard that keeps a
// thumbnail with the track it was read for. The calls themselves are made by
// players/win32/media_session_win32.*.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/track_info.h"

namespace tunelet {

// The session's playback status, numbered as the system numbers it.
enum class SessionStatus : uint8_t { Closed = 0, Opened = 1, Changing = 2, Stopped = 3, Playing = 4, Paused = 5 };

// Caps on what a session manager hands over.
constexpr size_t kMaxMediaSessions = 32;
constexpr size_t kMaxSessionThumbnailBytes = 1024 * 1024;

// One session as the manager lists it. The media properties are read for the
// chosen session only (propertiesRead).
struct MediaSession {
  std::u16string appId;  // the source application's user model id
  SessionStatus status = SessionStatus::Closed;
  bool current = false;  // the session the system calls current
  bool propertiesRead = false;
  std::u16string title, artist, albumArtist, album, genre;  // genre: the first one
  int32_t trackNumber = 0;
  bool video = false;  // playback type Video
  int64_t startTicks = 0, endTicks = 0, positionTicks = 0;  // 100-nanosecond units
  bool hasThumbnail = false;
};

// What the manager answered: whether there is one on this system at all, and
// its sessions.
struct MediaSessionList {
  bool available = false;
  std::vector<MediaSession> sessions;
};

// The session to show, by index: a playing session, the system's current one
// first; with none playing, a paused one (the current one first) unless
// pauses count as nothing playing (returnOnPause). Nothing when no session
// qualifies. A paused current session never hides a playing one.
std::optional<size_t> ChooseSession(const std::vector<MediaSession>& sessions, bool returnOnPause);

// The name a person knows the source application by: a well-known id's name,
// else the executable's name without its extension, else the id itself.
std::u16string SessionPlayerName(std::u16string_view appId);

// The address a session's track goes by: never a file, so every stream rule
// applies (no file read, no folder cover).
std::u16string SessionTrackAddress(std::u16string_view appId);

// The identity of a session's track: a change of any part is a new track.
struct SessionTrackKey {
  std::u16string appId, title, artist, album;
  bool operator==(const SessionTrackKey&) const = default;
};
SessionTrackKey TrackKeyOf(const MediaSession& s);

// Fills track from the session (fields it does not carry are cleared first):
// title, artist (the album artist when the artist is empty), album, first
// genre, track number, duration from the timeline, player name and address.
void FillTrackFromSession(const MediaSession& s, TrackInfo& track);

// Thumbnails are read after the track is shown and may arrive late. Each
// track gets a new generation; a thumbnail is taken only when it was read for
// the generation shown now.
class ThumbnailGuard {
 public:
  // A new track is shown: its generation, to tag the thumbnail read for it.
  uint64_t NewTrack() { return ++generation_; }
  // No session track is shown any more.
  void Clear() { ++generation_; }
  bool Accepts(uint64_t readForGeneration) const { return readForGeneration == generation_; }
  uint64_t Current() const { return generation_; }

 private:
  uint64_t generation_ = 0;
};

}  // namespace tunelet
