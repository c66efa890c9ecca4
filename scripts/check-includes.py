#!/usr/bin/env python3
"""Holds the rooms of src/ to their order: a file includes only its own room and rooms below it,
the front ends include no other front end, and no two units (a header with its source) include
each other, directly or through others. Prints each fault and exits 1 when there is one."""
import os
import re
import sys

# From the ground up; a room may include those before it.
ORDER = ["foundation", "settings", "codecs", "audio", "loudness", "tags", "planning", "run",
         "filelist", "extensions", "report", "library", "session",
         # Above the core: the room that links QtGui for pictures, which the front ends install.
         "pictures"]
FRONT_ENDS = ["ui", "batch", "probe"]
# main() of the window, above the window's room.
TOP = ["app"]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def rank(room):
    if room in ORDER:
        return ORDER.index(room)
    if room in FRONT_ENDS:
        return len(ORDER)
    if room in TOP:
        return len(ORDER) + 1
    return None


def units(src):
    """Maps each unit ("run/core") to the units its header and source include."""
    graph = {}
    for room in sorted(os.listdir(src)):
        folder = os.path.join(src, room)
        if not os.path.isdir(folder):
            continue
        for name in sorted(os.listdir(folder)):
            stem, ext = os.path.splitext(name)
            if ext not in (".h", ".cpp"):
                continue
            unit = f"{room}/{stem}"
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                for target in INCLUDE.findall(f.read()):
                    if "/" in target and os.path.exists(os.path.join(src, target)):
                        graph.setdefault(unit, set()).add(os.path.splitext(target)[0])
            graph.setdefault(unit, set())
    return graph


def room_faults(graph):
    faults = []
    for unit, targets in sorted(graph.items()):
        room = unit.split("/")[0]
        if rank(room) is None:
            faults.append(f"{unit}: room '{room}' is not in the order")
            continue
        for target in sorted(targets):
            other = target.split("/")[0]
            if other == room or rank(other) is None:
                continue
            if rank(other) > rank(room) or (room in FRONT_ENDS and other in FRONT_ENDS):
                faults.append(f"{unit} includes {target}: '{other}' is not below '{room}'")
    return faults


def circles(graph):
    """Each circle once, found by a depth-first walk."""
    found, state, stack = [], {}, []

    def walk(unit):
        state[unit] = "open"
        stack.append(unit)
        for target in sorted(graph.get(unit, ())):
            if target == unit:
                continue
            if state.get(target) == "open":
                found.append(stack[stack.index(target):] + [target])
            elif target not in state:
                walk(target)
        stack.pop()
        state[unit] = "done"

    for unit in sorted(graph):
        if unit not in state:
            walk(unit)
    return [" -> ".join(c) + ": a circle" for c in found]


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    graph = units(src)
    faults = room_faults(graph) + circles(graph)
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print(f"includes: {len(graph)} units in {len(ORDER) + len(FRONT_ENDS) + len(TOP)} rooms, none upward, no circle")
    return 0


if __name__ == "__main__":
    sys.exit(main())
