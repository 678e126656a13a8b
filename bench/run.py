#!/usr/bin/env python3
"""Times versalo-cli --lower against the floor (a minimal folder-descriptor walk) and against a
plain os.walk + os.rename script, on a tree of 100,000 files in 1,000 folders with mixed-case
names. Every run gets a fresh tree; the median of several runs is reported.

Usage: bench/run.py [--runs N] [--work DIR] [--build-dir DIR] [--keep]

Builds a Release versalo-cli (in build-bench/ beside the sources unless --build-dir says
otherwise) and the floor program, and needs cmake, ninja and a C++ compiler.
"""
import argparse
import os
import random
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

BENCH = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(BENCH)

GROUPS = 10             # top-level folders
FOLDERS_PER_GROUP = 99  # folders in each; with the groups 1,000 folders in all
FILES_PER_FOLDER = 100  # in every one of the 1,000 folders: 100,000 files
WORDS = ["Bericht", "Rechnung", "Foto", "Urlaub", "Projekt", "Notiz", "Brief", "Liste", "Daten", "Entwurf"]
EXTENSIONS = [".TXT", ".Jpg", ".pdf", ".DOCX", ".Odt", ".csv", ".PNG", ".Md"]


def mixed(rng, text):
    """The text in a mixed spelling; about one name in ten is left all lower case."""
    if rng.random() < 0.1:
        return text.lower()
    return "".join(c.upper() if rng.random() < 0.4 else c.lower() for c in text)


def build_master(root):
    """The tree every run starts from. Every file is a real file (an inode of its own), so that
    each rename touches a different inode, as in a real tree."""
    rng = random.Random(2024)
    os.mkdir(root)
    count = 0
    for g in range(GROUPS):
        group = os.path.join(root, mixed(rng, f"Gruppe_{g:02d}_{rng.choice(WORDS)}"))
        folders = [group] + [os.path.join(group, mixed(rng, f"Ordner_{f:03d}_{rng.choice(WORDS)}"))
                             for f in range(FOLDERS_PER_GROUP)]
        for folder in folders:
            os.mkdir(folder)
            for i in range(FILES_PER_FOLDER):
                name = mixed(rng, f"{rng.choice(WORDS)}_{count:06d}{rng.choice(EXTENSIONS)}")
                os.close(os.open(os.path.join(folder, name), os.O_CREAT | os.O_WRONLY, 0o644))
                count += 1
    return count


def fresh_copy(master, target):
    """A fresh tree for one run: the master's folders made anew, its files linked into them.
    Making 100,000 inodes takes over a minute on some disks; linking them takes a second or two."""
    subprocess.run(["cp", "-al", master, target], check=True)
    os.sync()


def upper_case_names(root):
    left = 0
    for folder, subfolders, files in os.walk(root):
        left += sum(1 for name in subfolders + files if name != name.lower())
    return left


def timed(command):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if done.returncode != 0:
        sys.exit(f"{command[0]} failed ({done.returncode}): {done.stderr.decode(errors='replace')}")
    cpu_user = after.ru_utime - before.ru_utime
    cpu_sys = after.ru_stime - before.ru_stime
    return wall, cpu_user, cpu_sys


def build_programs(build_dir):
    subprocess.run(["cmake", "-S", SOURCE, "-B", build_dir, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                    "-DVERSALO_BUILD_GUI=OFF", "-DVERSALO_BUILD_TESTS=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "--target", "versalo-cli"], check=True, stdout=subprocess.DEVNULL)
    floor = os.path.join(build_dir, "versalo_bench_floor")
    compiler = os.environ.get("CXX", "c++")
    subprocess.run([compiler, "-std=c++20", "-O2", "-o", floor, os.path.join(BENCH, "floor.cpp")], check=True)
    return os.path.join(build_dir, "cli", "versalo-cli"), floor


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--work", default=None, help="folder for the trees (default: a new one in $TMPDIR)")
    parser.add_argument("--build-dir", default=os.path.join(SOURCE, "build-bench"))
    parser.add_argument("--keep", action="store_true", help="keep the master tree and its folder")
    args = parser.parse_args()

    cli, floor = build_programs(args.build_dir)
    work = args.work or tempfile.mkdtemp(prefix="versalo-bench-")
    os.makedirs(work, exist_ok=True)
    master = os.path.join(work, "master")
    if os.path.exists(master):
        shutil.rmtree(master)
    print(f"Building the tree in {master} ...", flush=True)
    started = time.perf_counter()
    files = build_master(master)
    print(f"{files} files in {GROUPS * (FOLDERS_PER_GROUP + 1)} folders ({time.perf_counter() - started:.0f} s)",
          flush=True)

    tools = {
        "versalo-cli --lower": lambda tree: [cli, "--lower", tree],
        "floor (C++, getdents64 + renameat2)": lambda tree: [floor, tree],
        "Python os.walk + os.rename": lambda tree: [sys.executable, os.path.join(BENCH, "walk_rename.py"), tree],
    }
    results = {name: [] for name in tools}
    names = list(tools)
    for run in range(args.runs):
        # A different order in every round, so that no program always comes right after the
        # tree was made.
        for name in names[run % len(names):] + names[:run % len(names)]:
            tree = os.path.join(work, "tree")
            fresh_copy(master, tree)
            wall, cpu_user, cpu_sys = timed(tools[name](tree))
            left = upper_case_names(tree)
            if left != 0:
                sys.exit(f"{name}: {left} names still have capitals")
            results[name].append((wall, cpu_user, cpu_sys))
            print(f"  run {run + 1}: {name}: {wall:.3f} s (user {cpu_user:.3f} s, sys {cpu_sys:.3f} s)", flush=True)
            shutil.rmtree(tree)

    # Wall time is what a user waits for, but on a shared machine it also holds the waits for
    # the file system's journal; the processor time (user + sys) is the steadier measure.
    floor_wall = statistics.median(w for w, _, _ in results[names[1]])
    floor_cpu = statistics.median(u + s for _, u, s in results[names[1]])
    print()
    print(f"Median of {args.runs} runs, {files} files in {GROUPS * (FOLDERS_PER_GROUP + 1)} folders:")
    print()
    print(f"| {'Program':<38} | wall (s) | × floor | user (s) | sys (s) | user+sys (s) | × floor |")
    print(f"|{'-' * 40}|---------:|--------:|---------:|--------:|-------------:|--------:|")
    for name in names:
        wall = statistics.median(w for w, _, _ in results[name])
        cpu_user = statistics.median(u for _, u, _ in results[name])
        cpu_sys = statistics.median(s for _, _, s in results[name])
        cpu = statistics.median(u + s for _, u, s in results[name])
        print(f"| {name:<38} | {wall:8.3f} | {wall / floor_wall:7.2f} | {cpu_user:8.3f} | {cpu_sys:7.3f} "
              f"| {cpu:12.3f} | {cpu / floor_cpu:7.2f} |")

    if not args.keep:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
