// The never-share list: the user's lines parsed, and each pattern matched
// against a track whose fields come from the input too. The matcher is held
// to a plain reference (greedy matching with one backtrack point) on every
// input, and the list to its caps.
//
// Input: NUL-separated parts, one character a byte (see text_input.h): the
// list, then Artist, Title, Album, FilePath and the player's name; a seventh
// part is one more pattern matched on its own against the title.
#include <string>
#include <vector>

#include "templates/privacy_rules.h"
#include "text_input.h"

using namespace tunelet;

namespace {

std::u32string Characters(std::u16string_view s) {
  std::u32string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = ToUpperChar(s[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      out += char32_t(0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00));
      ++i;
    } else {
      out += char32_t(c);
    }
  }
  return out;
}

bool ReferenceMatch(std::u16string_view pattern16, std::u16string_view text16) {
  const std::u32string pattern = Characters(pattern16), text = Characters(text16);
  size_t p = 0, t = 0, starP = std::u32string::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == U'*') {
      starP = ++p;
      starT = t;
    } else if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == text[t])) {
      ++p;
      ++t;
    } else if (starP != std::u32string::npos) {
      p = starP;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == U'*') ++p;
  return p == pattern.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::vector<uint8_t>> raw = fuzz::SplitParts(data, size, 7);
  std::vector<std::u16string> parts;
  for (const auto& p : raw) parts.push_back(fuzz::ByteText(p));
  parts.resize(7);

  const std::vector<ExclusionPattern> list = ParseExclusionPatterns(parts[0]);
  if (list.size() > kMaxExclusionPatterns) __builtin_trap();
  for (const ExclusionPattern& p : list)
    if (p.pattern.empty() || p.line.size() > kMaxExclusionPatternChars ||
        p.line.find_first_of(u"\r\n") != std::u16string::npos)
      __builtin_trap();

  TrackInfo track;
  OptText* fields[] = {&track.Artist, &track.Title, &track.Album, &track.FilePath};
  // A part the input holds is a present field, empty or not.
  for (size_t i = 0; i < std::size(fields); ++i)
    if (i + 1 < raw.size()) fields[i]->emplace(parts[i + 1]);
  const std::u16string& player = parts[5];

  const ExclusionPattern* hit = ExclusionThatHides(track, player, list);
  // The first pattern that hides the track is the first whose field the
  // reference matches.
  const ExclusionPattern* expected = nullptr;
  for (const ExclusionPattern& p : list) {
    const std::pair<ExclusionField, const OptText*> named[] = {{ExclusionField::Artist, &track.Artist},
                                                               {ExclusionField::Title, &track.Title},
                                                               {ExclusionField::Album, &track.Album},
                                                               {ExclusionField::Path, &track.FilePath}};
    bool hides = (p.field == ExclusionField::Any || p.field == ExclusionField::Player) && !player.empty() &&
                 ReferenceMatch(p.pattern, player);
    for (const auto& [field, text] : named)
      if ((p.field == ExclusionField::Any || p.field == field) && *text && ReferenceMatch(p.pattern, **text))
        hides = true;
    if (hides) {
      expected = &p;
      break;
    }
  }
  if (hit != expected) __builtin_trap();

  if (MatchesWildcard(parts[6], parts[2]) != ReferenceMatch(parts[6], parts[2])) __builtin_trap();
  return 0;
}
