#!/usr/bin/env python3
"""Checks that every #include "..." under a source tree points down the layers.

  check_layers.py SRC_DIR [LAYERS_FILE]     (default: SRC_DIR/layers.txt)

The layers file lists folders of SRC_DIR bottom first, one level per line;
folders on one line are peers. A file may include files of its own folder and
of lower levels; an include of a higher level or of a peer is reported with
the file and the include, and so is a folder with sources that the table
lacks. Exits 1 when anything is reported.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")


def read_levels(path):
    levels = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                level = len(set(levels.values()))
                for folder in line.split():
                    levels[folder] = level
    return levels


def source_files(src):
    for root, _, files in os.walk(src):
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.join(root, name)


def folder_of(path):
    return os.path.dirname(path).replace(os.sep, "/")


def violations(src, levels):
    """(file, include, reason) for every include against the table."""
    found = []
    unlisted = set()
    for path in source_files(src):
        rel = os.path.relpath(path, src).replace(os.sep, "/")
        here = folder_of(rel)
        if here not in levels:
            if here not in unlisted:
                unlisted.add(here)
                found.append((rel, "", "folder %s is not in the layer table" % (here or ".")))
            continue
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                m = INCLUDE.match(line)
                if not m or "/" not in m.group(1):
                    continue  # a file of the same folder, or generated beside it
                target = folder_of(m.group(1))
                if target == here or target not in levels:
                    continue  # own folder, or not a folder of this tree
                if levels[target] > levels[here]:
                    found.append((rel, m.group(1), "%s is above %s" % (target, here)))
                elif levels[target] == levels[here]:
                    found.append((rel, m.group(1), "%s and %s are peers" % (target, here)))
    return found


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__.strip())
        return 2
    src = argv[1]
    levels = read_levels(argv[2] if len(argv) == 3 else os.path.join(src, "layers.txt"))
    found = violations(src, levels)
    for rel, include, reason in found:
        print('%s: #include "%s": %s' % (rel, include, reason) if include else "%s: %s" % (rel, reason))
    if not found:
        print("layers: every include of %s points down (%d folders)" % (src, len(levels)))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
