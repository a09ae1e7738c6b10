#include "metadata/genres.h"

#include <array>
#include <string>

namespace tunelet {

namespace {

// The ID3v1 list with the Winamp extensions (indices 0..147).
constexpr std::array<std::string_view, kGenreCount> kStandard = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop",
    "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game",
    "Sound Clip", "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative",
    "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial",
    "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta",
    "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American", "Cabaret", "New Wave",
    "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka",
    "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk", "Folk-Rock", "National Folk", "Swing",
    "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock",
    "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock", "Big Band", "Chorus",
    "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera", "Chamber Music", "Sonata",
    "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba",
    "Folklore", "Ballad", "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock",
    "Drum Solo", "A capella", "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House",
    "Hardcore", "Terror", "Indie", "BritPop", "Negerpunk", "Polsk Punk", "Beat",
    "Christian Gangsta Rap", "Heavy Metal", "Black Metal", "Crossover", "Contemporary Christian",
    "Christian Rock", "Merengue", "Salsa", "Thrash Metal", "Anime", "JPop", "Synthpop"};

// The string table's copy: the same list with its own five spellings.
struct StringTable {
  std::array<std::u16string, kGenreCount> names;
  StringTable() {
    for (int i = 0; i < kGenreCount; ++i) names[i] = std::u16string(kStandard[i].begin(), kStandard[i].end());
    names[107] = u"Booty Brass";
    names[117] = u"Poweer Ballad";
    names[118] = u"Rhytmic Soul";
    names[123] = u"A Capela";
    names[144] = u"Trash Metal";
  }
};

}  // namespace

std::string_view StandardGenreName(int index) {
  return index >= 0 && index < kGenreCount ? kStandard[size_t(index)] : std::string_view();
}

std::u16string_view StringTableGenre(int index) {
  static const StringTable table;
  return index >= 0 && index < kGenreCount ? std::u16string_view(table.names[size_t(index)])
                                           : std::u16string_view();
}

}  // namespace tunelet
