#include "metadata/riff.h"

#include <optional>

#include "common/byte_reader.h"
#include "common/checked_convert.h"
#include "metadata/ape_tag.h"
#include "metadata/container_util.h"
#include "metadata/entry_common.h"
#include "metadata/id3v1.h"
#include "metadata/id3v2.h"
#include "metadata/memory_file.h"
#include "metadata/tag_text.h"

namespace tunelet {

namespace {

// Real files have a handful of chunks before "data"; the cap bounds a walk
// over a file made of empty chunks.
constexpr int kMaxRiffChunks = 10000;
// Tag chunks hold text and at most a cover picture.
constexpr uint32_t kMaxTagChunkBytes = 16u << 20;
// Chunks looked at after "data" (tags some writers append at the end).
constexpr int kMaxChunksAfterData = 16;
constexpr size_t kWavPackBlockHeaderSize = 32;
constexpr size_t kWavPackSubBlockHeaderSize = 2;
constexpr uint32_t kWavPackUnknownSamples = 0xFFFFFFFFu;

struct Chunk {
  uint8_t id[4] = {};
  uint32_t size = 0;
  bool is(std::string_view t) const { return container::BytesAre(id, t); }
};

bool ReadChunkHeader(platform::ReadableFile& file, uint64_t pos, Chunk& c) {
  uint8_t h[8];
  if (file.ReadAt(pos, h, sizeof h) != sizeof h) return false;
  for (int i = 0; i < 4; ++i) c.id[i] = h[i];
  c.size = LoadU32le(ByteSpan(h, 8), 4);
  return true;
}

// Chunk bodies are padded to an even length.
uint64_t NextChunk(uint64_t pos, const Chunk& c) { return pos + 8 + c.size + (c.size & 1u); }

struct Format {
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint16_t bitsPerSample = 0;
};

// Tag chunks of a plain WAVE file, kept until the walk is done: a "LIST"
// chunk of type "INFO", and an "id3 " chunk holding an ID3v2 tag.
struct TagChunks {
  std::vector<uint8_t> info, id3;
};

// Reads a tag chunk's body into out (the first of its kind only).
void KeepTagChunk(platform::ReadableFile& file, uint64_t pos, const Chunk& c, std::vector<uint8_t>& out) {
  if (!out.empty() || c.size > kMaxTagChunkBytes) return;
  if (!container::ReadExact(file, pos + 8, c.size, out)) out.clear();
}

void ReadTagChunk(platform::ReadableFile& file, uint64_t pos, const Chunk& c, TagChunks& tags) {
  if (c.is("id3 ") || c.is("ID3 ")) {
    KeepTagChunk(file, pos, c, tags.id3);
  } else if (c.is("LIST") && c.size >= 4) {
    uint8_t type[4];
    if (file.ReadAt(pos + 8, type, 4) == 4 && container::BytesAre(type, "INFO")) KeepTagChunk(file, pos, c, tags.info);
  }
}

// "INFO" sub-chunks: a four-character id, a 32-bit length, 8-bit text
// (NUL-terminated), padded to an even length.
void ApplyInfoList(ByteSpan list, TrackInfo& info) {
  ByteReader r(list);
  r.skip(4);  // "INFO"
  for (int n = 0; n < kMaxRiffChunks && r.remaining() >= 8; ++n) {
    const ByteSpan id = r.bytes(4);
    const uint32_t size = r.u32le();
    const ByteSpan value = r.bytes(size);
    if (!r.ok()) return;
    if (size & 1u) r.skip(1);
    const std::u16string text = AnsiToUtf16(TrimBlanks(CutAtNul(container::AsChars(value))));
    auto fill = [&](OptText& field) {
      if (!field) SetText(field, text);
    };
    const std::string_view name = container::AsChars(id);
    if (name == "INAM") fill(info.Title);
    else if (name == "IART") fill(info.Artist);
    else if (name == "IPRD") fill(info.Album);
    else if (name == "ICRD") fill(info.Year);
    else if (name == "IGNR") fill(info.Genre);
    else if (name == "ICMT") fill(info.Comment);
    else if ((name == "ITRK" || name == "IPRT") && info.TrackNumber == 0) info.TrackNumber = LeadingDigits(text);
  }
}

// The ID3v2 tag wins; INFO fills what it left absent.
void ApplyTagChunks(const TagChunks& tags, TrackInfo& info) {
  if (!tags.id3.empty()) {
    MemoryFile id3(tags.id3);
    ReadId3v2Tag(id3, info);
  }
  if (!tags.info.empty()) ApplyInfoList(tags.info, info);
}

}  // namespace

bool ReadRiffInfo(TrackInfo& info) {
  auto file = platform::OpenForRead(View(info.FilePath));
  if (!file) return false;
  return ReadRiffInfo(*file, info);
}

namespace {

// The RIFF header at pos: "RIFF", size, "WAVE", then the chunks. Fills fmt,
// totalSamples (from "fact") and dataAmount; false on a read error or when
// no "fmt " chunk comes before "data".
bool ReadWaveChunks(platform::ReadableFile& file, uint64_t pos, Format& fmt, std::optional<uint64_t>& totalSamples,
                    uint64_t& dataAmount, TagChunks* tags) {
  const uint64_t fileSize = file.Size();
  uint8_t riff[12];
  if (file.ReadAt(pos, riff, sizeof riff) != sizeof riff) return false;
  if (!container::BytesAre(riff, "RIFF") || !container::BytesAre(riff + 8, "WAVE")) return false;
  pos += sizeof riff;

  // "fmt " normally comes first; chunks such as "JUNK" or "bext" may precede it.
  Chunk c;
  int chunks = 0;
  for (;; ++chunks) {
    if (chunks == kMaxRiffChunks || !ReadChunkHeader(file, pos, c) || c.is("data")) return false;
    if (c.is("fmt ")) break;
    if (tags) ReadTagChunk(file, pos, c, *tags);
    pos = NextChunk(pos, c);
  }
  uint8_t f[16];
  if (c.size < sizeof f || file.ReadAt(pos + 8, f, sizeof f) != sizeof f) return false;
  // format tag, channels, sample rate, average bytes/s, block align, bits
  const ByteSpan fs(f, sizeof f);
  fmt.channels = LoadU16le(fs, 2);
  fmt.sampleRate = LoadU32le(fs, 4);
  fmt.bitsPerSample = LoadU16le(fs, 14);
  pos = NextChunk(pos, c);

  // "fact" holds the length in samples (per channel); "data" the audio bytes.
  for (; chunks < kMaxRiffChunks && pos < fileSize; ++chunks) {
    if (!ReadChunkHeader(file, pos, c)) break;
    if (c.is("data")) {
      dataAmount = c.size;
      break;
    }
    if (c.is("fact")) {
      uint8_t v[4];
      if (file.ReadAt(pos + 8, v, 4) == 4 && !totalSamples) totalSamples = LoadU32le(ByteSpan(v, 4), 0);
    }
    if (tags) ReadTagChunk(file, pos, c, *tags);
    pos = NextChunk(pos, c);
  }
  // Tag chunks after the audio: only their headers are read on the way.
  if (tags && c.is("data")) {
    pos = NextChunk(pos, c);
    for (int n = 0; n < kMaxChunksAfterData && pos < fileSize && ReadChunkHeader(file, pos, c); ++n) {
      ReadTagChunk(file, pos, c, *tags);
      pos = NextChunk(pos, c);
    }
  }
  return true;
}

// A sub-block of a WavPack block: <id byte: 0x80 large, 0x40 odd size, low 6
// bits the kind><size in 16-bit words: 1 byte, or 3 when large><data>.
struct WavPackSubBlock {
  uint64_t dataPos = 0;   // in the file
  uint64_t dataSize = 0;  // bytes
};

// The first sub-block of that kind in the first block, read from the file.
std::optional<WavPackSubBlock> FindWavPackSubBlock(platform::ReadableFile& file, ByteSpan blockHeader, uint8_t kind) {
  constexpr uint8_t kLarge = 0x80, kOddSize = 0x40, kKindMask = 0x3F;
  const uint64_t blockEnd = uint64_t(LoadU32le(blockHeader, 4)) + 8;
  uint64_t pos = kWavPackBlockHeaderSize;
  for (int n = 0; n < kMaxRiffChunks && pos < blockEnd; ++n) {
    uint8_t h[4];
    if (file.ReadAt(pos, h, sizeof h) != sizeof h) break;
    const bool large = h[0] & kLarge;
    const uint64_t words = large ? (h[1] | uint32_t(h[2]) << 8 | uint32_t(h[3]) << 16) : h[1];
    const uint64_t header = large ? 4 : 2;
    if ((h[0] & kKindMask) == kind) {
      const uint64_t size = words * 2 - ((h[0] & kOddSize) && words ? 1 : 0);
      return WavPackSubBlock{pos + header, size};
    }
    pos += header + words * 2;
  }
  return std::nullopt;
}

// Where the packed file's RIFF header starts. Older packers put it in the
// first sub-block; newer ones may put others (such as the file's original
// extension) before it, so the first block's sub-blocks are searched.
uint64_t WavPackRiffHeaderOffset(platform::ReadableFile& file, ByteSpan blockHeader) {
  constexpr uint64_t kDefault = kWavPackBlockHeaderSize + kWavPackSubBlockHeaderSize;
  constexpr uint8_t kRiffHeader = 0x21;
  const auto riff = FindWavPackSubBlock(file, blockHeader, kRiffHeader);
  return riff ? riff->dataPos : kDefault;
}

// Sample rate of a file packed without a RIFF header: the index in the block
// header's flags (bits 23..26), or, for index 15, the rate sub-block (24 bits,
// with a fourth byte holding 7 more). DSD audio (flag bit 31) counts bytes of
// eight 1-bit samples, and its rate is the header's rate shifted left by the
// first byte of the DSD sub-block: DSD64 is stored as 88200 shifted by 2,
// 352800 bytes a second. 0 when the rate cannot be told.
uint32_t WavPackSampleRate(platform::ReadableFile& file, ByteSpan blockHeader) {
  static constexpr uint32_t kRates[15] = {6000,  8000,  9600,  11025, 12000, 16000, 22050, 24000,
                                          32000, 44100, 48000, 64000, 88200, 96000, 192000};
  constexpr uint8_t kRateSubBlock = 0x27, kDsdSubBlock = 0x0E;
  constexpr uint32_t kDsdFlag = 0x80000000u;
  constexpr uint8_t kMaxDsdShift = 31;
  const uint32_t flags = LoadU32le(blockHeader, 24);
  const uint32_t index = (flags >> 23) & 0x0F;
  uint64_t rate = index < 15 ? kRates[index] : 0;
  const auto custom = index == 15 ? FindWavPackSubBlock(file, blockHeader, kRateSubBlock) : std::nullopt;
  if (custom && (custom->dataSize == 3 || custom->dataSize == 4)) {
    uint8_t b[4] = {};
    if (file.ReadAt(custom->dataPos, b, size_t(custom->dataSize)) == custom->dataSize)
      rate = b[0] | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3] & 0x7F) << 24;
  }
  if (flags & kDsdFlag) {
    const auto dsd = FindWavPackSubBlock(file, blockHeader, kDsdSubBlock);
    uint8_t shift = 0;
    if (!dsd || dsd->dataSize == 0 || file.ReadAt(dsd->dataPos, &shift, 1) != 1 || shift > kMaxDsdShift) return 0;
    rate <<= shift;
  }
  return FittingU32(rate);
}

}  // namespace

bool ReadRiffInfo(platform::ReadableFile& file, TrackInfo& info) {
  const uint64_t fileSize = file.Size();
  uint8_t head[kWavPackBlockHeaderSize];
  if (file.ReadAt(0, head, 8) != 8) return false;
  uint64_t pos = 0;
  std::optional<uint64_t> totalSamples;
  const bool wavPack = container::BytesAre(head, "wvpk");
  if (wavPack) {
    // 32-byte block header ("wvpk", block size, version, track and index
    // numbers, total samples at 12, ..., flags at 24), then a 2-byte
    // sub-block header and the packed file's RIFF header.
    if (file.ReadAt(8, head + 8, kWavPackBlockHeaderSize - 8) != kWavPackBlockHeaderSize - 8) return false;
    const uint32_t samples = LoadU32le(ByteSpan(head, sizeof head), 12);
    if (samples != kWavPackUnknownSamples) totalSamples = samples;
    pos = WavPackRiffHeaderOffset(file, ByteSpan(head, sizeof head));
  }
  Format fmt;
  uint64_t dataAmount = 0;
  // A packed file's tags are the APE and ID3v1 tags at its end.
  TagChunks tags;
  const bool haveFormat = ReadWaveChunks(file, pos, fmt, totalSamples, dataAmount, wavPack ? nullptr : &tags);
  ApplyTagChunks(tags, info);
  if (wavPack) {
    // The tags at the end do not depend on the packed header being there.
    ReadApeTag(file, info);
    ReadId3v1Tag(file, info);
    if (!haveFormat) {
      // No packed header (some encoders write none): the block's flags give
      // the rate, bytes per sample (bits 0..1, + 1) and mono (bit 2); the
      // data amount is then that of the PCM the block header counts.
      const ByteSpan block(head, sizeof head);
      const uint32_t flags = LoadU32le(block, 24);
      fmt.sampleRate = WavPackSampleRate(file, block);
      fmt.channels = (flags & 0x04) ? 1 : 2;
      fmt.bitsPerSample = uint16_t(((flags & 0x03) + 1) * 8);
      if (totalSamples) dataAmount = *totalSamples * fmt.channels * fmt.bitsPerSample / 8;
    }
  }
  if (!haveFormat && !wavPack) return false;
  info.SampleRate = fmt.sampleRate;
  const uint32_t frameBits = uint32_t(fmt.bitsPerSample) * fmt.channels;
  if (!totalSamples && frameBits) totalSamples = dataAmount * 8 / frameBits;
  if (fmt.sampleRate && totalSamples) {
    info.Duration = FittingU32(*totalSamples / fmt.sampleRate);
    // Over the exact length, not the whole seconds. A WavPack file's rate is
    // that of its packed blocks (the file), not of the PCM they unpack to.
    const double seconds = double(*totalSamples) / fmt.sampleRate;
    const uint64_t bytes = wavPack ? fileSize : dataAmount;
    if (info.Duration && bytes) info.Bitrate = RoundedU32(double(bytes) * 8 / seconds / 1000);
  }
  info.FileSize = uint32_t(fileSize);
  return haveFormat;
}

}  // namespace tunelet
