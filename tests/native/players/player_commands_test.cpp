#include <gtest/gtest.h>

#include "model/settings.h"
#include "players/player_commands.h"
#include "model/player_table.h"
#include "scripted_player_system.h"

using namespace tunelet;
using namespace tunelet::testing;

namespace {

class PlayerCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    Settings().PluginOn = true;
    Settings().PlayerHandle = 0x2222;
  }
  // What each of the five buttons sends to the current player.
  std::vector<SentPlayerMessage> PressAll(int player) {
    Settings().CurrentPlayer = uint8_t(player);
    sys.sent.clear();
    for (int c = 0; c <= 4; ++c) SendPlayerCommand(routes, c);
    return sys.sent;
  }

  ScriptedPlayerSystem sys;
  ScriptedAutomation automation;
  ScriptedOpenFiles openFiles;
  PlayerRoutes routes{sys, automation, openFiles};
};

}  // namespace

TEST_F(PlayerCommands, EachRouteSendsItsOwnNumbers) {
  const uintptr_t h = 0x2222;
  EXPECT_EQ(PressAll(kWmp), (std::vector<SentPlayerMessage>{{h, 0x319, h, 0xD0000},
                                                      {h, 0x319, h, 0xE0000},
                                                      {h, 0x319, h, 0xE0000},
                                                      {h, 0x319, h, 0xC0000},
                                                      {h, 0x319, h, 0xB0000}}));
  const std::vector<SentPlayerMessage> winamp{
      {h, 0x111, 40047, 0}, {h, 0x111, 40045, 0}, {h, 0x111, 40046, 0}, {h, 0x111, 40044, 0}, {h, 0x111, 40048, 0}};
  EXPECT_EQ(PressAll(kWinamp), winamp);
  EXPECT_EQ(PressAll(kMediaMonkey), winamp);
  EXPECT_EQ(PressAll(kAimp2), (std::vector<SentPlayerMessage>{
                                  {h, 1141, 3, 17}, {h, 1141, 3, 15}, {h, 1141, 3, 16}, {h, 1141, 3, 19}, {h, 1141, 3, 18}}));
  EXPECT_EQ(PressAll(kJetAudio), (std::vector<SentPlayerMessage>{{h, 33509, 0, 5102},
                                                          {h, 33509, 0, 5104},
                                                          {h, 33509, 0, 5104},
                                                          {h, 33509, 0, 5107},
                                                          {h, 33509, 0, 5108}}));
}

TEST_F(PlayerCommands, OtherPlayersAndUnknownCommandsGetNothing) {
  for (int p : {kMpc, kGom, kKmPlayer, kITunes, kApollo, kImpsPlayer}) EXPECT_TRUE(PressAll(p).empty()) << p;
  Settings().CurrentPlayer = kWinamp;
  SendPlayerCommand(routes, 5);
  SendPlayerCommand(routes, -1);
  SendPlayerCommand(routes, 255);
  EXPECT_TRUE(sys.sent.empty());
}

TEST_F(PlayerCommands, NothingIsSentWhileThePluginIsOff) {
  Settings().PluginOn = false;
  EXPECT_TRUE(PressAll(kWinamp).empty());
  Settings().PlayerHandle = kFoobarAutomationHandle;
  PressAll(kFoobar2000);
  EXPECT_TRUE(automation.foobarCommands.empty());
}

TEST_F(PlayerCommands, FoobarTakesCommandsOnlyThroughAutomation) {
  EXPECT_TRUE(PressAll(kFoobar2000).empty());  // found by its window
  EXPECT_TRUE(automation.foobarCommands.empty());
  Settings().PlayerHandle = kFoobarAutomationHandle;
  EXPECT_TRUE(PressAll(kFoobar2000).empty());
  EXPECT_EQ(automation.foobarCommands, (std::vector<int>{0, 1, 2, 3, 4}));
}
