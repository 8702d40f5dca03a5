# C++ string literals and safe writing for the companions' generated tables.
"""Shared by the table generators of the lookup libraries."""

import os


def c_string(text):
    """A C++ string literal of text in code page 1252; octal escapes are always three digits, so they
    never run into the characters that follow."""
    out = []
    for byte in text.encode("cp1252"):
        ch = chr(byte)
        if ch in "\\\"":
            out.append("\\" + ch)
        elif 0x20 <= byte < 0x7F and ch != "?":  # '?' escaped so no trigraph can form
            out.append(ch)
        else:
            out.append("\\%03o" % byte)
    return '"' + "".join(out) + '"'


def write_if_complete(path, text):
    """Writes through a temporary file, so a failed run never leaves half a table for the compiler."""
    directory = os.path.dirname(path)
    if directory:
        os.makedirs(directory, exist_ok=True)
    temporary = path + ".tmp"
    with open(temporary, "w", encoding="ascii", newline="\n") as out:
        out.write(text)
    os.replace(temporary, path)
