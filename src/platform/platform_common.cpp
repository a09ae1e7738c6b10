#include "platform/platform.h"

namespace tunelet::platform {

std::vector<uint8_t> ReadableFile::Read(uint64_t offset, size_t n) {
  std::vector<uint8_t> buf(n);
  buf.resize(ReadAt(offset, buf.data(), n));
  return buf;
}

}  // namespace tunelet::platform
