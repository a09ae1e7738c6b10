// The player-access subsystem as the core sees it (IPlayerAccess): detection,
// the path query dispatched by CurrentPlayer, stream titles, player info and
// remote control, over the routes it is given.
#pragma once

#include "model/subsystems.h"
#include "players/media_session_player.h"
#include "players/player_routes_set.h"

namespace tunelet {

class PlayerAccess : public IPlayerAccess {
 public:
  explicit PlayerAccess(PlayerRoutes routes) : routes_(routes), session_(routes.mediaSession) {}

  uintptr_t FindPlayer(int mode) override;
  std::optional<std::u16string> GetPlayingPath() override;
  bool ReadFoobar2000Track() override;
  bool ReadWinampStreamTitle(std::u16string_view url) override;
  bool ReadAimp2StreamTitle(std::u16string_view url) override;
  int ClassifyAndRead(std::u16string_view path) override;
  bool FileExists(std::u16string_view path) override;
  int32_t GetPlayerInfo(int kind) override;
  void SendPlayerCommand(int command) override;
  bool ReadMediaSessionTrack() override;
  bool TakeLateCover() override;
  bool PlayerPaused() override { return paused_; }
  std::u16string SessionAppId() override;

 private:
  PathAnswer GetMediaMonkeyPath();
  PathAnswer GetClassicPlayingPath();
  std::optional<std::u16string> SessionPlayingAddress();
  // Asks the media session; kMediaSessionHandle (and CurrentPlayer set) when
  // a session is to be shown, or the one shown gave no answer in time.
  uintptr_t FindMediaSession();

  PlayerRoutes routes_;
  MediaSessionPlayer session_;
  bool lateCover_ = false;
  bool paused_ = false;  // the player last asked for its path said it is paused
};

}  // namespace tunelet
