#include "model/ui_texts.h"

namespace tunelet {

namespace {
struct BuiltInText {
  std::u16string_view key;
  std::u16string_view text;
};
constexpr BuiltInText kBuiltInTexts[] = {
    {u"PLUGIN_ON", u"Плагин активен (ON)"},
    {u"PLUGIN_OFF", u"Плагин неактивен (OFF)"},
    {u"SHARING_PAUSED_UNTIL", u"Трансляция приостановлена до"},
    {u"SHARING_RESUMED", u"Трансляция возобновлена"},
    {u"TLC_MENU_PAUSE_SHARING", u"Приостановить трансляцию на 1 час"},
    {u"TLC_MENU_RESUME_SHARING", u"Возобновить трансляцию"},
    // The privacy tab (its controls' captions are in ui/options_texts.cpp).
    {u"PRIVACY_BROWSER", u"(браузер)"},
    {u"PRIVACY_RANGE_ERROR", u"Допустимые значения: от 0 до"},
    {u"PRIVACY_TOO_MANY_PATTERNS", u"Слишком много шаблонов. Наибольшее число строк:"},
    {u"PRIVACY_PATTERN_TOO_LONG", u"Шаблон длиннее 256 символов в строке"},
    {u"UNKNOWN_ARTIST", u"Неизвестный исполнитель"},
    {u"UNKNOWN_TRACK", u"Неизвестный трек"},
    // The update check. NEWVERSIONAV and BUT_LOAD are followed by " " and the
    // version, as a language file's texts are.
    {u"CHECKING", u"Проверяется..."},
    {u"BUT_CHECKUPDATES", u"Проверить обновления"},
    {u"BUT_LOADUPDATE", u"Загрузить обновление"},
    {u"BUT_LOAD", u"Загрузить"},
    {u"BUT_NOTAV", u"Нет обновлений"},
    {u"NEWVERSIONAV", u"Доступна новая версия -"},
    {u"CB_CHECKONSTARTUP", u"Проверять наличие обновлений при запуске Talkeo"},
    // The hot keys (the texts of the messages end where the caller adds a
    // space and the action's caption).
    {u"HOTKEYLIST_ITEM1", u"Включение/выключение плагина"},
    {u"HOTKEYLIST_ITEM2", u"Показать настройки"},
    {u"HOTKEYLIST_ITEM3", u"Показать/скрыть Tunelet Control"},
    {u"HOTKEYLIST_ITEM4", u"Показать QuickInfo"},
    {u"HOTKEYLIST_ITEM5", u"Вставить в другое приложение"},
    {u"HOTKEYLIST_ITEM6", u"Приостановить трансляцию на 1 час"},
    {u"HOTKEYLIST_ITEMS", u"Назначение"},
    {u"HOTKEYLIST_SUBITEMS", u"Сочетание"},
    {u"HOTKEYLIST_HINT", u"Закройте это окно чтобы проверить горячие клавиши"},
    {u"HOTKEY_UNAVHOTKEY", u"Непопустимое значение! Возможно только Ctrl + F1...F12"},
    {u"HOTKEY_REG_ERROR", u"Невозможно зарегистрировать горячую клавишу -"},
    {u"HOTKEY_NOT_STORABLE",
     u"Это сочетание не сохранится: при следующем запуске его название не будет распознано. "
     u"Выберите другое сочетание."},
    {u"HOTKEY_NOT_WORKING", u"не работает"},
    {u"HOTKEY_DEL_ERROR", u"Невозможно удалить горячую клавишу -"},
    {u"HOTKEY_DEL_FROM_DB", u"Горячая клавиша не связана с плагином Tunelet. Удалить её?"},
    {u"STATTEXT5", u"Список всех горячих клавиш в системе"},
    {u"BUT_REFRESHLIST", u"Обновить список"},
};
}  // namespace

std::u16string BuiltInUiTexts::Text(std::u16string_view key) const {
  for (const BuiltInText& t : kBuiltInTexts)
    if (t.key == key) return std::u16string(t.text);
  return {};
}

}  // namespace tunelet
