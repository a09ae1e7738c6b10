// The library as the host's loader sees it: one undecorated export, and
// imports that every Windows system has.
#include <windows.h>
#include <delayimp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "host_test_support.h"

namespace {

struct ImageDirectories {
  std::vector<std::string> exports, imports;
};

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

// Walks the export and import directories of a mapped image.
ImageDirectories ReadDirectories(HMODULE module) {
  ImageDirectories d;
  const auto* base = reinterpret_cast<const uint8_t*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  // The headers of the build at hand: 32-bit in the product, 64-bit in the
  // x86_64 build of the same sources.
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
#if defined(_WIN64)
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
  EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
#else
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
#endif
  const auto& dirs = nt->OptionalHeader.DataDirectory;
  if (dirs[IMAGE_DIRECTORY_ENTRY_EXPORT].Size) {
    const auto* e = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dirs[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + e->AddressOfNames);
    for (DWORD i = 0; i < e->NumberOfNames; ++i) d.exports.push_back(reinterpret_cast<const char*>(base + names[i]));
    // Exports by ordinal only would not show among the names.
    EXPECT_EQ(e->NumberOfFunctions, e->NumberOfNames) << "exports without a name";
  }
  if (dirs[IMAGE_DIRECTORY_ENTRY_IMPORT].Size) {
    for (auto* i = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dirs[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
         i->Name; ++i)
      d.imports.push_back(Lower(reinterpret_cast<const char*>(base + i->Name)));
  }
  if (dirs[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].Size) {
    for (auto* i = reinterpret_cast<const IMAGE_DELAYLOAD_DESCRIPTOR*>(
             base + dirs[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress);
         i->DllNameRVA; ++i)
      d.imports.push_back(Lower(reinterpret_cast<const char*>(base + i->DllNameRVA)));
  }
  return d;
}

TEST(PluginImage, ExportsOnlyTheUndecoratedFactoryAndImportsOnlySystemLibraries) {
  host_test::PluginCopy copy;
  HMODULE m = ::LoadLibraryW(copy.Dll().c_str());
  ASSERT_TRUE(m);
  const ImageDirectories d = ReadDirectories(m);
  EXPECT_EQ(d.exports, std::vector<std::string>{"CreateTalkeoPLUGIN"});
  EXPECT_NE(::GetProcAddress(m, "CreateTalkeoPLUGIN"), nullptr);
  EXPECT_EQ(::GetProcAddress(m, "CreateTalkeoPLUGIN@8"), nullptr);

  // What a bare Windows installation has; the compiler's runtime libraries
  // (libstdc++, libgcc, libwinpthread) and zlib must be linked in.
  static const std::set<std::string> kSystem = {
      "kernel32.dll", "user32.dll",   "gdi32.dll",    "advapi32.dll", "ole32.dll",   "oleaut32.dll",
      "shell32.dll",  "comctl32.dll", "version.dll",  "wininet.dll",  "gdiplus.dll", "msvcrt.dll",
      "shlwapi.dll",  "comdlg32.dll", "winmm.dll",    "ntdll.dll",    "psapi.dll",   "imm32.dll",
      "uxtheme.dll",  "msimg32.dll",  "ws2_32.dll",   "rpcrt4.dll",   "crypt32.dll", "winspool.drv",
  };
  EXPECT_FALSE(d.imports.empty());
  for (const auto& dll : d.imports) EXPECT_TRUE(kSystem.count(dll)) << "imports " << dll;
  ::FreeLibrary(m);
}

}  // namespace
