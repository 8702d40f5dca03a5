#!/usr/bin/env python3
"""Turns the ISO 4217 list of the iso-codes package (iso_4217.json) into the C++ currency table of
Vn_Countries.dll, sorted by numeric code; refuses malformed input or names that do not fit.

Usage: gen_money_table.py ISO_4217_JSON OUTPUT_CPP

Entries without "numeric" cannot be found by a numeric code and are left out. When several entries
share a numeric code, the first one in the file is kept and the later ones are left out. Both cases
are reported on stderr and do not fail the build.
"""

import json
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from table_writing import c_string, write_if_complete  # noqa: E402

# Longest currency name in code page 1252 characters; kMoneyNameMax in money_lookup.h matches it.
NAME_MAX = 127


def build_records(document):
    """Returns ([(numeric, code, name)] sorted by numeric, [notes]) or raises ValueError."""
    if not isinstance(document, dict) or not isinstance(document.get("4217"), list):
        raise ValueError('top level is not an object with a "4217" list')
    kept = {}
    notes = []
    for index, entry in enumerate(document["4217"]):
        where = "entry %d" % index
        if not isinstance(entry, dict):
            raise ValueError("%s is not an object" % where)
        code = entry.get("alpha_3")
        if not isinstance(code, str) or len(code) != 3 or not code.isascii() or not code.isupper() \
                or not code.isalpha():
            raise ValueError('%s: "alpha_3" %r is not three letters A-Z' % (where, code))
        where = "entry %d (%s)" % (index, code)
        name = entry.get("name")
        if not isinstance(name, str) or not name or name != name.strip():
            raise ValueError('%s: "name" %r is missing, empty or padded' % (where, name))
        if any(ord(c) < 0x20 or ord(c) == 0x7F for c in name):
            raise ValueError('%s: "name" %r holds a control character' % (where, name))
        try:
            encoded = name.encode("cp1252")
        except UnicodeEncodeError:
            raise ValueError('%s: "name" %r has characters outside code page 1252' % (where, name))
        if len(encoded) > NAME_MAX:
            raise ValueError('%s: "name" %r is %d characters, more than %d'
                             % (where, name, len(encoded), NAME_MAX))
        if "numeric" not in entry:
            notes.append('%s has no "numeric": left out' % where)
            continue
        numeric = entry["numeric"]
        if not isinstance(numeric, str) or len(numeric) != 3 or not numeric.isascii() \
                or not numeric.isdigit():
            raise ValueError('%s: "numeric" %r is not three digits' % (where, numeric))
        value = int(numeric, 10)
        if value in kept:
            notes.append("%s repeats numeric %s of %s: left out" % (where, numeric, kept[value][1]))
            continue
        kept[value] = (value, code, name)
    if not kept:
        raise ValueError("no currency has a numeric code")
    return [kept[value] for value in sorted(kept)], notes


def render_table(records, source_name):
    lines = [
        "// Generated at build time from %s by gen_money_table.py: regenerate, do not edit." % source_name,
        '#include "companions/countries/money_table.h"',
        "",
        "const MoneyRecord kMoneyRecords[] = {",
    ]
    for numeric, code, name in records:
        # Decimal without the leading zeros of "036": a C++ literal 036 would be octal.
        lines.append("    {%d, %s, %s}," % (numeric, c_string(code), c_string(name)))
    lines += [
        "};",
        "const int kMoneyRecordCount = %d;" % len(records),
        "static_assert(sizeof(kMoneyRecords) / sizeof(kMoneyRecords[0]) == %d, \"currency count\");"
        % len(records),
        "",
    ]
    return "\n".join(lines)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: gen_money_table.py ISO_4217_JSON OUTPUT_CPP\n")
        return 2
    source, output = argv[1], argv[2]
    try:
        with open(source, "rb") as data:
            document = json.loads(data.read().decode("utf-8"))
        records, notes = build_records(document)
    except OSError as error:
        sys.stderr.write("%s: cannot read: %s\n" % (source, error.strerror))
        return 1
    except (UnicodeDecodeError, ValueError) as error:
        # json.JSONDecodeError is a ValueError too.
        sys.stderr.write("%s refused, no table written: %s\n" % (source, error))
        return 1
    for note in notes:
        sys.stderr.write("%s: %s\n" % (os.path.basename(source), note))
    write_if_complete(output, render_table(records, os.path.basename(source)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
