// The players' answers through the core: the real core, player access, its
// rules and the X-status policy, over a system whose every answer (windows
// found, process names, message results, window titles and texts, another
// process's memory, shared memory, automation paths and foobar2000's title
// formatting) comes from the input. Several poll cycles with their publish
// and restore steps, and the remote-control commands. What is left of the
// input then goes, as the system's process and handle lists, through the
// open-file scan's readers of those lists.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include <utility>  // the fakes use std::exchange

#include "core/core_fakes.h"
#include "core/plugin_core.h"
#include "metadata/player_info_hook.h"
#include "model/settings.h"
#include "players/foobar2000.h"
#include "players/open_files.h"
#include "players/player_access.h"
#include "templates/xstatus_policy.h"
#include "text_input.h"

using namespace tunelet;
using namespace tunelet::testing;

namespace {

constexpr size_t kMaxAnswerText = 300;
constexpr int kMaxTicks = 6;

std::u16string TextFrom(FuzzedDataProvider& in) {
  const std::string s = in.ConsumeRandomLengthString(kMaxAnswerText);
  return fuzz::ByteText({s.begin(), s.end()});
}

std::optional<std::u16string> AnswerFrom(FuzzedDataProvider& in) {
  if (in.ConsumeIntegralInRange<uint8_t>(0, 7) == 0) return std::nullopt;  // the player did not answer in time
  return TextFrom(in);
}

class InputMemory final : public IProcessMemory {
 public:
  InputMemory(FuzzedDataProvider& in, PointerWidth width) : in_(in), width_(width) {}
  std::optional<std::vector<uint8_t>> Read(uintptr_t, size_t n) override {
    if (in_.ConsumeIntegralInRange<uint8_t>(0, 7) == 0) return std::nullopt;
    std::vector<uint8_t> bytes = in_.ConsumeBytes<uint8_t>(n);
    if (bytes.size() < n) return std::nullopt;
    return bytes;
  }
  PointerWidth ProcessPointerWidth() const override { return width_; }

 private:
  FuzzedDataProvider& in_;
  PointerWidth width_;
};

class InputPlayerSystem final : public IPlayerSystem {
 public:
  explicit InputPlayerSystem(FuzzedDataProvider& in) : in_(in) {}
  uintptr_t FindTopWindow(std::string_view, const char*) override {
    return in_.ConsumeBool() ? 0x1000 + 0x10 * in_.ConsumeIntegralInRange<uintptr_t>(0, 3) : 0;
  }
  std::u16string ProcessImageName(uintptr_t) override {
    static constexpr const char16_t* kNames[] = {u"WINAMP.EXE", u"winamp.exe", u"KMPLAYER.EXE", u"WMPLAYER.EXE",
                                                 u"", u"other.exe"};
    return in_.PickValueInArray(kNames);
  }
  std::optional<intptr_t> SendBounded(uintptr_t, uint32_t, uintptr_t, intptr_t) override {
    if (in_.ConsumeIntegralInRange<uint8_t>(0, 7) == 0) return std::nullopt;
    // A 32-bit player's answer, sign-extended as it reaches a 64-bit caller.
    return intptr_t(in_.ConsumeIntegral<int32_t>());
  }
  std::u16string WindowTitle(uintptr_t) override { return TextFrom(in_); }
  std::optional<std::string> WindowTextByMessage(uintptr_t, size_t bufferBytes) override {
    if (in_.ConsumeIntegralInRange<uint8_t>(0, 7) == 0) return std::nullopt;
    std::string s = in_.ConsumeRandomLengthString(bufferBytes ? bufferBytes - 1 : 0);
    return s.substr(0, s.find('\0'));
  }
  std::unique_ptr<IProcessMemory> OpenProcessMemory(uintptr_t) override {
    if (in_.ConsumeIntegralInRange<uint8_t>(0, 7) == 0) return nullptr;
    return std::make_unique<InputMemory>(in_, in_.ConsumeBool() ? PointerWidth::Bits32 : PointerWidth::Bits64);
  }
  std::optional<std::vector<uint8_t>> ReadSharedMemory(const char*, size_t n) override {
    if (in_.ConsumeIntegralInRange<uint8_t>(0, 7) == 0) return std::nullopt;
    std::vector<uint8_t> bytes = in_.ConsumeBytes<uint8_t>(n);
    bytes.resize(n);  // the rest of a view the player left unwritten
    return bytes;
  }
  std::u16string AnsiToWide(std::string_view bytes) override { return fuzz::ByteText({bytes.begin(), bytes.end()}); }

 private:
  FuzzedDataProvider& in_;
};

class InputAutomation final : public IAutomationRoutes {
 public:
  explicit InputAutomation(FuzzedDataProvider& in) : in_(in) {}
  bool Foobar2000AutomationRunning() override { return in_.ConsumeBool(); }
  PathAnswer GetFoobar2000Path() override { return AnswerFrom(in_); }
  bool ReadFoobar2000Track() override {
    return ReadFoobar2000TrackFrom([&](std::u16string_view) { return AnswerFrom(in_); },
                                   [&](std::u16string_view) { return in_.ConsumeIntegral<uint32_t>(); }, Track());
  }
  PathAnswer GetItunesPath() override { return AnswerFrom(in_); }
  int32_t GetItunesInfo(int) override { return in_.ConsumeIntegral<int32_t>(); }
  PathAnswer GetMediaMonkeyCurrentSongPath() override { return AnswerFrom(in_); }
  void SendFoobar2000Command(int) override {}

 private:
  FuzzedDataProvider& in_;
};

class InputOpenFiles final : public IOpenFileRoutes {
 public:
  explicit InputOpenFiles(FuzzedDataProvider& in) : in_(in) {}
  PathAnswer FindOpenMediaFile(uintptr_t) override { return AnswerFrom(in_); }

 private:
  FuzzedDataProvider& in_;
};

void ChooseSettings(FuzzedDataProvider& in, HostKeptValues& record, MemoryIni& ini) {
  static constexpr uint8_t kModes[] = {10, 11, 21, 31};
  record.Initialised = true;
  record.PluginOn = true;
  record.PlayerId = in.ConsumeIntegralInRange<uint32_t>(0, 21);
  record.ManualPlayer = in.ConsumeBool();
  record.KeepXStatusName = in.ConsumeBool();
  record.IgnoreVideo = in.ConsumeBool();
  ini.Set(u"Others", u"temp", u"1");
  ini.Set(u"Others", u"Firstrun", u"0");
  ini.Set(u"Others", u"OLEfoobar", in.ConsumeBool() ? u"1" : u"0");
  ini.Set(u"Others", u"Returnonpause", in.ConsumeBool() ? u"1" : u"0");
  ini.Set(u"Main", u"Action", ToU16(in.PickValueInArray(kModes)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  ResetSettings();
  FakeHost host;
  MemoryIni ini;
  FakeTimers timers;
  ChooseSettings(in, host.record, ini);
  host.shown.picture = in.ConsumeIntegralInRange<int32_t>(0, 40);

  InputPlayerSystem system(in);
  InputAutomation automation(in);
  InputOpenFiles openFiles(in);
  PlayerAccess players({system, automation, openFiles});
  IUserInterface ui;
  XStatusPolicy publisher(host, ui);

  CoreEnvironment env;
  env.host = &host;
  env.timers = &timers;
  env.ini = &ini;
  env.subsystems.players = &players;
  env.subsystems.publisher = &publisher;
  env.subsystems.ui = &ui;
  env.fileVersion = "3.0.1.0";
  PluginCore core(env);
  SetPlayerInfoSource(&players);
  core.HandleHostMessage(MSG_STARTUP, 0, nullptr);

  for (int tick = 0; tick < kMaxTicks && in.remaining_bytes() > 0; ++tick) {
    core.OnTimer(CoreTimer::Poll);
    if (timers.IsEnabled(CoreTimer::Apply)) core.OnTimer(CoreTimer::Apply);
    if (timers.IsEnabled(CoreTimer::Restore)) core.OnTimer(CoreTimer::Restore);
    for (int kind = 21; kind <= 23; ++kind) (void)players.GetPlayerInfo(kind);
    players.SendPlayerCommand(in.ConsumeIntegralInRange<int>(-1, 5));
  }
  core.HandleHostMessage(MSG_SHUTDOWN, 0, nullptr);
  SetPlayerInfoSource(nullptr);
  ResetSettings();

  const uint32_t processId = in.ConsumeIntegral<uint32_t>();
  const std::vector<uint8_t> list = in.ConsumeRemainingBytes<uint8_t>();
  for (PointerWidth width : {PointerWidth::Bits32, PointerWidth::Bits64}) {
    (void)HandleCountFromProcessList(ByteSpan(list.data(), list.size()), processId, width);
    (void)HandlesOfProcessExtended(ByteSpan(list.data(), list.size()), processId, width);
    (void)HandlesOfProcessBasic(ByteSpan(list.data(), list.size()), processId, width);
  }
  return 0;
}
