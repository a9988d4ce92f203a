"""The Python of tools/ (the commands) and service/ (the reference service) uses nothing of the
test side: no module of tests/ or bench/ is imported, and no folder of theirs is put on sys.path.
The test side may use them."""
import ast
import os
import sys
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
LOWER = ("tools", "service")  # what must not reach up
UPPER = ("tests", "bench")  # the test side


def python_files(folder):
    for top, folders, files in os.walk(folder):
        folders[:] = sorted(f for f in folders if f != "__pycache__")
        for name in sorted(files):
            if name.endswith(".py"):
                yield os.path.join(top, name)


def module_names(folders):
    """The names by which the Python files of these folders can be imported."""
    return {os.path.splitext(os.path.basename(path))[0] for folder in folders for path in python_files(folder)}


def imported(tree):
    """(line, top-level module name) of every import statement."""
    for node in ast.walk(tree):
        if isinstance(node, ast.Import):
            for alias in node.names:
                yield node.lineno, alias.name.split(".")[0]
        elif isinstance(node, ast.ImportFrom) and node.level == 0 and node.module:
            yield node.lineno, node.module.split(".")[0]


def path_changes(tree):
    """(line, the string constants) of every change of sys.path: a call of one of its methods or an
    assignment to it or to a slice of it."""
    def is_sys_path(node):
        return (isinstance(node, ast.Attribute) and node.attr == "path" and isinstance(node.value, ast.Name)
                and node.value.id == "sys")

    for node in ast.walk(tree):
        target = None
        if isinstance(node, ast.Call) and isinstance(node.func, ast.Attribute) and is_sys_path(node.func.value):
            target = node
        elif isinstance(node, (ast.Assign, ast.AugAssign)):
            targets = node.targets if isinstance(node, ast.Assign) else [node.target]
            if any(is_sys_path(t) or (isinstance(t, ast.Subscript) and is_sys_path(t.value)) for t in targets):
                target = node
        if target is not None:
            yield node.lineno, [c.value for c in ast.walk(target)
                                if isinstance(c, ast.Constant) and isinstance(c.value, str)]


def reaches_up(source, upper_modules, lower_modules):
    """The faults of one file's source: imports of test-side modules, sys.path changes to their folders."""
    tree = ast.parse(source)
    faults = ["line %d imports %s" % (line, name) for line, name in imported(tree)
              if name in upper_modules and name not in lower_modules]
    for line, strings in path_changes(tree):
        parts = {part for s in strings for part in s.replace("\\", "/").split("/")}
        if parts & set(UPPER):
            faults.append("line %d puts a folder of %s on sys.path" % (line, " or ".join(sorted(parts & set(UPPER)))))
    return sorted(faults, key=lambda fault: int(fault.split()[1]))


class PythonLayersTest(unittest.TestCase):
    def test_tools_and_service_use_nothing_of_the_tests_or_the_benchmarks(self):
        upper = module_names(os.path.join(ROOT, f) for f in UPPER)
        lower = module_names(os.path.join(ROOT, f) for f in LOWER)
        faults = []
        for folder in LOWER:
            for path in python_files(os.path.join(ROOT, folder)):
                with open(path, encoding="utf-8") as f:
                    for fault in reaches_up(f.read(), upper, lower):
                        faults.append("%s: %s" % (os.path.relpath(path, ROOT), fault))
        self.assertEqual(faults, [])

    def test_the_check_sees_an_import_and_a_path_of_the_test_side(self):
        upper, lower = {"lullcast_e2e", "winetest"}, {"service_app"}
        source = ("import os, sys\n"
                  "sys.path.insert(0, os.path.join(HERE, '..', 'tests', 'e2e'))\n"
                  "sys.path[:0] = ['../bench']\n"
                  "import service_app\n"
                  "from lullcast_e2e import Driver\n"
                  "def f():\n"
                  "    import winetest.sub\n")
        self.assertEqual(reaches_up(source, upper, lower),
                         ["line 2 puts a folder of tests on sys.path", "line 3 puts a folder of bench on sys.path",
                          "line 5 imports lullcast_e2e", "line 7 imports winetest"])
        self.assertEqual(reaches_up("import service_app\nsys.path.append(SERVICE)\n", upper, lower), [])


if __name__ == "__main__":
    sys.exit(unittest.main())
