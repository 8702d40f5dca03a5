#!/usr/bin/env python3
"""Checks that what the programs agree on is written only in common/contract.h: no other C, C++,
resource or Python source spells one of its names (window classes, programs, the spool file) in a
string, or one of its numbers (ids, commands, the port) in code; and no program source spells one of its feed texts
(the request prefix, the no-data mark, the address formats). The names and numbers are read from the
header itself, so the check never holds a second copy of them.

Tests and benchmarks may still write whole feed lines and addresses as known text ("VNP,demo^demo",
"http://127.0.0.1:1360/p^id^key"): those are the expected bytes, not a definition. Comments are free.

usage: check_contract.py ROOT          checks the tree at ROOT
       check_contract.py --self-test   shows on made-up trees that a copy is caught
"""
import io
import os
import re
import sys
import tokenize

import checker

HEADER = os.path.join("common", "contract.h")
SOURCES = (".c", ".cpp", ".h", ".rc", ".py")
SKIPPED_FOLDERS = {"build", ".git"}
KNOWN_TEXT_FOLDERS = ("tests", "bench")  # folders (at any depth) where known feed lines may stand as literals

DEFINE_STRING = re.compile(r'^\s*#\s*define\s+([A-Z0-9_]+)\s+"((?:[^"\\]|\\.)*)"\s*(?://.*)?$', re.M)
ENUM_NUMBER = re.compile(r'\b([A-Z][A-Z0-9_]*)\s*=\s*(\d+)\b')
NUMBER = re.compile(r'(?<![\w.])(\d+)(?![\w.])')
NAME_LIKE = re.compile(r'^[A-Za-z0-9_.]+$')


def read_contract(root):
    """The header's names, feed texts and numbers: ({text: macro}, {text: macro}, {number: enumerator})."""
    with open(os.path.join(root, HEADER), errors="replace") as header:
        text = header.read()
    names, texts = {}, {}
    for macro, value in DEFINE_STRING.findall(text):
        (names if NAME_LIKE.match(value) else texts)[value.lower()] = macro
    code, _ = split_source(text)
    numbers = {value: name for name, value in ENUM_NUMBER.findall(code)}
    return names, texts, numbers


def split_source(text):
    """The code with comments and literals blanked out, and the string literals' contents with their lines."""
    code = []
    strings = []
    i, line, n = 0, 1, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            line += text.count("\n", i, end)
            code.append("\n" * text.count("\n", i, end))
            i = end
        elif c == '"' and i > 0 and text[i - 1] == "R":
            end = text.find(')"', i)  # a raw string, R"(...)", holds quotes and backslashes as they are
            end = n if end < 0 else end
            strings.append((line, text[i + 2:end]))
            line += text.count("\n", i, end)
            code.append("\n" * text.count("\n", i, end))
            i = end + 2
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            if c == '"':
                strings.append((line, text[i + 1:j]))
            code.append(" ")
            i = j + 1
        else:
            if c == "\n":
                line += 1
            code.append(c)
            i += 1
    return "".join(code), strings


def split_python(text):
    """split_source for Python: the code with comments and strings left out, and the strings with their lines."""
    lines = text.split("\n")
    code = [[] for _ in lines]
    strings = []
    for token in tokenize.generate_tokens(io.StringIO(text).readline):
        if token.type == tokenize.STRING:
            strings.append((token.start[0], token.string))
        elif token.type != tokenize.COMMENT and token.start[0] <= len(lines):
            code[token.start[0] - 1].append(token.string)
    return "\n".join(" ".join(words) for words in code), strings


def check(root):
    names, texts, numbers = read_contract(root)
    faults = []
    for folder, subfolders, files in os.walk(root):
        subfolders[:] = sorted(d for d in subfolders if d not in SKIPPED_FOLDERS)
        for file_name in sorted(files):
            path = os.path.join(folder, file_name)
            relative = os.path.relpath(path, root)
            if not file_name.endswith(SOURCES) or relative == HEADER:
                continue
            with open(path, errors="replace") as source:
                code, strings = (split_python if file_name.endswith(".py") else split_source)(source.read())
            program = not any(part in KNOWN_TEXT_FOLDERS for part in relative.split(os.sep)[:-1])
            for line, literal in strings:
                lowered = literal.lower()
                for value, macro in names.items():
                    if value in lowered:
                        faults.append("%s:%d: \"%s\" spells %s" % (relative, line, literal, macro))
                for value, macro in texts.items():
                    if program and value in lowered:
                        faults.append("%s:%d: \"%s\" spells %s" % (relative, line, literal, macro))
            for number, code_line in enumerate(code.split("\n"), 1):
                for value in NUMBER.findall(code_line):
                    if value in numbers:
                        faults.append("%s:%d: %s is %s" % (relative, number, value, numbers[value]))
    return faults


CONTRACT = '''#pragma once
#define HOST_CLASS_NAME "TheHost32WClass" // the host's window
#define BROWSER_PROGRAM "Browser.exe"
enum { BROWSER_FIELD = 1010, FEED_PORT = 1360 };
#define FEED_REQUEST_PREFIX "REQ,"
#define FEED_REQUEST_FORMAT FEED_REQUEST_PREFIX "%s^%s\\r\\n"
#define PAGE_FORMAT "http://%s:%d/%s"
'''


SELF_TEST_CASES = [
    ("links/link_menu.cpp", 'HWND host = FindWindowA("TheHost32WClass", 0);\n', True),
    ("companions/launcher/window.h", '#define LAUNCHER_CLASS "thehost32wclass"\n', True),
    ("tests/app/end_to_end_test.cpp", 'std::string line = folder + "Browser.exe";\n', True),
    ("app/products.rc", 'VALUE "OriginalFilename", "Browser.exe"\n', True),
    ("feed/feed_fetch.cpp", 'FormatText(b, n, "REQ,%s^%s\\r\\n", id, key);\n', True),
    ("links/link_address.cpp", 'FormatText(b, n, "http://%s:%d/%s", a, 1, p);\n', True),
    ("companions/browser/window.h", "enum { IDC_FIELD = 1010 };\n", True),
    ("tests/support/server.cpp", "at.sin_port = htons(1360);\n", True),
    ("tests/browser/test.cpp", "SendDlgItemMessageA(w, 1010, WM_SETTEXT, 0, 0);\n", True),
    ("common/other.h", "enum { PORT = 1360 };\n", True),
    ("tests/server/socket_test.cpp", 'Exchange("REQ,demo^demo\\r\\n");\n', False),
    ("tests/links/address_test.cpp", 'EXPECT_STREQ("http://127.0.0.1:1360/p^a^b", url);\n', False),
    ("links/link_menu.cpp", "// posts command 1010 to the browser\n/* port 1360 */\n", False),
    ("companions/category/table.cpp", "{ 13600, \"Kids\" }, { 1010.5, \"x\" },\n", False),
    ("tests/links/menu_test.cpp", 'Expect("browser command 1010 0");\n', False),
    ("links/link_menu.cpp", 'HWND h = FindWindowA(HOST_CLASS_NAME, 0); // not "TheHost32WClass"\n', False),
    ("build/generated/copy.cpp", 'const char c[] = "TheHost32WClass";\n', False),
    ("tests/server/log_test.cpp", 'std::regex r(R"(\\d "x \\S+)"); Find("TheHost32WClass");\n', True),
    ("companions/feed-server/bench/load_table.py", "import os\nPORT = 1360\n", True),
    ("tests/server/fleet_test.py", '"""The feed on port 1360."""\nPORT = read("FEED_PORT")  # 1360\n', False),
]


if __name__ == "__main__":
    sys.exit(checker.main(__doc__, check, SELF_TEST_CASES, [(HEADER, CONTRACT)], 'contract', 'written once'))
