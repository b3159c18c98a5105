#!/usr/bin/env python3
"""Checks that includes follow the layers and the link graph.

Reads the target graph CMake writes at configure time (velka_targets.txt in
the build folder) and every source and header of the tree. Fails when

  - a file includes a header of a library that sits in a higher layer,
  - a library's file includes a header of a library it does not link
    directly (programs and tests: not in their whole link closure),
  - a library links one of ours whose headers none of its files include,
  - a file of a target that does not link Qt includes a Qt header,
  - a file of a library below the user interface (NO_UI) includes a header
    that shows boxes or reaches the user-interface host or the windows, or
    calls a box function: those libraries return errors and questions as
    values (shell/error.h) and their callers in the user interface tell
    the user.

Usage: check_includes.py [BUILD_DIR] [--pretend FILE:HEADER ...]
                         [--pretend-code FILE:TEXT ...]
--pretend adds an include to a file, --pretend-code a line of code, before
checking (to show that the check catches it).
"""
import argparse
import os
import re
import sys

# Layers from the bottom; a file may include headers of its own layer or
# lower ones. Targets not named here (programs, tests, fuzzers, benchmarks)
# sit on top.
LAYERS = [
    ["velka_platform", "velka_platform_qt"],
    ["velka_geometry"],
    ["velka_shell"],
    ["velka_mapdata", "velka_gps", "velka_tracks", "velka_waypoints"],
    ["velka_routing", "velka_search", "velka_gauges"],
    ["velka_mapview", "velka_waypoints_ui", "velka_routepage", "velka_search_ui"],
    ["velka_shell_window"],
    ["velka_app", "velka_tools", "velka_mapc"],
]
TOP = len(LAYERS)
RANK = {name: i for i, names in enumerate(LAYERS) for name in names}

# Libraries below the user interface: no boxes, no questions, no windows.
NO_UI = {"velka_geometry", "velka_mapdata", "velka_gps", "velka_tracks", "velka_waypoints"}
# Headers that show boxes, reach the user-interface host, or belong to the
# main window and its pages.
UI_HEADERS = {
    "platform/ui_host.h",
    "shell/message_boxes.h",
    "shell/main_window.h",
    "shell/page.h",
    "shell/page_host.h",
    "shell/window_port.h",
    "shell/window_messages.h",
    "shell/startup.h",
}
# Libraries that are user interface through and through (besides programs):
# every header of theirs counts as a user-interface header.
UI_TARGETS = re.compile(r"velka_platform_qt$|velka_shell_window$|velka_\w+_ui$|velka_app$")
# Header names of the user interface, wherever they live (another file's
# own header excepted).
UI_HEADER_NAME = re.compile(r"(^|/)(qt_[^/]*|[^/]*_ui)\.(h|hpp)$")
# The box functions: every function shell/message_boxes.h declares, and
# these from the host and the worker-thread box queue.
UI_CALLS = {"UiHost", "HeadlessUiHost", "SetUiHost", "MessageBox", "ShowNotice", "ShowPostedErrors"}
BOX_HEADER = "shell/message_boxes.h"
DECLARATION = re.compile(r"^[A-Za-z_][\w:<>,\s&*]*?\b([A-Za-z_]\w*)\s*\(", re.M)
# Comments, string and character literals (raw strings included), so that
# a comment naming a box function is not a call.
NOISE = re.compile(r'//[^\n]*|/\*.*?\*/|\bR"([^(\s]*)\(.*?\)\1"'
                   r'|"(?:\\.|[^"\\\n])*"' r"|'(?:\\.|[^'\\\n])*'", re.S)

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
SOURCE_EXT = (".cpp", ".h", ".c", ".hpp")
SKIP_DIRS = {"build", ".git", "data", "docs", "scripts", "cmake"}


class Target:
    def __init__(self, name, kind, folder, sources, links):
        self.name, self.kind, self.folder = name, kind, folder
        self.sources, self.links = sources, links

    @property
    def is_library(self):
        return self.kind == "STATIC_LIBRARY" and self.name.startswith("velka_")

    @property
    def rank(self):
        return RANK.get(self.name, TOP)


def read_graph(build_dir, root):
    path = os.path.join(build_dir, "velka_targets.txt")
    if not os.path.exists(path):
        sys.exit(f"check_includes: {path} is missing; configure the build first")
    targets = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            parts = line.rstrip("\n").split("|")
            if len(parts) != 5:
                continue
            name, kind, folder, srcs, links = parts
            sources = []
            for s in filter(None, srcs.split(",")):
                if "$<" in s:
                    continue
                p = s if os.path.isabs(s) else os.path.join(folder, s)
                sources.append(os.path.normpath(p))
            targets[name] = Target(name, kind, os.path.normpath(folder), sources,
                                   [l for l in links.split(",") if l])
    return targets


def closure(targets, name, seen=None):
    seen = set() if seen is None else seen
    for dep in targets[name].links:
        if dep in targets and dep not in seen:
            seen.add(dep)
            closure(targets, dep, seen)
    return seen


def links_qt(targets, name):
    names = {name} | closure(targets, name)
    return any(l.startswith("Qt6::") for n in names for l in targets[n].links)


def owners(targets, root, build_dir):
    """Maps every file of the tree (and generated sources) to its target."""
    owner = {}
    for t in targets.values():
        for s in t.sources:
            owner.setdefault(s, t.name)
    # A header without a target of its own belongs to the target of its
    # .cpp, else to the library with the most sources in its folder.
    by_folder = {}
    for t in targets.values():
        if not t.is_library:
            continue
        for s in t.sources:
            d = os.path.dirname(s)
            by_folder.setdefault(d, {}).setdefault(t.name, 0)
            by_folder[d][t.name] += 1
    files = []
    for base, dirs, names in os.walk(root):
        rel = os.path.relpath(base, root)
        if rel.split(os.sep)[0] in SKIP_DIRS:
            dirs[:] = []
            continue
        dirs[:] = [d for d in dirs if not d.startswith(".")]
        files += [os.path.join(base, n) for n in names if n.endswith(SOURCE_EXT)]
    for f in files:
        if f in owner:
            continue
        stem = os.path.splitext(f)[0]
        for ext in (".cpp", ".c"):
            if stem + ext in owner:
                owner[f] = owner[stem + ext]
                break
        else:
            counts = by_folder.get(os.path.dirname(f))
            if counts:
                owner[f] = max(sorted(counts), key=lambda n: counts[n])
    return owner, files


def resolve(header, root, build_dir):
    for base in (root, build_dir, os.path.join(build_dir, "generated")):
        p = os.path.normpath(os.path.join(base, header))
        if os.path.exists(p):
            return p
    return None


def box_functions(root):
    """The names of the box functions: those shell/message_boxes.h declares
    and the host's."""
    names = set(UI_CALLS)
    try:
        with open(os.path.join(root, BOX_HEADER), encoding="utf-8") as fh:
            names |= set(DECLARATION.findall(NOISE.sub(" ", fh.read())))
    except OSError:
        sys.exit(f"check_includes: {BOX_HEADER} is missing")
    return names


def is_ui_header(header, path, rel, owner):
    if header in UI_HEADERS:
        return True
    hname = owner.get(path) if path else None
    if hname and UI_TARGETS.match(hname):
        return True
    own = os.path.splitext(os.path.basename(rel))[0] == os.path.splitext(os.path.basename(header))[0]
    return bool(UI_HEADER_NAME.search(header)) and not own


def ui_problems(rel, tname, includes, text, owner, root, build_dir, box_calls):
    """What a file of a library below the user interface does that belongs
    to the user interface."""
    problems = []
    for kind, header in includes:
        if kind == "<":
            if re.match(r"Q[A-Za-z]+$", header) or header.startswith("Qt"):
                problems.append(f"{rel}: includes <{header}>, a user-interface header, "
                                f"but {tname} is below the user interface")
            continue
        if is_ui_header(header, resolve(header, root, build_dir), rel, owner):
            problems.append(f"{rel}: includes \"{header}\", a user-interface header, "
                            f"but {tname} is below the user interface")
    code = NOISE.sub(" ", text)
    for name in sorted(box_calls):
        if re.search(r"\b" + name + r"\s*\(", code):
            problems.append(f"{rel}: calls {name}, a box function, but {tname} is below the user "
                            f"interface (return the error or the question as a value)")
    return problems


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build_dir", nargs="?", default="build/release")
    ap.add_argument("--pretend", action="append", default=[], metavar="FILE:HEADER")
    ap.add_argument("--pretend-code", action="append", default=[], metavar="FILE:TEXT")
    args = ap.parse_args()
    root = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    build_dir = os.path.normpath(os.path.join(root, args.build_dir)) \
        if not os.path.isabs(args.build_dir) else args.build_dir
    targets = read_graph(build_dir, root)
    owner, files = owners(targets, root, build_dir)
    extra = {}
    for p in args.pretend:
        f, h = p.split(":", 1)
        kind = "<" if h.startswith("<") else '"'
        extra.setdefault(os.path.normpath(os.path.join(root, f)), []).append((kind, h.strip("<>")))
    extra_code = {}
    for p in args.pretend_code:
        f, code = p.split(":", 1)
        extra_code.setdefault(os.path.normpath(os.path.join(root, f)), []).append(code)
    box_calls = box_functions(root)

    errors = []
    used = {name: set() for name in targets}  # libraries whose headers a target includes
    for f in sorted(set(files) | set(extra) | set(extra_code)):
        tname = owner.get(f)
        if tname is None:
            continue
        t = targets[tname]
        try:
            with open(f, encoding="utf-8", errors="replace") as fh:
                text = fh.read()
        except OSError:
            continue
        includes = INCLUDE.findall(text) + extra.get(f, [])
        rel = os.path.relpath(f, root)
        if tname in NO_UI:
            text += "\n" + "\n".join(extra_code.get(f, []))
            errors += ui_problems(rel, tname, includes, text, owner, root, build_dir, box_calls)
        direct = set(t.links)
        allowed = direct if t.is_library else closure(targets, tname)
        for kind, header in includes:
            if kind == "<":
                if re.match(r"Q[A-Za-z]+$", header) or header.startswith(("QtCore/", "QtGui/", "QtWidgets/")):
                    if not links_qt(targets, tname):
                        errors.append(f"{rel}: includes <{header}> but {tname} does not link Qt")
                continue
            path = resolve(header, root, build_dir)
            if path is None:
                continue
            hname = owner.get(path)
            if hname is None or hname == tname:
                continue
            used[tname].add(hname)
            h = targets[hname]
            if h.rank > t.rank:
                errors.append(f"{rel}: includes \"{header}\" of {hname}, a higher layer than {tname}")
            elif hname not in allowed:
                how = "link" if t.is_library else "depend on"
                errors.append(f"{rel}: includes \"{header}\" of {hname}, which {tname} does not {how}")
    for t in targets.values():
        if not t.is_library:
            continue
        for dep in t.links:
            if dep in targets and targets[dep].is_library and dep not in used[t.name]:
                errors.append(f"{t.name} links {dep} but includes none of its headers")
    for e in errors:
        print(e, file=sys.stderr)
    if errors:
        print(f"check_includes: {len(errors)} problem(s)", file=sys.stderr)
        return 1
    print(f"check_includes: {sum(1 for f in files if f in owner)} files in {len(targets)} targets follow the layers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
