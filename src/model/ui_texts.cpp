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
};
}  // namespace

std::u16string BuiltInUiTexts::Text(std::u16string_view key) const {
  for (const BuiltInText& t : kBuiltInTexts)
    if (t.key == key) return std::u16string(t.text);
  return {};
}

}  // namespace tunelet
