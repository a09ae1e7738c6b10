// The entry points of the container formats: each runs the common skeleton
// around its readers (see entry_common.h).
#include "common/checked_convert.h"
#include "metadata/asf.h"
#include "metadata/entry_common.h"
#include "metadata/entry_points.h"
#include "metadata/flac.h"
#include "metadata/mp4.h"
#include "metadata/player_info_hook.h"
#include "metadata/riff.h"
#include "model/player_table.h"
#include "model/settings.h"
#include "model/subsystems.h"
#include "platform/platform.h"

namespace tunelet {

namespace {
IPlayerAccess* gPlayerInfoSource = nullptr;
constexpr int kPlayerInfoBitrate = 21;
}  // namespace

void SetPlayerInfoSource(IPlayerAccess* players) { gPlayerInfoSource = players; }
IPlayerAccess* PlayerInfoSource() { return gPlayerInfoSource; }

int32_t AskPlayerInfo(int kind) { return gPlayerInfoSource ? gPlayerInfoSource->GetPlayerInfo(kind) : 0; }

// The readers open the file named by the entry point's path (which is the
// current FilePath) and do nothing when it cannot be opened.
template <typename Reader>
void WithFile(std::u16string_view path, TrackInfo& t, Reader&& read) {
  if (auto file = platform::OpenForRead(path)) read(*file, t);
}

int ReadWmaInfo(std::u16string_view path) {
  return RunEntryPoint(path, [path](TrackInfo& t) {
    WithFile(path, t, [](platform::ReadableFile& f, TrackInfo& i) { ReadAsfInfo(f, i); });
  });
}

int ReadWavInfo(std::u16string_view path) {
  return RunEntryPoint(path, [path](TrackInfo& t) {
    WithFile(path, t, [](platform::ReadableFile& f, TrackInfo& i) { ReadRiffInfo(f, i); });
  });
}

int ReadMp4Info(std::u16string_view path) {
  return RunEntryPoint(path, [path](TrackInfo& t) {
    WithFile(path, t, [](platform::ReadableFile& f, TrackInfo& i) { ReadMp4Atoms(f, i); });
    if (PlayerReportsInfo()) {
      // These players tell the rate they decode; it replaces the file's
      // average rate when they give one.
      const int32_t kbps = AskPlayerInfo(kPlayerInfoBitrate);
      if (kbps > 0) t.Bitrate = uint32_t(kbps);
    }
  });
}

int ReadFlacInfo(std::u16string_view path) {
  return RunEntryPoint(path, [path](TrackInfo& t) {
    auto file = platform::OpenForRead(path);
    if (!file) return;
    ReadFlacMetadata(*file, t);
    TFLACfile flac;
    if (flac.LoadFromStream(*file)) {
      t.FileSize = uint32_t(flac.FileSize());
      t.Bitrate = flac.Bitrate();
      t.SampleRate = flac.SampleRate();
      t.Duration = TruncatedU32(flac.Duration());
    }
  });
}

}  // namespace tunelet
