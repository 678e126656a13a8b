// The undo journal of versalo-cli: --journal records every rename as it is made, --undo takes a
// journal's renames back, also after the run that wrote it was killed.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "tests/cli/cli_process.h"
#include "tests/support/temp_tree.h"

namespace versalo::test {
namespace {

// True once the process sits blocked in a write to a pipe. The kernel names the wait in wchan;
// where it keeps that to itself, the system call being made (1 is write) tells the same.
bool BlockedInPipeWrite(pid_t pid) {
    std::ifstream wchan("/proc/" + std::to_string(pid) + "/wchan");
    std::string where;
    std::getline(wchan, where);
    if (where.find("pipe_write") != std::string::npos) {
        return true;
    }
    std::ifstream syscall("/proc/" + std::to_string(pid) + "/syscall");
    std::string number;
    syscall >> number;
    return where == "0" && number == "1";
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(CliJournal, UndoRestoresEveryNameOfAJournaledRunExactly) {
    TempTree tree;
    tree.File("Fotos/McDonald.TXT", "a");
    tree.File("Fotos/Ürlaub 2024/ÄRGER.Doc", "b");
    tree.File("Fotos/Ürlaub 2024/Tief/\xF0\x90\x90\x80-Deseret.txt", "c");
    tree.File("Fotos/.Versteckt/BLEIBT", "d");
    const auto before = tree.Snapshot();
    const std::string journal = tree.Root() + ".journal";

    const CliRun run = RunCli({"-u", "--journal", journal, tree.Path("Fotos")});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_NE(tree.Snapshot(), before);
    const std::vector<std::string> lines = Lines(journal);
    // The header, then Fotos and five entries inside, each rename on a line of its own.
    EXPECT_EQ(lines[0], "{\"journal\":\"versalo\",\"format\":2,\"version\":\"2.6.5\"}");
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(),
                      [](const std::string& line) { return line.find("\"old\":") != std::string::npos; }),
        6);

    const CliRun undo = RunCli({"--undo=" + journal});
    ::unlink(journal.c_str());
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(tree.Snapshot(), before);
}

TEST(CliJournal, DryRunOfAnUndoListsButChangesNothing) {
    TempTree tree;
    tree.File("Ordner/DATEI.TXT", "x");
    const std::string journal = tree.Root() + ".journal";
    ASSERT_EQ(RunCli({"--journal", journal, tree.Path("Ordner")}).status, 0);
    const auto renamed = tree.Snapshot();

    const CliRun dry = RunCli({"-n", "--undo", journal});
    ::unlink(journal.c_str());
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(tree.Snapshot(), renamed);
    EXPECT_EQ(dry.out, "'" + tree.Path("ordner/datei.txt") + "' -> '" + tree.Path("ordner/DATEI.TXT") +
                           "'\n'" + tree.Path("ordner") + "' -> '" + tree.Path("Ordner") + "'\n");
}

TEST(CliJournal, WhatChangedSinceIsReportedAndNothingIsOverwritten) {
    TempTree tree;
    tree.File("A.TXT", "a");
    tree.File("B.TXT", "b");
    tree.File("C.TXT", "c");
    const std::string journal = tree.Root() + ".journal";
    ASSERT_EQ(
        RunCli({"--journal", journal, tree.Path("A.TXT"), tree.Path("B.TXT"), tree.Path("C.TXT")}).status, 0);
    ::unlink(tree.Path("a.txt").c_str());
    tree.File("B.TXT", "new b");

    const CliRun undo = RunCli({"--undo", journal});
    ::unlink(journal.c_str());
    EXPECT_EQ(undo.status, 1);
    EXPECT_NE(undo.err.find(tree.Path("a.txt")), std::string::npos) << undo.err;
    EXPECT_NE(undo.err.find("vergeben"), std::string::npos) << undo.err;
    EXPECT_EQ(tree.Snapshot(),
              (std::map<std::string, std::string>{{"B.TXT", "new b"}, {"C.TXT", "c"}, {"b.txt", "b"}}));
}

TEST(CliJournal, AJournalOfAKilledRunStillUndoesIt) {
    TempTree tree;
    const std::string base = tree.Path("base");
    ::close(::open(base.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    ASSERT_EQ(::mkdir(tree.Path("Viele").c_str(), 0755), 0);
    constexpr int kFiles = 5000;
    for (int i = 0; i < kFiles; ++i) {
        ASSERT_EQ(::link(base.c_str(), tree.Path("Viele/Datei " + std::to_string(i) + ".TXT").c_str()), 0);
    }
    const auto before = tree.Snapshot();
    const std::string journal = tree.Root() + ".journal";

    // -v into a pipe nobody reads: the run is held up mid-way once the pipe and the program's
    // own buffer are full. It is killed there, between two renames: a kill that lands between
    // a rename and its journal line (one system call apart) would leave that one rename out.
    CliProcess process({"-v", "--journal", journal, tree.Path("Viele")});
    ASSERT_TRUE(process.WaitForFullOutputPipe(60000));
    for (int wait = 0; wait < 6000 && !BlockedInPipeWrite(process.Pid()); ++wait) {
        ::usleep(10000);
    }
    ASSERT_TRUE(BlockedInPipeWrite(process.Pid()));
    ::kill(process.Pid(), SIGKILL);
    const CliRun killed = process.Finish();
    EXPECT_EQ(killed.status, 128 + SIGKILL);
    const std::size_t journaled = Lines(journal).size() - 1;
    EXPECT_GT(journaled, 0U);
    EXPECT_LT(journaled, static_cast<std::size_t>(kFiles) + 1);

    const CliRun undo = RunCli({"--undo", journal});
    ::unlink(journal.c_str());
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(tree.Snapshot(), before);
    EXPECT_TRUE(TemporaryNamesBelow(tree.Root()).empty());
}

TEST(CliJournal, AnUndoFromAnotherFolderFindsTheJournaledEntries) {
    TempTree tree;
    tree.File("hier/Fotos/BILD.JPG", "a");
    tree.File("dort/Fotos/bild.jpg", "other");  // same relative names elsewhere: must stay alone
    tree.File("dort/fotos/bild.jpg", "other too");
    const auto before = tree.Snapshot();
    const std::string journal = tree.Root() + ".journal";
    ASSERT_EQ(RunCli({"--journal", journal, "Fotos"}, tree.Path("hier")).status, 0);
    for (const std::string& line : Lines(journal)) {
        EXPECT_EQ(line.find("\"folder\":\"."), std::string::npos) << line;
    }
    const CliRun undo = RunCli({"--undo", journal}, tree.Path("dort"));
    ::unlink(journal.c_str());
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(tree.Snapshot(), before);
}

TEST(CliJournal, AnUndoStoppedHalfWayCanSimplyBeRunAgain) {
    TempTree tree;
    tree.File("Eins.TXT", "1");
    tree.File("Zwei.TXT", "2");
    const auto before = tree.Snapshot();
    const std::string journal = tree.Root() + ".journal";
    ASSERT_EQ(RunCli({"--journal", journal, tree.Path("Eins.TXT"), tree.Path("Zwei.TXT")}).status, 0);
    // As if an undo had been stopped after its first step (the newest rename).
    ASSERT_EQ(::rename(tree.Path("zwei.txt").c_str(), tree.Path("Zwei.TXT").c_str()), 0);
    const CliRun undo = RunCli({"--undo", journal});
    ::unlink(journal.c_str());
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.err, "");
    EXPECT_EQ(tree.Snapshot(), before);
}

TEST(CliJournal, WrongUseIsRefused) {
    TempTree tree;
    tree.File("fremd.txt", "{\"folder\":\"/\",\"old\":\"a\",\"new\":\"b\"}\n");
    EXPECT_EQ(RunCli({"--undo", tree.Path("fremd.txt"), tree.Path("x")}).status, 2);
    EXPECT_EQ(RunCli({"--journal"}).status, 2);
    EXPECT_EQ(RunCli({"--undo="}).status, 2);
    // A case rule or method means nothing to an undo; a forgotten file name is not an option.
    EXPECT_EQ(RunCli({"-u", "--undo", tree.Path("fremd.txt")}).status, 2);
    EXPECT_EQ(RunCli({"-t", "--undo", tree.Path("fremd.txt")}).status, 2);
    EXPECT_EQ(RunCli({"--journal", "-n", tree.Path("fremd.txt")}).status, 2);
    const CliRun foreign = RunCli({"--undo", tree.Path("fremd.txt")});
    EXPECT_EQ(foreign.status, 1);
    EXPECT_NE(foreign.err.find("kein Journal"), std::string::npos) << foreign.err;
    const CliRun unwritable = RunCli({"--journal", tree.Path("fehlt/journal"), tree.Path("fremd.txt")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(tree.Names(), std::vector<std::string>{"fremd.txt"});
}

}  // namespace
}  // namespace versalo::test
