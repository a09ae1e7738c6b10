// The export. Everything else lives in tlk_plugin.cpp.
#include <windows.h>

#include "core/win32/host_abi.h"
#include "core/win32/tlk_plugin.h"

using namespace tunelet;

extern "C" void __stdcall CreateTalkeoPLUGIN(abi::IHostPlugin** out, abi::ITLKPluginService* service) {
  win32::CreatePlugin(out, service);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
  return TRUE;
}
