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
};
}  // namespace

std::u16string BuiltInUiTexts::Text(std::u16string_view key) const {
  for (const BuiltInText& t : kBuiltInTexts)
    if (t.key == key) return std::u16string(t.text);
  return {};
}

}  // namespace tunelet
