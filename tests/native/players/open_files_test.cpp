#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "players/open_files.h"

using namespace tunelet;

namespace {

OpenFileLists Scan(std::initializer_list<OpenFileEntry> entries) {
  OpenFileLists l;
  for (const auto& e : entries) AppendScanEntry(l, e.Handle, e.DevicePath);
  return l;
}

void Rescan(OpenFileLists& l, std::initializer_list<OpenFileEntry> entries) {
  l.CurrentScan.clear();
  for (const auto& e : entries) AppendScanEntry(l, e.Handle, e.DevicePath);
}

const std::u16string kA = u"\\Device\\HarddiskVolume1\\Music\\a.mp3";
const std::u16string kB = u"\\Device\\HarddiskVolume1\\Music\\b.flac";
const std::u16string kC = u"\\Device\\HarddiskVolume1\\Music\\c.ogg";

}  // namespace

TEST(OpenFiles, FirstScanReportsTheLowestHandle) {
  OpenFileLists l = Scan({{0x48, kA}, {0x9C, kB}});
  EXPECT_EQ(FinishScan(l), kA);
  EXPECT_EQ(l.PreviousScan.size(), 2u);
  EXPECT_TRUE(l.CurrentScan.empty());
}

TEST(OpenFiles, NextFileOpenedWhileTheFirstIsHeldIsReported) {
  OpenFileLists l = Scan({{0x48, kA}});
  ASSERT_EQ(FinishScan(l), kA);
  Rescan(l, {{0x48, kA}, {0x50, kB}});
  EXPECT_EQ(FinishScan(l), kB);
  EXPECT_EQ(l.SelectedIndex, 1u);
}

TEST(OpenFiles, NothingNewKeepsTheLastReportEvenAfterTheFileIsClosed) {
  OpenFileLists l = Scan({{0x48, kA}});
  FinishScan(l);
  Rescan(l, {{0x48, kA}, {0x50, kB}});
  ASSERT_EQ(FinishScan(l), kB);
  // The player closed b.flac; a.mp3 is still open, and was seen before.
  Rescan(l, {{0x48, kA}});
  EXPECT_EQ(ChooseNewestEntry(l), -1);
  EXPECT_EQ(l.SelectedIndex, 1u);
  Rescan(l, {{0x48, kA}});
  EXPECT_EQ(FinishScan(l), kB);
  EXPECT_EQ(l.PreviousScan.size(), 2u);
}

TEST(OpenFiles, SamePathUnderANewHandleOrNewPathUnderAnOldHandleIsNew) {
  OpenFileLists l = Scan({{0x48, kA}, {0x50, kB}});
  FinishScan(l);
  Rescan(l, {{0x48, kA}, {0x64, kB}});  // b.flac reopened
  EXPECT_EQ(ChooseNewestEntry(l), 1);
  Rescan(l, {{0x48, kC}, {0x64, kB}});  // handle value reused for c.ogg
  EXPECT_EQ(ChooseNewestEntry(l), 0);
}

TEST(OpenFiles, PathsCompareCaseSensitively) {
  OpenFileLists l = Scan({{0x48, kA}});
  FinishScan(l);
  std::u16string upper = kA;
  upper.back() = u'3';
  upper[upper.size() - 2] = u'P';
  Rescan(l, {{0x48, upper}});
  EXPECT_EQ(ChooseNewestEntry(l), 0);
}

TEST(OpenFiles, EmptyScanReportsNothingAndKeepsState) {
  OpenFileLists l = Scan({{0x48, kA}});
  FinishScan(l);
  Rescan(l, {});
  EXPECT_EQ(FinishScan(l), std::nullopt);
  EXPECT_EQ(l.PreviousScan.size(), 1u);
}

TEST(OpenFiles, MoreThanEightFilesAreIgnoredBeyondTheEighth) {
  OpenFileLists l;
  for (uint32_t i = 0; i < 10; ++i)
    EXPECT_EQ(AppendScanEntry(l, 4 * (i + 1), u"x" + std::u16string(1, char16_t(u'0' + i)) + u".mp3"), i < 8);
  EXPECT_EQ(l.CurrentScan.size(), kMaxOpenFileEntries);
  EXPECT_EQ(l.CurrentScan.back().Handle, 32u);
}

TEST(OpenFiles, MediaExtensionsAreTheSixteenOnly) {
  for (auto p : {u"a.mp3", u"a.Ogg", u"a.WMA", u"a.ape", u"a.wav", u"a.wv", u"a.m4a", u"a.flac", u"a.avi",
                 u"a.mpg", u"a.mpeg", u"a.mp4", u"a.wmv", u"a.mov", u"a.mkv", u"a.flv"})
    EXPECT_TRUE(HasMediaExtension(p)) << std::string(p, p + std::char_traits<char16_t>::length(p));
  for (auto p : {u"a.txt", u"a.mp3.part", u"a.m3u", u"mp3", u".mp3", u"C:\\Music.d\\song", u"a.dll"})
    EXPECT_FALSE(HasMediaExtension(p));
}

namespace {
// A 32-bit system process list: entries chained by their first field; the
// process id sits at byte 68, the handle count at byte 76.
class ProcessListBuilder {
 public:
  ProcessListBuilder& Entry(uint32_t pid, uint32_t handles, uint32_t size = 184) {
    if (lastEntry_) Put32(*lastEntry_, uint32_t(bytes_.size() - *lastEntry_));  // chain it
    lastEntry_ = bytes_.size();
    bytes_.resize(bytes_.size() + size);
    Put32(*lastEntry_ + 68, pid);
    Put32(*lastEntry_ + 76, handles);
    return *this;
  }
  std::vector<uint8_t>& Bytes() { return bytes_; }
  void Put32(size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[off + i] = uint8_t(v >> (8 * i));
  }

 private:
  std::vector<uint8_t> bytes_;
  std::optional<size_t> lastEntry_;
};
}  // namespace

TEST(ProcessList, HandleCountOfAListedProcess) {
  ProcessListBuilder b;
  b.Entry(0, 0).Entry(4, 900).Entry(1234, 57).Entry(88, 3);
  EXPECT_EQ(HandleCountFromProcessList(b.Bytes(), 1234), 57u);
  EXPECT_EQ(HandleCountFromProcessList(b.Bytes(), 88), 3u);  // last entry, next offset 0
  EXPECT_EQ(HandleCountFromProcessList(b.Bytes(), 999), 0u);
}

TEST(ProcessList, TheFirstEntryIsNotConsulted) {
  ProcessListBuilder b;
  b.Entry(77, 10).Entry(5, 20);
  EXPECT_EQ(HandleCountFromProcessList(b.Bytes(), 77), 0u);
}

TEST(ProcessList, BrokenChainsStopWithoutReadingOutside) {
  ProcessListBuilder b;
  b.Entry(0, 0).Entry(10, 1).Entry(20, 2);
  auto& bytes = b.Bytes();
  std::vector<uint8_t> truncated(bytes.begin(), bytes.begin() + 184 + 100);  // third entry cut off
  EXPECT_EQ(HandleCountFromProcessList(truncated, 20), 0u);
  EXPECT_EQ(HandleCountFromProcessList(truncated, 10), 1u);

  b.Put32(184, 0xFFFFFF00u);  // next offset far past the end
  EXPECT_EQ(HandleCountFromProcessList(bytes, 20), 0u);
  EXPECT_EQ(HandleCountFromProcessList({}, 20), 0u);

  std::vector<uint8_t> tiny = {200, 0, 0, 0, 1, 2};
  EXPECT_EQ(HandleCountFromProcessList(tiny, 0), 0u);
}

namespace {
void Put16(std::vector<uint8_t>& b, size_t off, uint16_t v) {
  b[off] = uint8_t(v);
  b[off + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[off + i] = uint8_t(v >> (8 * i));
}
struct Handle {
  uint32_t pid, value;
  uint16_t type;
};
// Extended list: count @0, reserved @4, then 28-byte entries with the process
// id @4, handle value @8 and type index @18.
std::vector<uint8_t> ExtendedList(std::initializer_list<Handle> hs, uint32_t claimedCount) {
  std::vector<uint8_t> b(8 + 28 * hs.size());
  Put32(b, 0, claimedCount);
  size_t at = 8;
  for (const auto& h : hs) {
    Put32(b, at + 4, h.pid);
    Put32(b, at + 8, h.value);
    Put16(b, at + 18, h.type);
    at += 28;
  }
  return b;
}
// Basic list: count @0, then 16-byte entries with a 16-bit process id @0,
// an 8-bit type index @4 and a 16-bit handle value @6.
std::vector<uint8_t> BasicList(std::initializer_list<Handle> hs) {
  std::vector<uint8_t> b(4 + 16 * hs.size());
  Put32(b, 0, uint32_t(hs.size()));
  size_t at = 4;
  for (const auto& h : hs) {
    Put16(b, at, uint16_t(h.pid));
    b[at + 4] = uint8_t(h.type);
    Put16(b, at + 6, uint16_t(h.value));
    at += 16;
  }
  return b;
}
}  // namespace

TEST(SystemHandleList, ExtendedEntriesOfOneProcess) {
  const auto list = ExtendedList({{7, 4, 30}, {1234, 4, 37}, {1234, 0x1F0, 40}, {70000, 8, 37}}, 4);
  const auto mine = HandlesOfProcessExtended(list, 1234);
  ASSERT_EQ(mine.size(), 2u);
  EXPECT_EQ(mine[0].HandleValue, 4u);
  EXPECT_EQ(mine[0].TypeIndex, 37);
  EXPECT_EQ(mine[1].HandleValue, 0x1F0u);
  EXPECT_EQ(HandlesOfProcessExtended(list, 70000).size(), 1u);  // 32-bit process ids
}

TEST(SystemHandleList, ACountBeyondTheBufferIsCut) {
  const auto list = ExtendedList({{5, 4, 1}, {5, 8, 1}}, 0xFFFFFFFFu);
  EXPECT_EQ(HandlesOfProcessExtended(list, 5).size(), 2u);
  EXPECT_TRUE(HandlesOfProcessExtended(ByteSpan(list.data(), 7), 5).empty());
  EXPECT_TRUE(HandlesOfProcessExtended(ByteSpan(list.data(), 8 + 27), 5).empty());  // entry cut short
}

TEST(SystemHandleList, BasicEntriesHaveSixteenBitProcessIds) {
  const auto list = BasicList({{1234, 4, 28}, {99, 8, 28}, {1234, 0xFFFC, 12}});
  const auto mine = HandlesOfProcessBasic(list, 1234);
  ASSERT_EQ(mine.size(), 2u);
  EXPECT_EQ(mine[1].HandleValue, 0xFFFCu);
  EXPECT_EQ(mine[1].TypeIndex, 12);
  EXPECT_TRUE(HandlesOfProcessBasic(list, 1234 + 0x10000).empty());  // cannot be told apart
}
