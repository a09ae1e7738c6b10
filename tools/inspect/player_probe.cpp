#include "player_probe.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <utility>

#include "core/plugin_core.h"
#include "core/settings_store.h"
#include "json_writer.h"
#include "metadata/format.h"
#include "model/settings.h"
#include "platform/platform.h"
#include "platform/wait_budget.h"
#include "players/open_files.h"
#include "players/player_access.h"
#include "players/player_detection.h"
#include "templates/xstatus_policy.h"

namespace tunelet::inspect {

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::u16string Hex(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
  return AsciiToUtf16(buf);
}

std::u16string Decimal(int64_t v) { return AsciiToUtf16(std::to_string(v)); }

std::u16string Quoted(std::u16string_view s) { return u"\"" + std::u16string(s) + u"\""; }

std::u16string AnswerText(const PathAnswer& a) { return a ? (a->empty() ? u"(nothing)" : *a) : u"no answer in time"; }

RouteAnswer KindOf(const PathAnswer& a) {
  if (!a) return RouteAnswer::NoAnswerInTime;
  return a->empty() ? RouteAnswer::NothingPlays : RouteAnswer::Playing;
}

bool IsFoobar2000Row(int id) { return id == kFoobar2000 || id == kFoobar2000Alt1 || id == kFoobar2000Alt2; }

// Where the calls of the moment are written, and the window search results
// of the row being searched.
struct CallLog {
  std::vector<ProbeCall>* sink = nullptr;
  std::function<void(std::string_view cls, uintptr_t window)> onWindowSearch;

  template <typename F, typename Describe>
  auto Timed(std::string kind, std::u16string request, F&& call, Describe&& describe) {
    const auto start = Clock::now();
    auto result = call();
    const double ms = MsSince(start);
    if (sink) sink->push_back({std::move(kind), std::move(request), describe(result), ms});
    return result;
  }
};

class TracingMemory : public IProcessMemory {
 public:
  TracingMemory(std::unique_ptr<IProcessMemory> inner, CallLog& log) : inner_(std::move(inner)), log_(log) {}
  std::optional<std::vector<uint8_t>> Read(uintptr_t address, size_t n) override {
    return log_.Timed(
        "process-memory", Decimal(int64_t(n)) + u" bytes at " + Hex(address), [&] { return inner_->Read(address, n); },
        [](const auto& r) { return r ? std::u16string(u"read") : std::u16string(u"not readable"); });
  }
  PointerWidth ProcessPointerWidth() const override { return inner_->ProcessPointerWidth(); }

 private:
  std::unique_ptr<IProcessMemory> inner_;
  CallLog& log_;
};

// The system as the plug-in uses it, each call timed and written down.
class TracingSystem : public IPlayerSystem {
 public:
  TracingSystem(IPlayerSystem& inner, CallLog& log) : inner_(inner), log_(log) {}

  uintptr_t FindTopWindow(std::string_view windowClass, const char* title) override {
    std::u16string request = Quoted(AsciiToUtf16(windowClass));
    request += title ? u", title " + Quoted(AsciiToUtf16(title)) : u", any title";
    const uintptr_t w = log_.Timed(
        "find-window", request, [&] { return inner_.FindTopWindow(windowClass, title); },
        [](uintptr_t r) { return r ? Hex(r) : std::u16string(u"no window"); });
    if (log_.onWindowSearch) log_.onWindowSearch(windowClass, w);
    return w;
  }
  std::u16string ProcessImageName(uintptr_t window) override {
    return log_.Timed(
        "process-image", Hex(window), [&] { return inner_.ProcessImageName(window); },
        [](const std::u16string& r) { return r.empty() ? std::u16string(u"(not readable)") : r; });
  }
  std::optional<intptr_t> SendBounded(uintptr_t window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    const std::u16string request = Decimal(message) + u" (" + Decimal(int64_t(wParam)) + u", " + Decimal(lParam) +
                                   u") to " + Hex(window);
    return log_.Timed(
        "message", request, [&] { return inner_.SendBounded(window, message, wParam, lParam); },
        [](const std::optional<intptr_t>& r) { return r ? Decimal(*r) : std::u16string(u"no answer in time"); });
  }
  std::u16string WindowTitle(uintptr_t window) override {
    return log_.Timed(
        "window-title", Hex(window), [&] { return inner_.WindowTitle(window); },
        [](const std::u16string& r) { return Quoted(r); });
  }
  std::optional<std::string> WindowTextByMessage(uintptr_t window, size_t bufferBytes) override {
    return log_.Timed(
        "window-text", Hex(window) + u" WM_GETTEXT " + Decimal(int64_t(bufferBytes)) + u" bytes",
        [&] { return inner_.WindowTextByMessage(window, bufferBytes); },
        [this](const std::optional<std::string>& r) {
          return r ? Quoted(inner_.AnsiToWide(*r)) : std::u16string(u"no answer in time");
        });
  }
  std::unique_ptr<IProcessMemory> OpenProcessMemory(uintptr_t window) override {
    auto memory = log_.Timed(
        "open-process", Hex(window), [&] { return inner_.OpenProcessMemory(window); },
        [](const std::unique_ptr<IProcessMemory>& r) { return r ? std::u16string(u"open") : std::u16string(u"refused"); });
    if (!memory) return nullptr;
    return std::make_unique<TracingMemory>(std::move(memory), log_);
  }
  std::optional<std::vector<uint8_t>> ReadSharedMemory(const char* name, size_t n) override {
    return log_.Timed(
        "shared-memory", Quoted(AsciiToUtf16(name)) + u" " + Decimal(int64_t(n)) + u" bytes",
        [&] { return inner_.ReadSharedMemory(name, n); },
        [](const auto& r) { return r ? std::u16string(u"read") : std::u16string(u"no mapping"); });
  }
  std::u16string AnsiToWide(std::string_view bytes) override { return inner_.AnsiToWide(bytes); }

 private:
  IPlayerSystem& inner_;
  CallLog& log_;
};

class TracingAutomation : public IAutomationRoutes {
 public:
  TracingAutomation(IAutomationRoutes& inner, CallLog& log) : inner_(inner), log_(log) {}
  bool Foobar2000AutomationRunning() override {
    return log_.Timed(
        "automation", u"foobar2000: attach to the running object", [&] { return inner_.Foobar2000AutomationRunning(); },
        [](bool r) { return r ? std::u16string(u"attached") : std::u16string(u"not running"); });
  }
  PathAnswer GetFoobar2000Path() override {
    return Path(u"foobar2000: Playback.FormatTitle(%path%)", [&] { return inner_.GetFoobar2000Path(); });
  }
  bool ReadFoobar2000Track() override {
    return log_.Timed(
        "automation", u"foobar2000: the track's fields", [&] { return inner_.ReadFoobar2000Track(); },
        [](bool r) { return r ? std::u16string(u"new track") : std::u16string(u"nothing new"); });
  }
  PathAnswer GetItunesPath() override {
    return Path(u"iTunes: PlayerState, CurrentTrack.Location", [&] { return inner_.GetItunesPath(); });
  }
  int32_t GetItunesInfo(int kind) override {
    return log_.Timed(
        "automation", u"iTunes: CurrentTrack info " + Decimal(kind), [&] { return inner_.GetItunesInfo(kind); },
        [](int32_t r) { return Decimal(r); });
  }
  PathAnswer GetMediaMonkeyCurrentSongPath() override {
    return Path(u"MediaMonkey: Player.CurrentSong.Path", [&] { return inner_.GetMediaMonkeyCurrentSongPath(); });
  }
  // The tool never commands a player.
  void SendFoobar2000Command(int) override {}

 private:
  template <typename F>
  PathAnswer Path(std::u16string request, F&& call) {
    return log_.Timed("automation", std::move(request), call, AnswerText);
  }
  IAutomationRoutes& inner_;
  CallLog& log_;
};

class TracingOpenFiles : public IOpenFileRoutes {
 public:
  TracingOpenFiles(IOpenFileRoutes& inner, CallLog& log) : inner_(inner), log_(log) {}
  PathAnswer FindOpenMediaFile(uintptr_t window) override {
    return log_.Timed(
        "open-files", u"media files the process of " + Hex(window) + u" holds open",
        [&] { return inner_.FindOpenMediaFile(window); }, AnswerText);
  }

 private:
  IOpenFileRoutes& inner_;
  CallLog& log_;
};

std::u16string SessionCount(size_t n) { return Decimal(int64_t(n)) + (n == 1 ? u" session" : u" sessions"); }

class TracingMediaSession : public IMediaSessionRoute {
 public:
  TracingMediaSession(IMediaSessionRoute& inner, CallLog& log) : inner_(inner), log_(log) {}
  std::optional<MediaSessionList> ReadSessions(bool returnOnPause) override {
    return log_.Timed(
        "media-session", returnOnPause ? u"the sessions, a pause counting as nothing playing" : u"the sessions",
        [&] { return inner_.ReadSessions(returnOnPause); },
        [](const std::optional<MediaSessionList>& r) {
          if (!r) return std::u16string(u"no answer in time");
          return r->available ? SessionCount(r->sessions.size()) : std::u16string(u"not available");
        });
  }
  void RequestThumbnail(const std::u16string& appId, uint64_t generation) override {
    inner_.RequestThumbnail(appId, generation);
  }
  std::optional<Thumbnail> TakeThumbnail() override { return inner_.TakeThumbnail(); }
  // The tool never commands a player.
  void SendCommand(const std::u16string&, int) override {}

 private:
  IMediaSessionRoute& inner_;
  CallLog& log_;
};

// The plug-in's player access, with the poll's answers kept for the report.
// Commands are refused: the tool never commands a player.
class RecordingAccess : public PlayerAccess {
 public:
  using PlayerAccess::PlayerAccess;
  std::optional<std::u16string> GetPlayingPath() override {
    lastAnswer = PlayerAccess::GetPlayingPath();
    asked = true;
    return lastAnswer;
  }
  void SendPlayerCommand(int) override {}
  PathAnswer lastAnswer;
  bool asked = false;
};

// A host that only remembers: the messenger's X-status is never touched.
class DryHost : public IHost {
 public:
  explicit DryHost(HostKeptValues kept) : kept_(std::move(kept)) {}
  void SetXStatus(int32_t picture, const OptText& title, const OptText& text) override {
    shown = XStatusShown{picture, title, text};
  }
  XStatusAnswer GetXStatus() override {
    if (!shown) return {musicShown ? kMusicPicture : 0, u"", u""};
    return {shown->picture, std::u16string(View(shown->title)), std::u16string(View(shown->text))};
  }
  bool LoadHostKept(HostKeptValues& out) override {
    out = kept_;
    return true;
  }
  bool StoreHostKept(const HostKeptValues&) override { return false; }
  bool HostKeptAvailable() override { return false; }

  std::optional<XStatusShown> shown;
  // In mode 11 the plug-in publishes only while the user shows "Music":
  // the tool takes it that they do.
  bool musicShown = false;

 private:
  HostKeptValues kept_;
};

// The poll worker, on the calling thread: the query is held until the probe
// runs it, so that the host thread's part and the worker's are timed apart.
class HeldWorker : public IPollWorker {
 public:
  bool Submit(PollRequest request) override {
    held = std::move(request);
    return true;
  }
  std::optional<PollRequest> held;
};

// The core's one-shot timers fire at once: the report shows what the
// X-status becomes after the 900 ms.
class ImmediateTimers : public ICoreTimers {
 public:
  void CreateTimers(uint32_t) override {}
  void Enable(CoreTimer t) override { armed[size_t(t)] = true; }
  void Disable(CoreTimer t) override { armed[size_t(t)] = false; }
  void EnableAfter(CoreTimer t, uint32_t) override { armed[size_t(t)] = true; }
  int64_t NowMs() override { return platform::MonotonicMs(); }
  bool armed[kCoreTimerCount + 1] = {};
};

class ReadOnlyIni : public IIniFile {
 public:
  explicit ReadOnlyIni(std::unique_ptr<PlayerProbe::IniReader> reader) : reader_(std::move(reader)) {}
  std::optional<std::u16string> Read(std::u16string_view section, std::u16string_view key) override {
    return reader_ ? reader_->Read(section, key) : std::nullopt;
  }
  void Write(std::u16string_view, std::u16string_view, std::u16string_view) override {}

 private:
  std::unique_ptr<PlayerProbe::IniReader> reader_;
};

HostKeptValues KeptValuesFor(const ProbeOptions& o) {
  HostKeptValues v;
  v.Initialised = true;  // empty templates take the built-in defaults
  v.PluginOn = true;
  v.ManualPlayer = o.manualPlayer.has_value();
  v.PlayerId = uint32_t(o.manualPlayer.value_or(0));
  v.IgnoreVideo = o.ignoreVideo;
  v.AudioTitleTemplate = v.VideoTitleTemplate = o.titleTemplate.value_or(u"");
  v.AudioTextTemplate = v.VideoTextTemplate = o.textTemplate.value_or(u"");
  return v;
}

// Runs fn as the search of one row: its calls into the row's report, its
// waits under a budget of its own, as if it were the poll's only player.
class RowObserver : public IDetectionObserver {
 public:
  RowObserver(Inspection& r, CallLog& log) : r_(r), log_(log) {}
  void RowStarted(int id) override {
    current_ = id;
    log_.sink = &r_.rows[size_t(id)].searchCalls;
    TickWaitBudget().Begin(platform::TickCount(), kTickWaitBudgetMs);
  }
  void RowMatched(int id, uintptr_t handle) override {
    r_.rows[size_t(id)].handle = handle;
    if (r_.automaticRow < 0) r_.automaticRow = id;
  }
  bool SearchEveryRow() const override { return true; }
  // The window the row's own class search found.
  void WindowSearched(std::string_view cls, uintptr_t window) {
    if (current_ < 0 || !window) return;
    RowReport& row = r_.rows[size_t(current_)];
    if (!row.window && cls == PlayerWindowClass(current_)) row.window = window;
  }

 private:
  Inspection& r_;
  CallLog& log_;
  int current_ = -1;
};

// The privacy rule that hid the track, in the words of the report.
std::u16string HidingRuleText(HiddenBy rule, const std::u16string& pattern, const PluginSettings& s) {
  switch (rule) {
    case HiddenBy::Nothing: return {};
    case HiddenBy::PlayerSwitchedOff: return u"the player is switched off in the privacy choices";
    case HiddenBy::Pattern: return u"the pattern \"" + pattern + u"\"";
    case HiddenBy::SharingPaused: return u"sharing is paused";
    case HiddenBy::PausedTooLong: {
      const std::string minutes = std::to_string(s.Privacy.PausedTooLongMinutes);
      return u"the player has been paused for over " + std::u16string(minutes.begin(), minutes.end()) + u" min";
    }
  }
  return {};
}

}  // namespace

const char16_t* MediaSessionStateText(const MediaSessionReport& m) {
  if (!m.answered) return u"no answer in time";
  return m.list.available ? u"available" : u"not available";
}

const char16_t* SessionStatusText(SessionStatus s) {
  switch (s) {
    case SessionStatus::Closed: return u"closed";
    case SessionStatus::Opened: return u"opened";
    case SessionStatus::Changing: return u"changing";
    case SessionStatus::Stopped: return u"stopped";
    case SessionStatus::Playing: return u"playing";
    case SessionStatus::Paused: return u"paused";
  }
  return u"unknown";
}

const char16_t* RouteAnswerText(RouteAnswer a) {
  switch (a) {
    case RouteAnswer::NotAsked: return u"not asked";
    case RouteAnswer::NoAnswerInTime: return u"no answer in time";
    case RouteAnswer::NothingPlays: return u"nothing plays";
    case RouteAnswer::Playing: return u"playing";
  }
  return u"";
}

std::u16string RouteOf(int id, bool oleFoobar, uintptr_t handle) {
  switch (id) {
    case kWinamp: return u"window messages: Winamp playlist";
    case kFoobar2000: case kFoobar2000Alt1: case kFoobar2000Alt2:
      if (handle == kFoobarAutomationHandle || (id == kFoobar2000 && oleFoobar && !handle))
        return u"automation: foobar2000";
      return u"open files";
    case kAimp2: return u"shared memory: AIMP2";
    case kJetAudio: return u"state message, then open files";
    case kITunes: return u"automation: iTunes";
    case kMediaMonkey: return u"state message, then automation: MediaMonkey";
    case kApollo: return u"window messages: Apollo";
    default: return u"open files";
  }
}

struct PlayerProbe::Impl {
  Impl(PlayerRoutes inner, IProcessProbe& processes, std::unique_ptr<IniReader> iniReader, ProbeOptions o)
      : rawSystem(inner.system),
        processes(processes),
        system(inner.system, log),
        automation(inner.automation, log),
        openFiles(inner.openFiles, log),
        mediaSession(inner.mediaSession, log),
        routes{system, automation, openFiles, mediaSession},
        access(routes),
        ini(std::move(iniReader)),
        host(KeptValuesFor(o)),
        policy(host, ui),
        options(std::move(o)) {
    ResetSettings();
    LoadSettings(ini, language);
    LoadHostKeptOptions(host);
    host.musicShown = Settings().Action == kModeFromMusic;
    CoreEnvironment env;
    env.host = &host;
    env.timers = &timers;
    env.ini = &ini;
    env.subsystems.players = &access;
    env.subsystems.publisher = &policy;
    env.pollWorker = &worker;
    core = std::make_unique<PluginCore>(std::move(env));
  }

  void Poll(Inspection& r);
  void SearchEveryRow(Inspection& r);
  void AskMatchedRoutes(Inspection& r);
  void DescribeRow(RowReport& row);
  void ReadMediaSessions(MediaSessionReport& m);

  IPlayerSystem& rawSystem;
  IProcessProbe& processes;
  CallLog log;
  TracingSystem system;
  TracingAutomation automation;
  TracingOpenFiles openFiles;
  TracingMediaSession mediaSession;
  PlayerRoutes routes;
  RecordingAccess access;
  ReadOnlyIni ini;
  DryHost host;
  ImmediateTimers timers;
  HeldWorker worker;
  IUserInterface ui;
  ILanguage language;
  XStatusPolicy policy;
  ProbeOptions options;
  std::unique_ptr<PluginCore> core;
  // Each row's own open-file lists: the rows' scans must not take each
  // other's files for new ones (the poll keeps the plug-in's lists).
  std::array<OpenFileLists, kPlayerCount> rowOpenFiles;
};

// The plug-in's own poll: FindPlayer, the track query, and what the core
// then publishes or puts back.
void PlayerProbe::Impl::Poll(Inspection& r) {
  PluginSettings& s = Settings();
  r.poll.mode = s.ManualPlayer ? 0 : 1;
  log.sink = &r.poll.calls;
  access.asked = false;
  const auto start = Clock::now();
  core->PollTick();
  r.poll.hostMs = MsSince(start);
  if (std::optional<PollRequest> request = std::exchange(worker.held, std::nullopt)) {
    const auto query = Clock::now();
    PollAnswer answer = RunPollQuery(access, *request);
    r.poll.workerMs = MsSince(query);
    const auto apply = Clock::now();
    core->OnPollAnswer(request->serial, std::move(answer));
    r.poll.hostMs += MsSince(apply);
  }
  r.poll.waitMs = r.poll.hostMs + r.poll.workerMs;
  r.poll.hiddenBy = HidingRuleText(core->LastHiddenBy(), core->LastHidingPattern(), s);
  r.poll.newTrack = timers.armed[size_t(CoreTimer::Apply)];
  if (timers.armed[size_t(CoreTimer::Apply)]) core->OnTimer(CoreTimer::Apply);
  if (timers.armed[size_t(CoreTimer::Restore)]) core->OnTimer(CoreTimer::Restore);
  log.sink = nullptr;
  r.poll.handle = s.PlayerHandle;
  r.poll.player = s.PlayerHandle ? s.CurrentPlayer : -1;
  if (access.asked) {
    r.poll.answer = KindOf(access.lastAnswer);
    r.poll.path = access.lastAnswer.value_or(u"");
  }
  r.track = s.Track;
  for (int kind : {kValueSize, kValueBitrate, kValueSampleRate, kValueDuration})
    r.trackTexts[size_t(kind - 1)] = FormatTrackValue(kind);
  r.xstatus = host.shown;
}

void PlayerProbe::Impl::SearchEveryRow(Inspection& r) {
  RowObserver observer(r, log);
  log.onWindowSearch = [&observer](std::string_view cls, uintptr_t w) { observer.WindowSearched(cls, w); };
  r.automaticHandle = FindPlayer(routes, 1, &observer);
  TickWaitBudget().End();
  log.onWindowSearch = nullptr;
  log.sink = nullptr;
}

void PlayerProbe::Impl::AskMatchedRoutes(Inspection& r) {
  PluginSettings& s = Settings();
  for (RowReport& row : r.rows) {
    if (!row.matched()) continue;
    s.CurrentPlayer = IsFoobar2000Row(row.id) ? PlayerId(kFoobar2000) : PlayerId(row.id);
    s.PlayerHandle = row.handle;
    std::swap(OpenFiles(), rowOpenFiles[size_t(row.id)]);
    log.sink = &row.routeCalls;
    {
      const TickWaitScope waits(kTickWaitBudgetMs);
      const PathAnswer answer = access.PlayerAccess::GetPlayingPath();
      row.answer = KindOf(answer);
      row.path = answer.value_or(u"");
    }
    log.sink = nullptr;
    std::swap(OpenFiles(), rowOpenFiles[size_t(row.id)]);
  }
}

void PlayerProbe::Impl::ReadMediaSessions(MediaSessionReport& m) {
  const bool returnOnPause = Settings().Returnonpause;
  log.sink = &m.calls;
  {
    const TickWaitScope waits(kTickWaitBudgetMs);
    const std::optional<MediaSessionList> list = mediaSession.ReadSessions(returnOnPause);
    m.answered = list.has_value();
    if (list) m.list = *list;
  }
  log.sink = nullptr;
  if (m.list.available) m.shown = ChooseSession(m.list.sessions, returnOnPause);
  for (const ProbeCall& c : m.calls) m.ms += c.ms;
}

void PlayerProbe::Impl::DescribeRow(RowReport& row) {
  const bool oleFoobar = Settings().OLEfoobar;
  row.route = RouteOf(row.id, oleFoobar, row.handle);
  for (const ProbeCall& c : row.searchCalls) row.searchMs += c.ms;
  for (const ProbeCall& c : row.routeCalls) row.routeMs += c.ms;
  const uintptr_t window = row.window ? row.window : (row.handle != kFoobarAutomationHandle ? row.handle : 0);
  if (row.matched())
    row.status = row.handle == kFoobarAutomationHandle ? u"found (automation object)" : u"found";
  else if (window)
    row.status = u"process check failed";
  else if (row.id == kFoobar2000 && oleFoobar)
    row.status = u"no automation object, no window";
  else
    row.status = u"no window";
  if (!window) return;
  // For the report only: the same reads the plug-in makes, never a message.
  row.processId = processes.ProcessId(window);
  row.imageName = rawSystem.ProcessImageName(window);
  if (row.imageName.empty()) row.imageProblem = processes.ImageNameProblem(window);
}

PlayerProbe::PlayerProbe(PlayerRoutes routes, IProcessProbe& processes, std::unique_ptr<IniReader> ini,
                         ProbeOptions options)
    : impl_(std::make_unique<Impl>(routes, processes, std::move(ini), std::move(options))) {}

PlayerProbe::~PlayerProbe() = default;

Inspection PlayerProbe::Inspect() {
  Inspection r;
  for (int id = 0; id < kPlayerCount; ++id) r.rows[size_t(id)].id = id;
  impl_->Poll(r);

  // The rows are looked at on the side: what the core keeps between polls
  // goes back afterwards.
  PluginSettings& s = Settings();
  const uint8_t currentPlayer = s.CurrentPlayer;
  const uintptr_t playerHandle = s.PlayerHandle;
  impl_->SearchEveryRow(r);
  impl_->AskMatchedRoutes(r);
  impl_->ReadMediaSessions(r.mediaSession);
  // The re-check of a manual choice: the chosen player, else the one found.
  s.CurrentPlayer = uint8_t(impl_->options.manualPlayer.value_or(
      r.automaticRow >= 0 ? (IsFoobar2000Row(r.automaticRow) ? kFoobar2000 : r.automaticRow) : currentPlayer));
  r.manualPlayer = s.CurrentPlayer;
  r.manualHandle = FindPlayer(impl_->routes, 0);
  s.CurrentPlayer = currentPlayer;
  s.PlayerHandle = playerHandle;

  for (RowReport& row : r.rows) impl_->DescribeRow(row);
  auto consider = [&r](const std::vector<ProbeCall>& calls, std::u16string_view where) {
    for (const ProbeCall& c : calls)
      if (c.ms > r.worstCallMs) {
        r.worstCallMs = c.ms;
        r.worstCall = std::u16string(where) + u": " + AsciiToUtf16(c.kind) + u" " + c.request;
      }
  };
  consider(r.poll.calls, u"poll");
  for (const RowReport& row : r.rows) {
    const std::u16string where = u"row " + Decimal(row.id) + u" " + std::u16string(PlayerDisplayName(row.id));
    consider(row.searchCalls, where);
    consider(row.routeCalls, where);
  }
  consider(r.mediaSession.calls, PlayerDisplayName(kMediaSession));
  return r;
}

// --- output

namespace {

std::string CallsJson(const std::vector<ProbeCall>& calls) {
  JsonArray a;
  for (const ProbeCall& c : calls)
    a.Add(JsonObject()
              .String("call", AsciiToUtf16(c.kind))
              .String("request", c.request)
              .String("answer", c.answer)
              .Decimal("ms", c.ms));
  return a.str();
}

JsonObject RecordJson(const TrackInfo& t) {
  JsonObject o;
  o.Text("path", t.FilePath)
      .Text("player", t.PlayerName)
      .Text("title", t.Title)
      .Text("artist", t.Artist)
      .Text("album", t.Album)
      .Text("genre", t.Genre)
      .Text("year", t.Year)
      .Text("comment", t.Comment)
      .Text("cover", t.CoverFile)
      .Number("size", t.FileSize)
      .Number("bitrate", t.Bitrate)
      .Number("samplerate", t.SampleRate)
      .Number("duration", t.Duration)
      .Number("track", t.TrackNumber);
  return o;
}

std::u16string PlayerName(int id) { return id >= 0 ? std::u16string(PlayerDisplayName(id)) : u"none"; }

// The timeline's 100-nanosecond units.
constexpr double kTicksPerSecond = 1e7;
double Seconds(int64_t ticks) { return double(ticks) / kTicksPerSecond; }

JsonObject MediaSessionJson(const MediaSessionReport& m) {
  JsonArray sessions;
  for (size_t n = 0; n < m.list.sessions.size(); ++n) {
    const MediaSession& session = m.list.sessions[n];
    sessions.Add(JsonObject()
                     .String("app_id", session.appId)
                     .String("status", SessionStatusText(session.status))
                     .Bool("current", session.current)
                     .Bool("shown", m.shown == n)
                     .Decimal("start_s", Seconds(session.startTicks))
                     .Decimal("end_s", Seconds(session.endTicks))
                     .Decimal("position_s", Seconds(session.positionTicks)));
  }
  JsonObject o;
  o.Number("row", kMediaSession)
      .String("player", PlayerDisplayName(kMediaSession))
      .String("status", MediaSessionStateText(m))
      .Bool("available", m.answered && m.list.available)
      .Raw("sessions", sessions.str())
      .Decimal("ms", m.ms)
      .Raw("calls", CallsJson(m.calls));
  return o;
}

}  // namespace

std::string InspectionJson(const Inspection& i) {
  JsonArray rows;
  for (const RowReport& row : i.rows) {
    JsonObject o;
    o.Number("row", uint64_t(row.id))
        .String("player", PlayerDisplayName(row.id))
        .String("class", AsciiToUtf16(PlayerWindowClass(row.id)));
    if (const char* title = PlayerWindowTitle(row.id))
      o.String("title", AsciiToUtf16(title));
    else
      o.Null("title");
    o.String("status", row.status).String("window", Hex(row.window)).String("handle", Hex(row.handle));
    JsonObject process;
    process.Number("id", row.processId).String("image", row.imageName);
    if (!row.imageProblem.empty()) process.String("problem", row.imageProblem);
    o.Object("process", process)
        .String("route", row.route)
        .String("answer", RouteAnswerText(row.answer))
        .String("path", row.path)
        .Decimal("search_ms", row.searchMs)
        .Decimal("route_ms", row.routeMs)
        .Raw("search", CallsJson(row.searchCalls))
        .Raw("route_calls", CallsJson(row.routeCalls));
    rows.Add(o);
  }
  JsonObject automatic;
  automatic.Raw("row", i.automaticRow >= 0 ? std::to_string(i.automaticRow) : "null")
      .String("player", PlayerName(i.automaticRow))
      .String("handle", Hex(i.automaticHandle));
  JsonObject manual;
  manual.Number("player_id", uint64_t(i.manualPlayer))
      .String("player", PlayerName(i.manualPlayer))
      .String("handle", Hex(i.manualHandle));
  JsonObject poll;
  poll.Number("mode", uint64_t(i.poll.mode))
      .Raw("player_id", i.poll.player >= 0 ? std::to_string(i.poll.player) : "null")
      .String("player", PlayerName(i.poll.player))
      .String("handle", Hex(i.poll.handle))
      .String("answer", RouteAnswerText(i.poll.answer))
      .String("path", i.poll.path)
      .Bool("new_track", i.poll.newTrack)
      .Raw("hidden_by", i.poll.hiddenBy.empty() ? "null" : JsonString(i.poll.hiddenBy))
      .Decimal("wait_ms", i.poll.waitMs)
      .Decimal("host_ms", i.poll.hostMs)
      .Decimal("worker_ms", i.poll.workerMs)
      .Raw("calls", CallsJson(i.poll.calls));
  JsonObject texts;
  texts.String("size", i.trackTexts[0])
      .String("bitrate", i.trackTexts[1])
      .String("khz", i.trackTexts[2])
      .String("time", i.trackTexts[3]);
  JsonObject track = RecordJson(i.track);
  track.Object("text", texts);
  JsonObject doc;
  doc.Raw("rows", rows.str())
      .Object("media_session", MediaSessionJson(i.mediaSession))
      .Object("automatic", automatic)
      .Object("manual", manual)
      .Object("poll", poll)
      .Object("track", track);
  if (i.xstatus) {
    JsonObject x;
    x.Number("picture", uint64_t(uint32_t(i.xstatus->picture))).Text("title", i.xstatus->title).Text("text", i.xstatus->text);
    doc.Object("xstatus", x);
  } else {
    doc.Null("xstatus");
  }
  doc.Decimal("worst_call_ms", i.worstCallMs).String("worst_call", i.worstCall);
  return doc.str();
}

namespace {

std::string Utf8(std::u16string_view s) { return Utf16ToUtf8(s); }

std::string Ms(double ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f ms", ms);
  return buf;
}

std::string Padded(std::string s, size_t width) {
  // Width in characters, not bytes: count the UTF-8 lead bytes.
  size_t chars = 0;
  for (char c : s) chars += (uint8_t(c) & 0xC0) != 0x80;
  if (chars < width) s.append(width - chars, ' ');
  return s;
}

std::string RowAnswer(const RowReport& row) {
  if (row.answer == RouteAnswer::Playing) return Utf8(row.path);
  if (row.answer == RouteAnswer::NotAsked) return "-";
  return Utf8(RouteAnswerText(row.answer));
}

std::string OptTextLine(const OptText& t) { return t ? "\"" + Utf8(*t) + "\"" : "(none)"; }

std::string SecondsText(int64_t ticks) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f s", Seconds(ticks));
  return buf;
}

// The media session's row below the table's, one line per session under it.
std::string MediaSessionText(const MediaSessionReport& m) {
  char id[8];
  std::snprintf(id, sizeof id, "%4d", int(kMediaSession));
  const std::string answer = m.answered && m.list.available ? Utf8(SessionCount(m.list.sessions.size())) : "-";
  std::string out = std::string(id) + "  " + Padded(Utf8(PlayerDisplayName(kMediaSession)), 21) + " " +
                    Padded(Utf8(MediaSessionStateText(m)), 22) + " " + Padded("-", 24) + " " +
                    Padded("media session", 44) + " " + answer + "  [" + Ms(m.ms) + "]\n";
  for (size_t n = 0; n < m.list.sessions.size(); ++n) {
    const MediaSession& s = m.list.sessions[n];
    out += "        session  " + Utf8(s.appId) + "  " + Utf8(SessionStatusText(s.status)) + ", start " +
           SecondsText(s.startTicks) + ", end " + SecondsText(s.endTicks) + ", position " +
           SecondsText(s.positionTicks) + (s.current ? ", current" : "") + (m.shown == n ? " (shown)" : "") + "\n";
  }
  return out;
}

}  // namespace

std::string InspectionText(const Inspection& i) {
  std::string out;
  out += " row  " + Padded("player", 21) + " " + Padded("status", 22) + " " + Padded("process", 24) + " " +
         Padded("route", 44) + " answer  [time on the calling thread]\n";
  for (const RowReport& row : i.rows) {
    char id[8];
    std::snprintf(id, sizeof id, "%4d", row.id);
    std::string process = "-";
    if (row.window || row.processId) {
      process = row.imageName.empty() ? "? (" + Utf8(row.imageProblem) + ")" : Utf8(row.imageName);
      if (row.processId) process += " pid " + std::to_string(row.processId);
    }
    out += std::string(id) + "  " + Padded(Utf8(PlayerDisplayName(row.id)), 21) + " " +
           Padded(Utf8(row.status), 22) + " " + Padded(process, 24) + " " + Padded(Utf8(row.route), 44) + " " +
           RowAnswer(row) + "  [" + Ms(row.searchMs + row.routeMs) + "]\n";
    if (!row.window && !row.matched()) continue;
    for (const auto* calls : {&row.searchCalls, &row.routeCalls})
      for (const ProbeCall& c : *calls)
        out += "        " + Padded(c.kind, 15) + Utf8(c.request) + " -> " + Utf8(c.answer) + "  [" + Ms(c.ms) + "]\n";
  }
  out += MediaSessionText(i.mediaSession);
  out += "\nautomatic detection (FindPlayer 1): " + Utf8(PlayerName(i.automaticRow));
  if (i.automaticRow >= 0) out += " (row " + std::to_string(i.automaticRow) + "), " + Utf8(Hex(i.automaticHandle));
  out += "\nmanual choice of " + Utf8(PlayerName(i.manualPlayer)) + " (FindPlayer 0): " +
         (i.manualHandle ? Utf8(Hex(i.manualHandle)) : std::string("not found"));
  out += "\npoll (mode " + std::to_string(i.poll.mode) + "): " + Utf8(PlayerName(i.poll.player));
  if (i.poll.answer != RouteAnswer::NotAsked)
    out += ", " + (i.poll.answer == RouteAnswer::Playing ? Utf8(i.poll.path) : Utf8(RouteAnswerText(i.poll.answer)));
  if (i.poll.newTrack) out += " (new track)";
  out += "\n";
  if (!i.poll.hiddenBy.empty()) out += "not shared: " + Utf8(i.poll.hiddenBy) + "\n";
  const TrackInfo& t = i.track;
  if (t.FilePath || t.Title) {
    out += "track: " + OptTextLine(t.FilePath) + "\n";
    out += "  title " + OptTextLine(t.Title) + ", artist " + OptTextLine(t.Artist) + ", album " +
           OptTextLine(t.Album) + ", player " + OptTextLine(t.PlayerName) + "\n";
    out += "  size " + std::to_string(t.FileSize) + " (" + Utf8(i.trackTexts[0]) + "), bitrate " +
           std::to_string(t.Bitrate) + ", sample rate " + std::to_string(t.SampleRate) + " (" + Utf8(i.trackTexts[2]) +
           "), duration " + std::to_string(t.Duration) + " (" + Utf8(i.trackTexts[3]) + "), track " +
           std::to_string(t.TrackNumber) + "\n";
  } else {
    out += "track: none\n";
  }
  if (i.xstatus)
    out += "X-status: picture " + std::to_string(i.xstatus->picture) + ", title " + OptTextLine(i.xstatus->title) +
           ", text " + OptTextLine(i.xstatus->text) + "\n";
  else
    out += "X-status: left alone\n";
  out += WaitLine(i) + "\n";
  return out;
}

std::string WaitLine(const Inspection& i) {
  std::string line = "poll waited " + Ms(i.poll.waitMs) + " (host thread " + Ms(i.poll.hostMs) + ", poll worker " +
                     Ms(i.poll.workerMs) + "); longest call " + Ms(i.worstCallMs);
  if (!i.worstCall.empty()) line += " (" + Utf8(i.worstCall) + ")";
  return line;
}

std::vector<std::u16string> InspectionChanges(const Inspection& before, const Inspection& now) {
  std::vector<std::u16string> lines;
  auto rowAnswer = [](const RowReport& row) -> std::u16string {
    return row.answer == RouteAnswer::Playing ? row.path : std::u16string(RouteAnswerText(row.answer));
  };
  if (before.automaticRow != now.automaticRow || before.automaticHandle != now.automaticHandle)
    lines.push_back(u"player: " + PlayerName(before.automaticRow) + u" -> " + PlayerName(now.automaticRow) +
                    (now.automaticRow >= 0 ? u" (row " + Decimal(now.automaticRow) + u", " + Hex(now.automaticHandle) + u")"
                                           : u""));
  for (size_t id = 0; id < now.rows.size(); ++id) {
    const RowReport& a = before.rows[id];
    const RowReport& b = now.rows[id];
    const std::u16string name = u"row " + Decimal(int64_t(id)) + u" " + std::u16string(PlayerDisplayName(int(id)));
    if (a.status != b.status) lines.push_back(name + u": " + a.status + u" -> " + b.status);
    if (a.answer != b.answer || a.path != b.path)
      lines.push_back(name + u": " + rowAnswer(a) + u" -> " + rowAnswer(b));
  }
  auto sessions = [](const MediaSessionReport& m) {
    std::u16string t = MediaSessionStateText(m);
    for (const MediaSession& s : m.list.sessions) t += u", " + s.appId + u" " + SessionStatusText(s.status);
    return t;
  };
  if (sessions(before.mediaSession) != sessions(now.mediaSession))
    lines.push_back(u"media session: " + sessions(before.mediaSession) + u" -> " + sessions(now.mediaSession));
  if (before.xstatus != now.xstatus) {
    if (now.xstatus)
      lines.push_back(u"X-status: picture " + Decimal(now.xstatus->picture) + u", title " +
                      std::u16string(View(now.xstatus->title)) + u", text " + std::u16string(View(now.xstatus->text)));
    else
      lines.push_back(u"X-status: left alone");
  }
  return lines;
}

}  // namespace tunelet::inspect
