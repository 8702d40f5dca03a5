#!/usr/bin/env python3
"""Checks the viewer's layer order, common <- feed <- listview <- chrome, links <- app: no source file
includes a header of a layer above its own or beside it, and no folder's library links one that is.

usage: check_layers.py ROOT          checks the tree at ROOT
       check_layers.py --self-test   shows on made-up trees that a back edge is caught
"""
import os
import re
import sys

import checker

RANK = {"common": 0, "feed": 1, "listview": 2, "chrome": 3, "links": 3, "app": 4}
INCLUDE = re.compile(r'\s*#\s*include\s+"([A-Za-z0-9_]+)/')
LINK = re.compile(r'target_link_libraries\(\s*products_([a-z]+)\b([^)]*)\)', re.S)
LINKED = re.compile(r'\bproducts_([a-z]+)\b')


def allowed(own, other):
    return other == own or RANK[other] < RANK[own]


def check(root):
    faults = []
    for layer in RANK:
        top = os.path.join(root, layer)
        for folder, _, files in os.walk(top):
            for name in sorted(files):
                path = os.path.join(folder, name)
                if name.endswith((".cpp", ".h", ".c")):
                    with open(path, errors="replace") as source:
                        for number, line in enumerate(source, 1):
                            match = INCLUDE.match(line)
                            if match and match.group(1) in RANK and not allowed(layer, match.group(1)):
                                faults.append("%s:%d: %s/ includes %s/" % (
                                    os.path.relpath(path, root), number, layer, match.group(1)))
                elif name == "CMakeLists.txt":
                    with open(path) as cmake:
                        text = cmake.read()
                    for match in LINK.finditer(text):
                        own = match.group(1)
                        for other in LINKED.findall(match.group(2)):
                            if own in RANK and other in RANK and not allowed(own, other):
                                faults.append("%s: products_%s links products_%s" % (
                                    os.path.relpath(path, root), own, other))
    return faults


SELF_TEST_CASES = [
    ("feed/fetch.cpp", '#include "app/launch_args.h"\n', True),
    ("listview/view.cpp", '#include "chrome/menus.h"\n', True),
    ("chrome/menus.h", '  #  include "links/link_menu.h"\n', True),
    ("common/text.cpp", '#include "feed/product_list.h"\n', True),
    ("feed/CMakeLists.txt", "target_link_libraries(products_feed PUBLIC products_listview)\n", True),
    ("app/window.cpp", '#include "links/link_menu.h"\n#include "common/text.h"\n', False),
    ("links/link_menu.cpp", '#include "chrome/menus.h"\n', True),
    ("listview/view.cpp", '#include "companions/category/category_lookup.h"\n#include <windows.h>\n', False),
    ("app/CMakeLists.txt", "target_link_libraries(products_app PUBLIC products_listview products_feed)\n", False),
]


if __name__ == "__main__":
    sys.exit(checker.main(__doc__, check, SELF_TEST_CASES, (), 'layer order', 'kept'))
