#!/usr/bin/env python3
"""Checks the include graph of the project's code: no cycles between modules (a module is a
header with its source file), and no include that points up the layers.

    check-includes.py [SOURCE_DIR]

Prints each fault and exits 1 when there is one."""
import os
import re
import sys

# Lowest first; a folder may include its own files and those of the folders before it. The
# folders of one row are side by side: neither includes the other.
LAYERS = [
    ["platform"],
    ["platform/qt"],
    ["res"],
    ["filter"],
    ["files"],
    ["engine"],
    ["board", "options", "tools", "plugin"],
    ["app"],
]
CODE_DIRS = [d for row in LAYERS for d in row]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def folder_of(path):
    return os.path.dirname(path)


def rank(folder):
    for i, row in enumerate(LAYERS):
        if folder in row:
            return i
    return None


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    files = []
    for d in CODE_DIRS:
        full = os.path.join(root, d)
        for name in sorted(os.listdir(full)):
            if name.endswith((".h", ".cpp")):
                files.append(f"{d}/{name}")
    faults = []
    graph = {}
    for f in files:
        with open(os.path.join(root, f), encoding="utf-8") as fh:
            text = fh.read()
        module = os.path.splitext(f)[0]
        edges = graph.setdefault(module, set())
        for inc in INCLUDE.findall(text):
            target = os.path.splitext(inc)[0]
            if target == module:
                continue
            src_folder, dst_folder = folder_of(f), folder_of(inc)
            rs, rd = rank(src_folder), rank(dst_folder)
            if rd is None:
                faults.append(f"{f}: includes {inc}, which is outside the project's code")
                continue
            if dst_folder != src_folder and rd >= rs:
                faults.append(f"{f}: includes {inc}, from a layer that is not below {src_folder}")
            edges.add(target)

    # Cycles between modules (Tarjan's strongly connected components).
    index, low, stack, on_stack, sccs = {}, {}, [], set(), []
    counter = [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on_stack.add(v)
        for w in sorted(graph.get(v, ())):
            if w not in graph:
                continue
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            scc = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                scc.append(w)
                if w == v:
                    break
            if len(scc) > 1:
                sccs.append(sorted(scc))

    sys.setrecursionlimit(10000)
    for v in sorted(graph):
        if v not in index:
            visit(v)
    for scc in sccs:
        faults.append("include cycle between " + ", ".join(scc))

    for fault in faults:
        print(fault)
    if faults:
        return 1
    print(f"{len(files)} files in {len(CODE_DIRS)} folders: layers and modules without cycles")
    return 0


if __name__ == "__main__":
    sys.exit(main())
