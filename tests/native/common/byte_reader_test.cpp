#include <gtest/gtest.h>

#include <vector>

#include "common/byte_reader.h"

using namespace tunelet;

TEST(ByteReader, ReadsBothByteOrdersAndFailsStickily) {
  const std::vector<uint8_t> d = {0x12, 0x34, 0x56, 0x78, 0x9A};
  ByteReader r(d);
  EXPECT_EQ(r.u16be(), 0x1234);
  EXPECT_EQ(r.u16le(), 0x7856);
  EXPECT_EQ(r.u32le(), 0u);  // only one byte left
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.u8(), 0);  // stays failed, yields zeros
}

TEST(ByteReader, HugeLengthsFromAFileNeverWrap) {
  const std::vector<uint8_t> d(16, 0xAA);
  ByteReader r(d);
  r.skip(4);
  EXPECT_FALSE(r.skip(0xFFFFFFFFull));
  EXPECT_TRUE(r.bytes(0xFFFFFFF0ull).empty());
  EXPECT_FALSE(r.seek(17));
  EXPECT_EQ(LoadU32le(d, 0xFFFFFFFE), 0u);
  EXPECT_EQ(LoadU32be(d, 13), 0u);
}
