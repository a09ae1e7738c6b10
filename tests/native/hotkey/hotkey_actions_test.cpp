#include "hotkey/hotkey_actions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/settings.h"
#include "platform/platform.h"

namespace {

using namespace tunelet;

struct RecordingWindows final : IUserInterface {
  std::vector<std::string> calls;
  bool optionsOpen = false, controlOpen = false;
  void ShowPopup(int kind) override { calls.push_back("popup " + std::to_string(kind)); }
  void ShowControlWindow() override { calls.push_back("show control"); }
  void CloseControlWindow() override { calls.push_back("close control"); }
  void ShowOptionsDialog() override { calls.push_back("options"); }
  void ShowQuickInfo() override { calls.push_back("quickinfo"); }
  bool IsOptionsDialogOpen() override { return optionsOpen; }
  bool IsControlWindowOpen() override { return controlOpen; }
};

struct RecordingPaste final : IPaste {
  std::vector<std::string>& calls;
  explicit RecordingPaste(std::vector<std::string>& c) : calls(c) {}
  void PasteViaClipboard() override { calls.push_back("paste clipboard"); }
  bool PasteDirect() override {
    calls.push_back("paste direct");
    return true;
  }
};

class HotKeyActions : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    Settings().PluginOn = true;
    SetText(Track().FilePath, u"C:\\music\\a.mp3");
  }
  void TearDown() override { ResetSettings(); }
  std::vector<std::string> Run(int action) {
    ui.calls.clear();
    EXPECT_TRUE(RunHotKeyAction(action, ui, paste)) << action;
    return ui.calls;
  }
  using Calls = std::vector<std::string>;

  RecordingWindows ui;
  RecordingPaste paste{ui.calls};
};

TEST_F(HotKeyActions, TheSwitchFlipsPluginOnWithTheStatePopupOnlyWhenPopupsAreOn) {
  EXPECT_EQ(Run(haTogglePlugin), Calls{});
  EXPECT_FALSE(Settings().PluginOn);
  Settings().PopupsOn = true;
  EXPECT_EQ(Run(haTogglePlugin), Calls{"popup 1"});
  EXPECT_TRUE(Settings().PluginOn);
  ui.optionsOpen = true;  // the dialog edits the switch itself
  EXPECT_EQ(Run(haTogglePlugin), Calls{});
  EXPECT_TRUE(Settings().PluginOn);
}

TEST_F(HotKeyActions, OptionsAlwaysOpenAndTheControlWindowToggles) {
  ui.optionsOpen = true;
  EXPECT_EQ(Run(haShowOptions), Calls{"options"});
  EXPECT_EQ(Run(haToggleControl), Calls{"show control"});
  ui.controlOpen = true;
  EXPECT_EQ(Run(haToggleControl), Calls{"close control"});
}

TEST_F(HotKeyActions, QuickInfoNeedsAFileAndTheSwitchOn) {
  ui.optionsOpen = true;  // does not matter here
  EXPECT_EQ(Run(haShowQuickInfo), Calls{"quickinfo"});
  Settings().PluginOn = false;
  EXPECT_EQ(Run(haShowQuickInfo), Calls{});
  Settings().PluginOn = true;
  Forget(Track().FilePath);
  EXPECT_EQ(Run(haShowQuickInfo), Calls{});
}

TEST_F(HotKeyActions, PasteTakesTheChosenMethodOnlyWithAFileTheSwitchOnAndTheDialogClosed) {
  EXPECT_EQ(Run(haPasteInfo), Calls{"paste clipboard"});
  Settings().Directpaste = true;
  EXPECT_EQ(Run(haPasteInfo), Calls{"paste direct"});
  ui.optionsOpen = true;
  EXPECT_EQ(Run(haPasteInfo), Calls{});
  ui.optionsOpen = false;
  Settings().PluginOn = false;
  EXPECT_EQ(Run(haPasteInfo), Calls{});
  Settings().PluginOn = true;
  Forget(Track().FilePath);
  EXPECT_EQ(Run(haPasteInfo), Calls{});
}

TEST_F(HotKeyActions, PauseSharingTogglesForAnHourWithTheStatePopupOnlyWhenPopupsAreOn) {
  EXPECT_EQ(Run(haPauseSharing), Calls{});
  EXPECT_TRUE(Settings().SharingPaused.Active(platform::MonotonicMs()));
  EXPECT_FALSE(Settings().SharingPausedUntilClock.empty());
  Settings().PopupsOn = true;
  EXPECT_EQ(Run(haPauseSharing), Calls{"popup 3"});
  EXPECT_FALSE(Settings().SharingPaused.Active(platform::MonotonicMs()));
  // The plug-in switched off or the options open do not stop it.
  Settings().PluginOn = false;
  ui.optionsOpen = true;
  EXPECT_EQ(Run(haPauseSharing), Calls{"popup 3"});
  EXPECT_TRUE(Settings().SharingPaused.Active(platform::MonotonicMs()));
}

TEST_F(HotKeyActions, OtherIdentifiersAreNotActions) {
  EXPECT_FALSE(RunHotKeyAction(6, ui, paste));
  EXPECT_FALSE(RunHotKeyAction(-1, ui, paste));
  EXPECT_FALSE(RunHotKeyAction(0xC000, ui, paste));
  EXPECT_TRUE(ui.calls.empty());
}

}  // namespace
