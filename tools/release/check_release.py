#!/usr/bin/env python3
"""Checks a release zip as make_release.py promises to write it.

  check_release.py dist/tunelet3.0.1.zip

- the members, in order: Tunelet.dll, addons/English.lng, Tunelet-readme.txt;
- each member deflated, dated 1980-01-01 00:00 in its central and its local
  header, rw-r--r--, no extra field, no data descriptor, no comment; the
  contents match their checksums;
- the zip's name is the one the DLL's own version resource gives it;
- the guide is ASCII with Windows line ends;
- SHA256SUMS beside the zip, when there, names the zip with its checksum.

Prints what it found and exits 1 naming each failed check.
"""
import hashlib
import os
import struct
import sys
import zipfile

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_release import (FILE_MODE, FIXED_DATE, GUIDE_NAME, MEMBERS, SUMS_NAME,  # noqa: E402
                          UNIX_SYSTEM, ReleaseError, zip_name)
from pe_version import BadImage, file_version  # noqa: E402

LOCAL_HEADER = struct.Struct("<4sHHHHHIIIHH")
LOCAL_SIGNATURE = b"PK\x03\x04"
DATA_DESCRIPTOR_FLAG = 0x08
# 1980-01-01 00:00 in the MS-DOS form a zip header holds.
FIXED_DOS_DATE = ((FIXED_DATE[0] - 1980) << 9) | (FIXED_DATE[1] << 5) | FIXED_DATE[2]
FIXED_DOS_TIME = 0


def member_failures(raw, info):
    found = []
    if info.date_time != FIXED_DATE:
        found.append("date %s" % (info.date_time,))
    if info.compress_type != zipfile.ZIP_DEFLATED:
        found.append("not deflated")
    if info.create_system != UNIX_SYSTEM or info.external_attr != FILE_MODE << 16:
        found.append("permissions %o from system %d" % (info.external_attr >> 16, info.create_system))
    if info.extra or info.comment:
        found.append("extra field or comment")
    (signature, _, flags, _, time, date, _, _, _, _, extra_length) = LOCAL_HEADER.unpack_from(
        raw, info.header_offset)
    if signature != LOCAL_SIGNATURE:
        found.append("no local header")
    elif (date, time) != (FIXED_DOS_DATE, FIXED_DOS_TIME):
        found.append("local header dated %#06x %#06x" % (date, time))
    if flags & DATA_DESCRIPTOR_FLAG or extra_length:
        found.append("local header with a data descriptor or an extra field")
    return ["%s: %s" % (info.filename, f) for f in found]


def sums_failures(zip_path, raw):
    sums = os.path.join(os.path.dirname(zip_path), SUMS_NAME)
    if not os.path.exists(sums):
        return []
    wanted = "%s  %s" % (hashlib.sha256(raw).hexdigest(), os.path.basename(zip_path))
    with open(sums) as f:
        if wanted not in f.read().splitlines():
            return ["%s does not name %s with its checksum" % (SUMS_NAME, os.path.basename(zip_path))]
    return []


def check(zip_path):
    with open(zip_path, "rb") as f:
        raw = f.read()
    failures = []
    with zipfile.ZipFile(zip_path) as z:
        names = [i.filename for i in z.infolist()]
        print("members: %s" % ", ".join(names))
        if tuple(names) != MEMBERS:
            failures.append("members must be %s, in that order" % ", ".join(MEMBERS))
        if z.comment:
            failures.append("the zip has a comment")
        for info in z.infolist():
            failures += member_failures(raw, info)
        bad = z.testzip()
        if bad:
            failures.append("%s: contents do not match their checksum" % bad)
        if "Tunelet.dll" in names:
            version = file_version(z.read("Tunelet.dll"))
            print("Tunelet.dll version: %d.%d.%d.%d" % version)
            try:
                if zip_name(version) != os.path.basename(zip_path):
                    failures.append("the DLL's version names the zip %s" % zip_name(version))
            except ReleaseError as e:
                failures.append(str(e))
        if GUIDE_NAME in names:
            guide = z.read(GUIDE_NAME)
            if not guide.isascii() or guide.count(b"\n") != guide.count(b"\r\n"):
                failures.append("%s: not ASCII with CR LF line ends" % GUIDE_NAME)
    failures += sums_failures(zip_path, raw)
    for f in failures:
        print("FAILED: " + f)
    return not failures


def main():
    if len(sys.argv) != 2:
        print("usage: check_release.py ZIP", file=sys.stderr)
        return 2
    try:
        ok = check(sys.argv[1])
    except (zipfile.BadZipFile, BadImage, struct.error, OSError, KeyError) as e:
        print("FAILED: %s: %s" % (sys.argv[1], e))
        ok = False
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
