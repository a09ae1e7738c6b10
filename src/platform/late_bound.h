// Functions that later Windows versions added are looked up at run time, not
// imported, so that the DLL still loads on the oldest system the host runs on
// (Windows XP). This part decides which function to use from what a lookup
// finds; src/platform/win32/late_bound.h does the lookups and the calls.
#pragma once

#include <cstdint>
#include <functional>

namespace tunelet::platform {

// Finds a function that a system DLL exports; null when the system lacks the
// DLL or the function.
using ExportLookup = std::function<void*(const char* dll, const char* function)>;

// The calls that read another process's image path.
enum class ImagePathCall {
  None,                  // neither is there
  FullProcessImageName,  // kernel32's QueryFullProcessImageNameW (Vista and later)
  ModuleFileNameEx,      // psapi's GetModuleFileNameExW (every system)
};
struct ImagePathFunction {
  ImagePathCall call = ImagePathCall::None;
  void* address = nullptr;
};

// QueryFullProcessImageNameW where the system has it: it needs only limited
// query rights and reads 64-bit processes from a 32-bit one. Otherwise
// GetModuleFileNameExW; psapi is not asked for (and so not loaded) when the
// newer call is found.
ImagePathFunction FindImagePathFunction(const ExportLookup& lookup);

// The next value of a 64-bit millisecond count kept from a 32-bit counter
// that wraps every 49.7 days: last is the previous value (0 before the first
// reading), now a reading taken after last was read. Correct as long as
// readings are less than 49.7 days apart.
uint64_t ExtendTickCount(uint64_t last, uint32_t now);

}  // namespace tunelet::platform
