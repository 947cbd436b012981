#!/usr/bin/env bash
# Fails when a source file includes one from a layer above its own, when the
# core reaches for Qt Widgets, or when includes go round in a circle.
#
#   scripts/check-layers.sh [TREE]      (TREE defaults to this repository)
#
# The layers, lowest first; each may include its own and those listed:
#   core:  exec, store, scan/native  <-  scan  <-  quickhost, serve
#   panel: controls <- desktop <- panel/rows <- panel <- app   (and the core)
#   tools: anything
set -euo pipefail
tree="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
exec python3 - "$tree" <<'PY'
import os
import re
import sys

tree = sys.argv[1]
src = os.path.join(tree, "src")

# Longest prefix first, so src/app/panel/rows is not taken for src/app/panel.
LAYERS = [
    ("app/panel/rows", "rows"),
    ("app/controls", "controls"),
    ("app/desktop", "desktop"),
    ("app/panel", "panel"),
    ("app", "app"),
    ("scan/native", "native"),
    ("scan", "scan"),
    ("exec", "exec"),
    ("store", "store"),
    ("quickhost", "quickhost"),
    ("serve", "serve"),
    ("tools", "tools"),
]
CORE = {"exec", "store", "native", "scan", "quickhost", "serve"}
ALLOWED = {
    "exec": {"exec"},
    "store": {"store"},
    "native": {"native"},
    "scan": {"scan", "native", "exec"},
    "quickhost": {"quickhost", "scan", "native", "exec", "store"},
    "serve": {"serve", "quickhost", "scan", "native", "exec", "store"},
    "controls": {"controls"} | CORE,
    "desktop": {"desktop", "controls"} | CORE,
    "rows": {"rows", "desktop", "controls"} | CORE,
    "panel": {"panel", "rows", "desktop", "controls"} | CORE,
    "app": {"app", "panel", "rows", "desktop", "controls"} | CORE,
    "tools": None,  # anything
}


def layer_of(rel):
    for prefix, name in LAYERS:
        if rel == prefix or rel.startswith(prefix + "/"):
            return name
    return None


def widgets_headers():
    for base in ("/usr/include/x86_64-linux-gnu/qt6", "/usr/include/qt6",
                 "/usr/include/aarch64-linux-gnu/qt6"):
        folder = os.path.join(base, "QtWidgets")
        if os.path.isdir(folder):
            return {name for name in os.listdir(folder) if name.startswith("Q")}
    return {"QWidget", "QApplication", "QMenu", "QLabel", "QAbstractButton", "QDialog",
            "QMessageBox", "QSystemTrayIcon", "QScrollArea", "QLayout", "QFileDialog"}


WIDGETS = widgets_headers() | {"QtWidgets"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)

files = []
for folder, _, names in os.walk(src):
    for name in names:
        if name.endswith((".h", ".cpp", ".hpp", ".cc", ".mm")):
            files.append(os.path.relpath(os.path.join(folder, name), src))
files.sort()
known = set(files)

problems = []
graph = {f: [] for f in files}
for rel in files:
    own = layer_of(rel)
    with open(os.path.join(src, rel), encoding="utf-8", errors="replace") as handle:
        text = handle.read()
    for kind, name in INCLUDE.findall(text):
        line = text[: text.find(name)].count("\n") + 1
        if kind == "<":
            base = name.split("/")[0] if name.startswith("QtWidgets") else name
            if own in CORE and (base in WIDGETS or name.startswith("QtWidgets")):
                problems.append(f"{rel}:{line}: the core includes Qt Widgets <{name}>")
            continue
        beside = os.path.normpath(os.path.join(os.path.dirname(rel), name))
        target = beside if beside in known else (name if name in known else None)
        if target is None:
            continue  # generated (moc, ui) or outside the tree
        graph[rel].append(target)
        allowed = ALLOWED.get(own)
        theirs = layer_of(target)
        if allowed is not None and theirs not in allowed:
            problems.append(f"{rel}:{line}: {own} may not include {target} ({theirs})")

for prefix, name in LAYERS:
    cmake = os.path.join(src, prefix, "CMakeLists.txt")
    if name in CORE and os.path.isfile(cmake):
        with open(cmake, encoding="utf-8") as handle:
            if re.search(r"\bQt6?::Widgets\b|COMPONENTS[^)]*\bWidgets\b", handle.read()):
                problems.append(f"src/{prefix}/CMakeLists.txt: the core links Qt Widgets")

# Cycles: Tarjan's strongly connected components over the include graph.
index, low, stack, on_stack, cycles = {}, {}, [], set(), []
counter = [0]
sys.setrecursionlimit(10000)


def visit(node):
    index[node] = low[node] = counter[0]
    counter[0] += 1
    stack.append(node)
    on_stack.add(node)
    for nxt in graph[node]:
        if nxt not in index:
            visit(nxt)
            low[node] = min(low[node], low[nxt])
        elif nxt in on_stack:
            low[node] = min(low[node], index[nxt])
    if low[node] == index[node]:
        group = []
        while True:
            top = stack.pop()
            on_stack.discard(top)
            group.append(top)
            if top == node:
                break
        if len(group) > 1 or node in graph[node]:
            cycles.append(sorted(group))


for node in files:
    if node not in index:
        visit(node)
for group in cycles:
    problems.append("include cycle: " + " -> ".join(group))

for problem in problems:
    print(problem)
if problems:
    print(f"check-layers: {len(problems)} problem(s)", file=sys.stderr)
    sys.exit(1)
print(f"check-layers: {len(files)} files, layers and includes in order")
PY
