// Writes the seed corpora of the fuzz targets, built with the unit tests'
// byte builders: make_seeds DIR creates DIR/<target>/seed-N for each target.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "entry_input.h"
#include "metadata/builders.h"
#include "metadata/builders_containers.h"
#include "metadata/picture_builders.h"

namespace fs = std::filesystem;
namespace cb = container_builders;
namespace tb = builders;
using Bytes = std::vector<uint8_t>;

namespace {

void Write(const fs::path& dir, const std::vector<Bytes>& seeds) {
  fs::create_directories(dir);
  int n = 0;
  for (const auto& s : seeds) {
    std::ofstream out(dir / ("seed-" + std::to_string(n++)), std::ios::binary);
    out.write(reinterpret_cast<const char*>(s.data()), std::streamsize(s.size()));
  }
}

std::vector<Bytes> TagSeeds() {
  const Bytes frames = tb::Cat({tb::Latin1("TIT2", "Title"), tb::Wide("TPE1", u"Artist"), tb::Latin1("TRCK", "3/12"),
                                tb::Latin1("TCON", "(17)Rock")});
  const Bytes mpeg = tb::MpegFrames(tb::MpegHeader(3, 1, 9, 0), 417, 4);
  return {
      tb::Cat({tb::Id3v2Tag(3, frames), mpeg}),
      tb::Cat({tb::Id3v2Tag(4, tb::Latin1("TALB", "Album", 4), 0x80), mpeg}),
      tb::Cat({tb::Id3v2Tag(2, tb::Latin1("TT2", "Old", 2)), mpeg}),
      tb::Cat({mpeg, tb::ApeTag(2000, {tb::ApeItem("Title", tb::Str("ape"))}),
               tb::Id3v1("t", "a", "b", "2001", 4, 17)}),
      tb::Cat({mpeg, tb::Str("LYRICSBEGININD0000210EAL00005AlbumLYR00004la la000036LYRICS200"),
               tb::Id3v1("t", "a", "b", "2001", -1, 1)}),
      tb::Cat({tb::VbrFrame(tb::MpegHeader(3, 1, 9, 0), 417, 36, true, 1000, 417000), mpeg}),
      // A second tag before the audio, Unicode frames, a bare 2.4 genre.
      tb::Cat({tb::Id3v2Tag(3, frames), tb::Id3v2Tag(4, tb::Cat({tb::Frame(4, "TIT2", tb::TextData(3, tb::Str("u8"))),
                                                                 tb::Latin1("TCON", "17", 4)})), mpeg}),
  };
}

std::vector<Bytes> AsfSeeds() {
  return {
      cb::AsfHeader({cb::AsfFileProperties(2'000'000'000), cb::AsfContentDescription(u"T", u"A", u"D"),
                     cb::AsfExtended({cb::AsfAttr(u"WM/AlbumTitle", 0, cb::Wz(u"Album")),
                                      cb::AsfAttr(u"WM/TrackNumber", 3, cb::B().u32le(4)),
                                      cb::AsfAttr(u"WM/Picture", 1, cb::AsfPictureValue(3, u"image/png", cb::PngBytes(1)))}),
                     cb::AsfAudioStream(44100, 16000)}),
      cb::AsfHeader({cb::AsfHeaderExtensionWithPicture(cb::AsfPictureValue(3, u"", cb::JpegBytes(1)))}),
  };
}

std::vector<Bytes> Mp4Seeds() {
  const Bytes moov = cb::Atom(
      "moov", cb::Cat({cb::Mvhd0(600, 60000), cb::Trak(false, 44100), cb::Trak(true, 1),
                       cb::Udta(cb::Cat({cb::IlstText("\xA9nam", "T"), cb::IlstItem("trkn", 0, cb::B().u32be(3).u32be(0)),
                                         cb::IlstItem("gnre", 0, cb::B().u16be(5)), cb::IlstText("\xA9gen", "g"),
                                         cb::IlstText("\xA9lyr", "l"), cb::IlstItem("covr", 14, cb::PngBytes(2))}))}));
  const Bytes esds = cb::Atom("moov", cb::Trak(false, 44100, cb::Esds(140000, 128000)));
  return {cb::Cat({cb::Ftyp(), moov, cb::Atom("mdat", cb::B().zeros(16))}),
          cb::Cat({cb::Ftyp(), cb::Atom64("mdat", cb::B().zeros(8)), cb::Atom("moov", cb::Mvhd1(1000, 5000))}),
          cb::Cat({cb::Ftyp(), cb::CompressedMoov(moov)}), cb::Cat({cb::Ftyp(), esds})};
}

std::vector<Bytes> FlacSeeds() {
  const std::string picture = "METADATA_BLOCK_PICTURE=" + cb::Base64(cb::FlacPictureBody(3, "image/png", cb::PngBytes(3)));
  const Bytes blocks = cb::Cat({cb::FlacBlock(0, cb::FlacStreamInfoBody(44100, 2, 16, 441000)),
                                cb::FlacBlock(4, cb::VorbisCommentBody({"TITLE=t", "TRACKNUMBER=2", "COVERART=iVBORw0K",
                                                                        "DESCRIPTION=d", picture})),
                                cb::FlacBlock(6, cb::FlacPictureBody(3, "image/png", cb::PngBytes(1)), true)});
  return {cb::Cat({cb::B().str("fLaC"), blocks, cb::B().zeros(64)}),
          cb::Cat({cb::Id3v2Tag(cb::Id3v2Text("TIT2", "x")), cb::B().str("fLaC"), blocks,
                   cb::Id3v1Tag("t", "a", 1)})};
}

std::vector<Bytes> RiffSeeds() {
  const Bytes riff = cb::Riff({cb::Chunk("JUNK", cb::B().zeros(4)), cb::Fmt(1, 2, 44100, 16),
                               cb::Chunk("fact", cb::B().u32le(1000))});
  const Bytes info = cb::B().str("INFO").str("INAM").u32le(2).str("t").u8(0).str("ITRK").u32le(2).str("3").u8(0);
  return {cb::Cat({riff, cb::DataHeader(4000, 16)}),
          cb::Cat({cb::Riff({cb::Fmt(1, 1, 8000, 8), cb::Chunk("LIST", info)}), cb::DataHeader(16, 16),
                   cb::Chunk("id3 ", cb::Id3v2Tag(cb::Id3v2Text("TIT2", "x")))}),
          cb::Cat({cb::WavPack(44100, cb::Cat({riff, cb::DataHeader(0)})), cb::ApeTag({{"Title", "x"}, {"Track", "2"}}),
                   cb::Id3v1Tag("t", "a", 1)})};
}

std::vector<Bytes> OggSeeds() {
  return {tb::Cat({tb::OggPage(tb::VorbisId(2, 44100, 128000), 0, 0, 2),
                   tb::OggPage(tb::VorbisComments({"TITLE=t", "PERFORMER=p", "TRACKNUMBER=3/9"}), 0, 1),
                   tb::OggPage(Bytes(100, 0), 441000, 2, 4)}),
          tb::Cat({tb::OggPage(tb::VorbisId(2, 44100, 128000), 0, 0, 2),
                   tb::OggPage(tb::VorbisComments({"DESCRIPTION=d", "LYRICS=l", "COVERARTMIME=image/png",
                                                   "COVERART=" + tb::Base64(tb::kTinyPng),
                                                   "METADATA_BLOCK_PICTURE=" +
                                                       tb::Base64(tb::PictureBlockBody(3, "image/png", tb::kTinyPng))}),
                               0, 1),
                   tb::OggPage(Bytes(100, 0), 441000, 2, 4)})};
}

std::vector<Bytes> MonkeySeeds() {
  // "MAC ", version, then the old 30-byte header or the 52-byte descriptor and header.
  const Bytes oldHeader = tb::Cat({tb::Str("MAC "), tb::Le(3970, 2), tb::Le(2000, 2), tb::Le(0, 2), tb::Le(2, 2),
                                   tb::Le(44100, 4), tb::Le(0, 4), tb::Le(0, 4), tb::Le(10, 4), tb::Le(100, 4),
                                   Bytes(8, 0)});
  const Bytes descriptor = tb::Cat({tb::Str("MAC "), tb::Le(3990, 2), tb::Le(0, 2), tb::Le(52, 4), tb::Le(24, 4),
                                    Bytes(36, 0), tb::Le(2000, 2), tb::Le(0, 2), tb::Le(73728, 4), tb::Le(100, 4),
                                    tb::Le(10, 4), tb::Le(16, 2), tb::Le(2, 2), tb::Le(44100, 4)});
  return {tb::Cat({oldHeader, Bytes(64, 0), tb::ApeTag(2000, {tb::ApeItem("Artist", tb::Str("a"))})}),
          tb::Cat({oldHeader, Bytes(64, 0),
                   tb::ApeTag(2000, {tb::ApeItem("Cover Art (Front)", tb::Cat({tb::Str("c.png"), Bytes{0}, tb::kTinyPng}))}),
                   tb::Id3v1("t", "a", "b", "2001", 4, 17, "c")}),
          tb::Cat({tb::Id3v2Tag(3, tb::Latin1("TIT2", "x")), descriptor, Bytes(64, 0)})};
}


// The reader seeds under their extensions (and a few under others), with
// names for the file-name fallback and the settings byte varied.
std::vector<Bytes> EntrySeeds() {
  using tunelet::fuzz::MakeEntryInput;
  constexpr uint8_t kNameFromFile = 1, kCyrillic = 2, kWinamp = 8 << 2, kAimp2 = 12 << 2, kITunes = 14 << 2;
  const std::vector<Bytes> tags = TagSeeds(), ogg = OggSeeds(), asf = AsfSeeds(), monkey = MonkeySeeds(),
                           riff = RiffSeeds(), mp4 = Mp4Seeds(), flac = FlacSeeds();
  return {
      MakeEntryInput(0, kNameFromFile | kWinamp, 0, "03_-_Band_-_Song", tags[0]),
      MakeEntryInput(0, kCyrillic | kWinamp, 0, "01 - A - T", tags[3]),
      MakeEntryInput(0, kNameFromFile, 0, "2Pac - Song", tags[4]),
      MakeEntryInput(1, kNameFromFile | kCyrillic, 0, "Song", ogg[1]),
      MakeEntryInput(2, kNameFromFile, 0, "a-b", asf[0]),
      MakeEntryInput(3, kNameFromFile | kCyrillic, 0, "x", monkey[1]),
      MakeEntryInput(4, 0, 0, "wave", riff[1]),
      MakeEntryInput(5, kNameFromFile, 0, "pack", riff[2]),
      MakeEntryInput(6, kNameFromFile | kWinamp, 320, "m", mp4[0]),
      MakeEntryInput(7, kAimp2, -1, "v", mp4[2]),
      MakeEntryInput(6, kITunes, INT32_MIN, "i", mp4[3]),
      MakeEntryInput(8, kNameFromFile, 0, "f", flac[1]),
      MakeEntryInput(9, 0, 0, "01 clip", Bytes(64, 0)),
      MakeEntryInput(14, kNameFromFile, 0, "a - b - c", tags[0]),
      MakeEntryInput(16, kNameFromFile, 0, "other", tags[0]),
  };
}

// NUL-separated parts (the parts may hold NULs of their own: pass them with
// the sv suffix).
Bytes Parts(std::initializer_list<std::string_view> parts) {
  Bytes out;
  bool first = true;
  for (std::string_view p : parts) {
    if (!first) out.push_back(0);
    first = false;
    out.insert(out.end(), p.begin(), p.end());
  }
  return out;
}

Bytes WithNumbers(Bytes parts, std::initializer_list<uint32_t> numbers) {
  parts.push_back(0);
  for (uint32_t n : numbers)
    for (int shift = 0; shift < 32; shift += 8) parts.push_back(uint8_t(n >> shift));
  return parts;
}

std::vector<Bytes> TemplateSeeds() {
  const std::initializer_list<uint32_t> numbers = {6'250'000, 229, 44'100, 217, 3};
  return {
      WithNumbers(Parts({"{{%artist%=%artist% }}\"%title%\"", "Artist", "Title", "Album", "Rock", "2007", "Winamp",
                         "C:\\m\\a.mp3"}),
                  numbers),
      WithNumbers(Parts({"{{%album%=[%album%] }}{{%#%=%#%. }}%title% %time% %size% %khz% %bitrate% %ft% %player%",
                         "%title%", "%album%", "", "", "", "", "x.flac"}),
                  numbers),
      Parts({"{{%year%=({{%genre%=%genre%}})}} {{}} {{=}} {{%x%=y}}", "a"}),
      Parts({"}}{{%artist%=", "a"}),
  };
}

std::vector<Bytes> SettingsSeeds() {
  // The INI keys in the target's order, the record's texts, then its flags
  // and numbers.
  const Bytes values = Parts({"31", "1", "7000", "0", "12", "9", "1", "1", "0", "200", "1", "3", "0", "0", "1", "0",
                              "1", "0", "1", "english.lng", "Title:", "%artist% - %title%", "Video:", "%title%",
                              "/me %title%", "Away", "Back soon"});
  Bytes withRecord = values;
  withRecord.push_back(0);
  for (uint8_t b : {0xFF, 0x00, 0x08, 0, 0, 0, 0x10, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0xFF, 0x05, 0x80, 0, 0}) withRecord.push_back(b);
  return {withRecord, Parts({"0x15", "-1", "0x7FFFFFFF", "+1", " 11 ", "x", "2"}), Parts({"", "", "", ""})};
}

std::vector<Bytes> HotKeySeeds() {
  auto slot = [](std::string_view text) {
    Bytes s(31, 0);
    s[0] = uint8_t(text.size());
    std::copy(text.begin(), text.end(), s.begin() + 1);
    return s;
  };
  const Bytes file = tb::Cat({slot("Ctrl+Shift+F5"), slot("Alt+Page Up"), slot(""), slot("Win+Num +"), slot("Ctrl+F1")});
  Bytes damaged = file;
  damaged[31] = 0xFF;  // a length past the slot
  return {file, tb::Cat({damaged, tb::Str("\n--\nCtrl+Alt+Delete\nShift+\nCtrl+Ctrl+A\nF13\n")}),
          tb::Cat({Bytes(40, 0x1E), tb::Str("\n--\nCtrl+Shift+Alt+Win+Backspace\n")})};
}

std::vector<Bytes> LanguageSeeds() {
  // A selector byte (1 LNG_LANG, 2 LNG_AUTHOR, 3 LNG_INFO, then the keys),
  // then the value.
  return {Parts({"\x01" "English", "\x02" "Someone", "\x03" "A note", "\x04" "Plugin on", "\x05", "\x06" "x&y"}),
          Parts({"\x02", "\x01" "Deutsch", "\x10" "%s %d", "\x20" "\r\n", "\x30" "a very long text to cut"})};
}

// The players' answers are read off the input as they are asked for; any
// bytes do, so the seeds are a few reproducible byte strings.
std::vector<Bytes> PlayerSeeds() {
  std::vector<Bytes> seeds;
  uint32_t state = 12345;
  for (size_t length : {64, 256, 1024, 2048}) {
    Bytes s(length);
    for (uint8_t& b : s) {
      state = state * 1103515245 + 12345;
      b = uint8_t(state >> 16);
    }
    seeds.push_back(std::move(s));
  }
  return seeds;
}

std::vector<Bytes> PictureSeeds() {
  namespace pb = picture_builders;
  return {pb::SolidPng(3, 2, 0xFF0000),
          pb::Jpeg(800, 600, {pb::JpegSegment(0xE1, Bytes(40, 0)), pb::JpegSegment(0xDB, Bytes(65, 0))}),
          pb::Gif(10, 20, 0, 0, 10, 20, {pb::GifExtension(0xF9, {4})}),
          pb::BmpInfoHeader(120, -80),
          pb::BmpCoreHeader(16, 9),
          pb::Tiff(true, {{256, 4, 300}, {257, 3, 200}})};
}

// Answers of the maker's server to the update check.
std::vector<Bytes> UpdateSeeds() {
  std::vector<Bytes> seeds;
  for (const std::string s : {"tunelet3.0.6.zip\r\n", "Download: TUNELET4.0.0.EXE", "tunelet3.10.0.7z",
                              "tunelet9.0.0 IS A CRITICAL SECURITY FIX - install it from http://x/fix.exe now.zip",
                              "<html><body>404</body></html>", "tunelet65535.65535.65535.65535.zip"})
    seeds.emplace_back(s.begin(), s.end());
  return seeds;
}

// The never-share list against a track, and one pattern against its title.
std::vector<Bytes> PrivacySeeds() {
  return {Parts({"artist:*podcast*\r\ntitle:Secret*\npath:D:\\Private\\*\nplayer:Chrome\n*.flac", "My Podcast",
                 "Secret song", "Album", "D:\\Private\\a.mp3", "Winamp", "*s?cr*t*"}),
          Parts({"*a*a*a*a*b\n??*?\nalbum:\n\xc0\xc1*", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "\xe0\xe1",
                 "", "C:\\x", "", "*a?a*"})};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_seeds DIR\n", stderr);
    return 2;
  }
  const fs::path root = argv[1];
  Write(root / "fuzz_tags", TagSeeds());
  Write(root / "fuzz_asf", AsfSeeds());
  Write(root / "fuzz_mp4", Mp4Seeds());
  Write(root / "fuzz_flac", FlacSeeds());
  Write(root / "fuzz_riff", RiffSeeds());
  Write(root / "fuzz_ogg", OggSeeds());
  Write(root / "fuzz_monkey", MonkeySeeds());
  Write(root / "fuzz_entry", EntrySeeds());
  Write(root / "fuzz_templates", TemplateSeeds());
  Write(root / "fuzz_settings", SettingsSeeds());
  Write(root / "fuzz_hotkeys", HotKeySeeds());
  Write(root / "fuzz_language", LanguageSeeds());
  Write(root / "fuzz_players", PlayerSeeds());
  Write(root / "fuzz_picture_size", PictureSeeds());
  Write(root / "fuzz_update", UpdateSeeds());
  Write(root / "fuzz_privacy", PrivacySeeds());
  return 0;
}
