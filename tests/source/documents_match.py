#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The documents say what the programs do: the options of each program's --help against its
manual page and the README, and the placeholders the gallery run replaces against
quillmoor-templates(5), the help page on templates and the README.

Arguments: SOURCE_DIR QUILLMOOR_MAKE [QUILLMOOR]
Without QUILLMOOR (a build without the window) the window's options are not compared.
"""

import html
import os
import re
import subprocess
import sys

OPTION = re.compile(r"(?<![\w-])(--?[a-z][a-z0-9-]*)")
PLACEHOLDER = re.compile(r"<my[a-z]+>")

failures = []


def fail(text):
    failures.append(text)
    print("FAIL: " + text, file=sys.stderr)


def read(path):
    with open(path, encoding="utf-8") as file:
        return file.read()


def help_options(program):
    """The options of a program's --help: the first column of its option lines."""
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY"):
        env.pop(name, None)
    run = subprocess.run([program, "--help"], capture_output=True, text=True, env=env, timeout=60)
    if run.returncode != 0:
        fail(f"{os.path.basename(program)} --help ended with status {run.returncode}")
    options = set()
    for line in run.stdout.splitlines():
        if re.match(r"^ {2,}-", line):
            names = re.split(r" {2,}", line.strip(), maxsplit=1)[0]
            options.update(OPTION.findall(names))
    if not options:
        fail(f"no options found in the --help of {os.path.basename(program)}")
    return options


def man_text(path):
    """A manual page's text with the roff escapes that matter here undone."""
    text = read(path)
    return text.replace("\\-", "-").replace("\\e", "\\").replace('""', '"')


def man_section(text, name):
    match = re.search(r"^\.SH " + re.escape(name) + r"\n(.*?)(?=^\.SH |\Z)", text, re.M | re.S)
    return match.group(1) if match else ""


def man_options(path):
    """The options a manual page lists: the tags of the paragraphs of its OPTIONS section."""
    section = man_section(man_text(path), "OPTIONS")
    options = set()
    lines = section.splitlines()
    for index, line in enumerate(lines):
        if line == ".TP" and index + 1 < len(lines):
            options.update(OPTION.findall(lines[index + 1]))
    return options


def readme_section(readme, heading):
    match = re.search(r"^## " + re.escape(heading) + r"[^\n]*\n(.*?)(?=^## |\Z)", readme, re.M | re.S)
    return match.group(1) if match else ""


def mentions(text, option):
    return re.search(r"(?<![\w-])" + re.escape(option) + r"(?![\w-])", text) is not None


def compare_options(label, program, manual, readme_text, readme_where):
    given = help_options(program)
    listed = man_options(manual)
    page = os.path.basename(manual)
    for option in sorted(given - listed):
        fail(f"{label} --help offers {option}, {page} does not list it")
    for option in sorted(listed - given):
        fail(f"{page} lists {option}, {label} --help does not offer it")
    for option in sorted(given):
        if not mentions(readme_text, option):
            fail(f"{label} --help offers {option}, the README ({readme_where}) does not name it")


def program_placeholders(source_dir):
    """The placeholders the gallery run replaces: the names in its sequences."""
    found = set(re.findall(r'"(<my[a-z]+>)"', read(os.path.join(source_dir, "core", "generator.cpp"))))
    if len(found) < 10:
        fail(f"only {len(found)} placeholders found in the gallery run")
    return found


def compare_placeholders(known, label, text):
    described = set(PLACEHOLDER.findall(text))
    for name in sorted(known - described):
        fail(f"{label} does not describe {name}")
    for name in sorted(described - known):
        fail(f"{label} describes {name}, which no page gets")


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__, file=sys.stderr)
        return 2
    source_dir, make = sys.argv[1], sys.argv[2]
    window = sys.argv[3] if len(sys.argv) == 4 else None
    dist = os.path.join(source_dir, "dist")
    readme = read(os.path.join(source_dir, "README.md"))

    compare_options("quillmoor-make", make, os.path.join(dist, "quillmoor-make.1"),
                    readme_section(readme, "quillmoor-make"), "its section on quillmoor-make")
    if window:
        compare_options("quillmoor", window, os.path.join(dist, "quillmoor.1"), readme, "anywhere")

    known = program_placeholders(source_dir)
    compare_placeholders(known, "quillmoor-templates(5)",
                         man_section(man_text(os.path.join(dist, "quillmoor-templates.5")), "PLACEHOLDERS"))
    manual_page = html.unescape(read(os.path.join(source_dir, "help", "manual", "vorlagen.html")))
    compare_placeholders(known, "the help page vorlagen.html", manual_page)
    compare_placeholders(known, "the README's placeholders",
                         readme_section(readme, "Templates and placeholders"))
    # Nowhere else may a document name a placeholder the run does not replace.
    others = [os.path.join(dist, name) for name in ("quillmoor.1", "quillmoor-make.1")]
    manual_dir = os.path.join(source_dir, "help", "manual")
    others += [os.path.join(manual_dir, name) for name in sorted(os.listdir(manual_dir)) if name.endswith(".html")]
    for path in others:
        text = html.unescape(read(path)) if path.endswith(".html") else man_text(path)
        for name in sorted(set(PLACEHOLDER.findall(text)) - known):
            fail(f"{os.path.basename(path)} names {name}, which no page gets")
    for name in sorted(set(PLACEHOLDER.findall(readme)) - known):
        fail(f"the README names {name}, which no page gets")

    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
