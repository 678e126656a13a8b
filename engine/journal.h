#pragma once

#include <string>
#include <vector>

#include "engine/batch_host.h"

namespace versalo {

// The undo journal of the command line: one JSON object per line. The first line of each run
// names the program version:
//   {"journal":"versalo","version":"2.6.5"}
// then one line per rename, in the order made, its folder always as an absolute path (an undo
// may run from another working folder):
//   {"folder":"/home/anna/Fotos","old":"IMG_01.JPG","new":"img_01.jpg"}
// Names are bytes, not necessarily UTF-8. So that any byte survives, every string holds one
// character per byte: printable ASCII stands for itself, every other byte is written \u00XX.

// Appends each rename to the journal file as it is made, one write per line, so that a run that
// is killed still leaves every rename made before in the file.
class JournalWriter : public RenameListener {
public:
    explicit JournalWriter(const std::string& path);
    ~JournalWriter() override;
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // False when the file could not be opened or a line could not be written; error() says why.
    bool Ok() const { return m_error == 0; }
    int Error() const { return m_error; }

    void Renamed(const RenameStep& step) override;

private:
    void WriteLine(const std::string& line);
    std::string Absolute(const std::string& folder) const;
    std::string m_workingFolder;  // relative folders are written as seen from here
    // Renames come folder by folder: the last folder's escaped text is kept for the next line.
    std::string m_lastFolder;
    std::string m_lastFolderText;
    int m_fd = -1;
    int m_error = 0;
};

// Reads a journal. Returns false with a German message in error when it is not one; an
// unfinished last line (a run killed while writing it) is left out and told in warning.
bool ReadJournal(const std::string& path, std::vector<RenameStep>& steps, std::string& error,
                 std::string& warning);

// One string of the journal, escaped as described above (with the quotes).
std::string JournalString(const std::string& bytes);

}  // namespace versalo
