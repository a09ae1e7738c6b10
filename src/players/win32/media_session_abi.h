// The binary interfaces of the system media session
// (Windows.Media.Control, Windows 10 1809 and later) as the route calls them,
// declared here because the toolchain's headers do not have them. Only the
// slots the route calls are named; the others hold their place in the
// table. Shared with the simulated session manager of the tests, which
// implements the same tables.
//
// Parameterized interfaces (IAsyncOperation<T>, IVectorView<T>,
// IReference<T>) are never asked for by id: the route receives them as
// results and calls their slots, so one declaration per shape serves every T
// that is a pointer or a 32-bit value.
#pragma once

#include <windows.h>
#include <asyncinfo.h>
#include <activation.h>
#include <hstring.h>
#include <inspectable.h>

#include <cstdint>

namespace tunelet::win32::media_abi {

// The runtime class whose activation factory the route asks for.
constexpr wchar_t kSessionManagerClass[] = L"Windows.Media.Control.GlobalSystemMediaTransportControlsSessionManager";

// GlobalSystemMediaTransportControlsSessionPlaybackStatus.
enum class PlaybackStatus : int32_t { Closed = 0, Opened = 1, Changing = 2, Stopped = 3, Playing = 4, Paused = 5 };
// Windows.Media.MediaPlaybackType.
enum class PlaybackType : int32_t { Unknown = 0, Music = 1, Video = 2, Image = 3 };
// Windows.Storage.Streams.InputStreamOptions.
constexpr uint32_t kInputStreamOptionsNone = 0;

struct TimeSpan {
  int64_t Duration;  // 100-nanosecond units
};
struct DateTime {
  int64_t UniversalTime;
};

// --- generic shapes

// IAsyncOperation<T> with T a pointer (or boolean, read through a wider slot
// by the caller's own declaration below).
struct IAsyncOperationOfPointer : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE put_Completed(IUnknown* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Completed(IUnknown** handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetResults(void** result) = 0;
};
struct IAsyncOperationOfBoolean : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE put_Completed(IUnknown* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Completed(IUnknown** handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetResults(boolean* result) = 0;
};
// IAsyncOperationWithProgress<IBuffer, UINT32>.
struct IAsyncOperationWithProgressOfPointer : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE put_Progress(IUnknown* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Progress(IUnknown** handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Completed(IUnknown* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Completed(IUnknown** handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetResults(void** result) = 0;
};
// IVectorView<T> with T a pointer or an HSTRING.
struct IVectorViewOfPointer : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, void** item) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE IndexOf(void* value, UINT32* index, boolean* found) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMany(UINT32 start, UINT32 capacity, void** items, UINT32* actual) = 0;
};
// IReference<T> with T a 32-bit enumeration.
struct IReferenceOfInt32 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Value(int32_t* value) = 0;
};

// --- Windows.Media.Control

// A slot the route never calls; its arguments do not matter for the table.
#define TUNELET_UNUSED_SLOT(name) virtual HRESULT STDMETHODCALLTYPE name(void*, void*) = 0

struct ISessionManagerStatics : IInspectable {
  // IAsyncOperation<GlobalSystemMediaTransportControlsSessionManager>.
  virtual HRESULT STDMETHODCALLTYPE RequestAsync(IAsyncOperationOfPointer** operation) = 0;
};

struct ISession;

struct ISessionManager : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE GetCurrentSession(ISession** session) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSessions(IVectorViewOfPointer** sessions) = 0;
  TUNELET_UNUSED_SLOT(add_CurrentSessionChanged);
  virtual HRESULT STDMETHODCALLTYPE remove_CurrentSessionChanged(int64_t token) = 0;
  TUNELET_UNUSED_SLOT(add_SessionsChanged);
  virtual HRESULT STDMETHODCALLTYPE remove_SessionsChanged(int64_t token) = 0;
};

struct IMediaProperties;
struct ITimelineProperties;
struct IPlaybackInfo;

struct ISession : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_SourceAppUserModelId(HSTRING* id) = 0;
  // IAsyncOperation<GlobalSystemMediaTransportControlsSessionMediaProperties>.
  virtual HRESULT STDMETHODCALLTYPE TryGetMediaPropertiesAsync(IAsyncOperationOfPointer** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTimelineProperties(ITimelineProperties** timeline) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPlaybackInfo(IPlaybackInfo** info) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryPlayAsync(IAsyncOperationOfBoolean** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryPauseAsync(IAsyncOperationOfBoolean** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryStopAsync(IAsyncOperationOfBoolean** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryRecordAsync(IAsyncOperationOfBoolean** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryFastForwardAsync(IAsyncOperationOfBoolean** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryRewindAsync(IAsyncOperationOfBoolean** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TrySkipNextAsync(IAsyncOperationOfBoolean** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE TrySkipPreviousAsync(IAsyncOperationOfBoolean** operation) = 0;
  // The rest of the table (channel, toggle, repeat, rate, shuffle, position,
  // events) is never called.
};

struct IMediaProperties : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Title(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Subtitle(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AlbumArtist(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Artist(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AlbumTitle(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_TrackNumber(int32_t* value) = 0;
  // IVectorView<HSTRING>.
  virtual HRESULT STDMETHODCALLTYPE get_Genres(IVectorViewOfPointer** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AlbumTrackCount(int32_t* value) = 0;
  // IReference<MediaPlaybackType>; null when the source did not say.
  virtual HRESULT STDMETHODCALLTYPE get_PlaybackType(IReferenceOfInt32** value) = 0;
  // IRandomAccessStreamReference; null when there is no thumbnail.
  virtual HRESULT STDMETHODCALLTYPE get_Thumbnail(IInspectable** value) = 0;
};

struct ITimelineProperties : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_StartTime(TimeSpan* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_EndTime(TimeSpan* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MinSeekTime(TimeSpan* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MaxSeekTime(TimeSpan* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Position(TimeSpan* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LastUpdatedTime(DateTime* value) = 0;
};

struct IPlaybackInfo : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Controls(IInspectable** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PlaybackStatus(PlaybackStatus* value) = 0;
  // IReference<MediaPlaybackType>; null when the source did not say.
  virtual HRESULT STDMETHODCALLTYPE get_PlaybackType(IReferenceOfInt32** value) = 0;
  TUNELET_UNUSED_SLOT(get_AutoRepeatMode);
  TUNELET_UNUSED_SLOT(get_PlaybackRate);
  TUNELET_UNUSED_SLOT(get_IsShuffleActive);
};

#undef TUNELET_UNUSED_SLOT

// --- Windows.Storage.Streams

struct IRandomAccessStreamReference : IInspectable {
  // IAsyncOperation<IRandomAccessStreamWithContentType>.
  virtual HRESULT STDMETHODCALLTYPE OpenReadAsync(IAsyncOperationOfPointer** operation) = 0;
};

struct IBuffer;

struct IInputStream : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE ReadAsync(IBuffer* buffer, UINT32 count, uint32_t options,
                                              IAsyncOperationWithProgressOfPointer** operation) = 0;
};

struct IRandomAccessStream : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Size(UINT64* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Size(UINT64 value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInputStreamAt(UINT64 position, IInputStream** stream) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOutputStreamAt(UINT64 position, IInspectable** stream) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Position(UINT64* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Seek(UINT64 position) = 0;
  virtual HRESULT STDMETHODCALLTYPE CloneStream(IRandomAccessStream** stream) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CanRead(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CanWrite(boolean* value) = 0;
};

struct IBuffer : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Capacity(UINT32* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Length(UINT32* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Length(UINT32 value) = 0;
};

// The bytes behind an IBuffer (Windows::Storage::Streams::IBufferByteAccess).
struct IBufferByteAccess : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Buffer(BYTE** value) = 0;
};

// --- interface ids (the toolchain's import libraries lack the first two)

constexpr GUID kIidInspectable = {0xaf86e2e0, 0xb12d, 0x4c6a, {0x9c, 0x5a, 0xd7, 0xaa, 0x65, 0x10, 0x1e, 0x90}};
constexpr GUID kIidAsyncInfo = {0x00000036, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr GUID kIidSessionManagerStatics = {0x2050c4ee, 0x11a0, 0x57de, {0xae, 0xd7, 0xc9, 0x7c, 0x70, 0x33, 0x82, 0x45}};
constexpr GUID kIidSessionManager = {0xcace8eac, 0xe86e, 0x504a, {0xab, 0x31, 0x5f, 0xf8, 0xff, 0x1b, 0xce, 0x49}};
constexpr GUID kIidSession = {0x7148c835, 0x9b14, 0x5ae2, {0xab, 0x85, 0xdc, 0x9b, 0x1c, 0x14, 0xe1, 0xa8}};
constexpr GUID kIidMediaProperties = {0x68856cf6, 0xadb4, 0x54b2, {0xac, 0x16, 0x05, 0x83, 0x79, 0x07, 0xac, 0xb6}};
constexpr GUID kIidTimelineProperties = {0xede34136, 0x6f25, 0x588d, {0x8e, 0xcf, 0xea, 0x5b, 0x67, 0x35, 0xaa, 0xa5}};
constexpr GUID kIidPlaybackInfo = {0x94b4b6cf, 0xe8ba, 0x51ad, {0x87, 0xa7, 0xc1, 0x0a, 0xde, 0x10, 0x61, 0x27}};
constexpr GUID kIidRandomAccessStreamReference = {0x33ee3134, 0x1dd6, 0x4e3a, {0x80, 0x67, 0xd1, 0xc1, 0x62, 0xe8, 0x64, 0x2b}};
constexpr GUID kIidInputStream = {0x905a0fe2, 0xbc53, 0x11df, {0x8c, 0x49, 0x00, 0x1e, 0x4f, 0xc6, 0x86, 0xda}};
constexpr GUID kIidRandomAccessStream = {0x905a0fe1, 0xbc53, 0x11df, {0x8c, 0x49, 0x00, 0x1e, 0x4f, 0xc6, 0x86, 0xda}};
constexpr GUID kIidBuffer = {0x905a0fe0, 0xbc53, 0x11df, {0x8c, 0x49, 0x00, 0x1e, 0x4f, 0xc6, 0x86, 0xda}};
constexpr GUID kIidBufferByteAccess = {0x905a0fef, 0xbc53, 0x11df, {0x8c, 0x49, 0x00, 0x1e, 0x4f, 0xc6, 0x86, 0xda}};

}  // namespace tunelet::win32::media_abi
