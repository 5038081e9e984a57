#!/usr/bin/env python3
"""Checks the folder plan of src/ without building anything.

Usage: scripts/layout-check.py [--root DIR]     (DIR defaults to the checkout this script is in)

Rules, one line each ("ok" or "FAIL"), exit status 1 when one breaks:
- targets:  each folder under src/ is one CMake target of its own CMakeLists.txt, which lists
            every C++ file of the folder, and src/CMakeLists.txt adds the folder;
- includes: includes only go down: app -> desktop -> core; cli -> core; testing -> core;
            keyring -> core;
            inside the core platform -> model -> settings -> registrar -> run -> faces, each
            subfolder including only itself and those before it;
- gui:      Qt Widgets and Qt Gui headers only in src/desktop and src/app/main.cpp (the core,
            the server runner and the testing library link Qt Core and Network alone);
- app:      src/app holds main.cpp and nothing else.

A new folder under src/ or src/core has to be given its place here first, so that nobody
adds a layer without deciding where it sits.
"""
import argparse
import glob
import os
import re
import subprocess
import sys

CXX = (".h", ".hpp", ".cpp", ".cc")
# Inside the core, each subfolder may include itself and the ones before it.
CORE_ORDER = ["platform", "model", "settings", "registrar", "run", "faces"]
# What each top-level folder may include besides itself.
TOP_BELOW = {
    "core": set(),
    "desktop": {"core"},
    "app": {"desktop", "core"},
    "cli": {"core"},
    "testing": {"core"},
    # The keyring plugin: the core's Keyring over the system's Secret Service, loaded at
    # run time by both faces, so nothing includes it.
    "keyring": {"core"},
}
GUI_FOLDERS = {"desktop"}
GUI_FILES = {"app/main.cpp"}
INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]*([<"])([^>"]+)[>"]', re.M)
TARGET = re.compile(r"\b(?:qt_)?add_(?:library|executable|plugin)\s*\(\s*([^\s)]+)([^)]*)\)", re.S)
# Files a target gets after its creation (a Qt plugin is created without them).
SOURCES = re.compile(r"\btarget_sources\s*\(\s*([^\s)]+)([^)]*)\)", re.S)
# Used when no Qt headers are installed to read the module's header names from.
FALLBACK_GUI = {"QWidget", "QApplication", "QGuiApplication", "QMainWindow", "QDialog",
                "QMessageBox", "QLabel", "QPushButton", "QLineEdit", "QCheckBox", "QColor",
                "QFont", "QIcon", "QImage", "QPainter", "QPixmap", "QKeyEvent", "QClipboard"}


def strip_comments(text):
    text = re.sub(r"/\*.*?\*/", lambda m: "\n" * m.group(0).count("\n"), text, flags=re.S)
    return re.sub(r"//[^\n]*", "", text)


def source_files(root):
    """C++ files under src/, relative to src/: the tracked ones in a git checkout."""
    r = subprocess.run(["git", "-C", root, "ls-files", "-z", "--", "src"], capture_output=True)
    if r.returncode == 0 and r.stdout:
        paths = [p for p in r.stdout.decode().split("\0") if p]
    else:
        paths = [os.path.relpath(os.path.join(d, f), root)
                 for d, _, fs in os.walk(os.path.join(root, "src")) for f in fs]
    return sorted(p[len("src/"):] for p in paths
                  if p.endswith(CXX) and os.path.isfile(os.path.join(root, p)))


def layer(path):
    """The folder a file belongs to: a top-level folder of src/, or core/<subfolder>."""
    parts = path.split("/")
    if len(parts) == 1:
        return "(src)"
    if parts[0] == "core":
        return "core/" + parts[1] if len(parts) > 2 else "core"
    return parts[0]


def may_include(a, b):
    if a == b:
        return True
    top_a, top_b = a.split("/")[0], b.split("/")[0]
    if top_a == "core" and top_b == "core":
        sub_a, sub_b = a.partition("/")[2], b.partition("/")[2]
        return (sub_a in CORE_ORDER and sub_b in CORE_ORDER
                and CORE_ORDER.index(sub_b) <= CORE_ORDER.index(sub_a))
    return top_b in TOP_BELOW.get(top_a, set())


def unplaced(files):
    """Folders the plan does not know."""
    out = set()
    for f in files:
        name = layer(f)
        top = name.split("/")[0]
        if top not in TOP_BELOW or (top == "core" and name.partition("/")[2] not in CORE_ORDER):
            out.add(name)
    return sorted(out)


def resolve(root, includer, name, quoted, files):
    """The file under src/ an include names (relative to src/), or None for anything else."""
    candidates = []
    if quoted:
        candidates.append(os.path.normpath(os.path.join(os.path.dirname(includer), name)))
    candidates.append(os.path.normpath(name))
    for c in candidates:
        if c in files:
            return c
    return None


def check_targets(root, files):
    problems = []
    tops = sorted({f.split("/")[0] for f in files if "/" in f})
    src_lists = os.path.join(root, "src", "CMakeLists.txt")
    added = set()
    if os.path.isfile(src_lists):
        with open(src_lists, encoding="utf-8") as fh:
            added = set(re.findall(r"add_subdirectory\(\s*([^\s)]+)", strip_cmake(fh.read())))
    for top in tops:
        mine = sorted(f for f in files if f.startswith(top + "/"))
        lists = os.path.join(root, "src", top, "CMakeLists.txt")
        if not os.path.isfile(lists):
            problems.append(f"src/{top} has no CMakeLists.txt")
            continue
        if top not in added:
            problems.append(f"src/CMakeLists.txt does not add src/{top}")
        with open(lists, encoding="utf-8") as fh:
            text = strip_cmake(fh.read())
        owners = {}
        targets = {name for name, _ in TARGET.findall(text)}
        for target, args in TARGET.findall(text) + [
                (name, args) for name, args in SOURCES.findall(text) if name in targets]:
            listed = set()
            for token in args.split():
                if not token.endswith(CXX):
                    continue
                if token.startswith("${PROJECT_SOURCE_DIR}/"):
                    path = os.path.normpath(token[len("${PROJECT_SOURCE_DIR}/"):])
                else:
                    token = token.replace("${CMAKE_CURRENT_SOURCE_DIR}/", "")
                    path = os.path.normpath(f"src/{top}/{token}")
                if path.startswith(f"src/{top}/"):
                    listed.add(path[len("src/"):])
            if listed:
                owners.setdefault(target, set()).update(listed)
        if len(owners) != 1:
            problems.append(f"src/{top} builds {len(owners)} targets from its files"
                            + (f" ({', '.join(sorted(owners))})" if owners else ""))
            continue
        (target, listed), = owners.items()
        missing = [f for f in mine if f not in listed]
        if missing:
            problems.append(f"{target} does not list src/{missing[0]}"
                            + (f" (+{len(missing) - 1})" if len(missing) > 1 else ""))
    if problems:
        return False, "; ".join(problems)
    return True, f"{len(tops)} folders, one target each, every file listed"


def strip_cmake(text):
    return re.sub(r"#[^\n]*", "", text)


def gui_headers():
    """Header names only Qt Gui and Qt Widgets ship (QWidget, qcolor.h ...), not those they
    share with the modules the core may use."""
    roots = glob.glob("/usr/include/*/qt6") + glob.glob("/usr/include/qt6")
    gui, others = set(), set()
    for qt in roots:
        for module in os.listdir(qt):
            path = os.path.join(qt, module)
            if not os.path.isdir(path):
                continue
            if module in ("QtGui", "QtWidgets"):
                gui.update(os.listdir(path))
            elif module in ("QtCore", "QtNetwork", "QtDBus", "QtTest"):
                others.update(os.listdir(path))
    found = gui - others
    return found if len(found) > 50 else FALLBACK_GUI


def check(root):
    files = source_files(root)
    if not files:
        return [("files", False, "no C++ files under src/")]
    results = [("targets", *check_targets(root, files))]

    stray = unplaced(files)
    if stray:
        results.append(("includes", False, "folders without a place in the plan: "
                        + ", ".join(f"src/{s}" for s in stray)
                        + " (give them one in scripts/layout-check.py)"))
    headers = gui_headers()
    upward, gui = [], []
    fileset = set(files)
    for f in files:
        with open(os.path.join(root, "src", f), encoding="utf-8", errors="replace") as fh:
            text = strip_comments(fh.read())
        for kind, name in INCLUDE.findall(text):
            target = resolve(root, f, name, kind == '"', fileset)
            if target is not None:
                if not may_include(layer(f), layer(target)):
                    upward.append(f"src/{f} includes {name} ({layer(f)} -> {layer(target)})")
                continue
            module, _, base = name.rpartition("/")
            is_gui = module in ("QtGui", "QtWidgets") or (module in ("", "QtGui", "QtWidgets")
                                                           and base in headers)
            if is_gui and f.split("/")[0] not in GUI_FOLDERS and f not in GUI_FILES:
                gui.append(f"src/{f} <{name}>")
    if not stray:
        results.append(("includes", not upward, "; ".join(upward) if upward else
                        "every include goes down: " + " -> ".join(f"core/{c}" for c in CORE_ORDER)
                        + "; app -> desktop -> core; cli -> core; testing -> core; keyring -> core"))
    results.append(("gui", not gui, "Qt Gui or Widgets headers outside src/desktop: " + "; ".join(gui)
                    if gui else "Qt Gui and Widgets headers only in src/desktop and src/app/main.cpp"))
    app = [f for f in files if f.startswith("app/") and f != "app/main.cpp"]
    results.append(("app", not app, "src/app holds more than main.cpp: " + ", ".join(app)
                    if app else "src/app holds main.cpp alone"))
    return results


def main():
    parser = argparse.ArgumentParser(description="Checks the folder plan of src/.")
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    args = parser.parse_args()
    results = check(args.root)
    for name, good, text in results:
        print(f"{'ok  ' if good else 'FAIL'} {name}: {text}")
    broken = [name for name, good, _ in results if not good]
    if broken:
        print(f"layout: {len(broken)} rule(s) broken: {', '.join(broken)}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
