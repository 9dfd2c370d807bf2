#!/usr/bin/env python3
"""Fails when the folders of the program include each other in a circle, when a file outside
app/ includes the main window's header, or when a folder includes one of a layer above its own
(LAYERS, lowest first; a folder not named there is held only to the circle rule). Prints the folders lowest first when all is well.

A folder is one node (src/app/state apart from src/app); an include is resolved as the compiler
does: beside the file, then from src/, then from src/app/, engine/ and src/lens/. The engine and
the lenses sit at the bottom: they include nothing of ours outside their own folder."""
import os
import re
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
SEARCH = ["src", "src/app", "engine", "src/lens"]
BOTTOM = ("engine", "src/lens")
MAIN_FORM = "src/app/frms_RS_GRAPH_1.h"
LAYERS = [
    ["engine", "src/lens"],
    ["src/toolkit"],
    ["src/app/state"],
    ["src/channels", "src/graph", "src/dialogs", "src/storage", "src/serial", "src/print"],
    ["src/send"],
    ["src/app"],
]
LAYER_OF = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def sources():
    for top in ("engine", "src"):
        for folder, _, names in os.walk(os.path.join(ROOT, top)):
            for name in names:
                if name.endswith((".h", ".cpp")):
                    yield os.path.relpath(os.path.join(folder, name), ROOT)


def resolve(path, included):
    for base in [os.path.dirname(path)] + SEARCH:
        candidate = os.path.normpath(os.path.join(base, included))
        if os.path.isfile(os.path.join(ROOT, candidate)):
            return candidate
    return None


def main():
    edges = {}  # folder -> {included folder: first file that shows it}
    faults = []
    for path in sources():
        folder = os.path.dirname(path)
        edges.setdefault(folder, {})
        with open(os.path.join(ROOT, path), encoding="utf-8") as f:
            text = f.read()
        for included in INCLUDE.findall(text):
            target = resolve(path, included)
            if target is None:
                continue
            if target == MAIN_FORM and not folder.startswith("src/app"):
                faults.append(f"{path} includes the main window's header")
            other = os.path.dirname(target)
            if folder in BOTTOM and other != folder:
                faults.append(f"{path} includes {target}, above its layer")
            if LAYER_OF.get(other, -1) > LAYER_OF.get(folder, len(LAYERS)):
                faults.append(f"{path} includes {target}, a layer above its own")
            if other != folder:
                edges[folder].setdefault(other, f"{path} -> {target}")

    # Depth-first search; a grey folder met again closes a circle.
    order, state, stack = [], {}, []

    def visit(folder):
        state[folder] = "grey"
        stack.append(folder)
        for other in sorted(edges.get(folder, {})):
            if state.get(other) == "grey":
                circle = stack[stack.index(other):] + [other]
                steps = [edges[a][b] for a, b in zip(circle, circle[1:])]
                faults.append("include circle: " + " -> ".join(circle) + "\n    " +
                              "\n    ".join(steps))
            elif other not in state:
                visit(other)
        stack.pop()
        state[folder] = "black"
        order.append(folder)

    for folder in sorted(edges):
        if folder not in state:
            visit(folder)
    if faults:
        print("\n".join(faults), file=sys.stderr)
        return 1
    print("includes run one way: " + " <- ".join(order))
    return 0


if __name__ == "__main__":
    sys.exit(main())
