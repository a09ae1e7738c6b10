#include "metadata/mpeg_audio.h"

#include <cmath>

#include "common/checked_convert.h"

#include "metadata/id3v1.h"
#include "metadata/id3v2.h"

namespace tunelet {

namespace {

// The first frame is searched in blocks that follow each other; a header is
// accepted in the first half of a block when the next frame's header follows it.
constexpr size_t kSearchBlock = 3458;
constexpr size_t kSearchPositions = 1729;  // p = 0 .. 1728
constexpr size_t kFrameLimit = 3457;       // p + frame size must not pass it
// No audio body is read: a file with no frame in its first 256 KB after the
// tag is not taken for MPEG audio.
constexpr uint64_t kMaxSearchBytes = 256u << 10;
// Further ID3v2 tags met by the search (some taggers leave a second tag, with
// a large picture, after the first) are stepped over whole and do not count
// against the search limit; this many at most.
constexpr int kMaxSkippedTags = 8;

// The total length of a valid ID3v2 tag starting at b's first byte, else 0.
uint64_t Id3v2TagAt(ByteSpan b) {
  Id3v2Header h;
  const bool valid = ParseId3v2Header(b, h) && h.major >= 2 && h.major <= 4 && h.size != 0;
  return valid ? h.totalLength() : 0;
}

// kbit/s by [row][index]; rows: MPEG-1 L1, L2, L3, MPEG-2/2.5 L1, L2+L3.
constexpr uint16_t kBitrates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};

}  // namespace

bool IsValidMpegHeader(const uint8_t* p) {
  if (p[0] != 0xFF || p[1] <= 0xDF) return false;
  if (((p[1] >> 3) & 3) == 1 || ((p[1] >> 1) & 3) == 0) return false;  // reserved version, layer
  if (p[2] < 0x10 || p[2] > 0xEF || ((p[2] >> 2) & 3) == 3) return false;  // bit rate free/bad, rate
  return (p[3] & 3) != 2;                                                   // emphasis
}

uint32_t MpegBitrate(uint8_t versionId, uint8_t layerId, uint8_t index) {
  if (index > 15 || layerId < 1 || layerId > 3) return 0;
  int row;
  if (versionId == 3)
    row = 3 - layerId;  // layer 3 (Layer I) -> row 0
  else
    row = layerId == 3 ? 3 : 4;
  return kBitrates[row][index];
}

uint32_t MpegSampleRate(uint8_t versionId, uint8_t index) {
  static constexpr uint32_t kRates[4][3] = {
      {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
  return versionId < 4 && index < 3 ? kRates[versionId][index] : 0;
}

uint32_t MpegCoefficient(uint8_t versionId, uint8_t layerId) {
  if (versionId == 3) return layerId == 3 ? 48 : 144;
  if (layerId == 3) return 24;
  return layerId == 2 ? 144 : 72;
}

MpegFrameHeader DecodeMpegHeader(const uint8_t* p) {
  MpegFrameHeader h;
  h.versionId = (p[1] >> 3) & 3;
  h.layerId = (p[1] >> 1) & 3;
  h.bitrateIndex = p[2] >> 4;
  h.sampleRateIndex = (p[2] >> 2) & 3;
  h.padding = (p[2] >> 1) & 1;
  h.channelMode = p[3] >> 6;
  h.bitrate = MpegBitrate(h.versionId, h.layerId, h.bitrateIndex);
  h.sampleRate = MpegSampleRate(h.versionId, h.sampleRateIndex);
  h.coefficient = MpegCoefficient(h.versionId, h.layerId);
  h.paddingSize = h.padding ? (h.layerId == 3 ? 4 : 1) : 0;
  if (h.sampleRate)
    h.frameSize = uint32_t(uint64_t(h.coefficient) * h.bitrate * 1000 / h.sampleRate) + h.paddingSize;
  return h;
}

uint32_t VbrHeaderOffset(const MpegFrameHeader& h) {
  if (h.mpeg1()) return h.mono() ? 21 : 36;
  return h.mono() ? 13 : 21;
}

bool TMPEGaudio::SearchBlock(ByteSpan b, uint64_t blockOffset) {
  for (size_t p = 0; p < kSearchPositions && p < b.size() && b.size() - p >= 4; ++p) {
    if (!IsValidMpegHeader(&b[p])) continue;
    const MpegFrameHeader h = DecodeMpegHeader(&b[p]);
    if (h.frameSize == 0 || h.frameSize > kFrameLimit - p) continue;
    const size_t next = p + h.frameSize;
    // The next header must lie wholly inside the block (subtraction form).
    if (next > b.size() || b.size() - next < 4 || !IsValidMpegHeader(&b[next])) continue;

    FrameFound = true;
    Frame = h;
    FramePosition = blockOffset + p;
    // Xing: frames 8 and bytes 12 bytes after the marker; VBRI: bytes at 10,
    // frames at 14. Both are looked for at the same offset.
    const size_t vbr = p + VbrHeaderOffset(h);
    if (BytesEqual(b, vbr, "Xing")) {
      VbrFound = true;
      VbrFrames = LoadU32be(b, vbr + 8);
      VbrBytes = LoadU32be(b, vbr + 12);
    } else if (BytesEqual(b, vbr, "VBRI")) {
      VbrFound = true;
      VbrBytes = LoadU32be(b, vbr + 10);
      VbrFrames = LoadU32be(b, vbr + 14);
    }
    return true;
  }
  return false;
}

bool TMPEGaudio::LoadFromFile(std::u16string_view path) {
  *this = TMPEGaudio{};
  auto file = platform::OpenForRead(path);
  return file && LoadFromFile(*file);
}

bool TMPEGaudio::LoadFromFile(platform::ReadableFile& file) {
  *this = TMPEGaudio{};
  TID3v1 id3v1;
  if (!id3v1.LoadFromFile(file)) return false;
  const uint64_t size = file.Size();
  // Only the ID3v2 tag's length matters here, so only its header is read
  // (the tag class would read the whole tag, covers included, a second time).
  const uint64_t start = Id3v2TagAt(file.Read(0, kId3v2HeaderSize));

  uint64_t skipped = 0;  // bytes of further tags stepped over
  int tags = 0;
  for (uint64_t offset = start; offset < size && offset - start - skipped < kMaxSearchBytes;) {
    const std::vector<uint8_t> block = file.Read(offset, kSearchBlock);
    const uint64_t tag = tags < kMaxSkippedTags ? Id3v2TagAt(block) : 0;
    if (tag != 0) {
      ++tags;
      skipped += tag;
      offset += tag;
      continue;
    }
    if (SearchBlock(block, offset) || block.size() < kSearchBlock) break;
    offset += kSearchBlock;
  }
  if (!FrameFound) {
    *this = TMPEGaudio{};
    return true;
  }
  FileSize = size;
  uint64_t tail = 0;
  if (id3v1.Exists) tail += kId3v1Size;
  if (id3v1.HasLyrics3) tail += uint64_t(id3v1.Lyrics3Size) + 15;
  AudioEnd = size > tail ? size - tail : 0;
  return true;
}

uint32_t TMPEGaudio::BitRate() const {
  if (!FrameFound) return 0;
  if (VbrFound && VbrFrames > 0) {
    const double perFrame = double(VbrBytes) / VbrFrames - Frame.paddingSize;
    const double kbps = perFrame * Frame.sampleRate / Frame.coefficient / 1000.0;
    return RoundedU32(kbps);
  }
  return Frame.bitrate;
}

double TMPEGaudio::Duration() const {
  if (!FrameFound || Frame.sampleRate == 0) return 0;
  if (VbrFound && VbrFrames > 0) return double(Frame.coefficient) * VbrFrames * 8 / Frame.sampleRate;
  if (Frame.bitrate == 0 || AudioEnd <= FramePosition) return 0;
  return double(AudioEnd - FramePosition) * 8 / (Frame.bitrate * 1000.0);
}

bool TMPEGaudio::Valid() const {
  const uint32_t br = BitRate();
  return FrameFound && br >= 8 && br <= 448 && Duration() >= 0.1;
}

}  // namespace tunelet
