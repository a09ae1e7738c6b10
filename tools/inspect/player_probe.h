// "What does Tunelet see?": runs the plug-in's own player detection, routes
// and polling step over the system it is given and records, row by row of
// the player table, every window search, process check and route call with
// its answer and the time it took on the calling thread.
//
// It sends players nothing that a poll of the plug-in would not send (a row's
// route is asked only when that row found its player, exactly as a manual
// choice of that row would ask it), and it changes no setting and no
// X-status: the plug-in's core runs against a host of its own that only
// remembers what it was told.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/player_table.h"
#include "model/track_info.h"
#include "players/media_session.h"
#include "players/player_routes_set.h"

namespace tunelet::inspect {

// One call made on the calling thread, as it went.
struct ProbeCall {
  std::string kind;         // "find-window", "process-image", "message", "window-title", ...
  std::u16string request;   // what was asked
  std::u16string answer;    // what came back
  double ms = 0;            // how long the calling thread waited for it
};

// What a route said about the playing track.
enum class RouteAnswer { NotAsked, NoAnswerInTime, NothingPlays, Playing };
const char16_t* RouteAnswerText(RouteAnswer a);

// The route a row's player is asked through (GetPlayingPath's dispatch).
// foobar2000's rows use automation when they were reached through it.
std::u16string RouteOf(int id, bool oleFoobar, uintptr_t handle);

struct RowReport {
  int id = 0;
  // "found", "no window", "process check failed", "no automation object"
  std::u16string status;
  uintptr_t handle = 0;   // what the row's search returned: a window, or 4 for foobar2000's automation
  uintptr_t window = 0;   // the window the row's own class search found (0: none)
  uint32_t processId = 0;
  std::u16string imageName;     // as the plug-in reads it
  std::u16string imageProblem;  // why it could not be read
  std::u16string route;
  RouteAnswer answer = RouteAnswer::NotAsked;
  std::u16string path;
  std::vector<ProbeCall> searchCalls, routeCalls;
  double searchMs = 0, routeMs = 0;
  bool matched() const { return handle != 0; }
};

// The plug-in's own polling step, run once as the core runs it.
struct PollReport {
  int mode = 1;                  // 1 automatic, 0 the chosen player only
  uintptr_t handle = 0;          // FindPlayer's result
  int player = -1;               // CurrentPlayer after it; -1 when none was found
  RouteAnswer answer = RouteAnswer::NotAsked;
  std::u16string path;
  bool newTrack = false;         // the poll took the track as new (and the plug-in would publish it)
  double waitMs = 0;             // how long the poll held the calling thread (both parts below)
  // The plug-in runs the players' part on its poll worker: the host's thread
  // only hands the query over and applies the answer.
  double hostMs = 0;             // the host thread's part: the tick and the answer applied
  double workerMs = 0;           // the poll worker's part: search, path, track read
  // The user's privacy rule that kept the track from the X-status, said in
  // words ("the pattern \"artist:*podcast*\""); empty when none did.
  std::u16string hiddenBy;
  std::vector<ProbeCall> calls;
};

// The system media session, read once beside the table's rows.
struct MediaSessionReport {
  bool answered = false;       // false: the manager gave no answer in time
  MediaSessionList list;       // what it answered (available: there is a manager)
  std::optional<size_t> shown; // the session the plug-in would show (ChooseSession)
  std::vector<ProbeCall> calls;
  double ms = 0;
};
// "available", "not available" or "no answer in time".
const char16_t* MediaSessionStateText(const MediaSessionReport& m);
// The system's name of a session's playback status ("playing", "paused", ...).
const char16_t* SessionStatusText(SessionStatus s);

// What the X-status would show (the last one the plug-in's core published).
struct XStatusShown {
  int32_t picture = 0;
  OptText title, text;
  bool operator==(const XStatusShown&) const = default;
};

struct Inspection {
  std::array<RowReport, kPlayerCount> rows;
  MediaSessionReport mediaSession;  // after the rows, as player kMediaSession
  int automaticRow = -1;         // the first row that found its player: FindPlayer(1)'s choice
  uintptr_t automaticHandle = 0;
  int manualPlayer = -1;         // the player FindPlayer(0) re-checked
  uintptr_t manualHandle = 0;
  PollReport poll;
  TrackInfo track;               // the record after the poll (ClassifyAndRead or the player's own fields)
  std::array<std::u16string, 4> trackTexts;  // its %size%, %bitrate%, %khz%, %time%
  std::optional<XStatusShown> xstatus;  // nothing when the plug-in would show none of its own
  // The longest single call of the whole inspection.
  double worstCallMs = 0;
  std::u16string worstCall;
};

// The process behind a window, for the report only (never a message).
class IProcessProbe {
 public:
  virtual ~IProcessProbe() = default;
  virtual uint32_t ProcessId(uintptr_t window) { return 0; }
  // Why the process image name of the window could not be read.
  virtual std::u16string ImageNameProblem(uintptr_t window) { return u"the process could not be read"; }
};

struct ProbeOptions {
  // A template on the command line replaces the title or text template of
  // both audio and video (else the plug-in's built-in defaults: the host
  // keeps the user's own, out of the tool's reach).
  std::optional<std::u16string> titleTemplate, textTemplate;
  std::optional<int> manualPlayer;  // poll as a manual choice of this player
  bool ignoreVideo = false;
};

// Inspects the players over the given routes. The settings come from the
// INI file given (read only; absent keys take the plug-in's defaults).
class PlayerProbe {
 public:
  class IniReader;
  PlayerProbe(PlayerRoutes routes, IProcessProbe& processes, std::unique_ptr<IniReader> ini, ProbeOptions options);
  ~PlayerProbe();
  PlayerProbe(const PlayerProbe&) = delete;
  PlayerProbe& operator=(const PlayerProbe&) = delete;

  // One inspection: the poll, every row of the table, the chosen player.
  Inspection Inspect();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The INI keys, read only.
class PlayerProbe::IniReader {
 public:
  virtual ~IniReader() = default;
  virtual std::optional<std::u16string> Read(std::u16string_view section, std::u16string_view key) = 0;
};

// --- output
// One JSON document (compact, one line).
std::string InspectionJson(const Inspection& i);
// The readable table.
std::string InspectionText(const Inspection& i);
// What changed from one inspection to the next, one line each (empty: nothing),
// always followed by the poll's wait and the longest call.
std::vector<std::u16string> InspectionChanges(const Inspection& before, const Inspection& now);
std::string WaitLine(const Inspection& i);

}  // namespace tunelet::inspect
