#!/usr/bin/env python3
"""Checks a built Tunelet.dll as the host's loader will meet it, without Wine.

  check_dll.py DLL --machine i386|amd64 --version A.B.C.D

- the image is a DLL for the given machine;
- it exports exactly one function, by name, undecorated: CreateTalkeoPLUGIN;
- it imports only from DLLs that every Windows system has (the compiler's
  runtime, libstdc++, libgcc, libwinpthread and zlib must be linked in);
- its VERSIONINFO carries the given four-part file version.

Prints what it found and exits 1 naming each failed check.
"""
import argparse
import struct
import sys

MACHINES = {"i386": 0x014C, "amd64": 0x8664}
IMAGE_FILE_DLL = 0x2000
PE32_MAGIC, PE32_PLUS_MAGIC = 0x10B, 0x20B
EXPORT_DIR, IMPORT_DIR, RESOURCE_DIR, DELAY_IMPORT_DIR = 0, 1, 2, 13
VS_FIXEDFILEINFO_SIGNATURE = struct.pack("<I", 0xFEEF04BD)
MAX_NAMES = 4096  # bounds every walk over a table the file describes

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "ole32.dll", "oleaut32.dll",
    "shell32.dll", "comctl32.dll", "version.dll", "wininet.dll", "gdiplus.dll", "msvcrt.dll",
    "shlwapi.dll", "comdlg32.dll", "winmm.dll", "ntdll.dll", "psapi.dll", "imm32.dll",
    "uxtheme.dll", "msimg32.dll", "ws2_32.dll", "rpcrt4.dll", "crypt32.dll", "winspool.drv",
}


class BadImage(Exception):
    pass


class PeImage:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise BadImage("no MZ header")
        pe = self.u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise BadImage("no PE signature")
        self.machine, sections, _, _, _, opt_size, self.characteristics = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = self.u16(opt)
        if self.magic not in (PE32_MAGIC, PE32_PLUS_MAGIC):
            raise BadImage("unknown optional header magic %#x" % self.magic)
        dirs = opt + (96 if self.magic == PE32_MAGIC else 112)
        count = min(self.u32(dirs - 4), 16)
        self.directories = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(count)]
        self.sections = []
        table = opt + opt_size
        for i in range(sections):
            _, vsize, va, raw_size, raw_ptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((va, max(vsize, raw_size), raw_ptr, raw_size))

    def u16(self, off):
        return struct.unpack_from("<H", self.data, off)[0]

    def u32(self, off):
        return struct.unpack_from("<I", self.data, off)[0]

    def offset(self, rva):
        for va, size, raw_ptr, raw_size in self.sections:
            if va <= rva < va + size and rva - va < raw_size:
                return raw_ptr + (rva - va)
        raise BadImage("address %#x lies in no section" % rva)

    def text(self, rva):
        off = self.offset(rva)
        end = self.data.find(b"\0", off, off + 512)
        if end < 0:
            raise BadImage("name at %#x has no end" % rva)
        return self.data[off:end].decode("ascii", "replace")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def exports(self):
        rva, size = self.directory(EXPORT_DIR)
        if not size:
            return [], 0
        off = self.offset(rva)
        functions, names, _, name_table = struct.unpack_from("<IIII", self.data, off + 20)
        if names > MAX_NAMES:
            raise BadImage("%d export names" % names)
        table = self.offset(name_table) if names else 0
        return [self.text(self.u32(table + 4 * i)) for i in range(names)], functions

    def image_base(self):
        opt = self.u32(0x3C) + 24
        if self.magic == PE32_MAGIC:
            return self.u32(opt + 28)
        return struct.unpack_from("<Q", self.data, opt + 24)[0]

    def thunk_names(self, rva):
        """The names in an import lookup table: by name, or "#n" by ordinal."""
        wide = self.magic == PE32_PLUS_MAGIC
        step, ordinal_flag = (8, 1 << 63) if wide else (4, 1 << 31)
        off = self.offset(rva)
        names = []
        for i in range(MAX_NAMES):
            entry = struct.unpack_from("<Q" if wide else "<I", self.data, off + step * i)[0]
            if not entry:
                return names
            if entry & ordinal_flag:
                names.append("#%d" % (entry & 0xFFFF))
            else:
                names.append(self.text((entry & 0x7FFFFFFF) + 2))  # past the hint
        raise BadImage("import table at %#x has no end" % rva)

    def imported_functions(self):
        """[(dll, [function names])] of the import and the delay-import tables."""
        found = []
        rva, size = self.directory(IMPORT_DIR)
        if size:
            off = self.offset(rva)
            for i in range(MAX_NAMES):
                lookup, _, _, name, first_thunk = struct.unpack_from("<IIIII", self.data, off + 20 * i)
                if not name:
                    break
                found.append((self.text(name), self.thunk_names(lookup or first_thunk)))
        rva, size = self.directory(DELAY_IMPORT_DIR)
        if size:
            off = self.offset(rva)
            for i in range(MAX_NAMES):
                attributes, name, _, _, lookup = struct.unpack_from("<IIIII", self.data, off + 32 * i)
                if not name:
                    break
                # Old-style entries hold addresses, not relative ones.
                base = 0 if attributes & 1 else self.image_base()
                found.append((self.text(name - base), self.thunk_names(lookup - base) if lookup else []))
        return found

    def imports(self):
        return [dll for dll, _ in self.imported_functions()]

    def file_version(self):
        rva, size = self.directory(RESOURCE_DIR)
        if not size:
            return None
        off = self.offset(rva)
        at = self.data.find(VS_FIXEDFILEINFO_SIGNATURE, off, off + size)
        if at < 0:
            return None
        ms, ls = struct.unpack_from("<II", self.data, at + 8)
        return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def check(path, machine, version):
    with open(path, "rb") as f:
        image = PeImage(f.read())
    failures = []
    print("%s: machine %#06x, %s" % (path, image.machine, "PE32+" if image.magic == PE32_PLUS_MAGIC else "PE32"))
    if image.machine != MACHINES[machine]:
        failures.append("machine is %#06x, not %s" % (image.machine, machine))
    if (image.magic == PE32_PLUS_MAGIC) != (machine == "amd64"):
        failures.append("optional header does not match the machine")
    if not image.characteristics & IMAGE_FILE_DLL:
        failures.append("not a DLL")

    names, functions = image.exports()
    print("exports: %s (%d functions)" % (", ".join(names) or "none", functions))
    if names != ["CreateTalkeoPLUGIN"] or functions != 1:
        failures.append("exports must be exactly CreateTalkeoPLUGIN, undecorated")

    dlls = image.imports()
    print("imports from: %s" % ", ".join(dlls))
    foreign = [d for d in dlls if d.lower() not in SYSTEM_DLLS]
    if foreign:
        failures.append("imports from DLLs a bare Windows lacks: %s" % ", ".join(foreign))
    if not dlls:
        failures.append("no imports at all")

    found = image.file_version()
    print("file version: %s" % found)
    if found != version:
        failures.append("file version is %s, not %s" % (found, version))

    for f in failures:
        print("FAILED: " + f)
    return not failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("dll")
    parser.add_argument("--machine", choices=sorted(MACHINES), required=True)
    parser.add_argument("--version", required=True)
    args = parser.parse_args()
    try:
        ok = check(args.dll, args.machine, args.version)
    except (BadImage, struct.error, OSError) as e:
        print("FAILED: %s: %s" % (args.dll, e))
        ok = False
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
