#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/batch_host.h"
#include "engine/case_rules.h"
#include "engine/folder_identity.h"
#include "engine/sys.h"
#include "engine/undo.h"

namespace versalo {

// The undo journal of the command line: JSON Lines, one object per line, readable by any JSON
// tool. Each run starts with a header line (always at the start of a line) naming the run's case
// rule ("upper", "lower", "initial") and the locale its case mapping used:
//   {"journal":"versalo","format":3,"version":"2.6.5","rule":"lower","locale":"de_DE"}
// Before the first rename in a folder comes a folder line: a number for the folder within the
// run, its canonical path at the time (absolute, no "." or "..", no symbolic link), its device and
// inode numbers and the file system's identity (statfs f_fsid; 0 where it has none):
//   {"folder":1,"path":"/home/anna/Fotos","dev":2049,"ino":1311,"fsid":1961009582863817807}
// Where inode numbers do not last across a mount (exfat-fuse) it says so: "inodes_last":false.
// Then one line per rename, written and handed to the system before the rename is made, naming
// the folder line, the entry's inode number (it lies on the folder's device) and birth time in
// nanoseconds where the file system has one, old and new name:
//   {"folder":1,"ino":1377,"birth":1733540000123456789,"old":"IMG_01.JPG","new":"img_01.jpg"}
// (where inode numbers do not last, a file's "size" and "modified" time in nanoseconds too).
// Right below it, before a temporary name is created or used for that rename, the name:
//   {"temporary":"ZX3k9wq0ab.tmp"}
// A folder inside the folder of an earlier folder line of the run names that line and its own
// name instead of its whole path, so that a deep tree does not repeat long paths:
//   {"folder":2,"in":1,"name":"2024","dev":2049,"ino":1390,"fsid":1961009582863817807}
// A rename line belongs to the nearest folder line above it, which carries its number. Folder
// lines of a run are numbered 1, 2, 3 ... in the order written.
// Names and paths that are valid UTF-8 are plain JSON strings. One that is not (Linux names are
// bytes) gets a readable form with each odd byte as \xNN text, and its exact bytes in hexadecimal
// beside it: "old":"Caf\\xE9","old_hex":"436166e9" (likewise "new_hex", "path_hex").
// A run and an undo hold an exclusive lock (flock) on the journal from start to end.
//
// Earlier formats, which --undo still reads: format 2 had no rule, locale, file system identity,
// birth time or temporary names; the first had a header without "format", then lines
// {"folder":"/abs/path","old":"...","new":"..."} with the folder repeated and every byte of a
// string written as one character (printable ASCII as itself, any other byte as \u00XX).

// The longest line a journal holds; a longer one is damaged or made up, and passed over.
inline constexpr std::size_t kJournalLineLimit = 1024 * 1024;

// Writes the journal of one run, appending to the file.
class JournalWriter : public RenameListener {
public:
    // scope: the run's name part and kept spellings, which the header records where they are not
    // the defaults ("part":"name" or "extension", "keep":["DVD","McCartney"]).
    JournalWriter(const std::string& path, CaseRule rule, const NameScope& scope = {});
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // False when the file could not be opened or a line could not be written; Problem() says why
    // in German.
    bool Ok() const { return m_problem.empty(); }
    const std::string& Problem() const { return m_problem; }
    // True once the journal file itself was met among the entries to rename, and left alone.
    bool LeftItselfOut() const { return m_leftItselfOut; }

    BeforeRename Renaming(const RenameStep& step) override;
    BeforeRename Temporary(const RenameStep& step, const std::string& temporaryName) override;
    void Renamed(const RenameStep& /*step*/) override {}

private:
    bool WriteLine(const std::string& line);
    // The folder line for the open folder dirfd, which the next rename lines belong to.
    bool WriteFolderLine(int dirfd);
    Fd m_fd;
    std::string m_problem;
    dev_t m_dev = 0;  // the journal file itself
    ino_t m_ino = 0;
    bool m_leftItselfOut = false;
    CanonicalFolders m_folders;
    InodeLifetime m_lifetime;
    FolderIdentity m_folder;  // of the last folder line
    bool m_inodesLast = true;
    unsigned long m_folderNumber = 0;
    std::string m_chainPath;
    std::vector<std::pair<unsigned long, std::size_t>> m_chain;  // folder line, length of its path
    // The rename whose line was written last, for its temporary names.
    std::string m_lastOld;
    std::string m_lastNew;
};

// Reads a journal from its end, newest rename first. One pass forward first notes where each
// run's header and folder lines start (a few bytes per folder line); after that each line is read
// once, each folder line's fields at most once per run. A line that cannot be used (cut off by a
// full disk or a kill, damaged, too long, or naming a folder line that is missing) is handed out
// as a problem and the rest is read on. The reader holds an exclusive lock on the journal.
class JournalReader : public UndoSource {
public:
    // False with a German message when the file cannot be read, is no regular file, is in use by
    // another run or is no journal of Versalo.
    bool Open(const std::string& path, std::string& error);
    Next Read(UndoStep& step, SkippedEntry& problem) override;
    double Percent() const override;

    // A folder line as read (public only for the reader's helpers).
    struct FolderLine {
        unsigned long in = 0;  // the folder line it lies in, or 0 when text is a whole path
        std::string text;      // its name, or its whole path
        dev_t dev = 0;
        ino_t ino = 0;
        std::uint64_t fsid = 0;
        bool inodesLast = true;
    };

private:
    struct Run {
        off_t header;
        std::size_t firstFolder;  // in m_folderLines
        std::size_t folders;
    };
    struct RunInfo {
        int format = 1;
        std::optional<CaseRule> rule;
        std::string locale;
        NameScope scope;
    };
    std::error_code Index(std::string& first);
    void Classify(const char* head, std::size_t size, off_t start);
    // The line before position end (exclusive; the newline that ends it is not part of it),
    // with where it starts; tooLong when it is longer than the limit (then it is not kept).
    // The error of a failed read.
    std::error_code LineBefore(off_t end, std::string& line, off_t& start, bool& tooLong) const;
    bool LineAt(off_t start, std::string& line) const;
    // What a non-empty line starting at start gives; nothing when it only changes what the
    // reader knows (a header, a folder line, a temporary name) and reading goes on.
    std::optional<Next> Interpret(const std::string& line, off_t start, UndoStep& step,
                                  SkippedEntry& problem);
    // The run the line starting at start belongs to; false before the first header.
    bool RunAt(off_t start);
    bool FolderLineOf(unsigned long number, FolderLine& found);
    bool FindFolder(unsigned long number);
    // When folder line number is on the chain: the chain ends with it then.
    bool CutChainAt(unsigned long number);
    SkippedEntry Problem(std::size_t lineNumber, const std::string& reason) const;

    std::string m_path;
    Fd m_fd;
    off_t m_end = 0;  // lines before this position are still to be read
    bool m_atStart = false;
    std::size_t m_lines = 0;
    std::size_t m_lineNumber = 0;  // of the line read last
    std::vector<Run> m_runs;
    std::vector<off_t> m_folderLines;
    std::size_t m_run = 0;  // index into m_runs + 1; 0: none yet
    RunInfo m_runInfo;
    std::unordered_map<unsigned long, FolderLine> m_folderCache;  // of the run at hand
    std::unordered_set<unsigned long> m_broken;                   // folder lines of the run that lead to none
    std::vector<std::string> m_temporaries;  // temporary-name lines below the next rename line
    // The folder line the rename lines at hand belong to.
    bool m_haveFolder = false;
    unsigned long m_folderNumber = 0;
    // The folders on the path found last, outermost first (their numbers rise), with the length
    // of their path; the last one is the folder line at hand.
    struct ChainFolder {
        unsigned long number;
        std::size_t length;
        FolderLine identity;  // without text
    };
    std::string m_chainPath;
    std::vector<ChainFolder> m_chain;
};

}  // namespace versalo
