// An in-memory IPlayerSystem for the player rules: windows, process names,
// answers, titles, memory and shared memory set up by the test; every message
// sent is recorded.
#pragma once

#include <map>
#include <tuple>
#include <vector>

#include "players/player_routes_set.h"
#include "players/window_message_players.h"

namespace tunelet::testing {

struct SentPlayerMessage {
  uintptr_t window;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
  bool operator==(const SentPlayerMessage&) const = default;
};

class ScriptedPlayerSystem : public IPlayerSystem {
 public:
  // Window handles start over with every simulated system: nothing that a
  // route remembered about another one's windows may count.
  ScriptedPlayerSystem() { ForgetWinampPath(); }
  // A top-level window; title "" means the window has no title.
  uintptr_t AddWindow(std::string cls, std::string title, std::u16string imageName) {
    const uintptr_t h = nextHandle_ += 0x10;
    windows_.push_back({std::move(cls), std::move(title), h});
    images_[h] = std::move(imageName);
    return h;
  }
  void Answer(uintptr_t w, uint32_t m, uintptr_t wp, intptr_t lp, intptr_t result) { answers_[{w, m, wp, lp}] = result; }
  // A window that never answers in time.
  void Hang(uintptr_t w) { hung_.push_back(w); }
  void Unhang(uintptr_t w) { std::erase(hung_, w); }
  void SetTitle(uintptr_t w, std::u16string t) { titles_[w] = std::move(t); }
  void SetText(uintptr_t w, std::string t) { texts_[w] = std::move(t); }
  void SetMemory(uintptr_t address, std::string bytes) { memory_[address] = std::move(bytes); }
  void SetShared(std::vector<uint8_t> bytes) { shared_ = std::move(bytes); }
  void RefuseProcessMemory() { processMemoryRefused_ = true; }
  void SetProcessPointerWidth(PointerWidth w) { processWidth_ = w; }

  std::vector<SentPlayerMessage> sent;
  std::vector<std::string> searches;  // "class|title" per FindTopWindow

  uintptr_t FindTopWindow(std::string_view cls, const char* title) override {
    searches.push_back(std::string(cls) + "|" + (title ? title : "*"));
    for (const auto& w : windows_)
      if (w.cls == cls && (!title || w.title == title)) return w.handle;
    return 0;
  }
  std::u16string ProcessImageName(uintptr_t w) override {
    const auto it = images_.find(w);
    return it == images_.end() ? u"" : it->second;
  }
  std::optional<intptr_t> SendBounded(uintptr_t w, uint32_t m, uintptr_t wp, intptr_t lp) override {
    sent.push_back({w, m, wp, lp});
    if (!w || std::find(hung_.begin(), hung_.end(), w) != hung_.end()) return std::nullopt;
    const auto it = answers_.find({w, m, wp, lp});
    return it == answers_.end() ? 0 : it->second;
  }
  std::u16string WindowTitle(uintptr_t w) override { return titles_[w]; }
  std::optional<std::string> WindowTextByMessage(uintptr_t w, size_t bufferBytes) override {
    sent.push_back({w, kWmGetText, bufferBytes - 1, 0});
    if (!w || std::find(hung_.begin(), hung_.end(), w) != hung_.end()) return std::nullopt;
    return texts_[w].substr(0, bufferBytes - 1);
  }
  std::unique_ptr<IProcessMemory> OpenProcessMemory(uintptr_t) override {
    if (processMemoryRefused_) return nullptr;
    return std::make_unique<Memory>(memory_, processWidth_);
  }
  std::optional<std::vector<uint8_t>> ReadSharedMemory(const char* name, size_t n) override {
    if (std::string_view(name) != "AIMP2_RemoteInfo" || shared_.size() < n) return std::nullopt;
    return std::vector<uint8_t>(shared_.begin(), shared_.begin() + n);
  }
  std::u16string AnsiToWide(std::string_view bytes) override { return std::u16string(bytes.begin(), bytes.end()); }

 private:
  struct Window {
    std::string cls, title;
    uintptr_t handle;
  };
  class Memory : public IProcessMemory {
   public:
    Memory(const std::map<uintptr_t, std::string>& m, PointerWidth w) : m_(m), w_(w) {}
    std::optional<std::vector<uint8_t>> Read(uintptr_t address, size_t n) override {
      const auto it = m_.find(address);
      if (it == m_.end() || it->second.size() < n) return std::nullopt;
      return std::vector<uint8_t>(it->second.begin(), it->second.begin() + n);
    }
    PointerWidth ProcessPointerWidth() const override { return w_; }

   private:
    const std::map<uintptr_t, std::string>& m_;
    PointerWidth w_;
  };

  uintptr_t nextHandle_ = 0x1000;
  std::vector<Window> windows_;
  std::map<uintptr_t, std::u16string> images_;
  std::map<std::tuple<uintptr_t, uint32_t, uintptr_t, intptr_t>, intptr_t> answers_;
  std::vector<uintptr_t> hung_;
  std::map<uintptr_t, std::u16string> titles_;
  std::map<uintptr_t, std::string> texts_;
  std::map<uintptr_t, std::string> memory_;
  std::vector<uint8_t> shared_;
  PointerWidth processWidth_ = PointerWidth::Bits32;
  bool processMemoryRefused_ = false;
};

// Automation and open-file routes that answer what the test says and count calls.
struct ScriptedAutomation : IAutomationRoutes {
  bool foobarRunning = false;
  PathAnswer foobarPath = u"", itunesPath = u"", mediaMonkeyPath = u"";
  int32_t itunesInfo = 0;
  std::vector<int> foobarCommands;
  int mediaMonkeyCalls = 0;
  bool Foobar2000AutomationRunning() override { return foobarRunning; }
  PathAnswer GetFoobar2000Path() override { return foobarPath; }
  PathAnswer GetItunesPath() override { return itunesPath; }
  int32_t GetItunesInfo(int kind) override { return itunesInfo + kind; }
  PathAnswer GetMediaMonkeyCurrentSongPath() override {
    ++mediaMonkeyCalls;
    return mediaMonkeyPath;
  }
  void SendFoobar2000Command(int command) override { foobarCommands.push_back(command); }
};

struct ScriptedOpenFiles : IOpenFileRoutes {
  std::vector<uintptr_t> asked;
  PathAnswer path = u"C:\\open.mp3";
  PathAnswer FindOpenMediaFile(uintptr_t window) override {
    asked.push_back(window);
    return path;
  }
};

}  // namespace tunelet::testing
