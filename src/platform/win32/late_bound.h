// The one place where functions of later Windows versions are looked up and
// called, each with the way of older systems as its fallback: the DLL imports
// none of them, so that it loads on Windows XP.
#pragma once

#include <windows.h>

#include <string>

#include "platform/late_bound.h"

namespace tunelet::win32 {

// An export of a system DLL, or null. kernel32 is always there; another DLL
// is loaded on first use and stays loaded (never unloaded from DllMain).
// Not for use inside DllMain, where loading a DLL is not allowed.
void* SystemExport(const char* dll, const char* function);

// The full path of the main module of process pid; empty when the process
// cannot be opened or read.
std::u16string ProcessImagePath(DWORD pid);
// The call ProcessImagePath uses on this system.
platform::ImagePathCall ProcessImagePathCall();
// ProcessImagePath with the given call, for tests of either way.
std::u16string ProcessImagePathWith(const platform::ImagePathFunction& f, DWORD pid);

// The system's GetTickCount64, or where it lacks one (Windows XP) a 64-bit
// count kept from GetTickCount. The DLL's import of GetTickCount64 resolves
// to this (tick_count64_import.cpp). Safe under the loader lock.
ULONGLONG WINAPI TickCount64();
// The count kept from GetTickCount alone.
ULONGLONG TickCount64FromTickCount();

}  // namespace tunelet::win32
