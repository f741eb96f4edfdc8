#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the program's sources for what the compiler cannot see.

  layers   a file includes only headers of its own layer or a lower one (platform < core <
           help < ui < app, and platform < core < cli), and Qt only in help, ui and app;
  circles  no two units (a .h/.cpp pair) include each other, directly or around a circle;
  sizes    no function longer than 60 lines, no file longer than 400 lines.

Usage: check_structure.py SOURCE-TREE [layers|circles|sizes ...] (all three when none is named).
Prints each finding and exits 1 when there is one. The lists KNOWN_CIRCLES, KNOWN_LONG_FUNCTIONS and
KNOWN_LONG_FILES name what is being reworked and is reported but tolerated for now.
"""

import re
import sys
from pathlib import Path

PROGRAM_FOLDERS = ("platform", "core", "help", "ui", "app", "cli")
# The folders each layer may include from.
MAY_INCLUDE = {
    "platform": {"platform"},
    "core": {"platform", "core"},
    "help": {"platform", "core", "help"},
    "ui": {"platform", "core", "help", "ui"},
    "app": {"platform", "core", "help", "ui", "app"},
    "cli": {"platform", "core", "cli"},
}
QT_LAYERS = {"help", "ui", "app"}
MAX_FUNCTION_LINES = 60
MAX_FILE_LINES = 400

# Known include circles, tolerated until their rework is merged; each entry is one include
# (unit, included unit) that closes a circle. Empty these lists once they are gone.
KNOWN_CIRCLES = []
# Known long functions ("file:name") and files, tolerated until their split is merged.
KNOWN_LONG_FUNCTIONS = []
KNOWN_LONG_FILES = []

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
QT_HEADER = re.compile(r"^Q[A-Za-z]*(/|$)")


def program_files(root):
    for folder in PROGRAM_FOLDERS:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix in (".h", ".cpp") and path.is_file():
                yield path


def local_includes(root, path):
    """The program headers `path` includes, as paths relative to the tree."""
    for kind, name in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
        if kind != '"':
            continue
        beside = path.parent / name
        target = beside if beside.exists() else root / name
        if target.exists():
            yield target.resolve().relative_to(root.resolve()).as_posix()


def check_layers(root):
    findings = []
    for path in program_files(root):
        rel = path.relative_to(root).as_posix()
        layer = rel.split("/")[0]
        for included in local_includes(root, path):
            if included.split("/")[0] not in MAY_INCLUDE[layer]:
                findings.append(f"{rel}: includes {included}, a header of a higher layer")
        if layer not in QT_LAYERS:
            for kind, name in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
                if kind == "<" and QT_HEADER.match(name):
                    findings.append(f"{rel}: includes <{name}>; Qt belongs in help/, ui/ and app/ only")
    return findings


def include_graph(root):
    """unit -> set of units it includes (a unit is a path without .h/.cpp)."""
    graph = {}
    for path in program_files(root):
        unit = path.relative_to(root).with_suffix("").as_posix()
        edges = graph.setdefault(unit, set())
        for included in local_includes(root, path):
            other = str(Path(included).with_suffix("").as_posix())
            if other != unit:
                edges.add(other)
    return graph


def strongly_connected(graph):
    """Tarjan's algorithm, iteratively; the components with more than one unit."""
    index, low, on_stack, stack, result, counter = {}, {}, set(), [], [], [0]
    for start in sorted(graph):
        if start in index:
            continue
        work = [(start, iter(sorted(graph.get(start, ()))))]
        index[start] = low[start] = counter[0]
        counter[0] += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            child = next(children, None)
            if child is None:
                work.pop()
                if work:
                    low[work[-1][0]] = min(low[work[-1][0]], low[node])
                if low[node] == index[node]:
                    component = []
                    while True:
                        member = stack.pop()
                        on_stack.discard(member)
                        component.append(member)
                        if member == node:
                            break
                    if len(component) > 1:
                        result.append(sorted(component))
            elif child not in index:
                index[child] = low[child] = counter[0]
                counter[0] += 1
                stack.append(child)
                on_stack.add(child)
                work.append((child, iter(sorted(graph.get(child, ())))))
            elif child in on_stack:
                low[node] = min(low[node], index[child])
    return result


def check_circles(root):
    graph = include_graph(root)
    findings, notes = [], []
    for unit, included in KNOWN_CIRCLES:
        if included in graph.get(unit, set()):
            graph[unit].discard(included)
            notes.append(f"known circle (tolerated for now): {unit} includes {included}")
        else:
            notes.append(f"known circle gone, remove it from KNOWN_CIRCLES: {unit} -> {included}")
    for component in strongly_connected(graph):
        findings.append("units include each other: " + ", ".join(component))
    return findings, notes


def blank_out(text):
    """The text with comments, strings, character literals and preprocessor lines replaced by blanks
    (newlines kept)."""
    pattern = re.compile(r'^[ \t]*#(?:\\\n|[^\n])*|//[^\n]*|/\*.*?\*/|R"([^(]*)\(.*?\)\1"|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S | re.M)
    return pattern.sub(lambda m: re.sub(r"[^\n]", " ", m.group(0)), text)


CONTROL = re.compile(r"^\s*(if|for|while|switch|catch|do|else|return|namespace|class|struct|union|enum)\b")
INIT_LIST = re.compile(r"\)\s*(noexcept\s*)?:(?!:)")


def functions(text):
    """(name, first line, line count) of each function defined at namespace or class scope."""
    code = blank_out(text)
    found, scopes, head_start, i = [], [], 0, 0
    while i < len(code):
        c = code[i]
        if c in ";":
            head_start = i + 1
        elif c == "}":
            kind, start, name = scopes.pop() if scopes else ("other", 0, "")
            if kind == "function":
                first = code.count("\n", 0, start) + 1
                found.append((name, first, code.count("\n", 0, i) + 2 - first))
            head_start = i + 1
        elif c == "{":
            head = code[head_start:i]
            outer = all(kind in ("namespace", "class") for kind, _, _ in scopes)
            before = head.rstrip()[-1:] if head.strip() else ""
            if outer and "(" in head and "=" not in head.split("(")[0] and not CONTROL.match(head):
                if head.count("(") > head.count(")") or (INIT_LIST.search(head) and (before.isalnum() or before in "_>")):
                    # Braces within the head: a default argument's or a member's initialiser in a
                    # constructor's initialiser list.
                    depth, i = 1, i + 1
                    while depth and i < len(code):
                        depth += {"{": 1, "}": -1}.get(code[i], 0)
                        i += 1
                    continue
                stripped = head.lstrip()
                start = head_start + len(head) - len(stripped)
                name = re.findall(r"([~\w:]+)\s*\(", head.split("(")[0] + "(")
                scopes.append(("function", start, name[-1] if name else "?"))
            elif re.match(r"^\s*(namespace|extern)\b", head) or not head.strip():
                scopes.append(("namespace" if head.strip() else "other", 0, ""))
            elif re.search(r"\b(class|struct|union|enum)\b", head) and "(" not in head:
                scopes.append(("class", 0, ""))
            else:
                scopes.append(("other", 0, ""))
            head_start = i + 1
        i += 1
    return found


def check_sizes(root):
    findings, notes = [], []
    for path in program_files(root):
        rel = path.relative_to(root).as_posix()
        text = path.read_text(encoding="utf-8", errors="replace")
        lines = text.count("\n")
        if lines > MAX_FILE_LINES:
            message = f"{rel}: {lines} lines (at most {MAX_FILE_LINES})"
            (notes if rel in KNOWN_LONG_FILES else findings).append(message)
        for name, first, count in functions(text):
            if count > MAX_FUNCTION_LINES:
                message = f"{rel}:{first}: {name} is {count} lines long (at most {MAX_FUNCTION_LINES})"
                (notes if f"{rel}:{name}" in KNOWN_LONG_FUNCTIONS else findings).append(message)
    return findings, notes


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    root = Path(argv[1])
    wanted = argv[2:] or ["layers", "circles", "sizes"]
    findings, notes = [], []
    for check in wanted:
        if check == "layers":
            findings += check_layers(root)
        elif check in ("circles", "sizes"):
            more, known = (check_circles if check == "circles" else check_sizes)(root)
            findings += more
            notes += known
        else:
            print(f"unknown check: {check}")
            return 2
    for line in notes:
        print("note: " + line)
    for line in findings:
        print("FAIL: " + line)
    print(f"{' and '.join(wanted)}: {len(findings)} finding(s)")
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
