#!/usr/bin/env python3
"""Times two or more builds of versalo-cli --lower against each other and the floor, taking turns,
on the tree of run.py (100,000 files in 1,000 folders) or (--wide) on one folder of a million
files: for choosing between two implementations of one part, where the difference is smaller than
the spread of single runs on a shared machine.

Usage: bench/compare.py [--runs N] [--work DIR] [--wide [COUNT]] NAME=PROGRAM NAME=PROGRAM ...

Each PROGRAM is a versalo-cli built beforehand (for example from two commits, with run.py's build
settings: Release, no window, no tests). The floor and make_wide are built as run.py builds them.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

import run


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--work", default=None, help="folder for the trees (default: a new one in $TMPDIR)")
    parser.add_argument("--wide", type=int, nargs="?", const=1_000_000, default=None, metavar="COUNT")
    parser.add_argument("programs", nargs="+", metavar="NAME=PROGRAM")
    args = parser.parse_args()

    tools = {}
    for given in args.programs:
        name, _, program = given.partition("=")
        tools[name] = lambda tree, program=os.path.abspath(program): [program, "--lower", tree]
    helpers = tempfile.mkdtemp(prefix="versalo-compare-")
    compiler = os.environ.get("CXX", "c++")
    floor, make_wide = os.path.join(helpers, "floor"), os.path.join(helpers, "make_wide")
    for output, source in ((floor, "floor.cpp"), (make_wide, "make_wide.cpp")):
        subprocess.run([compiler, "-std=c++20", "-O2", "-o", output, os.path.join(run.BENCH, source)], check=True)
    tools["floor"] = lambda tree: [floor, tree]

    work = args.work or tempfile.mkdtemp(prefix="versalo-bench-")
    os.makedirs(work, exist_ok=True)
    master = os.path.join(work, "master")
    if args.wide:
        shape = f"{args.wide} files in one folder"

        def fresh_tree(tree):
            subprocess.run([make_wide, tree, str(args.wide)], check=True)
            os.sync()
    else:
        if os.path.exists(master):
            shutil.rmtree(master)
        shape = f"{run.build_master(master)} files in 1000 folders"

        def fresh_tree(tree):
            run.fresh_copy(master, tree)

    names = list(tools)
    results = {name: [] for name in names}
    for round_ in range(args.runs):
        for name in names[round_ % len(names):] + names[:round_ % len(names)]:
            tree = os.path.join(work, "tree")
            subprocess.run(["rm", "-rf", tree], check=True)
            fresh_tree(tree)
            wall, user, system, peak = run.timed(tools[name](tree))
            if run.names_left(tree) != 0:
                sys.exit(f"{name}: names with capitals left")
            results[name].append((wall, user, system, peak))
            print(f"  round {round_ + 1}: {name}: {wall:.3f} s (user {user:.3f}, sys {system:.3f}, "
                  f"peak {peak:.1f} MB)", flush=True)
            subprocess.run(["rm", "-rf", tree], check=True)

    print(f"\nMedian of {args.runs} runs, {shape}:\n")
    print("| Program | wall (s) | user (s) | sys (s) | user+sys (s) | peak (MB), median | peak (MB), max |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for name in names:
        rows = results[name]
        median = lambda pick: statistics.median(pick(r) for r in rows)
        print(f"| {name} | {median(lambda r: r[0]):.3f} | {median(lambda r: r[1]):.3f} | {median(lambda r: r[2]):.3f} "
              f"| {median(lambda r: r[1] + r[2]):.3f} | {median(lambda r: r[3]):.1f} | {max(r[3] for r in rows):.1f} |")
    shutil.rmtree(helpers)
    if not args.work:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
