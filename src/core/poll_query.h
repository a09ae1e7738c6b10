// The players' part of a poll: finding the player, asking what it plays and
// reading the track. It runs away from the host's thread (on the poll
// worker) on a copy of the record; the answer goes back to the host's
// thread, where PluginCore::OnPollAnswer applies it to the real record.
#pragma once

#include <cstdint>

#include "model/settings.h"
#include "model/subsystems.h"

namespace tunelet {

// The user's rule that keeps a playing track from being shown.
enum class HiddenBy : uint8_t {
  Nothing,
  PlayerSwitchedOff,  // the player (or media-session application) is not shared
  Pattern,            // one of the user's "never share" patterns matched
  SharingPaused,      // the user paused sharing for an hour
  PausedTooLong,      // the player has been paused longer than the limit
};

struct PollAnswer {
  enum class Outcome : uint8_t {
    NoPlayer,      // no player runs (or none of the one chosen)
    NotAsked,      // a player runs; the request did not ask what it plays
    NoAnswer,      // the player did not answer in time: it has not stopped
    NothingPlays,  // stopped, paused with Returnonpause, a video ignored
    Plays,
  };
  Outcome outcome = Outcome::NoPlayer;
  uint8_t currentPlayer = 0;
  uintptr_t playerHandle = 0;
  // Plays: the track record after the read, whether it holds a new track,
  // and whether a cover for the track shown arrived late.
  TrackInfo track;
  OptText lastWindowTitle;
  bool isNew = false;
  bool lateCover = false;
  // Plays: the player says it is paused, the media session's application
  // (empty for other players), and the rule of the user's that hides the
  // track (the player switches and the patterns, judged on the worker).
  bool paused = false;
  std::u16string sessionAppId;
  HiddenBy hiddenBy = HiddenBy::Nothing;
  std::u16string hidingPattern;  // Pattern: the line as the user wrote it
};

struct PollRequest {
  uint64_t serial = 0;
  // False in mode 11 while the user shows another X-status: the player is
  // looked for, its track is left alone.
  bool readsTrack = true;
  PluginSettings record;  // the copy the query works on
};

// One poll's query on request.record, which is the calling thread's record
// for the time (ThreadRecordScope). Waits on players only within the tick's
// budget.
PollAnswer RunPollQuery(IPlayerAccess& players, PollRequest& request);

// What makes a poll's answer stale when the host's record no longer has it:
// the options the query worked with and the player-owned state it started
// from. Any change on the host's side meanwhile (a Save, a restore that
// forgot the track, a republish, the plug-in switched off) drops the answer.
struct PollBasis {
  bool pluginOn = false;
  bool manualPlayer = false;
  uint8_t chosenPlayer = 0;  // CurrentPlayer while the choice is manual
  bool returnOnPause = false;
  bool ignoreVideo = false;
  bool oleFoobar = false;
  bool getFromName = false;
  int32_t tagCodePage = 0;
  TrackInfo track;
  OptText lastWindowTitle;

  static PollBasis Of(const PluginSettings& s);
  bool operator==(const PollBasis&) const = default;
};

// Runs a poll's query away from the host's thread. At most one query runs at
// a time; its answer reaches PluginCore::OnPollAnswer on the host's thread.
class IPollWorker {
 public:
  virtual ~IPollWorker() = default;
  // Hands a poll's query over; false while the previous one is still
  // running (polls never overlap).
  virtual bool Submit(PollRequest request) = 0;
  // A query is running: a tick need not copy the record to be refused.
  virtual bool Busy() const { return false; }
};

}  // namespace tunelet
