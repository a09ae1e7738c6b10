/* A DLL for the test of the XP import check: it imports one Windows function
   of Vista and later, one C runtime function that XP's msvcrt.dll lacks, and
   otherwise only what XP has. */
#include <windows.h>
#include <stdio.h>

__declspec(dllexport) int OpenOwnImage(void) {
  wchar_t path[MAX_PATH];
  DWORD n = MAX_PATH;
  FILE* f = NULL;
  if (!QueryFullProcessImageNameW(GetCurrentProcess(), 0, path, &n)) return -1;
  if (_wfopen_s(&f, path, L"rb") != 0) return -1;
  fclose(f);
  return 0;
}
