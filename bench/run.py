#!/usr/bin/env python3
"""Times versalo-cli --lower (and the word rule with ten exclusion patterns) against the floor (a minimal folder-descriptor walk) and against a
plain os.walk + os.rename script, on a tree of 100,000 files in 1,000 folders with mixed-case
names, or (--wide) on one folder holding a million files. Every run gets a fresh tree; the
median of several runs is reported, with the peak memory (maximum resident set) of each program.

Usage: bench/run.py [--runs N] [--work DIR] [--build-dir DIR] [--keep] [--wide [COUNT]]

Builds a Release versalo-cli (in build-bench/ beside the sources unless --build-dir says
otherwise) and the floor program, and needs cmake, ninja and a C++ compiler.
"""
import argparse
import os
import random
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


# Ten exclusion patterns of the kind a project tree needs; none matches a name of the tree, so that
# the run with them renames exactly what the others rename and pays for the matching on top.
EXCLUDES = ["node_modules", "build", "*.bak", "*~", "__pycache__", "*.o", "[Tt]humbs.db", "dist", "target",
            "*.sw?"]


def each_word(text):
    """The word rule for ASCII names: a letter after a letter, digit or apostrophe is small, every
    other letter capital."""
    out, open_word = [], False
    for c in text:
        out.append((c.lower() if open_word else c.upper()) if c.isalpha() else c)
        open_word = c.isalnum() or c == "'"
    return "".join(out)


def word_spelled(name, folder):
    dot = name.rfind(".")
    if folder or dot <= 0 or dot == len(name) - 1:
        return each_word(name)
    return each_word(name[:dot]) + "." + name[dot + 1:].lower()


def names_left(root, words=False):
    """How many names do not have the spelling the run should have given them."""
    left = 0
    for folder, subfolders, files in os.walk(root):
        if words:
            left += sum(1 for name in subfolders if name != word_spelled(name, True))
            left += sum(1 for name in files if name != word_spelled(name, False))
        else:
            left += sum(1 for name in subfolders + files if name != name.lower())
    return left


def timed(command):
    """Wall time, user and system time, and peak memory (MB) of one run. The peak is the maximum
    resident set as GNU time reports it (/usr/bin/time, "%M"): the rusage this script gets itself
    would also count its own memory, which the child inherits until it starts the program."""
    with tempfile.NamedTemporaryFile() as errors, tempfile.NamedTemporaryFile(mode="r") as peak_file:
        start = time.perf_counter()
        process = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak_file.name] + command,
                                   stdout=subprocess.DEVNULL, stderr=errors)
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
        process.returncode = os.waitstatus_to_exitcode(status)
        if process.returncode != 0:
            errors.seek(0)
            sys.exit(f"{command[0]} failed ({process.returncode}): {errors.read().decode(errors='replace')}")
        peak_kb = int(peak_file.read().split()[-1])
    return wall, usage.ru_utime, usage.ru_stime, peak_kb / 1024


def build_programs(build_dir):
    subprocess.run(["cmake", "-S", SOURCE, "-B", build_dir, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                    "-DVERSALO_BUILD_GUI=OFF", "-DVERSALO_BUILD_TESTS=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "--target", "versalo-cli"], check=True, stdout=subprocess.DEVNULL)
    floor = os.path.join(build_dir, "versalo_bench_floor")
    compiler = os.environ.get("CXX", "c++")
    subprocess.run([compiler, "-std=c++20", "-O2", "-o", floor, os.path.join(BENCH, "floor.cpp")], check=True)
    make_wide = os.path.join(build_dir, "versalo_bench_make_wide")
    subprocess.run([compiler, "-std=c++20", "-O2", "-o", make_wide, os.path.join(BENCH, "make_wide.cpp")], check=True)
    return os.path.join(build_dir, "cli", "versalo-cli"), floor, make_wide


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--work", default=None, help="folder for the trees (default: a new one in $TMPDIR)")
    parser.add_argument("--build-dir", default=os.path.join(SOURCE, "build-bench"))
    parser.add_argument("--keep", action="store_true", help="keep the master tree and its folder")
    parser.add_argument("--wide", type=int, nargs="?", const=1_000_000, default=None, metavar="COUNT",
                        help="one folder of COUNT files (default 1,000,000) instead of the spread tree")
    args = parser.parse_args()

    cli, floor, make_wide = build_programs(args.build_dir)
    work = args.work or tempfile.mkdtemp(prefix="versalo-bench-")
    os.makedirs(work, exist_ok=True)
    master = os.path.join(work, "master")
    if os.path.exists(master):
        shutil.rmtree(master)
    if args.wide:
        # A million files are made anew for every run by a small C++ program (a few seconds on
        # tmpfs); Python would need minutes, and cp -al as long as making them.
        files = args.wide
        shape = f"{files} files in one folder"

        def fresh_tree(tree):
            subprocess.run([make_wide, tree, str(files)], check=True)
            os.sync()
    else:
        print(f"Building the tree in {master} ...", flush=True)
        started = time.perf_counter()
        files = build_master(master)
        shape = f"{files} files in {GROUPS * (FOLDERS_PER_GROUP + 1)} folders"
        print(f"{shape} ({time.perf_counter() - started:.0f} s)", flush=True)

        def fresh_tree(tree):
            fresh_copy(master, tree)

    excludes = [f"--exclude={pattern}" for pattern in EXCLUDES]
    tools = {
        "versalo-cli --lower": lambda tree: [cli, "--lower", tree],
        # "tree/.": the word rule would rename the tree's own folder to "Tree".
        "versalo-cli -w, 10 --exclude": lambda tree: [cli, "-w"] + excludes + [os.path.join(tree, ".")],
        "floor (C++, getdents64 + renameat2)": lambda tree: [floor, tree],
        "floor -w (the same, word rule)": lambda tree: [floor, "--words", tree],
        "Python os.walk + os.rename": lambda tree: [sys.executable, os.path.join(BENCH, "walk_rename.py"), tree],
    }
    results = {name: [] for name in tools}
    names = list(tools)
    for run in range(args.runs):
        # A different order in every round, so that no program always comes right after the
        # tree was made.
        for name in names[run % len(names):] + names[:run % len(names)]:
            tree = os.path.join(work, "tree")
            if os.path.exists(tree):
                shutil.rmtree(tree)  # left by an earlier run that was stopped
            fresh_tree(tree)
            wall, cpu_user, cpu_sys, peak = timed(tools[name](tree))
            left = names_left(tree, words=" -w" in name)
            if left != 0:
                sys.exit(f"{name}: {left} names are not spelled as they should be")
            results[name].append((wall, cpu_user, cpu_sys, peak))
            print(f"  run {run + 1}: {name}: {wall:.3f} s (user {cpu_user:.3f} s, sys {cpu_sys:.3f} s, "
                  f"peak {peak:.1f} MB)", flush=True)
            shutil.rmtree(tree)

    # Wall time is what a user waits for, but on a shared machine it also holds the waits for
    # the file system's journal; the processor time (user + sys) is the steadier measure.
    # Each program against the floor that gives the same names: the word rule renames every name,
    # also the one in ten that lower case leaves alone.
    def floor_of(name):
        return names[3] if " -w" in name else names[2]

    floor_wall = {name: statistics.median(r[0] for r in results[floor_of(name)]) for name in names}
    floor_cpu = {name: statistics.median(r[1] + r[2] for r in results[floor_of(name)]) for name in names}
    print()
    print(f"Median of {args.runs} runs, {shape}:")
    print()
    print(f"| {'Program':<38} | wall (s) | × floor | user (s) | sys (s) | user+sys (s) | × floor | peak (MB) |")
    print(f"|{'-' * 40}|---------:|--------:|---------:|--------:|-------------:|--------:|----------:|")
    for name in names:
        wall = statistics.median(r[0] for r in results[name])
        cpu_user = statistics.median(r[1] for r in results[name])
        cpu_sys = statistics.median(r[2] for r in results[name])
        cpu = statistics.median(r[1] + r[2] for r in results[name])
        peak = max(r[3] for r in results[name])
        print(f"| {name:<38} | {wall:8.3f} | {wall / floor_wall[name]:7.2f} | {cpu_user:8.3f} | {cpu_sys:7.3f} "
              f"| {cpu:12.3f} | {cpu / floor_cpu[name]:7.2f} | {peak:9.1f} |")

    if not args.keep:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
