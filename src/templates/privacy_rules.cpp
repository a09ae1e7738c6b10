#include "templates/privacy_rules.h"

#include <algorithm>
#include <array>

#include "common/text.h"
#include "players/media_session.h"

namespace tunelet {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trimmed(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

struct FieldName {
  std::u16string_view name;
  ExclusionField field;
};
constexpr std::array<FieldName, 5> kFieldNames{{
    {u"artist", ExclusionField::Artist},
    {u"title", ExclusionField::Title},
    {u"album", ExclusionField::Album},
    {u"path", ExclusionField::Path},
    {u"player", ExclusionField::Player},
}};

// The pattern of one trimmed line, or nullopt when the line holds none.
std::optional<ExclusionPattern> ParseLine(std::u16string_view line) {
  if (line.empty() || line.size() > kMaxExclusionPatternChars) return std::nullopt;
  ExclusionPattern p{ExclusionField::Any, std::u16string(line), std::u16string(line)};
  const size_t colon = line.find(u':');
  if (colon != std::u16string_view::npos) {
    const std::u16string_view name = Trimmed(line.substr(0, colon));
    for (const FieldName& f : kFieldNames) {
      if (!EqualsIgnoreCase(name, f.name)) continue;
      p.field = f.field;
      p.pattern = std::u16string(Trimmed(line.substr(colon + 1)));
      break;
    }
  }
  if (p.pattern.empty()) return std::nullopt;
  return p;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Units of text that one '?' takes at position i: a surrogate pair is one
// character.
size_t CharacterUnits(std::u16string_view text, size_t i) {
  return IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]) ? 2 : 1;
}

std::optional<std::u16string_view> FieldText(const TrackInfo& t, std::u16string_view player, ExclusionField f) {
  auto present = [](const OptText& v) -> std::optional<std::u16string_view> {
    if (!v) return std::nullopt;
    return std::u16string_view(*v);
  };
  switch (f) {
    case ExclusionField::Artist: return present(t.Artist);
    case ExclusionField::Title: return present(t.Title);
    case ExclusionField::Album: return present(t.Album);
    case ExclusionField::Path: return present(t.FilePath);
    case ExclusionField::Player:
      if (player.empty()) return std::nullopt;
      return player;
    case ExclusionField::Any: break;
  }
  return std::nullopt;
}

bool Hides(const ExclusionPattern& p, const TrackInfo& t, std::u16string_view player) {
  if (p.field != ExclusionField::Any) {
    const auto text = FieldText(t, player, p.field);
    return text && MatchesWildcard(p.pattern, *text);
  }
  for (const FieldName& f : kFieldNames) {
    const auto text = FieldText(t, player, f.field);
    if (text && MatchesWildcard(p.pattern, *text)) return true;
  }
  return false;
}

// Executable names of browsers people use for music and video pages; the
// ones media_session.cpp knows by name are matched by that name.
constexpr std::array<std::u16string_view, 4> kBrowserNames{u"Chrome", u"Edge", u"Firefox", u"Opera"};
constexpr std::array<std::u16string_view, 14> kBrowserExecutables{
    u"brave",     u"vivaldi",   u"chromium", u"iexplore",  u"browser" /* Yandex */, u"opera_gx", u"waterfox",
    u"librewolf", u"palemoon",  u"seamonkey", u"thorium",  u"floorp",  u"arc",      u"msedgewebview2"};
// Store ids of browsers: "<package>_<publisher>!<app>", matched by package.
constexpr std::array<std::u16string_view, 2> kBrowserPackages{u"Microsoft.MicrosoftEdge", u"TheBrowserCompany.Arc"};

std::u16string_view FileNameOf(std::u16string_view appId) {
  const size_t slash = appId.find_last_of(u"\\/");
  return slash == std::u16string_view::npos ? appId : appId.substr(slash + 1);
}

bool HasExecutableStem(std::u16string_view appId, std::u16string_view stem) {
  const std::u16string_view file = FileNameOf(appId);
  constexpr std::u16string_view kExe = u".exe";
  return file.size() == stem.size() + kExe.size() && EqualsIgnoreCase(file.substr(0, stem.size()), stem) &&
         EqualsIgnoreCase(file.substr(stem.size()), kExe);
}

bool HasPackage(std::u16string_view appId, std::u16string_view package) {
  return appId.size() > package.size() && EqualsIgnoreCase(appId.substr(0, package.size()), package) &&
         appId[package.size()] == u'_';
}

const SessionAppChoice* FindApp(const PrivacySettings& s, std::u16string_view appId) {
  const auto it = std::find_if(s.SessionApps.begin(), s.SessionApps.end(),
                               [&](const SessionAppChoice& a) { return EqualsIgnoreCase(a.appId, appId); });
  return it == s.SessionApps.end() ? nullptr : &*it;
}

}  // namespace

std::vector<ExclusionPattern> ParseExclusionPatterns(std::u16string_view text) {
  std::vector<ExclusionPattern> out;
  while (!text.empty() && out.size() < kMaxExclusionPatterns) {
    const size_t end = std::min(text.find_first_of(u"\r\n"), text.size());
    if (auto p = ParseLine(Trimmed(text.substr(0, end)))) out.push_back(std::move(*p));
    text.remove_prefix(end);
    if (!text.empty()) text.remove_prefix(1);  // one break; CRLF leaves an empty line, skipped
  }
  return out;
}

std::vector<ExclusionPattern> ParseExclusionPatterns(const std::vector<std::u16string>& lines) {
  std::vector<ExclusionPattern> out;
  for (const std::u16string& line : lines) {
    if (out.size() == kMaxExclusionPatterns) break;
    // A line holding breaks (a hand-made list) is several lines.
    for (ExclusionPattern& p : ParseExclusionPatterns(line)) {
      if (out.size() == kMaxExclusionPatterns) break;
      out.push_back(std::move(p));
    }
  }
  return out;
}

bool MatchesWildcard(std::u16string_view pattern, std::u16string_view text) {
  // Greedy matching with one backtrack point: the last star seen. On a
  // mismatch the star takes one more character and the rest is tried again;
  // earlier stars never need revisiting, so no input can make this
  // exponential.
  size_t p = 0, t = 0;
  std::optional<size_t> starP;
  size_t starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      while (p < pattern.size() && pattern[p] == u'*') ++p;
      if (p == pattern.size()) return true;
      starP = p;
      starT = t;
    } else if (p < pattern.size() && pattern[p] == u'?') {
      t += CharacterUnits(text, t);
      ++p;
    } else if (p < pattern.size() && ToUpperChar(pattern[p]) == ToUpperChar(text[t])) {
      ++p;
      ++t;
    } else if (starP) {
      starT += CharacterUnits(text, starT);
      p = *starP;
      t = starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

const ExclusionPattern* ExclusionThatHides(const TrackInfo& track, std::u16string_view playerName,
                                           const std::vector<ExclusionPattern>& patterns) {
  for (const ExclusionPattern& p : patterns)
    if (Hides(p, track, playerName)) return &p;
  return nullptr;
}

bool IsWebBrowserApp(std::u16string_view appId) {
  if (appId.empty()) return false;
  const std::u16string name = SessionPlayerName(appId);
  const auto is = [](std::u16string_view a) { return [a](std::u16string_view b) { return EqualsIgnoreCase(a, b); }; };
  if (std::any_of(kBrowserNames.begin(), kBrowserNames.end(), is(name))) return true;
  if (std::any_of(kBrowserExecutables.begin(), kBrowserExecutables.end(),
                  [&](std::u16string_view stem) { return HasExecutableStem(appId, stem); }))
    return true;
  return std::any_of(kBrowserPackages.begin(), kBrowserPackages.end(),
                     [&](std::u16string_view package) { return HasPackage(appId, package); });
}

bool PlayerShared(const PrivacySettings& settings, PlayerId currentPlayer, std::u16string_view appId) {
  if (currentPlayer == kMediaSession) {
    if (const SessionAppChoice* app = FindApp(settings, appId)) return app->shared;
    return SessionAppSharedByDefault(appId);
  }
  if (currentPlayer >= kPlayerCount) return false;
  return settings.PlayerShared[SharingSwitchRow(currentPlayer)];
}

bool RememberSessionApp(PrivacySettings& settings, std::u16string_view appId) {
  if (!UsableSessionAppId(appId) || FindApp(settings, appId) || settings.SessionApps.size() >= kMaxRememberedSessionApps)
    return false;
  settings.SessionApps.push_back({std::u16string(appId), SessionAppSharedByDefault(appId)});
  return true;
}

bool SharingPause::Toggle(int64_t nowMs) {
  if (Active(nowMs)) {
    Resume();
    return false;
  }
  Pause(nowMs);
  return true;
}

void PauseTracker::Observe(bool paused, int64_t nowMs) {
  if (!paused)
    pausedSince_.reset();
  else if (!pausedSince_)
    pausedSince_ = nowMs;
}

bool PauseTracker::PausedTooLong(int64_t nowMs, int32_t limitMinutes) const {
  if (limitMinutes <= 0 || !pausedSince_) return false;
  // Subtraction form: a clock that went back counts as no time paused.
  return nowMs >= *pausedSince_ && nowMs - *pausedSince_ >= int64_t(limitMinutes) * 60 * 1000;
}

void CalmPublisher::RequestPublish(std::u16string trackKey, int64_t nowMs) {
  Request({XStatusChange::Kind::Publish, std::move(trackKey)}, nowMs);
}

void CalmPublisher::RequestRestore(int64_t nowMs) { Request({XStatusChange::Kind::Restore, {}}, nowMs); }

void CalmPublisher::Request(XStatusChange change, int64_t nowMs) {
  if (change == shown_) {
    // Back to what is shown: whatever waited is moot.
    waiting_.reset();
    return;
  }
  waiting_ = std::move(change);
  int64_t due = nowMs;
  if (lastSentMs_ && *lastSentMs_ <= nowMs && nowMs - *lastSentMs_ < intervalMs_)
    due = *lastSentMs_ + intervalMs_;  // within [now, now + interval)
  waitingDueMs_ = due;
}

std::optional<int64_t> CalmPublisher::DueAt() const {
  if (!waiting_) return std::nullopt;
  return waitingDueMs_;
}

std::optional<XStatusChange> CalmPublisher::Take(int64_t nowMs) {
  if (!waiting_ || nowMs < waitingDueMs_) return std::nullopt;
  shown_ = std::move(*waiting_);
  waiting_.reset();
  lastSentMs_ = nowMs;
  return shown_;
}

}  // namespace tunelet
