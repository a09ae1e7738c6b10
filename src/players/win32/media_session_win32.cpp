#include "players/win32/media_session_win32.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/win32/bounded_lane.h"
#include "platform/win32/late_bound.h"
#include "platform/win32/unique_handle.h"
#include "players/win32/media_session_abi.h"

namespace tunelet::win32 {

namespace {

using namespace media_abi;

// The longest text taken from a session: the record caps its values anyway,
// this keeps a hostile source from making us copy megabytes first.
constexpr UINT32 kMaxSessionTextChars = 4096;
// How often a wait for an asynchronous operation looks at its status.
constexpr DWORD kAsyncPollMs = 2;
// A task abandoned by the host's thread still ends on its own: its waits
// give up after this long.
constexpr DWORD kTaskWaitLimitMs = 5000;
// How long the host's thread waits for a thumbnail or a command before it
// leaves the task to end on its own.
constexpr DWORD kThumbnailWaitMs = 150;
constexpr DWORD kCommandWaitMs = 250;
constexpr HRESULT kModuleNotFound = HRESULT(0x8007007EL);  // ERROR_MOD_NOT_FOUND as an HRESULT

// What activation answers where the system has no session manager: no class
// registered, a registration without a library or naming none that loads, a
// factory without the interface. Any other failure may pass.
bool MeansNoManager(HRESULT activation) {
  switch (activation) {
    case REGDB_E_CLASSNOTREG:
    case REGDB_E_READREGDB:
    case CO_E_DLLNOTFOUND:
    case E_NOTIMPL:
    case E_NOINTERFACE:
    case kModuleNotFound:
      return true;
    default:
      return false;
  }
}

std::atomic<DWORD> g_timeoutMs{kMediaSessionTimeoutMs};

// --- the runtime's functions, looked up once (combase.dll: Windows 8 and later)

struct RuntimeFunctions {
  using GetFactory = HRESULT(WINAPI*)(HSTRING, REFIID, void**);
  using CreateString = HRESULT(WINAPI*)(LPCWSTR, UINT32, HSTRING*);
  using DeleteString = HRESULT(WINAPI*)(HSTRING);
  using RawBuffer = PCWSTR(WINAPI*)(HSTRING, UINT32*);
  GetFactory getActivationFactory = nullptr;
  CreateString createString = nullptr;
  DeleteString deleteString = nullptr;
  RawBuffer rawBuffer = nullptr;
  bool complete() const { return getActivationFactory && createString && deleteString && rawBuffer; }
};

const RuntimeFunctions& Runtime() {
  static const RuntimeFunctions functions = [] {
    RuntimeFunctions f;
    f.getActivationFactory =
        reinterpret_cast<RuntimeFunctions::GetFactory>(SystemExport("combase.dll", "RoGetActivationFactory"));
    f.createString =
        reinterpret_cast<RuntimeFunctions::CreateString>(SystemExport("combase.dll", "WindowsCreateString"));
    f.deleteString =
        reinterpret_cast<RuntimeFunctions::DeleteString>(SystemExport("combase.dll", "WindowsDeleteString"));
    f.rawBuffer =
        reinterpret_cast<RuntimeFunctions::RawBuffer>(SystemExport("combase.dll", "WindowsGetStringRawBuffer"));
    return f;
  }();
  return functions;
}

// An HSTRING deleted on scope exit.
class UniqueHString {
 public:
  UniqueHString() = default;
  ~UniqueHString() {
    if (h_) Runtime().deleteString(h_);
  }
  UniqueHString(const UniqueHString&) = delete;
  UniqueHString& operator=(const UniqueHString&) = delete;
  HSTRING get() const { return h_; }
  HSTRING* put() { return &h_; }  // only on a fresh object

 private:
  HSTRING h_ = nullptr;
};

std::u16string TextOf(HSTRING h) {
  if (!h) return {};
  UINT32 length = 0;
  const wchar_t* chars = Runtime().rawBuffer(h, &length);
  if (!chars) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(chars), std::min(length, kMaxSessionTextChars));
}

// A text property read by a getter of the shape HRESULT (T::*)(HSTRING*).
template <typename T>
std::u16string ReadText(T* object, HRESULT (STDMETHODCALLTYPE T::*getter)(HSTRING*)) {
  UniqueHString value;
  if (!object || FAILED((object->*getter)(value.put()))) return {};
  return TextOf(value.get());
}

// --- asynchronous operations, waited for by polling their status

// Waits until the operation is no longer running or the deadline passes;
// true when it completed. An operation given up on is cancelled.
bool WaitForCompletion(IInspectable* operation, ULONGLONG deadline) {
  ComPtr<IAsyncInfo> info;
  if (!operation || FAILED(operation->QueryInterface(kIidAsyncInfo, info.putVoid()))) return false;
  for (;;) {
    AsyncStatus status = Started;
    if (FAILED(info->get_Status(&status))) return false;
    if (status == Completed) return true;
    if (status != Started) return false;
    if (TickCount64() >= deadline) {
      info->Cancel();
      return false;
    }
    ::Sleep(kAsyncPollMs);
  }
}

// The result of a completed IAsyncOperation<T*>, as interface I.
template <typename I>
ComPtr<I> AwaitPointer(IAsyncOperationOfPointer* operation, ULONGLONG deadline) {
  ComPtr<I> result;
  if (!WaitForCompletion(operation, deadline)) return result;
  void* raw = nullptr;
  if (SUCCEEDED(operation->GetResults(&raw))) *result.putVoid() = raw;
  return result;
}

ULONGLONG DeadlineIn(DWORD ms) { return TickCount64() + ms; }

// --- reading the sessions

// The manager, kept on the reads lane's thread from one poll to the next: a
// system object, activated once instead of on every poll.
class KeptManager final : public LaneThreadState {
 public:
  ComPtr<ISessionManager> manager;
};

ComPtr<ISessionManager> RequestManager(HRESULT* activation);

// Borrowed: held by the lane thread's state.
ISessionManager* KeptOrNewManager(KeptLaneState& state, HRESULT* activation) {
  if (!state) state = std::make_unique<KeptManager>();
  auto& kept = static_cast<KeptManager&>(*state);
  if (!kept.manager) kept.manager = RequestManager(activation);
  return kept.manager.get();
}

void ForgetKeptManager(KeptLaneState& state) {
  if (state) static_cast<KeptManager&>(*state).manager.reset();
}

ComPtr<ISessionManager> RequestManager(HRESULT* activation) {
  ComPtr<ISessionManager> manager;
  const RuntimeFunctions& rt = Runtime();
  UniqueHString className;
  *activation = rt.createString(kSessionManagerClass, UINT32(wcslen(kSessionManagerClass)), className.put());
  if (FAILED(*activation)) return manager;
  ComPtr<ISessionManagerStatics> statics;
  *activation = rt.getActivationFactory(className.get(), kIidSessionManagerStatics, statics.putVoid());
  if (FAILED(*activation) || !statics) return manager;
  ComPtr<IAsyncOperationOfPointer> request;
  if (FAILED(statics->RequestAsync(request.put())) || !request) return manager;
  return AwaitPointer<ISessionManager>(request.get(), DeadlineIn(kTaskWaitLimitMs));
}

// The object's identity: two interface pointers of one object give the same.
IUnknown* Identity(IUnknown* object) {
  ComPtr<IUnknown> unknown;
  if (!object || FAILED(object->QueryInterface(IID_IUnknown, unknown.putVoid()))) return nullptr;
  return unknown.get();  // compared only, while the object is held elsewhere
}

bool IsVideo(IReferenceOfInt32* type) {
  int32_t value = 0;
  return type && SUCCEEDED(type->get_Value(&value)) && value == int32_t(PlaybackType::Video);
}

// A status the system does not define counts as closed.
SessionStatus StatusFrom(PlaybackStatus status) {
  const int32_t value = int32_t(status);
  return value >= 0 && value <= int32_t(SessionStatus::Paused) ? SessionStatus(value) : SessionStatus::Closed;
}

struct SessionEntry {
  ComPtr<ISession> session;
  MediaSession seen;
};

// The sessions of the manager; nothing when it could not be asked.
std::optional<std::vector<SessionEntry>> ListSessions(ISessionManager* manager) {
  std::vector<SessionEntry> entries;
  ComPtr<IVectorViewOfPointer> sessions;
  UINT32 count = 0;
  if (FAILED(manager->GetSessions(sessions.put())) || !sessions || FAILED(sessions->get_Size(&count)))
    return std::nullopt;
  // After the list: a manager kept from an earlier poll names the current
  // session of the moment the list was read.
  ComPtr<ISession> current;
  manager->GetCurrentSession(current.put());
  IUnknown* const currentIdentity = Identity(current.get());
  count = std::min<UINT32>(count, kMaxMediaSessions);
  for (UINT32 i = 0; i < count; ++i) {
    SessionEntry e;
    void* raw = nullptr;
    if (FAILED(sessions->GetAt(i, &raw)) || !raw) continue;
    *e.session.putVoid() = raw;
    e.seen.appId = ReadText(e.session.get(), &ISession::get_SourceAppUserModelId);
    e.seen.current = currentIdentity && Identity(e.session.get()) == currentIdentity;
    ComPtr<IPlaybackInfo> playback;
    PlaybackStatus status = PlaybackStatus::Closed;
    if (SUCCEEDED(e.session->GetPlaybackInfo(playback.put())) && playback &&
        SUCCEEDED(playback->get_PlaybackStatus(&status)))
      e.seen.status = StatusFrom(status);
    if (playback) {
      ComPtr<IReferenceOfInt32> type;
      if (SUCCEEDED(playback->get_PlaybackType(type.put()))) e.seen.video = IsVideo(type.get());
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

ComPtr<IMediaProperties> ReadProperties(ISession* session) {
  ComPtr<IAsyncOperationOfPointer> request;
  if (FAILED(session->TryGetMediaPropertiesAsync(request.put())) || !request) return {};
  return AwaitPointer<IMediaProperties>(request.get(), DeadlineIn(kTaskWaitLimitMs));
}

std::u16string FirstGenre(IMediaProperties* properties) {
  ComPtr<IVectorViewOfPointer> genres;
  UINT32 count = 0;
  if (FAILED(properties->get_Genres(genres.put())) || !genres || FAILED(genres->get_Size(&count)) || count == 0)
    return {};
  void* raw = nullptr;
  if (FAILED(genres->GetAt(0, &raw))) return {};
  UniqueHString genre;
  *genre.put() = static_cast<HSTRING>(raw);
  return TextOf(genre.get());
}

void ReadDetails(ISession* session, MediaSession& s) {
  if (ComPtr<IMediaProperties> p = ReadProperties(session)) {
    s.propertiesRead = true;
    s.title = ReadText(p.get(), &IMediaProperties::get_Title);
    s.artist = ReadText(p.get(), &IMediaProperties::get_Artist);
    s.albumArtist = ReadText(p.get(), &IMediaProperties::get_AlbumArtist);
    s.album = ReadText(p.get(), &IMediaProperties::get_AlbumTitle);
    s.genre = FirstGenre(p.get());
    int32_t number = 0;
    if (SUCCEEDED(p->get_TrackNumber(&number))) s.trackNumber = number;
    ComPtr<IReferenceOfInt32> type;
    if (SUCCEEDED(p->get_PlaybackType(type.put())) && type) s.video = IsVideo(type.get());
    ComPtr<IInspectable> thumbnail;
    s.hasThumbnail = SUCCEEDED(p->get_Thumbnail(thumbnail.put())) && thumbnail;
  }
  ComPtr<ITimelineProperties> timeline;
  if (SUCCEEDED(session->GetTimelineProperties(timeline.put())) && timeline) {
    TimeSpan start{}, end{}, position{};
    if (SUCCEEDED(timeline->get_StartTime(&start))) s.startTicks = start.Duration;
    if (SUCCEEDED(timeline->get_EndTime(&end))) s.endTicks = end.Duration;
    if (SUCCEEDED(timeline->get_Position(&position))) s.positionTicks = position.Duration;
  }
}

// The session of appId: one that plays first, else the first of that id.
ComPtr<ISession> FindSession(std::vector<SessionEntry>&& entries, const std::u16string& appId) {
  SessionEntry* found = nullptr;
  for (SessionEntry& e : entries) {
    if (e.seen.appId != appId) continue;
    if (!found || (e.seen.status == SessionStatus::Playing && found->seen.status != SessionStatus::Playing))
      found = &e;
  }
  return found ? std::move(found->session) : ComPtr<ISession>();
}

// --- the thumbnail: read into a buffer of our own

class ByteBuffer final : public IBuffer, public IBufferByteAccess {
 public:
  explicit ByteBuffer(UINT32 capacity) : bytes_(capacity) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == kIidInspectable || iid == kIidBuffer)
      *out = static_cast<IBuffer*>(this);
    else if (iid == kIidBufferByteAccess)
      *out = static_cast<IBufferByteAccess*>(this);
    else
      return *out = nullptr, E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {
    if (level) *level = BaseTrust;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Capacity(UINT32* value) override { return *value = UINT32(bytes_.size()), S_OK; }
  HRESULT STDMETHODCALLTYPE get_Length(UINT32* value) override { return *value = length_, S_OK; }
  HRESULT STDMETHODCALLTYPE put_Length(UINT32 value) override {
    if (value > bytes_.size()) return E_INVALIDARG;
    length_ = value;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Buffer(BYTE** value) override { return *value = bytes_.data(), S_OK; }

 private:
  std::atomic<ULONG> refs_{1};
  std::vector<BYTE> bytes_;
  UINT32 length_ = 0;
};

// The bytes of whatever buffer a read completed with (ours or the source's).
std::vector<uint8_t> BufferBytes(IBuffer* buffer) {
  UINT32 length = 0;
  ComPtr<IBufferByteAccess> access;
  BYTE* data = nullptr;
  if (!buffer || FAILED(buffer->get_Length(&length)) || length == 0 || length > kMaxSessionThumbnailBytes ||
      FAILED(buffer->QueryInterface(kIidBufferByteAccess, access.putVoid())) || FAILED(access->Buffer(&data)) ||
      !data)
    return {};
  return std::vector<uint8_t>(data, data + length);
}

std::vector<uint8_t> ReadThumbnailBytes(ISession* session, ULONGLONG deadline) {
  ComPtr<IMediaProperties> properties = ReadProperties(session);
  ComPtr<IInspectable> thumbnail;
  ComPtr<IRandomAccessStreamReference> reference;
  ComPtr<IAsyncOperationOfPointer> open;
  if (!properties || FAILED(properties->get_Thumbnail(thumbnail.put())) || !thumbnail ||
      FAILED(thumbnail->QueryInterface(kIidRandomAccessStreamReference, reference.putVoid())) ||
      FAILED(reference->OpenReadAsync(open.put())) || !open)
    return {};
  // The operation hands over the stream with its content type; ask it for
  // the random-access stream.
  ComPtr<IInspectable> stream = AwaitPointer<IInspectable>(open.get(), deadline);
  ComPtr<IRandomAccessStream> random;
  UINT64 size = 0;
  ComPtr<IInputStream> input;
  if (!stream || FAILED(stream->QueryInterface(kIidRandomAccessStream, random.putVoid())) ||
      FAILED(random->get_Size(&size)) || size == 0 || size > kMaxSessionThumbnailBytes ||
      FAILED(random->GetInputStreamAt(0, input.put())) || !input)
    return {};
  ComPtr<ByteBuffer> buffer;
  *buffer.put() = new ByteBuffer(UINT32(size));
  ComPtr<IAsyncOperationWithProgressOfPointer> read;
  if (FAILED(input->ReadAsync(buffer.get(), UINT32(size), kInputStreamOptionsNone, read.put())) || !read ||
      !WaitForCompletion(read.get(), deadline))
    return {};
  ComPtr<IBuffer> filled;
  void* raw = nullptr;
  if (FAILED(read->GetResults(&raw)) || !raw) return {};
  *filled.putVoid() = raw;
  return BufferBytes(filled.get());
}

// --- commands

HRESULT StartCommand(ISession* session, int command, IAsyncOperationOfBoolean** operation) {
  switch (command) {
    case 0: return session->TryStopAsync(operation);
    case 1: return session->TryPlayAsync(operation);
    case 2: return session->TryPauseAsync(operation);
    case 3: return session->TrySkipPreviousAsync(operation);
    case 4: return session->TrySkipNextAsync(operation);
    default: return E_INVALIDARG;
  }
}

// --- the route

struct ReadResult {
  bool unavailable = false;
  MediaSessionList list;
};

class MediaSessionRoute final : public IMediaSessionRoute {
 public:
  std::optional<MediaSessionList> ReadSessions(bool returnOnPause) override;
  void RequestThumbnail(const std::u16string& appId, uint64_t generation) override;
  std::optional<Thumbnail> TakeThumbnail() override;
  void SendCommand(const std::u16string& appId, int command) override;

  size_t StuckReads() { return reads_.StuckCount(); }

 private:
  // What lane tasks hand back after the host's thread stopped waiting.
  struct Mailbox {
    std::mutex lock;
    std::optional<Thumbnail> thumbnail;
  };

  bool Unavailable();

  BoundedLane reads_{BoundedLane::Apartment::MultiThreaded};
  BoundedLane thumbnails_{BoundedLane::Apartment::MultiThreaded};
  BoundedLane commands_{BoundedLane::Apartment::MultiThreaded};
  std::shared_ptr<Mailbox> mailbox_ = std::make_shared<Mailbox>();
  bool unavailable_ = false;  // found out once: no session manager here
};

bool MediaSessionRoute::Unavailable() {
  if (!unavailable_ && !Runtime().complete()) unavailable_ = true;
  return unavailable_;
}

std::optional<MediaSessionList> MediaSessionRoute::ReadSessions(bool returnOnPause) {
  if (Unavailable()) return MediaSessionList{};
  const std::optional<ReadResult> result = RunBoundedKeeping<ReadResult>(reads_, g_timeoutMs, [returnOnPause](
                                                                             KeptLaneState& kept) {
    ReadResult r;
    HRESULT activation = S_OK;
    ISessionManager* const manager = KeptOrNewManager(kept, &activation);
    // Only a class the system does not have is "not available"; any other
    // failure is a manager with nothing to say this time.
    if (MeansNoManager(activation)) {
      r.unavailable = true;
      return r;
    }
    r.list.available = true;
    if (!manager) return r;
    std::optional<std::vector<SessionEntry>> listed = ListSessions(manager);
    if (!listed) {
      // A manager that stopped answering is asked for anew next time.
      ForgetKeptManager(kept);
      return r;
    }
    std::vector<SessionEntry>& entries = *listed;
    for (const SessionEntry& e : entries) r.list.sessions.push_back(e.seen);
    if (const std::optional<size_t> chosen = ChooseSession(r.list.sessions, returnOnPause))
      ReadDetails(entries[*chosen].session.get(), r.list.sessions[*chosen]);
    return r;
  });
  if (!result) return std::nullopt;
  if (result->unavailable) {
    unavailable_ = true;
    return MediaSessionList{};
  }
  return result->list;
}

void MediaSessionRoute::RequestThumbnail(const std::u16string& appId, uint64_t generation) {
  if (Unavailable()) return;
  // The read goes on after the wait: its result lands in the mailbox.
  thumbnails_.Run(
      [mailbox = mailbox_, appId, generation] {
        HRESULT activation = S_OK;
        ComPtr<ISessionManager> manager = RequestManager(&activation);
        if (!manager) return;
        ComPtr<ISession> session = FindSession(ListSessions(manager.get()).value_or(std::vector<SessionEntry>{}), appId);
        if (!session) return;
        std::vector<uint8_t> bytes = ReadThumbnailBytes(session.get(), DeadlineIn(kTaskWaitLimitMs));
        if (bytes.empty()) return;
        const std::lock_guard<std::mutex> hold(mailbox->lock);
        // A read for an earlier track never replaces a later one.
        if (!mailbox->thumbnail || mailbox->thumbnail->generation <= generation)
          mailbox->thumbnail = Thumbnail{generation, std::move(bytes)};
      },
      kThumbnailWaitMs);
}

std::optional<IMediaSessionRoute::Thumbnail> MediaSessionRoute::TakeThumbnail() {
  const std::lock_guard<std::mutex> hold(mailbox_->lock);
  return std::exchange(mailbox_->thumbnail, std::nullopt);
}

void MediaSessionRoute::SendCommand(const std::u16string& appId, int command) {
  if (Unavailable() || command < 0 || command > 4) return;
  commands_.Run(
      [appId, command] {
        HRESULT activation = S_OK;
        ComPtr<ISessionManager> manager = RequestManager(&activation);
        if (!manager) return;
        ComPtr<ISession> session = FindSession(ListSessions(manager.get()).value_or(std::vector<SessionEntry>{}), appId);
        ComPtr<IAsyncOperationOfBoolean> operation;
        if (!session || FAILED(StartCommand(session.get(), command, operation.put())) || !operation) return;
        // The answer (done or refused) changes nothing; the wait keeps the
        // operation's last reference until it ends.
        WaitForCompletion(operation.get(), DeadlineIn(kTaskWaitLimitMs));
      },
      kCommandWaitMs);
}

MediaSessionRoute& Route() {
  static MediaSessionRoute route;
  return route;
}

}  // namespace

IMediaSessionRoute& Win32MediaSessionRoute() { return Route(); }

DWORD SetMediaSessionTimeout(DWORD ms) { return g_timeoutMs.exchange(ms); }

size_t StuckMediaSessionCalls() { return Route().StuckReads(); }

}  // namespace tunelet::win32
