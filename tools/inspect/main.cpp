// tunelet-inspect: runs the plug-in's own reader entry point (ClassifyAndRead)
// on files and folders and prints what the track record holds, one JSON
// object per file and line; --bench N times the reads instead. --players
// (Windows) shows what the plug-in sees of the running players.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "common/text.h"
#include "model/settings.h"
#include "json_writer.h"
#include "player_probe.h"
#include "metadata/cover.h"
#include "metadata/entry_points.h"
#include "metadata/format.h"
#include "platform/platform.h"
#include "model/file_kind.h"
#include "templates/template_engine.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "players_system.h"
#endif

namespace fs = std::filesystem;
using namespace tunelet;

namespace {

// Each option is a "--name value" pair handled in ParseOptions.
struct Options {
  bool getFromName = true;  // the plug-in's defaults: Getfromname 1, a_u 0
  int codePage = 0;
  int benchRuns = 0;  // 0: print the records
  std::optional<std::u16string> templateText;  // expanded for each file when given
  bool keepCovers = false;  // leave the last file's temporary cover on disk
  std::vector<fs::path> inputs;
  // --players and its options
  bool players = false;
  bool json = false;
  int watchSeconds = 0;  // 0: one inspection
  int polls = 0;         // with --watch: stop after this many (0: never)
  std::optional<std::u16string> iniPath, titleTemplate;
  std::optional<int> manualPlayer;
  bool ignoreVideo = false;
};

// The extensions ClassifyAndRead has an entry point for; other files in a
// folder (pictures, playlists) are passed over.
bool IsReadableKind(std::u16string_view path) {
  static constexpr std::u16string_view kKinds[] = {u"MP3", u"OGG", u"WMA", u"APE", u"WAV", u"WV",  u"M4A", u"MP4",
                                                   u"FLAC", u"AVI", u"MPEG", u"MPG", u"WMV", u"MOV", u"MKV", u"FLV"};
  const std::u16string ext = FileExtension(path);
  return std::find(std::begin(kKinds), std::end(kKinds), ext) != std::end(kKinds);
}

void Usage() {
  std::fputs(
      "usage: tunelet-inspect [--getfromname 0|1] [--a_u 0|1] [--template TEXT] [--keep-covers] [--bench N] FILE|FOLDER...\n"
      "  Reads each file as the plug-in does and prints one JSON object per file.\n"
      "  Folders are searched recursively for files the plug-in reads.\n"
      "  --getfromname  take artist and title from the file name when tags lack them (default 1)\n"
      "  --a_u          8-bit tag text: 0 system code page (default), 1 Cyrillic (1251)\n"
      "  --template T   add \"template\": T expanded for the file as the plug-in publishes it\n"
      "  --keep-covers  keep the last file's temporary cover file (each read removes the one before)\n"
      "  --bench N      read every file N times; print files per second and bytes read per file\n"
      "\n"
      "usage: tunelet-inspect --players [--json] [--watch N [--polls K]] [--ini FILE] [--manual ID]\n"
      "                       [--title TEXT] [--template TEXT] [--ignore-video]   (Windows build)\n"
      "  What the plug-in sees: every row of the player table with its window search, process,\n"
      "  route, answer and the time each call took; then the poll, the track and the X-status.\n"
      "  Sends players only what a poll of the plug-in sends; changes no setting, no X-status.\n"
      "  --json         one JSON document\n"
      "  --watch N      look again every N seconds and print only what changed (--polls K: K times)\n"
      "  --ini FILE     the plug-in's INI file (default: Tunelet.ini beside this program)\n"
      "  --manual ID    poll as the manual choice of player ID (0..20) instead of automatic detection\n"
      "  --title TEXT, --template TEXT   the X-status title and text templates (default: built-in)\n"
      "  --ignore-video the plug-in's \"ignore video\" switch\n",
      stderr);
}

std::u16string PathText(const fs::path& p) {
#ifdef _WIN32
  const std::wstring w = p.wstring();
  return std::u16string(w.begin(), w.end());
#else
  return Utf8ToUtf16(p.string());
#endif
}

// Parses "--name value" pairs; false on anything it does not know.
bool ParseOptions(const std::vector<std::u16string>& args, Options& o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    auto value = [&](int lo, int hi, int& out) {
      if (i + 1 >= args.size()) return false;
      const std::string v = Utf16ToUtf8(args[++i]);
      char* end = nullptr;
      const long n = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end || n < lo || n > hi) return false;
      out = int(n);
      return true;
    };
    int n = 0;
    if (a == u"--getfromname") {
      if (!value(0, 1, n)) return false;
      o.getFromName = n == 1;
    } else if (a == u"--a_u") {
      if (!value(0, 1, o.codePage)) return false;
    } else if (a == u"--template") {
      if (i + 1 >= args.size()) return false;
      o.templateText = args[++i];
    } else if (a == u"--keep-covers") {
      o.keepCovers = true;
    } else if (a == u"--bench") {
      if (!value(1, 1000000, o.benchRuns)) return false;
    } else if (a == u"--players") {
      o.players = true;
    } else if (a == u"--json") {
      o.json = true;
    } else if (a == u"--watch") {
      if (!value(1, 86400, o.watchSeconds)) return false;
    } else if (a == u"--polls") {
      if (!value(1, 1000000, o.polls)) return false;
    } else if (a == u"--manual") {
      if (!value(0, kPlayerCount - 1, n)) return false;
      o.manualPlayer = n;
    } else if (a == u"--ini" || a == u"--title") {
      if (i + 1 >= args.size()) return false;
      (a == u"--ini" ? o.iniPath : o.titleTemplate) = args[++i];
    } else if (a == u"--ignore-video") {
      o.ignoreVideo = true;
    } else if (a == u"--help" || a == u"-h") {
      return false;
    } else if (a.size() > 1 && a[0] == u'-' && a[1] == u'-') {
      return false;
    } else {
#ifdef _WIN32
      o.inputs.emplace_back(std::wstring(a.begin(), a.end()));
#else
      o.inputs.emplace_back(Utf16ToUtf8(a));
#endif
    }
  }
  return o.players ? o.inputs.empty() : !o.inputs.empty();
}

// The files to read: named files as they are, folders recursively (only the
// files whose extension the plug-in reads), sorted for a stable order.
std::vector<std::u16string> CollectFiles(const std::vector<fs::path>& inputs) {
  std::vector<std::u16string> files;
  for (const auto& in : inputs) {
    std::error_code ec;
    if (fs::is_directory(in, ec)) {
      std::vector<std::u16string> found;
      for (auto it = fs::recursive_directory_iterator(in, fs::directory_options::skip_permission_denied, ec);
           !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && IsReadableKind(PathText(it->path()))) found.push_back(PathText(it->path()));
      }
      std::sort(found.begin(), found.end());
      files.insert(files.end(), found.begin(), found.end());
    } else {
      files.push_back(PathText(in));
    }
  }
  return files;
}

// What the player-access side does before a read: the path goes into
// FilePath, then the entry point for its extension runs.
void ReadTrack(const std::u16string& path) {
  TrackInfo& t = Track();
  ClearTrackInfo(t);
  SetText(t.FilePath, path);
  ClassifyAndRead(path);
}

// The live expansion the X-status text gets: blocks (an error leaves the
// rest as written), then variables.
std::u16string ExpandForTrack(std::u16string text) {
  ExpandConditionalBlocks(text, nullptr, true);
  SubstituteVariables(text);
  return text;
}

std::string TrackJson(const std::u16string& path, const std::optional<std::u16string>& templateText) {
  const TrackInfo& t = Track();
  inspect::JsonObject text;
  text.String("size", FormatTrackValue(kValueSize))
      .String("bitrate", FormatTrackValue(kValueBitrate))
      .String("khz", FormatTrackValue(kValueSampleRate))
      .String("time", FormatTrackValue(kValueDuration));
  inspect::JsonObject o;
  o.String("path", path)
      .Text("title", t.Title)
      .Text("artist", t.Artist)
      .Text("album", t.Album)
      .Text("genre", t.Genre)
      .Text("year", t.Year)
      .Text("comment", t.Comment)
      .Text("lyrics", t.Lyrics)
      .Text("cover", t.CoverFile)
      .Number("size", t.FileSize)
      .Number("bitrate", t.Bitrate)
      .Number("samplerate", t.SampleRate)
      .Number("duration", t.Duration)
      .Number("track", t.TrackNumber)
      .Object("text", text);
  if (templateText) o.String("template", ExpandForTrack(*templateText));
  return o.str();
}

int Bench(const std::vector<std::u16string>& files, int runs) {
  platform::ResetBytesReadCounter();
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < runs; ++r)
    for (const auto& f : files) ReadTrack(f);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double reads = double(files.size()) * runs;
  std::printf("files: %zu\nruns: %d\nseconds: %.3f\nfiles per second: %.0f\nbytes read per file: %.0f\n",
              files.size(), runs, seconds, seconds > 0 ? reads / seconds : 0.0,
              reads > 0 ? double(platform::BytesReadCounter()) / reads : 0.0);
  return 0;
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

#ifdef _WIN32
int RunPlayers(const Options& o) {
  const std::u16string iniPath = o.iniPath.value_or(inspect::DefaultIniPath());
  const bool iniFound = inspect::FileExists(iniPath);
  inspect::ProbeOptions probeOptions;
  probeOptions.titleTemplate = o.titleTemplate;
  probeOptions.textTemplate = o.templateText;
  probeOptions.manualPlayer = o.manualPlayer;
  probeOptions.ignoreVideo = o.ignoreVideo;
  inspect::PlayerProbe probe(inspect::SystemPlayerRoutes(), inspect::SystemProcessProbe(),
                             iniFound ? inspect::IniFileReader(iniPath) : nullptr, probeOptions);
  const std::string settingsLine = "settings: " + Utf16ToUtf8(iniPath) + (iniFound ? "" : " (not found: defaults)");
  std::optional<inspect::Inspection> last;
  for (int poll = 1;; ++poll) {
    inspect::Inspection now = probe.Inspect();
    if (o.json) {
      std::string doc = inspect::InspectionJson(now);
      if (last) {
        // Later polls of --watch: only the changes and the waits.
        inspect::JsonArray changes;
        for (const auto& line : inspect::InspectionChanges(*last, now)) changes.Add(line);
        doc = inspect::JsonObject()
                  .Number("poll", uint64_t(poll))
                  .Raw("changes", changes.str())
                  .Decimal("poll_wait_ms", now.poll.waitMs)
                  .Decimal("poll_host_ms", now.poll.hostMs)
                  .Decimal("poll_worker_ms", now.poll.workerMs)
                  .Decimal("worst_call_ms", now.worstCallMs)
                  .String("worst_call", now.worstCall)
                  .str();
      } else {
        doc.insert(1, "\"settings\":" + inspect::JsonString(iniPath) + ",\"settings_found\":" +
                          (iniFound ? "true" : "false") + ",");
      }
      Print(doc + "\n");
    } else if (!last) {
      Print(settingsLine + "\n" + inspect::InspectionText(now));
    } else {
      std::string lines;
      for (const auto& line : inspect::InspectionChanges(*last, now)) lines += Utf16ToUtf8(line) + "\n";
      Print(lines + inspect::WaitLine(now) + "\n");
    }
    if (o.watchSeconds == 0 || (o.polls > 0 && poll >= o.polls)) break;
    last = std::move(now);
    std::this_thread::sleep_for(std::chrono::seconds(o.watchSeconds));
  }
  DeleteTemporaryCovers();
  return 0;
}
#else
int RunPlayers(const Options&) {
  std::fputs("tunelet-inspect: --players needs the Windows build (tunelet-inspect.exe)\n", stderr);
  return 2;
}
#endif

int Run(const std::vector<std::u16string>& args) {
  Options o;
  if (!ParseOptions(args, o)) {
    Usage();
    return 2;
  }
  if (o.players) return RunPlayers(o);
  ResetSettings();
  Settings().Getfromname = o.getFromName;
  Settings().a_u = o.codePage;
  const std::vector<std::u16string> files = CollectFiles(o.inputs);
  int rc = 0;
  if (o.benchRuns > 0) {
    rc = Bench(files, o.benchRuns);
  } else {
    for (const auto& f : files) {
      ReadTrack(f);
      const std::string line = TrackJson(f, o.templateText) + "\n";
      std::fwrite(line.data(), 1, line.size(), stdout);
    }
    std::fflush(stdout);
  }
  if (!o.keepCovers) DeleteTemporaryCovers();
  return rc;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // UTF-8 bytes and "\n" as they are
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
  return Run(args);
}
#else
int main(int argc, char** argv) {
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8ToUtf16(argv[i]));
  return Run(args);
}
#endif
