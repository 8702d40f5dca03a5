#!/usr/bin/env python3
"""Turns categories.txt into the C++ table of Vn_Category.dll, refusing the file if any rule is broken.

Usage: gen_category_table.py CATEGORIES_TXT OUTPUT_CPP
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from table_writing import c_string, write_if_complete  # noqa: E402

# Longest full name in code page 1252 characters; kCategoryFullNameMax in category_lookup.h matches it.
FULL_NAME_MAX = 127
ID_MAX = 2**31 - 1
SEPARATOR = " > "


def parse_categories(text, source):
    """Returns ([(id, name)] in file order, [error messages]) for the text of a categories file."""
    records = []
    errors = []
    line_of_id = {}
    line_of_name = {}
    for number, raw in enumerate(text.splitlines(), start=1):
        line = raw.rstrip()
        where = "%s:%d" % (source, number)
        if not line or line.lstrip().startswith("#"):
            continue
        if line.count("|") != 1:
            errors.append("%s: expected exactly one '|' between id and name" % where)
            continue
        id_text, name = line.split("|")
        if not id_text.isascii() or not id_text.isdigit() or (len(id_text) > 1 and id_text[0] == "0"):
            errors.append("%s: id %r is not a decimal number without sign or leading zeros" % (where, id_text))
            continue
        category_id = int(id_text)
        if category_id < 1 or category_id > ID_MAX:
            errors.append("%s: id %d is outside 1..%d" % (where, category_id, ID_MAX))
            continue
        problem = check_name(name)
        if problem:
            errors.append("%s: %s" % (where, problem))
            continue
        if category_id in line_of_id:
            errors.append("%s: id %d already used on line %d" % (where, category_id, line_of_id[category_id]))
            continue
        if name in line_of_name:
            errors.append("%s: name %r already used on line %d" % (where, name, line_of_name[name]))
            continue
        line_of_id[category_id] = number
        line_of_name[name] = number
        records.append((category_id, name))

    for category_id, name in records:
        parts = name.split(SEPARATOR)
        for depth in range(1, len(parts)):
            parent = SEPARATOR.join(parts[:depth])
            if parent not in line_of_name:
                errors.append("%s:%d: parent %r of %r has no line of its own"
                              % (source, line_of_name[name], parent, name))
    if not records and not errors:
        errors.append("%s: no categories" % source)
    return records, errors


def check_name(name):
    """Returns what is wrong with a full name, or None."""
    if not name:
        return "empty name"
    for part in name.split(SEPARATOR):
        if not part:
            return "empty part in %r" % name
        if part != part.strip():
            return "space at the start or end of part %r in %r" % (part, name)
        if ">" in part:
            return "'>' inside part %r of %r (parts are separated by ' > ')" % (part, name)
    if any(ord(c) < 0x20 or ord(c) == 0x7F for c in name):
        return "control character in %r" % name
    try:
        encoded = name.encode("cp1252")
    except UnicodeEncodeError:
        return "%r has characters outside code page 1252" % name
    if len(encoded) > FULL_NAME_MAX:
        return "%r is %d characters, more than %d" % (name, len(encoded), FULL_NAME_MAX)
    return None


def render_table(records, source_name):
    lines = [
        "// Generated at build time from %s by gen_category_table.py: edit the data file, not this." % source_name,
        '#include "companions/category/category_table.h"',
        "",
        "const CategoryRecord kCategories[] = {",
    ]
    for category_id, name in records:
        lines.append("    {%d, %s}," % (category_id, c_string(name)))
    lines += [
        "};",
        "const int kCategoryCount = %d;" % len(records),
        "static_assert(sizeof(kCategories) / sizeof(kCategories[0]) == %d, \"category count\");" % len(records),
        "",
        "const int kCategoryOrdinalsById[] = {",
    ]
    by_id = sorted(range(len(records)), key=lambda ordinal: records[ordinal][0])
    for start in range(0, len(by_id), 16):
        lines.append("    " + ", ".join(str(ordinal) for ordinal in by_id[start:start + 16]) + ",")
    lines += ["};", ""]
    return "\n".join(lines)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: gen_category_table.py CATEGORIES_TXT OUTPUT_CPP\n")
        return 2
    source, output = argv[1], argv[2]
    name = os.path.basename(source)
    try:
        with open(source, "rb") as data:
            text = data.read().decode("utf-8-sig")
    except OSError as error:
        sys.stderr.write("%s: cannot read: %s\n" % (source, error.strerror))
        return 1
    except UnicodeDecodeError as error:
        sys.stderr.write("%s: not UTF-8 (byte %d)\n" % (source, error.start))
        return 1
    records, errors = parse_categories(text, name)
    if errors:
        for message in errors:
            sys.stderr.write("error: %s\n" % message)
        sys.stderr.write("%s refused: %d error(s), no table written\n" % (name, len(errors)))
        return 1
    write_if_complete(output, render_table(records, name))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
