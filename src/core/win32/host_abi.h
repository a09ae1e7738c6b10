// The binary contract with the Talkeo host: the export, the two interfaces in
// slot order and the records that cross the boundary. Shared by the plug-in
// and by the simulated host (tools/talkeo-sim), so both agree by construction;
// the offsets are checked at compile time.
//
// The product is 32-bit and its layout is the host's, byte for byte. The same
// sources also build for x86_64, where every field that holds a pointer or a
// handle is pointer-sized and the records are laid out naturally, as a 64-bit
// host would declare them.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstddef>
#include <cstdint>

namespace tunelet::abi {

#if defined(_WIN64)
#pragma pack(push, 8)
#else
#pragma pack(push, 1)
#endif
struct PluginDescriptor {
  uintptr_t DllHandle;        // written by the host before MSG_LOADED
  const wchar_t* DllPath;     // zero-terminated full path of the plug-in
  uint16_t SdkVersionMajor;   // 1
  uint16_t SdkVersionMinor;   // 2
  uint16_t PluginVersionMajor;  // 3
  uint16_t PluginVersionMinor;  // 0
  const wchar_t* PluginName;    // "Tunelet"
  const wchar_t* PluginAuthor;  // "ORB2000"
};

// Every field is as wide as a pointer: 32 bits in the product.
struct HostMessage {
  intptr_t Msg;
  intptr_t WParam;     // X-status picture in codes 10, 11, 12
  intptr_t LParam;     // UTF-16 title pointer in codes 10 and 11
  intptr_t NParam;     // UTF-16 text pointer in codes 10, 11, 12
  intptr_t Result;
  intptr_t DllHandle;  // the sender's DllHandle
};

// The part of the host-kept record the plug-in uses; the gaps are the host's.
// The offsets in the comments are the 32-bit ones.
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

#if !defined(_WIN64)
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
#else
static_assert(sizeof(HostMessage) == 6 * sizeof(void*));
static_assert(offsetof(PluginDescriptor, PluginName) % alignof(void*) == 0);
static_assert(offsetof(HostKeptOptions, AudioTitleTemplate) % alignof(BSTR) == 0);
static_assert(offsetof(HostKeptOptions, PasteTemplate) % alignof(BSTR) == 0);
#endif

// The host's service. Its interface identifier is all zeros.
struct ITLKPluginService : IUnknown {
  virtual HostKeptOptions* STDMETHODCALLTYPE GetSharedOptions(uintptr_t dllHandle) = 0;
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
