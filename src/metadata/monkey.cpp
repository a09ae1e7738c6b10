#include "metadata/monkey.h"

namespace tunelet {

namespace {

constexpr uint16_t kDescriptorVersion = 3980;  // the descriptor layout starts here
constexpr size_t kOldHeaderSize = 30;          // after "MAC " and the version
constexpr size_t kDescriptorSize = 52;
constexpr size_t kNewHeaderSize = 24;          // the part of the header read
constexpr uint32_t kMaxDescriptorBytes = 1u << 16;

}  // namespace

uint32_t MonkeyBlocksPerFrame(uint16_t version, uint16_t compressionLevel) {
  if (version >= 3950) return 294912;
  if (version >= 3900) return 73728;
  if (version >= 3800 && compressionLevel == 4000) return 73728;
  return 9216;
}

bool TMonkey::LoadFromFile(std::u16string_view path) {
  *this = TMonkey{};
  auto file = platform::OpenForRead(path);
  return file && LoadFromFile(*file);
}

bool TMonkey::ReadHeader(ByteSpan head, platform::ReadableFile& file, uint64_t streamStart) {
  if (Version < kDescriptorVersion) {
    // compression level, format flags, channels, sample rate, header bytes,
    // terminating bytes, total frames, final frame blocks, ...
    const std::vector<uint8_t> h = file.Read(streamStart + 6, kOldHeaderSize);
    ByteReader r(h);
    const uint16_t level = r.u16le();
    const uint16_t flags = r.u16le();
    Channels = r.u16le();
    SampleRate = r.u32le();
    r.u32le();
    r.u32le();
    const uint32_t frames = r.u32le();
    const uint32_t finalBlocks = r.u32le();
    if (!r.ok()) return false;
    Bits = (flags & 0x01) ? 8 : (flags & 0x08) ? 24 : 16;
    if (frames) Samples = uint64_t(frames - 1) * MonkeyBlocksPerFrame(Version, level) + finalBlocks;
    return true;
  }
  // Descriptor: "MAC ", version, padding, descriptor bytes (8), header bytes
  // (12), ...; then the header: compression level, format flags, blocks per
  // frame, final frame blocks, total frames, bits per sample, channels, rate.
  const std::vector<uint8_t> d = file.Read(streamStart, kDescriptorSize);
  if (d.size() < kDescriptorSize) return false;
  const uint32_t descriptorBytes = LoadU32le(d, 8);
  const uint64_t headerPos =
      streamStart + (descriptorBytes > kDescriptorSize && descriptorBytes < kMaxDescriptorBytes ? descriptorBytes
                                                                                              : kDescriptorSize);
  const std::vector<uint8_t> h = file.Read(headerPos, kNewHeaderSize);
  ByteReader r(h);
  r.u16le();  // compression level
  r.u16le();  // format flags
  const uint32_t blocksPerFrame = r.u32le();
  const uint32_t finalBlocks = r.u32le();
  const uint32_t frames = r.u32le();
  Bits = r.u16le();
  Channels = r.u16le();
  SampleRate = r.u32le();
  if (!r.ok()) return false;
  if (frames) Samples = uint64_t(blocksPerFrame) * (frames - 1) + finalBlocks;
  return true;
}

bool TMonkey::LoadFromFile(platform::ReadableFile& file) {
  *this = TMonkey{};
  ID3v2.LoadFromFile(file);
  ID3v1.LoadFromFile(file);
  APEtag.LoadFromFile(file);
  uint64_t tagBytes = (ID3v1.Exists ? kId3v1Size : 0) + (ID3v2.Exists ? ID3v2.Size : 0) + APEtag.Size;

  FileSize = file.Size();
  const uint64_t start = ID3v2.Exists ? ID3v2.Size : 0;
  const std::vector<uint8_t> head = file.Read(start, 6);
  if (head.size() < 6 || !BytesEqual(head, 0, "MAC ")) return false;
  Version = LoadU16le(head, 4);
  if (!ReadHeader(head, file, start)) return false;

  if (SampleRate > 0) Duration = double(Samples) / SampleRate;
  if (Duration > 0 && FileSize > tagBytes) BitRate = double(FileSize - tagBytes) * 8 / (Duration / 1000);
  Valid = Bits > 0 && SampleRate > 0 && Samples > 0 && Channels > 0;
  return Valid;
}

}  // namespace tunelet
