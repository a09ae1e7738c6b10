// The static C++ runtime's thread library calls GetTickCount64, which Windows
// XP's kernel32 lacks: imported, it would make the loader refuse the whole
// DLL there. Defining the import's address slot here, in an object linked
// straight into the DLL, satisfies the library's reference before the linker
// reaches the system's import library, so no such import is made; the slot
// points at TickCount64, which finds the system's function at run time.
#include "platform/win32/late_bound.h"

using TickCount64Fn = ULONGLONG(WINAPI*)();

#if defined(_WIN64)
#define TUNELET_TICK_COUNT64_SLOT "__imp_GetTickCount64"
#else
#define TUNELET_TICK_COUNT64_SLOT "__imp__GetTickCount64@0"
#endif

extern "C" {
extern const TickCount64Fn tuneletTickCount64Slot __asm__(TUNELET_TICK_COUNT64_SLOT);
const TickCount64Fn tuneletTickCount64Slot = &tunelet::win32::TickCount64;
}
