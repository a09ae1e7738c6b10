#include "media.h"

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

namespace soak {

namespace {

void PutLe(std::string& s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s += char((v >> (8 * i)) & 0xFF);
}

std::string Frame(const char* id, const std::string& body) {
  const uint32_t n = uint32_t(body.size());
  return std::string(id, 4) + char(n >> 24) + char(n >> 16) + char(n >> 8) + char(n) + std::string(2, '\0') + body;
}

// Encoding 1: UTF-16 with a byte-order mark.
std::string TextFrame(const char* id, const std::wstring& text) {
  std::string body = "\x01\xFF\xFE";
  for (wchar_t c : text) body += {char(c & 0xFF), char(c >> 8)};
  return Frame(id, body);
}

// A 16 x 16 24-bit BMP in one colour.
std::string Bmp(uint8_t r, uint8_t g, uint8_t b) {
  constexpr int kSide = 16, kPixels = kSide * kSide * 3, kHeaders = 14 + 40;
  std::string s = "BM";
  PutLe(s, kHeaders + kPixels, 4);
  PutLe(s, 0, 4);
  PutLe(s, kHeaders, 4);
  PutLe(s, 40, 4);
  PutLe(s, kSide, 4);
  PutLe(s, kSide, 4);
  PutLe(s, 1, 2);
  PutLe(s, 24, 2);
  PutLe(s, 0, 4);
  PutLe(s, kPixels, 4);
  PutLe(s, 2835, 4);
  PutLe(s, 2835, 4);
  PutLe(s, 0, 4);
  PutLe(s, 0, 4);
  for (int i = 0; i < kSide * kSide; ++i) s += {char(b), char(g), char(r)};
  return s;
}

// Latin-1 MIME type, front cover (3), empty description.
std::string CoverFrame(const std::string& bmp) {
  return Frame("APIC", std::string("\0image/bmp\0\x03\0", 14) + bmp);
}

void WriteMp3(const MediaTrack& t, const std::string& cover) {
  const std::string frames = TextFrame("TPE1", t.artist) + TextFrame("TIT2", t.title) +
                             TextFrame("TALB", t.album) + CoverFrame(cover);
  const uint32_t n = uint32_t(frames.size());  // synchsafe, 7 bits a byte
  std::string file = std::string("ID3\x03\x00\x00", 6) + char((n >> 21) & 0x7F) + char((n >> 14) & 0x7F) +
                     char((n >> 7) & 0x7F) + char(n & 0x7F) + frames;
  // MPEG-1 Layer III, 128 kbit/s, 44100 Hz: 417-byte frames.
  for (int i = 0; i < 40; ++i) file += std::string("\xFF\xFB\x90\x40", 4) + std::string(413, '\0');
  std::ofstream(std::filesystem::path(t.path), std::ios::binary) << file;
}

}  // namespace

std::vector<MediaTrack> WriteTracks(const std::wstring& folder, int count) {
  static const wchar_t* const kArtists[] = {L"Кино", L"Aurora Lane", L"Ария", L"The Quiet Hours"};
  static const wchar_t* const kTitles[] = {L"Звезда", L"Northern Lights", L"Беспечный ангел", L"Lantern",
                                           L"Группа крови", L"Small Rooms", L"Пачка сигарет", L"Ember"};
  std::vector<MediaTrack> tracks;
  for (int i = 0; i < count; ++i) {
    MediaTrack t;
    t.artist = kArtists[i % std::size(kArtists)];
    t.title = kTitles[i % std::size(kTitles)];
    t.album = L"Альбом " + std::to_wstring(i / 4 + 1);
    t.path = folder + L"\\" + std::to_wstring(i + 1) + L" - " + t.artist + L" - " + t.title + L".mp3";
    WriteMp3(t, Bmp(uint8_t(40 * i), uint8_t(200 - 20 * i), uint8_t(90 + 15 * i)));
    tracks.push_back(std::move(t));
  }
  return tracks;
}

}  // namespace soak
