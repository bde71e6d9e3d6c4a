#!/usr/bin/env python3
"""Checks that the source folders include one another only downwards.

Floors, lowest first; the rooms of one floor include none of each other. Prints every include
that points up or sideways and exits 1 when there is one.
Usage: scripts/check_floors.py [SRC_FOLDER]
"""
import pathlib
import re
import sys

FLOORS = [
    ["platform"],
    ["store"],
    ["card"],
    ["workbook"],
    ["import", "export", "editor", "merge"],
    ["commands", "sync"],
    ["carddav"],
    ["shell", "cli"],
]
FLOOR_OF = {room: level for level, rooms in enumerate(FLOORS) for room in rooms}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"', re.MULTILINE)


def faults(src: pathlib.Path):
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".in") or not path.is_file():
            continue
        room = path.relative_to(src).parts[0]
        if room not in FLOOR_OF:
            yield f"{path}: folder {room} has no floor"
            continue
        for match in INCLUDE.finditer(path.read_text(encoding="utf-8")):
            target = match.group(1)
            if target == room:
                continue
            if target not in FLOOR_OF:
                yield f"{path}: includes {match.group(0).strip()}, a folder with no floor"
            elif FLOOR_OF[target] >= FLOOR_OF[room]:
                way = "sideways" if FLOOR_OF[target] == FLOOR_OF[room] else "up"
                yield f"{path}: includes {target}/ {way} ({match.group(0).strip()})"


def main():
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src")
    found = list(faults(src))
    for fault in found:
        print(fault)
    if found:
        print(f"check_floors: {len(found)} includes against the floors")
        return 1
    print("check_floors: every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
