// The binary contract with the Talkeo host: the export, the two interfaces in
// slot order and the records that cross the boundary. Shared by the plug-in
// and by the simulated host (tools/talkeo-sim), so both agree by construction;
// the offsets are checked at compile time.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstddef>
#include <cstdint>

namespace tunelet::abi {

#pragma pack(push, 1)
struct PluginDescriptor {
  uint32_t DllHandle;         // written by the host before MSG_LOADED
  const wchar_t* DllPath;     // zero-terminated full path of the plug-in
  uint16_t SdkVersionMajor;   // 1
  uint16_t SdkVersionMinor;   // 2
  uint16_t PluginVersionMajor;  // 3
  uint16_t PluginVersionMinor;  // 0
  const wchar_t* PluginName;    // "Tunelet"
  const wchar_t* PluginAuthor;  // "ORB2000"
};

struct HostMessage {
  int32_t Msg;
  int32_t WParam;     // X-status picture in codes 10, 11, 12
  int32_t LParam;     // UTF-16 title pointer in codes 10 and 11
  int32_t NParam;     // UTF-16 text pointer in codes 10, 11, 12
  int32_t Result;
  int32_t DllHandle;  // the sender's DllHandle
};

// The part of the host-kept record the plug-in uses; the gaps are the host's.
struct HostKeptOptions {
  uint8_t PluginOn;            // 0
  uint8_t KeepXStatusName;     // 1
  uint8_t ManualPlayer;        // 2
  uint8_t IgnoreVideo;         // 3
  uint8_t PopupsOn;            // 4
  uint8_t UseLanguageFile;     // 5
  uint8_t Initialised;         // 6
  uint8_t reserved7[2];        // 7..8
  uint8_t SavedXStatusValid;   // 9
  uint8_t reserved10[2];       // 10..11
  int32_t ControlWindowX;      // 12
  int32_t ControlWindowY;      // 16
  uint8_t reserved20[16];      // 20..35
  int32_t SavedXStatusPicture; // 36
  uint32_t PlayerId;           // 40
  uint8_t reserved44[8];       // 44..51
  BSTR AudioTitleTemplate;     // 52
  BSTR AudioTextTemplate;      // 56
  BSTR VideoTitleTemplate;     // 60
  BSTR VideoTextTemplate;      // 64
  uint8_t reserved68[4];       // 68..71
  BSTR SavedXStatusTitle;      // 72
  BSTR SavedXStatusText;       // 76
  uint8_t reserved80[8];       // 80..87
  BSTR PasteTemplate;          // 88
  uint8_t reserved92[36];      // the host may keep more; the plug-in never touches it
};
#pragma pack(pop)

static_assert(sizeof(void*) == 4, "the host boundary is 32-bit");
static_assert(sizeof(PluginDescriptor) == 24);
static_assert(offsetof(PluginDescriptor, DllPath) == 4);
static_assert(offsetof(PluginDescriptor, SdkVersionMajor) == 8);
static_assert(offsetof(PluginDescriptor, SdkVersionMinor) == 10);
static_assert(offsetof(PluginDescriptor, PluginVersionMajor) == 12);
static_assert(offsetof(PluginDescriptor, PluginVersionMinor) == 14);
static_assert(offsetof(PluginDescriptor, PluginName) == 16);
static_assert(offsetof(PluginDescriptor, PluginAuthor) == 20);
static_assert(sizeof(HostMessage) == 24);
static_assert(offsetof(HostMessage, WParam) == 4);
static_assert(offsetof(HostMessage, LParam) == 8);
static_assert(offsetof(HostMessage, NParam) == 12);
static_assert(offsetof(HostMessage, Result) == 16);
static_assert(offsetof(HostMessage, DllHandle) == 20);
static_assert(offsetof(HostKeptOptions, Initialised) == 6);
static_assert(offsetof(HostKeptOptions, SavedXStatusValid) == 9);
static_assert(offsetof(HostKeptOptions, ControlWindowX) == 12);
static_assert(offsetof(HostKeptOptions, ControlWindowY) == 16);
static_assert(offsetof(HostKeptOptions, SavedXStatusPicture) == 36);
static_assert(offsetof(HostKeptOptions, PlayerId) == 40);
static_assert(offsetof(HostKeptOptions, AudioTitleTemplate) == 52);
static_assert(offsetof(HostKeptOptions, AudioTextTemplate) == 56);
static_assert(offsetof(HostKeptOptions, VideoTitleTemplate) == 60);
static_assert(offsetof(HostKeptOptions, VideoTextTemplate) == 64);
static_assert(offsetof(HostKeptOptions, SavedXStatusTitle) == 72);
static_assert(offsetof(HostKeptOptions, SavedXStatusText) == 76);
static_assert(offsetof(HostKeptOptions, PasteTemplate) == 88);

// The host's service. Its interface identifier is all zeros.
struct ITLKPluginService : IUnknown {
  virtual HostKeptOptions* STDMETHODCALLTYPE GetSharedOptions(uint32_t dllHandle) = 0;
  virtual void STDMETHODCALLTYPE SendToHost(HostMessage* message) = 0;
};

// The plug-in's interface. Its interface identifier is all zeros.
struct IHostPlugin : IUnknown {
  virtual PluginDescriptor* STDMETHODCALLTYPE GetInfo() = 0;
  virtual void STDMETHODCALLTYPE HandleHostMessage(HostMessage* message) = 0;
};

// extern "C" void __stdcall CreateTalkeoPLUGIN(IHostPlugin** out, ITLKPluginService* service)
using CreatePluginFn = void(__stdcall*)(IHostPlugin** out, ITLKPluginService* service);

}  // namespace tunelet::abi
