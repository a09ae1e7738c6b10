// Routes of player access that do not go through window messages: the
// automation objects of iTunes, MediaMonkey and foobar2000, and the open-file
// scan. The window-message rules call these; the defaults do nothing, so the
// rules run (and are tested) without them.
//
// The Win32 implementations live in players/win32/automation_win32.* and
// players/win32/open_files_win32.*, each exposing one accessor:
//   IAutomationRoutes& Win32AutomationRoutes();   // automation_win32.h
//   IOpenFileRoutes&   Win32OpenFileRoutes();     // open_files_win32.h
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "players/media_session.h"

namespace tunelet {

// What a route learnt about the playing track: its path or URL, empty when
// nothing plays, or no value at all when the player did not answer in time
// (busy or hung). "No answer" is not "nothing plays": the core keeps the
// track it shows until a real answer comes or the player is gone.
using PathAnswer = std::optional<std::u16string>;

class IAutomationRoutes {
 public:
  virtual ~IAutomationRoutes() = default;
  // Attaches to the running "Foobar2000.Application.0.7" object; never starts it.
  virtual bool Foobar2000AutomationRunning() { return false; }
  // "Playback"."FormatTitle"("%path%").
  virtual PathAnswer GetFoobar2000Path() { return u""; }
  // The full foobar2000 track read into TrackInfo; true for a new track.
  virtual bool ReadFoobar2000Track() { return false; }
  // Path of the track iTunes plays; empty unless "PlayerState" is 1.
  virtual PathAnswer GetItunesPath() { return u""; }
  // Kind 21 bitrate, 22 sample rate, 23 duration; 0 unless "PlayerState" is 1.
  virtual int32_t GetItunesInfo(int kind) { return 0; }
  // "Player"."CurrentSong"."Path" of "SongsDB.SDBApplication". The caller has
  // already asked MediaMonkey's Winamp window for its state.
  virtual PathAnswer GetMediaMonkeyCurrentSongPath() { return u""; }
  // Command 0 stop, 1 play, 2 pause, 3 previous, 4 next on "Playback" of the
  // running foobar2000 object; failures are swallowed.
  virtual void SendFoobar2000Command(int command) {}
};

class IOpenFileRoutes {
 public:
  virtual ~IOpenFileRoutes() = default;
  // Drive path of the media file the window's process opened last; empty for none.
  virtual PathAnswer FindOpenMediaFile(uintptr_t window) { return u""; }
};

// The system media session (players/win32/media_session_win32.*). Every call
// into the system runs on the route's own lane within the tick's wait
// budget; on systems without a session manager the route answers "not
// available" at no cost.
class IMediaSessionRoute {
 public:
  virtual ~IMediaSessionRoute() = default;
  // The sessions now, with the media properties and timeline of the one
  // ChooseSession(returnOnPause) picks; nothing when the manager did not
  // answer in time. The default: no session manager on this system.
  virtual std::optional<MediaSessionList> ReadSessions(bool returnOnPause) { return MediaSessionList{}; }
  // Starts reading the thumbnail of appId's session, tagged with the
  // generation it is read for; it arrives later through TakeThumbnail. A
  // read started earlier and not yet taken is superseded.
  virtual void RequestThumbnail(const std::u16string& appId, uint64_t generation) {}
  // A thumbnail that has arrived since the last call (at most
  // kMaxSessionThumbnailBytes), with the generation it was read for.
  struct Thumbnail {
    uint64_t generation = 0;
    std::vector<uint8_t> bytes;
  };
  virtual std::optional<Thumbnail> TakeThumbnail() { return std::nullopt; }
  // Command 0 stop, 1 play, 2 pause, 3 previous, 4 next to appId's session;
  // failures are swallowed.
  virtual void SendCommand(const std::u16string& appId, int command) {}
};

// The route of a system without a session manager (and of the tests that do
// not need one).
IMediaSessionRoute& NoMediaSessionRoute();

}  // namespace tunelet
