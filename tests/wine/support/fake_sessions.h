// Test-side support of the simulated system media session manager
// (tools/fake-session, FakeMediaSessions.dll): the script that says what it
// shows, its registration as the system's runtime class in the Wine prefix,
// its command log and its live-object count.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tunelet::testing {

// How one asynchronous operation of the manager completes.
struct FakeOutcome {
  static FakeOutcome Now() { return {"now"}; }
  static FakeOutcome After(uint32_t ms) { return {std::to_string(ms)}; }
  // Stays Started for good, and ignores Cancel.
  static FakeOutcome Hang() { return {"hang"}; }
  // Completes at once with status Error (E_FAIL).
  static FakeOutcome Fail() { return {"fail"}; }
  std::string text = "now";
};

enum class FakeSessionStatus { Closed, Opened, Changing, Stopped, Playing, Paused };
// None: the session gives no playback type at all (a null reference).
enum class FakePlaybackType { Unknown, Music, Video, Image, None };

struct FakeSession {
  std::wstring appId;
  bool current = false;
  FakeSessionStatus status = FakeSessionStatus::Playing;
  std::wstring title, subtitle, artist, albumArtist, album;
  int32_t trackNumber = 0, trackCount = 0;
  std::vector<std::wstring> genres;
  FakePlaybackType type = FakePlaybackType::Music;
  int64_t startTicks = 0, endTicks = 0, positionTicks = 0;  // 100-nanosecond units
  std::wstring thumbnailPath;                               // empty: no thumbnail
  std::optional<uint64_t> thumbnailReportedSize;            // what the stream's Size says instead
  FakeOutcome properties, open, read;  // TryGetMediaPropertiesAsync, OpenReadAsync, ReadAsync
};

// What the manager shows; Text() is the script (tools/fake-session/session_script.h).
struct FakeSessionScript {
  std::wstring logPath;   // FakeSessionManager::Write fills it in
  FakeOutcome request;    // RequestAsync
  // Synchronous calls: a delay blocks the caller, Fail returns E_FAIL, Hang
  // blocks until a script without the hang is written.
  FakeOutcome activation;    // DllGetActivationFactory
  FakeOutcome sessionsCall;  // GetSessions
  std::vector<FakeSession> sessions;

  FakeSessionScript& Add(FakeSession session) {
    sessions.push_back(std::move(session));
    return *this;
  }
  std::string Text() const;
  // Writes the script to path through a temporary file moved over it (no
  // read sees half of it) and points TUNELET_FAKE_SESSIONS of this process at
  // it (processes started later inherit it).
  bool Write(const std::wstring& path) const;
};

// FakeMediaSessions.dll beside the test executable.
std::wstring FakeSessionsDllPath();
// Creates / deletes the class's key under
// HKLM\Software\Microsoft\WindowsRuntime\ActivatableClassId with DllPath
// (REG_SZ), all that Wine's combase reads.
bool RegisterFakeSessionManager(const std::wstring& dllPath);
bool UnregisterFakeSessionManager();
// The manager's objects alive in this process (its DLL loaded here by the
// system's activation); -1 when the DLL is not loaded in this process.
long FakeSessionObjectsAlive();
// Waits until no object of the manager is alive here, at most boundMs.
bool WaitForNoFakeSessionObjects(DWORD boundMs);

// Every line of a log file; none when there is no file.
std::vector<std::string> ReadLogLines(const std::wstring& path);
// Writes bytes to a file (thumbnails).
bool WriteBytesFile(const std::wstring& path, const std::vector<uint8_t>& bytes);

// The manager for one test: a fresh temporary folder for its script and log,
// registered for the DLL beside the test executable; unregistered, the
// variable cleared and the folder removed on destruction.
class FakeSessionManager {
 public:
  FakeSessionManager();
  ~FakeSessionManager();
  FakeSessionManager(const FakeSessionManager&) = delete;
  FakeSessionManager& operator=(const FakeSessionManager&) = delete;

  bool ready() const { return ready_; }
  const std::wstring& folder() const { return folder_; }
  const std::wstring& scriptPath() const { return scriptPath_; }
  const std::wstring& logPath() const { return logPath_; }

  // Writes the script with this manager's log (the manager shows it from its
  // next RequestAsync or GetSessions on).
  bool Write(FakeSessionScript script) const;
  // Every line of the log ("objects 0", "script-error ..." included).
  std::vector<std::string> LogLines() const;
  // Only the commands sessions received: "TryPlayAsync <app id>", ...
  std::vector<std::string> Commands() const;
  void ClearLog() const;

 private:
  std::wstring folder_, scriptPath_, logPath_;
  bool ready_ = false;
};

}  // namespace tunelet::testing
