// soak: a day of listening in a minute. Loads the real Tunelet.dll into the
// simulated host and drives its poll, publish and restore timers as fast as
// they are handled (each delivered as the WM_TIMER the timer itself would
// post), while simulated players of every route kind start, play tagged
// files with covers, change tracks, pause, hang, quit (now and then while
// they hang, as a user ends a player that does not respond) and come back in
// an order fixed by the seed. Prints the process's counts every --every cycles;
// fails when a count ends above where it began, a cover file is left behind
// or the user's own X-status is not back.
//
//   soak [--cycles N] [--seed S] [--every K] [--route 0..3] [--trace 1]
// (--route: the main lap starts only the player of one route: 0 window
// messages, 1 shared memory, 2 automation, 3 open files.)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "counts.h"
#include "fake_player_client.h"
#include "media.h"
#include "sim_host.h"

namespace {

using talkeo_sim::SimHost;
using talkeo_sim::XStatus;
using tunelet::testing::FakePlayer;

// The plug-in's timer window and its timer ids (poll, publish, restore).
constexpr wchar_t kTimerWindowClass[] = L"TTlkPluginTimers";
constexpr UINT_PTR kPollTimer = 1, kApplyTimer = 2, kRestoreTimer = 3;
// The plug-in's poll worker posts each poll's answer to the timer window.
constexpr UINT kPollAnsweredMessage = WM_APP + 1;
// Longer than the longest bounded wait of a poll on a hung player.
constexpr DWORD kPollAnswerWaitMs = 2500;
// The control window's QuickInfo and close buttons (client coordinates).
constexpr POINT kInfoButton{119, 11}, kCloseButton{146, 11};
// A spot of the QuickInfo card off its file name and cover.
constexpr POINT kQuickInfoBlank{6, 6};
constexpr int kTrackCount = 8;
// Popups live 2 s; the end waits for the last ones to close.
constexpr uint32_t kPopupSettleMs = 2600;
constexpr long kWarmUpCycles = 200;

// What the system may keep for itself between the start and the end (COM's
// and the loader's caches, a heap that does not shrink): a leak of one
// object per track goes past these within a few hundred cycles.
// Handles: the system's RPC layer keeps an event and a thread handle for good
// after its first calls.
constexpr long kHandleAllowance = 4;
// Wine's COM keeps up to 4 handles (an event and two mutexes, or events and
// files) of every automation server that ends while a call of the plug-in is
// still in it (docs/wine-notes.md; shown without the plug-in by
// com_hang_probe). The soak ends a hung player now and then, as a user ends
// a player that does not respond, and a player that hung may quit before
// the plug-in's call given up there has ended. Such a call shows: between
// calls the plug-in holds no handle for an automation player, so the process
// then holds more than at the player's start (the client's handle of the
// player process apart).
constexpr long kHandlesLeftPerServerEndedUnderCall = 4;
constexpr DWORD kHandlesOfAPlayerSession = 1;
// Per mille of the cycles a player hangs in: it is ended there and then.
constexpr int kEndHungPlayerPerMille = 150;
constexpr long kWindowAllowance = 0;
constexpr long kGdiAllowance = 8;
constexpr long kDcAllowance = 16;
constexpr long kThreadAllowance = 1;
constexpr double kPrivateAllowanceMb = 2.0;

const XStatus kUsersOwn{5, L"Пью пиво", L"с друзьями"};

std::string Utf8(const std::wstring& w) { return talkeo_sim::ToUtf8(w); }
std::string Quoted(const std::wstring& w) {
  std::string q(1, '"');
  q += Utf8(w);
  q += '"';
  return q;
}

std::wstring FolderOfThisExe() {
  wchar_t self[MAX_PATH * 2] = {};
  ::GetModuleFileNameW(nullptr, self, DWORD(std::size(self)));
  std::wstring p = self;
  return p.substr(0, p.find_last_of(L"\\/") + 1);
}

struct Options {
  long cycles = 10000;
  unsigned seed = 19;
  long every = 500;
  int onlyRoute = -1;  // --route 0..3: the main lap starts only that player
  bool trace = false;  // --trace 1: a line for each player start, hang and quit
};

bool ParseOptions(int argc, wchar_t** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    if (i + 1 >= argc) return false;
    const long v = wcstol(argv[++i], nullptr, 10);
    if (a == L"--cycles" && v > 0) o.cycles = v;
    else if (a == L"--seed" && v >= 0) o.seed = unsigned(v);
    else if (a == L"--every" && v > 0) o.every = v;
    else if (a == L"--route" && v >= 0 && v < 4) o.onlyRoute = int(v);
    else if (a == L"--trace") o.trace = v != 0;
    else return false;
  }
  return true;
}

// The four route kinds, one player each.
enum class Route { WindowMessages, SharedMemory, Automation, OpenFiles };
const char* RouteName(Route r) {
  switch (r) {
    case Route::WindowMessages: return "Winamp (window messages, its memory)";
    case Route::SharedMemory: return "AIMP2 (shared memory)";
    case Route::Automation: return "iTunes (automation)";
    case Route::OpenFiles: return "Media Player Classic (open files)";
  }
  return "?";
}

// One simulated player and what it does now.
class PlayerSession {
 public:
  PlayerSession(Route route, const std::vector<soak::MediaTrack>& tracks, int first)
      : route_(route), tracks_(tracks), player_(ImageName(route)) {
    if (!player_.ready()) return;
    ok_ = player_.Run(StartScript()) != FakePlayer::kFailed && Play(first);
  }
  ~PlayerSession() {
    if (endedHung_) return;  // the client ends the process, hung as it is
    Unhang();
    if (route_ == Route::Automation) player_.Run("automation-stop itunes");
  }  // the client quits the player
  Route route() const { return route_; }
  // The player is to be ended while it hangs (it quits at once).
  void EndWhileHung() { endedHung_ = true; }
  bool ok() const { return ok_; }
  bool hanging() const { return hangCycles_ > 0; }

  bool Play(int index) {
    track_ = index % int(tracks_.size());
    paused_ = false;
    const soak::MediaTrack& t = tracks_[size_t(track_)];
    switch (route_) {
      case Route::WindowMessages:
        return Run("playlist " + std::to_string(track_) + " " + Quoted(t.path) + "\nanswer main 1024 0 125 " +
                   std::to_string(track_) + "\nanswer main 1024 0 104 1");
      case Route::SharedMemory:
        return Run("aimp2-map " + Quoted(t.artist) + " " + Quoted(t.album) + " " + Quoted(t.title) + " " +
                   Quoted(t.path) + "\nanswer remote 1141 1 4 1");
      case Route::Automation:
        return Run("automation-text itunes CurrentTrack.Location " + Quoted(t.path) +
                   "\nautomation-int itunes PlayerState 1");
      case Route::OpenFiles:
        player_.Run("close-file track");
        return Run("open-file track " + Quoted(t.path));
    }
    return false;
  }
  bool Next() { return Play(track_ + 1); }
  // Pause, or play on after a pause. Returnonpause is on, so a pause ends
  // playback for the plug-in.
  bool TogglePause() {
    if (paused_) return Play(track_);
    paused_ = true;
    switch (route_) {
      case Route::WindowMessages: return Run("answer main 1024 0 104 3");
      case Route::SharedMemory: return Run("answer remote 1141 1 4 2");
      case Route::Automation: return Run("automation-int itunes PlayerState 0");
      case Route::OpenFiles: return Run("close-file track");
    }
    return false;
  }
  // Stops answering for a few cycles (each poll then waits its bound).
  bool Hang(int cycles) {
    hangCycles_ = cycles;
    return Run(route_ == Route::Automation ? "automation-hang" : "hang");
  }
  // Counts a cycle of a hang down; answers again when it is over.
  void CycleDone() {
    if (hangCycles_ > 0 && --hangCycles_ == 0) Unhang(true);
  }

 private:
  static std::wstring ImageName(Route r) {
    switch (r) {
      case Route::WindowMessages: return L"WINAMP.EXE";
      case Route::SharedMemory: return L"AIMP2.EXE";
      case Route::Automation: return L"iTunes.exe";
      case Route::OpenFiles: return L"mpc-hc.exe";
    }
    return L"player.exe";
  }
  std::string StartScript() const {
    switch (route_) {
      case Route::WindowMessages: return "window main \"Winamp v1.x\" \"Winamp\"";
      case Route::SharedMemory:
        return "window winamp \"Winamp v1.x\" \"AIMP2\"\nwindow remote AIMP2_RemoteInfo AIMP2_RemoteInfo";
      case Route::Automation: return "window main iTunes iTunes\nautomation-serve itunes";
      case Route::OpenFiles: return "window main MediaPlayerClassicW \"Media Player Classic\"";
    }
    return "ping";
  }
  bool Run(const std::string& lines) { return player_.Run(lines) != FakePlayer::kFailed; }
  void Unhang(bool wasHanging = false) {
    if (!wasHanging && hangCycles_ == 0) return;
    hangCycles_ = 0;
    player_.Run(route_ == Route::Automation ? "automation-unhang" : "unhang\nsync");
  }

  Route route_;
  const std::vector<soak::MediaTrack>& tracks_;
  FakePlayer player_;
  bool ok_ = false, paused_ = false, endedHung_ = false;
  int track_ = 0, hangCycles_ = 0;
};

HWND WindowOfThisProcess(HWND parent, const wchar_t* cls) {
  for (HWND w = nullptr; (w = ::FindWindowExW(parent, w, cls, nullptr)) != nullptr;) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    if (pid == ::GetCurrentProcessId()) return w;
  }
  return nullptr;
}

// The window manager keeps the DCs of painted windows cached after the
// windows go, as many as were ever in use at one time, each with its
// regions. Holding that many once, before anything is measured, keeps the
// cache's growth out of the counts: popups pile up to about a dozen.
void FillDcCache() {
  constexpr int kWindows = 48;
  HWND windows[kWindows] = {};
  HDC dcs[kWindows] = {};
  for (int i = 0; i < kWindows; ++i) {
    windows[i] = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"STATIC", L"", WS_POPUP,
                                   8 * i, 8 * i, 40, 40, nullptr, nullptr, nullptr, nullptr);
    if (windows[i]) dcs[i] = ::GetDC(windows[i]);
  }
  for (int i = 0; i < kWindows; ++i) {
    if (dcs[i]) ::ReleaseDC(windows[i], dcs[i]);
    if (windows[i]) ::DestroyWindow(windows[i]);
  }
}

void Click(HWND w, POINT at, bool right = false) {
  const LPARAM lp = MAKELPARAM(at.x, at.y);
  ::SendMessageW(w, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, lp);
  ::SendMessageW(w, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, lp);
}

class Soak {
 public:
  explicit Soak(const Options& o) : opt_(o), rng_(o.seed) {}

  int Run() {
    if (!Prepare()) return 2;
    coversBefore_ = soak::CoverFilesInTempFolder();
    FillDcCache();
    threadsBeforeLoading_ = soak::Measure().threads;
    // A first, shorter lap fills what the system keeps once for good (the
    // window manager's DC cache, cursors, fonts, COM's apartments); the
    // counts after it are what the main lap must come back to.
    std::printf("warm-up lap: %ld cycles, every route once\n", kWarmUpCycles);
    warmingUp_ = true;
    if (const int failed = Lap(kWarmUpCycles, false)) return failed;
    warmingUp_ = false;
    session_.reset();
    if (!StopPlugin()) return Fail("the user's own X-status is not back after the warm-up lap");
    reference_ = SettledCounts();
    referenceHandles_ = soak::HandleSnapshot();
    Print("after warm-up, plug-in unloaded", 0, reference_);
    std::printf("main lap: %ld cycles\n", opt_.cycles);
    return Lap(opt_.cycles, true);
  }

  ~Soak() {
    session_.reset();
    if (host_) host_->Unload();
    std::error_code ec;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
  }

 private:
  int Fail(const std::string& why) {
    std::printf("soak: %s\n[  FAILED  ] soak\n", why.c_str());
    return 1;
  }

  // Loads and starts the plug-in, runs the cycles; the main lap also stops
  // it and judges the counts.
  int Lap(long cycles, bool judged) {
    if (!StartPlugin()) return 2;
    host_->Pump(0);
    const soak::Counts start = soak::Measure();
    if (judged) Print("start", 0, start);
    const auto t0 = std::chrono::steady_clock::now();
    for (long cycle = 1; cycle <= cycles; ++cycle) {
      if (!Act()) {
        // A player that did not start or take its commands under a loaded
        // machine is let go; the plug-in sees it quit.
        std::printf("soak: a simulated player did not take its commands at cycle %ld; it is let go\n", cycle);
        EndPlayer();
        ++playerFailures_;
      }
      if (!DeliverCycle()) {
        std::printf("[  FAILED  ] soak: the plug-in's timer window is gone at cycle %ld\n", cycle);
        return 1;
      }
      if (session_) session_->CycleDone();
      if (judged && cycle % opt_.every == 0) Print("cycle", cycle, soak::Measure());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return judged ? Finish(start, seconds) : 0;
  }

  bool Prepare() {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"tunelet-soak-" + std::to_wstring(::GetCurrentProcessId());
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    dll_ = folder_ + L"\\Tunelet.dll";
    if (!::CopyFileW((FolderOfThisExe() + L"Tunelet.dll").c_str(), dll_.c_str(), FALSE)) {
      std::printf("soak: no Tunelet.dll beside the program\n");
      return false;
    }
    const std::wstring ini = folder_ + L"\\Tunelet.ini";
    const struct {
      const wchar_t *section, *key, *value;
    } keys[] = {
        {L"Others", L"Firstrun", L"0"},   {L"Others", L"temp", L"1"},        {L"Main", L"Updateonstartup", L"0"},
        {L"Main", L"Refreshinterval", L"10000"}, {L"Popup", L"Delay", L"2"}, {L"Others", L"Show_tlc", L"1"},
        {L"Others", L"Hide_tlc", L"0"},   {L"Others", L"Returnonpause", L"1"},
    };
    for (const auto& k : keys) ::WritePrivateProfileStringW(k.section, k.key, k.value, ini.c_str());
    tracks_ = soak::WriteTracks(folder_, kTrackCount);
    return true;
  }

  bool StartPlugin() {
    host_.emplace();
    host_->SetStoreFile(folder_ + L"\\talkeo-sim.store");
    std::string error;
    if (!host_->Load(dll_, &error)) {
      std::printf("soak: %s\n", error.c_str());
      return false;
    }
    host_->Record().Initialised = 1;
    host_->Record().PluginOn = 1;
    host_->Record().PopupsOn = 1;
    host_->UserSetsXStatus(kUsersOwn.picture, kUsersOwn.title, kUsersOwn.text);
    return host_->Start();
  }

  // With the players gone: polls until the plug-in has put the user's
  // X-status back, lets the popups close by their own timers, then the
  // host stops, releases and unloads the plug-in. True when the user's own
  // X-status was shown before the stop and still is after it.
  bool StopPlugin() {
    for (int i = 0; i < 3; ++i) DeliverCycle();
    host_->Pump(kPopupSettleMs);
    const bool before = host_->Shown() == kUsersOwn;
    host_->Shutdown();
    host_->Release();
    host_->Unload();
    host_->Pump(0);
    libraryStillMapped_ = ::GetModuleHandleW(dll_.c_str()) != nullptr;
    shownAtEnd_ = host_->Shown();
    recordHoldsSaved_ = host_->Record().SavedXStatusValid != 0;
    host_.reset();
    return before && shownAtEnd_ == kUsersOwn;
  }

  // One poll, its answer from the poll worker, and the one-shot timers after
  // it. A publish or restore that was not armed is ignored by the plug-in, as
  // a tick queued before a disarm is.
  bool DeliverCycle() {
    const HWND timers = WindowOfThisProcess(HWND_MESSAGE, kTimerWindowClass);
    if (!timers) return false;
    ::SendMessageW(timers, WM_TIMER, kPollTimer, 0);
    WaitForPollAnswer(timers);
    for (UINT_PTR id : {kApplyTimer, kRestoreTimer}) ::SendMessageW(timers, WM_TIMER, id, 0);
    host_->Pump(0);
    return true;
  }

  // Pumps until the worker's answer is handled (or the wait's bound ends: a
  // poll refused while the previous one still runs posts nothing new).
  void WaitForPollAnswer(HWND timers) {
    const ULONGLONG until = ::GetTickCount64() + kPollAnswerWaitMs;
    MSG m;
    while (!::PeekMessageW(&m, timers, kPollAnsweredMessage, kPollAnsweredMessage, PM_NOREMOVE)) {
      if (::GetTickCount64() >= until) return;
      host_->Pump(0);
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_POSTMESSAGE);
    }
    host_->Pump(0);
  }

  // With --trace, a line per event of the main lap with the handle count.
  void Trace(const char* what) {
    if (!opt_.trace || warmingUp_) return;
    std::printf("  %s (%s)\n", what, soak::Describe(soak::Measure()).substr(0, 12).c_str());
  }

  int Roll(int n) { return int(rng_() % unsigned(n)); }

  // What the user and the players do before the next poll.
  bool Act() {
    const int r = Roll(1000);
    if (!session_) {
      if (r < (warmingUp_ ? 300 : 80)) return StartPlayer();
      if (r < 130) ToggleControlWindow();
      return true;
    }
    if (session_->hanging()) {
      if (r < kEndHungPlayerPerMille) EndHungPlayer();
      return true;
    }
    if (r < 90) return session_->Next();
    if (r < 130) return session_->TogglePause();
    if (r < 138) {
      Trace("hang");
      return session_->Hang(1 + Roll(2));
    }
    if (r < (warmingUp_ ? 188 : 163)) {
      Trace("quit");
      EndPlayer();  // it quits
      return true;
    }
    if (r < 193) ClickQuickInfo();
    return true;
  }

  void EndHungPlayer() {
    Trace("ended while hung");
    if (!warmingUp_) ++endedHung_;
    session_->EndWhileHung();
    EndPlayer();
  }

  // Ends the player; counts an automation player that ends with a call of
  // the plug-in still in it.
  void EndPlayer() {
    if (!session_) return;
    if (!warmingUp_ && session_->route() == Route::Automation &&
        soak::HandleCount() > handlesAtPlayerStart_ + kHandlesOfAPlayerSession)
      ++automationEndedUnderCall_;
    session_.reset();
  }

  bool StartPlayer() {
    // The warm-up takes the routes in turn, so that each has run once.
    const int any = Roll(4);
    const Route route = warmingUp_ ? Route(warmUpRoute_++ % 4) : Route(opt_.onlyRoute >= 0 ? opt_.onlyRoute : any);
    Trace(RouteName(route));
    handlesAtPlayerStart_ = soak::HandleCount();
    session_.emplace(route, tracks_, Roll(kTrackCount));
    ++playerStarts_;
    if (!session_->ok()) std::printf("soak: %s did not start\n", RouteName(route));
    return session_->ok();
  }

  // Opened by the control window's QuickInfo button; closed by a right click
  // on the card.
  void ClickQuickInfo() {
    if (HWND info = WindowOfThisProcess(nullptr, L"Tinfoform")) {
      Click(info, kQuickInfoBlank, true);
    } else if (HWND control = WindowOfThisProcess(nullptr, L"Ttlctrlf")) {
      Click(control, kInfoButton);
      ++quickInfoOpened_;
    }
  }

  // Closed by its close button; shown again by the host switching the
  // plug-in off and on (done while no player runs, so nothing is lost).
  void ToggleControlWindow() {
    if (HWND control = WindowOfThisProcess(nullptr, L"Ttlctrlf")) {
      Click(control, kCloseButton);
    } else {
      host_->Disable();
      host_->Record().PluginOn = 1;
      host_->Enable();
      ++controlReopened_;
    }
  }

  // Threads that were ending when the plug-in went (a call that waited on a
  // hung player, COM's own) get a bounded moment to end, down to the number
  // before the plug-in was first loaded, before the counts are taken; the
  // time they took is printed.
  soak::Counts SettledCounts() {
    constexpr int kSettleSliceMs = 100, kSettleBoundMs = 10000;
    soak::Counts c = soak::Measure();
    int waited = 0;
    for (; waited < kSettleBoundMs && c.threads > threadsBeforeLoading_; waited += kSettleSliceMs) {
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
      ::Sleep(kSettleSliceMs);
      c = soak::Measure();
    }
    std::printf("settled after %d ms; handles by type: %s\n", waited, soak::DescribeHandleTypes().c_str());
    if (c.threads > threadsBeforeLoading_)
      std::printf("threads still running, by the module they started in: %s\n", soak::DescribeOtherThreads().c_str());
    return c;
  }

  void Print(const char* what, long cycle, const soak::Counts& c) {
    std::printf("%-6s %6ld | %s | %s\n", what, cycle, soak::Describe(c).c_str(),
                host_ ? talkeo_sim::DescribeXStatus(host_->Shown()).c_str() : "plug-in unloaded");
    std::fflush(stdout);
  }

  int Finish(const soak::Counts& start, double seconds) {
    EndPlayer();
    const bool userStatusBack = StopPlugin();
    const soak::Counts end = SettledCounts();
    Print("end", opt_.cycles, end);
    std::printf("handles held beyond those after the warm-up:\n%s",
                soak::DescribeAddedHandles(referenceHandles_, soak::HandleSnapshot()).c_str());
    std::printf("%ld cycles in %.1f s (%.2f ms a cycle); %d player starts, %d players ended while hung, QuickInfo "
                "opened %d times, control window shown again %d times; seed %u\n",
                opt_.cycles, seconds, 1000.0 * seconds / double(opt_.cycles), playerStarts_, endedHung_,
                quickInfoOpened_, controlReopened_, opt_.seed);

    const long handleAllowance = kHandleAllowance + kHandlesLeftPerServerEndedUnderCall * automationEndedUnderCall_;
    std::printf("handle allowance %ld: %ld for the system, %ld for each of the %d automation players that ended with "
                "a call of the plug-in in them\n",
                handleAllowance, kHandleAllowance, kHandlesLeftPerServerEndedUnderCall, automationEndedUnderCall_);
    std::vector<std::string> faults;
    // Against the counts before the first cycle (plug-in loaded), and
    // against those after the warm-up lap (plug-in unloaded, the system's
    // caches filled): the tighter of the two is what a leak shows in.
    auto over = [&](const char* name, long before, long after, long allowance) {
      if (after > before + allowance)
        faults.push_back(std::string(name) + " " + std::to_string(before) + " -> " + std::to_string(after) +
                         " (allowance " + std::to_string(allowance) + ")");
    };
    over("handles (after warm-up)", long(reference_.handles), long(end.handles), handleAllowance);
    over("GDI objects but DCs (after warm-up)", long(reference_.gdiTableObjects), long(end.gdiTableObjects),
         kGdiAllowance);
    over("GDI DCs (after warm-up)", long(reference_.gdiTableDcs), long(end.gdiTableDcs), kDcAllowance);
    over("windows (after warm-up)", reference_.windows, end.windows, kWindowAllowance);
    over("threads (after warm-up)", reference_.threads, end.threads, kThreadAllowance);
    const double privateSinceWarmUpMb = double(end.privateBytes) / (1024.0 * 1024.0) -
                                        double(reference_.privateBytes) / (1024.0 * 1024.0);
    if (privateSinceWarmUpMb > kPrivateAllowanceMb)
      faults.push_back("private bytes grew by " + std::to_string(privateSinceWarmUpMb) + " MB since the warm-up");
    over("handles", long(start.handles), long(end.handles), handleAllowance);
    over("GDI objects", long(start.gdiObjects), long(end.gdiObjects), kGdiAllowance);
    over("GDI objects but DCs", long(start.gdiTableObjects), long(end.gdiTableObjects), kGdiAllowance);
    over("GDI DCs", long(start.gdiTableDcs), long(end.gdiTableDcs), kDcAllowance);
    over("USER objects", long(start.userObjects), long(end.userObjects), kGdiAllowance);
    over("windows", start.windows, end.windows, kWindowAllowance);
    over("threads", start.threads, end.threads, kThreadAllowance);
    const double privateMb = double(end.privateBytes) / (1024.0 * 1024.0) -
                             double(start.privateBytes) / (1024.0 * 1024.0);
    if (privateMb > kPrivateAllowanceMb)
      faults.push_back("private bytes grew by " + std::to_string(privateMb) + " MB");
    int coversLeft = 0;
    for (const std::wstring& f : soak::CoverFilesInTempFolder())
      if (!coversBefore_.count(f)) ++coversLeft;
    if (coversLeft) faults.push_back(std::to_string(coversLeft) + " cover files left in the temporary folder");
    if (!userStatusBack)
      faults.push_back("the host shows " + talkeo_sim::DescribeXStatus(shownAtEnd_) +
                       " instead of the user's own X-status");
    // A few players lost to the machine's load are no fault of the plug-in;
    // many would leave too little of the road driven.
    if (playerFailures_ * 10 > playerStarts_)
      faults.push_back(std::to_string(playerFailures_) + " of " + std::to_string(playerStarts_) +
                       " simulated players failed");
    if (libraryStillMapped_) faults.push_back("Tunelet.dll is still mapped after the host unloaded it");
    if (recordHoldsSaved_)
      faults.push_back("the host-kept record still holds a saved X-status of the plug-in");

    if (start.gdiObjects == 0 && end.gdiObjects == 0)
      std::printf("note: GetGuiResources reports 0 GDI and USER objects here (Wine); the GDI figure that "
                  "counts is the process's GDI handle table, the USER one the process's windows\n");
    for (const std::string& f : faults) std::printf("soak: %s\n", f.c_str());
    if (!faults.empty()) {
      std::printf("[  FAILED  ] soak\n");
      return 1;
    }
    std::printf("[  PASSED  ] soak: every count back within its allowance, no cover file left, the user's "
                "own X-status shown and saved\n");
    return 0;
  }

  Options opt_;
  std::mt19937 rng_;
  std::wstring folder_, dll_;
  std::vector<soak::MediaTrack> tracks_;
  std::set<std::wstring> coversBefore_;
  std::optional<SimHost> host_;  // one per lap
  std::optional<PlayerSession> session_;  // after host_: quits first
  soak::Counts reference_;
  std::multiset<std::string> referenceHandles_;
  XStatus shownAtEnd_;
  bool recordHoldsSaved_ = false, libraryStillMapped_ = false;
  bool warmingUp_ = false;
  int warmUpRoute_ = 0;
  int threadsBeforeLoading_ = 1;
  int playerStarts_ = 0, quickInfoOpened_ = 0, controlReopened_ = 0, playerFailures_ = 0;
  int endedHung_ = 0, automationEndedUnderCall_ = 0;
  DWORD handlesAtPlayerStart_ = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options o;
  if (!ParseOptions(argc, argv, o)) {
    std::printf("usage: soak [--cycles N] [--seed S] [--every K] [--route 0..3]\n");
    return 2;
  }
  std::printf("soak: %ld cycles, seed %u, counts every %ld cycles\n", o.cycles, o.seed, o.every);
  Soak soak(o);
  return soak.Run();
}
