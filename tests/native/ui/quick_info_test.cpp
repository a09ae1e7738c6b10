#include "ui/quick_info.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/text.h"
#include "model/settings.h"
#include "platform/platform.h"

namespace tunelet {
namespace {

namespace fs = std::filesystem;

TEST(QuickInfoPlace, BottomRightCornerOfTheWorkArea) {
  const ScreenPoint p = QuickInfoPosition({0, 0, 1024, 738});
  EXPECT_EQ(p.x, 1024 - 329 - 8);
  EXPECT_EQ(p.y, 738 - 112 - 5);
  const ScreenPoint shifted = QuickInfoPosition({100, 40, 1380, 1024});  // task bar on the left and top
  EXPECT_EQ(shifted.x, 1380 - 337);
  EXPECT_EQ(shifted.y, 1024 - 117);
}

class QuickInfoTextsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }
  void TearDown() override { ResetSettings(); }
  BuiltInUiTexts texts_;
};

TEST_F(QuickInfoTextsTest, MissingTagsShowTheUnknownTextsAndDashes) {
  SetText(Track().FilePath, u"C:\\Music\\a.mp3");
  const QuickInfoTexts q = CurrentQuickInfoTexts(texts_);
  EXPECT_EQ(q.title, u"Неизвестный трек");
  EXPECT_EQ(q.artist, u"Неизвестный исполнитель");
  EXPECT_EQ(q.album, u"-");
  EXPECT_EQ(q.genre, u"-");
  EXPECT_EQ(q.year, u"");
  EXPECT_EQ(q.time, u"");  // duration unknown
  EXPECT_EQ(q.fileInfo, u"");
  EXPECT_EQ(q.fileName, u"C:\\Music\\a.mp3");
}

TEST_F(QuickInfoTextsTest, KnownTagsAreShownAsTheyAre) {
  TrackInfo& t = Track();
  SetText(t.Title, u"Звезда по имени Солнце");
  SetText(t.Artist, u"Кино");
  SetText(t.Album, u"Звезда по имени Солнце");
  SetText(t.Genre, u"Rock");
  SetText(t.Year, u"1989");
  t.Artist->clear();  // present but empty: shown empty, not as unknown
  t.Duration = 225;
  const QuickInfoTexts q = CurrentQuickInfoTexts(texts_);
  EXPECT_EQ(q.title, u"Звезда по имени Солнце");
  EXPECT_EQ(q.artist, u"");
  EXPECT_EQ(q.genre, u"Rock");
  EXPECT_EQ(q.year, u"1989");
  EXPECT_EQ(q.time, u"3:45");
}

TEST_F(QuickInfoTextsTest, FactsLineJoinsTheKnownValuesWithoutALeadingComma) {
  TrackInfo& t = Track();
  EXPECT_EQ(StreamFactsLine(), u"");
  t.Bitrate = 229;
  EXPECT_EQ(StreamFactsLine(), u"229 kbps");
  t.FileSize = 6250000;
  EXPECT_EQ(StreamFactsLine(), u"229 kbps, 5.96 MB");
  t.SampleRate = 44100;
  EXPECT_EQ(StreamFactsLine(), u"44.1 kHz, 229 kbps, 5.96 MB");
  t.Bitrate = 0;
  EXPECT_EQ(StreamFactsLine(), u"44.1 kHz, 5.96 MB");
}

TEST(QuickInfoTimer, StaysOnlyWhileTheMouseIsOnAWindowWithItsTitle) {
  const std::u16string own = u"Tunelet QuickInfo", other = u"Tunelet popup", longer = u"Tunelet QuickInfo 2";
  EXPECT_TRUE(QuickInfoStays(&own));
  EXPECT_TRUE(QuickInfoStays(&longer));  // only 17 characters are read
  EXPECT_FALSE(QuickInfoStays(&other));
  EXPECT_FALSE(QuickInfoStays(nullptr));
  const std::u16string shorter = u"Tunelet QuickInf";
  EXPECT_FALSE(QuickInfoStays(&shorter));
}

TEST(QuickInfoFolder, FolderKeepsItsSeparatorStreamsHaveNone) {
  EXPECT_EQ(FolderOf(u"C:\\Music\\a.mp3"), u"C:\\Music\\");
  EXPECT_EQ(FolderOf(u"/music/a.mp3"), u"/music/");
  EXPECT_EQ(FolderOf(u"http://radio.example/stream.mp3"), u"");
  EXPECT_EQ(FolderOf(u"a.mp3"), u"");
}

// Real folders on disk: the platform's search decides what "first" means
// (least name in upper case here, as on NTFS).
class FolderCover : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    dir_ = fs::temp_directory_path() /
           ("tunelet-cover-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::remove_all(dir_);
    ResetSettings();
  }
  void Make(const std::string& name, size_t bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << std::string(bytes, 'x');
  }
  std::u16string Track_() const { return Utf8ToUtf16((dir_ / "01 - song.mp3").string()); }
  std::u16string Path(const std::string& name) const { return Utf8ToUtf16((dir_ / name).string()); }

  fs::path dir_;
};

TEST_F(FolderCover, UpperCaseNameIsFound) {
  Make("Cover.JPG", 50 * 1024);
  EXPECT_EQ(FindFolderCover(Track_()), Path("Cover.JPG"));
}

TEST_F(FolderCover, TooSmallCoverGivesWayToTheFolderPicture) {
  Make("cover.jpg", 500);
  Make("folder.png", 20 * 1024);
  EXPECT_EQ(FindFolderCover(Track_()), Path("folder.png"));
}

TEST_F(FolderCover, OnlyTheFirstMatchOfEachPatternIsLookedAt) {
  Make("cover.txt", 5000);         // first of "cover.*" and of "*cover*.*": neither a picture
  Make("the_cover.jpg", 5000);     // a later match of "*cover*.*": not looked at
  Make("folder.gif", 5000);
  EXPECT_EQ(FindFolderCover(Track_()), Path("folder.gif"));
  Make("a_cover.jpeg", 5000);      // now the first match of "*cover*.*"
  EXPECT_EQ(FindFolderCover(Track_()), Path("a_cover.jpeg"));
}

TEST_F(FolderCover, PatternsInTheirOrderWithTheSizeLimitsExcluded) {
  Make("zz.jpg", 1001);
  EXPECT_EQ(FindFolderCover(Track_()), Path("zz.jpg"));
  Make("album art.bmp", 2000);
  EXPECT_EQ(FindFolderCover(Track_()), Path("album art.bmp"));
  Make("Back-Front.tiff", 2000);
  EXPECT_EQ(FindFolderCover(Track_()), Path("Back-Front.tiff"));
  Make("folder.jpg", 1000);  // exactly 1000: too small
  EXPECT_EQ(FindFolderCover(Track_()), Path("Back-Front.tiff"));
  Make("cover.png", 999999);
  EXPECT_EQ(FindFolderCover(Track_()), Path("cover.png"));
  Make("Cover.jpg", 2 * 1000 * 1000);  // first of "cover.*" now, and too big: "cover.png" is not looked at
  EXPECT_EQ(FindFolderCover(Track_()), Path("Back-Front.tiff"));
}

TEST_F(FolderCover, ANameWithoutExtensionMatchesNameDotStarAsOnWindows) {
  Make("COVER", 5000);  // the first of "cover.*" and of "*cover*.*", and no picture
  Make("cover.jpg", 5000);
  EXPECT_EQ(FindFolderCover(Track_()), Path("cover.jpg"));  // found by "*.jpg" at last
  Make("Folder.Png", 5000);
  EXPECT_EQ(FindFolderCover(Track_()), Path("Folder.Png"));
}

TEST_F(FolderCover, NothingForAStreamAnEmptyOrMissingFolder) {
  Make("cover.jpg", 5000);
  EXPECT_EQ(FindFolderCover(u"http://radio.example/cover.jpg"), u"");
  EXPECT_EQ(FindFolderCover(Path("missing/a.mp3")), u"");
  fs::remove(dir_ / "cover.jpg");
  EXPECT_EQ(FindFolderCover(Track_()), u"");
}

TEST_F(FolderCover, TheSearchLeavesTheCurrentDirectoryAlone) {
  Make("cover.jpg", 5000);
  const fs::path before = fs::current_path();
  EXPECT_EQ(FindFolderCover(Track_()), Path("cover.jpg"));
  EXPECT_EQ(FindFolderCover(Path("missing/a.mp3")), u"");
  EXPECT_EQ(fs::current_path(), before);
}

TEST_F(FolderCover, EnsureKeepsAFoundPictureAndPrefersTheTagsOwn) {
  TrackInfo& t = Track();
  SetText(t.FilePath, Track_());
  EXPECT_FALSE(EnsureCoverFile(t));
  EXPECT_FALSE(t.CoverFile);
  Make("folder.jpg", 5000);
  EXPECT_TRUE(EnsureCoverFile(t));
  EXPECT_EQ(View(t.CoverFile), Path("folder.jpg"));
  Make("cover.jpg", 5000);  // found later: the kept picture stays until the record is cleared
  EXPECT_TRUE(EnsureCoverFile(t));
  EXPECT_EQ(View(t.CoverFile), Path("folder.jpg"));
  SetText(t.CoverFile, u"/tmp/img1A2B.PNG");  // the tag's picture
  EXPECT_TRUE(EnsureCoverFile(t));
  EXPECT_EQ(View(t.CoverFile), u"/tmp/img1A2B.PNG");
}

}  // namespace
}  // namespace tunelet
