#!/usr/bin/env python3
"""Checks the bundled command icons: the resource file, the table of
commandicons.h and the SVG files agree, every icon is a 24 x 24 SVG that
parses, no two commands share an icon file or a theme name, and every
objectName in the table is one the window uses.

Usage: check_icons.py SOURCE_DIR"""
import hashlib
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

root = pathlib.Path(sys.argv[1])
resources = root / "resources"
faults = []

qrc = ET.parse(resources / "icons.qrc").getroot()
listed = [f.text for f in qrc.iter("file")]
for name in listed:
    if not (resources / name).is_file():
        faults.append(f"icons.qrc lists a missing file: {name}")
toolbar = sorted(f"icons/toolbar/{p.name}" for p in (resources / "icons/toolbar").glob("*.svg"))
for name in toolbar:
    if name not in listed:
        faults.append(f"icons.qrc does not list {name}")

header = (resources / "icons/commandicons.h").read_text()
table = re.findall(r'\{"([A-Za-z0-9]+)", "([a-z0-9-]*)", ":/([^"]+)"\}', header)
if len(table) < 20:
    faults.append(f"commandicons.h: only {len(table)} entries read")
names = [t[0] for t in table]
themes = [t[1] for t in table if t[1]]
files = [t[2] for t in table]
for kind, values in (("objectName", names), ("theme name", themes), ("bundled file", files)):
    for value in sorted(set(values)):
        if values.count(value) > 1:
            faults.append(f"commandicons.h: {kind} {value} used {values.count(value)} times")
for f in files:
    if f not in listed:
        faults.append(f"commandicons.h names {f}, which icons.qrc does not bundle")
for name in toolbar:
    if name not in files:
        faults.append(f"{name} is bundled but no command uses it")

# The window's commands: the command table, and the widgets src/gui names itself.
gui = "".join(p.read_text(errors="replace") for p in (root / "src/gui").rglob("*.cpp"))
commands = set(re.findall(r"X\(([A-Za-z0-9]+)\)", (root / "src/core/shell/commands.h").read_text()))
for name in names:
    if name not in commands and f'"{name}"' not in gui:
        faults.append(f"commandicons.h: no command, action or tool button named {name}")

digests = {}
for name in toolbar:
    path = resources / name
    try:
        svg = ET.parse(path).getroot()
    except ET.ParseError as error:
        faults.append(f"{name}: {error}")
        continue
    if svg.tag != "{http://www.w3.org/2000/svg}svg" or svg.get("viewBox") != "0 0 24 24":
        faults.append(f"{name}: not a 24 x 24 SVG")
    digest = hashlib.sha256(path.read_bytes()).hexdigest()
    if digest in digests:
        faults.append(f"{name} is the same picture as {digests[digest]}")
    digests[digest] = name

for fault in faults:
    print(fault)
print(f"{len(toolbar)} icons, {len(table)} commands: {'ok' if not faults else f'{len(faults)} faults'}")
sys.exit(1 if faults else 0)
