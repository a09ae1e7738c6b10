#include "ui/options_texts.h"

#include <algorithm>
#include <array>

#include "model/player_table.h"
#include "ui/options_controls.h"

namespace tunelet {

namespace {
// One row per control that shows a text; the order is the tabs'.
constexpr OptionsControlText kTexts[] = {
    {kIdChboxOn, u"Плагин включен", u"Возможность включать/выключать плагин независимо от настроек Talkeo", u"CB_ON", u"CB_ON_HINT"},
    {kIdBtSave, u"Сохранить", u"", u"BT_SAVE_TEXT", u""},
    {kIdBtClose, u"Отмена", u"", u"BT_CANCEL_TEXT", u""},
    {kIdStext1, u"Используемый проигрыватель", u"", u"STATTEXT1", u""},
    {kIdRbAuto, u"Определять автоматически", u"", u"RBOX_AUTO", u""},
    {kIdRbManual, u"Выбрать вручную:", u"", u"RBOX_MANUAL", u""},
    {PlayerButtonId(kWmp), u"Windows Media Player", u"", u"", u""},
    {PlayerButtonId(kWinamp), u"Winamp", u"", u"", u""},
    {PlayerButtonId(kJetAudio), u"jetAudio", u"", u"", u""},
    {PlayerButtonId(kFoobar2000), u"Foobar2000", u"", u"", u""},
    {PlayerButtonId(kLightAlloy), u"Light Alloy", u"", u"", u""},
    {PlayerButtonId(kMediaMonkey), u"MediaMonkey", u"", u"", u""},
    {PlayerButtonId(kQmp), u"Quintessential Player", u"", u"", u""},
    {PlayerButtonId(kXmPlay), u"XMPlay", u"", u"", u""},
    {PlayerButtonId(kCrystal), u"Crystal Player", u"", u"", u""},
    {PlayerButtonId(kKmPlayer), u"KMPlayer", u"", u"", u""},
    {PlayerButtonId(kMpc), u"Media Player Classic", u"", u"", u""},
    {PlayerButtonId(kGom), u"GOM Player", u"", u"", u""},
    {PlayerButtonId(kAimp2), u"AIMP2", u"", u"", u""},
    {PlayerButtonId(kITunes), u"iTunes", u"", u"", u""},
    {PlayerButtonId(kZoomPlayer), u"ZoomPlayer", u"", u"", u""},
    {PlayerButtonId(kApollo), u"Apollo", u"", u"", u""},
    {PlayerButtonId(kBsPlayer), u"BSplayer", u"", u"", u""},
    {PlayerButtonId(kRealPlayer), u"RealPlayer", u"", u"", u""},
    {PlayerButtonId(kImpsPlayer), u"Imp's Player", u"", u"", u""},
    {PlayerButtonId(kMediaSession), u"Windows media session", u"", u"", u""},
    {kIdStext2, u"Режимы работы плагина", u"", u"STATTEXT2", u""},
    {kIdRbToOther, u"Изменять только содержимое х-статуса", u"Плагин изменяет только имя и текст в текущем х-статусе", u"RBOX_TOOTHER", u"RBOX_TOOTHER_HINT"},
    {kIdRbPlusAny, u"Дописывать к содержимому уже установленного х-статуса", u"При воспроизведении плагин добавляет в текущий статус", u"RBOX_PLUSANY", kClearedHint},
    {kIdRbFromMusic, u"Изменять содержимое только если включен х-статус \"Музыка\"", u"Плагин изменяет имя и текст только при х-статусе \"Музыка\"", u"RBOX_FROMMUSIC", u"RBOX_FROMMUSIC_HINT"},
    {kIdRbFromAny, u"Изменять при любом х-статусе:", u"Плагин автоматически полностью меняет х-статус при начале воспроизведения", u"RBOX_FROMANY", u"RBOX_FROMANY_HINT"},
    {kIdLbForAudio, u"Для аудио-файлов:", u"", u"LB_FORAUDIO", u""},
    {kIdLbForVideo, u"Для видео-файлов:", u"", u"LB_FORVIDEO", u""},
    {kIdLbGlobal, u"Интервал проверки обновлений (секунд):", u"", u"LB_GLOBAL", u""},
    {kIdEInterval, u"", u"", u"", u"TEXT_REFRESHINTERVAL_HINT"},
    {kIdUpDown1, u"", u"3...10", u"", u""},
    {kIdStext3, u"Настройка содержимого", u"", u"STATTEXT3", u""},
    {kIdLbName, u"Имя:", u"", u"LB_NAME", u""},
    {kIdLbName2, u"Имя:", u"", u"LB_NAME", u""},
    {kIdLbText, u"Текст:", u"", u"LB_TEXT", u""},
    {kIdLbText2, u"Текст:", u"", u"LB_TEXT", u""},
    {kIdEXstatNameA, u"", u"Максимум 20 символов", u"", u"XSTAT_NAME_HINT"},
    {kIdEXstatNameV, u"", u"Максимум 20 символов", u"", u""},
    {kIdEXstatTextA, u"", u"Максимум 500 символов", u"", u"XSTAT_TEXT_HINT"},
    {kIdEXstatTextV, u"", u"Максимум 500 символов", u"", u""},
    {kIdBtVars, u"Шаблоны", u"Шаблоны разрешены только в тексте. Регист не имеет значения", u"BUT_VARS", u"BUT_VARS_HINT"},
    {kIdBtTest, u"Просмотр", u"", u"BUT_TEST", u""},
    {kIdBtReset, u"По умолчанию", u"", u"BUT_RESET", u""},
    {kIdBtAddBlock, u"Блоки", u"", u"", u""},
    {kIdChboxOnlyText, u"Не изменять название (имя) х-статуса", u"При включении плагин не будет изменять имя х-статуса в любом режиме!", u"CB_ONLYTEXT", u"CB_ONLYTEXT_HINT"},
    {kIdMiWtf, u"Что это и зачем?", u"", u"", u""},
    {kIdMiHelp, u"Синтаксис", u"", u"", u""},
    {kIdStext4, u"Настройка горячих клавиш", u"", u"STATTEXT4", u""},
    {kIdHotKeyList, u"", u"Закройте это окно чтобы проверить горячие клавиши", u"", u"HOTKEYLIST_HINT"},
    {kIdBtRegHotKey, u"Назначить", u"", u"BUT_REGHOTKEY", u""},
    {kIdBtDelHotKey, u"Удалить", u"", u"BUT_DELHOTKEY", u""},
    {kIdStext5, u"Список всех горячих клавиш в системе", u"", u"STATTEXT5", u""},
    {kIdMenuN1, u"Обновить список", u"", u"BUT_REFRESHLIST", u""},
    {kIdMenuN2, u"Обновить", u"", u"", u""},
    {kIdMenuN4, u"Переназначить все", u"", u"", u""},
    {kIdMenuN5, u"Удалить все", u"", u"", u""},
    {kIdStext6, u"Настройка popup", u"", u"STATTEXT6", u""},
    {kIdPopupOn, u"Включить всплывающие окна", u"", u"POPUP_ON_TEXT", u""},
    {kIdChboxOnTop, u"Показывать поверх полноэкранных приложений", u"", u"CB_ONTOP_TEXT", u""},
    {kIdChboxShadow, u"Показывать тень (Windows XP, Vista)", u"", u"CB_SHADOW_TEXT", u""},
    {kIdChboxSmooth, u"Плавно открывать/закрывать окна (временно не работает)", u"", u"CB_SMOOTH_TEXT", u""},
    {kIdLbTransp, u"Прозрачность", u"", u"LB_TRANSP", u""},
    {kIdLbTranspLeft, u"92%", u"", u"", u""},
    {kIdLbTranspRight, u"0%", u"", u"", u""},
    {kIdLbDelay, u"Показывать (секунд):", u"", u"LB_DELAY", u""},
    {kIdStext7, u"Основные", u"", u"TAB2", u""},
    {kIdChboxOleFoobar, u"Использовать OLE интерфейс для Foobar2000", u"Необходим предустановленный COM сервер!", u"CB_OLEFOOBAR", u"CB_OLEFOOBAR_HINT"},
    {kIdChboxVideoOff, u"Не реагировать при воспроизведении видео-файлов", u"Плагин не будет реагировать на видео-файлы вообще", u"CB_VIDEOOFF", u""},
    {kIdChboxReturnOnPause, u"Не реагировать если включена пауза", u"Winamp, AIMP2, jetAudio", u"CB_RETURNONPAUSE", u""},
    {kIdChboxGetFromName, u"Искать %artist% и %title% в имени файла", u"Иначе в любом случае при отсутствии тэгов возвращается имя файла", u"CB_GETFROMNAME", u""},
    {kIdLbCodepage, u"ANSI <---> Unicode:", u"", u"", u""},
    {kIdStext8, u"Вставить в другое приложение", u"", u"STATTEXT8", u""},
    {kIdLbText3, u"Текст:", u"", u"LB_TEXT", u""},
    {kIdTextPasteText, u"", u"", u"", u"TEXT_PASTETEXT_HINT"},
    {kIdBtTest2, u"Просмотр", u"", u"BUT_TEST", u""},
    {kIdRbOverBuf, u"Через буфер обмена", u"Используется буфер обмена Windows и Ctrl+V", u"RBOX_OVERBUF", u"RBOX_OVERBUF_HINT"},
    {kIdRbDirect, u"Напрямую", u"Прямая отправка в приложения", u"RBOX_DIRECT", u"RBOX_DIRECT_HINT"},
    {kIdTlcHeading, u"Tunelet Control", u"", u"", u""},
    {kIdChboxTlcOn, u"Показывать Tunelet Control при запуске Talkeo", u"", u"CB_TLC_ON", u""},
    {kIdChboxHideIfTop, u"Скрывать при активном полноэкранном приложении", u"", u"", u""},
    {kIdBtShowHide, u"Показать / скрыть", u"", u"BUT_SHOWHIDE", u""},
    {kIdBtResetPos, u"Сбросить позицию", u"", u"BUT_RESETPOS", u""},
    {kIdChboxUpdate, u"Проверять наличие обновлений при запуске Talkeo", u"", u"CB_CHECKONSTARTUP", u""},
    {kIdBtGetUp, u"Проверить обновление", u"", u"BUT_CHECKUPDATES", u""},
    {kIdBtLoadUp, u"Загрузить обновление", u"", u"BUT_LOADUPDATE", u""},
    {kIdLbPrivacyPlayers, u"Транслировать из этих проигрывателей:", u"", u"PRIVACY_PLAYERS", u""},
    {kIdPrivacyPlayerList, u"", u"Снимите галочку, чтобы треки проигрывателя не попадали в х-статус. Браузеры сначала выключены", u"", u"PRIVACY_PLAYERS_HINT"},
    {kIdLbPrivacyExclusions, u"Никогда не транслировать эти треки:", u"", u"PRIVACY_EXCLUSIONS", u""},
    {kIdEPrivacyExclusions, u"", u"Не больше 64 строк, до 256 символов в строке", u"", u"PRIVACY_EXCLUSIONS_HINT"},
    {kIdLbPrivacyPatternHint, u"По шаблону в строке: * — любые символы, ? — один символ. Поле перед шаблоном: artist:, title:, album:, path:, player:", u"", u"PRIVACY_PATTERN_SYNTAX", u""},
    {kIdLbPauseLimit, u"Скрывать трек на паузе через (мин, 0 — никогда):", u"", u"PRIVACY_PAUSE_LIMIT", u""},
    {kIdUpDownPauseLimit, u"", u"0...1440", u"", u""},
    {kIdLbCalmInterval, u"Менять х-статус не чаще раза в (сек, 0 — сразу):", u"", u"PRIVACY_CALM_INTERVAL", u""},
    {kIdUpDownCalmInterval, u"", u"0...600", u"", u""},
};

constexpr std::array<std::u16string_view, kOptionsTabCount> kTabCaptions = {
    u"Проигрыватели", u"Основные", u"Х-статус", u"Горячие клавиши",
    u"Всплывающие окна", u"Прочие", u"Tunelet Control", u"О плагине", u"Приватность"};
// The About tab (7) has no key of its own: TAB7 lands on tab 6.
constexpr std::array<std::u16string_view, kOptionsTabCount> kTabKeys = {
    u"TAB1", u"TAB2", u"TAB3", u"TAB4", u"TAB5", u"TAB6", u"TAB7", u"", u"TAB9"};
constexpr std::array<std::u16string_view, 2> kTemplateTabCaptions = {u"Для аудио-файлов", u"Для видео-файлов"};
constexpr std::array<std::u16string_view, 2> kTemplateTabKeys = {u"LB_FORAUDIO", u"LB_FORVIDEO"};
}  // namespace

std::span<const OptionsControlText> OptionsControlTexts() { return kTexts; }

const OptionsControlText* FindOptionsControlText(int control) {
  const auto* it = std::find_if(std::begin(kTexts), std::end(kTexts),
                                [control](const OptionsControlText& t) { return t.control == control; });
  return it == std::end(kTexts) ? nullptr : it;
}

std::u16string_view BuiltInCaption(int control) {
  const auto* t = FindOptionsControlText(control);
  return t ? t->caption : std::u16string_view{};
}

std::u16string_view BuiltInHint(int control) {
  const auto* t = FindOptionsControlText(control);
  return t ? t->hint : std::u16string_view{};
}

std::optional<std::u16string> LanguageCaption(int control, const IUiTexts& language) {
  const auto* t = FindOptionsControlText(control);
  if (!t || t->captionKey.empty()) return std::nullopt;
  return language.Text(t->captionKey);
}

std::optional<std::u16string> LanguageHint(int control, const IUiTexts& language) {
  const auto* t = FindOptionsControlText(control);
  if (!t || t->hintKey.empty()) return std::nullopt;
  if (t->hintKey == kClearedHint) return std::u16string();
  return language.Text(t->hintKey);
}

std::u16string_view BuiltInTabCaption(int tab) {
  return tab >= 0 && tab < kOptionsTabCount ? kTabCaptions[size_t(tab)] : std::u16string_view{};
}

std::optional<std::u16string> LanguageTabCaption(int tab, const IUiTexts& language) {
  if (tab < 0 || size_t(tab) >= kTabKeys.size() || kTabKeys[size_t(tab)].empty()) return std::nullopt;
  return language.Text(kTabKeys[size_t(tab)]);
}

std::u16string_view BuiltInTemplateTabCaption(int tab) {
  return tab == 0 || tab == 1 ? kTemplateTabCaptions[size_t(tab)] : std::u16string_view{};
}

std::u16string LanguageTemplateTabCaption(int tab, const IUiTexts& language) {
  return tab == 0 || tab == 1 ? language.Text(kTemplateTabKeys[size_t(tab)]) : std::u16string();
}

}  // namespace tunelet
