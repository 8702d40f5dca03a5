"""What the structure checkers share: writing made-up trees for their self-tests, running those cases,
and the command line (ROOT to check a tree, --self-test to show the checker catches what it should)."""
import os
import sys
import tempfile


def write(root, path, text):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "w") as out:
        out.write(text)


def self_test(check, cases, base=()):
    """cases: (path, text, fault expected); base: (path, text) files every made-up tree also holds."""
    failures = 0
    for path, text, fault in cases:
        with tempfile.TemporaryDirectory() as root:
            for base_path, base_text in base:
                write(root, base_path, base_text)
            write(root, path, text)
            found = check(root)
        if bool(found) != fault:
            failures += 1
            print("self-test: %s with %r: %s %s" % (path, text, "missed" if fault else "wrongly reported", found))
    print("%d passed, %d failed" % (len(cases) - failures, failures))
    return failures == 0


def main(doc, check, cases, base, what, kept):
    if sys.argv[1:] == ["--self-test"]:
        return 0 if self_test(check, cases, base) else 1
    if len(sys.argv) != 2:
        print(doc, file=sys.stderr)
        return 2
    faults = check(sys.argv[1])
    for fault in faults:
        print(fault)
    print("%s: %s" % (what, "%d faults" % len(faults) if faults else kept))
    return 1 if faults else 0
