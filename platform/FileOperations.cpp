#include "platform/FileOperations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <cerrno>
#include <memory>
#include <vector>

#include "platform/Drives.h"
#include "platform/FileOperationSupport.h"
#include "platform/FindFile.h"
#include "platform/HostFiles.h"
#include "platform/PinnedFolder.h"
#include "platform/Trash.h"
#include "platform/TreeCopy.h"
#include "platform/TreeRemoval.h"

namespace platform {

using namespace fileops;

namespace {

void Report(const FileOperationCallbacks& callbacks, const QString& text) {
    if (callbacks.error) callbacks.error(QCoreApplication::applicationName(), text);
}

void SetStatus(FileOperationResult& result, const Progress& progress) {
    if (progress.cancelled && result.failed.isEmpty())
        result.status = FileOperationStatus::Cancelled;
    else if (!result.failed.isEmpty())
        result.status = FileOperationStatus::Failed;
}

// Each item that remains, with why, so that the user knows what is left where.
QString FailureList(const FileOperationResult& result) {
    constexpr qsizetype kShown = 10;
    const qsizetype count = result.failures.size();
    QString text = result.failures.mid(0, kShown).join(u'\n');
    if (count > kShown) text += QStringLiteral("\n... and %1 more.").arg(count - kShown);
    return text;
}

void Finish(const FileOperationCallbacks& callbacks, unsigned flags, const QString& verb,
            FileOperationResult& result, const Progress& progress) {
    SetStatus(result, progress);
    if (result.status != FileOperationStatus::Failed || (flags & NoErrorUi)) return;
    const qsizetype count = result.failures.size();
    if (count <= 1)
        return Report(callbacks, QStringLiteral("Cannot %1 %2").arg(verb, result.errorText));
    Report(callbacks, QStringLiteral("Cannot %1 %2 items; they remain:\n").arg(verb).arg(count) +
                          FailureList(result));
}

// The end of a folder move: what remains in the source, and where the rest went.
void FinishFolderMove(const FileOperationCallbacks& callbacks, unsigned flags,
                      FileOperationResult& result, const Progress& progress, const QString& source,
                      const QString& target) {
    SetStatus(result, progress);
    if (flags & NoErrorUi) return;
    const QString movedTo = QStringLiteral("What was moved is now in \"%1\".").arg(target);
    if (result.status == FileOperationStatus::Cancelled) {
        if (result.moved > 0 && callbacks.notice)
            callbacks.notice(QCoreApplication::applicationName(),
                             QStringLiteral("The move was cancelled. %1 Everything else remains "
                                            "in \"%2\".")
                                 .arg(movedTo, source));
        return;
    }
    if (result.status != FileOperationStatus::Failed) return;
    const qsizetype count = result.failures.size();
    QString text = count == 1 ? QStringLiteral("Cannot move ") + result.errorText
                              : QStringLiteral("Cannot move %1 items; they remain in \"%2\":\n")
                                        .arg(count)
                                        .arg(source) +
                                    FailureList(result);
    if (progress.cancelled)
        text += QStringLiteral(
                    "\n\nThe move was cancelled; what it had not reached remains in "
                    "\"%1\" too.")
                    .arg(source);
    if (result.moved > 0) text += QStringLiteral("\n\n") + movedTo;
    Report(callbacks, text);
}

QStringList ExpandAll(const QStringList& paths) {
    QStringList items;
    for (const QString& path : paths) {
        if (HasWildcards(path))
            items += ExpandWildcards(path);
        else
            items.append(path);
    }
    return items;
}

QString Quoted(const QStringList& items) {
    QString p = items.front();
    while (p.endsWith(u'\\')) p.chop(1);
    return u'"' + p.mid(p.lastIndexOf(u'\\') + 1) + u'"';
}

bool Confirm(const FileOperationCallbacks& callbacks, unsigned flags, const QString& caption,
             const QString& text, bool yesIsDefault) {
    if (flags & NoConfirmation) return true;
    // Nobody to ask is no consent.
    return callbacks.confirm && callbacks.confirm(caption, text, yesIsDefault);
}

// The question before an operation: one item by its name, several by their number (one and
// many hold "%1" where that goes).
bool ConfirmItems(const FileOperationCallbacks& callbacks, unsigned flags, const QString& caption,
                  const QStringList& items, const char* one, const char* many, bool yesIsDefault) {
    const QString text = items.size() == 1 ? QString::fromLatin1(one).arg(Quoted(items))
                                           : QString::fromLatin1(many).arg(items.size());
    return Confirm(callbacks, flags, caption, text, yesIsDefault);
}

// Each item pinned as it is when the operation is asked for, before any question: what the
// user is asked about is what is acted on, or nothing is. A slot that failed stays empty.
std::vector<PinnedItem> PinAll(const QStringList& items, FileOperationResult& result) {
    std::vector<PinnedItem> pinned(size_t(items.size()));
    for (qsizetype i = 0; i < items.size(); ++i) {
        QString why;
        if (!PinItem(items[i], pinned[size_t(i)], why)) {
            Fail(result, items[i], why);
            pinned[size_t(i)].parent.Close();
        }
    }
    return pinned;
}

// After the question: the item must still be the one pinned, and no mount point.
bool StillToActOn(PinnedItem& item, FileOperationResult& result) {
    if (!item.parent.IsOpen()) return false;
    QString why;
    if (!RepinUnchangedItem(item, why)) {
        Fail(result, item.path, why);
        return false;
    }
    if (item.mountPoint) {
        Fail(result, item.path, MountedText());
        return false;
    }
    return true;
}

// An item to act on with what the walk below it needs: a chain of folders from the item's own,
// and the mount points inside it.
struct Top {
    PinnedItem* item;
    std::unique_ptr<FolderChain> chain;
    std::unique_ptr<MountBarrier> mounts;

    explicit Top(PinnedItem& pinned)
        : item(&pinned),
          chain(std::make_unique<FolderChain>(pinned.parent.Descriptor(), ParentOf(pinned.host))),
          mounts(std::make_unique<MountBarrier>(pinned.parent.Descriptor(), pinned.name)) {}
};

bool IsSameOrBelow(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(Join(folder, {}));
}

// Pins the target folder, creating it (after asking, unless NoConfirmation) when it is missing.
// False when the user declined (status Declined) or it cannot be had (recorded as a failure).
bool PinTarget(const QString& targetFolder, unsigned flags, const FileOperationCallbacks& callbacks,
               PinnedFolder& target, FileOperationResult& result) {
    QString why;
    if (PinFolder(targetFolder, target, why)) return true;
    if (!PathIsMissing(targetFolder)) {
        Fail(result, targetFolder, why);
        return false;
    }
    if (!Confirm(callbacks, flags, QCoreApplication::applicationName(),
                 QStringLiteral("The folder \"%1\" does not exist. Do you want to create it?")
                     .arg(targetFolder),
                 /*yesIsDefault=*/true)) {
        result.status = FileOperationStatus::Declined;
        return false;
    }
    if (PinFolder(targetFolder, target, why, /*createMissing=*/true)) return true;
    Fail(result, targetFolder, why);
    return false;
}

// Moves the entries of the folders in sources into the pinned target. Items that cannot go into
// the target (it is the item itself or lies inside it) are refused.
void MoveEntries(std::vector<PinnedItem>& items, PinnedFolder& target, unsigned flags,
                 const FileOperationCallbacks& callbacks, Progress& progress,
                 FileOperationResult& result) {
    const QString targetReal = RealPathOf(target.Descriptor());
    std::vector<Top> tops;
    for (PinnedItem& item : items) {
        if (!StillToActOn(item, result)) continue;
        const QString real = JoinName(RealPathOf(item.parent.Descriptor()), item.name);
        if (IsSameOrBelow(targetReal, real) || RealPathOf(item.parent.Descriptor()) == targetReal) {
            Fail(result, item.path,
                 QStringLiteral("it cannot be moved into itself or onto itself"));
            continue;
        }
        Top top(item);
        if (item.identity.device != target.Identity().device)
            CountEntry(*top.chain, item.name, *top.mounts, progress);
        else
            progress.state.totalEntries += 1;
        tops.push_back(std::move(top));
    }
    FolderChain into(target.Descriptor(), target.HostPath());
    Mover mover(callbacks, flags, progress, result);
    for (Top& top : tops) mover.MoveInto(*top.chain, into, top.item->name, *top.mounts);
}

}  // namespace

QStringList ExpandWildcards(const QString& path) {
    if (!HasWildcards(path)) {
        return GetFileAttributes(path) != INVALID_FILE_ATTRIBUTES ? QStringList{path}
                                                                  : QStringList{};
    }
    const QString folder = path.left(path.lastIndexOf(u'\\') + 1);
    QStringList items;
    FindHandle find;
    FindData data;
    for (bool more = find.FindFirst(path, data); more; more = find.FindNext(data))
        items.append(folder + data.name);
    return items;
}

FileOperationResult DeleteItems(const QStringList& paths, unsigned flags,
                                const FileOperationCallbacks& callbacks) {
    FileOperationResult result;
    const QStringList items = ExpandAll(paths);
    if (items.isEmpty()) return result;
    std::vector<PinnedItem> pinned = PinAll(items, result);
    if (!ConfirmItems(callbacks, flags, QStringLiteral("Delete"), items,
                      "Are you sure you want to permanently delete %1?",
                      "Are you sure you want to permanently delete these %1 items?",
                      /*yesIsDefault=*/false)) {
        result = {};
        result.status = FileOperationStatus::Declined;
        return result;
    }
    Progress progress(callbacks);
    std::vector<Top> tops;
    for (PinnedItem& item : pinned) {
        if (!StillToActOn(item, result)) continue;
        Top top(item);
        CountEntry(*top.chain, item.name, *top.mounts, progress);
        tops.push_back(std::move(top));
    }
    for (Top& top : tops) {
        if (progress.cancelled) break;
        RemoveEntry(*top.chain, top.item->name, *top.mounts, progress, result);
    }
    Finish(callbacks, flags, QStringLiteral("delete"), result, progress);
    return result;
}

FileOperationResult RecycleItems(const QStringList& paths, unsigned flags,
                                 const FileOperationCallbacks& callbacks) {
    FileOperationResult result;
    const QStringList items = ExpandAll(paths);
    if (items.isEmpty()) return result;
    std::vector<PinnedItem> pinned = PinAll(items, result);
    if (!ConfirmItems(callbacks, flags, QStringLiteral("Move to Trash"), items,
                      "Are you sure you want to move %1 to the Trash?",
                      "Are you sure you want to move these %1 items to the Trash?",
                      /*yesIsDefault=*/true)) {
        result = {};
        result.status = FileOperationStatus::Declined;
        return result;
    }
    Progress progress(callbacks);
    progress.state.totalEntries = static_cast<int>(items.size());
    qsizetype declined = 0;
    for (PinnedItem& item : pinned) {
        if (!progress.Tick(item.host, true)) break;
        if (!StillToActOn(item, result)) continue;
        const int parent = item.parent.Descriptor();
        // A trashed folder would take a mounted drive along, and emptying the Trash would
        // delete that drive's files.
        const QStringList mounts = MountPointsInside(item.parent, item.name);
        if (!mounts.isEmpty()) {
            const QString mount = FromHostPath(mounts.front());
            Fail(result, item.path,
                 QStringLiteral("another file system is mounted inside it (at \"%1\"); it stays "
                                "where it is")
                     .arg(mount.isEmpty() ? mounts.front() : mount));
            continue;
        }
        TrashPlace place;
        QString why;
        if (FindTrash(parent, item.name, item.identity.device, place, why) &&
            MoveToTrash(parent, item.name, place, why)) {
            progress.state.doneEntries += 1;
            continue;
        }
        // Nothing can take it back later: deleting it instead is the user's call, always.
        const bool deleteIt =
            callbacks.deleteInstead &&
            callbacks.deleteInstead(QStringLiteral("Move to Trash"),
                                    QStringLiteral("%1 cannot be moved to the Trash: %2.\n\nDo "
                                                   "you want to delete it permanently?")
                                        .arg(Quoted({item.path}), why));
        if (!deleteIt) {
            Fail(result, item.path,
                 QStringLiteral("it cannot be moved to the Trash (%1)").arg(why));
            ++declined;
            continue;
        }
        FolderChain chain(parent, ParentOf(item.host));
        RemoveEntry(chain, item.name, MountBarrier(parent, item.name), progress, result);
    }
    // The items the user chose to keep were the user's answer, not an error to report.
    const unsigned ui = result.failed.size() == declined ? unsigned{NoErrorUi} : 0u;
    Finish(callbacks, flags | ui, QStringLiteral("move to the Trash"), result, progress);
    return result;
}

FileOperationResult MoveItems(const QStringList& paths, const QString& targetFolder, unsigned flags,
                              const FileOperationCallbacks& callbacks) {
    FileOperationResult result;
    Progress progress(callbacks);
    std::vector<PinnedItem> pinned = PinAll(ExpandAll(paths), result);
    PinnedFolder target;
    if (PinTarget(targetFolder, flags, callbacks, target, result))
        MoveEntries(pinned, target, flags, callbacks, progress, result);
    else if (result.status == FileOperationStatus::Declined)
        return result;
    Finish(callbacks, flags, QStringLiteral("move"), result, progress);
    return result;
}

FileOperationResult MoveFolder(const QString& source, const QString& target, unsigned flags,
                               const FileOperationCallbacks& callbacks) {
    QString from = source;
    while (from.endsWith(u'\\')) from.chop(1);
    QString to = target;
    while (to.size() > 3 && to.endsWith(u'\\')) to.chop(1);
    FileOperationResult result;
    Progress progress(callbacks);
    PinnedItem folder;
    QString why;
    if (!PinItem(from, folder, why)) {
        Fail(result, from, why);
    } else if (!folder.identity.IsFolder()) {
        Fail(result, from, SystemText(ENOTDIR));
    } else if (folder.mountPoint) {
        Fail(result, from, MountedText());
    } else if (const QString targetHost = ToHostPath(to); !targetHost.isEmpty()) {
        // Before anything is touched: a folder cannot go into itself, by any path.
        const QString self = JoinName(RealPathOf(folder.parent.Descriptor()), folder.name);
        const QString place = RealHostPath(targetHost);
        if (place == self)
            Fail(result, from, QStringLiteral("the target is the folder itself"));
        else if (IsSameOrBelow(place, self))
            Fail(result, from, QStringLiteral("the target \"%1\" lies inside it").arg(to));
    }
    if (result.failed.isEmpty()) {
        PinnedFolder into;
        if (!PinTarget(to, flags, callbacks, into, result)) {
            if (result.status == FileOperationStatus::Declined) return result;
        } else if (StillToActOn(folder, result)) {
            bool kept = false;
            const int parent = folder.parent.Descriptor();
            FolderChain src(parent, ParentOf(folder.host));
            FolderChain dst(into.Descriptor(), into.HostPath());
            const MountBarrier mounts(parent, folder.name);
            std::vector<QByteArray> names;
            int error = 0;
            if (!src.Enter(folder.name, folder.identity) || !ListNames(src.Top(), names, error)) {
                Fail(result, from, WalkErrorText(error ? error : errno));
            } else {
                for (const QByteArray& name : names) {
                    if (folder.identity.device != into.Identity().device)
                        CountEntry(src, name, mounts, progress);
                    else
                        progress.state.totalEntries += 1;
                }
                Mover mover(callbacks, flags, progress, result);
                for (const QByteArray& name : names) mover.MoveInto(src, dst, name, mounts);
                kept = mover.KeptAny();
            }
            src.Leave();
            // A source that still holds something stays; one emptied goes. What it holds that
            // nothing failed on and the user did not keep came in while it was being moved.
            if (::unlinkat(parent, folder.name.constData(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
                const bool added = errno == ENOTEMPTY || errno == EEXIST;
                if (!added)
                    Fail(result, folder.host,
                         QStringLiteral("it was emptied but cannot be removed: %1")
                             .arg(SystemText(errno)));
                else if (result.failed.isEmpty() && !kept && !progress.cancelled)
                    Fail(result, folder.host,
                         QStringLiteral("entries were added to it while it was being moved; "
                                        "they stay in it"));
            }
        }
    }
    FinishFolderMove(callbacks, flags, result, progress, from, to);
    return result;
}

}  // namespace platform
