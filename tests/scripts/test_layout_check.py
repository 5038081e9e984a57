#!/usr/bin/env python3
"""The layout check against small trees, each breaking one rule (python3 -m unittest)."""
import importlib.util
import os
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SPEC = importlib.util.spec_from_file_location(
    "layout_check", os.path.join(HERE, "..", "..", "scripts", "layout-check.py"))
layout = importlib.util.module_from_spec(SPEC)
SPEC.loader.exec_module(layout)

# A tree that keeps every rule: a file per core subfolder, each including the one before.
GOOD = {
    "src/CMakeLists.txt": "add_subdirectory(core)\nadd_subdirectory(cli)\nadd_subdirectory(app)\n"
                          "add_subdirectory(desktop)\n",
    "src/core/CMakeLists.txt": "qt_add_library(drovane_core STATIC\n  platform/A.h model/B.h\n"
                               "  run/C.cpp run/C.h)\n",
    "src/core/platform/A.h": "#include <QString>\n",
    "src/core/model/B.h": '#include "core/platform/A.h"\n',
    "src/core/run/C.h": '#include "core/model/B.h"\n',
    "src/core/run/C.cpp": '#include "C.h"\n// #include "desktop/W.h" in a comment is no include\n',
    "src/cli/CMakeLists.txt": "qt_add_executable(drovane-cli main.cpp)\n",
    "src/cli/main.cpp": '#include "core/run/C.h"\n',
    "src/desktop/CMakeLists.txt": "qt_add_library(drovane_desktop STATIC W.h)\n"
                                  "qt_add_executable(art EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/r/p.cpp)\n",
    "src/desktop/W.h": '#include <QWidget>\n#include "core/run/C.h"\n',
    "src/app/CMakeLists.txt": "qt_add_executable(drovane main.cpp)\n",
    "src/app/main.cpp": '#include <QApplication>\n#include "desktop/W.h"\n',
}


def broken(changes):
    """The rules a copy of GOOD breaks after `changes` (path -> text, None removes)."""
    with tempfile.TemporaryDirectory() as root:
        tree = dict(GOOD)
        tree.update(changes)
        for path, text in tree.items():
            if text is None:
                continue
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            with open(os.path.join(root, path), "w", encoding="utf-8") as fh:
                fh.write(text)
        return [name for name, good, _ in layout.check(root) if not good]


class LayoutCheck(unittest.TestCase):
    def test_each_rule_catches_its_fault(self):
        cases = {
            "a clean tree": ({}, []),
            "platform includes run": ({"src/core/platform/A.h": '#include "core/run/C.h"\n'},
                                      ["includes"]),
            "a sibling include reaching up": ({"src/core/model/B.h": '#include "../run/C.h"\n'},
                                              ["includes"]),
            "cli includes desktop": ({"src/cli/main.cpp": '#include "desktop/W.h"\n'}, ["includes"]),
            "core includes a widget": ({"src/core/run/C.cpp": "#include <QtWidgets/QLabel>\n"}, ["gui"]),
            "cli includes a gui header": ({"src/cli/main.cpp": "#include <QColor>\n"}, ["gui"]),
            "a file its target does not list": ({"src/core/run/D.cpp": "\n"}, ["targets"]),
            "two targets from one folder": ({"src/cli/CMakeLists.txt":
                                             "add_executable(a main.cpp)\nadd_library(b main.cpp)\n"},
                                            ["targets"]),
            "a folder src/ does not add": ({"src/CMakeLists.txt": "add_subdirectory(core)\n"}, ["targets"]),
            "a core folder without a place": ({"src/core/extra/E.h": "\n",
                                               "src/core/CMakeLists.txt": GOOD["src/core/CMakeLists.txt"]
                                               .replace("run/C.h)", "run/C.h extra/E.h)")},
                                              ["includes"]),
            "more than main.cpp in app": ({"src/app/Other.cpp": "\n", "src/app/CMakeLists.txt":
                                           "qt_add_executable(drovane main.cpp Other.cpp)\n"}, ["app"]),
        }
        for name, (changes, expected) in cases.items():
            with self.subTest(name):
                self.assertEqual(broken(changes), expected)


if __name__ == "__main__":
    unittest.main()
