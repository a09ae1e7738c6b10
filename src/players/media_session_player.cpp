#include "players/media_session_player.h"

#include <utility>

#include "common/text.h"

namespace tunelet {

MediaSessionPlayer::Answer MediaSessionPlayer::Poll(bool returnOnPause) {
  chosen_.reset();
  list_ = route_.ReadSessions(returnOnPause);
  if (!list_) return Answer::NoAnswer;
  if (list_->sessions.size() > kMaxMediaSessions) list_->sessions.resize(kMaxMediaSessions);
  const std::optional<size_t> pick = ChooseSession(list_->sessions, returnOnPause);
  if (!pick) return Answer::NothingPlays;
  chosen_ = list_->sessions[*pick];
  return Answer::Plays;
}

bool MediaSessionPlayer::ShowsTrack(const TrackInfo& track) const {
  return shown_ && View(track.LastReadPath) == SessionTrackAddress(shownAppId_) && track.Title == shownTitle_ &&
         track.Artist == shownArtist_ && track.Album == shownAlbum_;
}

std::optional<std::u16string> MediaSessionPlayer::PlayingAddress(bool ignoreVideo) const {
  if (!list_) return std::nullopt;
  if (!chosen_ || (ignoreVideo && chosen_->video)) return u"";
  return SessionTrackAddress(chosen_->appId);
}

bool MediaSessionPlayer::ReadTrack(TrackInfo& track) {
  if (!chosen_) return false;
  const SessionTrackKey key = TrackKeyOf(*chosen_);
  // The record was emptied or holds another player's track: read again even
  // when the session's own track did not change.
  if (key == shownKey_ && ShowsTrack(track)) return false;
  FillTrackFromSession(*chosen_, track);
  shownKey_ = key;
  shownAppId_ = chosen_->appId;
  shown_ = true;
  shownTitle_ = track.Title;
  shownArtist_ = track.Artist;
  shownAlbum_ = track.Album;
  const uint64_t generation = guard_.NewTrack();
  if (chosen_->hasThumbnail) route_.RequestThumbnail(chosen_->appId, generation);
  return true;
}

std::optional<std::vector<uint8_t>> MediaSessionPlayer::TakeThumbnail() {
  std::optional<IMediaSessionRoute::Thumbnail> arrived = route_.TakeThumbnail();
  if (!arrived || !guard_.Accepts(arrived->generation) || arrived->bytes.empty() ||
      arrived->bytes.size() > kMaxSessionThumbnailBytes)
    return std::nullopt;
  return std::move(arrived->bytes);
}

void MediaSessionPlayer::SendCommand(int command) {
  if (shown_) route_.SendCommand(shownAppId_, command);
}

}  // namespace tunelet
