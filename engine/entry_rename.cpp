#include "engine/entry_rename.h"

#include "collection/paths.h"
#include "collection/text_case.h"
#include "engine/case_rules.h"
#include "engine/error_text.h"
#include "engine/folder_rename.h"

namespace versalo {

namespace {

FolderRenameResult SimulateRename(int dirfd, const std::string& oldName, const std::string& newName,
                                  std::unordered_set<std::string>* names) {
    if (oldName == newName) {
        return {RenameStatus::kUnchanged, 0, oldName};
    }
    const bool taken = names != nullptr ? names->contains(newName) : FolderHasExactName(dirfd, newName);
    if (taken) {
        return {RenameStatus::kCollision, 0, oldName};
    }
    if (names != nullptr) {
        names->erase(oldName);
        names->insert(newName);
    }
    return {RenameStatus::kRenamed, 0, newName};
}

}  // namespace

EntryNames RenameEntry(int dirfd, const std::string& folderPath, const std::string& name, bool twoMove,
                       BatchContext& ctx, std::unordered_set<std::string>* dryRunNames) {
    if (!IsValidUtf8(name)) {
        ctx.skipped.Add(JoinPath(folderPath, name),
                        "der Name ist kein gültiges UTF-8 und bleibt, wie er ist");
        return {name, name};
    }
    const std::string newName = ConvertName(name);
    const FolderRenameResult result = ctx.dryRun ? SimulateRename(dirfd, name, newName, dryRunNames)
                                                 : RenameInFolder(dirfd, name, newName, twoMove);
    switch (result.status) {
        case RenameStatus::kRenamed:
            ++ctx.renamed;
            if (ctx.listener != nullptr) {
                ctx.listener->Renamed({folderPath, name, newName});
            }
            break;
        case RenameStatus::kUnchanged:
            ++ctx.unchanged;
            break;
        case RenameStatus::kCollision:
            ctx.skipped.Add(JoinPath(folderPath, name),
                            "der neue Name '" + PrintablePath(newName) + "' ist bereits vergeben");
            break;
        case RenameStatus::kFailed:
            ctx.skipped.Add(JoinPath(folderPath, name), ErrorText(result.error));
            break;
        case RenameStatus::kStranded:
            ctx.skipped.Add(JoinPath(folderPath, name), StrandedReason(result.currentName));
            break;
    }
    return {ctx.dryRun ? name : result.currentName, result.currentName};
}

}  // namespace versalo
