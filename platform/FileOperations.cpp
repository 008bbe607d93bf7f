#include "platform/FileOperations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <vector>

#include "platform/Drives.h"
#include "platform/FileOperationSupport.h"
#include "platform/FindFile.h"
#include "platform/Trash.h"
#include "platform/TreeCopy.h"
#include "platform/TreeRemoval.h"

namespace platform {

using namespace fileops;

namespace {

bool IsDriveHostRoot(const QString& host) {
    if (host == QLatin1String("/")) return true;
    for (const DriveMapping& d : DriveMap()) {
        if (d.hostRoot == host) return true;
    }
    return false;
}

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

// A top-level item of an operation: its host path and the open folder that holds it.
struct TopItem {
    QString host;
    QByteArray name;
    Fd parent;
    dev_t parentDev = 0;
    struct stat st {};
};

// Opens the folder that holds an item and looks at the item itself (not through a link).
bool OpenTopItem(const QString& program, TopItem& item, FileOperationResult& result) {
    item.host = ToHostPath(program);
    if (item.host.isEmpty()) {
        Fail(result, program, QStringLiteral("the path is on no drive"));
        return false;
    }
    if (IsDriveHostRoot(item.host)) {
        Fail(result, item.host, QStringLiteral("a drive cannot be acted on as a whole"));
        return false;
    }
    item.name = Local(NameOf(item.host));
    item.parent.reset(
        ::open(Local(ParentOf(item.host)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat parentSt {};
    if (!item.parent.valid() || ::fstat(item.parent.get(), &parentSt) != 0 ||
        ::fstatat(item.parent.get(), item.name.constData(), &item.st, AT_SYMLINK_NOFOLLOW) != 0) {
        Fail(result, item.host, SystemText(errno));
        return false;
    }
    item.parentDev = parentSt.st_dev;
    return true;
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

bool IsSameOrBelow(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(Join(folder, {}));
}

// Where a host path really leads: its longest existing part with links and ".." resolved, and
// the rest as written.
QString RealPlace(const QString& host) {
    QString existing = host;
    QString rest;
    struct stat st {};
    while (existing != QLatin1String("/") && ::lstat(Local(existing).constData(), &st) != 0) {
        rest.prepend(u'/' + NameOf(existing));
        existing = ParentOf(existing);
    }
    QString real = QFileInfo(existing).canonicalFilePath();
    if (real.isEmpty()) real = existing;
    if (real == QLatin1String("/")) return rest.isEmpty() ? real : rest;
    return real + rest;
}

// Makes sure of the target folder and moves the items into it. False when the user declined
// creating the target (status Declined) or it cannot be had (recorded as a failure).
bool MoveEntries(const QStringList& items, const QString& targetFolder, unsigned flags,
                 const FileOperationCallbacks& callbacks, Progress& progress,
                 FileOperationResult& result) {
    const QString target = ToHostPath(targetFolder);
    if (target.isEmpty()) {
        Fail(result, targetFolder, QStringLiteral("the path is on no drive"));
        return false;
    }
    struct stat targetSt {};
    if (::lstat(Local(target).constData(), &targetSt) != 0) {
        if (!Confirm(callbacks, flags, QCoreApplication::applicationName(),
                     QStringLiteral("The folder \"%1\" does not exist. Do you want to create it?")
                         .arg(targetFolder),
                     /*yesIsDefault=*/true)) {
            result.status = FileOperationStatus::Declined;
            return false;
        }
        if (!QDir().mkpath(target) || ::lstat(Local(target).constData(), &targetSt) != 0) {
            Fail(result, targetFolder, SystemText(errno));
            return false;
        }
    }
    if (!S_ISDIR(targetSt.st_mode)) {
        Fail(result, targetFolder, SystemText(ENOTDIR));
        return false;
    }
    std::vector<TopItem> tops(static_cast<size_t>(items.size()));
    for (qsizetype i = 0; i < items.size(); ++i) {
        TopItem& top = tops[static_cast<size_t>(i)];
        if (!OpenTopItem(items[i], top, result)) continue;
        if (IsSameOrBelow(target, top.host) || ParentOf(top.host) == target) {
            Fail(result, top.host, QStringLiteral("it cannot be moved into itself or onto itself"));
            top.parent.reset();
        } else if (top.st.st_dev != targetSt.st_dev) {
            CountEntry(top.parent.get(), top.name, top.parentDev, progress, top.host);
        } else {
            progress.state.totalEntries += 1;
        }
    }
    Mover mover(callbacks, flags, progress, result);
    for (const TopItem& top : tops) {
        if (top.parent.valid()) mover.MoveInto(top.host, target);
    }
    return true;
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
    if (!ConfirmItems(callbacks, flags, QStringLiteral("Delete"), items,
                      "Are you sure you want to permanently delete %1?",
                      "Are you sure you want to permanently delete these %1 items?",
                      /*yesIsDefault=*/false)) {
        result.status = FileOperationStatus::Declined;
        return result;
    }
    Progress progress(callbacks);
    std::vector<TopItem> tops(static_cast<size_t>(items.size()));
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (OpenTopItem(items[i], tops[static_cast<size_t>(i)], result))
            CountEntry(tops[i].parent.get(), tops[i].name, tops[i].parentDev, progress,
                       tops[i].host);
    }
    for (TopItem& top : tops) {
        if (progress.cancelled) break;
        if (top.parent.valid())
            RemoveEntry(top.parent.get(), top.name, top.parentDev, top.host, progress, result);
    }
    Finish(callbacks, flags, QStringLiteral("delete"), result, progress);
    return result;
}

FileOperationResult RecycleItems(const QStringList& paths, unsigned flags,
                                 const FileOperationCallbacks& callbacks) {
    FileOperationResult result;
    const QStringList items = ExpandAll(paths);
    if (items.isEmpty()) return result;
    if (!ConfirmItems(callbacks, flags, QStringLiteral("Move to Trash"), items,
                      "Are you sure you want to move %1 to the Trash?",
                      "Are you sure you want to move these %1 items to the Trash?",
                      /*yesIsDefault=*/true)) {
        result.status = FileOperationStatus::Declined;
        return result;
    }
    Progress progress(callbacks);
    progress.state.totalEntries = static_cast<int>(items.size());
    qsizetype declined = 0;
    for (const QString& program : items) {
        if (!progress.Tick(ToHostPath(program), true)) break;
        TopItem item;
        if (!OpenTopItem(program, item, result)) continue;
        TrashPlace place;
        QString why;
        if (FindTrash(item.host, item.st.st_dev, place, why) &&
            MoveToTrash(item.parent.get(), item.name, item.host, place, why)) {
            progress.state.doneEntries += 1;
            continue;
        }
        // Nothing can take it back later: deleting it instead is the user's call, always.
        const bool deleteIt =
            callbacks.deleteInstead &&
            callbacks.deleteInstead(QStringLiteral("Move to Trash"),
                                    QStringLiteral("%1 cannot be moved to the Trash: %2.\n\nDo "
                                                   "you want to delete it permanently?")
                                        .arg(Quoted({program}), why));
        if (!deleteIt) {
            Fail(result, item.host,
                 QStringLiteral("it cannot be moved to the Trash (%1)").arg(why));
            ++declined;
            continue;
        }
        RemoveEntry(item.parent.get(), item.name, item.parentDev, item.host, progress, result);
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
    if (MoveEntries(ExpandAll(paths), targetFolder, flags, callbacks, progress, result) ||
        result.status != FileOperationStatus::Declined)
        Finish(callbacks, flags, QStringLiteral("move"), result, progress);
    return result;
}

FileOperationResult MoveFolder(const QString& source, const QString& target, unsigned flags,
                               const FileOperationCallbacks& callbacks) {
    QString from = source;
    while (from.endsWith(u'\\')) from.chop(1);
    QString to = target;
    while (to.size() > 3 && to.endsWith(u'\\')) to.chop(1);
    const QString host = ToHostPath(from);
    const QString targetHost = ToHostPath(to);
    FileOperationResult result;
    Progress progress(callbacks);
    struct stat st {};
    if (host.isEmpty()) {
        Fail(result, from, QStringLiteral("the path is on no drive"));
    } else if (IsDriveHostRoot(host)) {
        Fail(result, from, QStringLiteral("a drive cannot be acted on as a whole"));
    } else if (::lstat(Local(host).constData(), &st) != 0) {
        Fail(result, from, SystemText(errno));
    } else if (!S_ISDIR(st.st_mode)) {
        Fail(result, from, SystemText(ENOTDIR));
    } else if (!targetHost.isEmpty()) {
        // Before anything is touched: a folder cannot go into itself, by any path.
        const QString self = RealPlace(host);
        const QString place = RealPlace(targetHost);
        if (place == self)
            Fail(result, from, QStringLiteral("the target is the folder itself"));
        else if (IsSameOrBelow(place, self))
            Fail(result, from, QStringLiteral("the target \"%1\" lies inside it").arg(to));
    }
    if (result.failed.isEmpty()) {
        if (MoveEntries(ExpandWildcards(from + QLatin1String("\\*")), to, flags, callbacks,
                        progress, result)) {
            // A source that still holds something stays; one emptied goes.
            if (::rmdir(Local(host).constData()) != 0 && errno != ENOENT && errno != ENOTEMPTY &&
                errno != EEXIST)
                Fail(result, host,
                     QStringLiteral("it was emptied but cannot be removed: %1")
                         .arg(SystemText(errno)));
        } else if (result.status == FileOperationStatus::Declined) {
            return result;
        }
    }
    FinishFolderMove(callbacks, flags, result, progress, from, to);
    return result;
}

}  // namespace platform
