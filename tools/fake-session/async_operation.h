// The asynchronous operations the manager hands out: Started until they
// complete as the script says (at once, after a delay, never, or with an
// error), with IAsyncInfo beside the operation's own table.
#pragma once

#include "com_object.h"
#include "session_script.h"

#include <functional>
#include <mutex>

namespace fakesession {

// E_ILLEGAL_METHOD_CALL and friends, which older headers lack.
constexpr HRESULT kIllegalMethodCall = HRESULT(0x8000000EL);
constexpr HRESULT kIllegalStateChange = HRESULT(0x8000000DL);
constexpr HRESULT kIllegalDelegateAssignment = HRESULT(0x80000018L);

// The table of every completion handler (IAsyncOperationCompletedHandler<T>,
// IAsyncOperationWithProgressCompletedHandler<T, P>): IUnknown, then Invoke.
struct ICompletedHandler : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(void* operation, AsyncStatus status) = 0;
};

// What an operation yields, made when it completes (a delayed operation makes
// it on the timer's thread). A failure ends the operation with status Error.
using Produce = std::function<HRESULT(IInspectable** result)>;

template <class OperationInterface>
class Operation : public Object<OperationInterface, IAsyncInfo> {
 public:
  explicit Operation(Produce produce) : produce_(std::move(produce)) {}

  // Starts the operation as the outcome says; call once, right after making it.
  void Start(const Outcome& outcome) {
    switch (outcome.kind) {
      case Outcome::Kind::Now: Complete(); break;
      case Outcome::Kind::Fail: Finish(AsyncStatus::Error, E_FAIL, nullptr); break;
      case Outcome::Kind::Hang: hung_ = true; break;
      case Outcome::Kind::Delay: CompleteLater(outcome.delayMs); break;
    }
  }

  // IAsyncInfo
  HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) override {
    if (!id) return E_POINTER;
    *id = id_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Status(AsyncStatus* status) override {
    if (!status) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (closed_) return kIllegalMethodCall;
    *status = status_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* error) override {
    if (!error) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (closed_) return kIllegalMethodCall;
    *error = error_;
    return S_OK;
  }
  // A scripted hang ignores Cancel: the operation stays Started.
  HRESULT STDMETHODCALLTYPE Cancel() override {
    if (!hung_) Finish(AsyncStatus::Canceled, HRESULT_FROM_WIN32(ERROR_CANCELLED), nullptr);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close() override {
    std::lock_guard lock(mutex_);
    if (status_ == AsyncStatus::Started) return kIllegalStateChange;
    closed_ = true;
    return S_OK;
  }

 protected:
  ~Operation() override {
    if (result_) result_->Release();
    if (handler_) handler_->Release();
  }

  // put_Completed: a handler set after completion runs at once, on the
  // caller's thread; a second handler is refused.
  HRESULT SetHandler(IUnknown* handler) {
    if (!handler) return E_POINTER;
    std::unique_lock lock(mutex_);
    if (handlerSet_) return kIllegalDelegateAssignment;
    handlerSet_ = true;
    if (status_ == AsyncStatus::Started) {
      handler->AddRef();
      handler_ = handler;
      return S_OK;
    }
    const AsyncStatus status = status_;
    lock.unlock();
    static_cast<ICompletedHandler*>(handler)->Invoke(this->Identity(), status);
    return S_OK;
  }
  HRESULT GetHandler(IUnknown** handler) {
    if (!handler) return E_POINTER;
    std::lock_guard lock(mutex_);
    *handler = handler_;
    if (handler_) handler_->AddRef();
    return S_OK;
  }
  // GetResults for the pointer shapes: the result with a reference of the caller's.
  HRESULT PointerResult(void** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    std::lock_guard lock(mutex_);
    if (closed_ || status_ != AsyncStatus::Completed) return kIllegalMethodCall;
    if (result_) result_->AddRef();
    *result = result_;
    return S_OK;
  }
  bool Completed() {
    std::lock_guard lock(mutex_);
    return !closed_ && status_ == AsyncStatus::Completed;
  }

 private:
  // A canceled operation makes nothing (a read no longer fills its buffer).
  void Complete() {
    {
      std::lock_guard lock(mutex_);
      if (status_ != AsyncStatus::Started) return;
    }
    IInspectable* result = nullptr;
    const HRESULT hr = produce_ ? produce_(&result) : S_OK;
    Finish(SUCCEEDED(hr) ? AsyncStatus::Completed : AsyncStatus::Error, hr, result);
  }

  // Ends a Started operation (a later end is dropped) and calls its handler.
  void Finish(AsyncStatus status, HRESULT error, IInspectable* result) {
    IUnknown* handler = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (status_ != AsyncStatus::Started) {
        if (result) result->Release();
        return;
      }
      status_ = status;
      error_ = status == AsyncStatus::Completed ? S_OK : error;
      result_ = result;
      handler = std::exchange(handler_, nullptr);
    }
    if (handler) {
      static_cast<ICompletedHandler*>(handler)->Invoke(this->Identity(), status);
      handler->Release();
    }
  }

  // The timer holds a reference until it has fired.
  void CompleteLater(uint32_t ms) {
    this->AddRef();
    PTP_TIMER timer = CreateThreadpoolTimer(&Operation::TimerFired, this, nullptr);
    if (!timer) {
      Finish(AsyncStatus::Error, E_OUTOFMEMORY, nullptr);
      this->Release();
      return;
    }
    constexpr int64_t kTicksPerMs = 10000;
    const int64_t due = -int64_t(ms) * kTicksPerMs;  // negative: relative to now
    FILETIME dueTime{DWORD(uint64_t(due)), DWORD(uint64_t(due) >> 32)};
    SetThreadpoolTimer(timer, &dueTime, 0, 0);
  }
  static void CALLBACK TimerFired(PTP_CALLBACK_INSTANCE, void* context, PTP_TIMER timer) {
    auto* self = static_cast<Operation*>(context);
    self->Complete();
    CloseThreadpoolTimer(timer);
    self->Release();
  }

  static UINT32 NextId() {
    static std::atomic<UINT32> next{1};
    return next++;
  }

  const Produce produce_;
  const UINT32 id_ = NextId();
  std::atomic<bool> hung_{false};
  std::mutex mutex_;
  AsyncStatus status_ = AsyncStatus::Started;
  HRESULT error_ = S_OK;
  bool closed_ = false, handlerSet_ = false;
  IInspectable* result_ = nullptr;
  IUnknown* handler_ = nullptr;
};

// IAsyncOperation<T> with T an interface pointer.
class PointerOperation final : public Operation<abi::IAsyncOperationOfPointer> {
 public:
  using Operation::Operation;
  HRESULT STDMETHODCALLTYPE put_Completed(IUnknown* handler) override { return SetHandler(handler); }
  HRESULT STDMETHODCALLTYPE get_Completed(IUnknown** handler) override { return GetHandler(handler); }
  HRESULT STDMETHODCALLTYPE GetResults(void** result) override { return PointerResult(result); }
};

// IAsyncOperation<bool>: the Try*Async commands.
class BooleanOperation final : public Operation<abi::IAsyncOperationOfBoolean> {
 public:
  explicit BooleanOperation(bool value) : Operation(nullptr), value_(value) {}
  HRESULT STDMETHODCALLTYPE put_Completed(IUnknown* handler) override { return SetHandler(handler); }
  HRESULT STDMETHODCALLTYPE get_Completed(IUnknown** handler) override { return GetHandler(handler); }
  HRESULT STDMETHODCALLTYPE GetResults(boolean* result) override {
    if (!result) return E_POINTER;
    if (!Completed()) return kIllegalMethodCall;
    *result = value_;
    return S_OK;
  }

 private:
  const bool value_;
};

// IAsyncOperationWithProgress<IBuffer, UINT32>: ReadAsync. Progress is never
// reported; its handler is only kept.
class ReadOperation final : public Operation<abi::IAsyncOperationWithProgressOfPointer> {
 public:
  using Operation::Operation;
  HRESULT STDMETHODCALLTYPE put_Progress(IUnknown* handler) override {
    progress_ = Ref<IUnknown>::Share(handler);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Progress(IUnknown** handler) override {
    if (!handler) return E_POINTER;
    *handler = Ref<IUnknown>(progress_).Detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Completed(IUnknown* handler) override { return SetHandler(handler); }
  HRESULT STDMETHODCALLTYPE get_Completed(IUnknown** handler) override { return GetHandler(handler); }
  HRESULT STDMETHODCALLTYPE GetResults(void** result) override { return PointerResult(result); }

 private:
  Ref<IUnknown> progress_;
};

}  // namespace fakesession
