// AIMP2's shared-memory record "AIMP2_RemoteInfo": four 32-bit lengths at
// byte 40, then the strings in UTF-16 back to back from byte 88.
#include <algorithm>
#include <cstring>

#include "script.h"

using namespace fakeplayer;

namespace {

constexpr DWORD kMappingBytes = 2048;
constexpr size_t kLengthsOffset = 40;
constexpr size_t kStringsOffset = 88;

HANDLE gMapping = nullptr;
uint8_t* gView = nullptr;

void Unmap() {
  if (gView) UnmapViewOfFile(gView);
  if (gMapping) CloseHandle(gMapping);
  gView = nullptr;
  gMapping = nullptr;
}

void PutU32(size_t offset, uint32_t v) { std::memcpy(gView + offset, &v, 4); }

const bool kRegistered = [] {
  RegisterCommand("aimp2-map", [](const Command& c) -> intptr_t {
    // aimp2-map <s1> <s2> <s3> <s4>: publishes (or rewrites) the record
    if (c.Count() != 4) return kCommandFailed;
    if (!gMapping) {
      gMapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kMappingBytes, "AIMP2_RemoteInfo");
      if (!gMapping) return kCommandFailed;
      gView = static_cast<uint8_t*>(MapViewOfFile(gMapping, FILE_MAP_WRITE, 0, 0, kMappingBytes));
      if (!gView) {
        Unmap();
        return kCommandFailed;
      }
    }
    std::memset(gView, 0, kMappingBytes);
    size_t at = kStringsOffset;
    for (size_t i = 0; i < 4; ++i) {
      const std::wstring s = c.WideArg(i);
      PutU32(kLengthsOffset + 4 * i, uint32_t(s.size()));
      const size_t bytes = std::min<size_t>(s.size() * 2, kMappingBytes - at);
      std::memcpy(gView + at, s.data(), bytes);
      at += bytes;
    }
    return 0;
  });
  RegisterCommand("aimp2-lengths", [](const Command& c) -> intptr_t {
    // aimp2-lengths <n1> <n2> <n3> <n4>: overwrites the four length fields
    if (!gView || c.Count() != 4) return kCommandFailed;
    for (size_t i = 0; i < 4; ++i) {
      int64_t v = 0;
      if (!c.Int(i, &v)) return kCommandFailed;
      PutU32(kLengthsOffset + 4 * i, uint32_t(v));
    }
    return 0;
  });
  RegisterCommand("aimp2-unmap", [](const Command&) -> intptr_t {
    Unmap();
    return 0;
  });
  return true;
}();

}  // namespace
