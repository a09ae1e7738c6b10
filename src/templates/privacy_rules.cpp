#include "templates/privacy_rules.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "common/text.h"
#include "players/media_session.h"

namespace tunelet {

namespace {

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
    const std::u16string_view name = TrimSpacesAndTabs(line.substr(0, colon));
    for (const FieldName& f : kFieldNames) {
      if (!EqualsIgnoreCase(name, f.name)) continue;
      p.field = f.field;
      p.pattern = std::u16string(TrimSpacesAndTabs(line.substr(colon + 1)));
      break;
    }
  }
  if (p.pattern.empty()) return std::nullopt;
  return p;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Text as characters, so that '?' takes a surrogate pair as one; a lone
// surrogate stays a character of its own.
std::u32string CodePoints(std::u16string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsHighSurrogate(s[i]) && i + 1 < s.size() && IsLowSurrogate(s[i + 1])) {
      out += char32_t(0x10000 + ((s[i] - 0xD800) << 10) + (s[i + 1] - 0xDC00));
      ++i;
    } else {
      out += char32_t(s[i]);
    }
  }
  return out;
}

bool SegmentMatchesAt(std::u32string_view segment, std::u32string_view text, size_t at) {
  for (size_t i = 0; i < segment.size(); ++i)
    if (segment[i] != U'?' && segment[i] != text[at + i]) return false;
  return true;
}

// Leftmost occurrences of one star-free piece of a pattern ('?' included),
// found by the bit-parallel shift-and method: one pass over the text, each
// character costing a word operation per 64 characters of the piece.
class SegmentSearcher {
 public:
  explicit SegmentSearcher(std::u32string_view segment) : length_(segment.size()), words_((length_ + 63) / 64) {
    for (char32_t c : segment)
      if (c != U'?') chars_.push_back(c);
    std::sort(chars_.begin(), chars_.end());
    chars_.erase(std::unique(chars_.begin(), chars_.end()), chars_.end());
    anyChar_.assign(words_, 0);
    masks_.assign(chars_.size() * words_, 0);
    for (size_t i = 0; i < length_; ++i) {
      const uint64_t bit = uint64_t(1) << (i % 64);
      if (segment[i] == U'?') {
        anyChar_[i / 64] |= bit;
        for (size_t c = 0; c < chars_.size(); ++c) masks_[c * words_ + i / 64] |= bit;
      } else {
        masks_[CharIndex(segment[i]) * words_ + i / 64] |= bit;
      }
    }
  }

  // Start of the leftmost occurrence that lies within text[from, to), or npos.
  size_t Find(std::u32string_view text, size_t from, size_t to) const {
    std::vector<uint64_t> state(words_, 0);
    const uint64_t found = uint64_t(1) << ((length_ - 1) % 64);
    for (size_t i = from; i < to; ++i) {
      const size_t c = CharIndex(text[i]);
      const uint64_t* mask = c == kNone ? anyChar_.data() : &masks_[c * words_];
      uint64_t carry = 1;  // an occurrence may start at every character
      for (size_t w = 0; w < words_; ++w) {
        const uint64_t next = state[w] >> 63;
        state[w] = (state[w] << 1 | carry) & mask[w];
        carry = next;
      }
      if (state[words_ - 1] & found) return i + 1 - length_;
    }
    return std::u32string_view::npos;
  }

 private:
  static constexpr size_t kNone = SIZE_MAX;
  size_t CharIndex(char32_t c) const {
    const auto it = std::lower_bound(chars_.begin(), chars_.end(), c);
    return it != chars_.end() && *it == c ? size_t(it - chars_.begin()) : kNone;
  }

  size_t length_, words_;
  std::vector<char32_t> chars_;   // the piece's distinct characters, sorted
  std::vector<uint64_t> masks_;   // per character: where it (or '?') stands
  std::vector<uint64_t> anyChar_; // where '?' stands: any other character
};

// A folded pattern against folded text. The pieces between stars are placed
// leftmost, one after the other: a later piece can only gain from an earlier
// one placed as early as possible, so no placement is ever undone. The first
// and the last piece are tied to the ends unless a star stands there.
bool MatchesFoldedWildcard(std::u32string_view pattern, std::u32string_view text) {
  std::vector<std::u32string_view> pieces;
  for (size_t i = 0; i < pattern.size();) {
    const size_t star = std::min(pattern.find(U'*', i), pattern.size());
    if (star > i) pieces.push_back(pattern.substr(i, star - i));
    i = star + 1;
  }
  const bool starAtStart = !pattern.empty() && pattern.front() == U'*';
  const bool starAtEnd = !pattern.empty() && pattern.back() == U'*';
  if (pieces.empty()) return starAtStart || text.empty();  // "" or only stars
  if (!starAtStart && pieces.size() == 1 && !starAtEnd)
    return text.size() == pieces[0].size() && SegmentMatchesAt(pieces[0], text, 0);

  size_t begin = 0, end = text.size();
  size_t first = 0, last = pieces.size();
  if (!starAtStart) {
    if (pieces[0].size() > end || !SegmentMatchesAt(pieces[0], text, 0)) return false;
    begin = pieces[0].size();
    first = 1;
  }
  if (!starAtEnd) {
    const std::u32string_view tail = pieces[last - 1];
    // Subtraction form: the tail must fit after what the head took.
    if (tail.size() > end - begin || !SegmentMatchesAt(tail, text, end - tail.size())) return false;
    end -= tail.size();
    --last;
  }
  for (size_t i = first; i < last; ++i) {
    if (pieces[i].size() > end - begin) return false;
    const size_t at = SegmentSearcher(pieces[i]).Find(text, begin, end);
    if (at == std::u32string_view::npos) return false;
    begin = at + pieces[i].size();
  }
  return true;
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

// The track's fields folded once for every pattern of the list; absent ones
// stay absent.
struct FoldedFields {
  std::array<std::optional<std::u32string>, 6> byField;  // indexed by ExclusionField

  FoldedFields(const TrackInfo& t, std::u16string_view player) {
    for (const FieldName& f : kFieldNames)
      if (const auto text = FieldText(t, player, f.field)) byField[size_t(f.field)] = CodePoints(ToUpper(*text));
  }
  bool Matches(std::u32string_view foldedPattern, ExclusionField f) const {
    const auto& text = byField[size_t(f)];
    return text && MatchesFoldedWildcard(foldedPattern, *text);
  }
};

bool Hides(const ExclusionPattern& p, const FoldedFields& fields) {
  const std::u32string folded = CodePoints(ToUpper(p.pattern));
  if (p.field != ExclusionField::Any) return fields.Matches(folded, p.field);
  return std::any_of(kFieldNames.begin(), kFieldNames.end(),
                     [&](const FieldName& f) { return fields.Matches(folded, f.field); });
}

// Browsers by the names SessionPlayerName gives them, then other browsers by
// their executable's name (without ".exe") or their store package.
constexpr std::array<std::u16string_view, 4> kBrowserNames{u"Chrome", u"Edge", u"Firefox", u"Opera"};
constexpr std::array<std::u16string_view, 14> kBrowserExecutables{
    u"brave",     u"vivaldi",   u"chromium", u"iexplore",  u"browser" /* Yandex */, u"opera_gx", u"waterfox",
    u"librewolf", u"palemoon",  u"seamonkey", u"thorium",  u"floorp",  u"arc",      u"msedgewebview2"};
// A store id is "<package>_<publisher>!<app>".
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
    if (auto p = ParseLine(TrimSpacesAndTabs(text.substr(0, end)))) out.push_back(std::move(*p));
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
  return MatchesFoldedWildcard(CodePoints(ToUpper(pattern)), CodePoints(ToUpper(text)));
}

const ExclusionPattern* ExclusionThatHides(const TrackInfo& track, std::u16string_view playerName,
                                           const std::vector<ExclusionPattern>& patterns) {
  if (patterns.empty()) return nullptr;
  const FoldedFields fields(track, playerName);
  for (const ExclusionPattern& p : patterns)
    if (Hides(p, fields)) return &p;
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

void CalmPublisher::Sent(XStatusChange change, int64_t nowMs) {
  shown_ = std::move(change);
  waiting_.reset();
  lastSentMs_ = nowMs;
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
