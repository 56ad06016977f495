#!/usr/bin/env python3
"""Checks that the includes of src/ follow the one-way order of the layers:

    ui, cli -> jobs -> detect -> media -> device

A file may include its own layer and the layers below it, never one above
nor a sibling front end; only src/ui includes Qt; nothing under src/ includes
a header from outside src/ (tools/ and tests/ serve tests and benchmarks).

Usage: scripts/check-layers.py [SOURCE_DIR]   (exit status 1 on a violation)
"""
import pathlib
import re
import sys

# Each layer and the layers it may include besides its own.
ALLOWED = {
    "device": set(),
    "media": {"device"},
    "detect": {"media", "device"},
    "jobs": {"detect", "media", "device"},
    "cli": {"jobs", "detect", "media", "device"},
    "ui": {"jobs", "detect", "media", "device"},
}
QUOTED = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
ANGLED = re.compile(r"^\s*#\s*include\s*<(Q[A-Za-z]*|Qt[A-Za-z]*/[^>]*)>")


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
    src = root / "src"
    problems = []
    count = 0
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        layer = path.relative_to(src).parts[0]
        if layer not in ALLOWED:
            problems.append(f"{path.relative_to(root)}: folder src/{layer} is in no layer")
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            where = f"{path.relative_to(root)}:{number}"
            quoted = QUOTED.match(line)
            if quoted:
                count += 1
                target = quoted.group(1)
                if (path.parent / target).is_file():
                    continue  # beside the file itself
                if (src / (target + ".in")).is_file():
                    continue  # configured by the build from src/ (build information)
                if not (src / target).is_file():
                    problems.append(f"{where}: includes {target}, which is not under src/")
                    continue
                used = pathlib.PurePosixPath(target).parts[0]
                if used != layer and used not in ALLOWED[layer]:
                    problems.append(f"{where}: {layer} includes {target} ({used} is above it)")
            elif layer != "ui" and ANGLED.match(line):
                problems.append(f"{where}: {layer} includes a Qt header")
    for problem in problems:
        print(problem)
    print(f"{count} includes checked, {len(problems)} against the layer order")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
