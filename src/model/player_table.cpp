#include "model/player_table.h"

#include "model/settings.h"

namespace tunelet {

namespace {
struct PlayerRow {
  const char* windowClass;
  const char* windowTitle;  // null: any title
  const char16_t* displayName;
};

constexpr PlayerRow kPlayers[kPlayerCount] = {
    {"WMPlayerApp", nullptr, u"Windows Media Player"},
    {"MediaPlayerClassicW", nullptr, u"Media Player Classic"},
    {"GomPlayer1.x", nullptr, u"GOM Player"},
    {"LightAlloyFront", nullptr, u"Light Alloy"},
    {"BSplayer", "BSplayer", u"BSplayer"},
    {"TmainForm", "Zoom Player", u"ZoomPlayer"},
    {"Winamp v1.x", nullptr, u"KMPlayer"},
    {"CrystalPlayerClass", nullptr, u"Crystal Player"},
    {"Winamp v1.x", nullptr, u"Winamp"},
    {"{DA7CD0DE-1602-45e6-89A1-C2CA151E008E}", nullptr, u"Foobar2000"},
    {"{DA7CD0DE-1602-45e6-89A1-C2CA151E008E}/1", nullptr, u"Foobar2000"},
    {"{97E27FAA-C0B3-4b8e-A693-ED7881E99FC1}", nullptr, u"Foobar2000"},
    {"AIMP2_RemoteInfo", "AIMP2_RemoteInfo", u"AIMP2"},
    {"COWON Jet-Audio Remocon Class", "Jet-Audio Remote Control", u"jetAudio"},
    {"iTunes", "iTunes", u"iTunes"},
    {"Winamp v1.x", nullptr, u"MediaMonkey"},
    {"PlayerCanvas", nullptr, u"QMP"},
    {"Apollo - Main Window", nullptr, u"Apollo"},
    {"XMPLAY-MAIN", nullptr, u"XMPlay"},
    {"GeminiWindowClass", nullptr, u"RealPlayer"},
    {"BasicWindow", "Imp's Player", u"Imp's Player"},
};

bool InRange(int id) { return id >= 0 && id < kPlayerCount; }
}  // namespace

std::string_view PlayerWindowClass(int id) { return InRange(id) ? kPlayers[id].windowClass : ""; }
const char* PlayerWindowTitle(int id) { return InRange(id) ? kPlayers[id].windowTitle : nullptr; }
std::u16string_view PlayerDisplayName(int id) {
  if (id == kMediaSession) return u"Windows media session";
  return InRange(id) ? kPlayers[id].displayName : u"";
}

bool PlayerReportsInfo() {
  const int p = Settings().CurrentPlayer;
  return p == kWinamp || p == kAimp2 || p == kITunes;
}

}  // namespace tunelet
