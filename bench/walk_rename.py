#!/usr/bin/env python3
"""The plain way: os.walk and os.rename, for comparison with versalo-cli.

Renames every entry below FOLDER (not FOLDER itself) to lower case, skipping dot-names, with the
walk following the folders under their new names. Unlike versalo-cli, os.rename replaces an
entry that already has the new name: this is a yardstick for speed, not a safe tool.

Usage: walk_rename.py FOLDER
"""
import os
import sys


def main() -> int:
    if len(sys.argv) != 2:
        print("Aufruf: walk_rename.py ORDNER", file=sys.stderr)
        return 2
    for folder, subfolders, files in os.walk(sys.argv[1]):
        for name in files:
            if not name.startswith("."):
                lower = name.lower()
                if lower != name:
                    os.rename(os.path.join(folder, name), os.path.join(folder, lower))
        kept = []
        for name in subfolders:
            if name.startswith("."):
                continue  # neither renamed nor entered
            lower = name.lower()
            if lower != name:
                os.rename(os.path.join(folder, name), os.path.join(folder, lower))
            kept.append(lower)
        subfolders[:] = kept  # os.walk goes on under the new names
    return 0


if __name__ == "__main__":
    sys.exit(main())
