// The rules that decide whether the playing track is shared at all: players
// and media-session applications switched off, tracks hidden by the user's
// patterns, a pause of sharing, a player paused too long, and a calm pace of
// X-status changes. Pure logic: times are milliseconds of a monotonic clock
// the caller passes in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/privacy_settings.h"
#include "model/track_info.h"

namespace tunelet {

// ---- Tracks never shared -------------------------------------------------

enum class ExclusionField : uint8_t { Any, Artist, Title, Album, Path, Player };

// One line of the user's list: "artist:*podcast*", "path:D:\Private\*", or a
// bare pattern matched against every field.
struct ExclusionPattern {
  ExclusionField field = ExclusionField::Any;
  std::u16string pattern;  // the wildcard text after the field's name
  std::u16string line;     // the line as the user wrote it (trimmed)
  bool operator==(const ExclusionPattern&) const = default;
};

// One pattern per line (CR, LF or CRLF); blanks around a line are dropped,
// empty lines and lines whose pattern is empty are skipped. A line longer than
// kMaxExclusionPatternChars is skipped whole (a cut pattern would hide other
// tracks than the one written); at most kMaxExclusionPatterns are kept. A
// field name is recognised case-insensitively before the first ':'; other
// text before a ':' (a drive letter) belongs to the pattern.
std::vector<ExclusionPattern> ParseExclusionPatterns(std::u16string_view text);
std::vector<ExclusionPattern> ParseExclusionPatterns(const std::vector<std::u16string>& lines);

// The whole text matches the pattern: '*' any run of characters (none
// included), '?' exactly one character (a surrogate pair counts as one),
// everything else itself ignoring case. No escapes. One pass over the text
// per piece between stars, each character costing a word operation per 64
// characters of the piece, whatever the stars: no pattern makes it hang.
bool MatchesWildcard(std::u16string_view pattern, std::u16string_view text);

// The first pattern that hides the track, or null when none does. A field
// that is absent matches nothing; an empty-but-present field matches what
// matches the empty text.
const ExclusionPattern* ExclusionThatHides(const TrackInfo& track, std::u16string_view playerName,
                                           const std::vector<ExclusionPattern>& patterns);

// ---- Players and applications shared -------------------------------------

// A web browser's media-session id (their sessions are mostly videos and
// pages, so a browser starts switched off).
bool IsWebBrowserApp(std::u16string_view appId);

// Whether a media-session application not in the list is shared.
inline bool SessionAppSharedByDefault(std::u16string_view appId) { return !IsWebBrowserApp(appId); }

// Whether tracks from this player are shared. currentPlayer is a row of the
// player table or kMediaSession; appId is the session's application then
// (ignored otherwise). An unknown application gets its default; a row past
// the table is not shared.
bool PlayerShared(const PrivacySettings& settings, PlayerId currentPlayer, std::u16string_view appId);

// Adds a media-session application seen for the first time with its default
// choice. False when it was known, unusable (empty, too long, line breaks) or
// the list is full; such an application keeps its default.
bool RememberSessionApp(PrivacySettings& settings, std::u16string_view appId);

// ---- A player paused too long ---------------------------------------------

// Follows the play/pause state of a player that reports pause. After the
// limit the track counts as nothing playing; playing again shows it again.
class PauseTracker {
 public:
  // The state seen at a poll. A stop, a new track or another player is
  // Forget(): the next pause counts from its own start.
  void Observe(bool paused, int64_t nowMs);
  void Forget() { pausedSince_.reset(); }
  // True when paused for at least limitMinutes (0 = never) until now.
  bool PausedTooLong(int64_t nowMs, int32_t limitMinutes) const;

 private:
  std::optional<int64_t> pausedSince_;
};

// ---- Calm publishing -------------------------------------------------------

// The change of the X-status the core wants to make: show a track (known by a
// key of the caller's choice, for instance its path and title) or put the
// user's own X-status back.
struct XStatusChange {
  enum class Kind : uint8_t { Publish, Restore } kind = Kind::Restore;
  std::u16string trackKey;  // Publish only
  bool operator==(const XStatusChange&) const = default;
};

// At most one change per interval: a change asked for while the last one went
// out less than an interval ago waits; a newer one replaces it (the last one
// wins); a change that would repeat what is shown is dropped. A change never
// waits longer than the interval from its own request. The start state is
// the user's own X-status.
class CalmPublisher {
 public:
  explicit CalmPublisher(int64_t intervalMs = 0) : intervalMs_(intervalMs < 0 ? 0 : intervalMs) {}
  void SetInterval(int64_t intervalMs) { intervalMs_ = intervalMs < 0 ? 0 : intervalMs; }

  void RequestPublish(std::u16string trackKey, int64_t nowMs);
  void RequestRestore(int64_t nowMs);
  // When the waiting change may go out (arm a timer for it); nullopt when
  // nothing waits.
  std::optional<int64_t> DueAt() const;
  // The waiting change once its time has come, counted as sent at nowMs.
  std::optional<XStatusChange> Take(int64_t nowMs);
  // A change made at once while the rule was off: it counts as sent at
  // nowMs, and nothing waits any more.
  void Sent(XStatusChange change, int64_t nowMs);
  // What was sent last (the user's own X-status at the start).
  const XStatusChange& Shown() const { return shown_; }

 private:
  void Request(XStatusChange change, int64_t nowMs);

  int64_t intervalMs_;
  XStatusChange shown_;
  std::optional<int64_t> lastSentMs_;
  std::optional<XStatusChange> waiting_;
  int64_t waitingDueMs_ = 0;
};

}  // namespace tunelet
