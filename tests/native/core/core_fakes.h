// In-memory stand-ins for the host, the INI file, the timers and the player
// side, recording what the core does so tests can assert exact sequences.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "model/host.h"
#include "core/ini_store.h"
#include "core/plugin_core.h"
#include "model/subsystems.h"

namespace tunelet::testing {

struct SentMessage {
  int32_t msg;
  int32_t picture;
  OptText title, text;
};

class FakeHost : public IHost {
 public:
  // What the host shows; GET answers from it, SET changes it.
  XStatusAnswer shown{5, u"My title", u"My text"};
  std::vector<SentMessage> log;
  bool hasRecord = true;
  HostKeptValues record;
  int stores = 0;

  void SetXStatus(int32_t picture, const OptText& title, const OptText& text) override {
    log.push_back({MSG_SET_XSTATUS, picture, title, text});
    shown = {picture, title.value_or(u""), text.value_or(u"")};
  }
  XStatusAnswer GetXStatus() override {
    log.push_back({MSG_GET_XSTATUS, 0, std::nullopt, std::nullopt});
    return shown;
  }
  bool LoadHostKept(HostKeptValues& out) override {
    if (hasRecord) out = record;
    return hasRecord;
  }
  bool StoreHostKept(const HostKeptValues& in) override {
    if (!hasRecord) return false;
    record = in;
    ++stores;
    return true;
  }
  bool HostKeptAvailable() override { return hasRecord; }

  std::vector<SentMessage> TakeLog() { return std::exchange(log, {}); }
};

class MemoryIni : public IIniFile {
 public:
  std::map<std::pair<std::u16string, std::u16string>, std::u16string> values;
  std::vector<std::u16string> writes;  // "Section/Key=value" in order

  std::optional<std::u16string> Read(std::u16string_view section, std::u16string_view key) override {
    auto it = values.find({std::u16string(section), std::u16string(key)});
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  void Write(std::u16string_view section, std::u16string_view key, std::u16string_view value) override {
    values[{std::u16string(section), std::u16string(key)}] = std::u16string(value);
    writes.push_back(std::u16string(section) + u"/" + std::u16string(key) + u"=" + std::u16string(value));
  }
  void Set(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
    values[{std::u16string(section), std::u16string(key)}] = std::u16string(value);
  }
};

class FakeTimers : public ICoreTimers {
 public:
  uint32_t pollInterval = 0;
  int creations = 0;
  bool enabled[kCoreTimerCount + 1] = {};
  int64_t now = 0;            // the clock NowMs answers; tests move it
  uint32_t calmDelayMs = 0;   // the delay the Calm timer was last armed with
  void CreateTimers(uint32_t pollIntervalMs) override {
    pollInterval = pollIntervalMs;
    ++creations;
    enabled[int(CoreTimer::Poll)] = true;
    enabled[int(CoreTimer::Apply)] = false;
    enabled[int(CoreTimer::Restore)] = false;
    enabled[int(CoreTimer::StartupUpdate)] = true;
  }
  void Enable(CoreTimer t) override { enabled[int(t)] = true; }
  void Disable(CoreTimer t) override { enabled[int(t)] = false; }
  void EnableAfter(CoreTimer t, uint32_t delayMs) override {
    enabled[int(t)] = true;
    if (t == CoreTimer::Calm) calmDelayMs = delayMs;
  }
  int64_t NowMs() override { return now; }
  bool IsEnabled(CoreTimer t) const { return enabled[int(t)]; }
};

class FakePlayers : public IPlayerAccess {
 public:
  uintptr_t window = 0;  // what FindPlayer returns
  std::optional<std::u16string> playing;  // no value: the player gives no answer
  std::vector<std::u16string> existing;  // files that "exist"
  std::vector<std::u16string> classified;
  int lastFindMode = -1;

  uintptr_t FindPlayer(int mode) override {
    lastFindMode = mode;
    return window;
  }
  std::optional<std::u16string> GetPlayingPath() override { return playing; }
  bool FileExists(std::u16string_view path) override {
    for (auto& e : existing)
      if (e == path) return true;
    return false;
  }
  int ClassifyAndRead(std::u16string_view path) override;

  // The players' own new-track reads: what they answer, and who was asked.
  bool foobarNew = false, aimp2New = false, winampNew = false;
  std::vector<std::string> trackReads;
  bool ReadFoobar2000Track() override {
    trackReads.push_back("foobar2000");
    return foobarNew;
  }
  bool ReadWinampStreamTitle(std::u16string_view) override {
    trackReads.push_back("winamp");
    return winampNew;
  }
  bool ReadAimp2StreamTitle(std::u16string_view) override {
    trackReads.push_back("aimp2");
    return aimp2New;
  }
};

class FakeUpdate : public IUpdateCheck {
 public:
  int started = 0, skipped = 0;
  void StartUpdateCheck() override { ++started; }
  void StartupCheckSkipped() override { ++skipped; }
};

class FakeUi : public IUserInterface {
 public:
  std::vector<int> popups;
  int resets = 0, controlShown = 0, controlClosed = 0, dialogsClosed = 0;
  void ShowPopup(int kind) override { popups.push_back(kind); }
  void ResetControlWindowPosition() override { ++resets; }
  void ShowControlWindow() override { ++controlShown; }
  void CloseControlWindow() override { ++controlClosed; }
  void CloseDialogs() override { ++dialogsClosed; }
};

// The language part: counts the dialog's openings and closings; loading
// answers `loads` and first runs `duringLoad` (e.g. a poll tick that comes
// while a modal message box is up).
class FakeLanguage : public ILanguage {
 public:
  int dialogsShown = 0, dialogsClosed = 0, loadsAsked = 0;
  bool loads = true;
  std::function<void()> duringLoad;
  bool LoadConfiguredLanguage() override {
    ++loadsAsked;
    if (duringLoad) duringLoad();
    return loads;
  }
  void ShowLanguageDialog() override { ++dialogsShown; }
  void CloseLanguageDialog() override { ++dialogsClosed; }
};

// Publishes "<title>" as the text with picture 11, enough to see when the
// core runs the publishing step.
class FakePublisher : public IPublisher {
 public:
  explicit FakePublisher(IHost& host) : host_(host) {}
  int published = 0;
  void PublishTrack() override;

 private:
  IHost& host_;
};

}  // namespace tunelet::testing
