#pragma once

#include <cstddef>
#include <string>
#include <system_error>
#include <vector>

#include "engine/batch_host.h"

namespace versalo::cli {

// Passes every rename on to several listeners, so that the listing on standard output and
// anything else that wants to know (a journal of the renames, for instance) can be told at once.
class RenameFanOut : public RenameListener {
public:
    void Add(RenameListener* listener) { m_listeners.push_back(listener); }
    bool Empty() const { return m_listeners.empty(); }
    // The first listener that does not say go decides.
    BeforeRename Renaming(const RenameStep& step) override;
    BeforeRename Temporary(const RenameStep& step, const std::string& temporaryName) override;
    void Renamed(const RenameStep& step) override;

private:
    std::vector<RenameListener*> m_listeners;
};

// Writes each rename as one line "'old path' -> 'new path'", each path quoted for the shell
// (ShellQuoted): a path can be pasted back into a shell, and no name can write a control
// sequence to the terminal or split a line. (The journal is the record for other programs.)
//
// The lines go straight to the descriptor, not through stdio: to a terminal line by line, to a
// file or a pipe in blocks of 64 KiB (one write per rename would cost more than the rename).
class RenameListing : public RenameListener {
public:
    explicit RenameListing(int fd);
    void Renamed(const RenameStep& step) override;

    // Writes out what is still buffered; false when that or an earlier write failed (the reader
    // went away, the disk is full). Nothing more is written after a failure.
    bool Flush();
    // True once a write failed, or once the reader of a pipe went away (looked at every few
    // calls, without writing): the run stops then, as with Ctrl+C.
    bool Broken();
    // Why writing failed; broken_pipe when the reader went away.
    std::error_code Error() const { return m_error; }

private:
    bool Write(const char* data, std::size_t size);

    int m_fd;
    bool m_lineByLine;  // a terminal: each line at once
    bool m_pipe;        // a pipe or socket, whose reader may go away
    std::size_t m_calls = 0;
    std::error_code m_error;
    std::string m_buffer;
};

}  // namespace versalo::cli
