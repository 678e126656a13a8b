#include "cli/rename_listing.h"

#include <string>

#include "engine/paths.h"
#include "engine/skip_report.h"

namespace versalo::cli {

BeforeRename RenameFanOut::Renaming(const RenameStep& step) {
    for (RenameListener* listener : m_listeners) {
        if (const BeforeRename answer = listener->Renaming(step); answer != BeforeRename::kGo) {
            return answer;
        }
    }
    return BeforeRename::kGo;
}

BeforeRename RenameFanOut::Temporary(const RenameStep& step, const std::string& temporaryName) {
    for (RenameListener* listener : m_listeners) {
        if (const BeforeRename answer = listener->Temporary(step, temporaryName);
            answer != BeforeRename::kGo) {
            return answer;
        }
    }
    return BeforeRename::kGo;
}

void RenameFanOut::Renamed(const RenameStep& step) {
    for (RenameListener* listener : m_listeners) {
        listener->Renamed(step);
    }
}

void RenameListing::Renamed(const RenameStep& step) {
    if (!m_ok) {
        return;
    }
    std::string line;
    line.reserve(2 * step.folder.size() + step.oldName.size() + step.newName.size() + 12);
    line += ShellQuoted(JoinPath(step.folder, step.oldName));
    line += " -> ";
    line += ShellQuoted(JoinPath(step.folder, step.newName));
    line += '\n';
    if (std::fwrite(line.data(), 1, line.size(), m_out) != line.size()) {
        m_ok = false;
    }
}

bool RenameListing::Flush() {
    if (m_ok && std::fflush(m_out) != 0) {
        m_ok = false;
    }
    return m_ok;
}

}  // namespace versalo::cli
