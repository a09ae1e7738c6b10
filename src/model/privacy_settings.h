// What the user chooses to share: players switched off, tracks never shown,
// how long a pause may last and how often the X-status may change. The
// defaults share exactly what the plug-in shared before these choices existed.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/player_table.h"

namespace tunelet {

// Caps on what the INI file (or the options dialog) may hand over: a
// hand-edited file must not make a poll slow or the record large.
constexpr size_t kMaxRememberedSessionApps = 64;
constexpr size_t kMaxSessionAppIdChars = 256;
constexpr size_t kMaxExclusionPatterns = 64;
constexpr size_t kMaxExclusionPatternChars = 256;

// Ranges of the numeric choices; 0 switches each rule off.
constexpr int32_t kMaxPausedTooLongMinutes = 24 * 60;
constexpr int32_t kMaxCalmPublishSeconds = 10 * 60;

// A media-session application seen so far and whether its tracks are shared.
struct SessionAppChoice {
  std::u16string appId;
  bool shared = true;
  bool operator==(const SessionAppChoice&) const = default;
};

struct PrivacySettings {
  // Indexed by the player's own row (SharingSwitchRow): the foobar2000 rows
  // share the switch of the first one.
  std::array<bool, kPlayerCount> PlayerShared = FilledWith(true);
  // In the order first seen, at most kMaxRememberedSessionApps.
  std::vector<SessionAppChoice> SessionApps;
  // The user's patterns as typed, one a line (see ParseExclusionPatterns).
  std::vector<std::u16string> ExclusionLines;
  int32_t PausedTooLongMinutes = 0;
  int32_t CalmPublishSeconds = 0;

  bool operator==(const PrivacySettings&) const = default;

 private:
  static constexpr std::array<bool, kPlayerCount> FilledWith(bool v) {
    std::array<bool, kPlayerCount> a{};
    for (bool& b : a) b = v;
    return a;
  }
};

// The row whose switch decides for a player: one switch per player, so the
// alternative foobar2000 windows answer to the first foobar2000 row.
constexpr PlayerId SharingSwitchRow(PlayerId row) {
  return row == kFoobar2000Alt1 || row == kFoobar2000Alt2 ? PlayerId(kFoobar2000) : row;
}

// A value one line of the INI file holds and gives back unchanged: a line
// break inside it would start a key of its own.
inline bool FitsOneIniLine(std::u16string_view v) {
  return std::none_of(v.begin(), v.end(), [](char16_t c) { return c == u'\r' || c == u'\n' || c == 0; });
}

// An application id worth remembering: an application may name itself
// anything, so the length and the characters are checked.
inline bool UsableSessionAppId(std::u16string_view id) {
  return !id.empty() && id.size() <= kMaxSessionAppIdChars && FitsOneIniLine(id);
}

// "Sharing paused until T": one hour from the press, ends by itself, never
// stored. Times are milliseconds of a monotonic clock the caller passes in.
constexpr int64_t kSharingPauseMs = 60 * 60 * 1000;

class SharingPause {
 public:
  void Pause(int64_t nowMs) { until_ = nowMs + kSharingPauseMs; }
  void Resume() { until_.reset(); }
  // Pauses when not paused, resumes when paused; true when paused now.
  bool Toggle(int64_t nowMs) {
    if (Active(nowMs)) {
      Resume();
      return false;
    }
    Pause(nowMs);
    return true;
  }
  bool Active(int64_t nowMs) const { return until_ && nowMs < *until_; }
  // When the pause ends (the clock of Pause); nullopt when never paused or
  // resumed by hand. A past value stays until Resume or the next Pause: the
  // core then says that sharing resumed by itself.
  std::optional<int64_t> Until() const { return until_; }

 private:
  std::optional<int64_t> until_;
};

}  // namespace tunelet
