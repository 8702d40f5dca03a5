#!/usr/bin/env python3
"""Reads what a Windows program or library carries, with a PE reader rather than by running it, so that
the 32-bit downloads are checked on machines that cannot run 32-bit code as well.

usage: pe_resources.py versions VERSION FILE...   each file's version resource: file, product and fixed
                                                  versions VERSION, product name Products, a description
"""
import sys

import pefile

RT_MANIFEST = 24


def manifest_of(path):
    """The text of the application manifest (type 24, id 1), or None."""
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    resources = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in resources.entries if resources else []:
        if kind.id != RT_MANIFEST:
            continue
        for entry in kind.directory.entries:
            if entry.id == 1:
                data = entry.directory.entries[0].data.struct
                return pe.get_data(data.OffsetToData, data.Size).decode("utf-8", "replace")
    return None


def version_of(path):
    """(fixed file version "a.b.c", {string name: value}) of the version resource, or None."""
    pe = pefile.PE(path)
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    if not fixed:
        return None
    ms, ls = fixed[0].FileVersionMS, fixed[0].FileVersionLS
    strings = {}
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            for table in getattr(block, "StringTable", []):
                strings.update({k.decode("latin-1"): v.decode("latin-1") for k, v in table.entries.items()})
    return "%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16), strings


def check_versions(version, paths):
    failed = False
    for path in paths:
        found = version_of(path)
        if found is None:
            print("FAIL %s: no version resource" % path)
            failed = True
            continue
        numbers, strings = found
        ok = (numbers == version and strings.get("FileVersion") == version
              and strings.get("ProductVersion") == version and strings.get("ProductName") == "Products"
              and strings.get("FileDescription", "") != "")
        print("%s %s: fixed %s, %s" % ("ok" if ok else "FAIL", path, numbers, strings))
        failed |= not ok
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) < 4 or sys.argv[1] != "versions":
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(check_versions(sys.argv[2], sys.argv[3:]))
