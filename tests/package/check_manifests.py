#!/usr/bin/env python3
"""Checks the application manifest of each program in a folder, read through the system's resource
functions under Wine: every program runs as invoker and names Windows 7 to 11; the windowed ones are
DPI-unaware with GDI scaling; the companions take Common Controls 6 and the viewer does not.

usage: check_manifests.py WINE_RUN MANIFEST_DUMP_EXE FOLDER   (FOLDER as the Windows programs see it)
       check_manifests.py --pe FOLDER    (the same checks, the manifests read from the files with a PE reader)
"""
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
DPI_2005 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
DPI_2017 = "{http://schemas.microsoft.com/SMI/2017/WindowsSettings}"
# The ids Windows gives its versions in manifests: 7, 8, 8.1, and 10 (which 11 shares).
WINDOWS_7_TO_11 = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}


def contract_name(macro):
    """A program's file name as common/contract.h gives it, the one place it is written."""
    header = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "common", "contract.h")
    with open(header) as text:
        return re.search(r'#\s*define\s+%s\s+"([^"]+)"' % macro, text.read()).group(1)


# program: (windowed, takes Common Controls 6)
PROGRAMS = {
    contract_name("VIEWER_PROGRAM"): (True, False),
    contract_name("BROWSER_PROGRAM"): (True, True),
    "Vn_Launcher.exe": (True, True),
    "feed-server.exe": (False, False),
}


def faults_of(name, text, windowed, common_controls):
    faults = []
    try:
        root = ElementTree.fromstring(text)
    except ElementTree.ParseError as error:
        return ["%s: the manifest is not well-formed XML: %s" % (name, error)]
    levels = [e.get("level") for e in root.iter(ASM_V3 + "requestedExecutionLevel")]
    if levels != ["asInvoker"]:
        faults.append("%s: execution level %s, not asInvoker" % (name, levels))
    systems = {e.get("Id") for e in root.iter(COMPATIBILITY + "supportedOS")}
    if systems != WINDOWS_7_TO_11:
        faults.append("%s: supported systems %s, not Windows 7 to 11" % (name, sorted(systems)))
    aware = [e.text for e in root.iter(DPI_2005 + "dpiAware")]
    scaling = [e.text for e in root.iter(DPI_2017 + "gdiScaling")]
    if windowed and (aware != ["false"] or scaling != ["true"]):
        faults.append("%s: dpiAware %s and gdiScaling %s, not DPI-unaware with GDI scaling" % (name, aware, scaling))
    controls = [e.get("version") for e in root.iter(ASM_V1 + "assemblyIdentity")
                if e.get("name") == "Microsoft.Windows.Common-Controls"]
    if common_controls and controls != ["6.0.0.0"]:
        faults.append("%s: Common Controls %s, not 6.0.0.0" % (name, controls))
    if not common_controls and controls:
        faults.append("%s: takes Common Controls %s, which it must not" % (name, controls))
    return faults


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--pe":
        from pe_resources import manifest_of
        manifests = {name: manifest_of(os.path.join(sys.argv[2], name)) or "" for name in PROGRAMS}
    elif len(sys.argv) == 4:
        manifests = manifests_from_wine(*sys.argv[1:])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    faults = []
    for name, (windowed, common_controls) in PROGRAMS.items():
        text = manifests.get(name, "").strip().strip("\0")
        if not text or text == "(no manifest)":
            faults.append("%s: no manifest" % name)
        else:
            faults += faults_of(name, text, windowed, common_controls)
    for fault in faults:
        print("FAIL: " + fault)
    if not faults:
        print("ok: the manifests of %s" % ", ".join(PROGRAMS))
    return 1 if faults else 0


def manifests_from_wine(wine_run, dump, folder):
    separator = "" if folder.endswith(("\\", "/")) else "\\"
    files = [folder + separator + name for name in PROGRAMS]
    run = subprocess.run([wine_run, dump] + files, capture_output=True, text=True, errors="replace")
    manifests = {}
    current = None
    for line in run.stdout.splitlines(keepends=True):
        if line.startswith("== "):
            current = line[3:].strip().replace("/", "\\").split("\\")[-1]
            manifests[current] = ""
        elif current is not None:
            manifests[current] += line
    return manifests


if __name__ == "__main__":
    sys.exit(main())
