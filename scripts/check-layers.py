#!/usr/bin/env python3
"""Checks that every folder of src/ uses only the folders its row of LAYERS names.

"Uses" means an #include "folder/..." in a source file, or an orbalen_* library on the
folder's link line (its CMakeLists.txt). Qt headers are allowed only in the folders marked
so. The table is the one README.md shows; `--markdown` prints it in README's form.

    scripts/check-layers.py [--markdown] [ROOT]

Exits 1, naming file:line for each use that breaks the table.
"""
import os
import re
import sys

# folder: (what it holds, folders it may use, may include Qt), top to bottom. A folder always
# uses itself; app/panel counts as app. platform/qt is apart from platform: only the folders
# naming it may use Qt through it.
LAYERS = {
    "app": ("the program: `main()`, the Qt front ends, the dialogs; `panel/` its panel item and "
            "menu over D-Bus",
            ["prefpane", "controller", "mail", "log", "platform/qt", "platform", "base"], True),
    "prefpane": ("the preferences window: its logic, its sounds (libcanberra), its Qt Widgets view",
                 ["controller", "mail", "netinfo", "settings", "platform", "base"], True),
    "controller": ("the status item controller: start-up, refresh cycle, title, external "
                   "monitor, menu",
                   ["mail", "netinfo", "log", "settings", "transfer", "platform", "base"], False),
    "tools": ("`orbalenstatus-defaults`, `orbalenstatus-query`",
              ["settings", "platform/qt", "platform", "base"], True),
    "mail": ("the SMTP notification sender and the client it drives",
             ["netinfo", "log", "settings", "transfer", "platform", "base"], False),
    "netinfo": ("interface addresses and their changes, page fetch, wireless name, secret store",
                ["log", "transfer", "platform", "base"], False),
    "transfer": ("the one owner of libcurl handles and its global set-up; URL parts", [], False),
    "log": ("the event log (file + system journal)", ["settings", "platform", "base"], False),
    "settings": ("the settings store, the settings table, the reading rules, the change "
                 "notification", ["platform", "base"], False),
    "platform/qt": ("the Qt implementations: run loop, session-bus notifications, alerts",
                    ["platform", "base"], True),
    "platform": ("interfaces standing in for desktop services, with Linux implementations",
                 ["base"], False),
    "base": ("small utilities every layer shares: `UniqueFd`, UTF-8 checks, control characters, "
             "conversions, the value string `CString256` with its pooled lists", [], False),
    "kept": ("routines kept complete and tested that no program path calls; not linked into "
             "the program", ["settings", "platform", "base"], False),
}

INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]')
LIBRARY = re.compile(r"\borbalen_(\w+)")
# Libraries that are not folders of their own.
LIBRARY_FOLDERS = {"platform_qt": "platform/qt", "platform_qtwidgets": "platform/qt",
                   "prefpane_qt": "prefpane"}
NOT_LAYERS = {"warnings"}


def folder_of(path):
    """The table row a path below src/ (or an include path) belongs to, or None."""
    parts = path.split("/")
    if len(parts) > 2 and "/".join(parts[:2]) in LAYERS:
        return "/".join(parts[:2])
    return parts[0] if parts[0] in LAYERS and len(parts) > 1 else None


def allowed(folder, used):
    return used == folder or used in LAYERS[folder][1]


def include_faults(root, rel, folder):
    faults = []
    with open(os.path.join(root, "src", rel), encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            name = match.group(1)
            if re.match(r"Q[A-Za-z]*(/|$)", name) and not LAYERS[folder][2]:
                faults.append(f"src/{rel}:{number}: {folder} includes Qt <{name}>")
            used = folder_of(name) if '"' in line else None
            if used is not None and not allowed(folder, used):
                faults.append(f"src/{rel}:{number}: {folder} includes {name} ({used})")
    return faults


def link_faults(root, rel, folder):
    faults = []
    with open(os.path.join(root, "src", rel), encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            if line.lstrip().startswith("#"):
                continue
            for name in LIBRARY.findall(line):
                used = LIBRARY_FOLDERS.get(name, name)
                if used in NOT_LAYERS or used not in LAYERS:
                    continue
                if not allowed(folder, used):
                    faults.append(f"src/{rel}:{number}: {folder} links orbalen_{name} ({used})")
    return faults


def check(root):
    faults = []
    src = os.path.join(root, "src")
    for directory, _, files in os.walk(src):
        for name in sorted(files):
            rel = os.path.relpath(os.path.join(directory, name), src)
            folder = folder_of(rel)
            if folder is None:
                continue
            if name.endswith((".cpp", ".h")):
                faults += include_faults(root, rel, folder)
            elif name == "CMakeLists.txt":
                faults += link_faults(root, rel, folder)
    return faults


def markdown():
    lines = ["| folder | what it holds | uses |", "|---|---|---|"]
    for folder, (holds, uses, _) in LAYERS.items():
        used = ", ".join(uses) if uses else "nothing of ours"
        lines.append(f"| `src/{folder}/` | {holds} | {used} |")
    return "\n".join(lines)


def main(argv):
    if "--markdown" in argv:
        print(markdown())
        return 0
    paths = [a for a in argv[1:] if not a.startswith("--")]
    root = paths[0] if paths else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    faults = check(root)
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} use(s) break the layer table in scripts/check-layers.py")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
