#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/batch_host.h"
#include "engine/folder_identity.h"
#include "engine/undo.h"

namespace versalo {

// The undo journal of the command line: JSON Lines, one object per line, readable by any JSON
// tool. Each run starts with a header line (always at the start of a line):
//   {"journal":"versalo","format":2,"version":"2.6.5"}
// Before the first rename in a folder comes a folder line: a number for the folder within the
// run, its canonical path at the time (absolute, no "." or "..", no symbolic link) and its device
// and inode numbers:
//   {"folder":1,"path":"/home/anna/Fotos","dev":2049,"ino":1311}
// then one line per rename, written and handed to the system before the rename is made, naming
// the folder line, the entry's inode number (it lies on the folder's device), old and new name:
//   {"folder":1,"ino":1377,"old":"IMG_01.JPG","new":"img_01.jpg"}
// A folder inside the folder of an earlier folder line of the run names that line and its own
// name instead of its whole path, so that a deep tree does not repeat long paths:
//   {"folder":2,"in":1,"name":"2024","dev":2049,"ino":1390}
// A rename line belongs to the nearest folder line above it, which carries its number.
// Names and paths that are valid UTF-8 are plain JSON strings. One that is not (Linux names are
// bytes) gets a readable form with each odd byte as \xNN text, and its exact bytes in hexadecimal
// beside it: "old":"Caf\\xE9","old_hex":"436166e9" (likewise "new_hex", "path_hex").
//
// The earlier format, which --undo still reads: a header without "format", then lines
// {"folder":"/abs/path","old":"...","new":"..."} with the folder repeated and every byte of a
// string written as one character (printable ASCII as itself, any other byte as \u00XX).

// Writes the journal of one run, appending to the file.
class JournalWriter : public RenameListener {
public:
    explicit JournalWriter(const std::string& path);
    ~JournalWriter() override;
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // False when the file could not be opened or a line could not be written; Error() says why.
    bool Ok() const { return m_error == 0; }
    int Error() const { return m_error; }
    // True once the journal file itself was met among the entries to rename, and left alone.
    bool LeftItselfOut() const { return m_leftItselfOut; }

    BeforeRename Renaming(const RenameStep& step) override;
    void Renamed(const RenameStep& /*step*/) override {}

private:
    bool WriteLine(const std::string& line);
    // The folder line for the open folder dirfd, which the next rename lines belong to.
    bool WriteFolderLine(int dirfd);
    int m_fd = -1;
    int m_error = 0;
    dev_t m_dev = 0;  // the journal file itself
    ino_t m_ino = 0;
    bool m_leftItselfOut = false;
    CanonicalFolders m_folders;
    FolderIdentity m_folder;  // of the last folder line
    unsigned long m_folderNumber = 0;
    std::string m_chainPath;
    std::vector<std::pair<unsigned long, std::size_t>> m_chain;  // folder line, length of its path
};

// Reads a journal from its end, newest rename first, in bounded memory (a block and the line at
// hand). A line that cannot be used (cut off by a full disk or a kill, damaged, or naming a
// folder line that is missing) is handed out as a problem and the rest is read on.
class JournalReader : public UndoSource {
public:
    ~JournalReader() override;
    // False with a German message when the file cannot be read or is no journal of Versalo.
    bool Open(const std::string& path, std::string& error);
    Next Read(UndoStep& step, SkippedEntry& problem) override;
    double Percent() const override;

    // A folder line as read (public only for the reader's helpers).
    struct FolderLine {
        unsigned long in = 0;  // the folder line it lies in, or 0 when text is a whole path
        std::string text;      // its name, or its whole path
        dev_t dev = 0;
        ino_t ino = 0;
        off_t start = 0;
    };

private:
    // The line before position end (exclusive; the newline that ends it is not part of it),
    // with where it starts. False at the start of the file.
    bool LineBefore(off_t end, std::string& line, off_t& start) const;
    // What a non-empty line starting at start gives; nothing when it only changes what the
    // reader knows (a header, a folder line) and reading goes on.
    std::optional<Next> Interpret(const std::string& line, off_t start, UndoStep& step,
                                  SkippedEntry& problem);
    bool FindFolderLine(unsigned long number, off_t before, bool nearest, FolderLine& found) const;
    bool FindFolder(unsigned long number, off_t before, FolderIdentity& folder);
    // When folder line number is on the chain: the chain ends with it then.
    bool CutChainAt(unsigned long number);
    SkippedEntry Problem(std::size_t lineNumber, const std::string& reason) const;

    std::string m_path;
    int m_fd = -1;
    off_t m_end = 0;  // lines before this position are still to be read
    bool m_atStart = false;
    std::size_t m_lines = 0;
    std::size_t m_lineNumber = 0;  // of the line read last
    // The folder line the rename lines at hand belong to, and where it starts.
    bool m_haveFolder = false;
    unsigned long m_folderNumber = 0;
    FolderIdentity m_folder;
    // The folders on the path found last, outermost first, with the length of their path.
    struct ChainFolder {
        unsigned long number;
        dev_t dev;
        ino_t ino;
        std::size_t length;
    };
    std::string m_chainPath;
    std::vector<ChainFolder> m_chain;
};

}  // namespace versalo
