#include "engine/entry_rename.h"

#include <cerrno>
#include <climits>
#include <utility>

#include "engine/case_rules.h"
#include "engine/error_text.h"
#include "engine/paths.h"
#include "engine/sys.h"
#include "engine/text_case.h"

namespace versalo {

namespace {

// Why a case-only rename that the file system reported is not confirmed.
std::string UnconfirmedReason(const FolderRenameResult& result, const BatchContext& ctx) {
    return "das Dateisystem hat die Umbenennung gemeldet, aber " +
           (result.error == std::errc::no_such_file_or_directory
                ? "der Ordner führt den Eintrag danach unter keiner Schreibweise von " +
                      ctx.Quoted(result.currentName)
                : "der Ordner kann danach nicht gelesen werden, um die neue Schreibweise zu prüfen: " +
                      ErrorText(result.error));
}

}  // namespace

void RecordOutcome(BatchContext& ctx, const std::string& folderPath, const std::string& from,
                   const std::string& to, const FolderRenameResult& result,
                   const std::string& collisionReason) {
    switch (result.status) {
        case RenameStatus::kRenamed:
            ++ctx.renamed;
            if (ctx.listener != nullptr) {
                ctx.listener->Renamed({folderPath, from, to});
            }
            break;
        case RenameStatus::kUnchanged:
            break;
        case RenameStatus::kCollision:
            ctx.skipped.Add(JoinPath(folderPath, from), collisionReason);
            break;
        case RenameStatus::kFailed:
            ctx.skipped.Add(JoinPath(folderPath, from), ErrorText(result.error));
            break;
        case RenameStatus::kStranded:
            // The move back to the old name failed: mostly because another program took both the
            // old and the new name between the two moves; otherwise the file system's reason.
            ctx.skipped.Add(
                JoinPath(folderPath, from),
                (result.error == std::errc::file_exists
                     ? std::string("alter und neuer Name wurden währenddessen von einem anderen "
                                   "Programm belegt")
                     : "der Eintrag kann nicht unter seinen alten Namen zurück: " + ErrorText(result.error)) +
                    "; der Eintrag heißt jetzt " + ctx.Quoted(result.currentName),
                SkipKind::kStranded);
            break;
        case RenameStatus::kTwoNames:
            // A move by link and unlink: neither the name moved from nor the new one could be
            // removed again (mostly for want of the right to remove in the folder).
            ctx.skipped.Add(JoinPath(folderPath, from),
                            "die Datei heißt jetzt sowohl " + ctx.Quoted(result.secondName) + " als auch " +
                                ctx.Quoted(result.currentName) +
                                " (zwei Namen derselben Datei), da sich keiner der beiden entfernen lässt: " +
                                ErrorText(result.error),
                            SkipKind::kTwoNames);
            break;
        case RenameStatus::kUnconfirmed:
            // The file system did rename it: the listing and the window's undo must know the new
            // name, though it is not counted before its spelling is seen.
            if (ctx.listener != nullptr) {
                ctx.listener->Renamed({folderPath, from, to});
            }
            ctx.skipped.Add(JoinPath(folderPath, from), UnconfirmedReason(result, ctx),
                            SkipKind::kUnconfirmed);
            break;
        case RenameStatus::kSpellingKept:
            ctx.skipped.Add(JoinPath(folderPath, from),
                            "das Dateisystem hat die Umbenennung gemeldet, aber die Schreibweise nicht "
                            "geändert (es unterscheidet Groß- und Kleinschreibung nicht); der Eintrag heißt "
                            "weiter " +
                                ctx.Quoted(result.currentName));
            break;
        case RenameStatus::kTemporaryRefused:
            ctx.skipped.Add(JoinPath(folderPath, from),
                            "nicht umbenannt, da das Journal nicht geschrieben werden kann");
            break;
        case RenameStatus::kOpenElsewhere:
            ctx.skipped.Add(JoinPath(folderPath, from),
                            "die Datei ist unter ihrem neuen Namen in einem anderen Programm geöffnet, und "
                            "exfat-fuse würde sie beim Umbenennen verlieren; bitte die Datei schließen");
            break;
    }
}

EntryNames RenameEntry(int dirfd, const std::string& folderPath, const std::string& name, bool twoMove,
                       BatchContext& ctx, FolderListing& names, bool folder, FileSystemNotes* notes) {
    if (!IsValidUtf8(name)) {
        ctx.skipped.Add(JoinPath(folderPath, name),
                        "der Name ist kein gültiges UTF-8 und bleibt, wie er ist");
        return {name, name};
    }
    const std::string newName = ctx.Converted(name, folder);
    FolderRenameResult result;
    // The names were read a while ago; another program may have removed the entry since.
    const bool taken =
        newName != name && names.contains(newName) && (ctx.dryRun || StatNoFollow(dirfd, newName.c_str()));
    if (ctx.dryRun && newName != name && ctx.DryRunRenamed(dirfd, name)) {
        // A dropped item that the dry run has renamed already, met again by the walk of a folder
        // dropped later: the real run finds it under its new name, with nothing left to change.
        // Nor is it entered again: the real run would find everything below renamed as well.
        return {name, name, /*vanished=*/true};
    } else if (newName == name) {
        result = {RenameStatus::kUnchanged, {}, name, {}};
    } else if (taken) {
        result = {RenameStatus::kCollision, std::make_error_code(std::errc::file_exists), name, {}};
    } else if (ctx.dryRun) {
        // What the real run would hear from the file system, where a dry run can know it: a name
        // longer than a name may be on Linux.
        result = newName.size() > NAME_MAX
                     ? FolderRenameResult{RenameStatus::kFailed,
                                          std::make_error_code(std::errc::filename_too_long),
                                          name,
                                          {}}
                     : FolderRenameResult{RenameStatus::kRenamed, {}, newName, {}};
    } else {
        const BeforeRename before = ctx.listener != nullptr
                                        ? ctx.listener->Renaming({folderPath, name, newName, dirfd})
                                        : BeforeRename::kGo;
        if (before == BeforeRename::kLeaveOut) {
            return {name, name};
        }
        if (before == BeforeRename::kStop) {
            ctx.skipped.Add(JoinPath(folderPath, name),
                            "nicht umbenannt, da das Journal nicht geschrieben werden kann");
            return {name, name};
        }
        const auto ask = [&](const std::string& temporary) {
            return ctx.listener->Temporary({folderPath, name, newName, dirfd}, temporary) ==
                   BeforeRename::kGo;
        };
        RenameHelp help;
        help.notes = notes;
        if (ctx.listener != nullptr) {
            // One reference captured: the function holds it without an allocation per entry.
            help.temporary = [&ask](const std::string& temporary) { return ask(temporary); };
        }
        result = RenameInFolder(dirfd, name, newName, twoMove, help);
    }
    if (result.status == RenameStatus::kRenamed || result.status == RenameStatus::kUnconfirmed) {
        names.Rename(name, newName);
    }
    // The reason is only written out for a collision: most entries need no message at all.
    RecordOutcome(ctx, folderPath, name, newName, result,
                  result.status == RenameStatus::kCollision
                      ? "der neue Name " + ctx.Quoted(newName) + " ist bereits vergeben"
                      : std::string());
    const bool vanished =
        result.status == RenameStatus::kFailed && result.error == std::errc::no_such_file_or_directory;
    std::string existing = ctx.dryRun ? name : result.currentName;
    return {std::move(existing), std::move(result.currentName), vanished};
}

}  // namespace versalo
