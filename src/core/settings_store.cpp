#include "core/settings_store.h"

#include "core/privacy_store.h"
#include "model/settings.h"

namespace tunelet {

namespace {

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

std::u16string_view TrimSpaces(std::u16string_view s) {
  while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
  return s;
}

// One INI key read as an integer, with its default when missing or not a number.
int32_t ReadInteger(IIniFile& ini, std::u16string_view section, std::u16string_view key, int32_t def) {
  const std::optional<std::u16string> text = ini.Read(section, key);
  if (!text) return def;
  return ParseIniInteger(*text).value_or(def);
}
bool ReadFlag(IIniFile& ini, std::u16string_view section, std::u16string_view key, bool def) {
  return ReadInteger(ini, section, key, def ? 1 : 0) != 0;
}

void WriteInteger(IIniFile& ini, std::u16string_view section, std::u16string_view key, int32_t v) {
  std::u16string text = v < 0 ? u"-" + ToU16(uint32_t(-int64_t(v))) : ToU16(uint32_t(v));
  ini.Write(section, key, text);
}
void WriteFlag(IIniFile& ini, std::u16string_view section, std::u16string_view key, bool v) {
  ini.Write(section, key, v ? u"1" : u"0");
}

template <typename T>
void ReplaceOutOfRange(T& v, int32_t lo, int32_t hi, T replacement) {
  if (int32_t(v) < lo || int32_t(v) > hi) v = replacement;
}

void TemplateOrDefault(OptText& field, const std::u16string& stored, const char16_t* def) {
  SetText(field, stored.empty() ? std::u16string_view(def) : std::u16string_view(stored));
}

std::u16string Plain(const OptText& t) { return t ? *t : std::u16string(); }

// The record's player byte as a row of the table. It never names the media
// session (that choice lives in the INI file), so a value past the table is
// read like a stored 0.
PlayerId HostKeptRow(uint32_t stored) {
  const auto row = PlayerId(stored);
  return row == 0 || row >= kPlayerCount ? kFallbackHostKeptPlayer : row;
}

// The media session as the manual choice: what the INI key says. Found by
// automatic detection it is only the player of the moment.
bool MediaSessionChosen(const PluginSettings& s) { return s.ManualPlayer && s.CurrentPlayer == kMediaSession; }

}  // namespace

std::optional<int32_t> ParseIniInteger(std::u16string_view text) {
  std::u16string_view s = TrimSpaces(text);
  if (s.size() > 2 && s[0] == u'0' && (s[1] == u'x' || s[1] == u'X')) {
    s.remove_prefix(2);
    if (s.size() > 8) return std::nullopt;
    uint32_t v = 0;
    for (char16_t c : s) {
      const int d = HexDigit(c);
      if (d < 0) return std::nullopt;
      v = v << 4 | uint32_t(d);
    }
    return int32_t(v);
  }
  bool negative = false;
  if (!s.empty() && (s[0] == u'-' || s[0] == u'+')) {
    negative = s[0] == u'-';
    s.remove_prefix(1);
  }
  if (s.empty()) return std::nullopt;
  int64_t v = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') return std::nullopt;
    v = v * 10 + (c - u'0');
    if (v > int64_t(INT32_MAX) + 1) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return std::nullopt;
  return int32_t(v);
}

void LoadSettings(IIniFile& ini, ILanguage& language) {
  PluginSettings& s = Settings();
  try {
    s.Action = uint8_t(ReadInteger(ini, u"Main", u"Action", 21));
    s.Getfromname = ReadFlag(ini, u"Main", u"Getfromname", true);
    s.Refreshinterval = ReadInteger(ini, u"Main", u"Refreshinterval", 5000);
    s.Updateonstartup = ReadFlag(ini, u"Main", u"Updateonstartup", true);
    s.Xstat_a = uint8_t(ReadInteger(ini, u"Main", u"Xstat_a", 11));
    s.Xstat_v = uint8_t(ReadInteger(ini, u"Main", u"Xstat_v", 8));
    s.a_u = ReadInteger(ini, u"Main", u"a_u", 0);
    s.Alwaysontop = ReadFlag(ini, u"Popup", u"Alwaysontop", true);
    s.Shadow = ReadFlag(ini, u"Popup", u"Shadow", true);
    s.Transp = ReadInteger(ini, u"Popup", u"Transp", 230);
    s.Smooth = ReadFlag(ini, u"Popup", u"Smooth", false);
    s.Delay = ReadInteger(ini, u"Popup", u"Delay", 5);
    s.OLEfoobar = ReadFlag(ini, u"Others", u"OLEfoobar", false);
    s.Mediasession = ReadFlag(ini, u"Main", u"Mediasession", false);
    s.Firstrun = ReadFlag(ini, u"Others", u"Firstrun", true);
    s.Returnonpause = ReadFlag(ini, u"Others", u"Returnonpause", false);
    s.Directpaste = ReadFlag(ini, u"Others", u"Directpaste", false);
    s.Show_tlc = ReadFlag(ini, u"Others", u"Show_tlc", false);
    s.Hide_tlc = ReadFlag(ini, u"Others", u"Hide_tlc", true);
    s.temp = ReadInteger(ini, u"Others", u"temp", 0);
    // The first start writes the marker at once; the in-memory 0 lets the
    // core reset the control window's position for this start.
    if (s.temp == 0) ini.Write(u"Others", u"temp", u"1");
  } catch (...) {
    // Whatever was read so far stands.
  }

  ReplaceOutOfRange(s.Refreshinterval, 3000, 10000, 5000);
  ReplaceOutOfRange(s.Xstat_a, 1, 35, uint8_t(11));
  ReplaceOutOfRange(s.Xstat_v, 1, 35, uint8_t(8));
  ReplaceOutOfRange(s.Delay, 2, 15, 5);
  ReplaceOutOfRange(s.Transp, 20, 255, 230);
  if (s.Action != 10 && s.Action != 11 && s.Action != 21 && s.Action != 31) s.Action = 21;
  ReplaceOutOfRange(s.a_u, 0, 1, 0);

  s.Privacy = LoadPrivacySettings(ini);

  if (s.Updateonstartup) s.UpdateCheckPending = true;
  // Until a language has been applied, every start offers the choice.
  if (s.Firstrun) language.ShowLanguageDialog();
}

void SaveSettings(IIniFile& ini) {
  const PluginSettings& s = Settings();
  try {
    WriteInteger(ini, u"Main", u"Action", s.Action);
    WriteInteger(ini, u"Main", u"Refreshinterval", s.Refreshinterval);
    WriteFlag(ini, u"Main", u"Getfromname", s.Getfromname);
    WriteFlag(ini, u"Main", u"Updateonstartup", s.Updateonstartup);
    WriteInteger(ini, u"Main", u"Xstat_a", s.Xstat_a);
    WriteInteger(ini, u"Main", u"Xstat_v", s.Xstat_v);
    WriteInteger(ini, u"Main", u"a_u", s.a_u);
    WriteFlag(ini, u"Main", u"OLEfoobar", s.OLEfoobar);
    WriteFlag(ini, u"Popup", u"Alwaysontop", s.Alwaysontop);
    WriteFlag(ini, u"Popup", u"Shadow", s.Shadow);
    WriteFlag(ini, u"Popup", u"Smooth", s.Smooth);
    WriteInteger(ini, u"Popup", u"Transp", s.Transp);
    WriteInteger(ini, u"Popup", u"Delay", s.Delay);
    WriteFlag(ini, u"Others", u"OLEfoobar", s.OLEfoobar);
    WriteFlag(ini, u"Others", u"Returnonpause", s.Returnonpause);
    WriteFlag(ini, u"Others", u"Directpaste", s.Directpaste);
    WriteFlag(ini, u"Others", u"Show_tlc", s.Show_tlc);
    WriteFlag(ini, u"Others", u"Hide_tlc", s.Hide_tlc);
    WriteFlag(ini, u"Main", u"Mediasession", MediaSessionChosen(s));
  } catch (...) {
  }
  SavePrivacySettings(ini, s.Privacy);
}

bool LoadHostKeptOptions(IHost& host) {
  HostKeptValues r;
  if (!host.LoadHostKept(r)) return false;
  PluginSettings& s = Settings();
  s.PluginOn = r.PluginOn;
  if (r.Initialised) {
    TemplateOrDefault(s.AudioTitleTemplate, r.AudioTitleTemplate, kDefaultAudioTitleTemplate);
    TemplateOrDefault(s.AudioTextTemplate, r.AudioTextTemplate, kDefaultAudioTextTemplate);
    TemplateOrDefault(s.VideoTitleTemplate, r.VideoTitleTemplate, kDefaultVideoTitleTemplate);
    TemplateOrDefault(s.VideoTextTemplate, r.VideoTextTemplate, kDefaultVideoTextTemplate);
    TemplateOrDefault(s.PasteTemplate, r.PasteTemplate, kDefaultPasteTemplate);
  } else {
    SetText(s.AudioTitleTemplate, kDefaultAudioTitleTemplate);
    SetText(s.AudioTextTemplate, kDefaultAudioTextTemplate);
    SetText(s.VideoTitleTemplate, kDefaultVideoTitleTemplate);
    SetText(s.VideoTextTemplate, kDefaultVideoTextTemplate);
    SetText(s.PasteTemplate, kDefaultPasteTemplate);
    s.Action = 21;
  }
  s.UseLanguageFile = r.UseLanguageFile;
  s.KeepXStatusName = r.KeepXStatusName;
  s.ManualPlayer = r.ManualPlayer;
  s.HostKeptPlayer = HostKeptRow(r.PlayerId);
  s.CurrentPlayer = s.ManualPlayer && s.Mediasession ? kMediaSession : s.HostKeptPlayer;
  s.IgnoreVideo = r.IgnoreVideo;
  s.PopupsOn = r.PopupsOn;
  s.ControlWindowX = r.ControlWindowX;
  s.ControlWindowY = r.ControlWindowY;
  if (r.SavedXStatusValid) {
    s.SavedXStatusValid = true;
    s.SavedXStatusPicture = uint16_t(r.SavedXStatusPicture);
    SetText(s.SavedXStatusTitle, r.SavedXStatusTitle);
    SetText(s.SavedXStatusText, r.SavedXStatusText);
  }
  return true;
}

bool StoreHostKeptOptions(IHost& host) {
  if (!host.HostKeptAvailable()) return false;
  PluginSettings& s = Settings();
  // An older version indexes its table with the byte: the media session
  // keeps the row stored before.
  if (s.CurrentPlayer < kPlayerCount) s.HostKeptPlayer = s.CurrentPlayer;
  HostKeptValues r;
  r.PluginOn = s.PluginOn;
  r.AudioTitleTemplate = Plain(s.AudioTitleTemplate);
  r.AudioTextTemplate = Plain(s.AudioTextTemplate);
  r.VideoTitleTemplate = Plain(s.VideoTitleTemplate);
  r.VideoTextTemplate = Plain(s.VideoTextTemplate);
  r.PasteTemplate = Plain(s.PasteTemplate);
  r.PlayerId = s.HostKeptPlayer;
  r.KeepXStatusName = s.KeepXStatusName;
  r.ManualPlayer = s.ManualPlayer;
  r.IgnoreVideo = s.IgnoreVideo;
  r.PopupsOn = s.PopupsOn;
  r.UseLanguageFile = s.UseLanguageFile;
  r.Initialised = true;
  r.ControlWindowX = s.ControlWindowX;
  r.ControlWindowY = s.ControlWindowY;
  if (s.SavedXStatusValid) {
    r.SavedXStatusValid = true;
    r.SavedXStatusPicture = int32_t(int16_t(s.SavedXStatusPicture));
    if (s.Action == 11 || !s.KeepXStatusName)
      r.SavedXStatusTitle = Plain(s.SavedXStatusTitle);
    else
      r.SavedXStatusTitle = host.GetXStatus().title;
    r.SavedXStatusText = Plain(s.SavedXStatusText);
  }
  return host.StoreHostKept(r);
}

void SettingsOptionsStore::SaveOptions() {
  SaveSettings(ini_);
  StoreHostKeptOptions(host_);
}

void SettingsOptionsStore::SaveShowControlWindow() {
  try {
    WriteFlag(ini_, u"Others", u"Show_tlc", Settings().Show_tlc);
  } catch (...) {
  }
}

}  // namespace tunelet
