#!/usr/bin/env python3
"""Prints the four-part file version of a Windows image (DLL or EXE).

  pe_version.py FILE      ->  3.0.1.0

The version comes from VS_FIXEDFILEINFO in the image's own version resource
(type RT_VERSION, its first name and language), read from the bytes: no
Windows, no Wine. Exits 1 when the image has no readable version resource.
"""
import os
import struct
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "check-dll"))
from check_dll import RESOURCE_DIR, BadImage, PeImage  # noqa: E402

RT_VERSION = 16
SUBDIRECTORY = 0x80000000
FIXED_INFO_SIGNATURE = 0xFEEF04BD
VERSION_INFO_KEY = "VS_VERSION_INFO\0".encode("utf-16-le")
MAX_ENTRIES = 1024  # a resource directory lists far fewer


def _entries(data, base, directory_offset):
    """(id, offset, is_subdirectory) of one resource directory's entries."""
    at = base + directory_offset
    named, numbered = struct.unpack_from("<HH", data, at + 12)
    if named + numbered > MAX_ENTRIES:
        raise BadImage("resource directory with %d entries" % (named + numbered))
    for i in range(named + numbered):
        name, target = struct.unpack_from("<II", data, at + 16 + 8 * i)
        yield name, target & ~SUBDIRECTORY, bool(target & SUBDIRECTORY)


def _first_subdirectory(data, base, directory_offset, wanted_id=None):
    for name, target, is_dir in _entries(data, base, directory_offset):
        if wanted_id is None or name == wanted_id:
            if not is_dir:
                raise BadImage("version resource tree ends early")
            return target
    raise BadImage("no version resource")


def version_resource(image):
    """The bytes of the first RT_VERSION resource."""
    rva, size = image.directory(RESOURCE_DIR)
    if not size:
        raise BadImage("no resources")
    data, base = image.data, image.offset(rva)
    names = _first_subdirectory(data, base, 0, RT_VERSION)
    languages = _first_subdirectory(data, base, names)
    for _, target, is_dir in _entries(data, base, languages):
        if is_dir:
            raise BadImage("version resource tree too deep")
        data_rva, data_size = struct.unpack_from("<II", data, base + target)
        start = image.offset(data_rva)
        if start + data_size > len(data):
            raise BadImage("version resource runs past the file")
        return data[start:start + data_size]
    raise BadImage("version resource has no language")


def file_version(image_bytes):
    """(major, minor, patch, build) from VS_FIXEDFILEINFO."""
    block = version_resource(PeImage(image_bytes))
    key_end = 6 + len(VERSION_INFO_KEY)
    if block[6:key_end] != VERSION_INFO_KEY:
        raise BadImage("version resource is not VS_VERSION_INFO")
    fixed = (key_end + 3) & ~3  # the value starts on a 32-bit boundary
    signature, _, ms, ls = struct.unpack_from("<IIII", block, fixed)
    if signature != FIXED_INFO_SIGNATURE:
        raise BadImage("VS_FIXEDFILEINFO signature missing")
    return ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    try:
        with open(sys.argv[1], "rb") as f:
            print("%d.%d.%d.%d" % file_version(f.read()))
    except (BadImage, struct.error, OSError) as e:
        print("%s: %s" % (sys.argv[1], e), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
