#include "core/privacy_store.h"

#include <algorithm>

#include "common/text.h"
#include "core/settings_store.h"

namespace tunelet {

namespace {

constexpr std::u16string_view kSection = u"Privacy";

std::u16string Numbered(std::u16string_view prefix, size_t i) { return std::u16string(prefix) + ToU16(uint32_t(i)); }

int32_t ReadInteger(IIniFile& ini, std::u16string_view key, int32_t def) {
  const std::optional<std::u16string> text = ini.Read(kSection, key);
  return text ? ParseIniInteger(*text).value_or(def) : def;
}

bool ReadFlag(IIniFile& ini, std::u16string_view key, bool def) { return ReadInteger(ini, key, def ? 1 : 0) != 0; }

void WriteInteger(IIniFile& ini, std::u16string_view key, int32_t v) {
  ini.Write(kSection, key, v < 0 ? u"-" + ToU16(uint32_t(-int64_t(v))) : ToU16(uint32_t(v)));
}

void WriteFlag(IIniFile& ini, std::u16string_view key, bool v) { ini.Write(kSection, key, v ? u"1" : u"0"); }

bool UsableExclusionLine(std::u16string_view line) {
  return !line.empty() && line.size() <= kMaxExclusionPatternChars && FitsOneIniLine(line);
}

bool KnownApp(const std::vector<SessionAppChoice>& apps, std::u16string_view id) {
  return std::any_of(apps.begin(), apps.end(), [&](const SessionAppChoice& a) { return EqualsIgnoreCase(a.appId, id); });
}

// A count key read as the number of numbered keys to look at, capped.
size_t ReadCount(IIniFile& ini, std::u16string_view key, size_t cap) {
  const int32_t n = ReadInteger(ini, key, 0);
  return n <= 0 ? 0 : std::min(size_t(n), cap);
}

void LoadPlayers(IIniFile& ini, PrivacySettings& p) {
  for (PlayerId row = 0; row < kPlayerCount; ++row)
    if (SharingSwitchRow(row) == row) p.PlayerShared[row] = ReadFlag(ini, Numbered(u"Player", row), true);
  for (PlayerId row = 0; row < kPlayerCount; ++row) p.PlayerShared[row] = p.PlayerShared[SharingSwitchRow(row)];
}

void LoadSessionApps(IIniFile& ini, PrivacySettings& p) {
  const size_t count = ReadCount(ini, u"Apps", kMaxRememberedSessionApps);
  for (size_t i = 1; i <= count; ++i) {
    const std::optional<std::u16string> id = ini.Read(kSection, Numbered(u"App", i));
    if (!id || !UsableSessionAppId(*id) || KnownApp(p.SessionApps, *id)) continue;
    p.SessionApps.push_back({*id, ReadFlag(ini, Numbered(u"Appshared", i), true)});
  }
}

void LoadExclusions(IIniFile& ini, PrivacySettings& p) {
  const size_t count = ReadCount(ini, u"Exclusions", kMaxExclusionPatterns);
  for (size_t i = 1; i <= count; ++i) {
    const std::optional<std::u16string> line = ini.Read(kSection, Numbered(u"Exclusion", i));
    if (line && UsableExclusionLine(*line)) p.ExclusionLines.push_back(*line);
  }
}

template <typename T>
void ReplaceOutOfRange(T& v, T lo, T hi, T replacement) {
  if (v < lo || v > hi) v = replacement;
}

}  // namespace

PrivacySettings LoadPrivacySettings(IIniFile& ini) {
  PrivacySettings p;
  try {
    LoadPlayers(ini, p);
    LoadSessionApps(ini, p);
    LoadExclusions(ini, p);
    p.PausedTooLongMinutes = ReadInteger(ini, u"Pauselimit", 0);
    p.CalmPublishSeconds = ReadInteger(ini, u"Calminterval", 0);
  } catch (...) {
    // Whatever was read so far stands.
  }
  ReplaceOutOfRange(p.PausedTooLongMinutes, 0, kMaxPausedTooLongMinutes, 0);
  ReplaceOutOfRange(p.CalmPublishSeconds, 0, kMaxCalmPublishSeconds, 0);
  return p;
}

void SavePrivacySettings(IIniFile& ini, const PrivacySettings& p) {
  try {
    for (PlayerId row = 0; row < kPlayerCount; ++row)
      if (SharingSwitchRow(row) == row) WriteFlag(ini, Numbered(u"Player", row), p.PlayerShared[row]);

    size_t apps = 0;
    for (const SessionAppChoice& app : p.SessionApps) {
      if (apps == kMaxRememberedSessionApps) break;
      if (!UsableSessionAppId(app.appId)) continue;
      ++apps;
      ini.Write(kSection, Numbered(u"App", apps), app.appId);
      WriteFlag(ini, Numbered(u"Appshared", apps), app.shared);
    }
    WriteInteger(ini, u"Apps", int32_t(apps));

    size_t lines = 0;
    for (const std::u16string& line : p.ExclusionLines) {
      if (lines == kMaxExclusionPatterns) break;
      if (!UsableExclusionLine(line)) continue;
      ++lines;
      ini.Write(kSection, Numbered(u"Exclusion", lines), line);
    }
    WriteInteger(ini, u"Exclusions", int32_t(lines));

    WriteInteger(ini, u"Pauselimit", p.PausedTooLongMinutes);
    WriteInteger(ini, u"Calminterval", p.CalmPublishSeconds);
  } catch (...) {
  }
}

}  // namespace tunelet
