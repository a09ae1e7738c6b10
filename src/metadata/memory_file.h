// A ReadableFile over bytes in memory. The container readers take any
// ReadableFile, so the unit tests and the fuzz targets hand them a buffer
// instead of a file on disk. The bytes are not copied: they must outlive the
// MemoryFile.
#pragma once

#include <cstring>

#include "common/byte_reader.h"
#include "platform/platform.h"

namespace tunelet {

class MemoryFile final : public platform::ReadableFile {
 public:
  explicit MemoryFile(ByteSpan data) : data_(data) {}
  uint64_t Size() const override { return data_.size(); }
  size_t ReadAt(uint64_t offset, uint8_t* dst, size_t n) override {
    if (offset >= data_.size()) return 0;
    const size_t avail = data_.size() - size_t(offset);
    if (n > avail) n = avail;
    if (n) std::memcpy(dst, data_.data() + offset, n);
    return n;
  }

 private:
  ByteSpan data_;
};

}  // namespace tunelet
