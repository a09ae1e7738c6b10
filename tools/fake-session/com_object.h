// Reference counting, interface queries and the live-object count shared by
// every object of the simulated session manager.
#pragma once

#include "players/win32/media_session_abi.h"

#include <atomic>
#include <string>
#include <tuple>
#include <utility>

namespace fakesession {

namespace abi = tunelet::win32::media_abi;

// Objects of the manager alive in this process; tests check it comes back to 0.
long LiveObjects();
// The log that hears "objects 0" when the last object goes (the script's).
void SetObjectLog(const std::wstring& logPath);

// Counts itself among the live objects for as long as it exists.
class Counted {
 protected:
  Counted();
  virtual ~Counted();
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;
};

// The id an object answers QueryInterface for when it implements I; null for
// the parameterized shapes, which callers only ever receive as results.
template <class I>
const GUID* IidOf() {
  return nullptr;
}
template <> inline const GUID* IidOf<IActivationFactory>() { return &__uuidof(IActivationFactory); }
template <> inline const GUID* IidOf<IAsyncInfo>() { return &__uuidof(IAsyncInfo); }
template <> inline const GUID* IidOf<abi::ISessionManagerStatics>() { return &abi::kIidSessionManagerStatics; }
template <> inline const GUID* IidOf<abi::ISessionManager>() { return &abi::kIidSessionManager; }
template <> inline const GUID* IidOf<abi::ISession>() { return &abi::kIidSession; }
template <> inline const GUID* IidOf<abi::IMediaProperties>() { return &abi::kIidMediaProperties; }
template <> inline const GUID* IidOf<abi::ITimelineProperties>() { return &abi::kIidTimelineProperties; }
template <> inline const GUID* IidOf<abi::IPlaybackInfo>() { return &abi::kIidPlaybackInfo; }
template <> inline const GUID* IidOf<abi::IRandomAccessStreamReference>() {
  return &abi::kIidRandomAccessStreamReference;
}
template <> inline const GUID* IidOf<abi::IRandomAccessStream>() { return &abi::kIidRandomAccessStream; }
template <> inline const GUID* IidOf<abi::IInputStream>() { return &abi::kIidInputStream; }

// IUnknown and IInspectable for an object implementing the interfaces Is
// (the first one is its identity). Made with one reference, the caller's.
// The IInspectable methods are not needed by any caller: E_NOTIMPL.
template <class... Is>
class Object : public Is..., protected Counted {
  using First = std::tuple_element_t<0, std::tuple<Is...>>;

 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IInspectable) || iid == __uuidof(IAgileObject)) {
      *out = static_cast<First*>(this);
    } else {
      (Answer<Is>(iid, out) || ...);
    }
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --refs_;
    if (left == 0) delete this;
    return ULONG(left);
  }
  HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override { return E_NOTIMPL; }

  First* Identity() { return static_cast<First*>(this); }

 private:
  template <class I>
  bool Answer(REFIID iid, void** out) {
    const GUID* known = IidOf<I>();
    if (!known || *known != iid) return false;
    *out = static_cast<I*>(this);
    return true;
  }
  std::atomic<long> refs_{1};
};

// An owning interface pointer: AddRef on copy, Release on destruction.
template <class T>
class Ref {
 public:
  Ref() = default;
  // Takes over a reference the caller already holds.
  static Ref Adopt(T* p) {
    Ref r;
    r.p_ = p;
    return r;
  }
  // Adds a reference of its own.
  static Ref Share(T* p) {
    if (p) p->AddRef();
    return Adopt(p);
  }
  Ref(const Ref& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Ref& operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Ref() {
    if (p_) p_->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Hands the reference to the caller.
  T* Detach() { return std::exchange(p_, nullptr); }
  T** Put() {
    *this = Ref();
    return &p_;
  }

 private:
  T* p_ = nullptr;
};

// An HSTRING of the text (null for an empty text, as the system does).
HRESULT MakeHString(const std::wstring& text, HSTRING* out);

}  // namespace fakesession
