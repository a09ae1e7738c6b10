// The skeleton every reader entry point shares, and the helpers around it:
// clearing the record, the player name, the file-name fallback for artist and
// title, and the conversion of 8-bit tag text with the user's code page.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/text.h"
#include "model/track_info.h"

namespace tunelet {

enum class NameFallback {
  kTagged,    // the usual rule: split the file name when tags gave too little
  kNameOnly,  // files without tags: with Getfromname off the title keeps its extension
};

// The common skeleton: ClearTrackInfo (and clean-up of the previous track's
// temporary cover), LastReadPath := path, readers(Track()), PlayerName from
// the current player, the name fallback, the caps of CapTrackValues. Returns
// 1, as every entry point does.
// A reader that throws stops there; what it wrote stays.
int RunEntryPoint(std::u16string_view path, const std::function<void(TrackInfo&)>& readers,
                  NameFallback fallback = NameFallback::kTagged);

// Step 4 of the skeleton on its own (uses Settings().Getfromname).
void ApplyNameFallback(TrackInfo& t, std::u16string_view path, NameFallback fallback);

// Artist and title from the file name of path ("03_-_Band_-_Song.mp3" gives
// Band / Song); replaces both fields, empty parts become absent.
void SplitFileName(TrackInfo& t, std::u16string_view path);
// Drops leading track numbers, dashes and spaces ("01 - A - T" -> "A - T").
std::u16string StripLeadingNumber(std::u16string name);

// File name of a path: the text after the last '\', '/' or ':'.
std::u16string_view FileNameOf(std::u16string_view path);
// The same without its last extension (the text from its last '.').
std::u16string_view FileNameWithoutExtension(std::u16string_view path);

// 8-bit tag text to UTF-16 with TagCodePage() (a_u). An empty value still
// gives a present, empty text: the fallbacks test for absence only.
std::u16string ConvertTagText(std::string_view bytes);
void SetConverted(OptText& field, std::string_view bytes);
// 8-bit text in the system ANSI code page (the direct tag readers' rule).
std::u16string AnsiToUtf16(std::string_view bytes);

}  // namespace tunelet
