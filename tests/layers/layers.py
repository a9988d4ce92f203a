"""The folders of the program are layers: each may use only the folders below it.

Reads every quoted #include of the sources (a path relative to the including file, or to the top
of the tree) and every library and source file that a folder's CMakeLists.txt names from
another folder, and reports each arrow that the table below does not allow. A test folder
(tests/X) may use what its subject X may use, X itself and the tests' shared helpers.

    python3 layers.py [ROOT]   prints the arrows between folders; exit status 1 when one
                               points the wrong way
"""
import os
import re
import sys
from collections import Counter

# What each folder may use besides itself. The order is the layering, top first.
ALLOWED = {
    "app": {"popup", "hook", "res", "fw"},  # start-up, single instance, hook thread, companion
    "popup": {"feeds", "settings", "tray", "hook", "res", "fw"},
    "settings": {"feeds", "res", "fw"},  # the settings store and its dialog
    "tray": {"fw"},
    "feeds": {"fw"},
    "hook": {"res"},  # the hook library's interface and its version resource; no framework
    "res": set(),
    "fw": set(),
}
# Test folders whose subject is not one folder of the program.
TEST_ALLOWED = {
    "driver": {"hook", "fw"},  # plays a desktop for the end-to-end tests, speaking the hook's messages
    "release": set(),  # reads the version resources of the built binaries
}
# Libraries and their folders: X and X_portable belong to X, and so do the hook libraries.
LIBRARY_FOLDER = {"LullcastHook": "hook", "LullcastHook32": "hook"}

SOURCE_SUFFIXES = (".h", ".hpp", ".inc", ".c", ".cpp", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
LINK = re.compile(r"target_link_libraries\s*\(([^)]*)\)", re.S)
SOURCE_PATH = re.compile(r"\$\{CMAKE_SOURCE_DIR\}/([A-Za-z0-9_]+(?:/[A-Za-z0-9_]+)?)/")


def allowed_for(folder):
    """The folders that folder may use, or None when the table has no rule for it."""
    if folder in ALLOWED:
        return ALLOWED[folder] | {folder}
    if folder.startswith("tests/"):
        subject = folder[len("tests/"):]
        if subject in ALLOWED:
            return ALLOWED[subject] | {subject}
        if subject in TEST_ALLOWED:
            return TEST_ALLOWED[subject]
    return None


def may_use(source, target):
    """Whether folder source may use folder target. The tests' folders share their helpers."""
    if target == source or (source.startswith("tests/") and (target == "tests" or target.startswith("tests/"))):
        return True
    return target in allowed_for(source)


def scanned_folders(root):
    folders = [name for name in ALLOWED if os.path.isdir(os.path.join(root, name))]
    tests = os.path.join(root, "tests")
    if os.path.isdir(tests):
        for name in sorted(os.listdir(tests)):
            if os.path.isdir(os.path.join(tests, name)) and allowed_for("tests/" + name) is not None:
                folders.append("tests/" + name)
    return folders


def folder_of(path):
    """The folder a file of the tree (relative to the top) belongs to: tests/X for a test folder."""
    parts = path.replace(os.sep, "/").split("/")
    if parts[0] == "tests":
        return "tests/" + parts[1] if len(parts) > 2 else "tests"
    return parts[0]


def included_folder(root, including, name):
    """The folder a quoted include names, as the compiler finds it (beside the including file
    first, then from the top of the tree), or None for a file outside the tree (generated ones)."""
    for base in (os.path.dirname(including), root):
        candidate = os.path.normpath(os.path.join(base, name))
        if os.path.isfile(candidate):
            relative = os.path.relpath(candidate, root)
            return None if relative.startswith("..") else folder_of(relative)
    first = name.replace("\\", "/").split("/")[0]
    if "/" in name and os.path.isdir(os.path.join(root, first)):
        return folder_of(name)
    return None


def is_layer(folder):
    """Arrows count only to the program's folders and the tests: data and tools are no layers."""
    return folder in ALLOWED or folder == "tests" or folder.startswith("tests/")


def library_folder(name):
    if name in LIBRARY_FOLDER:
        return LIBRARY_FOLDER[name]
    base = name[: -len("_portable")] if name.endswith("_portable") else name
    return base if base in ALLOWED else None


def arrows(root):
    """Counter of (from folder, to folder, kind) over the tree, kind "include" or "cmake"."""
    found = Counter()
    for folder in scanned_folders(root):
        top = os.path.join(root, folder)
        for directory, subdirs, files in os.walk(top):
            subdirs.sort()
            for name in sorted(files):
                path = os.path.join(directory, name)
                if name.endswith(SOURCE_SUFFIXES):
                    with open(path, encoding="utf-8", errors="replace") as source:
                        text = source.read()
                    for include in INCLUDE.findall(text):
                        target = included_folder(root, path, include)
                        if target and target != folder and is_layer(target):
                            found[(folder, target, "include")] += 1
                elif name == "CMakeLists.txt":
                    with open(path, encoding="utf-8", errors="replace") as source:
                        text = re.sub(r"#[^\n]*", "", source.read())
                    for arguments in LINK.findall(text):
                        for library in arguments.split()[1:]:
                            target = library_folder(library)
                            if target and target != folder:
                                found[(folder, target, "cmake")] += 1
                    for used in SOURCE_PATH.findall(text):
                        target = folder_of(used + "/x")
                        if target != folder and is_layer(target):
                            found[(folder, target, "cmake")] += 1
    return found


def violations(found):
    """The arrows that point where the table does not allow, as (from, to, kind, count)."""
    wrong = []
    for (source, target, kind), count in sorted(found.items()):
        if not may_use(source, target):
            wrong.append((source, target, kind, count))
    return wrong


def main(argv):
    root = os.path.abspath(argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), "..", ".."))
    found = arrows(root)
    wrong = violations(found)
    bad = {(source, target, kind) for source, target, kind, _ in wrong}
    for (source, target, kind), count in sorted(found.items()):
        mark = "  NOT ALLOWED" if (source, target, kind) in bad else ""
        print(f"{source:>16} -> {target:<12} {kind:<8} {count:4}{mark}")
    if wrong:
        print(f"{len(wrong)} arrows point where the layers do not allow", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
