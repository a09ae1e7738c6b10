// The player-access subsystem as the core sees it (IPlayerAccess): detection,
// the path query dispatched by CurrentPlayer, stream titles, player info and
// remote control, over the routes it is given.
#pragma once

#include "model/subsystems.h"
#include "players/player_routes_set.h"

namespace tunelet {

class PlayerAccess : public IPlayerAccess {
 public:
  explicit PlayerAccess(PlayerRoutes routes) : routes_(routes) {}

  uintptr_t FindPlayer(int mode) override;
  std::optional<std::u16string> GetPlayingPath() override;
  bool ReadFoobar2000Track() override;
  bool ReadWinampStreamTitle(std::u16string_view url) override;
  bool ReadAimp2StreamTitle(std::u16string_view url) override;
  int ClassifyAndRead(std::u16string_view path) override;
  bool FileExists(std::u16string_view path) override;
  int32_t GetPlayerInfo(int kind) override;
  void SendPlayerCommand(int command) override;

 private:
  PathAnswer GetMediaMonkeyPath();

  PlayerRoutes routes_;
};

}  // namespace tunelet
