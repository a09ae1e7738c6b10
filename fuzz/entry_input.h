// The layout of fuzz_entry's input, read by the target and written by
// make_seeds:
//   byte 0      extension: index into kEntryExtensions (modulo its size)
//   byte 1      bit 0 Getfromname, bit 1 a_u = 1, bits 2..7 the player (mod 21)
//   bytes 2..5  the player's bit-rate answer, int32 little-endian
//   byte 6      length n of the file name (at most kMaxEntryName)
//   n bytes     the file name, one character a byte (see NameCharacter)
//   the rest    the file's bytes
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_reader.h"

namespace tunelet::fuzz {

// Every extension ClassifyAndRead knows, in mixed case, and one it does not.
inline constexpr std::array<std::u16string_view, 17> kEntryExtensions = {
    u"mp3", u"OGG", u"wma", u"Ape", u"wav", u"WV", u"m4a", u"MP4", u"flac",
    u"avi", u"MPEG", u"mpg", u"wmv", u"mov", u"mkv", u"FLV", u"xyz"};
inline constexpr size_t kEntryHeader = 7;
inline constexpr size_t kMaxEntryName = 64;
inline constexpr uint8_t kPlayerCount = 21;

struct EntryInput {
  bool getFromName = false;
  bool cyrillic = false;
  uint8_t player = 0;
  int32_t playerBitrate = 0;
  std::u16string name;  // with "." and the extension
  ByteSpan file;
};

// A file name character: the separators '/' and NUL (which no POSIX file
// name holds) and other control bytes become '_', bytes from 0x80 up
// Cyrillic letters, so that names in the user's code pages come up too.
inline char16_t NameCharacter(uint8_t b) {
  if (b < 0x20 || b == '/') return u'_';
  if (b >= 0x80) return char16_t(0x0400 + (b - 0x80));
  return char16_t(b);
}

inline std::optional<EntryInput> SplitEntryInput(const uint8_t* data, size_t size) {
  if (size < kEntryHeader) return std::nullopt;
  EntryInput in;
  const std::u16string_view ext = kEntryExtensions[data[0] % kEntryExtensions.size()];
  in.getFromName = data[1] & 1;
  in.cyrillic = data[1] & 2;
  in.player = uint8_t((data[1] >> 2) % kPlayerCount);
  in.playerBitrate = int32_t(uint32_t(data[2]) | uint32_t(data[3]) << 8 | uint32_t(data[4]) << 16 |
                             uint32_t(data[5]) << 24);
  const size_t nameLength = data[6] % (kMaxEntryName + 1);
  if (size - kEntryHeader < nameLength) return std::nullopt;
  for (size_t i = 0; i < nameLength; ++i) in.name += NameCharacter(data[kEntryHeader + i]);
  in.name += u'.';
  in.name += ext;
  in.file = ByteSpan(data + kEntryHeader + nameLength, size - kEntryHeader - nameLength);
  return in;
}

// The input that gives the file bytes the name (ASCII) and extension index.
inline std::vector<uint8_t> MakeEntryInput(size_t extension, uint8_t settings, int32_t bitrate, std::string_view name,
                                           const std::vector<uint8_t>& file) {
  std::vector<uint8_t> out = {uint8_t(extension), settings};
  for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(uint32_t(bitrate) >> shift));
  out.push_back(uint8_t(name.size()));
  out.insert(out.end(), name.begin(), name.end());
  out.insert(out.end(), file.begin(), file.end());
  return out;
}

}  // namespace tunelet::fuzz
