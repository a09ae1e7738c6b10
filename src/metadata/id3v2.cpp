#include "metadata/id3v2.h"

#include <algorithm>
#include <array>
#include <vector>

#include "metadata/cover.h"
#include "metadata/entry_common.h"
#include "metadata/genres.h"
#include "metadata/tag_text.h"

namespace tunelet {

namespace {

// A tag is read into memory whole; covers make tags of a few MB normal, and
// nothing beyond this is read even when the header claims up to 256 MB.
constexpr size_t kMaxId3v2TagBytes = 16u << 20;
constexpr int kMaxId3v2Frames = 4096;
// The tag class keeps at most this much of each frame.
constexpr size_t kMaxClassFrameBytes = 500;

// Reverses unsynchronisation: every FF 00 pair is read as FF.
std::vector<uint8_t> RemoveUnsynchronisation(ByteSpan in) {
  std::vector<uint8_t> out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    out.push_back(in[i]);
    if (in[i] == 0xFF && i + 1 < in.size() && in[i + 1] == 0x00) ++i;
  }
  return out;
}

// Length of the extended header that starts the frame area (at most the
// whole body). Version 3 stores a big-endian size without itself, version
// 4 a 7-bit-group size that counts itself.
size_t ExtendedHeaderLength(ByteSpan body, uint8_t major) {
  if (body.size() < 4) return body.size();
  if (major == 3) {
    const uint64_t n = uint64_t(LoadU32be(body, 0)) + 4;
    return n > body.size() ? body.size() : size_t(n);
  }
  const uint32_t n = SynchsafeToUInt(body[0], body[1], body[2], body[3]);
  return n > body.size() ? body.size() : std::max<size_t>(n, 4);
}

struct FrameHeader {
  std::array<char, 5> id{};  // NUL-terminated
  uint32_t size = 0;
  uint8_t flags1 = 0, flags2 = 0;
  std::string_view name() const { return std::string_view(id.data()); }
};

// Reads a frame header at the cursor (6 bytes in version 2, else 10).
bool ReadFrameHeader(ByteReader& r, uint8_t major, FrameHeader& h) {
  const size_t idLen = major == 2 ? 3 : 4;
  if (r.remaining() < (major == 2 ? 6u : 10u)) return false;
  const ByteSpan id = r.bytes(idLen);
  for (size_t i = 0; i < idLen; ++i) h.id[i] = char(id[i]);
  h.id[idLen] = 0;
  if (major == 2) {
    h.size = r.u24be();
  } else {
    const ByteSpan s = r.bytes(4);
    h.size = major == 4 ? SynchsafeToUInt(s[0], s[1], s[2], s[3]) : LoadU32be(s, 0);
    h.flags1 = r.u8();
    h.flags2 = r.u8();
  }
  return r.ok();
}

// Version 2 identifiers of the frames read, and the later names they map to.
std::string_view CanonicalFrameId(std::string_view id, uint8_t major) {
  if (major != 2) return id;
  static constexpr std::pair<std::string_view, std::string_view> kMap[] = {
      {"TT2", "TIT2"}, {"TT1", "TIT1"}, {"TP1", "TPE1"}, {"TOA", "TOPE"}, {"TAL", "TALB"},
      {"TYE", "TYER"}, {"TRK", "TRCK"}, {"TCO", "TCON"}, {"COM", "COMM"}, {"ULT", "USLT"},
      {"SLT", "SYLT"}, {"TXX", "TXXX"}, {"PIC", "APIC"}};
  for (const auto& [v2, name] : kMap)
    if (id == v2) return name;
  return {};
}

bool IsWideEncoding(uint8_t enc) { return enc == 1 || enc == 2; }

// Text in the frame's encoding: 0 ANSI, 1 UTF-16 with a byte-order mark,
// 2 UTF-16 big-endian, 3 UTF-8. Eight-bit text ends at its first NUL.
std::u16string DecodeFrameText(uint8_t enc, ByteSpan bytes) {
  if (enc == 1) return DecodeUtf16(bytes, false);
  if (enc == 2) return DecodeUtf16(bytes, true);
  const std::string_view s = CutAtNul(AsChars(bytes));
  return enc == 3 ? Utf8ToUtf16(s) : AnsiToUtf16(s);
}

// Where the terminator at or after pos starts (one zero byte, or an aligned
// zero unit in the UTF-16 encodings); the data's end when there is none.
size_t FindTerminator(ByteSpan d, size_t pos, uint8_t enc) {
  if (pos >= d.size()) return d.size();
  if (IsWideEncoding(enc)) {
    for (size_t i = pos; d.size() - i >= 2; i += 2)
      if (d[i] == 0 && d[i + 1] == 0) return i;
    return d.size();
  }
  for (size_t i = pos; i < d.size(); ++i)
    if (d[i] == 0) return i;
  return d.size();
}

// Position just after that terminator (the data's end when there is none).
size_t SkipTerminated(ByteSpan d, size_t pos, uint8_t enc) {
  const size_t t = FindTerminator(d, pos, enc);
  return t == d.size() ? t : t + (IsWideEncoding(enc) ? 2 : 1);
}

// Score of a text frame: how much its encoding can be trusted.
int EncodingScore(uint8_t enc) {
  if (enc == 0) return 1;
  if (enc <= 3) return 3;
  return enc;
}

// A known genre number written bare, as version 2.4 does ("17"); false for
// any other text.
bool IsBareGenreNumber(std::u16string_view text) {
  if (text.empty() || text.size() > 3) return false;
  for (char16_t c : text)
    if (c < u'0' || c > u'9') return false;
  return !StringTableGenre(int(LeadingDigits(text))).empty();
}

// "(17)" and "17" name genre 17, "(17)Rock" is "Rock", anything else stays
// as it is.
OptText GenreFromText(std::u16string_view text) {
  if (IsBareGenreNumber(text)) return OptText(StringTableGenre(int(LeadingDigits(text))));
  if (text.empty() || text[0] != u'(') return OptText(text);
  const size_t close = text.find(u')');
  if (close == std::u16string_view::npos) return OptText(text);
  if (close + 1 < text.size()) return OptText(text.substr(close + 1));
  const std::u16string_view inner = text.substr(1, close - 1);
  if (inner.empty() || inner[0] < u'0' || inner[0] > u'9') return OptText(text);
  const std::u16string_view name = StringTableGenre(int(std::min<uint32_t>(LeadingDigits(inner), 1000)));
  return name.empty() ? OptText() : OptText(name);
}

class FrameWalker {
 public:
  FrameWalker(TrackInfo& info, uint8_t major) : info_(info), major_(major) {}

  void Walk(ByteSpan frames, bool tagUnsync) {
    ByteReader r(frames);
    for (int n = 0; n < kMaxId3v2Frames; ++n) {
      FrameHeader h;
      if (!ReadFrameHeader(r, major_, h) || h.id[0] == 0) return;
      if (h.size == 0) continue;
      if (h.size > r.remaining()) return;
      ByteSpan data = r.bytes(h.size);
      if (major_ >= 3 && IsCompressedOrEncrypted(h)) continue;
      if (major_ == 4 && (h.flags2 & 0x01)) {  // data-length indicator before the data
        if (data.size() < 4) continue;
        data = data.subspan(4);
      }
      std::vector<uint8_t> decoded;
      if (major_ == 4 && (tagUnsync || (h.flags2 & 0x02))) {
        decoded = RemoveUnsynchronisation(data);
        data = decoded;
      }
      Dispatch(CanonicalFrameId(h.name(), major_), data, major_ == 2 && h.name() == "PIC");
    }
  }

 private:
  bool IsCompressedOrEncrypted(const FrameHeader& h) const {
    return major_ == 3 ? (h.flags2 & 0xC0) != 0 : (h.flags2 & 0x0C) != 0;
  }

  // Title, artist and album: the frame replaces the value when its score
  // beats the best so far; main frames (TIT2, TPE1, TALB) add 10.
  void Scored(OptText& field, int& best, ByteSpan data, bool mainFrame) {
    const int score = EncodingScore(data[0]) + (mainFrame ? 10 : 0);
    if (score <= best) return;
    if (data.size() < 2) {
      field.reset();
      return;
    }
    std::u16string text = DecodeFrameText(data[0], data.subspan(1));
    if (text.empty()) return;
    field = std::move(text);
    best = score;
  }

  // A text frame for a field that takes it (always or only while absent).
  void Text(OptText& field, ByteSpan data) {
    if (data.size() < 2) {
      field.reset();
      return;
    }
    std::u16string text = DecodeFrameText(data[0], data.subspan(1));
    if (!text.empty()) field = std::move(text);
  }

  // COMM and USLT: encoding, language (3 bytes), description, text.
  void CommentLike(OptText& field, ByteSpan data) {
    if (field || data.size() < 5) return;
    const uint8_t enc = data[0];
    const size_t textPos = SkipTerminated(data, 4, enc);
    SetText(field, DecodeFrameText(enc, data.subspan(textPos)));
  }

  // COMM: the plain comment (empty description) is the user's; a described
  // one stands in only until a plain one comes. Players write their own
  // housekeeping into described comments ("iTunNORM", "iTunes_CDDB_1", ...):
  // numbers that are no comment at all.
  void Comment(ByteSpan data) {
    if (data.size() < 5) return;
    const uint8_t enc = data[0];
    const size_t descriptionEnd = FindTerminator(data, 4, enc);
    const std::u16string description = DecodeFrameText(enc, data.subspan(4, descriptionEnd - 4));
    const bool plain = description.empty();
    if (!plain && IsPlayerHousekeeping(description)) return;
    if (info_.Comment && !(plain && commentIsDescribed_)) return;
    OptText text;
    SetText(text, DecodeFrameText(enc, data.subspan(SkipTerminated(data, 4, enc))));
    if (!text) return;
    info_.Comment = std::move(text);
    commentIsDescribed_ = !plain;
  }

  static bool IsPlayerHousekeeping(std::u16string_view description) {
    return description.starts_with(u"iTun");
  }

  // SYLT: encoding, language, time-stamp format, content type (1 = lyrics),
  // description, then pieces of text each followed by its terminator and a
  // 4-byte time stamp; the pieces are joined.
  void SynchronisedLyrics(ByteSpan data) {
    if (info_.Lyrics || data.size() < 6 || data[5] != 1) return;
    const uint8_t enc = data[0];
    std::string bytes;
    std::u16string wide;
    size_t pos = SkipTerminated(data, 6, enc);
    while (pos < data.size()) {
      const size_t term = FindTerminator(data, pos, enc);
      const ByteSpan piece = data.subspan(pos, term - pos);
      if (IsWideEncoding(enc))
        wide += DecodeUtf16(piece, enc == 2);
      else
        bytes.append(AsChars(piece));
      const size_t next = SkipTerminated(data, pos, enc);
      pos = data.size() - next >= 4 ? next + 4 : data.size();
    }
    if (IsWideEncoding(enc))
      SetText(info_.Lyrics, wide);
    else
      SetText(info_.Lyrics, enc == 3 ? Utf8ToUtf16(bytes) : AnsiToUtf16(bytes));
  }

  // TXXX with the description "LYRICS": its value is the lyrics.
  void UserTextLyrics(ByteSpan data) {
    if (info_.Lyrics || data.size() < 2) return;
    const uint8_t enc = data[0];
    const size_t descEnd = FindTerminator(data, 1, enc);
    if (DecodeFrameText(enc, data.subspan(1, descEnd - 1)) != u"LYRICS") return;
    SetText(info_.Lyrics, DecodeFrameText(enc, data.subspan(SkipTerminated(data, 1, enc))));
  }

  // APIC (MIME type) / PIC (3-character format): the first front, back,
  // media or other picture goes to a temporary file.
  void Picture(ByteSpan data, bool v2Pic) {
    if (info_.CoverFile || data.size() < 2) return;
    const uint8_t enc = data[0];
    std::string_view mime;
    size_t pos;
    ImageType formatType = ImageType::kNone;
    if (v2Pic) {
      if (data.size() < 5) return;
      mime = AsChars(data.subspan(1, 3));
      pos = 4;
      if (EqualsIgnoreCase(AsciiToUtf16(mime), u"JPG")) formatType = ImageType::kJpg;
      else if (EqualsIgnoreCase(AsciiToUtf16(mime), u"PNG")) formatType = ImageType::kPng;
      else if (EqualsIgnoreCase(AsciiToUtf16(mime), u"GIF")) formatType = ImageType::kGif;
      else if (EqualsIgnoreCase(AsciiToUtf16(mime), u"BMP")) formatType = ImageType::kBmp;
    } else {
      pos = SkipTerminated(data, 1, 0);
      mime = CutAtNul(AsChars(data.subspan(1, pos - 1)));
    }
    if (mime.starts_with("-->")) return;  // a link, not a picture
    if (pos >= data.size()) return;
    const uint8_t pictureType = data[pos++];
    if (pictureType != 0 && pictureType != 3 && pictureType != 4 && pictureType != 6) return;
    pos = SkipTerminated(data, pos, enc);
    const ByteSpan image = data.subspan(pos);
    const ImageType type = formatType != ImageType::kNone ? formatType : DetectImageType(mime, image);
    info_.CoverFile = SaveCoverImage(image, type);
  }

  void Dispatch(std::string_view id, ByteSpan data, bool v2Pic) {
    if (id.empty() || data.empty()) return;
    if (id == "TIT2") Scored(info_.Title, bestTitle_, data, true);
    else if (id == "TIT1" || id == "TIT3") Scored(info_.Title, bestTitle_, data, false);
    else if (id == "TPE1") Scored(info_.Artist, bestArtist_, data, true);
    else if (id == "TPE2" || id == "TPE4" || id == "TOPE") Scored(info_.Artist, bestArtist_, data, false);
    else if (id == "TALB") Scored(info_.Album, bestAlbum_, data, true);
    else if (id == "TOAL") Scored(info_.Album, bestAlbum_, data, false);
    else if (id == "TYER" || id == "TDRC") Text(info_.Year, data);
    else if (id == "TORY") { if (!info_.Year) Text(info_.Year, data); }
    else if (id == "TRCK") {
      if (info_.TrackNumber == 0 && data.size() >= 2)
        info_.TrackNumber = LeadingDigits(DecodeFrameText(data[0], data.subspan(1)));
    } else if (id == "TCON") {
      if (!info_.Genre && data.size() >= 2) info_.Genre = GenreFromText(DecodeFrameText(data[0], data.subspan(1)));
      if (info_.Genre && info_.Genre->empty()) info_.Genre.reset();
    }
    else if (id == "COMM") Comment(data);
    else if (id == "USLT") CommentLike(info_.Lyrics, data);
    else if (id == "SYLT") SynchronisedLyrics(data);
    else if (id == "TXXX") UserTextLyrics(data);
    else if (id == "APIC") Picture(data, v2Pic);
  }

  TrackInfo& info_;
  uint8_t major_;
  int bestTitle_ = 0, bestArtist_ = 0, bestAlbum_ = 0;
  bool commentIsDescribed_ = false;  // Comment came from a described COMM frame
};

// The tag bytes after the header, read into memory (at most the cap).
std::vector<uint8_t> ReadTagBody(platform::ReadableFile& file, const Id3v2Header& h) {
  const uint64_t avail = file.Size() > kId3v2HeaderSize ? file.Size() - kId3v2HeaderSize : 0;
  const uint64_t want = std::min<uint64_t>({h.size, avail, kMaxId3v2TagBytes});
  return file.Read(kId3v2HeaderSize, size_t(want));
}

// Frame area of the body: after the extended header, with a version 2/3
// tag's unsynchronisation undone (it covers frame headers there too).
std::vector<uint8_t> FrameArea(std::vector<uint8_t> body, const Id3v2Header& h) {
  if (h.major < 4 && h.unsynchronised()) body = RemoveUnsynchronisation(body);
  if (h.extended() && h.major >= 3) body.erase(body.begin(), body.begin() + ptrdiff_t(ExtendedHeaderLength(body, h.major)));
  return body;
}

// --- the tag class

// Encoding 0 stays 8-bit (converted later with the tag code page); the
// Unicode encodings 1-3 are decoded to UTF-16 here.
Id3v2Text ClassText(ByteSpan data) {
  Id3v2Text t;
  if (data.empty()) return t;
  if (data[0] != 0) {
    t.isWide = true;
    t.wide = std::u16string(TrimBlanks(DecodeFrameText(data[0], data.subspan(1))));
  } else {
    t.ansi = std::string(TrimBlanks(CutAtNul(AsChars(data.subspan(1)))));
  }
  return t;
}

std::string ClassAnsiOrAscii(const Id3v2Text& t) {
  if (!t.isWide) return t.ansi;
  std::string s;
  for (char16_t c : t.wide) s.push_back(c < 0x80 ? char(c) : '?');
  return s;
}

}  // namespace

uint32_t SynchsafeToUInt(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  return uint32_t(b0) * (1u << 21) + uint32_t(b1) * (1u << 14) + uint32_t(b2) * (1u << 7) + b3;
}

bool ParseId3v2Header(ByteSpan b, Id3v2Header& out) {
  out = {};
  if (b.size() < kId3v2HeaderSize || !BytesEqual(b, 0, "ID3")) return false;
  out.major = b[3];
  out.revision = b[4];
  out.flags = b[5];
  out.size = SynchsafeToUInt(b[6], b[7], b[8], b[9]);
  return true;
}

uint64_t Id3v2TagLength(platform::ReadableFile& file) {
  Id3v2Header h;
  return ParseId3v2Header(file.Read(0, kId3v2HeaderSize), h) ? h.totalLength() : 0;
}

uint64_t ReadId3v2Tag(platform::ReadableFile& file, TrackInfo& info) {
  Id3v2Header h;
  if (!ParseId3v2Header(file.Read(0, kId3v2HeaderSize), h)) return 0;
  if (h.major >= 2 && h.major <= 4 && h.revision == 0) {
    const std::vector<uint8_t> frames = FrameArea(ReadTagBody(file, h), h);
    FrameWalker(info, h.major).Walk(frames, h.unsynchronised());
  }
  return h.totalLength();
}

bool TID3v2::LoadFromFile(std::u16string_view path) {
  *this = TID3v2{};
  auto file = platform::OpenForRead(path);
  return file && LoadFromFile(*file);
}

bool TID3v2::LoadFromFile(platform::ReadableFile& file) {
  *this = TID3v2{};
  const std::vector<uint8_t> head = file.Read(0, kId3v2HeaderSize);
  if (head.size() < kId3v2HeaderSize && file.Size() >= kId3v2HeaderSize) return false;
  Id3v2Header h;
  if (!ParseId3v2Header(head, h) || h.major < 2 || h.major > 4 || h.size == 0) return true;
  Exists = true;
  VersionId = h.major;
  Size = uint32_t(std::min<uint64_t>(h.totalLength(), 0xFFFFFFFFu));
  if (file.Size() < h.totalLength()) return true;

  Id3v2Text tit2, tit1, tpe1, tope, talb, toal, trck, tyer, tdrc, tcon;
  const std::vector<uint8_t> area = FrameArea(ReadTagBody(file, h), h);
  ByteReader r(area);
  for (int n = 0; n < kMaxId3v2Frames; ++n) {
    FrameHeader fh;
    if (!ReadFrameHeader(r, h.major, fh) || fh.id[0] < 'A' || fh.id[0] > 'Z') break;
    const size_t frameSize = size_t(std::min<uint64_t>(fh.size, r.remaining()));
    const ByteSpan data = r.bytes(frameSize).first(std::min(frameSize, kMaxClassFrameBytes));
    if (h.major >= 3 && (fh.flags2 & 0x80)) continue;
    if (data.empty() || data[0] > 3) continue;
    const std::string_view id = CanonicalFrameId(fh.name(), h.major);
    const std::string_view v2 = fh.name();
    Id3v2Text* slot = nullptr;
    if (id == "TIT2") slot = &tit2;
    else if (id == "TIT1") slot = &tit1;
    else if (id == "TPE1") slot = &tpe1;
    else if (id == "TOPE") slot = &tope;
    else if (id == "TALB") slot = &talb;
    else if (id == "TOAL" || (h.major == 2 && v2 == "TOT")) slot = &toal;
    else if (id == "TRCK") slot = &trck;
    else if (id == "TYER") slot = &tyer;
    else if (id == "TDRC" || (h.major == 2 && v2 == "TOR")) slot = &tdrc;
    else if (id == "TCON") slot = &tcon;
    if (slot) *slot = ClassText(data);
  }

  Title = tit2.empty() ? tit1 : tit2;
  Artist = tpe1.empty() ? tope : tpe1;
  Album = talb.empty() ? toal : talb;
  const std::string track = ClassAnsiOrAscii(trck);
  Track = ParseDecimal(TrimBlanks(std::string_view(track).substr(0, std::string_view(track).find('/')))).value_or(0);
  if (!tyer.empty()) {
    Year = tyer;
  } else {
    Year = tdrc;
    if (Year.isWide) Year.wide = Year.wide.substr(0, 4);
    else Year.ansi = Year.ansi.substr(0, 4);
  }
  Genre = tcon;
  if (Genre.isWide) {
    const size_t close = Genre.wide.rfind(u')');
    if (close != std::u16string::npos) Genre.wide.erase(0, close + 1);
  } else {
    const size_t close = Genre.ansi.rfind(')');
    if (close != std::string::npos) Genre.ansi.erase(0, close + 1);
  }
  return true;
}

}  // namespace tunelet
