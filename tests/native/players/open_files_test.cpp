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
constexpr PointerWidth kWidths[] = {PointerWidth::Bits32, PointerWidth::Bits64};
const char* Name(PointerWidth w) { return w == PointerWidth::Bits64 ? "64-bit layout" : "32-bit layout"; }

// A system process list: entries chained by their first field. The process
// id sits at byte 68 and the handle count at 76 in a 32-bit process; at 80
// and 96 in a 64-bit one (the image name's UNICODE_STRING and the
// pointer-sized ids are wider there).
class ProcessListBuilder {
 public:
  explicit ProcessListBuilder(PointerWidth width) : width_(width) {}
  ProcessListBuilder& Entry(uint32_t pid, uint32_t handles, uint32_t size = 256) {
    if (lastEntry_) Put32(*lastEntry_, uint32_t(bytes_.size() - *lastEntry_));  // chain it
    lastEntry_ = bytes_.size();
    bytes_.resize(bytes_.size() + size);
    const bool wide = width_ == PointerWidth::Bits64;
    Put32(*lastEntry_ + (wide ? 80 : 68), pid);
    Put32(*lastEntry_ + (wide ? 96 : 76), handles);
    return *this;
  }
  std::vector<uint8_t>& Bytes() { return bytes_; }
  void Put32(size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[off + i] = uint8_t(v >> (8 * i));
  }

 private:
  PointerWidth width_;
  std::vector<uint8_t> bytes_;
  std::optional<size_t> lastEntry_;
};
}  // namespace

TEST(ProcessList, HandleCountOfAListedProcess) {
  for (const PointerWidth w : kWidths) {
    ProcessListBuilder b(w);
    b.Entry(0, 0).Entry(4, 900).Entry(1234, 57).Entry(88, 3);
    EXPECT_EQ(HandleCountFromProcessList(b.Bytes(), 1234, w), 57u) << Name(w);
    EXPECT_EQ(HandleCountFromProcessList(b.Bytes(), 88, w), 3u) << Name(w);  // last entry, next offset 0
    EXPECT_EQ(HandleCountFromProcessList(b.Bytes(), 999, w), 0u) << Name(w);
  }
  // Read with the other bitness's offsets, the same list finds nothing.
  ProcessListBuilder wide(PointerWidth::Bits64);
  wide.Entry(0, 0).Entry(1234, 57);
  EXPECT_EQ(HandleCountFromProcessList(wide.Bytes(), 1234, PointerWidth::Bits32), 0u);
}

TEST(ProcessList, TheFirstEntryIsNotConsulted) {
  for (const PointerWidth w : kWidths) {
    ProcessListBuilder b(w);
    b.Entry(77, 10).Entry(5, 20);
    EXPECT_EQ(HandleCountFromProcessList(b.Bytes(), 77, w), 0u) << Name(w);
  }
}

TEST(ProcessList, BrokenChainsStopWithoutReadingOutside) {
  for (const PointerWidth w : kWidths) {
    ProcessListBuilder b(w);
    b.Entry(0, 0).Entry(10, 1).Entry(20, 2);
    auto& bytes = b.Bytes();
    std::vector<uint8_t> truncated(bytes.begin(), bytes.begin() + 256 + 100);  // third entry cut off
    EXPECT_EQ(HandleCountFromProcessList(truncated, 20, w), 0u) << Name(w);
    EXPECT_EQ(HandleCountFromProcessList(truncated, 10, w), 1u) << Name(w);

    b.Put32(256, 0xFFFFFF00u);  // next offset far past the end
    EXPECT_EQ(HandleCountFromProcessList(bytes, 20, w), 0u) << Name(w);
    EXPECT_EQ(HandleCountFromProcessList({}, 20, w), 0u) << Name(w);
  }
  std::vector<uint8_t> tiny = {200, 0, 0, 0, 1, 2};
  EXPECT_EQ(HandleCountFromProcessList(tiny, 0, PointerWidth::Bits32), 0u);
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
  uint64_t object = 0;
};
void PutPointer(std::vector<uint8_t>& b, size_t off, uint64_t v, PointerWidth w) {
  Put32(b, off, uint32_t(v));
  if (w == PointerWidth::Bits64) Put32(b, off + 4, uint32_t(v >> 32));
}
// Extended list. 32-bit: count @0, reserved @4, then 28-byte entries with the
// object address @0, process id @4, handle value @8 and type index @18.
// 64-bit: count @0, reserved @8, then 40-byte entries with the object address
// @0, process id @8, handle value @16 and type index @30.
std::vector<uint8_t> ExtendedList(PointerWidth w, std::initializer_list<Handle> hs, uint32_t claimedCount) {
  const bool wide = w == PointerWidth::Bits64;
  const size_t header = wide ? 16 : 8, entry = wide ? 40 : 28;
  std::vector<uint8_t> b(header + entry * hs.size(), 0xEE);  // filler where other fields go
  Put32(b, 0, claimedCount);
  Put32(b, 4, 0);
  size_t at = header;
  for (const auto& h : hs) {
    PutPointer(b, at, h.object, w);
    Put32(b, at + (wide ? 8 : 4), h.pid);
    Put32(b, at + (wide ? 16 : 8), h.value);
    Put16(b, at + (wide ? 30 : 18), h.type);
    if (wide) {  // the high halves of the 64-bit id and handle
      Put32(b, at + 12, 0);
      Put32(b, at + 20, 0);
    }
    at += entry;
  }
  return b;
}
// Basic list. 32-bit: count @0, then 16-byte entries; 64-bit: count @0, the
// entries from 8 on, 24 bytes each. Both with a 16-bit process id @0, an
// 8-bit type index @4, a 16-bit handle value @6 and the object address @8.
std::vector<uint8_t> BasicList(PointerWidth w, std::initializer_list<Handle> hs) {
  const bool wide = w == PointerWidth::Bits64;
  const size_t header = wide ? 8 : 4, entry = wide ? 24 : 16;
  std::vector<uint8_t> b(header + entry * hs.size(), 0xEE);
  Put32(b, 0, uint32_t(hs.size()));
  size_t at = header;
  for (const auto& h : hs) {
    Put16(b, at, uint16_t(h.pid));
    b[at + 4] = uint8_t(h.type);
    Put16(b, at + 6, uint16_t(h.value));
    PutPointer(b, at + 8, h.object, w);
    at += entry;
  }
  return b;
}
}  // namespace

TEST(SystemHandleList, ExtendedEntriesOfOneProcess) {
  for (const PointerWidth w : kWidths) {
    const uint64_t object = w == PointerWidth::Bits64 ? 0xFFFF'A00F'1234'5670u : 0x8123'4560u;
    const auto list =
        ExtendedList(w, {{7, 4, 30}, {1234, 4, 37, object}, {1234, 0x1F0, 40}, {70000, 8, 37}}, 4);
    const auto mine = HandlesOfProcessExtended(list, 1234, w);
    ASSERT_EQ(mine.size(), 2u) << Name(w);
    EXPECT_EQ(mine[0].HandleValue, 4u);
    EXPECT_EQ(mine[0].TypeIndex, 37);
    EXPECT_EQ(mine[0].Object, object) << Name(w);
    EXPECT_EQ(mine[1].HandleValue, 0x1F0u);
    EXPECT_EQ(mine[1].TypeIndex, 40);
    EXPECT_EQ(mine[1].Object, 0u);  // hidden by the system
    EXPECT_EQ(HandlesOfProcessExtended(list, 70000, w).size(), 1u) << Name(w);  // 32-bit process ids
  }
}

TEST(SystemHandleList, ACountBeyondTheBufferIsCut) {
  for (const PointerWidth w : kWidths) {
    const size_t header = w == PointerWidth::Bits64 ? 16 : 8, entry = w == PointerWidth::Bits64 ? 40 : 28;
    const auto list = ExtendedList(w, {{5, 4, 1}, {5, 8, 1}}, 0xFFFFFFFFu);
    EXPECT_EQ(HandlesOfProcessExtended(list, 5, w).size(), 2u) << Name(w);
    EXPECT_TRUE(HandlesOfProcessExtended(ByteSpan(list.data(), header - 1), 5, w).empty());
    EXPECT_TRUE(HandlesOfProcessExtended(ByteSpan(list.data(), header + entry - 1), 5, w).empty());  // cut short
  }
}

TEST(SystemHandleList, BasicEntriesHaveSixteenBitProcessIds) {
  for (const PointerWidth w : kWidths) {
    const auto list = BasicList(w, {{1234, 4, 28}, {99, 8, 28}, {1234, 0xFFFC, 12, 0x8000'0040u}});
    const auto mine = HandlesOfProcessBasic(list, 1234, w);
    ASSERT_EQ(mine.size(), 2u) << Name(w);
    EXPECT_EQ(mine[1].HandleValue, 0xFFFCu);
    EXPECT_EQ(mine[1].TypeIndex, 12);
    EXPECT_EQ(mine[1].Object, 0x8000'0040u);
    EXPECT_TRUE(HandlesOfProcessBasic(list, 1234 + 0x10000, w).empty());  // cannot be told apart
  }
}

// The values a scan tries, given which of them are handles of the process.
std::vector<uint32_t> WalkedValues(uint32_t handleCount, bool (*isHandle)(uint32_t)) {
  std::vector<uint32_t> tried;
  HandleValueWalk walk(handleCount);
  do {
    tried.push_back(walk.Value());
    if (!isHandle(walk.Value()) && !walk.NotAHandle()) break;
  } while (walk.Next());
  return tried;
}

TEST(OpenFiles, HandleWalkGrowsByFourPerMissingValueAndStopsPast8192) {
  const auto all = [](uint32_t) { return true; };
  const auto none = [](uint32_t) { return false; };
  EXPECT_EQ(WalkedValues(3, all), (std::vector<uint32_t>{4, 8, 12}));
  EXPECT_EQ(WalkedValues(0, all), std::vector<uint32_t>{4});  // the first value is always tried
  EXPECT_EQ(WalkedValues(0, none), std::vector<uint32_t>{4});
  // Each missing value lets one more be tried: 3 handles among the values
  // 4..20 with 8 and 16 missing end at 20.
  const auto gaps = [](uint32_t v) { return v != 8 && v != 16; };
  EXPECT_EQ(WalkedValues(3, gaps), (std::vector<uint32_t>{4, 8, 12, 16, 20}));
  // A process that cannot be opened: every value fails, up to 8192.
  const auto failing = WalkedValues(1, none);
  EXPECT_EQ(failing.size(), 2048u);
  EXPECT_EQ(failing.back(), 8192u);
  // A count whose limit lies past 8192 already stops at the first missing value.
  EXPECT_EQ(WalkedValues(5000, none), std::vector<uint32_t>{4});
  EXPECT_EQ(WalkedValues(5000, gaps).back(), 8u);
}

namespace {
constexpr uint64_t kObject = 0xFFFF'A00F'1234'5670u;
const std::u16string kLog = u"\\Device\\HarddiskVolume1\\Player\\player.log";
}  // namespace

TEST(KnownFileHandles, AHandleIsTheSameOnlyWithTheSameValueObjectAndFile) {
  KnownFileHandles known;
  known.BeginScan(100);
  known.Remember({0x48, kObject, 7, kA});
  known.Remember({0x50, 0, 9, u""});  // not a media file, object hidden
  known.EndScan();
  known.BeginScan(100);
  ASSERT_NE(known.Find(0x48, kObject, 7), nullptr);
  EXPECT_EQ(known.Find(0x48, kObject, 7)->MediaPath, kA);
  EXPECT_NE(known.Find(0x50, 0, 9), nullptr);
  EXPECT_EQ(known.Find(0x48, kObject, 8), nullptr);      // the value now holds another file
  EXPECT_EQ(known.Find(0x48, kObject + 8, 7), nullptr);  // another object under the value
  EXPECT_EQ(known.Find(0x4C, kObject, 7), nullptr);      // the file under another value
  EXPECT_EQ(known.Find(0x54, 0, 9), nullptr);
}

TEST(KnownFileHandles, OnlyTheLastScanOfTheSameProcessCounts) {
  KnownFileHandles known;
  known.BeginScan(100);
  known.Remember({0x48, 0, 7, kA});
  known.Remember({0x50, 0, 9, kLog});
  known.EndScan();
  known.BeginScan(100);  // the file under 0x48 was closed
  known.Remember({0x50, 0, 9, kLog});
  known.EndScan();
  known.BeginScan(100);
  EXPECT_EQ(known.Find(0x48, 0, 7), nullptr);
  EXPECT_NE(known.Find(0x50, 0, 9), nullptr);
  known.EndScan();  // a scan that remembered nothing
  EXPECT_EQ(known.Size(), 0u);

  known.BeginScan(100);
  known.Remember({0x50, 0, 9, kLog});
  known.EndScan();
  known.BeginScan(200);  // another player: the same value and file number mean nothing
  EXPECT_EQ(known.Find(0x50, 0, 9), nullptr);
  known.EndScan();
  known.BeginScan(100);
  EXPECT_EQ(known.Find(0x50, 0, 9), nullptr);
}

TEST(KnownFileHandles, MediaPathsAndHandlesAreCapped) {
  KnownFileHandles known;
  known.BeginScan(100);
  for (uint32_t i = 0; i < 10; ++i) known.Remember({4 + 4 * i, 0, 100 + i, kA});
  for (uint32_t i = 10; i < 3000; ++i) known.Remember({4 + 4 * i, 0, 100 + i, u""});
  known.Remember({8, 0, 1, u""});  // out of order: a lookup could not find it
  known.EndScan();
  known.BeginScan(100);
  EXPECT_NE(known.Find(4 + 4 * 7, 0, 107), nullptr);
  EXPECT_EQ(known.Find(4 + 4 * 8, 0, 108), nullptr);  // a ninth media path is not kept
  EXPECT_EQ(known.Size(), KnownFileHandles::kMaxKnown);
  EXPECT_EQ(known.Find(8, 0, 1), nullptr);
}
