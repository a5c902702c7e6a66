#!/usr/bin/python3
"""Checks the layering of the build from the targets CMake wrote out (tests/house/CMakeLists.txt).

Fails, listing every breach, when
  (a) a core target links Qt Widgets or PrintSupport, directly or through anything it links;
  (b) a file of a target includes a header (under src/) of a target that is neither its own nor one its
      target links, directly or through others: an include pointing up a layer or sideways;
  (c) a file of a core target includes a QtWidgets or QtPrintSupport header.
"""

import argparse
import os
import re
import sys

FORBIDDEN_LINKS = {"Qt6::Widgets", "Qt6::PrintSupport"}

# Breaches that belong to folders other helpers are rewriting, kept here until those land; each entry is
# (file relative to src/, included header relative to src/). The platform folders and common must stay
# clean: no entry may name a file under src/platform/ or src/common/.
ALLOWED_INCLUDES = set()

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
LINK_NAME = re.compile(r"[A-Za-z0-9_]+::[A-Za-z0-9_]+|tavlo[A-Za-z0-9_]*")


def read_graph(path):
    targets = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) != 5:
                continue
            name, kind, folder, sources, links = fields
            names = set()
            for link in filter(None, links.split("|")):
                names.update(LINK_NAME.findall(link))
            files = []
            for source in filter(None, sources.split("|")):
                full = source if os.path.isabs(source) else os.path.join(folder, source)
                files.append(os.path.normpath(full))
            targets[name] = {"kind": kind, "folder": folder, "files": files, "links": names}
    return targets


def closure(targets, name):
    seen = set()
    stack = [name]
    while stack:
        current = stack.pop()
        for link in targets.get(current, {}).get("links", ()):
            if link not in seen:
                seen.add(link)
                stack.append(link)
    return seen


def includes_of(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                m = INCLUDE.match(line)
                if m:
                    yield number, m.group(1), m.group(2)
    except OSError:
        return


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--graph", required=True)
    parser.add_argument("--source", required=True, help="the src/ folder")
    parser.add_argument("--core", required=True, help="comma-separated core targets")
    parser.add_argument("--forbidden-headers", default="", help="comma-separated QtWidgets/QtPrintSupport dirs")
    args = parser.parse_args()

    targets = read_graph(args.graph)
    source_root = os.path.abspath(args.source)
    core = [t for t in args.core.split(",") if t]
    forbidden_dirs = [d for d in args.forbidden_headers.split(",") if d]
    problems = []

    for name in core:
        if name not in targets:
            problems.append(f"core target {name} is not defined")

    # (a) core targets and widgets
    closures = {name: closure(targets, name) for name in targets}
    for name in core:
        bad = sorted(closures.get(name, set()) & FORBIDDEN_LINKS)
        if bad:
            problems.append(f"(a) core target {name} links {', '.join(bad)}")

    # Which target owns each header under src/.
    owners = {}
    for name, target in targets.items():
        for path in target["files"]:
            if path.startswith(source_root + os.sep) and path.endswith(".h"):
                owners.setdefault(path, set()).add(name)

    for name, target in targets.items():
        if target["kind"] == "IMPORTED":
            continue
        allowed = closures[name] | {name}
        is_core = name in core
        for path in target["files"]:
            if not path.endswith((".h", ".cpp")):
                continue
            relative = os.path.relpath(path, source_root) if path.startswith(source_root + os.sep) else path
            for number, kind, header in includes_of(path):
                where = f"{relative}:{number}"
                # (c) widgets headers in core files
                if is_core and kind == "<":
                    base = header.split("/")[-1]
                    prefixed = header.split("/")[0] in ("QtWidgets", "QtPrintSupport")
                    if prefixed or any(os.path.exists(os.path.join(d, base)) for d in forbidden_dirs):
                        problems.append(f"(c) {where}: core target {name} includes <{header}>")
                    continue
                if kind != '"':
                    continue
                # (b) headers of targets out of reach
                local = os.path.normpath(os.path.join(os.path.dirname(path), header))
                resolved = local if os.path.exists(local) else os.path.normpath(os.path.join(source_root, header))
                header_owners = owners.get(resolved)
                if not header_owners or header_owners & allowed:
                    continue
                pair = (relative, os.path.relpath(resolved, source_root))
                if pair in ALLOWED_INCLUDES:
                    continue
                problems.append(f"(b) {where}: {name} includes \"{header}\" of {', '.join(sorted(header_owners))},"
                                f" which {name} does not link")

    for entry in ALLOWED_INCLUDES:
        if entry[0].startswith(("platform/", "common/")):
            problems.append(f"allow-list names {entry[0]}: the platform and common folders must be clean")

    if problems:
        print("House rules broken:")
        for problem in problems:
            print("  " + problem)
        return 1
    checked = sum(len(t["files"]) for t in targets.values())
    print(f"House rules hold: {len(targets)} targets, {checked} files, core: {', '.join(core)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
