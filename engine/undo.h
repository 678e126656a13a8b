#pragma once

#include <cstddef>
#include <vector>

#include "engine/batch_host.h"
#include "engine/drop_batch.h"

namespace versalo {

// Keeps, in order, every rename one batch made: what undo needs to take it back.
class UndoRecord : public RenameListener {
public:
    void Renamed(const RenameStep& step) override { m_steps.push_back(step); }
    void Clear() { m_steps.clear(); }
    const std::vector<RenameStep>& Steps() const { return m_steps; }
    std::size_t Count() const { return m_steps.size(); }
    bool Empty() const { return m_steps.empty(); }

private:
    std::vector<RenameStep> m_steps;
};

// Takes back the given renames, newest first, each with the same no-replace rules as a batch
// (two moves where the file system ignores case). A step whose renamed entry is gone, or whose
// old name has been taken meanwhile, is skipped and reported; nothing is overwritten. Runs like a
// drop batch: busy state, progress, events, the user may quit, beep, then the summary. The
// listener is told of every rename the undo makes (from the step's new name back to its old one).
BatchResult UndoRenames(const std::vector<RenameStep>& steps, BatchHost& host,
                        const BatchOptions& options = {});

}  // namespace versalo
