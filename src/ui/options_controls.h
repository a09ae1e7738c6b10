// Control identifiers of the options dialog (Tmainform), one per named
// control. The dialog, its hot-key tab and the simulated host's tests find
// the controls by these numbers (GetDlgItem on the control's parent).
#pragma once

namespace tunelet {

enum OptionsControlId : int {
  // The frame.
  kIdChboxOn = 1001,
  kIdMainPageControl,
  kIdLangButton,
  kIdHpButton,
  kIdBtSave,
  kIdBtClose,

  // Tab 0, players.
  kIdStext1 = 1100,
  kIdRbAuto,
  kIdRbManual,
  kIdPlayerBox,  // the white scroll box holding the player buttons
  // The player buttons: PlayerButtonId(PlayerId of model/player_table.h);
  // the two extra foobar2000 rows have none.
  kIdPlayerButtonBase = 1120,

  // Tab 1, main.
  kIdStext2 = 1200,
  kIdRbToOther,
  kIdRbPlusAny,
  kIdRbFromMusic,
  kIdRbFromAny,
  kIdLbForAudio,
  kIdComboXstatA,
  kIdLbForVideo,
  kIdComboXstatV,
  kIdLbGlobal,
  kIdEInterval,
  kIdUpDown1,

  // Tab 2, X-status templates.
  kIdStext3 = 1300,
  kIdXstatPageControl,
  kIdLbName,   // audio "Имя:"
  kIdEXstatNameA,
  kIdLbText,   // audio "Текст:"
  kIdEXstatTextA,
  kIdLbName2,  // video
  kIdEXstatNameV,
  kIdLbText2,
  kIdEXstatTextV,
  kIdBtVars,
  kIdBtTest,
  kIdBtReset,
  kIdBtAddBlock,
  kIdChboxOnlyText,
  kIdMiWtf,   // items of the "Блоки" menu
  kIdMiHelp,

  // Tab 3, hot keys.
  kIdStext4 = 1400,
  kIdHotKeyList,
  kIdHotKey1,
  kIdBtRegHotKey,
  kIdBtDelHotKey,
  kIdStext5,
  kIdKeyList,
  kIdMenuN1,  // KeyList's menu: "Обновить список"
  kIdMenuN2,  // HotKeyList's menu: "Обновить", "Переназначить все", "Удалить все"
  kIdMenuN4,
  kIdMenuN5,

  // Tab 4, popups.
  kIdStext6 = 1500,
  kIdPopupOn,
  kIdChboxOnTop,
  kIdChboxShadow,
  kIdChboxSmooth,
  kIdLbTransp,
  kIdTranspBar,
  kIdLbTranspLeft,   // "92%"
  kIdLbTranspRight,  // "0%"
  kIdLbDelay,
  kIdEPopupDelay,
  kIdUpDown2,

  // Tab 5, others and paste.
  // The white scroll box, a child of the page; the tab's other controls are
  // the box's children (GetDlgItem on the box).
  kIdOthersBox = 1600,
  kIdStext7,
  kIdChboxOleFoobar,
  kIdChboxVideoOff,
  kIdChboxReturnOnPause,
  kIdChboxGetFromName,
  kIdLbCodepage,
  kIdChboxCodepage,
  kIdStext8,
  kIdLbText3,
  kIdTextPasteText,
  kIdBtTest2,
  kIdRbOverBuf,
  kIdRbDirect,

  // Tab 6, the control window.
  kIdTlcHeading = 1700,
  kIdChboxTlcOn,
  kIdChboxHideIfTop,
  kIdBtShowHide,
  kIdBtResetPos,

  // Tab 7, about and update.
  kIdSVersionText = 1800,
  kIdCredits,
  kIdChboxUpdate,
  kIdBtGetUp,
  kIdBtLoadUp,

  // Tab 8, privacy.
  kIdLbPrivacyPlayers = 1900,
  kIdPrivacyPlayerList,  // a list view with a check box per player and application
  kIdLbPrivacyExclusions,
  kIdEPrivacyExclusions,
  kIdLbPrivacyPatternHint,
  kIdLbPauseLimit,
  kIdEPauseLimit,
  kIdUpDownPauseLimit,
  kIdLbCalmInterval,
  kIdECalmInterval,
  kIdUpDownCalmInterval,
};

// The button of a player on the players' tab.
constexpr int PlayerButtonId(int player) { return static_cast<int>(kIdPlayerButtonBase) + player; }

}  // namespace tunelet
