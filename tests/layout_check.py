#!/usr/bin/env python3
"""Checks the layout of estimator/ by role (doc/architecture.md).

    layout_check.py ESTIMATOR-DIR

- Includes run one way: a source includes sources only, a tally sources and
  tallies, a report any of the three; the core and the wiring at the top
  include anything. A test may also include the reports of what it tests,
  to check what its facts become.
- No header includes itself through others (no include circle).
- The core, plomet.cpp, is at most 650 lines; no other module over 900.

Prints each fault and exits 1, or exits 0.
"""
import os
import re
import sys

ROLES = {"sources": 0, "tallies": 1, "reports": 2}
TOP = 3
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def role_of(path):
    first = path.split("/")[0]
    return ROLES.get(first, TOP)


def includes_of(root, path):
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        return [name for name in INCLUDE.findall(f.read())
                if os.path.exists(os.path.join(root, name))]


def find_circle(graph):
    """Returns one include circle as a list of headers, or None."""
    state = {}

    def visit(node, trail):
        state[node] = 1
        for nxt in graph.get(node, ()):
            if state.get(nxt) == 1:
                return trail[trail.index(nxt):] + [nxt] if nxt in trail else [node, nxt]
            if nxt not in state:
                found = visit(nxt, trail + [nxt])
                if found:
                    return found
        state[node] = 2
        return None

    for node in sorted(graph):
        if node not in state:
            found = visit(node, [node])
            if found:
                return found
    return None


def main():
    root = sys.argv[1]
    files = []
    for folder, _, names in os.walk(root):
        for name in names:
            if name.endswith((".cpp", ".h")):
                files.append(os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/"))
    faults = []
    graph = {}
    for path in sorted(files):
        own = role_of(path)
        for name in includes_of(root, path):
            if role_of(name) > own and not path.endswith("_test.cpp"):
                faults.append(f"{path} includes {name}, a role above its own")
            if path.endswith(".h"):
                graph.setdefault(path, []).append(name)
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            lines = sum(1 for _ in f)
        limit = 650 if path == "plomet.cpp" else 900
        if not path.endswith("_test.cpp") and lines > limit:
            faults.append(f"{path} has {lines} lines, more than {limit}")
    circle = find_circle(graph)
    if circle:
        faults.append("include circle: " + " -> ".join(circle))
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
