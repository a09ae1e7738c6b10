#include "players/player_commands.h"

#include "model/settings.h"
#include "model/player_table.h"

namespace tunelet {

namespace {

constexpr int kCommandCount = 5;

// Windows Media Player: WM_APPCOMMAND codes (media stop, play/pause twice,
// previous, next); its play and pause are one toggle.
constexpr intptr_t kWmpAppCommands[kCommandCount] = {13, 14, 14, 12, 11};
// Winamp and MediaMonkey: Winamp menu-command ids.
constexpr uintptr_t kWinampCommandIds[kCommandCount] = {40047, 40045, 40046, 40044, 40048};
// AIMP2: function numbers of its remote-control message.
constexpr uint32_t kAimp2Remote = kWmUser + 117;
constexpr intptr_t kAimp2Functions[kCommandCount] = {17, 15, 16, 19, 18};
// jetAudio: command numbers of its remote-control message (play and pause toggle).
constexpr uint32_t kJetAudioCommand = 0x82E5;
constexpr intptr_t kJetAudioCommands[kCommandCount] = {5102, 5104, 5104, 5107, 5108};

}  // namespace

std::optional<PlayerMessage> PlayerCommandMessage(int player, int command, uintptr_t playerHandle) {
  if (command < 0 || command >= kCommandCount) return std::nullopt;
  switch (player) {
    case kWmp: return PlayerMessage{kWmAppCommand, playerHandle, kWmpAppCommands[command] << 16};
    case kWinamp:
    case kMediaMonkey: return PlayerMessage{kWmCommand, kWinampCommandIds[command], 0};
    case kAimp2: return PlayerMessage{kAimp2Remote, 3, kAimp2Functions[command]};
    case kJetAudio: return PlayerMessage{kJetAudioCommand, 0, kJetAudioCommands[command]};
    default: return std::nullopt;
  }
}

void SendPlayerCommand(const PlayerRoutes& routes, int command) {
  const PluginSettings& s = Settings();
  if (!s.PluginOn || command < 0 || command >= kCommandCount) return;
  if (s.CurrentPlayer == kFoobar2000) {
    // Only the automation object takes commands; foobar2000's window does not.
    if (s.PlayerHandle == kFoobarAutomationHandle) routes.automation.SendFoobar2000Command(command);
    return;
  }
  if (const auto m = PlayerCommandMessage(s.CurrentPlayer, command, s.PlayerHandle))
    routes.system.SendBounded(s.PlayerHandle, m->message, m->wParam, m->lParam);
}

}  // namespace tunelet
