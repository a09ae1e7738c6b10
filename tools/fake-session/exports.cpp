// The DLL's entry points: the system's activation entry, and the live-object
// count for the tests that share its process.
#include <windows.h>
#include <winstring.h>

#include <string_view>

#include "session_objects.h"
#include "session_script.h"

namespace abi = tunelet::win32::media_abi;

extern "C" {

__declspec(dllexport) HRESULT WINAPI DllGetActivationFactory(HSTRING classId, IActivationFactory** factory) {
  if (!factory) return E_POINTER;
  *factory = nullptr;
  UINT32 length = 0;
  const wchar_t* name = WindowsGetStringRawBuffer(classId, &length);
  if (std::wstring_view(name, length) != abi::kSessionManagerClass) return CLASS_E_CLASSNOTAVAILABLE;
  if (!fakesession::BlockAsScripted(&fakesession::ScriptState::activation, fakesession::LoadScript())) return E_FAIL;
  *factory = fakesession::NewSessionManagerFactory();
  return S_OK;
}

// The system's loader keeps a runtime-class DLL for the process's life.
__declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }

__declspec(dllexport) LONG WINAPI FakeSessionsLiveObjects() { return fakesession::LiveObjects(); }

}  // extern "C"
