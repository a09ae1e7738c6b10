// A fresh folder per case with its own copy of Tunelet.dll, so that every
// case starts from its own INI file and nothing is left loaded between them.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "sim_host.h"

namespace host_test {

// The Tunelet.dll built beside the test executable.
std::wstring BuiltPluginPath();

class PluginCopy {
 public:
  PluginCopy();
  ~PluginCopy();
  const std::wstring& Folder() const { return folder_; }
  const std::wstring& Dll() const { return dll_; }
  std::wstring Ini() const { return folder_ + L"\\Tunelet.ini"; }
  void WriteIni(const wchar_t* section, const wchar_t* key, const wchar_t* value) const;
  int ReadIniInt(const wchar_t* section, const wchar_t* key, int missing) const;
  // An INI that keeps the plug-in quiet in tests: no language dialog, no
  // update check, the shortest polling period.
  void WriteQuietIni() const;

 private:
  std::wstring folder_, dll_;
};

// Windows of the given module owned by the calling thread, message-only
// windows included.
int WindowsOfModuleOnThisThread(HMODULE module);

std::wstring Bstr(BSTR b);

// A tagged MP3: an ID3v2.3 tag with the artist and title in UTF-16, then a few
// MPEG-1 Layer III frames of 128 kbit/s at 44100 Hz.
void WriteTaggedMp3(const std::wstring& path, const std::wstring& artist, const std::wstring& title);
// An ID3v2.3 text frame with 8-bit text (encoding 0).
std::string Latin1TextFrame(const char* id, const std::string& text);
// The same MP3 with an ID3v2.3 tag of the given frames.
void WriteMp3WithFrames(const std::wstring& path, const std::string& frames);

// Pumps the host's messages until done() holds, at most boundMs; true when it did.
bool PumpUntil(talkeo_sim::SimHost& host, const std::function<bool()>& done, uint32_t boundMs);

// The X-status changes the plug-in sent (MSG_SETXSTATUS), in order.
std::vector<talkeo_sim::SentMessage> SentXStatusChanges(const talkeo_sim::SimHost& host);
// The X-status one sent message sets.
talkeo_sim::XStatus SentXStatus(const talkeo_sim::SentMessage& m);
// The time from a clear to the publish or the restore after it: 900 ms, a
// window-message timer never much early, a busy machine late.
constexpr uint32_t kXStatusDelayMinMs = 900 - 50, kXStatusDelayMaxMs = 900 + 600;
// The last two X-status changes sent: a clear (picture 0, no title, no
// text), then `after` one delay later.
void ExpectClearThen(const talkeo_sim::SimHost& host, const talkeo_sim::XStatus& after);

// Runs talkeo-sim steps in the host; every step must work and every
// expectation hold (a gtest failure with what the host printed otherwise).
void RunSimSteps(talkeo_sim::SimHost& host, const std::string& script);

}  // namespace host_test
