#include "model/track_info.h"

namespace tunelet {

void ClearTrackInfo(TrackInfo& t) {
  OptText path = std::move(t.FilePath);
  t = TrackInfo{};
  t.FilePath = std::move(path);
}

}  // namespace tunelet
