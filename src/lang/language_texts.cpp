#include "lang/language_texts.h"

#include "model/settings.h"

namespace tunelet {

namespace {
constexpr LanguageKey kKeys[] = {
    // Hot-key messages.
    {u"HOTKEY_REG_ERROR", u"Failed to assign hot key for"},
    {u"HOTKEY_DEL_ERROR", u"Failed to delete hot key for"},
    {u"HOTKEY_DEL_FROM_DB", u"Hot key is not assigned with Tunelet plugin. Remove?"},
    {u"HOTKEY_UNAVHOTKEY", u"Invalid hotkey! Must be Ctrl + F1..F12"},
    {u"HOTKEY_NOT_STORABLE",
     u"This combination cannot be kept: its name would not be recognised at the next start. "
     u"Please choose another one."},
    {u"HOTKEY_NOT_WORKING", u"not working"},
    // The options dialog.
    {u"MFCAPTION", u"Tunelet - Options"},
    {u"CB_ON", u"Plugin is ON"},
    {u"CB_ON_HINT", u"Allows to quickly turn plugin on/off when needed"},
    {u"BT_SAVE_TEXT", u"Save"},
    {u"BT_CANCEL_TEXT", u"Cancel"},
    {u"TAB1", u"Players"},
    {u"TAB2", u"Main"},
    {u"TAB3", u"X-status"},
    {u"TAB4", u"Hot Keys"},
    {u"TAB5", u"Popup"},
    {u"TAB6", u"Others"},
    {u"TAB7", u"About"},
    {u"VAR_BALOON_TITLE", u"Available templates:"},
    {u"VAR_ARTIST", u"Artist"},
    {u"VAR_TITLE", u"Title"},
    {u"VAR_ALBUM", u"Album"},
    {u"VAR_GENRE", u"Genre"},
    {u"VAR_YEAR", u"Release year"},
    {u"VAR_TRACKNUM", u"Track #"},
    {u"VAR_PLAYER", u"Player name"},
    {u"VAR_FILESIZE", u"File size"},
    {u"VAR_DURATION", u"Duration"},
    {u"VAR_BITRATE", u"Bitrate"},
    {u"VAR_SAMPLERATE", u"Samplerate"},
    {u"STATTEXT1", u"Current player"},
    {u"RBOX_AUTO", u"Autodetect"},
    {u"RBOX_MANUAL", u"Select manually:"},
    {u"STATTEXT2", u"Status change"},
    {u"RBOX_TOOTHER", u"Change X-Status content only"},
    {u"RBOX_TOOTHER_HINT", u"Change ONLY content of X-Status"},
    {u"RBOX_FROMMUSIC", u"Change content if X-Status is \"Music\""},
    {u"RBOX_FROMMUSIC_HINT", u"Change title and text when X-Status state is \"Music\" ONLY"},
    {u"RBOX_FROMANY", u"Change with any X-Status"},
    {u"RBOX_FROMANY_HINT", u"ALWAYS change title and text if some track is playing"},
    {u"RBOX_PLUSANY", u"Add to existing X-Status"},
    {u"LB_GLOBAL", u"Global update time span (seconds):"},
    {u"TEXT_REFRESHINTERVAL_HINT", u"Time span to check new track in player"},
    {u"LB_FORAUDIO", u"For audio files:"},
    {u"LB_FORVIDEO", u"For video files:"},
    {u"STATTEXT3", u"Setup contents"},
    {u"LB_NAME", u"Title:"},
    {u"LB_TEXT", u"Text:"},
    {u"XSTAT_NAME_HINT", u"20 chars max"},
    {u"XSTAT_TEXT_HINT", u"512 chars max"},
    {u"BUT_VARS", u"Templates"},
    {u"BUT_VARS_HINT", u"You can use templates in text only (case insensitive)"},
    {u"BUT_RESET", u"Default text"},
    {u"CB_ONLYTEXT", u"Don't change name of X-Status"},
    {u"CB_ONLYTEXT_HINT", u"The name of X-Status remains the same"},
    {u"CB_RETURNONPAUSE", u"Restore X-Status if \"Pause\""},
    {u"STATTEXT4", u"Setup hot keys"},
    {u"STATTEXT5", u"Already assigned hot keys"},
    {u"HOTKEYLIST_ITEMS", u"Assignment"},
    {u"HOTKEYLIST_SUBITEMS", u"Combination"},
    {u"HOTKEYLIST_ITEM1", u"Turn plugin on/off"},
    {u"HOTKEYLIST_ITEM2", u"Show Plugin settings"},
    {u"HOTKEYLIST_ITEM3", u"Show Tunelet Control"},
    {u"HOTKEYLIST_ITEM4", u"Show QuickInfo"},
    {u"HOTKEYLIST_ITEM5", u"Insert playing info"},
    {u"HOTKEYLIST_ITEM6", u"Pause sharing for 1 hour"},
    {u"HOTKEYLIST_HINT", u"Note: Hot keys don't operate in settings dialog!\rPlease close this window to check"},
    {u"BUT_REGHOTKEY", u"Assign"},
    {u"BUT_DELHOTKEY", u"Delete"},
    {u"BUT_REFRESHLIST", u"Refresh list"},
    {u"STATTEXT6", u"Popup options"},
    {u"CB_GETFROMNAME", u"Look up in filename if no \"Artist\" or \"Title\""},
    {u"CB_VIDEOOFF", u"Don't detect video files"},
    {u"CB_OLEFOOBAR", u"Use OLE interface for Foobar2000"},
    {u"CB_OLEFOOBAR_HINT", u"Required installed COM server"},
    {u"BUT_TEST", u"Test"},
    {u"TEXT_PASTETEXT_HINT", u"You can insert this text in active window (for example at IRC chat)"},
    {u"RBOX_OVERBUF", u"Over Windows clipboard"},
    {u"RBOX_OVERBUF_HINT", u"Used windows clipboard and Ctrl+V"},
    {u"RBOX_DIRECT", u"Directly"},
    {u"RBOX_DIRECT_HINT", u"Slow and possible problems with codepage"},
    {u"BUT_SHOWHIDE", u"Show / Hide"},
    {u"BUT_RESETPOS", u"Reset position"},
    {u"CP0", u"System (default)"},
    {u"CP1", u"Cyrillic (1251)"},
    {u"CB_TLC_ON", u"Show Tunelet Control on startup"},
    // The update check.
    {u"CHECKING", u"Checking..."},
    {u"BUT_CHECKUPDATES", u"Check updates"},
    {u"BUT_LOADUPDATE", u"Load new version"},
    {u"BUT_LOAD", u"Load"},
    {u"BUT_NOTAV", u"No updates"},
    {u"NEWVERSIONAV", u"New version is available -"},
    {u"CB_CHECKONSTARTUP", u"Check updates on startup"},
    {u"STATTEXT8", u"Insert playing info"},
    // Popups.
    {u"POPUP_ON_TEXT", u"Enable popup windows"},
    {u"CB_ONTOP_TEXT", u"Popups always on top"},
    {u"CB_SHADOW_TEXT", u"Popups with shadows"},
    {u"CB_SMOOTH_TEXT", u"Show animated"},
    {u"LB_TRANSP", u"Transparency:"},
    {u"LB_DELAY", u"Hide popup delay (seconds):"},
    {u"PLUGIN_ON", u"The plug-in is active (ON)"},
    {u"PLUGIN_OFF", u"The plug-in is inactive (OFF)"},
    {u"SHARING_PAUSED_UNTIL", u"Sharing paused until"},
    {u"SHARING_RESUMED", u"Sharing resumed"},
    {u"TLC_MENU_PAUSE_SHARING", u"Pause sharing for 1 hour"},
    {u"TLC_MENU_RESUME_SHARING", u"Resume sharing"},
    // The privacy tab.
    {u"TAB9", u"Privacy"},
    {u"PRIVACY_PLAYERS", u"Share from these players:"},
    {u"PRIVACY_PLAYERS_HINT", u"Untick a player to keep its tracks out of the X-status. Web browsers start unticked"},
    {u"PRIVACY_BROWSER", u"(web browser)"},
    {u"PRIVACY_EXCLUSIONS", u"Never share these tracks:"},
    {u"PRIVACY_EXCLUSIONS_HINT", u"At most 64 lines of up to 256 characters"},
    {u"PRIVACY_PATTERN_SYNTAX", u"One pattern a line: * any characters, ? one character. A field before the pattern: artist:, title:, album:, path:, player:"},
    {u"PRIVACY_PAUSE_LIMIT", u"Hide a paused track after (minutes, 0 - never):"},
    {u"PRIVACY_CALM_INTERVAL", u"Change X-status at most every (sec, 0 - at once):"},
    {u"PRIVACY_RANGE_ERROR", u"Allowed values: 0 to"},
    {u"PRIVACY_TOO_MANY_PATTERNS", u"Too many patterns. The most lines allowed:"},
    {u"PRIVACY_PATTERN_TOO_LONG", u"A pattern longer than 256 characters in line"},
    // QuickInfo.
    {u"UNKNOWN_ARTIST", u"Unknown artist"},
    {u"UNKNOWN_TRACK", u"Unknown track"},
    // Read for older language files; no window shows them.
    {u"HOTKEY_DELALL", u"All values were deleted!"},
    {u"VAR_EXT", u"File extension"},
    {u"CB_RETURNOLD", u"Restore previous X-Status"},
    {u"CB_RETURNOLD_HINT", u"Get back previous X-Status"},
    {u"RBOX_RANDOM", u"Random X-Status on every new track"},
    {u"RBOX_RANDOM_HINT", u"Set random X-Status for every new track"},
    {u"BUT_RESET_HINT", u"Set text as default"},
    {u"CB_RETURNONOFF", u"Restore previous X-Status if Plugin is OFF"},
    {u"LB_UNAV", u"Unavailable combinations:"},
    {u"CB_GETFROMNAME_HINT", u"Otherwise the filename will be returned"},
    {u"LB_IFONLYTEXT", u"If filename contains title track only:"},
    {u"RBOX_TOTITLE", u"Substitute for %title%"},
    {u"RBOX_TOARTIST", u"Substitute for %artist%"},
};
}  // namespace

std::span<const LanguageKey> LanguageKeys() { return kKeys; }

size_t LanguageKeyIndex(std::u16string_view key) {
  for (size_t i = 0; i < std::size(kKeys); ++i)
    if (kKeys[i].key == key) return i;
  return kUnknownLanguageKey;
}

LanguageTexts::LanguageTexts() { ResetToEnglish(); }

std::u16string LanguageTexts::Text(std::u16string_view key) const {
  const size_t i = LanguageKeyIndex(key);
  return i == kUnknownLanguageKey ? std::u16string() : texts_[i];
}

void LanguageTexts::Replace(std::vector<std::u16string> texts) {
  if (texts.size() == std::size(kKeys)) texts_ = std::move(texts);
}

void LanguageTexts::ResetToEnglish() {
  texts_.clear();
  for (const LanguageKey& k : kKeys) texts_.emplace_back(k.english);
}

std::u16string SelectedUiTexts::Text(std::u16string_view key) const {
  if (Settings().UseLanguageFile) {
    const size_t i = LanguageKeyIndex(key);
    if (i != kUnknownLanguageKey) return file_.Text(key);
  }
  std::u16string russian = builtIn_.Text(key);
  if (!russian.empty()) return russian;
  const size_t i = LanguageKeyIndex(key);
  return i == kUnknownLanguageKey ? std::u16string() : std::u16string(kKeys[i].english);
}

}  // namespace tunelet
