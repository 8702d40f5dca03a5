#!/usr/bin/env python3
"""Checks the viewer's layer order, common <- feed <- listview <- chrome, links <- app: no source file
includes a header of a layer above its own or beside it, and no folder's library links one that is.
Checks the feed server's three folders too: the server program (the folder itself) and bench/ may use
logic/, neither uses the other, and logic/ uses neither. Their headers are included by name alone,
so an include is placed by the folder that holds a header of that name.

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

FEED_SERVER = os.path.join("companions", "feed-server")
FEED_SERVER_PARTS = {"logic": os.path.join(FEED_SERVER, "logic"), "server": FEED_SERVER,
                     "bench": os.path.join(FEED_SERVER, "bench")}
FEED_SERVER_USES = {"logic": set(), "server": {"logic"}, "bench": {"logic"}}
QUOTED_INCLUDE = re.compile(r'\s*#\s*include\s+"([^"]+)"')


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
    return faults + check_feed_server(root)


def check_feed_server(root):
    sources = {part: sorted(name for name in os.listdir(os.path.join(root, folder))
                            if name.endswith((".cpp", ".h")))
               for part, folder in FEED_SERVER_PARTS.items() if os.path.isdir(os.path.join(root, folder))}
    part_of_header = {name: part for part, names in sources.items() for name in names if name.endswith(".h")}
    faults = []
    for part, names in sources.items():
        for name in names:
            path = os.path.join(root, FEED_SERVER_PARTS[part], name)
            with open(path, errors="replace") as source:
                for number, line in enumerate(source, 1):
                    match = QUOTED_INCLUDE.match(line)
                    other = match and part_of_header.get(os.path.basename(match.group(1)))
                    if other and other != part and other not in FEED_SERVER_USES[part]:
                        faults.append("%s:%d: feed server %s includes %s" % (
                            os.path.relpath(path, root), number, part, other))
    return faults


FEED_SERVER_BASE = [
    ("companions/feed-server/logic/feed_text.h", "#pragma once\n"),
    ("companions/feed-server/connections.h", '#pragma once\n#include "feed_text.h"\n'),
    ("companions/feed-server/bench/bench_run.h", '#pragma once\n#include "feed_text.h"\n'),
]


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
    ("companions/feed-server/logic/feed_text.cpp", '#include "connections.h"\n', True),
    ("companions/feed-server/logic/feed_names.cpp", '#include "../bench/bench_run.h"\n', True),
    ("companions/feed-server/bench/bench_main.cpp", '#include "connections.h"\n', True),
    ("companions/feed-server/server_main.cpp", '#include "bench_run.h"\n', True),
    ("companions/feed-server/bench/bench_main.cpp", '#include "bench_run.h"\n#include "feed_text.h"\n', False),
]


if __name__ == "__main__":
    sys.exit(checker.main(__doc__, check, SELF_TEST_CASES, FEED_SERVER_BASE, 'layer order', 'kept'))
