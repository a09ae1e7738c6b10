// The host as the portable core sees it: the X-status messages and the
// host-kept options record. core/win32/host_service.cpp adapts the real
// ITLKPluginService; tests use an in-memory fake.
#pragma once

#include <cstdint>
#include <string>

#include "common/text.h"

namespace tunelet {

// Message codes of the host boundary.
enum HostMessageCode : int32_t {
  MSG_LOADED = 1,
  MSG_STARTUP = 2,
  MSG_SHUTDOWN = 3,
  MSG_ENABLED = 4,
  MSG_DISABLED = 5,
  MSG_OPEN_OPTIONS = 6,
  MSG_SET_XSTATUS = 10,
  MSG_GET_XSTATUS = 11,
  MSG_XSTATUS_CHANGED = 12,
};

// The host's answer to MSG_GET_XSTATUS; null texts arrive as empty.
struct XStatusAnswer {
  int32_t picture = 0;  // the whole WParam; callers take its low byte or low 16 bits
  std::u16string title;
  std::u16string text;
};

// The fields of HostKeptOptions that the plug-in uses, as plain values.
struct HostKeptValues {
  bool PluginOn = false;
  bool KeepXStatusName = false;
  bool ManualPlayer = false;
  bool IgnoreVideo = false;
  bool PopupsOn = false;
  bool UseLanguageFile = false;
  bool Initialised = false;
  bool SavedXStatusValid = false;
  int32_t ControlWindowX = 0;
  int32_t ControlWindowY = 0;
  int32_t SavedXStatusPicture = 0;
  uint32_t PlayerId = 0;
  std::u16string AudioTitleTemplate, AudioTextTemplate, VideoTitleTemplate, VideoTextTemplate;
  std::u16string SavedXStatusTitle, SavedXStatusText;
  std::u16string PasteTemplate;
};

class IHost {
 public:
  virtual ~IHost() = default;
  // MSG_SET_XSTATUS; an absent text is sent as a null pointer.
  virtual void SetXStatus(int32_t picture, const OptText& title, const OptText& text) = 0;
  // MSG_GET_XSTATUS with a fresh zeroed record.
  virtual XStatusAnswer GetXStatus() = 0;
  // GetSharedOptions, read or written; false when the host returns null.
  virtual bool LoadHostKept(HostKeptValues& out) = 0;
  virtual bool StoreHostKept(const HostKeptValues& in) = 0;
  // Whether GetSharedOptions returns a record now (asked before a store, so
  // that nothing else is sent when there is none).
  virtual bool HostKeptAvailable() { return true; }
};

}  // namespace tunelet
