#include "model/track_caps.h"

#include "common/text_bounds.h"

namespace tunelet {

void CapTrackValues(TrackInfo& t) {
  for (OptText* field : {&t.Title, &t.Artist, &t.Album, &t.Genre, &t.Year, &t.PlayerName})
    TruncateText(*field, kMaxTrackValueChars);
  TruncateText(t.Lyrics, kMaxTrackLongTextChars);
  TruncateText(t.Comment, kMaxTrackLongTextChars);
}

std::u16string_view CappedTrackValue(std::u16string_view value) {
  return value.substr(0, WholeCharactersPrefix(value, kMaxTrackValueChars));
}

}  // namespace tunelet
