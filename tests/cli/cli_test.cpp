#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "collection/text_case.h"
#include "collection/version.h"
#include "tests/cli/cli_process.h"
#include "tests/support/temp_tree.h"

namespace versalo::test {
namespace {

using Names = std::vector<std::string>;
using Snapshot = std::map<std::string, std::string>;

// The contents of every file in a snapshot, so that two trees can be checked for the same files
// whatever their names.
std::multiset<std::string> Contents(const Snapshot& snapshot) {
    std::multiset<std::string> contents;
    for (const auto& [path, content] : snapshot) {
        if (content != "<dir>") {
            contents.insert(content);
        }
    }
    return contents;
}

TEST(CliCase, LowerIsTheDefault) {
    TempTree tree;
    tree.File("Box/ReadMe.TXT");
    tree.File("Box/Sub Folder/DEEP/Inner.Doc");

    const CliRun run = RunCli({tree.Path("Box")});

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    const Snapshot after = tree.Snapshot();
    EXPECT_EQ(after.at("box/readme.txt"), "Box/ReadMe.TXT");
    EXPECT_EQ(after.at("box/sub folder/deep/inner.doc"), "Box/Sub Folder/DEEP/Inner.Doc");
    EXPECT_EQ(after.size(), 5U);
}

TEST(CliCase, LowerByOption) {
    for (const std::string option : {"-l", "--lower"}) {
        TempTree tree;
        tree.File("ÜBER.TXT");
        const CliRun run = RunCli({"-u", option, tree.Path("ÜBER.TXT")});
        EXPECT_EQ(run.status, 0) << option << ": " << run.err;
        EXPECT_EQ(tree.Names(), Names{"über.txt"}) << option;
    }
}

TEST(CliCase, Upper) {
    for (const std::string option : {"-u", "--upper"}) {
        TempTree tree;
        tree.File("box/readme.txt");
        tree.File("box/straße/grüße.doc");
        const CliRun run = RunCli({option, tree.Path("box")});
        EXPECT_EQ(run.status, 0) << option << ": " << run.err;
        EXPECT_EQ(tree.Names(), Names{"BOX"}) << option;
        EXPECT_EQ(tree.Names("BOX"), (Names{"README.TXT", "STRASSE"})) << option;
        EXPECT_EQ(tree.Names("BOX/STRASSE"), Names{"GRÜSSE.DOC"}) << option;
    }
}

TEST(CliCase, FirstLetterCapital) {
    for (const std::string option : {"-c", "--capital"}) {
        TempTree tree;
        tree.File("über Alles.Doc");
        tree.File("1st Report.doc");
        tree.File("mein BRIEF.TXT");
        const CliRun run = RunCli(
            {option, tree.Path("über Alles.Doc"), tree.Path("1st Report.doc"), tree.Path("mein BRIEF.TXT")});
        EXPECT_EQ(run.status, 0) << option << ": " << run.err;
        EXPECT_EQ(tree.Names(), (Names{"1st report.doc", "Mein brief.txt", "Über alles.doc"})) << option;
    }
}

TEST(CliCase, FirstCharacterOutsideTheBasicPlane) {
    // U+10428 DESERET SMALL LETTER LONG I, whose capital is U+10400: four bytes in UTF-8 each.
    TempTree tree;
    tree.File("\xF0\x90\x90\xA8XYZ");
    const CliRun run = RunCli({"-c", tree.Path("\xF0\x90\x90\xA8XYZ")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(tree.Names(), Names{"\xF0\x90\x90\x80xyz"});
}

TEST(CliMethod, TwoMovesLeaveNoTemporaryName) {
    for (const std::string option : {"-t", "--two-move"}) {
        TempTree tree;
        tree.File("Box/FILE.TXT", "file");
        tree.File("Box/Inner/DATA.BIN", "data");
        tree.File("LOOSE.TXT", "loose");
        const CliRun run = RunCli({option, tree.Path("Box"), tree.Path("LOOSE.TXT")});
        EXPECT_EQ(run.status, 0) << option << ": " << run.err;
        EXPECT_EQ(tree.Names(), (Names{"box", "loose.txt"})) << option;
        EXPECT_EQ(tree.Snapshot().at("box/inner/data.bin"), "data");
        EXPECT_TRUE(TemporaryNamesBelow(tree.Root()).empty()) << option;
    }
}

TEST(CliMethod, TwoMovesIntoATakenNameGoBack) {
    TempTree tree;
    tree.File("README", "upper");
    tree.File("readme", "lower");
    const CliRun run = RunCli({"-t", tree.Path("README")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(tree.Names(), (Names{"README", "readme"}));
    EXPECT_EQ(tree.Snapshot().at("README"), "upper");
    EXPECT_EQ(tree.Snapshot().at("readme"), "lower");
    EXPECT_TRUE(TemporaryNamesBelow(tree.Root()).empty());
    EXPECT_NE(run.err.find("bereits vergeben"), std::string::npos) << run.err;
}

TEST(CliCollision, ReadmeBesideReadme) {
    TempTree tree;
    tree.File("Box/README", "the upper one");
    tree.File("Box/readme", "the lower one");
    tree.File("Box/Other.txt", "other");

    const CliRun run = RunCli({tree.Path("Box")});

    EXPECT_EQ(run.status, 1);
    const Snapshot after = tree.Snapshot();
    EXPECT_EQ(after.at("box/README"), "the upper one");
    EXPECT_EQ(after.at("box/readme"), "the lower one");
    EXPECT_EQ(after.at("box/other.txt"), "other");
    EXPECT_NE(run.err.find("'" + tree.Path("box/README") + "'"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("bereits vergeben"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("1 Eintrag hat seinen Namen behalten"), std::string::npos) << run.err;
}

TEST(CliCollision, PathsAreTakenInTheirOrder) {
    // Foo and FOO both want to be foo: the one named first gets it, the other keeps its name.
    TempTree tree;
    tree.File("Foo", "Foo");
    tree.File("FOO", "FOO");
    const CliRun run = RunCli({tree.Path("FOO"), tree.Path("Foo")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(tree.Names(), (Names{"Foo", "foo"}));
    EXPECT_EQ(tree.Snapshot().at("foo"), "FOO");

    TempTree reverse;
    reverse.File("Foo", "Foo");
    reverse.File("FOO", "FOO");
    const CliRun second = RunCli({reverse.Path("Foo"), reverse.Path("FOO")});
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(reverse.Names(), (Names{"FOO", "foo"}));
    EXPECT_EQ(reverse.Snapshot().at("foo"), "Foo");
}

TEST(CliListing, VerboseListsEachRenameMade) {
    TempTree tree;
    tree.File("Box/A.txt");
    tree.File("Box/b.txt");
    tree.File("Box/Sub/C.TXT");

    const CliRun run = RunCli({"-v", tree.Path("Box")});

    EXPECT_EQ(run.status, 0) << run.err;
    // The folder is renamed first, then its entries, then what is in its subfolders; each line
    // gives the path as it was and as it is now. b.txt had its name already.
    const std::string root = tree.Root();
    std::multiset<std::string> lines;
    std::size_t start = 0;
    while (start < run.out.size()) {
        const std::size_t end = run.out.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "the last line has no line end";
        lines.insert(run.out.substr(start, end - start));
        start = end + 1;
    }
    EXPECT_EQ(lines, (std::multiset<std::string>{
                         "'" + root + "/Box' -> '" + root + "/box'",
                         "'" + root + "/box/A.txt' -> '" + root + "/box/a.txt'",
                         "'" + root + "/box/Sub' -> '" + root + "/box/sub'",
                         "'" + root + "/box/sub/C.TXT' -> '" + root + "/box/sub/c.txt'",
                     }));
    EXPECT_TRUE(run.out.starts_with("'" + root + "/Box' -> '" + root + "/box'\n")) << run.out;
    EXPECT_TRUE(run.out.ends_with("'" + root + "/box/sub/C.TXT' -> '" + root + "/box/sub/c.txt'\n"))
        << run.out;
}

// Runs bash on script with the arguments; its standard output.
std::string Bash(const std::string& script, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"/bin/bash", "-c", script, "bash"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& word : argv) {
        pointers.push_back(word.data());
    }
    pointers.push_back(nullptr);
    int fds[2];
    if (::pipe(fds) != 0) {
        return {};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t got = 0; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        out.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return out;
}

TEST(CliListing, EachListedPathPastedIntoAShellReachesTheSameEntry) {
    // Quoted as GNU mv -v and ls --quoting-style=shell-escape-always do, except that a quote is
    // always written '\'' (GNU would switch to double quotes).
    const Names names{"IT'S.TXT",
                      "NEU\nZEILE",
                      "\x1b[31mROT",
                      "TAB\tX",
                      "MIT LEER",
                      "PLAIN",
                      "\xC3\x84RGER",
                      "C1\xC2\x85X",
                      "$HOME",
                      "BACK\\SLASH",
                      "\x7F"
                      "DEL",
                      "END\n"};
    TempTree tree;
    for (const std::string& name : names) {
        tree.File("Box/" + name);
    }
    const CliRun run = RunCli({"-n", tree.Path("Box/.")});  // its contents, not Box itself
    EXPECT_EQ(run.status, 0) << run.err;
    // Nothing that a terminal acts on: no control character but the line ends.
    for (const char c : run.out) {
        const auto byte = static_cast<unsigned char>(c);
        EXPECT_TRUE(c == '\n' || (byte >= 0x20 && byte != 0x7F)) << static_cast<int>(byte);
    }
    EXPECT_NE(run.out.find("/IT'\\''S.TXT' -> '"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("/NEU'$'\\n''ZEILE' -> '"), std::string::npos) << run.out;

    // Every line, read back by a shell, gives the old path and the new one byte for byte.
    const std::string folder = tree.Path("Box/./");
    Names olds;
    std::size_t start = 0;
    while (start < run.out.size()) {
        const std::size_t end = run.out.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = run.out.substr(start, end - start);
        start = end + 1;
        // The shell reads both quoted paths (no name here holds " -> "), and gives each word back
        // as its length in bytes, a colon and the word.
        const std::size_t arrow = line.find(" -> ");
        ASSERT_NE(arrow, std::string::npos) << line;
        std::string words =
            Bash("LC_ALL=C; eval \"set -- $1 $2\"; for a; do printf '%d:%s' \"${#a}\" \"$a\"; done",
                 {line.substr(0, arrow), line.substr(arrow + 4)});
        Names parsed;
        while (!words.empty()) {
            const std::size_t colon = words.find(':');
            ASSERT_NE(colon, std::string::npos) << line;
            const std::size_t length = std::stoul(words.substr(0, colon));
            parsed.push_back(words.substr(colon + 1, length));
            words.erase(0, colon + 1 + length);
        }
        ASSERT_EQ(parsed.size(), 2U) << line;
        const std::string& old = parsed[0];
        ASSERT_TRUE(old.starts_with(folder)) << line;
        const std::string name = old.substr(folder.size());
        olds.push_back(name);
        EXPECT_EQ(parsed[1], folder + ToLowerText(name)) << line;
        // Without a quote in it, the path is quoted exactly as GNU ls quotes it.
        if (old.find('\'') == std::string::npos) {
            EXPECT_EQ(Bash("LC_ALL=C.UTF-8 ls -d --quoting-style=shell-escape-always -- \"$1\"", {old}),
                      line.substr(0, line.find(" -> ")) + "\n");
        }
    }
    std::sort(olds.begin(), olds.end());
    Names expected = names;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(olds, expected);
}

TEST(CliListing, NotUtf8IsListedQuotedAndReported) {
    TempTree tree;
    tree.File(
        "Box/\xFF"
        "Odd/INNER");  // a folder whose name is not UTF-8

    const CliRun run = RunCli({"--verbose", tree.Path("Box")});

    EXPECT_EQ(run.status, 1);  // the odd folder keeps its name and is reported ...
    EXPECT_EQ(tree.Names("box"), Names{"\xFF"
                                       "Odd"});
    EXPECT_EQ(tree.Names("box/\xFF"
                         "Odd"),
              Names{"inner"});  // ... but walked
    const std::string root = tree.Root();
    EXPECT_NE(
        run.out.find("'" + root + "/box/'$'\\377''Odd/INNER' -> '" + root + "/box/'$'\\377''Odd/inner'\n"),
        std::string::npos)
        << run.out;
    EXPECT_NE(run.err.find("'" + root + "/box/'$'\\377''Odd': der Name ist kein gültiges UTF-8"),
              std::string::npos)
        << run.err;
}

TEST(CliListing, DryRunChangesNothingAndListsTheRenames) {
    TempTree tree;
    tree.File("box/README.TXT");
    tree.File("box/inner/Data.Bin");
    tree.File("box/inner/already.txt");
    tree.Link("box/LINK", "README.TXT");
    const Snapshot before = tree.Snapshot();

    for (const std::string option : {"-n", "--dry-run"}) {
        const CliRun run = RunCli({option, tree.Path("box")});
        EXPECT_EQ(run.status, 0) << option << ": " << run.err;
        EXPECT_EQ(tree.Snapshot(), before) << option;
        const std::string root = tree.Root();
        EXPECT_NE(run.out.find("'" + root + "/box/README.TXT' -> '" + root + "/box/readme.txt'\n"),
                  std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find("'" + root + "/box/LINK' -> '" + root + "/box/link'\n"), std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find("'" + root + "/box/inner/Data.Bin' -> '" + root + "/box/inner/data.bin'\n"),
                  std::string::npos)
            << run.out;
        EXPECT_EQ(run.out.find("already"), std::string::npos) << run.out;
    }
}

TEST(CliListing, DryRunReportsTheCollisionsTheRealRunWouldMeet) {
    TempTree tree;
    tree.File("box/README");
    tree.File("box/readme");
    const Snapshot before = tree.Snapshot();
    const CliRun run = RunCli({"-n", tree.Path("box")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(tree.Snapshot(), before);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("bereits vergeben"), std::string::npos) << run.err;
}

// A dry run must list exactly what the real run then does, also where folders change their
// names on the way down. Disabled until the engine walks the folders of a dry run under the
// names they still have: today it looks for them under their new names, finds nothing, and
// reports them as folders that cannot be opened (or, for a given folder, silently lists none of
// its contents).
TEST(CliListing, DryRunListsWhatTheRealRunDoes) {
    TempTree tree;
    tree.File("Box/FILE.TXT");
    tree.File("Box/Sub/DEEP/Q.Z");
    tree.File("Box/Sub/X.Y");
    // A wide folder whose collisions a dry run can only tell from the names it read: every third
    // name has its lower-case twin already, every fifth a second spelling that competes with it
    // for the same new name (whichever the listing gives first wins).
    char name[32];
    for (int i = 0; i < 3000; ++i) {
        std::snprintf(name, sizeof name, "Box/Wide/F_%04d.TXT", i);
        tree.File(name);
        if (i % 3 == 0) {
            std::snprintf(name, sizeof name, "Box/Wide/f_%04d.txt", i);
            tree.File(name);
        }
        if (i % 5 == 1) {
            std::snprintf(name, sizeof name, "Box/Wide/f_%04d.TXT", i);
            tree.File(name);
        }
    }
    const Snapshot before = tree.Snapshot();

    const CliRun dry = RunCli({"-n", "-v", tree.Path("Box")});
    EXPECT_EQ(dry.status, 1) << dry.err;
    EXPECT_EQ(tree.Snapshot(), before);

    const CliRun real = RunCli({"-v", tree.Path("Box")});
    EXPECT_EQ(real.status, 1) << real.err;
    EXPECT_EQ(dry.out, real.out);
    EXPECT_EQ(dry.err, real.err);
    EXPECT_EQ(std::count(real.err.begin(), real.err.end(), '\n'), 1 + 1000 + 600);
}

TEST(CliStatus, NothingToDoIsSuccess) {
    TempTree tree;
    tree.File("box/all/lower.txt");
    const CliRun run = RunCli({"-v", tree.Path("box")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
}

TEST(CliStatus, DotNamesAreLeftAlone) {
    TempTree tree;
    tree.File("Box/.Hidden/INSIDE");
    tree.File("Box/.Profile");
    tree.File("Box/Shown");
    const CliRun run = RunCli({tree.Path("Box")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(tree.Names("box"), (Names{".Hidden", ".Profile", "shown"}));
    EXPECT_EQ(tree.Names("box/.Hidden"), Names{"INSIDE"});
}

TEST(CliStatus, PathWithQuestionMarkIsRenamed) {
    TempTree tree;
    tree.File("Was?/NUN?.MP3");
    tree.File("OTHER.TXT");

    const CliRun run = RunCli({tree.Path("Was?"), tree.Path("OTHER.TXT")});

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(tree.Names(), (Names{"other.txt", "was?"}));
    EXPECT_EQ(tree.Names("was?"), Names{"nun?.mp3"});
}

TEST(CliStatus, MissingPathFails) {
    TempTree tree;
    tree.File("THERE.TXT");
    const std::string missing = tree.Path("Missing/NOTHERE");
    const CliRun run = RunCli({missing, tree.Path("THERE.TXT")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(tree.Names(), Names{"there.txt"});
    EXPECT_NE(run.err.find("'" + missing + "'"), std::string::npos) << run.err;
}

TEST(CliStatus, PathsThatLeadNowhereAreReportedNotPassedOver) {
    TempTree tree;
    tree.File("datei.txt");
    for (const std::string& path :
         {tree.Path("FEHLT/."), tree.Path("FEHLT/.."), tree.Path("datei.txt/."), std::string()}) {
        const CliRun run = RunCli({path});
        EXPECT_EQ(run.status, 1) << "'" << path << "'";
        EXPECT_NE(run.err.find("'" + path + "'"), std::string::npos) << run.err;
    }
}

TEST(CliStatus, ARelativePathIsShownAsGiven) {
    TempTree tree;
    tree.File("XA");
    const CliRun run = RunCli({"-v", "XA"}, tree.Root());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "'XA' -> 'xa'\n");
}

TEST(CliStatus, ListingIntoAClosedPipeIsAFailureButTheWorkIsDone) {
    // Enough lines that the listing fails in the middle of the run, not only at its end. Hard
    // links of one file are much quicker to make than as many files.
    TempTree tree;
    tree.File("base", "x");
    tree.Folder("Box");
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(::link(tree.Path("base").c_str(), tree.Path("Box/FILE " + std::to_string(i)).c_str()), 0);
    }
    CliProcess process({"-v", tree.Path("Box")}, "", /*closeOutput=*/true);
    const CliRun run = process.Finish();
    EXPECT_EQ(run.status, 1);  // not killed by SIGPIPE
    EXPECT_NE(run.err.find("konnte nicht vollständig geschrieben werden"), std::string::npos) << run.err;
    const Names names = tree.Names("box");
    EXPECT_EQ(names.size(), 3000U);
    EXPECT_EQ(names.front(), "file 0");
}

TEST(CliUsage, NoPathIsAUsageError) {
    const CliRun run = RunCli({});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("kein PFAD"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("versalo-cli --help"), std::string::npos) << run.err;

    EXPECT_EQ(RunCli({"-u", "-v"}).status, 2);
}

TEST(CliUsage, UnknownOptionsChangeNothing) {
    TempTree tree;
    tree.File("KEEP.TXT");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--frobnicate", tree.Path("KEEP.TXT")},
          std::vector<std::string>{tree.Path("KEEP.TXT"), "-q"},
          std::vector<std::string>{"-uq", tree.Path("KEEP.TXT")},
          std::vector<std::string>{"--u", tree.Path("KEEP.TXT")},  // --upper or --undo
          std::vector<std::string>{"--journal", "-u", tree.Path("KEEP.TXT")},
          std::vector<std::string>{"--upper=1", tree.Path("KEEP.TXT")}}) {
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.status, 2) << arguments.front();
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("versalo-cli --help"), std::string::npos) << run.err;
        EXPECT_EQ(tree.Names(), Names{"KEEP.TXT"});
    }
    EXPECT_NE(RunCli({"--frobnicate", "x"}).err.find("unbekannte Option '--frobnicate'"), std::string::npos);
    EXPECT_NE(RunCli({"-q", "x"}).err.find("unbekannte Option '-q'"), std::string::npos);
    EXPECT_NE(RunCli({"--u", "x"}).err.find("die Option '--u' ist mehrdeutig"), std::string::npos);
    EXPECT_NE(RunCli({"--lower=1", "x"}).err.find("die Option '--lower' erlaubt keinen Wert"),
              std::string::npos);
}

TEST(CliUsage, DoubleDashEndsTheOptions) {
    TempTree tree;
    tree.File("-V");
    tree.File("-UP");
    const CliRun run = RunCli({"--", "-V", "-UP"}, tree.Root());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(tree.Names(), (Names{"-up", "-v"}));
}

TEST(CliUsage, OptionsMayFollowPathsAndBeBundled) {
    TempTree tree;
    tree.File("box/inner.txt");
    const CliRun run = RunCli({"box", "-uv"}, tree.Root());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(tree.Names(), Names{"BOX"});
    EXPECT_EQ(tree.Names("BOX"), Names{"INNER.TXT"});
    EXPECT_NE(run.out.find("'BOX/inner.txt' -> 'BOX/INNER.TXT'"), std::string::npos) << run.out;
}

TEST(CliUsage, UnambiguousAbbreviationsOfLongOptionsWork) {
    struct Case {
        std::vector<std::string> options;
        Names expected;
    };
    for (const Case& c : {Case{{"--up"}, {"BOX"}}, Case{{"--cap"}, {"Box"}}, Case{{"--lo"}, {"box"}},
                          Case{{"--up", "--dry"}, {"bOx"}}, Case{{"-un"}, {"bOx"}},
                          Case{{"--up", "--verb", "--two"}, {"BOX"}}}) {
        TempTree tree;
        tree.File("bOx/iN.txt");
        std::vector<std::string> arguments = c.options;
        arguments.push_back("bOx");
        const CliRun run = RunCli(arguments, tree.Root());
        EXPECT_EQ(run.status, 0) << c.options.front() << ": " << run.err;
        EXPECT_EQ(tree.Names(), c.expected) << c.options.front();
    }
}

TEST(CliUsage, Version) {
    for (const std::string option : {"-V", "--version"}) {
        const CliRun run = RunCli({option});
        EXPECT_EQ(run.status, 0);
        const VersionNumbers version = ProgramVersion();
        EXPECT_EQ(run.out, "Versalo " + std::to_string(version.major) + "." + std::to_string(version.minor) +
                               "." + std::to_string(version.revision) + "\n");
        EXPECT_TRUE(std::regex_match(run.out, std::regex("Versalo [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << run.out;
        EXPECT_EQ(run.err, "");
    }
}

TEST(CliUsage, Help) {
    for (const std::string option : {"-h", "--help"}) {
        const CliRun run = RunCli({option});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(run.out.starts_with("Aufruf: versalo-cli [OPTION]... PFAD...\n")) << run.out;
        for (const char* text :
             {"-u, --upper", "-l, --lower", "-c, --capital", "-t, --two-move", "-n, --dry-run",
              "-v, --verbose", "-x, --one-file-system", "-h, --help", "-V, --version", "Rückgabewert"}) {
            EXPECT_NE(run.out.find(text), std::string::npos) << text;
        }
    }
}

TEST(CliUsage, HelpChangesNothing) {
    TempTree tree;
    tree.File("KEEP.TXT");
    EXPECT_EQ(RunCli({"--help", tree.Path("KEEP.TXT")}).status, 0);
    EXPECT_EQ(RunCli({tree.Path("KEEP.TXT"), "-V"}).status, 0);
    EXPECT_EQ(tree.Names(), Names{"KEEP.TXT"});
}

TEST(CliTree, LinksAreRenamedNotFollowed) {
    TempTree tree;
    tree.File("Target/INSIDE.TXT");
    tree.Link("Box/LOOP", "..");
    tree.Link("Box/TO TARGET", "../Target");
    tree.Link("ALONE LINK", "Target");
    const Snapshot before = tree.Snapshot();

    const CliRun run = RunCli({tree.Path("Box"), tree.Path("ALONE LINK")});

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(tree.Names(), (Names{"Target", "alone link", "box"}));
    EXPECT_EQ(tree.Names("box"), (Names{"loop", "to target"}));
    EXPECT_EQ(tree.Names("Target"), Names{"INSIDE.TXT"});  // never reached through a link
    EXPECT_EQ(Contents(tree.Snapshot()), Contents(before));
}

}  // namespace
}  // namespace versalo::test
