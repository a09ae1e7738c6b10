// The reader entry points as the core runs them: the input becomes a file on
// disk, named by the input, and ClassifyAndRead picks the entry point by its
// extension; then the record goes through the templates the way a publish,
// the paste hot key and the QuickInfo values use it.
//
// Input: extension selector, settings byte, the player's bit-rate answer
// (4 bytes), name length, the file name, then the file's bytes.
#include <array>
#include <cstdio>
#include <string>

#include "entry_input.h"
#include "fuzz_input.h"
#include "metadata/entry_points.h"
#include "metadata/format.h"
#include "metadata/player_info_hook.h"
#include "model/settings.h"
#include "model/subsystems.h"
#include "platform/platform.h"
#include "templates/template_engine.h"
#include "templates/xstatus_policy.h"

using namespace tunelet;

namespace {

// The running player as the MP4 entry point asks it for the bit rate.
class AnsweringPlayer final : public IPlayerAccess {
 public:
  int32_t bitrate = 0;
  int32_t GetPlayerInfo(int kind) override { return kind == 21 ? bitrate : 0; }
};

// Every variable, each in a block of its own and bare, after the templates
// a new user gets.
constexpr char16_t kEveryVariable[] =
    u"{{%artist%=%artist% - }}{{%title%=%title%}}{{%album%=[%album%]}}{{%genre%=%genre%}}{{%year%=%year%}}"
    u"{{%player%=%player%}}{{%#%=#%#%}}{{%size%=%size%}}{{%bitrate%=%bitrate%}}{{%khz%=%khz%}}"
    u"{{%time%=%time%}}{{%ft%=%ft%}} %artist%%title%%album%%genre%%year%%player%%#%%size%%bitrate%%khz%%time%%ft%";

void UseTemplates() {
  PluginSettings& s = Settings();
  SetText(s.AudioTitleTemplate, kDefaultAudioTitleTemplate);
  SetText(s.VideoTitleTemplate, kDefaultVideoTitleTemplate);
  SetText(s.AudioTextTemplate, kDefaultAudioTextTemplate);
  SetText(s.VideoTextTemplate, kDefaultVideoTextTemplate);
  SetText(s.PasteTemplate, kDefaultPasteTemplate);
  SetText(s.SavedXStatusText, u"away");
}

void PublishEveryMode() {
  for (uint8_t mode : {kModeContentOnly, kModeFromMusic, kModeReplaceAny, kModeAppendToUser}) {
    Settings().Action = mode;
    (void)BuildXStatusContent();
  }
  (void)PasteText();
  std::u16string every = kEveryVariable;
  ExpandConditionalBlocks(every, nullptr, true);
  SubstituteVariables(every);
  for (int kind = 1; kind <= 4; ++kind) (void)FormatTrackValue(kind);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static AnsweringPlayer player;
  static const std::u16string folder = fuzz::ScratchFolder(u"entry");
  const auto input = fuzz::SplitEntryInput(data, size);
  if (!input) return 0;

  ResetSettings();
  UseTemplates();
  Settings().Getfromname = input->getFromName;
  Settings().a_u = input->cyrillic ? 1 : 0;
  Settings().CurrentPlayer = input->player;
  player.bitrate = input->playerBitrate;
  SetPlayerInfoSource(&player);

  const std::u16string path = folder + input->name;
  if (!platform::WriteNewFile(path, input->file.data(), input->file.size())) return 0;
  SetText(Track().FilePath, path);
  ClassifyAndRead(path);
  PublishEveryMode();

  platform::DeleteFileAt(path);
  DeleteTemporaryCovers();
  SetPlayerInfoSource(nullptr);
  return 0;
}
