#!/usr/bin/env python3
"""Packs the release: OUT/tunelet<A.B.C>.zip and OUT/SHA256SUMS.

  make_release.py --dll Tunelet.dll --lng English.lng --guide user-guide.txt --out dist

The zip is named as the plug-in's update check reads a download name: the
word "tunelet", the first three parts of the DLL's own file version (from its
version resource) and ".zip". The check compares one digit at each of those
three places, so a version part above 9 is refused rather than published
under a name the check misreads.

The same inputs always give the same bytes: fixed member order, one fixed
date, fixed permissions, no extra fields, no comment. The guide is plain
ASCII and gets Windows line ends, since users open it in Notepad.
"""
import argparse
import hashlib
import os
import struct
import sys
import zipfile

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pe_version import file_version  # noqa: E402
from check_dll import BadImage  # noqa: E402  (on the path pe_version set)

GUIDE_NAME = "Tunelet-readme.txt"
# Members in this order; the language file in "addons" beside the DLL, where
# the plug-in looks for it.
MEMBERS = ("Tunelet.dll", "addons/English.lng", GUIDE_NAME)
FIXED_DATE = (1980, 1, 1, 0, 0, 0)  # the earliest date a zip can hold
UNIX_SYSTEM = 3
FILE_MODE = 0o100644  # a regular file, rw-r--r--
COMPRESS_LEVEL = 9
SUMS_NAME = "SHA256SUMS"


class ReleaseError(Exception):
    pass


def zip_name(version):
    """tunelet3.0.1.zip for (3, 0, 1, build): the update check's digits."""
    shown = version[:3]
    if any(part > 9 for part in shown):
        raise ReleaseError("version %s: the update check compares one digit per part; "
                           "a part above 9 would be misread" % ".".join(map(str, version)))
    return "tunelet%d.%d.%d.zip" % shown


def windows_text(raw, what):
    """raw as ASCII text with CR LF line ends."""
    try:
        text = raw.decode("ascii")
    except UnicodeDecodeError:
        raise ReleaseError("%s: not plain ASCII" % what)
    lines = text.replace("\r\n", "\n").split("\n")
    return "\r\n".join(lines).encode("ascii")


def member(name):
    info = zipfile.ZipInfo(name, date_time=FIXED_DATE)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = UNIX_SYSTEM
    info.external_attr = FILE_MODE << 16
    return info


def write_zip(path, contents):
    """contents: [(name, bytes)] in archive order."""
    with zipfile.ZipFile(path, "w") as z:
        for name, data in contents:
            z.writestr(member(name), data, compresslevel=COMPRESS_LEVEL)


def sha256_line(path):
    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    return "%s  %s\n" % (digest, os.path.basename(path))


def make_release(dll, lng, guide, out_dir):
    with open(dll, "rb") as f:
        dll_bytes = f.read()
    with open(lng, "rb") as f:
        lng_bytes = f.read()
    with open(guide, "rb") as f:
        guide_bytes = windows_text(f.read(), guide)
    name = zip_name(file_version(dll_bytes))
    os.makedirs(out_dir, exist_ok=True)
    zip_path = os.path.join(out_dir, name)
    write_zip(zip_path, list(zip(MEMBERS, (dll_bytes, lng_bytes, guide_bytes))))
    with open(os.path.join(out_dir, SUMS_NAME), "w", newline="\n") as f:
        f.write(sha256_line(zip_path))
    return zip_path


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dll", required=True)
    parser.add_argument("--lng", required=True)
    parser.add_argument("--guide", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    try:
        print(make_release(args.dll, args.lng, args.guide, args.out))
    except (ReleaseError, BadImage, struct.error, OSError) as e:
        print("release: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
