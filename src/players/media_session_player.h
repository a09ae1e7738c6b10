// The media session as a player: asked when the classic players have nothing
// to show, it keeps the tick's answer for the steps of the tick that follow
// (the path, the track, the thumbnail, the commands).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/track_info.h"
#include "players/media_session.h"
#include "players/player_routes.h"

namespace tunelet {

class MediaSessionPlayer {
 public:
  explicit MediaSessionPlayer(IMediaSessionRoute& route) : route_(route) {}

  enum class Answer : uint8_t { NothingPlays, Plays, NoAnswer };
  // Asks the route for the sessions and picks the one to show.
  Answer Poll(bool returnOnPause);
  // The session the last Poll picked; null when none or no answer.
  const MediaSession* Chosen() const { return chosen_ ? &*chosen_ : nullptr; }
  // The session track last read is in the record now (read and not forgotten
  // or replaced since: a poll's answer may be dropped before it reaches the
  // record, and then the track counts as new again).
  bool ShowsTrack(const TrackInfo& track) const;

  // The address of the chosen session's track; empty when nothing plays (or
  // a video plays and videos are ignored), nothing when the route did not
  // answer.
  std::optional<std::u16string> PlayingAddress(bool ignoreVideo) const;
  // Fills track from the chosen session when its track is new to the record;
  // true then, and the thumbnail of the new track is asked for.
  bool ReadTrack(TrackInfo& track);
  // The thumbnail of the track shown now, when it has arrived; a thumbnail
  // read for an earlier track is dropped.
  std::optional<std::vector<uint8_t>> TakeThumbnail();
  // Command 0..4 to the session shown.
  void SendCommand(int command);

  const std::optional<MediaSessionList>& LastList() const { return list_; }

 private:
  IMediaSessionRoute& route_;
  std::optional<MediaSessionList> list_;  // the last answer; nothing: none in time
  std::optional<MediaSession> chosen_;
  bool shown_ = false;  // a session track was read into the record
  std::u16string shownAppId_;
  SessionTrackKey shownKey_;
  // The record's fields as the last read filled them.
  OptText shownTitle_, shownArtist_, shownAlbum_;
  ThumbnailGuard guard_;
};

}  // namespace tunelet
