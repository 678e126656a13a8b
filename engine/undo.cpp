#include "engine/undo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/batch_context.h"
#include "engine/batch_cycle.h"
#include "engine/case_rules.h"
#include "engine/entry_rename.h"
#include "engine/error_text.h"
#include "engine/folder_rename.h"
#include "engine/paths.h"
#include "engine/skip_report.h"
#include "engine/text_case.h"

namespace versalo {

BeforeRename UndoRecord::Renaming(const RenameStep& step) {
    m_pending = {};
    m_pending.oldName = step.oldName;
    m_pending.newName = step.newName;
    struct stat entry {};
    struct stat folder {};
    // Renames come folder by folder: the folder's path is worked out once for each.
    const bool sameFolder = ::fstat(step.dirfd, &folder) == 0 && m_haveFolder &&
                            folder.st_dev == m_folder.dev && folder.st_ino == m_folder.ino;
    if (!sameFolder) {
        m_haveFolder = m_folders.Identify(step.dirfd, m_folder);
    }
    if (::fstatat(step.dirfd, step.oldName.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0 && m_haveFolder) {
        if (S_ISDIR(entry.st_mode)) {
            m_folders.FolderMoving(entry.st_dev, entry.st_ino);
        }
        m_pending.folder = m_folder.path;
        m_pending.identified = true;
        m_pending.folderDev = m_folder.dev;
        m_pending.folderIno = m_folder.ino;
        m_pending.ino = entry.st_ino;
        m_havePending = true;
    } else {
        m_havePending = false;  // the rename will fail, or the folder has no path: nothing to keep
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

// True when oldName and newName are two case spellings of one name: the one the case rules make
// of the other under one of the rules, or the same once both are folded (upper, then lower case),
// which also holds when the user's locale has changed in between. Undo takes back nothing else: a
// journal line that would turn "shadow-moved" into "passwd" is refused.
bool AreCaseSpellings(const std::string& oldName, const std::string& newName) {
    if (oldName == newName || !IsValidUtf8(oldName) || !IsValidUtf8(newName)) {
        return false;
    }
    for (const CaseRule rule : {CaseRule::kUpper, CaseRule::kLower, CaseRule::kInitialCapital}) {
        if (ConvertName(oldName, rule) == newName) {
            return true;
        }
    }
    return ToLowerText(ToUpperText(oldName)) == ToLowerText(ToUpperText(newName));
}

// Opens folders by their absolute path one component at a time, never following a symbolic link
// (O_NOFOLLOW on every component), and keeps the folders on the last path open: consecutive
// steps mostly lie in the same folder or close to it, and trees deeper than the path-length
// limit are reached the same way. Undo renames only in the last folder opened, never in one
// above it, so what is kept stays valid.
class NoFollowFolders {
public:
    ~NoFollowFolders() { Truncate(0); }
    // The folder's descriptor (owned here), or -1 with errno set.
    int Open(const std::string& path) {
        if (!path.starts_with('/')) {
            errno = EINVAL;
            return -1;
        }
        std::vector<std::string_view> parts = PathComponents(path);
        std::erase(parts, ".");
        if (m_chain.empty()) {
            const int root = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (root < 0) {
                return -1;
            }
            m_chain.push_back({"", root});
        }
        std::size_t common = 0;
        while (common < parts.size() && common + 1 < m_chain.size() &&
               m_chain[common + 1].name == parts[common]) {
            ++common;
        }
        Truncate(common + 1);
        for (std::size_t i = common; i < parts.size(); ++i) {
            const std::string name(parts[i]);
            const int fd =
                ::openat(m_chain.back().fd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0) {
                const int error = errno;
                Truncate(i + 1);
                errno = error;
                return -1;
            }
            m_chain.push_back({name, fd});
        }
        return m_chain.back().fd;
    }

private:
    struct Level {
        std::string name;
        int fd;
    };
    void Truncate(std::size_t size) {
        while (m_chain.size() > size) {
            ::close(m_chain.back().fd);
            m_chain.pop_back();
        }
    }
    std::vector<Level> m_chain;  // "/" first, then each component of the last path
};

std::string FolderUnreachable(int error) {
    if (error == ELOOP || error == ENOTDIR) {
        return "der Ordner ist nicht mehr erreichbar, ohne einer symbolischen Verknüpfung zu folgen; "
               "nichts geändert";
    }
    return "der Ordner ist nicht erreichbar: " + ErrorText(error);
}

bool SameEntry(int dirfd, const std::string& name, ino_t ino, struct stat& status) {
    return ::fstatat(dirfd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && status.st_ino == ino;
}

// The temporary names ("ZX...") of the folder undo looked into last: a run killed between the two
// moves of a rename leaves its entry under one. A folder is read for them only once, however many
// of its entries are missing.
class TemporaryNames {
public:
    // The temporary name under which the entry with inode ino waits in the folder, if any; the
    // name is forgotten, since it is about to be given back.
    bool Find(int dirfd, const std::string& folder, ino_t ino, std::string& name) {
        if (folder != m_folder) {
            m_folder = folder;
            m_names.clear();
            FolderListing listing;
            int error = 0;
            ReadFolder(dirfd, listing, error);
            for (std::size_t index = 0; index < listing.Count(); ++index) {
                if (listing.Name(index).starts_with(kTempPrefix)) {
                    m_names.emplace_back(listing.Name(index));
                }
            }
        }
        struct stat status {};
        for (auto found = m_names.begin(); found != m_names.end(); ++found) {
            if (SameEntry(dirfd, *found, ino, status)) {
                name = std::move(*found);
                m_names.erase(found);
                return true;
            }
        }
        return false;
    }

private:
    std::string m_folder;
    std::vector<std::string> m_names;
};

// The folder of a step, reached without following a link and, where recorded, checked to be the
// one the rename was made in; -1 when it is not (then the step is reported). otherDevice: the
// folder is the recorded one, but on another device number.
int StepFolder(const UndoStep& step, const std::string& path, NoFollowFolders& folders, BatchContext& ctx,
               bool& otherDevice) {
    const int dirfd = folders.Open(step.folder);
    if (dirfd < 0) {
        ctx.skipped.Add(path, FolderUnreachable(errno));
        return -1;
    }
    struct stat status {};
    if (step.identified && (::fstat(dirfd, &status) != 0 || status.st_ino != step.folderIno)) {
        ctx.skipped.Add(path,
                        "der Ordner ist nicht mehr der, in dem umbenannt wurde (andere Inode-Nummer); "
                        "nichts geändert");
        return -1;
    }
    // A disk plugged in again may come back under another device number; its inode numbers
    // still tell its entries apart, and both the folder's and the entry's must match.
    otherDevice = step.identified && status.st_dev != step.folderDev;
    return dirfd;
}

// A step whose new name does not hold the renamed entry (any more).
void NotUnderNewName(const UndoStep& step, int dirfd, bool atNewName, int newError, bool otherDevice,
                     TemporaryNames& temporaries, BatchContext& ctx) {
    struct stat old {};
    std::string stranded;
    if (step.identified && !ctx.dryRun && temporaries.Find(dirfd, step.folder, step.ino, stranded)) {
        // Killed between the two moves of a rename: the entry waits under its temporary name.
        RecordOutcome(ctx, step.folder, stranded, step.oldName,
                      RenameInFolder(dirfd, stranded, step.oldName, /*twoMove=*/false),
                      "der alte Name " + ctx.Quoted(step.oldName) + " ist inzwischen vergeben");
    } else if (step.identified ? SameEntry(dirfd, step.oldName, step.ino, old)
                               : (!atNewName && newError == ENOENT &&
                                  ::fstatat(dirfd, step.oldName.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0)) {
        // Still (or again) under its old name: the rename was written down but never made (the
        // run was stopped in between), or it has been taken back already. Nothing to do.
        ++ctx.unchanged;
    } else if (atNewName) {
        ctx.skipped.Add(JoinPath(step.folder, step.newName),
                        otherDevice ? "der Datenträger hat eine andere Gerätenummer als beim Umbenennen "
                                      "(neu eingesteckt?), und der Eintrag ist nicht mehr derselbe; "
                                      "nichts geändert"
                                    : "unter dem neuen Namen steht inzwischen ein anderer Eintrag als "
                                      "der umbenannte; er bleibt, wie er ist");
    } else {
        ctx.skipped.Add(JoinPath(step.folder, step.newName), ErrorText(newError));
    }
}

// Takes back one step; the outcome goes into ctx.
void UndoOne(const UndoStep& step, NoFollowFolders& folders, TemporaryNames& temporaries, BatchContext& ctx) {
    const std::string path = JoinPath(step.folder, step.newName);
    if (!AreCaseSpellings(step.oldName, step.newName)) {
        ctx.skipped.Add(path, ctx.Quoted(step.oldName) + " und " + ctx.Quoted(step.newName) +
                                  " sind keine Schreibweisen desselben Namens; nicht zurückgenommen");
        return;
    }
    bool otherDevice = false;
    const int dirfd = StepFolder(step, path, folders, ctx, otherDevice);
    if (dirfd < 0) {
        return;
    }
    struct stat status {};
    const bool atNewName = ::fstatat(dirfd, step.newName.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
    const int newError = errno;
    if (!atNewName || (step.identified && status.st_ino != step.ino)) {
        NotUnderNewName(step, dirfd, atNewName, newError, otherDevice, temporaries, ctx);
        return;
    }
    const std::string taken = "der alte Name " + ctx.Quoted(step.oldName) + " ist inzwischen vergeben";
    FolderRenameResult result{RenameStatus::kRenamed, 0, step.oldName, {}};
    if (!ctx.dryRun) {
        result = RenameInFolder(dirfd, step.newName, step.oldName, /*twoMove=*/false);
    } else if (FolderListing& names = ctx.NamesOf(dirfd, step.folder); names.contains(step.oldName)) {
        result = {RenameStatus::kCollision, EEXIST, step.newName, {}};
    } else {
        names.Rename(step.newName, step.oldName);
    }
    RecordOutcome(ctx, step.folder, step.newName, step.oldName, result, taken);
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
    double Percent() const override {
        return m_steps.empty() ? 100.0
                               : static_cast<double>(m_steps.size() - m_left) /
                                     static_cast<double>(m_steps.size()) * 100.0;
    }

private:
    const std::vector<UndoStep>& m_steps;
    std::size_t m_left;
};

}  // namespace

BatchResult UndoRenames(UndoSource& source, BatchHost& host, const BatchOptions& options) {
    BatchResult result;
    EnterBusyState(host, result);
    BatchContext ctx(host, options);
    NoFollowFolders folders;
    TemporaryNames temporaries;
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
            UndoOne(step, folders, temporaries, ctx);
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
