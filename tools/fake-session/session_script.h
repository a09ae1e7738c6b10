// The state the simulated session manager shows, read from a small text
// script whose path is in the environment variable TUNELET_FAKE_SESSIONS. The
// script is read anew on every RequestAsync and every GetSessions, so a test
// changes what the manager shows by rewriting the file (write a temporary
// file and move it over the old one, so that no read sees half a script).
//
// One directive per line; blanks separate arguments; double quotes group an
// argument with blanks ("" inside quotes is one quote); text is UTF-8; lines
// starting with '#' and empty lines are ignored.
//
//   log <path>                 commands received are appended to this file
//   request <outcome>          how RequestAsync completes
//   activation <outcome>       how DllGetActivationFactory answers (a call
//   sessions-call <outcome>    and how GetSessions does: synchronous calls,
//                              which block for a delay; see below)
//   session <app id>           starts a session; the lines below describe it
//     current                  the session the system calls current
//     status <s>               closed, opened, changing, stopped, playing (default), paused
//     title <text>             also: subtitle, artist, album-artist, album
//     track <n>                the track number; track-count <n> the album's tracks
//     genres <text>...         every argument is one genre (default: none)
//     type <t>                 music (default), video, image, unknown, or none
//                              (no playback type reference at all)
//     timeline <start> <end> <position>   in 100-nanosecond units
//     thumbnail <path> [<size>]  the thumbnail's bytes, read when it is opened;
//                              size: what the stream reports instead of the length
//     properties <outcome>     how TryGetMediaPropertiesAsync completes
//     open <outcome>           how the thumbnail's OpenReadAsync completes
//     read <outcome>           how the thumbnail stream's ReadAsync completes
//
// An outcome is "now" (complete at once, the default), a delay in
// milliseconds (the operation stays Started until then), "hang" (it stays
// Started for good and ignores Cancel) or "fail" (it completes at once with
// status Error and E_FAIL). A synchronous call blocks its caller for a
// delay, fails with E_FAIL, and for "hang" blocks until a rewritten script
// no longer says "hang" for it (then answers with that script's state).
//
// A line that cannot be read is skipped and reported in the log as
// "script-error <line> <reason>". The log also gets one line per command a
// session receives, "<method> <app id>" (e.g. "TryPlayAsync Spotify.exe"), and
// "objects 0" each time the last object of the manager is released.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fakesession {

// Caps on what a script may ask for (it is test input, but stays bounded).
constexpr size_t kMaxScriptBytes = 1024 * 1024;
constexpr size_t kMaxLineBytes = 4096;
constexpr size_t kMaxSessions = 100;
constexpr size_t kMaxGenres = 50;
constexpr uint32_t kMaxDelayMs = 600000;

struct Outcome {
  enum class Kind { Now, Delay, Hang, Fail };
  Kind kind = Kind::Now;
  uint32_t delayMs = 0;
};

// Numbered as the system numbers them; None stands for "no reference".
enum class SessionStatus : int32_t { Closed = 0, Opened = 1, Changing = 2, Stopped = 3, Playing = 4, Paused = 5 };
enum class PlaybackKind : int32_t { Unknown = 0, Music = 1, Video = 2, Image = 3, None = -1 };

struct SessionState {
  std::wstring appId;
  bool current = false;
  SessionStatus status = SessionStatus::Playing;
  std::wstring title, subtitle, artist, albumArtist, album;
  int32_t trackNumber = 0, trackCount = 0;
  std::vector<std::wstring> genres;
  PlaybackKind type = PlaybackKind::Music;
  int64_t startTicks = 0, endTicks = 0, positionTicks = 0;
  std::wstring thumbnailPath;  // empty: no thumbnail
  std::optional<uint64_t> thumbnailReportedSize;
  Outcome properties, open, read;
};

struct ScriptState {
  std::wstring logPath;
  Outcome request, activation, sessionsCall;
  std::vector<SessionState> sessions;
  std::vector<std::string> errors;  // "<line> <reason>"
};

// Reads a script's text (UTF-8).
ScriptState ParseScript(std::string_view text);

// Reads the script named by TUNELET_FAKE_SESSIONS; an unset variable or a
// missing file is a manager with no sessions. Errors go to the log.
ScriptState LoadScript();

// Blocks the calling thread as the script's outcome for a synchronous call
// says; false when the call is to fail. A hang ends when a rewritten script
// no longer says "hang" for the call.
bool BlockAsScripted(Outcome ScriptState::*call, const ScriptState& state);

// Appends one line to the log file (no-op without one).
void AppendLog(const std::wstring& logPath, std::string_view line);

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

}  // namespace fakesession
