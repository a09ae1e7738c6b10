#include "platform/late_bound.h"

namespace tunelet::platform {

ImagePathFunction FindImagePathFunction(const ExportLookup& lookup) {
  if (void* f = lookup("kernel32.dll", "QueryFullProcessImageNameW"))
    return {ImagePathCall::FullProcessImageName, f};
  if (void* f = lookup("psapi.dll", "GetModuleFileNameExW")) return {ImagePathCall::ModuleFileNameEx, f};
  return {};
}

uint64_t ExtendTickCount(uint64_t last, uint32_t now) {
  // The reading is never older than last, so the distance modulo 2^32 is how
  // far the counter moved, across a wrap or not.
  return last + uint32_t(now - uint32_t(last));
}

}  // namespace tunelet::platform
