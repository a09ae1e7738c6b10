// Benchmark of the template engine on hostile input (not a test): the
// X-status of a track whose tags name each other's variables, block
// expansion of a long template, and the never-share list at its caps against
// a long path. Prints microseconds per run.
#include <chrono>
#include <cstdio>
#include <string>

#include "model/settings.h"
#include "templates/privacy_rules.h"
#include "templates/template_engine.h"
#include "templates/xstatus_policy.h"

using namespace tunelet;

namespace {

std::u16string Repeat(std::u16string_view s, int n) {
  std::u16string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

template <typename F>
double MicrosecondsPerRun(int runs, F&& f) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < runs; ++i) f();
  const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
  return took.count() / runs;
}

}  // namespace

int main() {
  PluginSettings& s = Settings();
  s.Action = kModeReplaceAny;
  s.AudioTitleTemplate = u"Слушаю:";
  s.AudioTextTemplate = u"{{%artist%=%artist% }}\"%title%\"";
  s.PasteTemplate = u"*втыкает %artist% \"%title%\"*";
  TrackInfo& t = s.Track;
  t.FilePath = u"C:\\Music\\crafted.mp3";
  t.Artist = Repeat(u"%title%", 30);
  t.Title = Repeat(u"%album%", 30);
  t.Album = Repeat(u"%genre%", 30);
  t.Genre = Repeat(u"%year%", 30);
  t.Year = Repeat(u"y", 300);

  size_t sink = 0;
  const double xstatus = MicrosecondsPerRun(10000, [&] { sink += BuildXStatusContent()->text.size(); });
  std::printf("X-status of the crafted track: %.2f us\n", xstatus);
  const double paste = MicrosecondsPerRun(10000, [&] { sink += PasteText().size(); });
  std::printf("paste text of the crafted track: %.2f us\n", paste);

  // Some 270,000 characters of blocks, a third of them dropped.
  const std::u16string longTemplate = Repeat(u"{{%artist%=%artist% }}{{%#%=x}}{{%time%=y}}", 6000);
  std::printf("long template: %zu characters\n", longTemplate.size());
  const double expand = MicrosecondsPerRun(20, [&] {
    std::u16string text = longTemplate;
    ExpandConditionalBlocks(text, nullptr, true);
    SubstituteVariables(text);
    sink += text.size();
  });
  std::printf("expansion and substitution of the long template: %.0f us\n", expand);

  // The slowest list the caps allow: every pattern's longest piece nearly
  // matches at every position of a path of the longest length Windows knows.
  std::u16string worstLines;
  for (size_t i = 0; i < kMaxExclusionPatterns; ++i)
    worstLines += u"path:*" + std::u16string(kMaxExclusionPatternChars - 8, u'a') + u"b*\n";
  const std::vector<ExclusionPattern> worst = ParseExclusionPatterns(worstLines);
  TrackInfo longPath;
  longPath.FilePath = std::u16string(32767, u'a');
  const double exclusions = MicrosecondsPerRun(3, [&] { sink += ExclusionThatHides(longPath, u"Winamp", worst) == nullptr; });
  std::printf("%zu worst-case exclusion patterns against a 32767-character path: %.0f us\n", worst.size(), exclusions);

  // A list as people write it against an ordinary track.
  const std::vector<ExclusionPattern> usual = ParseExclusionPatterns(
      u"artist:*podcast*\ntitle:*(live)*\npath:D:\\Private\\*\nplayer:Chrome\n*audiobook*\nalbum:Sleep*");
  TrackInfo song;
  song.Artist = u"Some Band";
  song.Title = u"A Song";
  song.Album = u"The Record";
  song.FilePath = u"C:\\Users\\me\\Music\\Some Band\\The Record\\01 A Song.flac";
  const double ordinary = MicrosecondsPerRun(100000, [&] { sink += ExclusionThatHides(song, u"Winamp", usual) == nullptr; });
  std::printf("%zu usual exclusion patterns against a track: %.2f us\n", usual.size(), ordinary);
  return sink == 0;  // keeps the work from being optimised away
}
