#include "ui/options_rules.h"

#include <algorithm>
#include <iterator>

namespace tunelet {

namespace {

struct BalloonLine {
  std::u16string_view variable;
  std::u16string_view builtIn;  // the Russian text
  std::u16string_view key;      // the language file's text; none for %ft%
};
constexpr BalloonLine kBalloonLines[] = {
    {u"%artist%", u"исполнитель", u"VAR_ARTIST"},     {u"%title%", u"название трека", u"VAR_TITLE"},
    {u"%album%", u"альбом", u"VAR_ALBUM"},            {u"%genre%", u"жанр", u"VAR_GENRE"},
    {u"%year%", u"год", u"VAR_YEAR"},                 {u"%#%", u"номер трека", u"VAR_TRACKNUM"},
    {u"%player%", u"название плеера", u"VAR_PLAYER"}, {u"%size%", u"размер файла", u"VAR_FILESIZE"},
    {u"%time%", u"длительность", u"VAR_DURATION"},    {u"%bitrate%", u"битрейт", u"VAR_BITRATE"},
    {u"%khz%", u"семплрейт", u"VAR_SAMPLERATE"},      {u"%ft%", u"расширение файла", u""},
};
constexpr std::u16string_view kBalloonTitle = u"Доступные шаблоны:";
constexpr std::u16string_view kBalloonTitleKey = u"VAR_BALOON_TITLE";
constexpr std::u16string_view kLineBreak = u"\r\n";
constexpr std::u16string_view kResetQuestion = u"Сделать по умолчанию?";
constexpr std::u16string_view kResetKey = u"BUT_RESET";

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

}  // namespace

const std::array<std::u16string_view, kXStatusPictureCount> XStatusPictureNames = {
    u"Злой",    u"В ванной", u"Устал",  u"Вечеринка", u"Пиво",      u"Думаю",   u"Ем",       u"TV",
    u"Встреча", u"Кофе",     u"Музыка", u"Дела",      u"Кино",      u"Весело",  u"Телефон",  u"Играю",
    u"Учусь",   u"Покупки",  u"Болею",  u"Сплю",      u"Отдыхаю",   u"NET",     u"Работаю",  u"Печатаю",
    u"Пикник",  u"КПК",      u"Мобильный", u"Сонный", u"WC",        u"?",       u"В пути",   u"Любовь",
    u"Ищу",     u"RuLove",   u"Читаю"};

const std::u16string_view kWhatAreBlocksText =
    u"Условные блоки - это специальные блоки, текст из которых будет показан только при заполненных данных\r\n"
    u"\r\n"
    u"Проще говоря это даёт возможность показывать определённый Вами текст (например альбом трека) только если информация об альбоме занесена в тэг\r\n"
    u"Пример: {{%album%= (из альбома %album%)}}\r\n"
    u"Перед сменой х-статуса плагин проверяет есть ли информация в %album%, если есть то выводится текст:\r\n"
    u"\" (из альбома %album%)\", если нет - плагин не покажет весь условный блок\r\n"
    u"\r\n"
    u"Больше информации по синтаксису в меню \"Синтаксис\"";
// Its first letter is a Latin C: the text is kept exactly as users know it.
const std::u16string_view kBlockSyntaxText =
    u"Cинтаксис условного блока: {{тэг=инфо}}\r\n"
    u"\r\n"
    u"{{ - начало условного блока\r\n"
    u"тэг - шаблон из списка\r\n"
    u"= - разделитель\r\n"
    u"инфо - весь текст, который будет показан при наличии информации в тэге\r\n"
    u"}} - конец условного блока\r\n"
    u"\r\n"
    u"Примеры:\r\n"
    u"{{%time%= [%time%]}}\r\n"
    u"{{%album%=(from \"%album%\")}}\r\n"
    u"Сейчас слушаю{{%artist%= %artist%}} \"{{%#%=%#%. }}%title%\" {{%genre%= [жанр %genre%]}}";

bool HasPlayerButton(int player) {
  auto has = [player](const auto& column) { return std::find(column.begin(), column.end(), player) != column.end(); };
  return has(kPlayerButtonsLeft) || has(kPlayerButtonsRight);
}

std::optional<size_t> ModeButtonOfAction(int action) {
  const auto it = std::find(kModeActions.begin(), kModeActions.end(), action);
  if (it == kModeActions.end()) return std::nullopt;
  return size_t(std::distance(kModeActions.begin(), it));
}

int IntervalSecondsOfSetting(int32_t refreshIntervalMs) { return refreshIntervalMs / kMillisecondsPerSecond; }

int32_t RefreshIntervalFromText(std::u16string_view text, int32_t currentMs) {
  int64_t seconds = -1;
  for (char16_t c : text) {
    if (!IsDigit(c)) continue;
    // Digits beyond the largest interval cannot bring the value back below it.
    seconds = std::min<int64_t>((seconds < 0 ? 0 : seconds) * 10 + (c - u'0'), kMaxIntervalSeconds + 1);
  }
  const bool currentInRange = currentMs >= kMinIntervalSeconds * kMillisecondsPerSecond &&
                              currentMs <= kMaxIntervalSeconds * kMillisecondsPerSecond;
  // The field shows the setting in whole seconds only: unchanged, it must not
  // round the setting down.
  if (currentInRange && (seconds < 0 || seconds == IntervalSecondsOfSetting(currentMs))) return currentMs;
  if (seconds < 0) seconds = IntervalSecondsOfSetting(currentMs);
  seconds = std::clamp<int64_t>(seconds, kMinIntervalSeconds, kMaxIntervalSeconds);
  return int32_t(seconds * kMillisecondsPerSecond);
}

int TranspSliderPosition(int32_t transp) { return int(std::clamp<int32_t>(transp, kTranspSliderMin, kTranspSliderMax)); }

int32_t TranspFromSlider(int position, int32_t currentTransp) {
  const bool currentValid = currentTransp >= kTranspSliderMin && currentTransp <= kTranspSettingMax;
  return currentValid && position == TranspSliderPosition(currentTransp) ? currentTransp : int32_t(position);
}

bool IsDigitsOnly(std::u16string_view text) { return std::all_of(text.begin(), text.end(), IsDigit); }

int PictureRowOfSetting(int picture) { return picture >= 1 && picture <= kXStatusPictureCount ? picture - 1 : -1; }

uint8_t PictureSettingOfRow(int row, uint8_t current) {
  return row >= 0 && row < kXStatusPictureCount ? uint8_t(row + 1) : current;
}

BalloonText TemplateBalloon(const IUiTexts* language) {
  BalloonText b;
  b.title = language ? language->Text(kBalloonTitleKey) : std::u16string(kBalloonTitle);
  for (const BalloonLine& line : kBalloonLines) {
    if (language && line.key.empty()) continue;
    if (!b.text.empty()) b.text += kLineBreak;
    b.text += line.variable;
    b.text += u" - ";
    b.text += language ? language->Text(line.key) : std::u16string(line.builtIn);
  }
  return b;
}

std::u16string ResetQuestion(const IUiTexts* language) {
  return language ? language->Text(kResetKey) + u"?" : std::u16string(kResetQuestion);
}

}  // namespace tunelet
