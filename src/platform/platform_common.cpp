#include "platform/platform.h"

namespace tunelet::platform {

std::vector<uint8_t> ReadableFile::Read(uint64_t offset, size_t n) {
  std::vector<uint8_t> buf(n);
  buf.resize(ReadAt(offset, buf.data(), n));
  return buf;
}

bool IsNetworkPath(std::u16string_view path) {
  return path.size() >= 2 && (path[0] == u'\\' || path[0] == u'/') && (path[1] == u'\\' || path[1] == u'/');
}

}  // namespace tunelet::platform
