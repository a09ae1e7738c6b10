#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/byte_reader.h"
#include "common/checked_convert.h"

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

TEST(CheckedConvertTest, OutOfRangeFileValuesGiveZero) {
  EXPECT_EQ(TruncatedU32(59.99), 59u);
  EXPECT_EQ(TruncatedU32(4294967295.9), 4294967295u);
  EXPECT_EQ(TruncatedU32(4294967296.0), 0u);
  EXPECT_EQ(TruncatedU32(-0.5), 0u);
  EXPECT_EQ(TruncatedU32(std::nan("")), 0u);
  EXPECT_EQ(RoundedU32(127.5), 128u);  // halves away from zero
  EXPECT_EQ(RoundedU32(127.49), 127u);
  EXPECT_EQ(RoundedU32(4294967295.4), 4294967295u);
  EXPECT_EQ(RoundedU32(4294967295.5), 0u);
  EXPECT_EQ(RoundedU32(3355440000.0 * 10), 0u);
  EXPECT_EQ(RoundedU32(-1e300), 0u);
  EXPECT_EQ(FittingU32(0xFFFFFFFFull), 0xFFFFFFFFu);
  EXPECT_EQ(FittingU32(0x1'0000'0000ull), 0u);
}
