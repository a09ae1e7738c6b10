#include "metadata/entry_points.h"

#include <cmath>

#include "common/checked_convert.h"
#include "model/settings.h"
#include "metadata/cover.h"
#include "metadata/entry_common.h"
#include "metadata/id3v1.h"
#include "metadata/id3v2.h"
#include "metadata/monkey.h"
#include "metadata/mpeg_audio.h"
#include "metadata/ogg_vorbis.h"
#include "platform/platform.h"
#include "model/file_kind.h"

namespace tunelet {

namespace {

void FillAbsentConverted(OptText& field, const std::string& value) {
  if (!field && !value.empty()) SetConverted(field, value);
}

// The class's ID3v2 value into an absent field: UTF-16 text as it is,
// 8-bit text with the tag code page. An empty value leaves the field absent,
// so the file name can still fill it.
void FillAbsentFromId3v2(OptText& field, const Id3v2Text& value) {
  if (field || value.empty()) return;
  if (value.isWide)
    field.emplace(value.wide);
  else
    SetConverted(field, value.ansi);
}

void ReadMp3Readers(std::u16string_view path, TrackInfo& t) {
  TMPEGaudio mpeg;
  if (mpeg.LoadFromFile(path) && mpeg.Valid()) {
    t.FileSize = uint32_t(mpeg.FileSize);
    t.Bitrate = mpeg.BitRate();
    t.SampleRate = mpeg.Frame.sampleRate;
    t.Duration = TruncatedU32(mpeg.Duration());
  }

  TID3v1 id3v1;
  id3v1.LoadFromFile(path);

  auto file = platform::OpenForRead(path);
  const uint64_t id3v2Length = file ? ReadId3v2Tag(*file, t) : 0;

  // ID3v2 wins; ID3v1 fills what it left out.
  if (id3v2Length >= 2) {
    FillAbsentConverted(t.Artist, id3v1.Artist());
    FillAbsentConverted(t.Title, id3v1.Title());
    FillAbsentConverted(t.Album, id3v1.Album());
    FillAbsentConverted(t.Genre, id3v1.GenreName());
    FillAbsentConverted(t.Year, id3v1.Year);
    if (t.TrackNumber == 0 && id3v1.Track > 0) t.TrackNumber = id3v1.Track;
  } else if (id3v1.Exists) {
    SetConverted(t.Title, id3v1.Title());
    SetConverted(t.Artist, id3v1.Artist());
    SetConverted(t.Album, id3v1.Album());
    SetConverted(t.Genre, id3v1.GenreName());
    SetConverted(t.Year, id3v1.Year);
    t.TrackNumber = id3v1.Track;
  }
  // The ID3v1 comment and the Lyrics3 lyrics where the ID3v2 tag has none.
  FillAbsentConverted(t.Comment, id3v1.Comment);
  if (!t.Lyrics) SetText(t.Lyrics, id3v1.Lyrics);
}

void ReadOggReaders(std::u16string_view path, TrackInfo& t) {
  TOggVorbis ogg;
  if (!ogg.LoadFromFile(path) || !ogg.Valid()) return;
  // Vorbis comments are UTF-8 and stay as decoded. A missing or empty
  // comment leaves its field absent: an untagged file still gets its name.
  SetText(t.Title, ogg.Title);
  SetText(t.Artist, ogg.Artist);
  SetText(t.Album, ogg.Album);
  SetText(t.Genre, ogg.Genre);
  SetText(t.Year, ogg.Date);
  SetText(t.Comment, ogg.Comment.empty() ? ogg.Description : ogg.Comment);
  SetText(t.Lyrics, ogg.Lyrics);
  if (!ogg.CoverData.empty()) t.CoverFile = SaveCoverImage(ogg.CoverData, ogg.CoverType);
  t.TrackNumber = ogg.Track;
  t.FileSize = uint32_t(ogg.FileSize);
  t.Bitrate = ogg.BitRate();
  t.SampleRate = ogg.SampleRate;
  t.Duration = TruncatedU32(ogg.Duration());
}

void ReadApeReaders(std::u16string_view path, TrackInfo& t) {
  TMonkey monkey;
  monkey.LoadFromFile(path);
  if (monkey.APEtag.Exists) {
    const TAPETag& ape = monkey.APEtag;
    SetText(t.Title, Utf8ToUtf16(ape.GetItem("Title")));
    SetText(t.Artist, Utf8ToUtf16(ape.GetItem("Artist")));
    SetText(t.Album, Utf8ToUtf16(ape.GetItem("Album")));
    SetText(t.Genre, Utf8ToUtf16(ape.GetItem("Genre")));
    SetText(t.Year, Utf8ToUtf16(ape.GetItem("Year")));
    SetText(t.Comment, Utf8ToUtf16(ape.GetItem("Comment")));
    SetText(t.Lyrics, Utf8ToUtf16(ape.GetItem("Lyrics")));
    t.TrackNumber = LeadingDigits(ape.GetItem("Track"));
    if (!ape.Cover.empty()) t.CoverFile = SaveCoverImage(ape.Cover, ImageTypeFromData(ape.Cover), u"cover");
  }
  if (monkey.ID3v2.Exists) {
    FillAbsentFromId3v2(t.Title, monkey.ID3v2.Title);
    FillAbsentFromId3v2(t.Artist, monkey.ID3v2.Artist);
    FillAbsentFromId3v2(t.Album, monkey.ID3v2.Album);
    FillAbsentFromId3v2(t.Genre, monkey.ID3v2.Genre);
    FillAbsentFromId3v2(t.Year, monkey.ID3v2.Year);
    if (t.TrackNumber == 0) t.TrackNumber = monkey.ID3v2.Track;
  }
  if (monkey.ID3v1.Exists) {
    // The ID3v1 tag at the end fills what the other two left absent.
    const TID3v1& v1 = monkey.ID3v1;
    FillAbsentConverted(t.Title, v1.Title());
    FillAbsentConverted(t.Artist, v1.Artist());
    FillAbsentConverted(t.Album, v1.Album());
    FillAbsentConverted(t.Genre, v1.GenreName());
    FillAbsentConverted(t.Year, v1.Year);
    FillAbsentConverted(t.Comment, v1.Comment);
    if (t.TrackNumber == 0) t.TrackNumber = v1.Track;
  }
  if (monkey.Valid) {
    t.Bitrate = RoundedU32(monkey.BitRate / 1000000.0);
    t.Duration = TruncatedU32(monkey.Duration);
    t.SampleRate = monkey.SampleRate;
  }
  t.FileSize = platform::FileSizeFromDirectory(path);
}

}  // namespace

int ReadMp3Info(std::u16string_view path) {
  return RunEntryPoint(path, [&](TrackInfo& t) { ReadMp3Readers(path, t); });
}

int ReadOggInfo(std::u16string_view path) {
  return RunEntryPoint(path, [&](TrackInfo& t) { ReadOggReaders(path, t); });
}

int ReadApeInfo(std::u16string_view path) {
  return RunEntryPoint(path, [&](TrackInfo& t) { ReadApeReaders(path, t); });
}

int ReadNameOnlyInfo(std::u16string_view path) {
  return RunEntryPoint(
      path, [&](TrackInfo& t) { t.FileSize = platform::FileSizeFromDirectory(path); }, NameFallback::kNameOnly);
}

int ClassifyAndRead(std::u16string_view path) {
  const std::u16string ext = FileExtension(path);
  auto is = [&](std::initializer_list<std::u16string_view> names) {
    for (auto n : names)
      if (ext == n) return true;
    return false;
  };
  if (is({u"MP3"})) return ReadMp3Info(path);
  if (is({u"OGG"})) return ReadOggInfo(path);
  if (is({u"WMA"})) return ReadWmaInfo(path);
  if (is({u"APE"})) return ReadApeInfo(path);
  if (is({u"WAV", u"WV"})) return ReadWavInfo(path);
  if (is({u"M4A", u"MP4"})) return ReadMp4Info(path);
  if (is({u"FLAC"})) return ReadFlacInfo(path);
  if (is({u"AVI", u"MPEG", u"MPG", u"WMV", u"MOV", u"MKV", u"FLV"})) return ReadNameOnlyInfo(path);
  return 0;
}

}  // namespace tunelet
