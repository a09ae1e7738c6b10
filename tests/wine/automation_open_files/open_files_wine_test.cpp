// Open-file discovery against the simulated player holding real files.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/text.h"
#include "fake_player_process.h"
#include "platform/win32/unique_handle.h"
#include "players/open_files.h"
#include "players/win32/device_paths_win32.h"
#include "players/win32/open_files_win32.h"
#include "wine_test_util.h"

using namespace tunelet;
using tunelet::test::FakePlayerProcess;

namespace {

class OpenFileDiscovery : public ::testing::Test {
 protected:
  void SetUp() override {
    OpenFiles() = OpenFileLists{};
    ASSERT_TRUE(player_.Ready());
    window_ = reinterpret_cast<HWND>(player_.Run("window main MediaPlayerClassicW"));
    ASSERT_TRUE(window_);
  }
  // "(no answer)" when the scan did not end in time.
  std::u16string Scan() { return win32::FindOpenMediaFile(window_).value_or(u"(no answer)"); }
  void Open(const std::string& key, const std::wstring& path) {
    ASSERT_NE(player_.Run("open-file " + key + " \"" + test::Utf8(path) + "\""), INTPTR_MIN);
  }
  void Close(const std::string& key) { ASSERT_EQ(player_.Run("close-file " + key), 0); }
  // Writes at the end of a file that the player holds open.
  static bool AppendWhileHeld(const std::wstring& path, std::string_view bytes) {
    win32::UniqueFile f(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    0, nullptr));
    DWORD written = 0;
    return f && WriteFile(f.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
  }

  test::TempFolder dir_{L"open_files"};
  FakePlayerProcess player_{L"open-files-player"};
  HWND window_ = nullptr;
};

}  // namespace

TEST_F(OpenFileDiscovery, ReportsTheFileOpenedLast) {
  const auto a = dir_.File(L"a.mp3", "ID3"), b = dir_.File(L"Песня b.ogg", "OggS");
  EXPECT_EQ(Scan(), u"");  // nothing open yet
  Open("a", a);
  EXPECT_TRUE(EqualsIgnoreCase(Scan(), U16(a)));
  Open("b", b);  // the next track opened before the first is closed
  EXPECT_TRUE(EqualsIgnoreCase(Scan(), U16(b)));
  Close("a");
  EXPECT_TRUE(EqualsIgnoreCase(Scan(), U16(b)));
  Close("b");  // nothing open: playback has ended, the lists stay
  EXPECT_EQ(Scan(), u"");
  EXPECT_EQ(OpenFiles().PreviousScan.size(), 2u);
}

TEST_F(OpenFileDiscovery, TheSamePathOpenedAgainIsReportedAgain) {
  const auto a = dir_.File(L"a.flac", "fLaC"), b = dir_.File(L"b.wma", "asf");
  Open("a", a);
  Open("b", b);
  EXPECT_TRUE(EqualsIgnoreCase(Scan(), U16(a)));  // both at the first scan: the lower handle
  Open("a-again", a);
  EXPECT_TRUE(EqualsIgnoreCase(Scan(), U16(a)));
  EXPECT_EQ(OpenFiles().SelectedIndex, 2u);
}

TEST_F(OpenFileDiscovery, OtherHandlesAndFilesAreSkipped) {
  const auto text = dir_.File(L"notes.txt", "hello"), empty = dir_.File(L"empty.mp3", "");
  const auto song = dir_.File(L"song.mkv", "\x1a\x45\xdf\xa3");
  ASSERT_EQ(player_.Run("hold-handles 40"), 40);
  ASSERT_EQ(player_.Run("hold-pipe"), 0);  // a read pending forever must not stall the scan
  Open("t", text);
  Open("e", empty);  // cannot be mapped
  EXPECT_EQ(Scan(), u"");
  Open("s", song);
  EXPECT_TRUE(EqualsIgnoreCase(Scan(), U16(song)));
  // The empty file is written to while the player holds it: now it can be named.
  ASSERT_TRUE(AppendWhileHeld(empty, "ID3"));
  EXPECT_TRUE(EqualsIgnoreCase(Scan(), U16(empty)));
}

TEST_F(OpenFileDiscovery, OnlyEightFilesAreKeptPerScan) {
  for (int i = 0; i < 10; ++i) {
    const std::string n = std::to_string(i);
    Open(n, dir_.File(L"t" + std::to_wstring(i) + L".mp3", "x"));
  }
  EXPECT_TRUE(EqualsIgnoreCase(Scan(), U16(dir_.Path(L"t0.mp3"))));
  EXPECT_EQ(OpenFiles().PreviousScan.size(), kMaxOpenFileEntries);
}

TEST_F(OpenFileDiscovery, OnlyHandlesNotSeenAtTheLastScanAreMapped) {
  const auto a = dir_.File(L"a.mp3", "ID3"), b = dir_.File(L"b.ogg", "OggS"), c = dir_.File(L"c.flac", "fLaC");
  Open("a", a);
  EXPECT_TRUE(EqualsIgnoreCase(Scan(), U16(a)));
  const uint64_t mapped = win32::OpenFileMappingsMade();
  EXPECT_TRUE(EqualsIgnoreCase(Scan(), U16(a)));
  EXPECT_EQ(win32::OpenFileMappingsMade(), mapped);  // the process is unchanged

  Open("b", b);  // opened between two scans
  EXPECT_TRUE(EqualsIgnoreCase(Scan(), U16(b)));
  EXPECT_EQ(win32::OpenFileMappingsMade(), mapped + 1);

  // The player closes b and opens c, which gets b's handle value at once.
  const intptr_t bHandle = player_.Run("close-file b\nopen-file b \"" + test::Utf8(c) + "\"");
  ASSERT_EQ(player_.LogLines("open-file b ").size(), 2u);
  ASSERT_EQ(player_.LogLines("open-file b ")[0], player_.LogLines("open-file b ")[1]);  // the value is reused
  ASSERT_NE(bHandle, INTPTR_MIN);
  EXPECT_TRUE(EqualsIgnoreCase(Scan(), U16(c)));
  Close("a");
  Close("b");
  EXPECT_EQ(Scan(), u"");
}

TEST_F(OpenFileDiscovery, HandleCountComesFromTheProcessList) {
  const uint32_t before = win32::GetProcessHandleCount(player_.ProcessId());
  EXPECT_GT(before, 0u);
  ASSERT_EQ(player_.Run("hold-handles 300"), 300);
  EXPECT_GE(win32::GetProcessHandleCount(player_.ProcessId()), before + 300);
  EXPECT_EQ(win32::GetProcessHandleCount(0xFFFFFFF0u), 0u);
}

TEST(OpenFileDiscoveryEdges, AWindowThatIsGoneGivesNothing) {
  OpenFiles() = OpenFileLists{};
  EXPECT_EQ(win32::FindOpenMediaFile(nullptr), u"");
  EXPECT_EQ(win32::FindOpenMediaFile(reinterpret_cast<HWND>(uintptr_t(0x7FFF0))), u"");
}

TEST(DevicePathsOnThisMachine, DriveDevicesMapBackToDrives) {
  const auto drives = win32::ListDosDevices();
  ASSERT_FALSE(drives.empty());
  const DosDevice& first = drives.front();
  EXPECT_EQ(win32::DevicePathToDrivePath(first.DeviceName + u"\\Music\\a.mp3"),
            first.Drive + u"\\Music\\a.mp3");
  EXPECT_EQ(win32::DevicePathToDrivePath(u"\\??\\C:\\x\\a.mp3"), u"C:\\x\\a.mp3");
}
