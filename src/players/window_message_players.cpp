#include "players/window_message_players.h"

#include <algorithm>
#include <mutex>

#include "common/byte_reader.h"
#include "common/text.h"
#include "model/settings.h"
#include "model/player_table.h"
#include "model/track_caps.h"

namespace tunelet {

namespace {

constexpr std::u16string_view kWinampSuffix = u" - Winamp";

// Winamp: (WM_USER, 0, 104) answers 0 stopped, 1 playing, 3 paused.
constexpr intptr_t kGetWinampState = 104;
constexpr intptr_t kGetPlaylistPosition = 125;
constexpr intptr_t kGetPlaylistFile = 211;
constexpr intptr_t kWinampStopped = 0;
constexpr intptr_t kWinampPaused = 3;
constexpr size_t kWinampFileNameBytes = 512;

// AIMP2: (WM_USER + 117, 1, 4) answers 0 stopped, 1 playing, 2 paused.
constexpr uint32_t kAimp2Remote = kWmUser + 117;
constexpr intptr_t kAimp2Stopped = 0;
constexpr intptr_t kAimp2Paused = 2;
constexpr size_t kAimp2LengthsOffset = 40;
constexpr size_t kAimp2StringsOffset = 88;

// jetAudio answers its mode as a Windows MCI mode value.
constexpr uint32_t kJetAudioGetMode = 0x82E4;
constexpr intptr_t kMciModePlay = 526;
constexpr intptr_t kMciModeSeek = 528;
constexpr intptr_t kMciModePause = 529;

// Apollo: (WM_USER + 3, 1, 0) nonzero while playing; (WM_USER + 3, 24, 0) the
// window whose text is the playing file.
constexpr uint32_t kApolloQuery = kWmUser + 3;
constexpr size_t kApolloTextBytes = 512;

// A state answer that lets a route go on. The stream-title reads take no
// answer as "nothing new"; the path routes tell it apart (see StateSaysPlaying).
bool WinampGoesOn(std::optional<intptr_t> state) {
  if (!state || *state == kWinampStopped) return false;
  return !(*state == kWinampPaused && Settings().Returnonpause);
}

bool Aimp2GoesOn(std::optional<intptr_t> state) {
  if (!state || *state == kAimp2Stopped) return false;
  return !(*state == kAimp2Paused && Settings().Returnonpause);
}

// No answer to the state query, or whether the route goes on.
std::optional<bool> StateSaysPlaying(std::optional<intptr_t> state, bool (*goesOn)(std::optional<intptr_t>)) {
  if (!state) return std::nullopt;
  return goesOn(state);
}

std::optional<intptr_t> WinampState(IPlayerSystem& system, uintptr_t window) {
  return system.SendBounded(window, kWmUser, 0, kGetWinampState);
}

std::optional<intptr_t> Aimp2State(IPlayerSystem& system, uintptr_t window) {
  return system.SendBounded(window, kAimp2Remote, 1, 4);
}

std::u16string RemoveFirst(std::u16string_view s, std::u16string_view part) {
  std::u16string out(s);
  const size_t at = out.find(part);
  if (at != std::u16string::npos) out.erase(at, part.size());
  return out;
}

bool IsLastWindowTitle(std::u16string_view title) {
  return EqualsIgnoreCase(title, View(Settings().LastWindowTitle));
}

// Writes a stream track taken from the player's window title.
void WriteStreamTrack(std::u16string_view windowTitle, std::u16string_view url, std::u16string_view song,
                      int player) {
  PluginSettings& s = Settings();
  ClearTrackInfo(s.Track);
  SetText(s.LastWindowTitle, windowTitle);
  SetText(s.Track.FilePath, url);
  const StreamSong parts = SplitStreamSong(song);
  SetText(s.Track.Artist, parts.artist);
  SetText(s.Track.Title, parts.title);
  SetText(s.Track.PlayerName, PlayerDisplayName(player));
  CapTrackValues(s.Track);
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

}  // namespace

std::string_view TextBeforeNul(std::span<const uint8_t> bytes) {
  std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return all.substr(0, all.find('\0'));
}

namespace {

// Winamp's last answer: while the same window keeps the same state and
// title, it plays the same entry, and the path is not asked again (three
// cross-process calls saved per poll).
struct WinampAnswer {
  uintptr_t window = 0;
  intptr_t state = 0;
  std::u16string title;
  std::u16string path;  // empty: nothing remembered
};

struct WinampMemory {
  std::mutex mutex;
  WinampAnswer last;
};

WinampMemory& LastWinampAnswer() {
  static WinampMemory memory;
  return memory;
}

std::optional<std::u16string> RememberedWinampPath(uintptr_t window, intptr_t state, std::u16string_view title) {
  WinampMemory& memory = LastWinampAnswer();
  std::lock_guard lock(memory.mutex);
  const WinampAnswer& last = memory.last;
  if (last.path.empty() || last.window != window || last.state != state || last.title != title) return std::nullopt;
  return last.path;
}

void RememberWinampPath(WinampAnswer answer) {
  WinampMemory& memory = LastWinampAnswer();
  std::lock_guard lock(memory.mutex);
  memory.last = std::move(answer);
}

// The playing entry's path from Winamp's playlist, asked in full.
PathAnswer AskWinampForPath(IPlayerSystem& system, uintptr_t playerHandle) {
  const std::unique_ptr<IProcessMemory> memory = system.OpenProcessMemory(playerHandle);
  if (!memory) return u"";
  const auto position = system.SendBounded(playerHandle, kWmUser, 0, kGetPlaylistPosition);
  if (!position) return std::nullopt;
  const auto address = system.SendBounded(playerHandle, kWmUser, uintptr_t(*position), kGetPlaylistFile);
  if (!address) return std::nullopt;
  if (*address == 0) return u"";
  const auto bytes = memory->Read(AddressInProcess(*address, memory->ProcessPointerWidth()), kWinampFileNameBytes);
  if (!bytes) return u"";
  return system.AnsiToWide(TextBeforeNul(*bytes));
}

}  // namespace

void ForgetWinampPath() { RememberWinampPath({}); }

PathAnswer GetWinampPath(IPlayerSystem& system, uintptr_t playerHandle, bool* paused) {
  const auto state = WinampState(system, playerHandle);
  if (paused) *paused = state == kWinampPaused;
  const auto playing = StateSaysPlaying(state, WinampGoesOn);
  if (!playing || !*playing) {
    ForgetWinampPath();
    return playing ? PathAnswer(u"") : std::nullopt;
  }
  // Read before the path is asked: a track that changes in between shows
  // as a new title at the next poll, which then asks again. An empty title
  // tells nothing about the entry: the path is then always asked.
  std::u16string title = system.WindowTitle(playerHandle);
  if (title.empty()) return AskWinampForPath(system, playerHandle);
  if (auto path = RememberedWinampPath(playerHandle, *state, title)) return path;
  PathAnswer path = AskWinampForPath(system, playerHandle);
  if (path && !path->empty())
    RememberWinampPath({playerHandle, *state, std::move(title), *path});
  else
    ForgetWinampPath();
  return path;
}

std::u16string_view DropPlaylistNumber(std::u16string_view text) {
  // Digits, a full stop and blanks: "1. ", "012. ". "2Pac - X" or "1.5 X" are
  // part of the song.
  size_t at = 0;
  while (at < text.size() && IsDigit(text[at])) ++at;
  if (at == 0 || at + 1 >= text.size() || text[at] != u'.' || text[at + 1] != u' ') return text;
  ++at;
  while (at < text.size() && text[at] == u' ') ++at;
  return text.substr(at);
}

StreamSong SplitStreamSong(std::u16string_view song) {
  constexpr std::u16string_view kSeparator = u" - ";
  const size_t at = song.find(kSeparator);
  if (at == std::u16string_view::npos || at == 0 || at + kSeparator.size() == song.size())
    return {std::u16string(), std::u16string(song)};
  return {std::u16string(song.substr(0, at)), std::u16string(song.substr(at + kSeparator.size()))};
}

std::optional<std::u16string> WinampTitleToTrackTitle(std::u16string_view windowTitle) {
  if (windowTitle.find(kWinampSuffix) == std::u16string_view::npos) return std::nullopt;
  // Winamp shows "%]" in its title while it scrolls or reports a status text.
  if (windowTitle.find(u"%]") != std::u16string_view::npos) return std::nullopt;
  return std::u16string(DropPlaylistNumber(RemoveFirst(windowTitle, kWinampSuffix)));
}

std::optional<std::u16string> Aimp2TitleToTrackTitle(std::u16string_view windowTitle) {
  if (windowTitle.find(kWinampSuffix) == std::u16string_view::npos) return std::nullopt;
  return std::u16string(DropPlaylistNumber(RemoveFirst(windowTitle, kWinampSuffix)));
}

bool ReadWinampStreamTitle(IPlayerSystem& system, uintptr_t playerHandle, std::u16string_view url) {
  if (!WinampGoesOn(WinampState(system, playerHandle))) return false;
  const std::u16string windowTitle = system.WindowTitle(playerHandle);
  const auto title = WinampTitleToTrackTitle(windowTitle);
  if (!title || IsLastWindowTitle(windowTitle)) return false;
  WriteStreamTrack(windowTitle, url, *title, kWinamp);
  return true;
}

std::u16string Aimp2PathFromRecord(std::span<const uint8_t> record) {
  ByteReader r(record);
  r.skip(kAimp2LengthsOffset);
  const uint64_t length1 = r.u32le(), length2 = r.u32le(), length3 = r.u32le(), length4 = r.u32le();
  if (!r.ok()) return {};
  // In 64 bits: lengths from another process may be anything.
  const uint64_t start = kAimp2StringsOffset + 2 * (length1 + length2 + length3);
  if (start > record.size() || 2 * length4 > record.size() - start) return {};
  std::u16string path(size_t(length4), u'\0');
  for (size_t i = 0; i < path.size(); ++i) path[i] = char16_t(LoadU16le(record, size_t(start) + 2 * i));
  return path;
}

PathAnswer GetAimp2Path(IPlayerSystem& system, uintptr_t playerHandle, bool* paused) {
  const auto state = Aimp2State(system, playerHandle);
  if (paused) *paused = state == kAimp2Paused;
  const auto playing = StateSaysPlaying(state, Aimp2GoesOn);
  if (!playing) return std::nullopt;
  if (!*playing) return u"";
  const auto record = system.ReadSharedMemory("AIMP2_RemoteInfo", kAimp2RecordBytes);
  if (!record) return u"";
  return Aimp2PathFromRecord(*record);
}

bool ReadAimp2StreamTitle(IPlayerSystem& system, uintptr_t playerHandle, std::u16string_view url) {
  if (!Aimp2GoesOn(Aimp2State(system, playerHandle))) return false;
  const uintptr_t winampWindow = system.FindTopWindow("Winamp v1.x", nullptr);
  if (!EqualsIgnoreCase(system.ProcessImageName(playerHandle), u"AIMP2.EXE")) return false;
  if (!winampWindow) return false;
  const std::u16string windowTitle = system.WindowTitle(winampWindow);
  const auto title = Aimp2TitleToTrackTitle(windowTitle);
  if (!title || IsLastWindowTitle(windowTitle)) return false;
  WriteStreamTrack(windowTitle, url, *title, kAimp2);
  return true;
}

std::optional<bool> JetAudioIsPlaying(IPlayerSystem& system, uintptr_t playerHandle, bool* paused) {
  const auto mode = system.SendBounded(playerHandle, kJetAudioGetMode, 0, 1);
  if (!mode) return std::nullopt;
  if (paused) *paused = *mode == kMciModePause;
  if (*mode == kMciModePlay || *mode == kMciModeSeek) return true;
  return *mode == kMciModePause && !Settings().Returnonpause;
}

PathAnswer GetApolloPath(IPlayerSystem& system, uintptr_t playerHandle) {
  const auto playing = system.SendBounded(playerHandle, kApolloQuery, 1, 0);
  if (!playing) return std::nullopt;
  if (*playing == 0) return u"";
  const auto textWindow = system.SendBounded(playerHandle, kApolloQuery, 24, 0);
  if (!textWindow) return std::nullopt;
  if (*textWindow == 0) return u"";
  const auto text = system.WindowTextByMessage(uintptr_t(*textWindow), kApolloTextBytes);
  if (!text) return std::nullopt;
  if (text->empty()) return u"";
  return system.AnsiToWide(*text);
}

}  // namespace tunelet
