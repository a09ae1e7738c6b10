#!/usr/bin/env python3
"""Checks that every function an i686 DLL imports is there on Windows XP SP3.

  check_xp_imports.py DLL --cc i686-w64-mingw32-gcc-posix

Lists the imports (DLL and function names), then:
- Windows API: a C file that takes the address of every imported function,
  with the headers of its DLL, must compile against the mingw-w64 headers
  with _WIN32_WINNT, WINVER and NTDDI_VERSION set to Windows XP SP3. A
  function the headers declare only for a later Windows, or not at all,
  fails the check with its name. The headers do not mark GDI+ 1.1 (Vista and
  later; XP has 1.0): its flat functions are listed here instead.
- C runtime (msvcrt.dll): the headers do not tell which msvcrt.dll exports
  what, so each function must also be exported by msvcr70.dll, the runtime
  of the generation XP's msvcrt.dll (7.0) belongs to, as the toolchain's own
  import library libmsvcr70.a lists it. The secure (_s), locale (_l) and
  32-bit-time functions of later systems fail this way.
- Imports by ordinal and DLLs without known headers fail: nothing proves them.

What passes is declared for XP by the headers and named like XP's runtime;
it is not proof that XP exports it (the headers can be wrong), and nothing
here runs XP. Prints what it found and exits 1 naming each failed import.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

from check_dll import BadImage, PeImage

XP_DEFINES = ["-D_WIN32_WINNT=0x0501", "-DWINVER=0x0501", "-DNTDDI_VERSION=0x05010300",
              "-D_WIN32_IE=0x0603", "-DPSAPI_VERSION=1"]
NEWEST_DEFINES = ["-D_WIN32_WINNT=0x0A00", "-DWINVER=0x0A00"]
GDIPLUS_1_1 = {
    "GdipCreateEffect", "GdipDeleteEffect", "GdipGetEffectParameterSize", "GdipGetEffectParameters",
    "GdipSetEffectParameters", "GdipBitmapApplyEffect", "GdipBitmapCreateApplyEffect", "GdipDrawImageFX",
    "GdipBitmapGetHistogram", "GdipBitmapGetHistogramSize", "GdipBitmapConvertFormat", "GdipInitializePalette",
    "GdipImageSetAbort", "GdipGraphicsSetAbort", "GdipConvertToEmfPlus", "GdipConvertToEmfPlusToFile",
    "GdipConvertToEmfPlusToStream", "GdipFindFirstImageItem", "GdipFindNextImageItem", "GdipGetImageItemData",
}

# The headers that declare each system DLL's functions, in include order
# (winsock2.h must come before windows.h).
HEADER_ORDER = ["winsock2.h", "ws2tcpip.h", "windows.h", "winternl.h", "objbase.h", "oleauto.h", "shellapi.h",
                "shlobj.h", "shlwapi.h", "commctrl.h", "commdlg.h", "winspool.h", "wininet.h", "mmsystem.h",
                "psapi.h", "imm.h", "uxtheme.h", "wincrypt.h", "rpc.h", "gdiplus.h"]
DLL_HEADERS = {
    "kernel32.dll": [], "user32.dll": [], "gdi32.dll": [], "advapi32.dll": [], "version.dll": [],
    "msimg32.dll": [], "ntdll.dll": ["winternl.h"], "ole32.dll": ["objbase.h"], "oleaut32.dll": ["oleauto.h"],
    "shell32.dll": ["shellapi.h", "shlobj.h"], "shlwapi.dll": ["shlwapi.h"], "comctl32.dll": ["commctrl.h"],
    "comdlg32.dll": ["commdlg.h"], "winspool.drv": ["winspool.h"], "wininet.dll": ["wininet.h"],
    "winmm.dll": ["mmsystem.h"], "psapi.dll": ["psapi.h"], "imm32.dll": ["imm.h"], "uxtheme.dll": ["uxtheme.h"],
    "crypt32.dll": ["wincrypt.h"], "rpcrt4.dll": ["rpc.h"], "ws2_32.dll": ["winsock2.h", "ws2tcpip.h"],
    "gdiplus.dll": ["gdiplus.h"],
}
C_RUNTIME = "msvcrt.dll"
XP_RUNTIME_LIBRARY = "libmsvcr70.a"
UNDECLARED = re.compile(r"['\u2018](\w+)['\u2019] undeclared")


def archive_imports(path):
    """The functions an import library (ar archive) gives: its __imp_ symbols."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"!<arch>\n" or data[8:24].rstrip() != b"/":
        raise BadImage("%s: no archive symbol table" % path)
    size = int(data[56:66])
    table = data[68:68 + size]
    count = int.from_bytes(table[:4], "big")
    names = table[4 + 4 * count:].split(b"\0")[:count]
    return {n[7:].decode("ascii", "replace") for n in names if n.startswith(b"__imp__")}


def compile_errors(cc, headers, functions, defines):
    """Undeclared names, or None when the file compiles; raises on other errors."""
    lines = ["#include <%s>" % h for h in HEADER_ORDER if h in headers]
    lines.append("static const void *const imported[] = {")
    lines += ["  (const void *)&%s," % f for f in functions]
    lines.append("};")
    with tempfile.NamedTemporaryFile("w", suffix=".c", delete=False) as src:
        src.write("\n".join(lines) + "\n")
    try:
        run = subprocess.run([cc, "-fsyntax-only", "-w"] + defines + [src.name],
                             capture_output=True, text=True, env=dict(os.environ, LC_ALL="C"))
    finally:
        os.unlink(src.name)
    if run.returncode == 0:
        return None
    undeclared = set(UNDECLARED.findall(run.stderr))
    if not undeclared:
        raise RuntimeError("the header check does not compile:\n" + run.stderr[:3000])
    return undeclared


def check_windows_api(cc, imports, failures):
    headers, functions, owner, before = {"windows.h"}, [], {}, len(failures)
    for dll, names in imports:
        key = dll.lower()
        if key == C_RUNTIME:
            continue
        if key not in DLL_HEADERS:
            failures.append("%s: no headers known for this DLL, so none of its %d functions is proven"
                            % (dll, len(names)))
            continue
        headers.update(DLL_HEADERS[key])
        for name in names:
            if name.startswith("#"):
                failures.append("%s!%s: imported by ordinal, which no header declares" % (dll, name))
            elif key == "gdiplus.dll" and name in GDIPLUS_1_1:
                failures.append("%s!%s: GDI+ 1.1, which XP lacks" % (dll, name))
            else:
                functions.append(name)
                owner[name] = dll
    missing = compile_errors(cc, headers, functions, XP_DEFINES)
    if missing is None:
        if len(failures) == before:
            print("Windows API: all %d functions are declared for Windows XP SP3 by the mingw-w64 headers"
                  % len(functions))
        return
    later = compile_errors(cc, headers, functions, NEWEST_DEFINES) or set()
    for name in sorted(missing):
        why = "declared by no header the check includes" if name in later else \
            "declared only for a later Windows than XP"
        failures.append("%s!%s: %s" % (owner.get(name, "?"), name, why))


def check_c_runtime(cc, imports, failures):
    names = [n for dll, ns in imports if dll.lower() == C_RUNTIME for n in ns]
    if not names:
        return
    library = subprocess.run([cc, "-print-file-name=" + XP_RUNTIME_LIBRARY],
                             capture_output=True, text=True).stdout.strip()
    if not os.path.isabs(library):
        failures.append("%s not found beside %s: the C runtime imports are unproven" % (XP_RUNTIME_LIBRARY, cc))
        return
    xp_era = archive_imports(library)
    late = [n for n in names if n not in xp_era]
    for name in late:
        failures.append("%s!%s: msvcr70.dll exports no such function, so XP's msvcrt.dll may lack it"
                        % (C_RUNTIME, name))
    if not late:
        print("C runtime: all %d msvcrt.dll functions are exported by msvcr70.dll as well" % len(names))


def check(path, cc):
    with open(path, "rb") as f:
        imports = PeImage(f.read()).imported_functions()
    total = sum(len(names) for _, names in imports)
    print("%s imports %d functions from %d DLLs:" % (path, total, len(imports)))
    for dll, names in imports:
        print("  %s: %s" % (dll, " ".join(names)))
    failures = []
    check_windows_api(cc, imports, failures)
    check_c_runtime(cc, imports, failures)
    for f in failures:
        print("FAILED: " + f)
    return not failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("dll")
    parser.add_argument("--cc", required=True, help="the i686 mingw-w64 C compiler")
    args = parser.parse_args()
    try:
        ok = check(args.dll, args.cc)
    except (BadImage, RuntimeError, OSError, ValueError) as e:
        print("FAILED: %s: %s" % (args.dll, e))
        ok = False
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
