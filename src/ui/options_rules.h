// The rules of the options dialog's players, main and X-status tabs that need
// no window: which mode button stands for which Action, the polling interval
// typed in seconds, the picture lists' rows, the player buttons' columns and
// the texts of the template tools (balloon, reset question, blocks menu).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/player_table.h"
#include "model/ui_texts.h"

namespace tunelet {

// --- players tab: the buttons' columns, top to bottom; the media session
// ends the shorter one.
inline constexpr std::array<PlayerId, 10> kPlayerButtonsLeft = {
    kWmp, kWinamp, kJetAudio, kFoobar2000, kLightAlloy, kMediaMonkey, kQmp, kXmPlay, kCrystal, kKmPlayer};
inline constexpr std::array<PlayerId, 10> kPlayerButtonsRight = {
    kMpc, kGom, kAimp2, kITunes, kZoomPlayer, kApollo, kBsPlayer, kRealPlayer, kImpsPlayer, kMediaSession};
// Whether the player has a button (the two extra foobar2000 rows have none).
bool HasPlayerButton(int player);

// --- main tab: the mode buttons rb_toother, rb_plusany, rb_frommusic,
// rb_fromany, in that order, and the Action each stands for.
inline constexpr std::array<uint8_t, 4> kModeActions = {10, 31, 11, 21};
inline constexpr uint8_t kPicturesAction = 21;  // the only mode that picks the picture
// The button of action; none for a value that is no mode.
std::optional<size_t> ModeButtonOfAction(int action);
// The picture lists and their labels are enabled in the picture mode only.
inline bool PictureListsEnabled(int action) { return action == kPicturesAction; }

// The polling interval, typed in whole seconds.
inline constexpr int kMinIntervalSeconds = 3;
inline constexpr int kMaxIntervalSeconds = 10;
inline constexpr int32_t kMillisecondsPerSecond = 1000;
int IntervalSecondsOfSetting(int32_t refreshIntervalMs);
// The field's text as Refreshinterval: its digits as seconds kept to 3..10.
// A field that still says the current setting's whole seconds, or holds no
// number, keeps the setting as it is (7500 stays 7500, not 7000) when it
// lies in 3000..10000; else it is kept to that range.
int32_t RefreshIntervalFromText(std::u16string_view text, int32_t currentMs);
// What the interval field accepts from the clipboard: digits only.
bool IsDigitsOnly(std::u16string_view text);

// --- popups tab: the opacity slider transpbar, 20..250 in ticks of 10. The
// setting itself may be up to 255 (opaque), which the slider cannot show.
inline constexpr int kTranspSliderMin = 20;
inline constexpr int kTranspSliderMax = 250;
inline constexpr int kTranspSliderTick = 10;
inline constexpr int32_t kTranspSettingMax = 255;
// Where the slider stands for a Transp setting.
int TranspSliderPosition(int32_t transp);
// The slider's position as Transp: a slider left where the setting put it
// keeps the setting as it is (255 stays 255, not 250).
int32_t TranspFromSlider(int position, int32_t currentTransp);

// The X-status pictures 1..35 in the picture lists: row = picture − 1.
inline constexpr int kXStatusPictureCount = 35;
extern const std::array<std::u16string_view, kXStatusPictureCount> XStatusPictureNames;
// The row of a stored picture number (out of range: no row, -1).
int PictureRowOfSetting(int picture);
// The picture number of a row; no row selected keeps current.
uint8_t PictureSettingOfRow(int row, uint8_t current);

// The caption of the dialog's message boxes.
inline constexpr std::u16string_view kOptionsMessageCaption = u"Tunelet Plugin";

// --- X-status tab
inline constexpr int kNameTemplateLimit = 20;
inline constexpr int kAudioTextTemplateLimit = 510;
inline constexpr int kVideoTextTemplateLimit = 500;

struct BalloonText {
  std::u16string title;
  std::u16string text;  // lines separated by CR LF
};
// The template balloon: built-in (twelve lines) when language is null,
// else the language file's title and eleven lines.
BalloonText TemplateBalloon(const IUiTexts* language);
// "По умолчанию"'s question, built-in or from BUT_RESET.
std::u16string ResetQuestion(const IUiTexts* language);

// The "Блоки" menu: its heading and the texts of its two items.
inline constexpr std::u16string_view kBlocksMenuHeading = u"Условные блоки";
extern const std::u16string_view kWhatAreBlocksText;
extern const std::u16string_view kBlockSyntaxText;

}  // namespace tunelet
