// The settings store: INI values and the record the host keeps, as any
// earlier version, another plug-in or a hand-edited file may have left them,
// loaded by the core at start and stored again at the end; a stored record
// must load back as it was stored.
//
// Input: NUL-separated parts, one character a byte: the values of the INI
// keys of kIniKeys (an empty part: the key is missing), the record's texts
// (kRecordTexts), then the record's flags (2 bytes) and its numbers
// (4 bytes each, little-endian): PlayerId, ControlWindowX, ControlWindowY,
// SavedXStatusPicture, and the host's current picture.
#include <string>
#include <vector>

#include <utility>  // the fakes use std::exchange

#include "core/core_fakes.h"
#include "core/plugin_core.h"
#include "core/settings_store.h"
#include "model/settings.h"
#include "text_input.h"

using namespace tunelet;
using namespace tunelet::testing;

namespace {

struct IniKey {
  std::u16string_view section, key;
};
constexpr IniKey kIniKeys[] = {
    {u"Main", u"Action"},          {u"Main", u"Getfromname"},    {u"Main", u"Refreshinterval"},
    {u"Main", u"Updateonstartup"}, {u"Main", u"Xstat_a"},        {u"Main", u"Xstat_v"},
    {u"Main", u"a_u"},             {u"Popup", u"Alwaysontop"},   {u"Popup", u"Shadow"},
    {u"Popup", u"Transp"},         {u"Popup", u"Smooth"},        {u"Popup", u"Delay"},
    {u"Others", u"OLEfoobar"},     {u"Others", u"Firstrun"},     {u"Others", u"Returnonpause"},
    {u"Others", u"Directpaste"},   {u"Others", u"Show_tlc"},     {u"Others", u"Hide_tlc"},
    {u"Others", u"temp"},          {u"Others", u"Langfile"},
};
constexpr size_t kRecordTexts = 7;
constexpr size_t kParts = std::size(kIniKeys) + kRecordTexts + 1;

void FillRecord(HostKeptValues& r, const std::vector<std::u16string>& texts, const std::vector<uint8_t>& tail) {
  std::u16string* fields[kRecordTexts] = {&r.AudioTitleTemplate, &r.AudioTextTemplate, &r.VideoTitleTemplate,
                                          &r.VideoTextTemplate,  &r.PasteTemplate,     &r.SavedXStatusTitle,
                                          &r.SavedXStatusText};
  for (size_t i = 0; i < kRecordTexts && i < texts.size(); ++i) *fields[i] = texts[i];
  const uint16_t flags = tail.size() >= 2 ? uint16_t(tail[0] | tail[1] << 8) : 0;
  bool* bits[] = {&r.PluginOn,    &r.KeepXStatusName, &r.ManualPlayer, &r.IgnoreVideo,
                  &r.PopupsOn,    &r.UseLanguageFile, &r.Initialised,  &r.SavedXStatusValid};
  for (size_t i = 0; i < std::size(bits); ++i) *bits[i] = flags >> i & 1;
  auto number = [&](size_t i) { return tail.size() >= 6 + 4 * i ? fuzz::LittleEndian32(tail.data() + 2 + 4 * i) : 0u; };
  r.PlayerId = number(0);
  r.ControlWindowX = int32_t(number(1));
  r.ControlWindowY = int32_t(number(2));
  r.SavedXStatusPicture = int32_t(number(3));
}

// What a store followed by a load must give back.
struct Kept {
  bool on, keep, manual, ignoreVideo, popups, language;
  uint8_t player;
  int32_t x, y;
  OptText audioTitle, audioText, videoTitle, videoText, paste, savedText;
  bool savedValid;
  uint16_t savedPicture;
  bool operator==(const Kept&) const = default;
};
Kept KeptNow() {
  const PluginSettings& s = Settings();
  // A saved X-status that is not valid is not stored.
  if (!s.SavedXStatusValid)
    return {s.PluginOn,          s.KeepXStatusName,    s.ManualPlayer,      s.IgnoreVideo,     s.PopupsOn,
            s.UseLanguageFile,   s.CurrentPlayer,      s.ControlWindowX,    s.ControlWindowY,  s.AudioTitleTemplate,
            s.AudioTextTemplate, s.VideoTitleTemplate, s.VideoTextTemplate, s.PasteTemplate,   std::nullopt,
            false,               0};
  return {s.PluginOn,           s.KeepXStatusName,    s.ManualPlayer,       s.IgnoreVideo,      s.PopupsOn,
          s.UseLanguageFile,    s.CurrentPlayer,      s.ControlWindowX,     s.ControlWindowY,   s.AudioTitleTemplate,
          s.AudioTextTemplate,  s.VideoTitleTemplate, s.VideoTextTemplate,  s.PasteTemplate,    s.SavedXStatusText,
          s.SavedXStatusValid,  s.SavedXStatusPicture};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto raw = fuzz::SplitParts(data, size, kParts);
  std::vector<std::u16string> parts;
  for (const auto& p : raw) parts.push_back(fuzz::ByteText(p));
  parts.resize(kParts);

  ResetSettings();
  FakeHost host;
  MemoryIni ini;
  for (size_t i = 0; i < std::size(kIniKeys); ++i)
    if (!parts[i].empty()) ini.Set(kIniKeys[i].section, kIniKeys[i].key, parts[i]);
  FillRecord(host.record, {parts.begin() + std::size(kIniKeys), parts.end() - 1},
             raw.size() == kParts ? raw.back() : std::vector<uint8_t>{});
  host.shown.picture = int32_t(host.record.ControlWindowX ^ host.record.ControlWindowY);

  FakeTimers timers;
  CoreEnvironment env;
  env.host = &host;
  env.timers = &timers;
  env.ini = &ini;
  env.fileVersion = "3.0.1.0";
  PluginCore core(env);
  core.HandleHostMessage(MSG_STARTUP, 0, nullptr);
  core.OnTimer(CoreTimer::Poll);
  core.HandleHostMessage(MSG_XSTATUS_CHANGED, host.shown.picture, parts[0].c_str());

  // Stored, then loaded back: the same settings.
  SaveSettings(ini);
  if (!StoreHostKeptOptions(host)) __builtin_trap();
  const Kept stored = KeptNow();
  ResetSettings();
  if (!LoadHostKeptOptions(host) || !(KeptNow() == stored)) __builtin_trap();

  core.HandleHostMessage(MSG_DISABLED, 0, nullptr);
  core.HandleHostMessage(MSG_ENABLED, 0, nullptr);
  core.HandleHostMessage(MSG_SHUTDOWN, 0, nullptr);
  ResetSettings();
  return 0;
}
