// The container entry points end to end: a file on disk, ClassifyAndRead by
// extension, the common skeleton around the readers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "builders_containers.h"
#include "container_test_util.h"
#include "model/settings.h"
#include "model/subsystems.h"
#include "metadata/cover.h"
#include "metadata/entry_points.h"
#include "metadata/player_info_hook.h"
#include "platform/platform.h"
#include "model/player_table.h"

using namespace tunelet;
using namespace container_builders;

namespace {

class ContainerEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    Settings().Getfromname = true;
    dir_ = std::filesystem::temp_directory_path() / ("tunelet-entry-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    SetPlayerInfoSource(nullptr);
    DeleteTemporaryCovers();
    ResetSettings();
  }
  // Writes bytes to a temporary file named name and reads it as the player's file.
  const TrackInfo& Read(std::u16string_view name, const Bytes& bytes) {
    const std::u16string path = Utf8ToUtf16((dir_ / "").string()) + std::u16string(name);
    EXPECT_TRUE(platform::WriteNewFile(path, bytes.data(), bytes.size()));
    SetText(Track().FilePath, path);
    EXPECT_EQ(ClassifyAndRead(path), 1);
    return Track();
  }
  std::filesystem::path dir_;
};

struct FixedBitratePlayer : IPlayerAccess {
  int32_t GetPlayerInfo(int kind) override { return kind == 21 ? 256 : 0; }
};

Bytes FlacFile(bool withPicture) {
  Bytes f = B().str("fLaC").add(FlacBlock(0, FlacStreamInfoBody(48000, 2, 24, 48000 * 20)))
                .add(FlacBlock(4, VorbisCommentBody({"ARTIST=Band"}), !withPicture));
  if (withPicture) f = Cat({f, FlacBlock(6, FlacPictureBody(3, "image/png", PngBytes(1)), true)});
  return Cat({f, Bytes(480000, 0)});
}

}  // namespace

TEST_F(ContainerEntry, FlacStreamValuesReplaceTheMetadataOnes) {
  const TrackInfo& t = Read(u"04 - Band - Song.flac", FlacFile(true));
  EXPECT_EQ(U(t.Artist), u"Band");
  EXPECT_EQ(U(t.Title), u"Song");  // no TITLE comment: the file name fills in (and replaces the artist too)
  EXPECT_TRUE(t.CoverFile);
  EXPECT_EQ(t.SampleRate, 48000u);
  EXPECT_EQ(t.Duration, 20u);
  EXPECT_EQ(t.Bitrate, 192u);  // ~480 kB over 20 s
  EXPECT_EQ(t.FileSize, FlacFile(true).size());
  EXPECT_EQ(U(t.PlayerName), std::u16string(PlayerDisplayName(0)));
}

TEST_F(ContainerEntry, Mp4BitrateComesFromPlayersThatReportIt) {
  FixedBitratePlayer player;
  SetPlayerInfoSource(&player);
  Settings().Getfromname = false;
  const Bytes m4a = Cat({Ftyp(), Atom("moov", Cat({Mvhd0(1000, 90000), Udta(IlstText("\xA9nam", "T"))}))});
  Settings().CurrentPlayer = kWinamp;
  EXPECT_EQ(Read(u"a.m4a", m4a).Bitrate, 256u);
  Settings().CurrentPlayer = kWmp;
  const TrackInfo& t = Read(u"b.mp4", m4a);
  EXPECT_EQ(t.Bitrate, 0u);
  EXPECT_EQ(t.Duration, 90u);
  EXPECT_EQ(U(t.Title), u"T");
}

TEST_F(ContainerEntry, WmaWavAndWavPackByExtension) {
  const TrackInfo& wma = Read(u"x.WMA", AsfHeader({AsfContentDescription(u"Title", u"Artist", u"")}));
  EXPECT_EQ(U(wma.Title), u"Title");
  EXPECT_EQ(U(wma.Artist), u"Artist");

  Settings().Getfromname = false;
  const TrackInfo& wav = Read(u"Plain take.wav", Cat({Riff({Fmt(1, 2, 48000, 16)}), DataHeader(192000 * 2)}));
  EXPECT_EQ(U(wav.Title), u"Plain take");
  EXPECT_EQ(wav.Duration, 2u);

  const Bytes wv = Cat({WavPack(44100 * 3, Riff({Fmt(1, 2, 44100, 16), DataHeader(0)})),
                        ApeTag({{"Artist", "Packed"}})});
  const TrackInfo& t = Read(u"p.wv", wv);
  EXPECT_EQ(U(t.Artist), u"Packed");
  EXPECT_EQ(t.Duration, 3u);
}

TEST_F(ContainerEntry, UnreadableOrForeignFilesStillGetTheName) {
  const TrackInfo& t = Read(u"Artist - Name.m4a", B().str("definitely not an mp4 file"));
  EXPECT_EQ(U(t.Artist), u"Artist");
  EXPECT_EQ(U(t.Title), u"Name");
  EXPECT_EQ(t.Duration, 0u);
}
