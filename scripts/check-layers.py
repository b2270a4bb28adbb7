#!/usr/bin/env python3
"""Checks the program's include structure: folders only use folders below them, and no unit
(a header with its source file) includes itself again through others. Prints each fault and exits
non-zero when there is one; `--graph` also prints which folder uses which."""
import collections
import pathlib
import re
import sys

# Bottom to top: each folder may include itself and the folders before it.
LAYERS = ["base", "store", "render", "grid", "print", "formats", "dialogs", "app", "convert"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def units(root):
    """Maps each unit ("grid/grid_model") to the units it includes."""
    sources = [p for layer in LAYERS for p in (root / layer).glob("*") if p.suffix in (".h", ".cpp")]
    known = {p.relative_to(root).as_posix() for p in sources}
    uses = collections.defaultdict(set)
    for path in sources:
        name = path.relative_to(root).as_posix()
        for included in INCLUDE.findall(path.read_text(encoding="latin-1")):
            if included not in known:
                included = f"{name.rsplit('/', 1)[0]}/{included}"
            if included in known and included.rsplit(".", 1)[0] != name.rsplit(".", 1)[0]:
                uses[name.rsplit(".", 1)[0]].add(included.rsplit(".", 1)[0])
    return uses


def cycles(uses):
    """Strongly connected groups of more than one unit (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(unit):
        index[unit] = low[unit] = len(index)
        stack.append(unit)
        on_stack.add(unit)
        for other in sorted(uses.get(unit, ())):
            if other not in index:
                visit(other)
                low[unit] = min(low[unit], low[other])
            elif other in on_stack:
                low[unit] = min(low[unit], index[other])
        if low[unit] == index[unit]:
            group = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.append(member)
                if member == unit:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    for unit in sorted(uses):
        if unit not in index:
            visit(unit)
    return found


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    uses = units(root)
    faults = []
    folder_uses = collections.defaultdict(set)
    for unit, included in sorted(uses.items()):
        layer = unit.split("/")[0]
        for other in sorted(included):
            other_layer = other.split("/")[0]
            folder_uses[layer].add(other_layer)
            if LAYERS.index(other_layer) > LAYERS.index(layer):
                faults.append(f"{unit} uses {other}, which is above it")
    faults += ["include cycle: " + " -> ".join(group) for group in cycles(uses)]
    if "--graph" in sys.argv:
        for layer in LAYERS:
            print(f"{layer}: {' '.join(sorted(folder_uses[layer] - {layer}))}")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
