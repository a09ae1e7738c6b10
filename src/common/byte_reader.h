// Bounded, cursor-based reader over bytes already in memory. Every read is
// checked against what remains; a read past the end yields zeros and makes the
// reader fail for good (sticky), so callers read all fields and test ok() once.
// Checks are written in subtraction form: size_t is 32 bits in the DLL and an
// offset taken from a file must never wrap into a "valid" position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tunelet {

using ByteSpan = std::span<const uint8_t>;

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(ByteSpan data) : data_(data) {}

  bool ok() const { return ok_; }
  size_t pos() const { return pos_; }
  size_t size() const { return data_.size(); }
  size_t remaining() const { return data_.size() - pos_; }
  bool atEnd() const { return pos_ == data_.size(); }
  ByteSpan data() const { return data_; }
  void fail() { ok_ = false; }

  // Moves the cursor to an absolute offset; fails when off > size().
  bool seek(uint64_t off) {
    if (off > data_.size()) return failed();
    pos_ = size_t(off);
    return true;
  }
  bool skip(uint64_t n) {
    if (n > remaining()) return failed();
    pos_ += size_t(n);
    return true;
  }
  bool has(uint64_t n) const { return n <= remaining(); }

  uint8_t u8() { return has(1) ? data_[pos_++] : (failed(), 0); }
  uint16_t u16le() { return uint16_t(take(2, false)); }
  uint16_t u16be() { return uint16_t(take(2, true)); }
  uint32_t u24be() { return uint32_t(take(3, true)); }
  uint32_t u24le() { return uint32_t(take(3, false)); }
  uint32_t u32le() { return uint32_t(take(4, false)); }
  uint32_t u32be() { return uint32_t(take(4, true)); }
  uint64_t u64le() { return take(8, false); }
  uint64_t u64be() { return take(8, true); }

  // n bytes at the cursor; an empty span (and failure) when fewer remain.
  ByteSpan bytes(uint64_t n) {
    if (n > remaining()) {
      failed();
      return {};
    }
    ByteSpan s = data_.subspan(pos_, size_t(n));
    pos_ += size_t(n);
    return s;
  }
  // A reader over the next n bytes; the cursor moves past them.
  ByteReader sub(uint64_t n) { return ByteReader(bytes(n)); }
  // Does the data at the cursor start with tag? (no cursor move)
  bool peekIs(std::string_view tag) const {
    if (tag.size() > remaining()) return false;
    for (size_t i = 0; i < tag.size(); ++i)
      if (data_[pos_ + i] != uint8_t(tag[i])) return false;
    return true;
  }

 private:
  bool failed() {
    ok_ = false;
    return false;
  }
  uint64_t take(size_t n, bool bigEndian) {
    if (!has(n)) {
      failed();
      pos_ = data_.size();
      return 0;
    }
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) {
      const uint64_t b = data_[pos_ + i];
      v |= bigEndian ? b << (8 * (n - 1 - i)) : b << (8 * i);
    }
    pos_ += n;
    return v;
  }

  ByteSpan data_;
  size_t pos_ = 0;
  bool ok_ = true;
};

// Offset-based helpers for fixed layouts; out-of-range reads give 0.
inline uint32_t LoadU32le(ByteSpan d, size_t off) {
  if (off > d.size() || d.size() - off < 4) return 0;
  return d[off] | uint32_t(d[off + 1]) << 8 | uint32_t(d[off + 2]) << 16 | uint32_t(d[off + 3]) << 24;
}
inline uint32_t LoadU32be(ByteSpan d, size_t off) {
  if (off > d.size() || d.size() - off < 4) return 0;
  return uint32_t(d[off]) << 24 | uint32_t(d[off + 1]) << 16 | uint32_t(d[off + 2]) << 8 | d[off + 3];
}
inline uint16_t LoadU16le(ByteSpan d, size_t off) {
  if (off > d.size() || d.size() - off < 2) return 0;
  return uint16_t(d[off] | d[off + 1] << 8);
}
inline bool BytesEqual(ByteSpan d, size_t off, std::string_view tag) {
  if (off > d.size() || d.size() - off < tag.size()) return false;
  for (size_t i = 0; i < tag.size(); ++i)
    if (d[off + i] != uint8_t(tag[i])) return false;
  return true;
}

}  // namespace tunelet
