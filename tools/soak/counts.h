// What the soak watches in its own process (the host's): the counts that a
// plug-in leaking once per track would make grow.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <set>
#include <string>

namespace soak {

struct Counts {
  DWORD handles = 0;
  DWORD gdiObjects = 0;   // GetGuiResources(GR_GDIOBJECTS)
  DWORD userObjects = 0;  // GetGuiResources(GR_USEROBJECTS)
  // Live entries of the process's GDI handle table (-1: no table to read):
  // DCs apart, since the window manager keeps a cache of them whose size
  // follows the most windows painted at one time.
  int64_t gdiTableObjects = -1, gdiTableDcs = -1;
  // The live entries by GDI object type (the table's type number, 1 DC,
  // 4 region, 5 bitmap, 10 font, 16 brush, 30 pen); all 0 without a table.
  std::array<int, 32> gdiTableByType{};
  int windows = 0;  // top-level, child and message-only windows of the process
  int popups = 0, quickInfo = 0, controlWindow = 0;
  uint64_t privateBytes = 0;
  int coverFiles = 0;  // cover-named files in the temporary folder
  int threads = 0;
};

Counts Measure();

// Full paths of the files in the temporary folder named as the plug-in names
// its temporary covers (img or cover, 1 to 4 hex digits, an image extension).
std::set<std::wstring> CoverFilesInTempFolder();

std::string Describe(const Counts& c);

// The process's handles by object type ("Event 12, File 3, ...").
std::string DescribeHandleTypes();

// The modules the process's other threads started in, comma-separated.
std::string DescribeOtherThreads();

}  // namespace soak
