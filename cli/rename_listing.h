#pragma once

#include <cstdio>
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
class RenameListing : public RenameListener {
public:
    explicit RenameListing(std::FILE* out) : m_out(out) {}
    void Renamed(const RenameStep& step) override;

    // False once a write failed (the reader went away, the disk is full); nothing more is
    // written after that.
    bool Ok() const { return m_ok; }
    // Writes out what is still buffered; false when that failed.
    bool Flush();

private:
    std::FILE* m_out;
    bool m_ok = true;
};

}  // namespace versalo::cli
