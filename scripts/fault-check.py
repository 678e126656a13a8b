#!/usr/bin/env python3
"""Checks that the tests catch real faults.

Copies the working tree to a temporary folder, builds it with its tests once, then for each fault
below changes exactly one line of the engine, command line or window code, builds again and runs
the tests. A fault is caught when at least one test fails. The copy is thrown away at the end; the
working tree is never changed.

    scripts/fault-check.py              every fault
    scripts/fault-check.py 3 7          only faults 3 and 7 (their numbers in the list)
    scripts/fault-check.py --list       the faults, without running anything

Takes about five minutes on two cores (a build per fault). Not part of CI.

A faulty program can walk out of its test folder (a fault that lets the walk enter "..", or follow
a link, renames whatever it reaches). So the script runs itself in a mount namespace of its own in
which every file system is read-only except a fresh tmpfs on /tmp, where the copy, its build and
the tests' folders live. It needs root for that, as the fault suite's mounts do anyway.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

# Each fault: what it breaks, the file, the exact text of one line (found exactly once) and the
# line that replaces it.
FAULTS = [
    ("the no-replace flag dropped", "engine/folder_rename.cpp",
     "if (::renameat2(dirfd, from.c_str(), dirfd, to.c_str(), RENAME_NOREPLACE) == 0) {",
     "if (::renameat2(dirfd, from.c_str(), dirfd, to.c_str(), 0) == 0) {"),
    ("the move back of the two moves skipped", "engine/folder_rename.cpp",
     "const int back = NoReplaceRename(dirfd, temporary, oldName);",
     "const int back = 0;"),
    ("a case-only rename on a case-blind file system not taken in two moves", "engine/folder_rename.cpp",
     "return TwoMoves(dirfd, oldName, newName, /*makeFile=*/false);",
     "return {RenameStatus::kCollision, EEXIST, oldName, {}};"),
    ("dot-names entered by the walk", "engine/folder_rename.cpp",
     "if ((name[0] != '.' || (withDotNames && !dotOrDotDot)) && !listing.Add(name, entry->d_type)) {",
     "if (!dotOrDotDot && !listing.Add(name, entry->d_type)) {"),
    ("links to folders followed by the walk", "engine/rename_tree.cpp",
     "return type == DT_DIR;",
     "return type == DT_DIR || type == DT_LNK;"),
    ("a folder's listing not read completely (one block only)", "engine/folder_rename.cpp",
     "for (ssize_t offset = 0; offset < got;) {",
     "for (ssize_t offset = 0; offset < got && listing.Count() < 100;) {"),
    ("the walk's order reversed (first found first)", "engine/rename_tree.cpp",
     "subfolders.push_back(std::move(current));",
     "subfolders.insert(subfolders.begin(), std::move(current));"),
    ("the journal line not written before the rename", "engine/journal.cpp",
     "if (!WriteLine(line.dump())) {",
     "if (false && !WriteLine(line.dump())) {"),
    ("undo follows links on the way to the journal's folder", "engine/undo.cpp",
     "::openat(m_chain.back().fd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);",
     "::openat(m_chain.back().fd, name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);"),
    ("undo takes back an entry that is not the one renamed", "engine/undo.cpp",
     "if (status.ino != step.ino) {",
     "if (false) {"),
    ("undo carries out a line that is no case change", "engine/undo.cpp",
     "if (!ProducedByRule(step)) {",
     "if (!ProducedByRule(step) && false) {"),
    ("trailing slashes kept", "engine/paths.cpp",
     "while (path.size() > 1 && path.back() == '/') {",
     "while (false) {"),
    ("a quit request ignored", "engine/batch_context.h",
     "bool Stopped() const { return host.QuitRequested(); }",
     "bool Stopped() const { return false; }"),
    ("the case rule ignored", "engine/case_rules.cpp",
     "return ToUpperText(name);",
     "return ToLowerText(name);"),
    ("-x ignored", "engine/rename_tree.cpp",
     "status.st_dev != device;",
     "false;"),
    ("a control character in a listed name written raw", "engine/skip_report.cpp",
     "AppendEscaped(out, static_cast<unsigned char>(name[i]));",
     "out += name[i];"),
    ("the interrupting signal not raised again at the end", "cli/interrupt.cpp",
     "::raise(signal);",
     ";"),
    ("the window not disabled during a batch", "ui/main_window/main_form.cpp",
     "setEnabled(!busy);",
     "setEnabled(true);"),
    ("the window's case rule not passed to the batch", "ui/main_window/main_form.cpp",
     "options.caseRule = m_dropOptions.RuleFor(m_caseRule);",
     "options.caseRule = CaseRule::kLower;"),
    ("a setting not stored", "settings/settings_store.cpp",
     "store.setValue(KeyOf(setting), QString::number(value));",
     ";"),
    # The window program's command line, drop and close question.
    ("the close question's default button changed to \"Ja\"", "ui/main_window/main_form.cpp",
     "box.setDefaultButton(QMessageBox::No);",
     "box.setDefaultButton(QMessageBox::Yes);"),
    ("Qt given the whole command line, after \"--\" and existing paths too", "ui/main_window/main.cpp",
     "std::vector<std::string> qtWords = commandLine.qtArguments;",
     "std::vector<std::string> qtWords(argv, argv + argc);"),
    ("a drop accepted as the move the user asked for", "ui/main_window/drop_zone.cpp",
     "event->setDropAction(action);",
     "event->setDropAction(event->proposedAction());"),
    ("the last result not shown in the idle window", "ui/main_window/main_form.cpp",
     "m_progress->setTextVisible(!parts.isEmpty() && !m_busy);",
     "m_progress->setTextVisible(false);"),
    # Undo that knows what it renamed, and journals that cannot hurt.
    ("undo ignores the recorded file system identity", "engine/undo.cpp",
     "if (FileSystemId(dirfd) != step.fsid) {",
     "if (false) {"),
    ("the birth time not compared", "engine/undo.cpp",
     "return step.hasBirth && status.hasBirth && status.birth != step.birth ? Match::kOtherBirth",
     "return false ? Match::kOtherBirth"),
    ("the rule check accepts any of the three rules when the header names one", "engine/undo.cpp",
     "return RuleMakes(step.oldName, step.newName, *step.rule, step.scope, step.locale);",
     "if (RuleMakes(step.oldName, step.newName, *step.rule, step.scope, step.locale)) { return true; }"),
    ("any ZX name taken for a temporary one", "engine/undo.cpp",
     "if (name.size() != kTempPrefix.size() + 8 + kEnd.size() || !name.starts_with(kTempPrefix) ||",
     "if (name.starts_with(kTempPrefix)) { return true; } if (true ||"),
    ("no length limit on a journal line", "engine/journal.cpp",
     "tooLong = tooLong || kept > kJournalLineLimit;",
     "tooLong = false;"),
    ("no lock on the journal", "engine/journal.cpp",
     "} else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {",
     "} else if (false) {"),
    # Each word, the name scope and kept spellings.
    ("an apostrophe starts a word (Don'T)", "engine/word_case.cpp",
     "open = letter || (c >= '0' && c <= '9') || c == '\\'';",
     "open = letter || (c >= '0' && c <= '9');"),
    ("exclusion patterns matched with regard to case", "engine/name_scope.cpp",
     "FoldedCodePoints(name, folded);",
     "folded.assign(name.begin(), name.end());"),
    ("a folder given an extension", "engine/name_scope.cpp",
     "const std::size_t dot = folder ? std::string_view::npos : ExtensionDot(name);",
     "const std::size_t dot = ExtensionDot(name);"),
]

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
# The packaging checks build a Release tree and a Debian package: they test no code path a fault
# here could change, and take long.
CTEST_EXCLUDE = "package_test|install_layout_test"


def run(command, cwd, log):
    with open(log, "w", encoding="utf-8") as out:
        return subprocess.run(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT, check=False).returncode


def copy_tree(target):
    files = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, capture_output=True, check=True).stdout
    for name in files.decode().split("\0"):
        if not name or not os.path.exists(os.path.join(ROOT, name)):
            continue
        os.makedirs(os.path.join(target, os.path.dirname(name)), exist_ok=True)
        shutil.copy2(os.path.join(ROOT, name), os.path.join(target, name))


def failed_tests(log):
    # ctest ends with "The following tests FAILED:" and one "  12 - Name (Failed)" line each.
    with open(log, encoding="utf-8", errors="replace") as text:
        found = re.finditer(r"^\s*\d+ - (.+?)(?:  # GetParam\(\) = .*)? \([^()]*\)$", text.read(), re.MULTILINE)
        return [m.group(1) for m in found]


def apply(source, fault):
    _, path, before, after = fault
    full = os.path.join(source, path)
    with open(full, encoding="utf-8") as text:
        content = text.read()
    count = content.count(before)
    if count != 1:
        return None, f"the line is found {count} times in {path}"
    with open(full, "w", encoding="utf-8") as text:
        text.write(content.replace(before, after))
    return content, None


SANDBOX_MARK = "VERSALO_FAULT_SANDBOX"
# Inside the new mount namespace: /tmp becomes a fresh tmpfs, every other mount read-only.
SANDBOX_SCRIPT = r"""
set -e
mount -t tmpfs -o size=12g,mode=1777 versalo-faults /tmp
findmnt -rn -o TARGET | grep -Ev '^/(proc|sys|tmp)(/|$)|^/dev/pts$' | while read -r target; do
    target=$(printf '%b' "$target")
    mount -o remount,bind,ro "$target" 2>/dev/null || true
done
exec "$@"
"""


def in_sandbox(argv):
    """Runs this script again inside the sandbox; returns its exit status."""
    if os.geteuid() != 0:
        print("fault-check needs root: it runs the faulty programs in a read-only mount namespace.")
        return 2
    env = dict(os.environ, **{SANDBOX_MARK: "1"})
    command = ["unshare", "--mount", "--propagation", "private", "sh", "-c", SANDBOX_SCRIPT, "sandbox",
               sys.executable, os.path.abspath(__file__), *argv]
    return subprocess.run(command, env=env, check=False).returncode


def main(argv):
    if "--list" not in argv and os.environ.get(SANDBOX_MARK) != "1":
        return in_sandbox(argv)
    if "--list" in argv:
        for number, (what, path, _, _) in enumerate(FAULTS, 1):
            print(f"{number:2}. {what} ({path})")
        return 0
    chosen = [int(a) for a in argv if a.isdigit()] or list(range(1, len(FAULTS) + 1))
    work = tempfile.mkdtemp(prefix="versalo-faults-")
    os.chmod(work, 0o755)  # the fault suite runs the program as an unprivileged user too
    source, build = os.path.join(work, "src"), os.path.join(work, "build")
    jobs = str(os.cpu_count() or 2)
    try:
        copy_tree(source)
        configure = ["cmake", "-S", source, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo"]
        if run(configure, work, os.path.join(work, "configure.log")) != 0 or \
                run(["cmake", "--build", build, "--parallel", jobs], work, os.path.join(work, "build.log")) != 0:
            print("The unchanged tree does not build; see", work)
            return 2
        ctest = ["ctest", "--test-dir", build, "--parallel", jobs, "--timeout", "300", "-E", CTEST_EXCLUDE]
        if run(ctest, work, os.path.join(work, "clean.log")) != 0:
            print("The tests fail on the unchanged tree:", ", ".join(failed_tests(os.path.join(work, "clean.log"))))
            with open(os.path.join(work, "clean.log"), encoding="utf-8", errors="replace") as log:
                print("".join(log.readlines()[-40:]))
            return 2
        caught = 0
        for number in chosen:
            fault = FAULTS[number - 1]
            original, problem = apply(source, fault)
            if problem:
                print(f"{number:2}. {fault[0]}: NOT APPLIED, {problem}")
                continue
            log = os.path.join(work, f"fault-{number}.log")
            try:
                if run(["cmake", "--build", build, "--parallel", jobs], work, log) != 0:
                    print(f"{number:2}. {fault[0]}: NOT APPLIED, the changed line does not build")
                    continue
                if run(ctest, work, log) != 0:
                    caught += 1
                    names = failed_tests(log)
                    shown = ", ".join(names[:3]) + (f" and {len(names) - 3} more" if len(names) > 3 else "")
                    print(f"{number:2}. {fault[0]}: caught by {shown}")
                else:
                    print(f"{number:2}. {fault[0]}: MISSED")
            finally:
                with open(os.path.join(source, fault[1]), "w", encoding="utf-8") as text:
                    text.write(original)
            sys.stdout.flush()
        print(f"{caught} of {len(chosen)} faults caught")
        return 0 if caught == len(chosen) else 1
    finally:
        if "--keep" not in argv:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
