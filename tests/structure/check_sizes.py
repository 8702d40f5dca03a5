#!/usr/bin/env python3
"""Checks that no tracked file is over 512 KB, other than the named assets: profiles, traces and
dumps left by a session stay out of the repository.

usage: check_sizes.py ROOT          checks the tree at ROOT (its tracked files; outside git, every file but build/)
       check_sizes.py --self-test   shows on made-up trees that a big file is caught
"""
import os
import subprocess
import sys

import checker

SIZE_MAX = 512 * 1024
ASSETS = {"docs/products.png"}  # the demo screenshot, retaken now and then


def files(root):
    listed = subprocess.run(["git", "-C", root, "ls-files", "-z"], capture_output=True)
    if listed.returncode == 0 and os.path.exists(os.path.join(root, ".git")):
        return [name for name in listed.stdout.decode(errors="replace").split("\0") if name]
    found = []
    for folder, subfolders, names in os.walk(root):
        subfolders[:] = [d for d in subfolders if d not in ("build", ".git")]
        found += [os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/") for name in names]
    return found


def check(root):
    faults = []
    for name in sorted(files(root)):
        path = os.path.join(root, name)
        if name not in ASSETS and os.path.isfile(path) and os.path.getsize(path) > SIZE_MAX:
            faults.append("%s: %d KB, over %d KB" % (name, os.path.getsize(path) // 1024, SIZE_MAX // 1024))
    return faults


SELF_TEST_CASES = [
    ("perf.data", "x" * (SIZE_MAX + 1), True),
    ("docs/notes/trace.txt", "x" * (SIZE_MAX * 2), True),
    ("docs/products.png", "x" * (SIZE_MAX + 1), False),
    ("README.md", "x" * SIZE_MAX, False),
]


if __name__ == "__main__":
    sys.exit(checker.main(__doc__, check, SELF_TEST_CASES, (), 'tracked files', 'none over 512 KB'))
