#include "engine/undo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <unordered_map>

#include "engine/batch_context.h"
#include "engine/batch_cycle.h"
#include "engine/case_rules.h"
#include "engine/entry_rename.h"
#include "engine/error_text.h"
#include "engine/folder_listing.h"
#include "engine/folder_rename.h"
#include "engine/paths.h"
#include "engine/skip_report.h"
#include "engine/sys.h"
#include "engine/text_case.h"

namespace versalo {

BeforeRename UndoRecord::Renaming(const RenameStep& step) {
    m_pending = {};
    m_pending.oldName = step.oldName;
    m_pending.newName = step.newName;
    m_pending.locale = CaseLocale();
    m_pending.rule = m_rule;
    m_pending.scope = m_scope;
    m_pending.temporariesRecorded = true;
    struct stat folder {};
    // Renames come folder by folder: the folder's path is worked out once for each.
    const bool sameFolder = ::fstat(step.dirfd, &folder) == 0 && m_haveFolder &&
                            folder.st_dev == m_folder.dev && folder.st_ino == m_folder.ino;
    if (!sameFolder) {
        Result<FolderIdentity> identity = m_folders.Identify(step.dirfd);
        m_haveFolder = static_cast<bool>(identity);
        m_folder = std::move(identity.value);
        m_fsid = FileSystemId(step.dirfd);
        m_inodesLast = m_lifetime.Lasting(step.dirfd, folder.st_dev);
    }
    const Result<EntryStatus> found = StatEntry(step.dirfd, step.oldName);
    const EntryStatus& entry = found.value;
    if (found && m_haveFolder) {
        if (S_ISDIR(entry.mode)) {
            m_folders.FolderMoving(entry.dev, entry.ino);
        }
        m_pending.folder = m_folder.path;
        m_pending.identified = true;
        m_pending.folderDev = m_folder.dev;
        m_pending.folderIno = m_folder.ino;
        m_pending.ino = entry.ino;
        m_pending.fsid = m_fsid;
        m_pending.hasBirth = entry.hasBirth;
        m_pending.birth = entry.birth;
        m_pending.inodesLast = m_inodesLast;
        m_pending.hasSizeTime = !m_inodesLast && S_ISREG(entry.mode);
        m_pending.size = entry.size;
        m_pending.modified = entry.modified;
        m_havePending = true;
    } else {
        m_havePending = false;  // the rename will fail, or the folder has no path: nothing to keep
    }
    return BeforeRename::kGo;
}

BeforeRename UndoRecord::Temporary(const RenameStep& step, const std::string& temporaryName) {
    if (m_havePending && step.oldName == m_pending.oldName && step.newName == m_pending.newName) {
        m_pending.temporaries.push_back(temporaryName);
    }
    return BeforeRename::kGo;
}

void UndoRecord::Renamed(const RenameStep& step) {
    if (m_havePending && step.oldName == m_pending.oldName && step.newName == m_pending.newName) {
        m_steps.push_back(std::move(m_pending));
    }
    m_havePending = false;
}

namespace {

// True when newName is what the run's case rule, in the run's locale, makes of oldName. Where the
// rule was not recorded (an earlier journal, the window's memory): one of the three rules, in the
// recorded or the present locale. Undo takes back nothing else: neither a line that would turn
// "shadow-moved" into "passwd" nor one that gives a look-alike ("maße.txt" for "masse.txt").
bool ProducedByRule(const UndoStep& step) {
    if (step.oldName == step.newName || !IsValidUtf8(step.oldName) || !IsValidUtf8(step.newName)) {
        return false;
    }
    if (step.rule) {
        return RuleMakes(step.oldName, step.newName, *step.rule, step.scope, step.locale);
    }
    for (const CaseRule rule : {CaseRule::kUpper, CaseRule::kLower, CaseRule::kInitialCapital}) {
        if (ConvertName(step.oldName, rule) == step.newName ||
            (!step.locale.empty() && ConvertName(step.oldName, rule, step.locale) == step.newName)) {
            return true;
        }
    }
    return false;
}

std::string NotProducedReason(const UndoStep& step, const BatchContext& ctx) {
    std::string reason = ctx.Quoted(step.oldName) + " und " + ctx.Quoted(step.newName) +
                         " sind keine Schreibweisen desselben Namens ";
    if (step.rule) {
        reason += std::string("nach der Regel des Laufs (") + CaseRuleText(*step.rule) +
                  (step.scope.part == NamePart::kNameOnly        ? ", nur der Name"
                   : step.scope.part == NamePart::kExtensionOnly ? ", nur die Endung"
                                                                 : "") +
                  (step.locale.empty() ? "" : ", Gebietsschema " + ctx.Quoted(step.locale)) + ")";
    } else {
        reason += "nach einer der drei Regeln";
    }
    return reason + " (etwa ein ähnlich aussehender Name); nicht zurückgenommen";
}

std::string FolderUnreachable(std::error_code error) {
    if (error == std::errc::too_many_symbolic_link_levels || error == std::errc::not_a_directory) {
        return "der Ordner ist nicht mehr erreichbar, ohne einer symbolischen Verknüpfung zu folgen; "
               "nichts geändert";
    }
    return "der Ordner ist nicht erreichbar: " + ErrorText(error);
}

// How an entry compares with the recorded one.
enum class Match {
    kSame,
    kOtherInode,
    kOtherBirth,     // the inode number was given to a newer entry
    kOtherSizeTime,  // where inode numbers do not last: another size, time or kind of entry
    kUnknowable,     // inode numbers do not last, and the journal has nothing else to go by
};

Match Compare(const UndoStep& step, bool lasting, const EntryStatus& status) {
    if (lasting) {
        if (status.ino != step.ino) {
            return Match::kOtherInode;
        }
        return step.hasBirth && status.hasBirth && status.birth != step.birth ? Match::kOtherBirth
                                                                              : Match::kSame;
    }
    if (!step.inodesLast) {  // recorded: a file by size and time, anything else by kind and name
        if (step.hasSizeTime) {
            return S_ISREG(status.mode) && status.size == step.size && status.modified == step.modified
                       ? Match::kSame
                       : Match::kOtherSizeTime;
        }
        return S_ISREG(status.mode) ? Match::kOtherSizeTime : Match::kSame;
    }
    // An earlier journal on a file system found not to keep its numbers: a matching number is
    // what the run saw in the same mount; any other tells nothing either way.
    return status.ino == step.ino ? Match::kSame : Match::kUnknowable;
}

constexpr const char* kNumbersDoNotLast =
    "auf diesem Dateisystem (FAT, exFAT) bleiben Inode-Nummern nicht über ein erneutes Einhängen "
    "erhalten";

std::string MismatchReason(Match match, bool otherDevice) {
    switch (match) {
        case Match::kOtherBirth:
            return "unter dem neuen Namen steht inzwischen ein anderer Eintrag als der umbenannte (die "
                   "Inode-Nummer wurde neu vergeben: andere Entstehungszeit); er bleibt, wie er ist";
        case Match::kOtherSizeTime:
            return std::string(kNumbersDoNotLast) +
                   ", und der Eintrag unter dem neuen Namen hat nicht mehr die Größe und Änderungszeit "
                   "des umbenannten; er bleibt, wie er ist";
        case Match::kUnknowable:
            return std::string(kNumbersDoNotLast) +
                   ", und das Journal nennt weder Größe noch Änderungszeit: der Eintrag ist nicht sicher "
                   "wiederzuerkennen und bleibt, wie er ist";
        default:
            return otherDevice ? "der Datenträger hat eine andere Gerätenummer als beim Umbenennen (neu "
                                 "eingesteckt?), und der Eintrag ist nicht mehr derselbe; nichts geändert"
                               : "unter dem neuen Namen steht inzwischen ein anderer Eintrag als der "
                                 "umbenannte; er bleibt, wie er ist";
    }
}

// The temporary names of the folder undo looked into last, by inode number, for journals from
// before temporary names were written down: a run killed between the two moves of a rename left
// its entry under one. Only names exactly as Versalo makes them count; a folder is read once,
// however many of its entries are missing.
class TemporaryNames {
public:
    bool Find(int dirfd, const std::string& folder, ino_t ino, std::string& name) {
        if (folder != m_folder) {
            m_folder = folder;
            m_names.clear();
            const FolderListing listing = ReadFolder(dirfd).value;  // unreadable: no names to find
            for (std::size_t index = 0; index < listing.Count(); ++index) {
                const std::string candidate(listing.Name(index));
                if (IsTemporaryName(candidate)) {
                    if (const Result<struct stat> status = StatNoFollow(dirfd, candidate.c_str())) {
                        m_names.emplace(status.value.st_ino, candidate);
                    }
                }
            }
        }
        const auto found = m_names.find(ino);
        if (found == m_names.end()) {
            return false;
        }
        name = std::move(found->second);
        m_names.erase(found);
        return true;
    }

private:
    std::string m_folder;
    std::unordered_map<ino_t, std::string> m_names;
};

// True when the folder lists both names exactly (not one entry found under two spellings, as a
// file system that ignores case answers).
bool BothListed(int dirfd, const std::string& first, const std::string& second) {
    const FolderListing names = ReadFolder(dirfd, /*withDotNames=*/true).value;
    return names.contains(first) && names.contains(second);
}

struct UndoState {
    // Folders by their absolute path, never through a symbolic link, the folders of the last path
    // kept open: consecutive steps mostly lie in the same folder or close to it. Undo renames only
    // in the last folder opened, never in one above it, so what is kept stays valid.
    FolderChain folders{/*noFollow=*/true, /*keep=*/true};
    TemporaryNames temporaries;
    InodeLifetime lifetime;
};

// The folder of a step as undo found it: its descriptor (owned by UndoState's chain); lasting:
// inode numbers can be trusted there; otherDevice: the folder has the recorded inode, but another
// device number and no file system identity to tell.
struct StepPlace {
    int dirfd;
    bool lasting = true;
    bool otherDevice = false;
};

// The folder of a step, reached from the root without following a link and, where recorded,
// checked to be the one the rename was made in; nothing when it is not (the step is reported).
std::optional<StepPlace> StepFolder(const UndoStep& step, const std::string& path, UndoState& state,
                                    BatchContext& ctx) {
    const Result<int> folder = step.folder.starts_with('/')
                                   ? state.folders.Open(step.folder)
                                   : Result<int>{-1, std::make_error_code(std::errc::invalid_argument)};
    if (!folder) {
        ctx.skipped.Add(path, FolderUnreachable(folder.error));
        return std::nullopt;
    }
    const int dirfd = folder.value;
    StepPlace place{dirfd};
    if (!step.identified) {
        return place;
    }
    struct stat status {};
    if (::fstat(dirfd, &status) != 0) {
        ctx.skipped.Add(path, FolderUnreachable(LastError()));
        return std::nullopt;
    }
    place.lasting = step.inodesLast && state.lifetime.Lasting(dirfd, status.st_dev);
    if (place.lasting && status.st_ino != step.folderIno) {
        ctx.skipped.Add(path,
                        "der Ordner ist nicht mehr der, in dem umbenannt wurde (andere Inode-Nummer); "
                        "nichts geändert");
        return std::nullopt;
    }
    // A disk plugged in again may come back under another device number: its file system's
    // identity tells it apart from another disk numbered the same way. Without one, the inode
    // numbers of folder and entry must do. FAT and exFAT derive it from the device number, which
    // a disk plugged in again need not get back; there name, size and time decide.
    if (step.fsid != 0 && step.inodesLast) {
        if (FileSystemId(dirfd) != step.fsid) {
            ctx.skipped.Add(path,
                            "der Ordner liegt auf einem anderen Dateisystem als beim Umbenennen "
                            "(andere Kennung des Dateisystems); nichts geändert");
            return std::nullopt;
        }
    } else {
        place.otherDevice = place.lasting && status.st_dev != step.folderDev;
    }
    return place;
}

void Unlink(int dirfd, const std::string& folder, const std::string& name, BatchContext& ctx,
            const std::string& what) {
    if (!ctx.dryRun && ::unlinkat(dirfd, name.c_str(), 0) != 0) {
        ctx.skipped.Add(JoinPath(folder, name),
                        what + " kann nicht entfernt werden: " + ErrorText(LastError()));
    }
}

// An entry that kept its old name and also has the new one (or a temporary one) recorded for it:
// a move by link and unlink stopped between the two. The extra name goes.
bool ExtraName(const EntryStatus& kept, const EntryStatus& extra) {
    return kept.dev == extra.dev && kept.ino == extra.ino && extra.links >= 2;
}

// Gives the entry under step.newName its old name back; in a dry run, the outcome its folder's
// names foresee.
FolderRenameResult MoveBack(const UndoStep& step, int dirfd, BatchContext& ctx) {
    if (!ctx.dryRun) {
        return RenameInFolder(dirfd, step.newName, step.oldName, /*twoMove=*/false);
    }
    FolderListing& names = ctx.NamesOf(dirfd, step.folder);
    if (names.contains(step.oldName)) {
        return {RenameStatus::kCollision, std::make_error_code(std::errc::file_exists), step.newName, {}};
    }
    names.Rename(step.newName, step.oldName);
    return {RenameStatus::kRenamed, {}, step.oldName, {}};
}

// Takes back one step of a journal that identifies its entries; the outcome goes into ctx.
void UndoIdentified(const UndoStep& step, int dirfd, bool lasting, bool otherDevice, UndoState& state,
                    BatchContext& ctx) {
    const std::string taken = "der alte Name " + ctx.Quoted(step.oldName) + " ist inzwischen vergeben";
    const Result<EntryStatus> newFound = StatEntry(dirfd, step.newName);
    const Result<EntryStatus> oldFound = StatEntry(dirfd, step.oldName);
    const EntryStatus& atNew = newFound.value;
    const EntryStatus& atOld = oldFound.value;
    const bool newExists = static_cast<bool>(newFound);
    const Match newMatch = newExists ? Compare(step, lasting, atNew) : Match::kOtherInode;
    const bool atOldName = oldFound && Compare(step, lasting, atOld) == Match::kSame;
    const bool atNewName = newExists && newMatch == Match::kSame;

    // The temporary names the journal recorded for this rename (an earlier journal: the one the
    // folder holds the entry under, in exactly Versalo's pattern).
    std::vector<std::string> temporaries = step.temporaries;
    std::string found;
    if (!step.temporariesRecorded && lasting && !atNewName && !atOldName &&
        state.temporaries.Find(dirfd, step.folder, step.ino, found)) {
        temporaries.push_back(std::move(found));
    }
    std::string entryTemporary;
    EntryStatus atTemporary;
    for (const std::string& temporary : temporaries) {
        if (!IsTemporaryName(temporary) || temporary == entryTemporary) {
            continue;
        }
        // Only the entry itself: the program never makes a file under a temporary name, so any
        // other entry there is another program's.
        const Result<EntryStatus> status = StatEntry(dirfd, temporary);
        if (status && Compare(step, lasting, status.value) == Match::kSame && entryTemporary.empty()) {
            entryTemporary = temporary;
            atTemporary = status.value;
        }
    }
    if (!entryTemporary.empty()) {
        if ((atNewName && ExtraName(atNew, atTemporary)) || (atOldName && ExtraName(atOld, atTemporary))) {
            Unlink(dirfd, step.folder, entryTemporary, ctx, "der zweite, vorläufige Name des Eintrags");
        } else {
            // Stopped between the moves of a rename: the entry waits under its temporary name.
            RecordOutcome(ctx, step.folder, entryTemporary, step.oldName,
                          ctx.dryRun ? FolderRenameResult{RenameStatus::kRenamed, {}, step.oldName, {}}
                                     : RenameInFolder(dirfd, entryTemporary, step.oldName, /*twoMove=*/false),
                          taken);
            return;
        }
    }
    if (atNewName) {
        FolderRenameResult result{RenameStatus::kRenamed, {}, step.oldName, {}};
        if (atOldName && ExtraName(atOld, atNew) && BothListed(dirfd, step.oldName, step.newName)) {
            // Stopped between link and unlink: the old name is there already, the new one goes.
            if (!ctx.dryRun && ::unlinkat(dirfd, step.newName.c_str(), 0) != 0) {
                result = {RenameStatus::kFailed, LastError(), step.newName, {}};
            }
        } else {
            result = MoveBack(step, dirfd, ctx);
        }
        RecordOutcome(ctx, step.folder, step.newName, step.oldName, result, taken);
    } else if (atOldName) {
        // Still (or again) under its old name: the rename was written down but never made (the
        // run was stopped in between), or it has been taken back already. Nothing to do.
    } else if (newExists) {
        ctx.skipped.Add(JoinPath(step.folder, step.newName), MismatchReason(newMatch, otherDevice));
    } else {
        ctx.skipped.Add(JoinPath(step.folder, step.newName), ErrorText(newFound.error));
    }
}

// Takes back one step of the earliest journal format, which names folders by path only.
void UndoByName(const UndoStep& step, int dirfd, BatchContext& ctx) {
    const Result<struct stat> atNewName = StatNoFollow(dirfd, step.newName.c_str());
    if (!atNewName) {
        // Still (or again) under its old name: nothing to do.
        if (atNewName.error != std::errc::no_such_file_or_directory ||
            !StatNoFollow(dirfd, step.oldName.c_str())) {
            ctx.skipped.Add(JoinPath(step.folder, step.newName), ErrorText(atNewName.error));
        }
        return;
    }
    const std::string taken = "der alte Name " + ctx.Quoted(step.oldName) + " ist inzwischen vergeben";
    RecordOutcome(ctx, step.folder, step.newName, step.oldName, MoveBack(step, dirfd, ctx), taken);
}

// Takes back one step; the outcome goes into ctx.
void UndoOne(const UndoStep& step, UndoState& state, BatchContext& ctx) {
    const std::string path = JoinPath(step.folder, step.newName);
    if (!ProducedByRule(step)) {
        ctx.skipped.Add(path, NotProducedReason(step, ctx));
        return;
    }
    const std::optional<StepPlace> place = StepFolder(step, path, state, ctx);
    if (!place) {
        return;
    }
    if (step.identified) {
        UndoIdentified(step, place->dirfd, place->lasting, place->otherDevice, state, ctx);
    } else {
        UndoByName(step, place->dirfd, ctx);
    }
}

class MemorySource : public UndoSource {
public:
    explicit MemorySource(const std::vector<UndoStep>& steps) : m_steps(steps), m_left(steps.size()) {}
    Next Read(UndoStep& step, SkippedEntry& /*problem*/) override {
        if (m_left == 0) {
            return Next::kEnd;
        }
        step = m_steps[--m_left];
        return Next::kStep;
    }
    double Percent() const override { return versalo::Percent(m_steps.size() - m_left, m_steps.size()); }

private:
    const std::vector<UndoStep>& m_steps;
    std::size_t m_left;
};

}  // namespace

BatchResult UndoRenames(UndoSource& source, BatchHost& host, const BatchOptions& options) {
    BatchResult result;
    EnterBusyState(host, result);
    BatchContext ctx(host, options);
    UndoState state;
    int shownPercent = 0;
    UndoStep step;
    SkippedEntry problem;
    for (std::size_t done = 1; !ctx.Stopped(); ++done) {
        const UndoSource::Next next = source.Read(step, problem);
        if (next == UndoSource::Next::kEnd) {
            break;
        }
        if (next == UndoSource::Next::kProblem) {
            ctx.skipped.Add(std::move(problem.path), std::move(problem.reason));
        } else {
            UndoOne(step, state, ctx);
        }
        ctx.EntryDone();
        // Undo goes entry by entry, not item by item: show each whole percent and let the window
        // breathe every few dozen entries, so that a large undo stays fast and can be stopped.
        const double share = source.Percent();
        if (static_cast<int>(share) != shownPercent) {
            shownPercent = static_cast<int>(share);
            host.SetProgress(static_cast<float>(share));
        }
        if (done % 64 == 0) {
            host.ProcessEvents();
        }
    }
    host.SetProgress(100.0F);
    host.ProcessEvents();

    FinishBatch(host, ctx, result);
    return result;
}

BatchResult UndoRenames(const std::vector<UndoStep>& steps, BatchHost& host, const BatchOptions& options) {
    MemorySource source(steps);
    return UndoRenames(source, host, options);
}

}  // namespace versalo
