// Picture sizes read from headers built byte by byte, the cover limit, and
// the headers that must never reach a decoder: unknown, cut short, zero
// sized, or hidden behind an endless walk.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "builders.h"
#include "metadata/picture_size.h"
#include "picture_builders.h"

namespace {

using namespace picture_builders;
using tunelet::PictureSize;
using tunelet::ReadPictureSize;

std::optional<PictureSize> SizeOf(const Bytes& b) { return ReadPictureSize(tunelet::ByteSpan(b)); }

// An APPn segment of n body bytes.
Bytes App(uint8_t n, size_t bytes) { return JpegSegment(uint8_t(0xE0 + n), Bytes(bytes, 0x20)); }

TEST(PictureSize, ReadFromTheHeadersOfEachFormat) {
  EXPECT_EQ(SizeOf(SolidPng(3, 2, 0xFF0000)), (PictureSize{3, 2}));
  EXPECT_EQ(SizeOf(HugePng(30000, 30000)), (PictureSize{30000, 30000}));
  EXPECT_EQ(SizeOf(HugePng(0x7FFFFFFF, 1)), (PictureSize{0x7FFFFFFF, 1}));

  EXPECT_EQ(SizeOf(Jpeg(800, 600)), (PictureSize{800, 600}));
  EXPECT_EQ(SizeOf(Jpeg(1024, 768, {}, 0xC2)), (PictureSize{1024, 768}));  // progressive
  EXPECT_EQ(SizeOf(Jpeg(65535, 65535, {}, 0xCF)), (PictureSize{65535, 65535}));
  // Exif and ICC segments, tables, a restart marker and fill bytes before the frame.
  Bytes exif;
  AppendText(exif, std::string_view("Exif\0\0", 6));
  exif.resize(2000, 0);
  const Bytes tables = JpegSegment(0xDB, Bytes(65, 0));
  const Bytes huffman = JpegSegment(0xC4, FrameHeaderBody(9, 9));  // DHT looks like a frame header: skipped
  EXPECT_EQ(SizeOf(Jpeg(640, 480, {JpegSegment(0xE1, exif), App(2, 60000), tables, huffman, {0xFF, 0xD0}, {0xFF}})),
            (PictureSize{640, 480}));

  EXPECT_EQ(SizeOf(Gif(10, 20, 0, 0, 10, 20)), (PictureSize{10, 20}));
  EXPECT_EQ(SizeOf(Gif(10, 20, 0, 0, 10, 20, {}, false)), (PictureSize{10, 20}));
  // Graphic control and application extensions before the image.
  EXPECT_EQ(SizeOf(Gif(48, 32, 0, 0, 48, 32, {GifExtension(0xF9, {4}), GifExtension(0xFF, {11, 3})})),
            (PictureSize{48, 32}));
  // An image reaching past a tiny logical screen counts with its own extent.
  EXPECT_EQ(SizeOf(Gif(1, 1, 100, 5, 60000, 60000)), (PictureSize{60100, 60005}));

  EXPECT_EQ(SizeOf(BmpInfoHeader(120, 80)), (PictureSize{120, 80}));
  EXPECT_EQ(SizeOf(BmpInfoHeader(120, -80)), (PictureSize{120, 80}));  // top-down rows
  EXPECT_EQ(SizeOf(BmpCoreHeader(16, 9)), (PictureSize{16, 9}));

  EXPECT_EQ(SizeOf(Tiff(false, {{256, 3, 300}, {257, 3, 200}})), (PictureSize{300, 200}));
  EXPECT_EQ(SizeOf(Tiff(true, {{254, 4, 0}, {256, 4, 70000}, {257, 4, 5}})), (PictureSize{70000, 5}));
  EXPECT_EQ(SizeOf(Tiff(true, {{256, 3, 7}, {257, 3, 8}}, 5000)), (PictureSize{7, 8}));
}

TEST(PictureSize, AbsentForUnknownCutShortOrZeroSizedHeaders) {
  EXPECT_FALSE(SizeOf({}));
  EXPECT_FALSE(SizeOf(Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'}));
  EXPECT_FALSE(SizeOf(Bytes{'G', 'I', 'F', '8', '8', 'a', 1, 0, 1, 0, 0, 0, 0}));  // no such version

  // Each header cut short anywhere before the end of its size fields (for a
  // JPEG, the end of its frame header segment) gives nothing.
  struct Cut {
    Bytes whole;
    size_t needed;
  };
  const Cut cuts[] = {
      {SolidPng(3, 2, 0), 8 + 4 + 4 + 8},                      // signature, length, "IHDR", width and height
      {Jpeg(800, 600, {App(1, 100)}), 2 + 18 + 104 + 13},      // SOI, APP0, APP1, SOF0 with one component
      {Gif(10, 20, 0, 0, 10, 20), 6 + 7 + 6 + 9},              // header, screen, table, image descriptor
      {BmpInfoHeader(120, 80), 14 + 4 + 8},                    // file header, header size, width and height
      {BmpCoreHeader(16, 9), 14 + 4 + 4},
      {Tiff(false, {{256, 3, 3}, {257, 3, 2}}), 8 + 2 + 2 * 12},  // header, count, two entries
  };
  for (const Cut& c : cuts) {
    ASSERT_LE(c.needed, c.whole.size());
    for (size_t n = 0; n < c.needed; ++n)
      EXPECT_FALSE(SizeOf(Bytes(c.whole.begin(), c.whole.begin() + ptrdiff_t(n)))) << n << " of " << c.needed;
    EXPECT_TRUE(SizeOf(Bytes(c.whole.begin(), c.whole.begin() + ptrdiff_t(c.needed))));
  }

  // PNG: the first chunk must be a 13-byte IHDR.
  Bytes notIhdr = PngSignature();
  PngChunk(notIhdr, "gAMA", {0, 0, 0xB1, 0x8F});
  PngChunk(notIhdr, "IHDR", PngIhdr(3, 2));
  EXPECT_FALSE(SizeOf(notIhdr));
  Bytes longIhdr = PngSignature();
  Bytes ihdr = PngIhdr(3, 2);
  ihdr.push_back(0);
  PngChunk(longIhdr, "IHDR", ihdr);
  EXPECT_FALSE(SizeOf(longIhdr));

  EXPECT_FALSE(SizeOf(HugePng(0, 10)));
  EXPECT_FALSE(SizeOf(HugePng(10, 0)));
  EXPECT_FALSE(SizeOf(Jpeg(640, 0)));  // height given later by a DNL segment
  EXPECT_FALSE(SizeOf(Jpeg(0, 480)));
  EXPECT_FALSE(SizeOf(Gif(10, 10, 0, 0, 0, 10)));
  EXPECT_FALSE(SizeOf(BmpInfoHeader(0, 80)));
  EXPECT_FALSE(SizeOf(BmpInfoHeader(-120, 80)));
  EXPECT_FALSE(SizeOf(BmpInfoHeader(120, 0)));
  EXPECT_FALSE(SizeOf(BmpInfoHeader(120, INT32_MIN)));
  EXPECT_FALSE(SizeOf(Tiff(false, {{256, 3, 300}})));           // no height
  EXPECT_FALSE(SizeOf(Tiff(false, {{256, 5, 300}, {257, 5, 2}})));  // RATIONAL is no size

  // A TIFF directory beyond the data, or with more entries than present.
  Bytes farDirectory = Tiff(false, {{256, 3, 3}, {257, 3, 2}});
  farDirectory[4] = 0xF0;
  EXPECT_FALSE(SizeOf(farDirectory));
  Bytes overcounted = Tiff(false, {{256, 3, 3}, {257, 3, 2}});
  overcounted[8] = 3;
  EXPECT_FALSE(SizeOf(overcounted));
}

TEST(PictureSize, AJpegWalkEndsAtScanOrImageEndOrAfterTooManySegments) {
  // Scan data or the image's end before any frame header.
  Bytes scanFirst = {0xFF, 0xD8};
  Append(scanFirst, JpegSegment(0xDA, {1, 1, 0, 0, 63, 0}));
  Append(scanFirst, JpegSegment(0xC0, FrameHeaderBody(8, 8)));
  EXPECT_FALSE(SizeOf(scanFirst));
  EXPECT_FALSE(SizeOf(Bytes{0xFF, 0xD8, 0xFF, 0xD9, 0xFF, 0xC0, 0, 11, 8, 0, 8, 0, 8, 1, 1, 0x11, 0}));
  // A segment whose length reaches past the data, or is below its own two bytes.
  EXPECT_FALSE(SizeOf(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xFF, 0, 0}));
  EXPECT_FALSE(SizeOf(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 1, 0xFF, 0xC0, 0, 11, 8, 0, 8, 0, 8, 1, 1, 0x11, 0}));
  // Bytes between segments that are no marker.
  EXPECT_FALSE(SizeOf(Jpeg(8, 8, {{0x00}})));

  // An ICC profile in 40 pieces is an ordinary file; thousands of empty
  // comments are not walked to the end.
  Bytes icc;
  for (int i = 0; i < 40; ++i) Append(icc, App(2, 100));
  EXPECT_EQ(SizeOf(Jpeg(320, 240, {icc})), (PictureSize{320, 240}));
  Bytes comments;
  for (int i = 0; i < 5000; ++i) Append(comments, JpegSegment(0xFE, {}));
  EXPECT_FALSE(SizeOf(Jpeg(320, 240, {comments})));
}

TEST(PictureSize, CoverLimitIsFourThousandNinetySixPixelsEachWay) {
  EXPECT_TRUE(tunelet::CoverSizeAllowed({4096, 4096}));
  EXPECT_TRUE(tunelet::CoverSizeAllowed({1, 4096}));
  EXPECT_FALSE(tunelet::CoverSizeAllowed({4097, 1}));
  EXPECT_FALSE(tunelet::CoverSizeAllowed({1, 4097}));
  EXPECT_FALSE(tunelet::CoverSizeAllowed({30000, 30000}));
}

TEST(PictureSize, CoverFilesAreCheckedFromTheirStart) {
  const builders::TempFile small("tunelet-picsize-small.png", SolidPng(4, 4, 0x00FF00));
  const builders::TempFile huge("tunelet-picsize-huge.png", HugePng(30000, 30000));
  const builders::TempFile wide("tunelet-picsize-wide.jpg", Jpeg(4097, 100));
  const builders::TempFile text("tunelet-picsize-cover.jpg", Bytes(2000, 'x'));
  EXPECT_TRUE(tunelet::CoverFileAllowed(small.path()));
  EXPECT_FALSE(tunelet::CoverFileAllowed(huge.path()));
  EXPECT_FALSE(tunelet::CoverFileAllowed(wide.path()));
  EXPECT_FALSE(tunelet::CoverFileAllowed(text.path()));
  EXPECT_FALSE(tunelet::CoverFileAllowed(small.path() + u".missing"));

  // Large metadata before the frame header is read through; a frame
  // header beyond the bytes read for it counts as none.
  Bytes bigExif;
  for (int i = 0; i < 8; ++i) Append(bigExif, App(1, 65533));
  const builders::TempFile photo("tunelet-picsize-photo.jpg", Jpeg(3000, 2000, {bigExif}));
  EXPECT_TRUE(tunelet::CoverFileAllowed(photo.path()));
  Bytes hugeExif;
  for (int i = 0; i < 17; ++i) Append(hugeExif, App(1, 65533));
  const builders::TempFile buried("tunelet-picsize-buried.jpg", Jpeg(300, 200, {hugeExif}));
  EXPECT_FALSE(tunelet::CoverFileAllowed(buried.path()));
}

}  // namespace
