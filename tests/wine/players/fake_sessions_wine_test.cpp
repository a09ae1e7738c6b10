// The simulated system media session manager, reached as the product reaches
// the real one: registered as the system's runtime class, activated through
// RoGetActivationFactory looked up in combase.dll at run time.
#include <gtest/gtest.h>

#include <windows.h>
#include <winstring.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "fake_sessions.h"
#include "players/win32/media_session_abi.h"

namespace {

namespace abi = tunelet::win32::media_abi;
using tunelet::testing::FakeOutcome;
using tunelet::testing::FakePlaybackType;
using tunelet::testing::FakeSession;
using tunelet::testing::FakeSessionManager;
using tunelet::testing::FakeSessionObjectsAlive;
using tunelet::testing::FakeSessionScript;
using tunelet::testing::FakeSessionStatus;

constexpr HRESULT kClassNotRegistered = REGDB_E_CLASSNOTREG;  // 0x80040154
constexpr HRESULT kRegistryUnreadable = REGDB_E_READREGDB;    // 0x80040150
constexpr HRESULT kIllegalMethodCall = HRESULT(0x8000000EL);
constexpr DWORD kCompletionBoundMs = 5000;

// combase's functions, looked up at run time as the product does.
struct Combase {
  using GetFactory = HRESULT(WINAPI*)(HSTRING, REFIID, void**);
  using CreateString = HRESULT(WINAPI*)(const wchar_t*, UINT32, HSTRING*);
  using DeleteString = HRESULT(WINAPI*)(HSTRING);
  using RawBuffer = const wchar_t*(WINAPI*)(HSTRING, UINT32*);

  Combase() {
    HMODULE dll = LoadLibraryW(L"combase.dll");
    getFactory = reinterpret_cast<GetFactory>(reinterpret_cast<void*>(GetProcAddress(dll, "RoGetActivationFactory")));
    createString = reinterpret_cast<CreateString>(reinterpret_cast<void*>(GetProcAddress(dll, "WindowsCreateString")));
    deleteString = reinterpret_cast<DeleteString>(reinterpret_cast<void*>(GetProcAddress(dll, "WindowsDeleteString")));
    rawBuffer = reinterpret_cast<RawBuffer>(reinterpret_cast<void*>(GetProcAddress(dll, "WindowsGetStringRawBuffer")));
  }
  GetFactory getFactory = nullptr;
  CreateString createString = nullptr;
  DeleteString deleteString = nullptr;
  RawBuffer rawBuffer = nullptr;
};

const Combase& Api() {
  static const Combase api;
  return api;
}

// Takes over an HSTRING and gives its text.
std::wstring Take(HSTRING s) {
  UINT32 length = 0;
  const wchar_t* text = Api().rawBuffer(s, &length);
  std::wstring out(text ? text : L"", length);
  Api().deleteString(s);
  return out;
}

// An owning pointer for the test's side of the calls.
template <class T>
struct Owned {
  T* p = nullptr;
  ~Owned() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  void Reset() {
    if (p) p->Release();
    p = nullptr;
  }
  T* operator->() const { return p; }
  explicit operator bool() const { return p; }
};

HRESULT ActivateStatics(abi::ISessionManagerStatics** statics) {
  const std::wstring& name = abi::kSessionManagerClass;
  HSTRING id = nullptr;
  Api().createString(name.c_str(), UINT32(name.size()), &id);
  const HRESULT hr = Api().getFactory(id, abi::kIidSessionManagerStatics, reinterpret_cast<void**>(statics));
  Api().deleteString(id);
  return hr;
}

AsyncStatus StatusOf(IUnknown* operation) {
  Owned<IAsyncInfo> info;
  if (FAILED(operation->QueryInterface(__uuidof(IAsyncInfo), reinterpret_cast<void**>(&info)))) return AsyncStatus(-1);
  AsyncStatus status = AsyncStatus(-1);
  info->get_Status(&status);
  return status;
}

// A completion handler: counts its calls and signals an event.
class Handler final : public IUnknown {
 public:
  Handler() : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Handler() { CloseHandle(done_); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == __uuidof(IUnknown) ? this : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the test's stack
  virtual HRESULT STDMETHODCALLTYPE Invoke(void* operation, AsyncStatus status) {
    status_ = status;
    ++calls_;
    SetEvent(done_);
    return S_OK;
  }
  bool Wait(DWORD ms) const { return WaitForSingleObject(done_, ms) == WAIT_OBJECT_0; }
  // Waits until the operation no longer holds the handler.
  bool LetGo(DWORD ms) const {
    for (const DWORD start = GetTickCount(); refs_ != 0; Sleep(1)) {
      if (GetTickCount() - start >= ms) return false;
    }
    return true;
  }
  int calls() const { return calls_; }
  AsyncStatus status() const { return status_; }
  ULONG refs() const { return refs_; }

 private:
  HANDLE done_;
  std::atomic<ULONG> refs_{0};
  std::atomic<int> calls_{0};
  std::atomic<AsyncStatus> status_{AsyncStatus::Started};
};

// The caller's buffer for ReadAsync, as an IBuffer with its byte access.
class TestBuffer final : public abi::IBuffer, public abi::IBufferByteAccess {
 public:
  explicit TestBuffer(UINT32 capacity) : bytes_(capacity) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == abi::kIidBufferByteAccess) {
      *out = static_cast<abi::IBufferByteAccess*>(this);
    } else if (iid == abi::kIidBuffer || iid == __uuidof(IUnknown) || iid == __uuidof(IInspectable)) {
      *out = static_cast<abi::IBuffer*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the test's stack
  HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Capacity(UINT32* value) override {
    *value = UINT32(bytes_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Length(UINT32* value) override {
    *value = length_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Length(UINT32 value) override {
    if (value > bytes_.size()) return E_INVALIDARG;
    length_ = value;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Buffer(BYTE** value) override {
    *value = bytes_.data();
    return S_OK;
  }
  std::vector<uint8_t> Bytes() const { return {bytes_.begin(), bytes_.begin() + length_}; }
  ULONG refs() const { return refs_; }

 private:
  std::vector<uint8_t> bytes_;
  UINT32 length_ = 0;
  std::atomic<ULONG> refs_{0};
};

// A thumbnail's bytes: a PNG signature and a counting pattern, long enough
// to take several reads of a small buffer.
std::vector<uint8_t> ThumbnailBytes(size_t size) {
  std::vector<uint8_t> bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (size_t i = bytes.size(); i < size; ++i) bytes.push_back(uint8_t(i * 7));
  return bytes;
}

FakeSession Spotify() {
  FakeSession s;
  s.appId = L"Spotify.exe";
  s.status = FakeSessionStatus::Paused;
  s.title = L"Paused Song";
  return s;
}

FakeSession Browser(std::wstring thumbnail) {
  FakeSession s;
  s.appId = L"MSEdge";
  s.current = true;
  s.status = FakeSessionStatus::Playing;
  s.title = L"Say \"Hi\" \u00e9t\u00e9";  // quotes and non-ASCII survive the script
  s.subtitle = L"Live";
  s.artist = L"";
  s.albumArtist = L"The Album Artist";
  s.album = L"An Album";
  s.trackNumber = 7;
  s.trackCount = 12;
  s.genres = {L"Rock", L"Art Pop"};
  s.type = FakePlaybackType::Video;
  s.startTicks = 0;
  s.endTicks = 2'415'000'000;  // 4:01.5
  s.positionTicks = 600'000'000;
  s.thumbnailPath = std::move(thumbnail);
  return s;
}

class FakeSessionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Api().getFactory && Api().createString);
    ASSERT_TRUE(manager_.ready());
  }
  void TearDown() override {
    // Every object handed out has been released, delayed ones once they fired.
    EXPECT_TRUE(tunelet::testing::WaitForNoFakeSessionObjects(kCompletionBoundMs))
        << FakeSessionObjectsAlive() << " objects alive";
  }

  // RequestAsync completed at once: the manager.
  void RequestManager(abi::ISessionManager** manager) {
    Owned<abi::ISessionManagerStatics> statics;
    ASSERT_EQ(S_OK, ActivateStatics(&statics));
    Owned<abi::IAsyncOperationOfPointer> request;
    ASSERT_EQ(S_OK, statics->RequestAsync(&request));
    ASSERT_EQ(AsyncStatus::Completed, StatusOf(request.p));
    ASSERT_EQ(S_OK, request->GetResults(reinterpret_cast<void**>(manager)));
    ASSERT_NE(nullptr, *manager);
  }

  FakeSessionManager manager_;
};

TEST_F(FakeSessionsTest, SessionsPropertiesTimelineAndThumbnailThroughActivation) {
  const std::vector<uint8_t> thumbnail = ThumbnailBytes(3000);
  const std::wstring thumbnailPath = manager_.folder() + L"cover.png";
  ASSERT_TRUE(tunelet::testing::WriteBytesFile(thumbnailPath, thumbnail));
  ASSERT_TRUE(manager_.Write(FakeSessionScript().Add(Spotify()).Add(Browser(thumbnailPath))));

  Owned<abi::ISessionManager> manager;
  RequestManager(&manager);
  Owned<abi::IVectorViewOfPointer> sessions;
  ASSERT_EQ(S_OK, manager->GetSessions(&sessions));
  UINT32 count = 0;
  ASSERT_EQ(S_OK, sessions->get_Size(&count));
  ASSERT_EQ(2u, count);
  Owned<abi::ISession> outOfRange;
  EXPECT_EQ(HRESULT(0x8000000BL), sessions->GetAt(2, reinterpret_cast<void**>(&outOfRange)));  // E_BOUNDS

  Owned<abi::ISession> first, session, current;
  ASSERT_EQ(S_OK, sessions->GetAt(0, reinterpret_cast<void**>(&first)));
  ASSERT_EQ(S_OK, sessions->GetAt(1, reinterpret_cast<void**>(&session)));
  HSTRING id = nullptr;
  ASSERT_EQ(S_OK, first->get_SourceAppUserModelId(&id));
  EXPECT_EQ(L"Spotify.exe", Take(id));
  ASSERT_EQ(S_OK, manager->GetCurrentSession(&current));
  ASSERT_TRUE(current);
  ASSERT_EQ(S_OK, current->get_SourceAppUserModelId(&id));
  EXPECT_EQ(L"MSEdge", Take(id));

  Owned<abi::IPlaybackInfo> info;
  ASSERT_EQ(S_OK, session->GetPlaybackInfo(&info));
  abi::PlaybackStatus status{};
  ASSERT_EQ(S_OK, info->get_PlaybackStatus(&status));
  EXPECT_EQ(abi::PlaybackStatus::Playing, status);
  Owned<abi::IPlaybackInfo> pausedInfo;
  ASSERT_EQ(S_OK, first->GetPlaybackInfo(&pausedInfo));
  ASSERT_EQ(S_OK, pausedInfo->get_PlaybackStatus(&status));
  EXPECT_EQ(abi::PlaybackStatus::Paused, status);

  Owned<abi::ITimelineProperties> timeline;
  ASSERT_EQ(S_OK, session->GetTimelineProperties(&timeline));
  abi::TimeSpan span{};
  ASSERT_EQ(S_OK, timeline->get_EndTime(&span));
  EXPECT_EQ(2'415'000'000, span.Duration);
  ASSERT_EQ(S_OK, timeline->get_Position(&span));
  EXPECT_EQ(600'000'000, span.Duration);

  Owned<abi::IAsyncOperationOfPointer> propertiesRead;
  ASSERT_EQ(S_OK, session->TryGetMediaPropertiesAsync(&propertiesRead));
  Owned<abi::IMediaProperties> properties;
  ASSERT_EQ(S_OK, propertiesRead->GetResults(reinterpret_cast<void**>(&properties)));
  HSTRING text = nullptr;
  ASSERT_EQ(S_OK, properties->get_Title(&text));
  EXPECT_EQ(L"Say \"Hi\" \u00e9t\u00e9", Take(text));
  ASSERT_EQ(S_OK, properties->get_Artist(&text));
  EXPECT_EQ(nullptr, text);  // an empty text is the null HSTRING
  ASSERT_EQ(S_OK, properties->get_AlbumArtist(&text));
  EXPECT_EQ(L"The Album Artist", Take(text));
  ASSERT_EQ(S_OK, properties->get_AlbumTitle(&text));
  EXPECT_EQ(L"An Album", Take(text));
  int32_t number = 0;
  ASSERT_EQ(S_OK, properties->get_TrackNumber(&number));
  EXPECT_EQ(7, number);
  Owned<abi::IVectorViewOfPointer> genres;
  ASSERT_EQ(S_OK, properties->get_Genres(&genres));
  ASSERT_EQ(S_OK, genres->get_Size(&count));
  ASSERT_EQ(2u, count);
  ASSERT_EQ(S_OK, genres->GetAt(1, reinterpret_cast<void**>(&text)));
  EXPECT_EQ(L"Art Pop", Take(text));
  Owned<abi::IReferenceOfInt32> type;
  ASSERT_EQ(S_OK, properties->get_PlaybackType(&type));
  ASSERT_TRUE(type);
  ASSERT_EQ(S_OK, type->get_Value(&number));
  EXPECT_EQ(int32_t(abi::PlaybackType::Video), number);

  // The thumbnail, read through a buffer smaller than it until a read gives nothing.
  Owned<IInspectable> thumbnailObject;
  ASSERT_EQ(S_OK, properties->get_Thumbnail(&thumbnailObject));
  ASSERT_TRUE(thumbnailObject);
  Owned<abi::IRandomAccessStreamReference> reference;
  ASSERT_EQ(S_OK, thumbnailObject->QueryInterface(abi::kIidRandomAccessStreamReference,
                                                  reinterpret_cast<void**>(&reference)));
  Owned<abi::IAsyncOperationOfPointer> open;
  ASSERT_EQ(S_OK, reference->OpenReadAsync(&open));
  Owned<IInspectable> streamObject;
  ASSERT_EQ(S_OK, open->GetResults(reinterpret_cast<void**>(&streamObject)));
  Owned<abi::IRandomAccessStream> stream;
  Owned<abi::IInputStream> input;
  ASSERT_EQ(S_OK, streamObject->QueryInterface(abi::kIidRandomAccessStream, reinterpret_cast<void**>(&stream)));
  ASSERT_EQ(S_OK, streamObject->QueryInterface(abi::kIidInputStream, reinterpret_cast<void**>(&input)));
  UINT64 size = 0;
  ASSERT_EQ(S_OK, stream->get_Size(&size));
  EXPECT_EQ(thumbnail.size(), size);
  std::vector<uint8_t> read;
  TestBuffer buffer(1024);
  for (int i = 0; i < 10; ++i) {
    Owned<abi::IAsyncOperationWithProgressOfPointer> op;
    ASSERT_EQ(S_OK, input->ReadAsync(&buffer, 1000, abi::kInputStreamOptionsNone, &op));
    Owned<abi::IBuffer> result;
    ASSERT_EQ(S_OK, op->GetResults(reinterpret_cast<void**>(&result)));
    EXPECT_EQ(static_cast<abi::IBuffer*>(&buffer), result.p);
    const std::vector<uint8_t> chunk = buffer.Bytes();
    if (chunk.empty()) break;
    EXPECT_LE(chunk.size(), 1000u);
    read.insert(read.end(), chunk.begin(), chunk.end());
  }
  EXPECT_EQ(thumbnail, read);
  EXPECT_EQ(0u, buffer.refs());  // the reads gave back the buffer

  // A type of none is no reference at all; no thumbnail is a null one.
  Owned<abi::IAsyncOperationOfPointer> firstRead;
  ASSERT_EQ(S_OK, first->TryGetMediaPropertiesAsync(&firstRead));
  Owned<abi::IMediaProperties> firstProperties;
  ASSERT_EQ(S_OK, firstRead->GetResults(reinterpret_cast<void**>(&firstProperties)));
  Owned<IInspectable> noThumbnail;
  ASSERT_EQ(S_OK, firstProperties->get_Thumbnail(&noThumbnail));
  EXPECT_FALSE(noThumbnail);
}

TEST_F(FakeSessionsTest, RewrittenScriptShowsOnTheNextGetSessionsAndBadLinesAreLogged) {
  ASSERT_TRUE(manager_.Write(FakeSessionScript().Add(Spotify())));
  Owned<abi::ISessionManager> manager;
  RequestManager(&manager);
  Owned<abi::ISession> none;
  ASSERT_EQ(S_OK, manager->GetCurrentSession(&none));
  EXPECT_FALSE(none);

  FakeSession other = Spotify();
  other.appId = L"Microsoft.ZuneMusic_8wekyb3d8bbwe!Microsoft.ZuneMusic";
  other.type = FakePlaybackType::None;
  ASSERT_TRUE(manager_.Write(FakeSessionScript().Add(Spotify()).Add(other)));
  Owned<abi::IVectorViewOfPointer> sessions;
  ASSERT_EQ(S_OK, manager->GetSessions(&sessions));
  UINT32 count = 0;
  ASSERT_EQ(S_OK, sessions->get_Size(&count));
  ASSERT_EQ(2u, count);
  Owned<abi::ISession> second;
  ASSERT_EQ(S_OK, sessions->GetAt(1, reinterpret_cast<void**>(&second)));
  HSTRING id = nullptr;
  ASSERT_EQ(S_OK, second->get_SourceAppUserModelId(&id));
  EXPECT_EQ(other.appId, Take(id));
  Owned<abi::IPlaybackInfo> info;
  ASSERT_EQ(S_OK, second->GetPlaybackInfo(&info));
  Owned<abi::IReferenceOfInt32> type;
  ASSERT_EQ(S_OK, info->get_PlaybackType(&type));
  EXPECT_FALSE(type);

  // A script a test got wrong: the bad line is reported, the good ones hold.
  const std::wstring script = manager_.scriptPath();
  FakeSessionScript good;
  good.logPath = manager_.logPath();
  const std::string text = good.Text() + "session A\nstatus dancing\ntitle \"kept\"\n";
  ASSERT_TRUE(tunelet::testing::WriteBytesFile(script, std::vector<uint8_t>(text.begin(), text.end())));
  Owned<abi::IVectorViewOfPointer> again;
  ASSERT_EQ(S_OK, manager->GetSessions(&again));
  ASSERT_EQ(S_OK, again->get_Size(&count));
  EXPECT_EQ(1u, count);
  const std::vector<std::string> log = manager_.LogLines();
  EXPECT_NE(std::find(log.begin(), log.end(), "script-error 6 bad status"), log.end());
}

TEST_F(FakeSessionsTest, DelayedHungAndFailedOperations) {
  FakeSession hung = Spotify();
  hung.properties = FakeOutcome::Hang();
  FakeSessionScript script;
  script.request = FakeOutcome::After(300);
  ASSERT_TRUE(manager_.Write(script.Add(hung)));

  Owned<abi::ISessionManagerStatics> statics;
  ASSERT_EQ(S_OK, ActivateStatics(&statics));
  {
    // Delayed: Started (no results yet), then Completed and the handler called once.
    Owned<abi::IAsyncOperationOfPointer> request;
    ASSERT_EQ(S_OK, statics->RequestAsync(&request));
    EXPECT_EQ(AsyncStatus::Started, StatusOf(request.p));
    Owned<abi::ISessionManager> early;
    EXPECT_EQ(kIllegalMethodCall, request->GetResults(reinterpret_cast<void**>(&early)));
    Handler handler;
    ASSERT_EQ(S_OK, request->put_Completed(&handler));
    ASSERT_TRUE(handler.Wait(kCompletionBoundMs));
    EXPECT_EQ(AsyncStatus::Completed, handler.status());
    EXPECT_EQ(AsyncStatus::Completed, StatusOf(request.p));
    EXPECT_EQ(1, handler.calls());
    EXPECT_TRUE(handler.LetGo(kCompletionBoundMs));  // once called (Invoke returns first)
    Owned<abi::ISessionManager> manager;
    ASSERT_EQ(S_OK, request->GetResults(reinterpret_cast<void**>(&manager)));

    // Hung: still Started long after, Cancel changes nothing, the handler is never called.
    Owned<abi::IVectorViewOfPointer> sessions;
    ASSERT_EQ(S_OK, manager->GetSessions(&sessions));
    Owned<abi::ISession> session;
    ASSERT_EQ(S_OK, sessions->GetAt(0, reinterpret_cast<void**>(&session)));
    Owned<abi::IAsyncOperationOfPointer> properties;
    ASSERT_EQ(S_OK, session->TryGetMediaPropertiesAsync(&properties));
    Handler never;
    ASSERT_EQ(S_OK, properties->put_Completed(&never));
    Owned<IAsyncInfo> info;
    ASSERT_EQ(S_OK, properties->QueryInterface(__uuidof(IAsyncInfo), reinterpret_cast<void**>(&info)));
    EXPECT_EQ(S_OK, info->Cancel());
    EXPECT_FALSE(never.Wait(500));
    EXPECT_EQ(AsyncStatus::Started, StatusOf(properties.p));
    EXPECT_EQ(0, never.calls());
    // Releasing the hung operation lets go of its handler.
    info.Reset();
    properties.Reset();
    EXPECT_EQ(0u, never.refs());
  }

  // Failed: status Error with E_FAIL at once; a handler set afterwards runs at once.
  script.request = FakeOutcome::Fail();
  ASSERT_TRUE(manager_.Write(script));
  Owned<abi::IAsyncOperationOfPointer> failed;
  ASSERT_EQ(S_OK, statics->RequestAsync(&failed));
  Owned<IAsyncInfo> info;
  ASSERT_EQ(S_OK, failed->QueryInterface(__uuidof(IAsyncInfo), reinterpret_cast<void**>(&info)));
  AsyncStatus status{};
  HRESULT error = S_OK;
  ASSERT_EQ(S_OK, info->get_Status(&status));
  ASSERT_EQ(S_OK, info->get_ErrorCode(&error));
  EXPECT_EQ(AsyncStatus::Error, status);
  EXPECT_EQ(E_FAIL, error);
  Handler late;
  ASSERT_EQ(S_OK, failed->put_Completed(&late));
  EXPECT_EQ(1, late.calls());
  EXPECT_EQ(AsyncStatus::Error, late.status());
}

TEST_F(FakeSessionsTest, DelayedReadFillsTheBufferWhenItCompletesAndACanceledOneNever) {
  const std::wstring thumbnailPath = manager_.folder() + L"cover.png";
  ASSERT_TRUE(tunelet::testing::WriteBytesFile(thumbnailPath, ThumbnailBytes(100)));
  FakeSession s = Browser(thumbnailPath);
  s.open = FakeOutcome::After(50);
  s.read = FakeOutcome::After(200);
  s.thumbnailReportedSize = 1ull << 40;  // a stream that claims a terabyte
  ASSERT_TRUE(manager_.Write(FakeSessionScript().Add(s)));

  Owned<abi::ISessionManager> manager;
  RequestManager(&manager);
  Owned<abi::ISession> session;
  ASSERT_EQ(S_OK, manager->GetCurrentSession(&session));
  Owned<abi::IAsyncOperationOfPointer> propertiesRead;
  ASSERT_EQ(S_OK, session->TryGetMediaPropertiesAsync(&propertiesRead));
  Owned<abi::IMediaProperties> properties;
  ASSERT_EQ(S_OK, propertiesRead->GetResults(reinterpret_cast<void**>(&properties)));
  Owned<IInspectable> thumbnailObject;
  ASSERT_EQ(S_OK, properties->get_Thumbnail(&thumbnailObject));
  Owned<abi::IRandomAccessStreamReference> reference;
  ASSERT_EQ(S_OK, thumbnailObject->QueryInterface(abi::kIidRandomAccessStreamReference,
                                                  reinterpret_cast<void**>(&reference)));
  Owned<abi::IAsyncOperationOfPointer> open;
  ASSERT_EQ(S_OK, reference->OpenReadAsync(&open));
  Handler opened;
  ASSERT_EQ(S_OK, open->put_Completed(&opened));
  ASSERT_TRUE(opened.Wait(kCompletionBoundMs) && opened.LetGo(kCompletionBoundMs));
  Owned<abi::IInputStream> input;
  {
    Owned<IInspectable> streamObject;
    ASSERT_EQ(S_OK, open->GetResults(reinterpret_cast<void**>(&streamObject)));
    Owned<abi::IRandomAccessStream> stream;
    ASSERT_EQ(S_OK, streamObject->QueryInterface(abi::kIidRandomAccessStream, reinterpret_cast<void**>(&stream)));
    UINT64 size = 0;
    ASSERT_EQ(S_OK, stream->get_Size(&size));
    EXPECT_EQ(1ull << 40, size);
    ASSERT_EQ(S_OK, streamObject->QueryInterface(abi::kIidInputStream, reinterpret_cast<void**>(&input)));
  }

  TestBuffer canceledBuffer(64);
  {
    Owned<abi::IAsyncOperationWithProgressOfPointer> canceled;
    ASSERT_EQ(S_OK, input->ReadAsync(&canceledBuffer, 64, abi::kInputStreamOptionsNone, &canceled));
    Owned<IAsyncInfo> info;
    ASSERT_EQ(S_OK, canceled->QueryInterface(__uuidof(IAsyncInfo), reinterpret_cast<void**>(&info)));
    EXPECT_EQ(S_OK, info->Cancel());
    EXPECT_EQ(AsyncStatus::Canceled, StatusOf(canceled.p));
  }

  TestBuffer buffer(64);
  Owned<abi::IAsyncOperationWithProgressOfPointer> read;
  ASSERT_EQ(S_OK, input->ReadAsync(&buffer, 64, abi::kInputStreamOptionsNone, &read));
  EXPECT_EQ(AsyncStatus::Started, StatusOf(read.p));
  EXPECT_TRUE(buffer.Bytes().empty());
  Handler handler;
  ASSERT_EQ(S_OK, read->put_Completed(&handler));
  ASSERT_TRUE(handler.Wait(kCompletionBoundMs) && handler.LetGo(kCompletionBoundMs));
  const std::vector<uint8_t> expected = ThumbnailBytes(100);
  EXPECT_EQ(std::vector<uint8_t>(expected.begin(), expected.begin() + 64), buffer.Bytes());
  // The canceled read copied nothing and did not move the stream on.
  Sleep(300);  // past the canceled read's delay
  EXPECT_TRUE(canceledBuffer.Bytes().empty());
  EXPECT_EQ(0u, canceledBuffer.refs());
}

TEST_F(FakeSessionsTest, CommandsReachTheLogWithTheSessionsAppId) {
  ASSERT_TRUE(manager_.Write(FakeSessionScript().Add(Spotify())));
  Owned<abi::ISessionManager> manager;
  RequestManager(&manager);
  Owned<abi::IVectorViewOfPointer> sessions;
  ASSERT_EQ(S_OK, manager->GetSessions(&sessions));
  Owned<abi::ISession> session;
  ASSERT_EQ(S_OK, sessions->GetAt(0, reinterpret_cast<void**>(&session)));

  using Command = HRESULT (STDMETHODCALLTYPE abi::ISession::*)(abi::IAsyncOperationOfBoolean**);
  for (Command command : {&abi::ISession::TryPlayAsync, &abi::ISession::TryPauseAsync, &abi::ISession::TryStopAsync,
                          &abi::ISession::TrySkipPreviousAsync, &abi::ISession::TrySkipNextAsync}) {
    Owned<abi::IAsyncOperationOfBoolean> op;
    ASSERT_EQ(S_OK, (session.p->*command)(&op));
    boolean accepted = FALSE;
    ASSERT_EQ(S_OK, op->GetResults(&accepted));
    EXPECT_TRUE(accepted);
  }
  EXPECT_EQ((std::vector<std::string>{"TryPlayAsync Spotify.exe", "TryPauseAsync Spotify.exe",
                                      "TryStopAsync Spotify.exe", "TrySkipPreviousAsync Spotify.exe",
                                      "TrySkipNextAsync Spotify.exe"}),
            manager_.Commands());
}

TEST_F(FakeSessionsTest, ReleasingEverythingIsLoggedAsNoObjectsLeft) {
  ASSERT_TRUE(manager_.Write(FakeSessionScript().Add(Spotify())));
  {
    Owned<abi::ISessionManager> manager;
    RequestManager(&manager);
    EXPECT_GT(FakeSessionObjectsAlive(), 0);
  }
  EXPECT_EQ(0, FakeSessionObjectsAlive());
  const std::vector<std::string> log = manager_.LogLines();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ("objects 0", log.back());
}

// A synchronous call the script hangs blocks its caller until the script is
// rewritten; a failing one fails, also through combase's activation.
TEST_F(FakeSessionsTest, HungGetSessionsBlocksUntilTheScriptChanges) {
  FakeSessionScript script;
  script.sessionsCall = FakeOutcome::Hang();
  ASSERT_TRUE(manager_.Write(script));
  Owned<abi::ISessionManager> manager;
  RequestManager(&manager);

  struct Call {
    abi::ISessionManager* manager;
    abi::IVectorViewOfPointer* sessions = nullptr;
    HRESULT hr = E_PENDING;
  } call{manager.p};
  // A lambda without captures converts to a plain function only: the thread
  // routine must be WINAPI (stdcall on i686).
  struct Caller {
    static DWORD WINAPI Run(void* p) {
      auto* c = static_cast<Call*>(p);
      c->hr = c->manager->GetSessions(&c->sessions);
      return 0;
    }
  };
  HANDLE thread = CreateThread(nullptr, 0, &Caller::Run, &call, 0, nullptr);
  ASSERT_TRUE(thread);
  EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(thread, 300));
  script.sessionsCall = FakeOutcome::Now();
  ASSERT_TRUE(manager_.Write(script.Add(Spotify())));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, kCompletionBoundMs));
  CloseHandle(thread);
  ASSERT_EQ(S_OK, call.hr);
  Owned<abi::IVectorViewOfPointer> sessions{call.sessions};
  UINT32 count = 0;
  ASSERT_EQ(S_OK, sessions->get_Size(&count));
  EXPECT_EQ(1u, count);  // the state of the script that ended the hang

  script.sessionsCall = FakeOutcome::Fail();
  script.activation = FakeOutcome::Fail();
  ASSERT_TRUE(manager_.Write(script));
  Owned<abi::IVectorViewOfPointer> none;
  EXPECT_EQ(E_FAIL, manager->GetSessions(&none));
  EXPECT_FALSE(none);
  Owned<abi::ISessionManagerStatics> statics;
  EXPECT_EQ(E_FAIL, ActivateStatics(&statics));
  EXPECT_FALSE(statics);
}

// Without the class's key activation fails with "class not registered", at
// once; a key without DllPath reads as a registry failure, one that names a
// missing file as the loader's "module not found".
TEST_F(FakeSessionsTest, UnregisteredClassFailsToActivateAtOnce) {
  ASSERT_TRUE(tunelet::testing::UnregisterFakeSessionManager());
  Owned<abi::ISessionManagerStatics> statics;
  const DWORD start = GetTickCount();
  EXPECT_EQ(kClassNotRegistered, ActivateStatics(&statics));
  const DWORD elapsed = GetTickCount() - start;
  EXPECT_FALSE(statics);
  EXPECT_LT(elapsed, 500u);
  std::printf("activation without the key failed after %lu ms\n", static_cast<unsigned long>(elapsed));

  HKEY key = nullptr;
  const std::wstring path =
      std::wstring(L"Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\") + abi::kSessionManagerClass;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
  RegCloseKey(key);
  EXPECT_EQ(kRegistryUnreadable, ActivateStatics(&statics));
  EXPECT_FALSE(statics);

  // A DllPath that names no file: the loader's error.
  ASSERT_TRUE(tunelet::testing::RegisterFakeSessionManager(manager_.folder() + L"missing.dll"));
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), ActivateStatics(&statics));
  EXPECT_FALSE(statics);
}

}  // namespace
