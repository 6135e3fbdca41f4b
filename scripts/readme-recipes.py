#!/usr/bin/env python3
"""The README shows each installer recipe from its file: a line
<!-- file: PATH --> followed by a fenced block holding the file as it stands.

  python3 scripts/readme-recipes.py --check   fails when a block and its file differ,
                                              or a recipe is not shown
  python3 scripts/readme-recipes.py --write   fills every block from its file
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BLOCK = re.compile(r"(<!-- file: (?P<path>\S+) -->\n```(?P<lang>\w*)\n)(?P<body>.*?)(```\n)", re.S)


def text_of(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        return f.read().replace("\r\n", "\n")


def main():
    if len(sys.argv) != 2 or sys.argv[1] not in ("--check", "--write"):
        sys.exit(__doc__)
    readme_path = os.path.join(ROOT, "README.md")
    with open(readme_path, encoding="utf-8") as f:
        readme = f.read()
    shown = set()
    stale = []

    def fill(match):
        path = match.group("path")
        shown.add(path)
        body = text_of(path)
        if match.group("body") != body:
            stale.append(path)
        return match.group(1) + body + match.group(5)

    filled = BLOCK.sub(fill, readme)
    recipes = {os.path.relpath(os.path.join(top, name), ROOT)
               for top, _, names in os.walk(os.path.join(ROOT, "installers")) for name in names}
    missing = sorted(recipes - shown)
    if sys.argv[1] == "--write":
        with open(readme_path, "w", encoding="utf-8") as f:
            f.write(filled)
        stale = []
    for path in stale:
        print("README.md shows an old copy of %s: python3 scripts/readme-recipes.py --write" % path)
    for path in missing:
        print("README.md does not show %s" % path)
    if stale or missing:
        sys.exit(1)
    print("README.md shows every recipe as its file stands (%d files)" % len(shown))


if __name__ == "__main__":
    main()
