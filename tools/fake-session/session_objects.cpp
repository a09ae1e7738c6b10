// The simulated session manager's objects: the activation factory with its
// statics, the manager, its sessions and what they describe, and the
// thumbnail's stream.
#include "session_objects.h"

#include <winstring.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "async_operation.h"

namespace fakesession {

namespace {

constexpr HRESULT kBounds = HRESULT(0x8000000BL);  // E_BOUNDS
// Thumbnails larger than this are refused when opened (the product's own cap
// is far below, so tests can still hand it too much).
constexpr uint64_t kMaxThumbnailBytes = 16 * 1024 * 1024;

// What the objects of one script read share.
struct Snapshot {
  ScriptState state;
  int64_t readTime = 0;  // FILETIME of the read, the timeline's LastUpdatedTime
};
using SnapshotPtr = std::shared_ptr<const Snapshot>;

SnapshotPtr ReadSnapshot() {
  auto snapshot = std::make_shared<Snapshot>();
  snapshot->state = LoadScript();
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  snapshot->readTime = int64_t((uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime);
  SetObjectLog(snapshot->state.logPath);
  return snapshot;
}

// --- collections and references

struct SessionItems {
  using Item = Ref<abi::ISession>;
  static HRESULT Copy(const Item& item, void** out) {
    *out = Ref<abi::ISession>(item).Detach();
    return S_OK;
  }
  static bool Equal(const Item& item, void* value) { return item.get() == value; }
};
struct StringItems {
  using Item = std::wstring;
  static HRESULT Copy(const Item& item, void** out) { return MakeHString(item, reinterpret_cast<HSTRING*>(out)); }
  static bool Equal(const Item& item, void* value) {
    UINT32 length = 0;
    const wchar_t* text = WindowsGetStringRawBuffer(static_cast<HSTRING>(value), &length);
    return item == std::wstring_view(text, length);
  }
};

// IVectorView<T> over a fixed list.
template <class Items>
class VectorView final : public Object<abi::IVectorViewOfPointer> {
 public:
  explicit VectorView(std::vector<typename Items::Item> items) : items_(std::move(items)) {}

  HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, void** item) override {
    if (!item) return E_POINTER;
    *item = nullptr;
    if (index >= items_.size()) return kBounds;
    return Items::Copy(items_[index], item);
  }
  HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) override {
    if (!size) return E_POINTER;
    *size = UINT32(items_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IndexOf(void* value, UINT32* index, boolean* found) override {
    if (!index || !found) return E_POINTER;
    const auto it =
        std::find_if(items_.begin(), items_.end(), [&](const auto& item) { return Items::Equal(item, value); });
    *found = it != items_.end();
    *index = *found ? UINT32(it - items_.begin()) : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMany(UINT32 start, UINT32 capacity, void** items, UINT32* actual) override {
    if (!actual || (capacity && !items)) return E_POINTER;
    *actual = 0;
    if (start > items_.size()) return kBounds;
    const size_t n = std::min<size_t>(capacity, items_.size() - start);
    for (size_t i = 0; i < n; ++i) {
      if (const HRESULT hr = Items::Copy(items_[start + i], &items[i]); FAILED(hr)) return hr;
      *actual = UINT32(i + 1);
    }
    return S_OK;
  }

 private:
  const std::vector<typename Items::Item> items_;
};

class Int32Reference final : public Object<abi::IReferenceOfInt32> {
 public:
  explicit Int32Reference(int32_t value) : value_(value) {}
  HRESULT STDMETHODCALLTYPE get_Value(int32_t* value) override {
    if (!value) return E_POINTER;
    *value = value_;
    return S_OK;
  }

 private:
  const int32_t value_;
};

// The playback type as the system gives it: null when the source did not say.
HRESULT PlaybackTypeReference(PlaybackKind type, abi::IReferenceOfInt32** out) {
  if (!out) return E_POINTER;
  *out = type == PlaybackKind::None ? nullptr : new Int32Reference(int32_t(type));
  return S_OK;
}

// --- the thumbnail

// The bytes of one opened thumbnail and a stream's place in them.
struct StreamState {
  std::shared_ptr<const std::vector<BYTE>> bytes;
  std::mutex mutex;
  uint64_t position = 0;
};

// Copies up to count bytes from the stream's place into the buffer (its
// capacity bounds the copy) and moves the place on.
HRESULT FillBuffer(StreamState& stream, abi::IBuffer* buffer, UINT32 count) {
  Ref<abi::IBufferByteAccess> access;
  if (FAILED(buffer->QueryInterface(abi::kIidBufferByteAccess, reinterpret_cast<void**>(access.Put()))))
    return E_INVALIDARG;
  UINT32 capacity = 0;
  BYTE* data = nullptr;
  if (FAILED(buffer->get_Capacity(&capacity)) || FAILED(access->Buffer(&data)) || (!data && capacity)) return E_FAIL;
  std::lock_guard lock(stream.mutex);
  const uint64_t size = stream.bytes->size();
  const uint64_t left = stream.position < size ? size - stream.position : 0;
  const UINT32 n = UINT32(std::min<uint64_t>({count, capacity, left}));
  if (n) std::memcpy(data, stream.bytes->data() + stream.position, n);
  stream.position += n;
  return buffer->put_Length(n);
}

class ThumbnailStream final : public Object<abi::IRandomAccessStream, abi::IInputStream> {
 public:
  ThumbnailStream(std::shared_ptr<const std::vector<BYTE>> bytes, uint64_t position, SnapshotPtr snapshot,
                  const SessionState* session)
      : stream_(std::make_shared<StreamState>()), snapshot_(std::move(snapshot)), session_(session) {
    stream_->bytes = std::move(bytes);
    stream_->position = position;
  }

  // IRandomAccessStream
  HRESULT STDMETHODCALLTYPE get_Size(UINT64* value) override {
    if (!value) return E_POINTER;
    *value = session_->thumbnailReportedSize.value_or(stream_->bytes->size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Size(UINT64 value) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetInputStreamAt(UINT64 position, abi::IInputStream** stream) override {
    if (!stream) return E_POINTER;
    *stream = static_cast<abi::IInputStream*>(new ThumbnailStream(stream_->bytes, position, snapshot_, session_));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetOutputStreamAt(UINT64 position, IInspectable** stream) override {
    if (stream) *stream = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_Position(UINT64* value) override {
    if (!value) return E_POINTER;
    std::lock_guard lock(stream_->mutex);
    *value = stream_->position;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Seek(UINT64 position) override {
    std::lock_guard lock(stream_->mutex);
    stream_->position = position;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CloneStream(abi::IRandomAccessStream** stream) override {
    if (!stream) return E_POINTER;
    *stream = new ThumbnailStream(stream_->bytes, 0, snapshot_, session_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_CanRead(boolean* value) override {
    if (!value) return E_POINTER;
    *value = TRUE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_CanWrite(boolean* value) override {
    if (!value) return E_POINTER;
    *value = FALSE;
    return S_OK;
  }

  // IInputStream: the bytes are copied when the read completes.
  HRESULT STDMETHODCALLTYPE ReadAsync(abi::IBuffer* buffer, UINT32 count, uint32_t options,
                                      abi::IAsyncOperationWithProgressOfPointer** operation) override {
    if (!operation) return E_POINTER;
    *operation = nullptr;
    if (!buffer) return E_INVALIDARG;
    auto read = [stream = stream_, target = Ref<abi::IBuffer>::Share(buffer), count](IInspectable** result) {
      const HRESULT hr = FillBuffer(*stream, target.get(), count);
      if (SUCCEEDED(hr)) *result = Ref<abi::IBuffer>(target).Detach();
      return hr;
    };
    auto* op = new ReadOperation(std::move(read));
    op->Start(session_->read);
    *operation = op;
    return S_OK;
  }

 private:
  const std::shared_ptr<StreamState> stream_;
  const SnapshotPtr snapshot_;  // keeps session_ alive
  const SessionState* const session_;
};

// The whole file, or an error when it cannot be read or is too large.
HRESULT ReadThumbnailFile(const std::wstring& path, std::vector<BYTE>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
  LARGE_INTEGER size{};
  HRESULT hr = S_OK;
  if (!GetFileSizeEx(file, &size)) {
    hr = HRESULT_FROM_WIN32(GetLastError());
  } else if (uint64_t(size.QuadPart) > kMaxThumbnailBytes) {
    hr = E_OUTOFMEMORY;
  } else {
    bytes.resize(size_t(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr)) hr = HRESULT_FROM_WIN32(GetLastError());
    bytes.resize(read);
  }
  CloseHandle(file);
  return hr;
}

class ThumbnailReference final : public Object<abi::IRandomAccessStreamReference> {
 public:
  ThumbnailReference(SnapshotPtr snapshot, const SessionState* session)
      : snapshot_(std::move(snapshot)), session_(session) {}

  HRESULT STDMETHODCALLTYPE OpenReadAsync(abi::IAsyncOperationOfPointer** operation) override {
    if (!operation) return E_POINTER;
    auto open = [snapshot = snapshot_, session = session_](IInspectable** result) {
      auto bytes = std::make_shared<std::vector<BYTE>>();
      const HRESULT hr = ReadThumbnailFile(session->thumbnailPath, *bytes);
      if (SUCCEEDED(hr)) *result = (new ThumbnailStream(std::move(bytes), 0, snapshot, session))->Identity();
      return hr;
    };
    auto* op = new PointerOperation(std::move(open));
    op->Start(session_->open);
    *operation = op;
    return S_OK;
  }

 private:
  const SnapshotPtr snapshot_;
  const SessionState* const session_;
};

// --- what a session describes

HRESULT Text(const std::wstring& text, HSTRING* out) { return out ? MakeHString(text, out) : E_POINTER; }
template <class T>
HRESULT Value(T v, T* out) {
  if (!out) return E_POINTER;
  *out = v;
  return S_OK;
}

class MediaProperties final : public Object<abi::IMediaProperties> {
 public:
  MediaProperties(SnapshotPtr snapshot, const SessionState* session)
      : snapshot_(std::move(snapshot)), s_(*session) {}

  HRESULT STDMETHODCALLTYPE get_Title(HSTRING* value) override { return Text(s_.title, value); }
  HRESULT STDMETHODCALLTYPE get_Subtitle(HSTRING* value) override { return Text(s_.subtitle, value); }
  HRESULT STDMETHODCALLTYPE get_AlbumArtist(HSTRING* value) override { return Text(s_.albumArtist, value); }
  HRESULT STDMETHODCALLTYPE get_Artist(HSTRING* value) override { return Text(s_.artist, value); }
  HRESULT STDMETHODCALLTYPE get_AlbumTitle(HSTRING* value) override { return Text(s_.album, value); }
  HRESULT STDMETHODCALLTYPE get_TrackNumber(int32_t* value) override { return Value(s_.trackNumber, value); }
  HRESULT STDMETHODCALLTYPE get_Genres(abi::IVectorViewOfPointer** value) override {
    if (!value) return E_POINTER;
    *value = new VectorView<StringItems>(s_.genres);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_AlbumTrackCount(int32_t* value) override { return Value(s_.trackCount, value); }
  HRESULT STDMETHODCALLTYPE get_PlaybackType(abi::IReferenceOfInt32** value) override {
    return PlaybackTypeReference(s_.type, value);
  }
  HRESULT STDMETHODCALLTYPE get_Thumbnail(IInspectable** value) override {
    if (!value) return E_POINTER;
    *value = s_.thumbnailPath.empty() ? nullptr : (new ThumbnailReference(snapshot_, &s_))->Identity();
    return S_OK;
  }

 private:
  const SnapshotPtr snapshot_;
  const SessionState& s_;
};

class TimelineProperties final : public Object<abi::ITimelineProperties> {
 public:
  TimelineProperties(SnapshotPtr snapshot, const SessionState* session)
      : snapshot_(std::move(snapshot)), s_(*session) {}

  HRESULT STDMETHODCALLTYPE get_StartTime(abi::TimeSpan* value) override { return Value({s_.startTicks}, value); }
  HRESULT STDMETHODCALLTYPE get_EndTime(abi::TimeSpan* value) override { return Value({s_.endTicks}, value); }
  HRESULT STDMETHODCALLTYPE get_MinSeekTime(abi::TimeSpan* value) override { return Value({s_.startTicks}, value); }
  HRESULT STDMETHODCALLTYPE get_MaxSeekTime(abi::TimeSpan* value) override { return Value({s_.endTicks}, value); }
  HRESULT STDMETHODCALLTYPE get_Position(abi::TimeSpan* value) override { return Value({s_.positionTicks}, value); }
  HRESULT STDMETHODCALLTYPE get_LastUpdatedTime(abi::DateTime* value) override {
    return Value({snapshot_->readTime}, value);
  }

 private:
  const SnapshotPtr snapshot_;
  const SessionState& s_;
};

class PlaybackInfo final : public Object<abi::IPlaybackInfo> {
 public:
  PlaybackInfo(SnapshotPtr snapshot, const SessionState* session) : snapshot_(std::move(snapshot)), s_(*session) {}

  HRESULT STDMETHODCALLTYPE get_Controls(IInspectable** value) override {
    if (value) *value = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_PlaybackStatus(abi::PlaybackStatus* value) override {
    return Value(abi::PlaybackStatus(s_.status), value);
  }
  HRESULT STDMETHODCALLTYPE get_PlaybackType(abi::IReferenceOfInt32** value) override {
    return PlaybackTypeReference(s_.type, value);
  }
  HRESULT STDMETHODCALLTYPE get_AutoRepeatMode(void*, void*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_PlaybackRate(void*, void*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_IsShuffleActive(void*, void*) override { return E_NOTIMPL; }

 private:
  const SnapshotPtr snapshot_;
  const SessionState& s_;
};

class Session final : public Object<abi::ISession> {
 public:
  Session(SnapshotPtr snapshot, const SessionState* session) : snapshot_(std::move(snapshot)), s_(session) {}

  HRESULT STDMETHODCALLTYPE get_SourceAppUserModelId(HSTRING* id) override { return Text(s_->appId, id); }
  HRESULT STDMETHODCALLTYPE TryGetMediaPropertiesAsync(abi::IAsyncOperationOfPointer** operation) override {
    if (!operation) return E_POINTER;
    auto read = [snapshot = snapshot_, session = s_](IInspectable** result) {
      *result = (new MediaProperties(snapshot, session))->Identity();
      return S_OK;
    };
    auto* op = new PointerOperation(std::move(read));
    op->Start(s_->properties);
    *operation = op;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTimelineProperties(abi::ITimelineProperties** timeline) override {
    if (!timeline) return E_POINTER;
    *timeline = new TimelineProperties(snapshot_, s_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPlaybackInfo(abi::IPlaybackInfo** info) override {
    if (!info) return E_POINTER;
    *info = new PlaybackInfo(snapshot_, s_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE TryPlayAsync(abi::IAsyncOperationOfBoolean** op) override { return Command("TryPlayAsync", op); }
  HRESULT STDMETHODCALLTYPE TryPauseAsync(abi::IAsyncOperationOfBoolean** op) override {
    return Command("TryPauseAsync", op);
  }
  HRESULT STDMETHODCALLTYPE TryStopAsync(abi::IAsyncOperationOfBoolean** op) override { return Command("TryStopAsync", op); }
  HRESULT STDMETHODCALLTYPE TryRecordAsync(abi::IAsyncOperationOfBoolean** op) override {
    return Command("TryRecordAsync", op);
  }
  HRESULT STDMETHODCALLTYPE TryFastForwardAsync(abi::IAsyncOperationOfBoolean** op) override {
    return Command("TryFastForwardAsync", op);
  }
  HRESULT STDMETHODCALLTYPE TryRewindAsync(abi::IAsyncOperationOfBoolean** op) override {
    return Command("TryRewindAsync", op);
  }
  HRESULT STDMETHODCALLTYPE TrySkipNextAsync(abi::IAsyncOperationOfBoolean** op) override {
    return Command("TrySkipNextAsync", op);
  }
  HRESULT STDMETHODCALLTYPE TrySkipPreviousAsync(abi::IAsyncOperationOfBoolean** op) override {
    return Command("TrySkipPreviousAsync", op);
  }

 private:
  // Logs "<method> <app id>"; the session always accepts.
  HRESULT Command(const char* method, abi::IAsyncOperationOfBoolean** operation) {
    if (!operation) return E_POINTER;
    AppendLog(snapshot_->state.logPath, std::string(method) + " " + Narrow(s_->appId));
    auto* op = new BooleanOperation(true);
    op->Start({});
    *operation = op;
    return S_OK;
  }

  const SnapshotPtr snapshot_;
  const SessionState* const s_;
};

// --- the manager

class Manager final : public Object<abi::ISessionManager> {
 public:
  explicit Manager(SnapshotPtr snapshot) : snapshot_(std::move(snapshot)) {}

  // The current session of the last read (RequestAsync's or GetSessions').
  HRESULT STDMETHODCALLTYPE GetCurrentSession(abi::ISession** session) override {
    if (!session) return E_POINTER;
    *session = nullptr;
    const SnapshotPtr snapshot = Latest();
    for (const SessionState& s : snapshot->state.sessions) {
      if (s.current) {
        *session = new Session(snapshot, &s);
        break;
      }
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSessions(abi::IVectorViewOfPointer** sessions) override {
    if (!sessions) return E_POINTER;
    *sessions = nullptr;
    SnapshotPtr snapshot = ReadSnapshot();
    const bool hung = snapshot->state.sessionsCall.kind == Outcome::Kind::Hang;
    if (!BlockAsScripted(&ScriptState::sessionsCall, snapshot->state)) return E_FAIL;
    if (hung) snapshot = ReadSnapshot();  // the script that ended the hang
    {
      std::lock_guard lock(mutex_);
      snapshot_ = snapshot;
    }
    std::vector<Ref<abi::ISession>> items;
    for (const SessionState& s : snapshot->state.sessions) items.push_back(Ref<abi::ISession>::Adopt(new Session(snapshot, &s)));
    *sessions = new VectorView<SessionItems>(std::move(items));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE add_CurrentSessionChanged(void*, void*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE remove_CurrentSessionChanged(int64_t token) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE add_SessionsChanged(void*, void*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE remove_SessionsChanged(int64_t token) override { return E_NOTIMPL; }

 private:
  SnapshotPtr Latest() {
    std::lock_guard lock(mutex_);
    return snapshot_;
  }

  std::mutex mutex_;
  SnapshotPtr snapshot_;
};

// The activation factory; the statics are what RoGetActivationFactory asks for.
class Factory final : public Object<IActivationFactory, abi::ISessionManagerStatics> {
 public:
  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
    if (instance) *instance = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RequestAsync(abi::IAsyncOperationOfPointer** operation) override {
    if (!operation) return E_POINTER;
    SnapshotPtr snapshot = ReadSnapshot();
    const Outcome outcome = snapshot->state.request;
    auto request = [snapshot = std::move(snapshot)](IInspectable** result) {
      *result = (new Manager(snapshot))->Identity();
      return S_OK;
    };
    auto* op = new PointerOperation(std::move(request));
    op->Start(outcome);
    *operation = op;
    return S_OK;
  }
};

}  // namespace

HRESULT MakeHString(const std::wstring& text, HSTRING* out) {
  *out = nullptr;
  if (text.empty()) return S_OK;
  return WindowsCreateString(text.c_str(), UINT32(text.size()), out);
}

IActivationFactory* NewSessionManagerFactory() { return new Factory(); }

}  // namespace fakesession
