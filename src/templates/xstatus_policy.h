// What the X-status shows while a track plays, per mode (Action):
//   10  the user's picture, the plug-in's title and text;
//   11  picture 11 ("Music") with the audio templates, only while the user
//       shows that picture (the core skips the other cases);
//   21  the plug-in's own picture for audio or video, title and text;
//   31  the user's picture, the plug-in's title, the user's own text followed
//       by a space and the template text.
// Reads the settings, the saved X-status and the track from Settings().
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/host.h"
#include "model/subsystems.h"

namespace tunelet {

constexpr uint8_t kModeContentOnly = 10;  // rb_toother
constexpr uint8_t kModeFromMusic = 11;    // rb_frommusic
constexpr uint8_t kModeReplaceAny = 21;   // rb_fromany
constexpr uint8_t kModeAppendToUser = 31; // rb_plusany
constexpr int32_t kMusicPicture = 11;

// The longest X-status title and text the host takes: the limits of its
// X-status fields, which the options dialog applies to the templates too.
constexpr size_t kMaxXStatusTitleChars = 20;
constexpr size_t kMaxXStatusTextChars = 510;

// What one publish sends with MSG_SET_XSTATUS.
struct XStatusContent {
  int32_t picture = 0;
  OptText title;  // absent when empty: the host then gets no title
  std::u16string text;
};

// The content for the current mode and track, or nothing when Action is not
// one of the four modes.
std::optional<XStatusContent> BuildXStatusContent();

class XStatusPolicy final : public IPublisher {
 public:
  XStatusPolicy(IHost& host, IUserInterface& ui) : host_(host), ui_(ui) {}

  // Sends the playing track's X-status and announces it with the new-track
  // popup when popups are on.
  void PublishTrack() override;
  // MSG_XSTATUS_CHANGED: picture is the host's WParam, text its NParam.
  void OnXStatusChanged(int32_t picture, std::u16string_view text) override;

 private:
  IHost& host_;
  IUserInterface& ui_;
};

}  // namespace tunelet
