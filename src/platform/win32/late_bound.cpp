#include "platform/win32/late_bound.h"

#include <atomic>

#include "platform/win32/unique_handle.h"

namespace tunelet::win32 {

namespace {

constexpr DWORD kMaxImagePath = 1024;

using QueryFullProcessImageNameWFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
using GetModuleFileNameExWFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
using GetTickCount64Fn = ULONGLONG(WINAPI*)();

template <typename Fn>
Fn As(void* f) {
  return reinterpret_cast<Fn>(f);
}

// Each call wants its own rights: the limited right is unknown to XP, and the
// old call reads the process's module list.
DWORD AccessFor(platform::ImagePathCall call) {
  return call == platform::ImagePathCall::FullProcessImageName ? PROCESS_QUERY_LIMITED_INFORMATION
                                                               : PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
}

// The number of characters written to path, or 0.
DWORD CallImagePath(const platform::ImagePathFunction& f, HANDLE process, wchar_t* path) {
  switch (f.call) {
    case platform::ImagePathCall::FullProcessImageName: {
      DWORD n = kMaxImagePath;
      return As<QueryFullProcessImageNameWFn>(f.address)(process, 0, path, &n) ? n : 0;
    }
    case platform::ImagePathCall::ModuleFileNameEx:
      return As<GetModuleFileNameExWFn>(f.address)(process, nullptr, path, kMaxImagePath);
    case platform::ImagePathCall::None:
      break;
  }
  return 0;
}

const platform::ImagePathFunction& ImagePathFunction() {
  static const platform::ImagePathFunction f = platform::FindImagePathFunction(&SystemExport);
  return f;
}

// Resolved on first use without a lock or a guarded static: the C++ runtime's
// own waits may call here, and threads that race store the same value.
std::atomic<GetTickCount64Fn> gTickCount64{nullptr};

ULONGLONG WINAPI TickCount64FromTickCountStdcall() { return TickCount64FromTickCount(); }

}  // namespace

void* SystemExport(const char* dll, const char* function) {
  HMODULE module = ::GetModuleHandleA(dll);
  if (!module) module = ::LoadLibraryA(dll);
  return module ? reinterpret_cast<void*>(::GetProcAddress(module, function)) : nullptr;
}

std::u16string ProcessImagePathWith(const platform::ImagePathFunction& f, DWORD pid) {
  if (f.call == platform::ImagePathCall::None) return {};
  UniqueKernelHandle process(::OpenProcess(AccessFor(f.call), FALSE, pid));
  if (!process) return {};
  wchar_t path[kMaxImagePath];
  const DWORD n = CallImagePath(f, process.get(), path);
  if (n == 0 || n >= kMaxImagePath) return {};
  return std::u16string(U(path), n);
}

std::u16string ProcessImagePath(DWORD pid) { return ProcessImagePathWith(ImagePathFunction(), pid); }

platform::ImagePathCall ProcessImagePathCall() { return ImagePathFunction().call; }

ULONGLONG WINAPI TickCount64() {
  GetTickCount64Fn f = gTickCount64.load(std::memory_order_acquire);
  if (!f) {
    // kernel32 is loaded in every process: no DLL is loaded here.
    f = As<GetTickCount64Fn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
    if (!f) f = &TickCount64FromTickCountStdcall;
    gTickCount64.store(f, std::memory_order_release);
  }
  return f();
}

}  // namespace tunelet::win32
