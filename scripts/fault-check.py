#!/usr/bin/env python3
"""Checks that the tests catch real faults.

Copies the working tree to a temporary folder, builds it with its tests once, then for each fault
below changes exactly one line of the program (engine, command line, window, settings, journal or
undo), builds again and runs the tests. A fault is caught when at least one test fails. The copy
is thrown away at the end; the working tree is never changed.

    scripts/fault-check.py              every fault
    scripts/fault-check.py 3 7          only faults 3 and 7 (their numbers in the list)
    scripts/fault-check.py --list       the faults, without running anything
    scripts/fault-check.py --check      only whether every fault still applies (no build)

Every run first checks that the line of each fault is found exactly once in the working tree; a
fault whose line is missing or found twice (the code changed under it) stops the script with exit
status 2 and its number, before anything is built. The test command runs --check, so that a change
that leaves a fault behind fails at once instead of turning that fault into a silent gap.

Takes about a minute per fault on two cores (a build, then the suite up to its first failure).
Not part of CI; the test command runs only --check.

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
     "const std::error_code back = NoReplaceRename(dirfd, temporary, oldName, help.notes);",
     "const std::error_code back;"),
    ("a case-only rename on a case-blind file system not taken in two moves", "engine/folder_rename.cpp",
     "return TwoMoves(dirfd, oldName, newName, help, /*verify=*/true);",
     "return {RenameStatus::kCollision, error, oldName, {}};"),
    ("dot-names entered by the walk", "engine/folder_listing.cpp",
     "if ((name[0] != '.' || (withDotNames && !dotOrDotDot)) && !listing.value.Add(name, entry.d_type)) {",
     "if (!dotOrDotDot && !listing.value.Add(name, entry.d_type)) {"),
    ("links to folders followed by the walk", "engine/rename_tree.cpp",
     "return type == DT_DIR;",
     "return type == DT_DIR || type == DT_LNK;"),
    ("a folder's listing not read completely (the start of each block only)", "engine/sys.h",
     "for (ssize_t offset = 0; offset < got;) {",
     "for (ssize_t offset = 0; offset < got && offset < 4096;) {"),
    ("the walk's order reversed (first found first)", "engine/rename_tree.cpp",
     "subfolders.push_back(std::move(current));",
     "subfolders.insert(subfolders.begin(), std::move(current));"),
    ("the journal line not written before the rename", "engine/journal.cpp",
     "if (!WriteLine(line.dump())) {",
     "if (false && !WriteLine(line.dump())) {"),
    ("undo follows links on the way to the journal's folder", "engine/undo.cpp",
     "FolderChain folders{/*noFollow=*/true, /*keep=*/true};",
     "FolderChain folders{/*noFollow=*/false, /*keep=*/true};"),
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
     "return m_mapper.Upper(name);",
     "return m_mapper.Lower(name);"),
    ("-x ignored", "engine/rename_tree.cpp",
     "if (ctx.oneFileSystem && (type == DT_DIR || type == DT_UNKNOWN) &&",
     "if (false && (type == DT_DIR || type == DT_UNKNOWN) &&"),
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
    ("any ZX name taken for a temporary one", "engine/paths.cpp",
     "if (name.size() != kTempPrefix.size() + 8 + kEnd.size() || !name.starts_with(kTempPrefix) ||",
     "if (name.starts_with(kTempPrefix)) { return true; } if (true ||"),
    ("no length limit on a journal line", "engine/journal.cpp",
     "tooLong = tooLong || kept > kJournalLineLimit;",
     "tooLong = false;"),
    ("no lock on the journal", "engine/journal.cpp",
     "} else if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {",
     "} else if (false) {"),
    # The no-replace fallback where the file system refuses RENAME_NOREPLACE.
    ("link and unlink replaced by a look and a plain rename", "engine/folder_rename.cpp",
     "if (notes == nullptr || !notes->NoHardLinks(dirfd)) {",
     "if (false) {"),
    ("the look before a plain rename ignored", "engine/folder_rename.cpp",
     "if (!RefusesFlag(look)) {",
     "if (false) {"),
    ("undo leaves the second name of a move stopped between link and unlink", "engine/undo.cpp",
     "if (atOldName && ExtraName(atOld, atNew) && BothListed(dirfd, step.oldName, step.newName)) {",
     "if (false) {"),
    ("undo leaves a temporary second name of a move stopped between link and unlink", "engine/undo.cpp",
     "if ((atNewName && ExtraName(atNew, atTemporary)) || (atOldName && ExtraName(atOld, atTemporary))) {",
     "if (false) {"),
    ("a file open under its new spelling on exFAT not told", "engine/folder_rename.cpp",
     "second == std::errc::no_such_file_or_directory && StatNoFollow(dirfd, temporary.c_str());",
     "false && StatNoFollow(dirfd, temporary.c_str());"),
    # The command line's own checks.
    ("a path given twice walked (and reported) again", "engine/drop_batch.cpp",
     "if (item.missing || item.repeated || ctx.Stopped()) {",
     "if (item.missing || ctx.Stopped()) {"),
    ("-x enters a bind mount of the walked file system", "engine/rename_tree.cpp",
     "return (status.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;",
     "return makedev(status.stx_dev_major, status.stx_dev_minor) != device;"),
    ("a listing nobody reads does not stop the run", "cli/main.cpp",
     "[this] { return (m_listing && m_renameListing.Broken()) || (m_journal && !m_journal->Ok()); });",
     "[this] { return m_journal && !m_journal->Ok(); });"),
    ("a --journal file that is no journal appended to", "cli/main.cpp",
     "const bool ours = header.is_object() && header.contains(\"journal\") && header[\"journal\"] == \"versalo\";",
     "const bool ours = true;"),
    ("--journal takes an argument that looks like an option as its file", "cli/options.cpp",
     "if (*optarg != '\\0' && !(separate && *optarg == '-')) {",
     "if (*optarg != '\\0') {"),
    ("an ambiguous abbreviation reported as an unknown option", "cli/options.cpp",
     "if (matches > 1) {",
     "if (matches > 2) {"),
    ("a usage error ends with status 1", "cli/main.cpp",
     "constexpr int kExitUsage = 2;",
     "constexpr int kExitUsage = 1;"),
    ("a skipped entry leaves the exit status at 0", "cli/main.cpp",
     "int status = result.AllDone() ? kExitDone : kExitIncomplete;",
     "int status = kExitDone;"),
    ("the new name in the listing not quoted for the shell", "cli/rename_listing.cpp",
     "m_buffer += ShellQuoted(JoinPath(step.folder, step.newName));",
     "m_buffer += \"'\" + JoinPath(step.folder, step.newName) + \"'\";"),
    ("the list of folders on other file systems not quoted", "cli/terminal_host.cpp",
     "text += ShellQuoted(folder);",
     "text += folder;"),
    ("the summary lists one entry less than its limit", "engine/skip_report.cpp",
     "if (listed == maxListed) {",
     "if (listed + 1 == maxListed) {"),
    ("the summary lists one entry more than its limit", "engine/skip_report.cpp",
     "if (listed == maxListed) {",
     "if (listed == maxListed + 1) {"),
    ("a skipped name in the summary not quoted", "engine/skip_report.cpp",
     "text += QuotedName(entry.path, quoting);",
     "text += entry.path;"),
    ("DEL written raw", "engine/skip_report.cpp",
     "if (byte < 0x20 || byte == 0x7F) {",
     "if (byte < 0x20) {"),
    ("the last C0 control (U+001F) written raw", "engine/skip_report.cpp",
     "if (byte < 0x20 || byte == 0x7F) {",
     "if (byte < 0x1F || byte == 0x7F) {"),
    ("the C1 controls from U+0090 on written raw", "engine/skip_report.cpp",
     "static_cast<unsigned char>(text[i + 1]) < 0xA0;",
     "static_cast<unsigned char>(text[i + 1]) < 0x90;"),
    ("a stored setting one below its range taken", "settings/settings_store.cpp",
     "if (!ok || number < info.lowest || number > info.highest) {",
     "if (!ok || number < qlonglong{info.lowest} - 1 || number > info.highest) {"),
    ("a stored setting one above its range taken", "settings/settings_store.cpp",
     "if (!ok || number < info.lowest || number > info.highest) {",
     "if (!ok || number < info.lowest || number > qlonglong{info.highest} + 1) {"),
    ("a path's last component looked for from the front", "engine/paths.cpp",
     "const std::size_t slash = path.rfind('/');",
     "const std::size_t slash = path.find('/');"),
    ("the dry run takes a new name of exactly 255 bytes for too long", "engine/entry_rename.cpp",
     "newName.size() > NAME_MAX",
     "newName.size() >= NAME_MAX"),
    ("-x takes every folder for a mount point", "engine/rename_tree.cpp",
     "return (status.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;",
     "return true;"),
    ("the walk's path not cut back before a sibling folder", "engine/rename_tree.cpp",
     "path.resize(top.pathLength);",
     ";"),
    ("a malformed UTF-8 sequence taken for a character", "engine/text_case.cpp",
     "return character < 0 ? 0 : static_cast<std::size_t>(end);",
     "return end == 0 ? 1 : static_cast<std::size_t>(end);"),
    ("a case mapping applied only once", "engine/text_case.cpp",
     "for (int round = 0; round < 5; ++round) {",
     "for (int round = 0; round < 1; ++round) {"),
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
    # Each word, the name scope and kept spellings.
    ("an apostrophe starts a word (Don'T)", "engine/word_case.cpp",
     "open = letter || (c >= '0' && c <= '9') || c == '\\'';",
     "open = letter || (c >= '0' && c <= '9');"),
    ("exclusion patterns matched with regard to case", "engine/name_scope.cpp",
     "FoldedCodePoints(name, folded);",
     "folded.assign(name.begin(), name.end());"),
    ("a folder given an extension", "engine/name_scope.cpp",
     "const std::size_t dot = folder ? std::string_view::npos : ExtensionDot(name);",
     "const std::size_t dot = ((void)folder, ExtensionDot(name));"),
    # A file system that keeps the old spelling.
    ("the stored spelling not checked after a case-only rename", "engine/folder_rename.cpp",
     "if (stored.value == newName) {",
     "if (true) {"),
    # What a review of the merged tree found.
    ("a kept word matched under full case folding alone (maße for masse)", "engine/word_case.cpp",
     "OnlyCaseDiffers(name.tempSubString(i, end - i), FromUtf8(kept[k]))) {",
     "true) {"),
    ("a folder given twice under a rule that depends on the kind taken for a missing one", "engine/rename_item.cpp",
     "(!found && ctx.kindMatters &&",
     "(false &&"),
    ("a window placed by its inner size only, before the window manager framed it", "ui/desktop/window_placement.cpp",
     "m_place();",
     "(void)m_place;"),
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


def unchanged_content(source, fault):
    """The file's content, or None with the reason when the fault's line is not found exactly once."""
    _, path, before, _ = fault
    try:
        with open(os.path.join(source, path), encoding="utf-8") as text:
            content = text.read()
    except OSError as error:
        return None, f"{path} cannot be read: {error.strerror}"
    count = content.count(before)
    return (content, None) if count == 1 else (None, f"its line is found {count} times in {path}")


def stale_faults():
    """Every fault that no longer applies to the working tree, as "number. what: why"."""
    stale = []
    for number, fault in enumerate(FAULTS, 1):
        _, problem = unchanged_content(ROOT, fault)
        if problem:
            stale.append(f"{number:2}. {fault[0]}: {problem}")
    return stale


def apply(source, fault):
    content, problem = unchanged_content(source, fault)
    if problem is None:
        with open(os.path.join(source, fault[1]), "w", encoding="utf-8") as text:
            text.write(content.replace(fault[2], fault[3]))
    return content, problem


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
    if "--list" in argv:
        for number, (what, path, _, _) in enumerate(FAULTS, 1):
            print(f"{number:2}. {what} ({path})")
        return 0
    stale = stale_faults()
    if stale:
        print("fault-check: these faults no longer apply; fix their lines in scripts/fault-check.py:")
        print("\n".join(stale))
        return 2
    if "--check" in argv:
        print(f"fault-check: all {len(FAULTS)} faults apply")
        return 0
    chosen = [int(a) for a in argv if a.isdigit()] or list(range(1, len(FAULTS) + 1))
    if any(number < 1 or number > len(FAULTS) for number in chosen):
        print(f"fault-check: the faults are numbered 1 to {len(FAULTS)}")
        return 2
    if os.environ.get(SANDBOX_MARK) != "1":
        return in_sandbox(argv)
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
                # The first failing test is enough to call the fault caught.
                if run(ctest + ["--stop-on-failure"], work, log) != 0:
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
