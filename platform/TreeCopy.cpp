#include "platform/TreeCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <cerrno>
#include <vector>

#include "platform/Drives.h"
#include "platform/TreeRemoval.h"
#include "platform/TreeSurvey.h"

namespace platform::fileops {

namespace {

void KeepMetadata(int fd, const struct stat& st) {
    if (::geteuid() == 0 && ::fchown(fd, st.st_uid, st.st_gid) != 0) {
        // An owner the target file system cannot take keeps ours; the data is what matters.
    }
    ::fchmod(fd, st.st_mode & 07777);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(fd, times);
}

bool ReadBackMatches(int dirFd, const QByteArray& name, int64_t size, const QByteArray& digest) {
    Fd in(::openat(dirFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!in.valid()) return false;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    std::vector<char> buffer(1 << 20);
    int64_t total = 0;
    for (;;) {
        const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
        if (got < 0) return false;
        if (got == 0) break;
        hash.addData(QByteArrayView(buffer.data(), got));
        total += got;
    }
    return total == size && hash.result() == digest;
}

// A name for the copy while it is made that fits the folder whatever the length of the
// entry's own name.
QByteArray TemporaryName(int dirFd, const QByteArray& name) {
    const QByteArray stem = ".qpmove-" + QByteArray::number(qHash(name), 16) + '-';
    for (int n = 0;; ++n) {
        QByteArray temp = stem + QByteArray::number(n);
        EntryIdentity taken;
        if (!StatAt(dirFd, temp.constData(), taken)) return temp;
    }
}

}  // namespace

void Mover::MoveInto(FolderChain& src, FolderChain& dst, const QByteArray& name,
                     const MountBarrier& mounts) {
    if (progress_.cancelled) return;
    const QString host = src.HostOf(name);
    const int from = src.Top();
    const int to = dst.Top();
    EntryIdentity st;
    bool mountRoot = false;
    if (from < 0 || to < 0 || !StatAt(from, name.constData(), st, &mountRoot))
        return Fail(result_, host, WalkErrorText(errno));
    if (st.IsFolder() && mounts.Stops(st, mountRoot, src.TopDevice()))
        return Fail(result_, host, MountedText());
    const bool sameFileSystem = st.device == dst.TopDevice();
    // A rename would take a mount point inside along: such a folder goes entry by entry.
    const bool holdsMount = st.IsFolder() && mounts.AnyInside(JoinName(RealPathOf(from), name));
    EntryIdentity existing;
    if (!StatAt(to, name.constData(), existing)) {
        if (errno != ENOENT) return Fail(result_, host, WalkErrorText(errno));
        if (!sameFileSystem) return CopyThenRemove(src, dst, name, false, mounts);
        if (holdsMount) {
            if (::mkdirat(to, name.constData(), 0700) != 0 ||
                !StatAt(to, name.constData(), existing))
                return Fail(result_, host, SystemText(errno));
            Merge(src, dst, name, st, existing, mounts);
            // Its permissions last: a folder the user may not write into takes entries all the
            // same.
            if (const int into = dst.Top(); into >= 0)
                ::fchmodat(into, name.constData(), st.mode & 07777, 0);
            return;
        }
        if (::renameat2(from, name.constData(), to, name.constData(), RENAME_NOREPLACE) == 0)
            return Moved(host);
        int error = errno;
        if (error == EINVAL) {
            // A file system without RENAME_NOREPLACE: a file gets its second name first, which
            // cannot replace anything; a folder is renamed, which replaces no folder with content.
            const bool moved =
                st.IsFolder() ? ::renameat(from, name.constData(), to, name.constData()) == 0
                              : ::linkat(from, name.constData(), to, name.constData(), 0) == 0 &&
                                    ::unlinkat(from, name.constData(), 0) == 0;
            if (moved) return Moved(host);
            error = errno;
        }
        if (error == EXDEV) return CopyThenRemove(src, dst, name, false, mounts);
        return Fail(result_, host, SystemText(error));
    }
    if (st.IsFolder() && existing.IsFolder()) return Merge(src, dst, name, st, existing, mounts);
    const QString dstHost = dst.HostOf(name);
    if (st.IsFolder() || existing.IsFolder())
        return Fail(result_, host,
                    QStringLiteral("\"%1\" already exists").arg(FromHostPath(dstHost)));
    if (!MayReplace(dstHost)) return;
    if (!sameFileSystem) return CopyThenRemove(src, dst, name, true, mounts);
    if (::renameat(from, name.constData(), to, name.constData()) == 0) return Moved(host);
    if (errno == EXDEV) return CopyThenRemove(src, dst, name, true, mounts);
    Fail(result_, host, SystemText(errno));
}

void Mover::Moved(const QString& host) {
    result_.moved += 1;
    progress_.state.doneEntries += 1;
    progress_.Tick(host);
}

void Mover::Merge(FolderChain& src, FolderChain& dst, const QByteArray& name,
                  const EntryIdentity& source, const EntryIdentity& existing,
                  const MountBarrier& mounts) {
    const QString host = src.HostOf(name);
    if (!src.Enter(name, source)) return Fail(result_, host, WalkErrorText(errno));
    std::vector<QByteArray> names;
    int error = 0;
    if (!dst.Enter(name, existing)) {
        src.Leave();
        return Fail(result_, host, WalkErrorText(errno));
    }
    if (!ListNames(src.Top(), names, error)) Fail(result_, host, SystemText(error));
    // What crosses to another file system was counted when the operation began.
    for (const QByteArray& child : names) MoveInto(src, dst, child, mounts);
    dst.Leave();
    src.Leave();
    // What the user chose to keep stays in the source, which then stays too.
    const int from = src.Top();
    if (from < 0 || (::unlinkat(from, name.constData(), AT_REMOVEDIR) != 0 && errno != ENOTEMPTY &&
                     errno != EEXIST))
        Fail(result_, host, WalkErrorText(errno));
}

bool Mover::MayReplace(const QString& dstHost) {
    if (flags_ & NoConfirmation) return true;
    const ReplaceAnswer answer =
        callbacks_.replace
            ? callbacks_.replace(QCoreApplication::applicationName(),
                                 QStringLiteral("\"%1\" already exists. Do you want to replace it?")
                                     .arg(FromHostPath(dstHost)))
            : ReplaceAnswer::Keep;
    if (answer == ReplaceAnswer::Cancel) progress_.cancelled = true;
    if (answer != ReplaceAnswer::Replace) keptAny_ = true;
    return answer == ReplaceAnswer::Replace;
}

// The failure of the item at host, whose entry at where (program path) stopped it: the item is
// what remains, the entry and the reason say why.
void Mover::FailItem(const QString& host, const QString& where, const QString& why) {
    if (where == FromHostPath(host)) return Fail(result_, host, why);
    Fail(result_, host, QStringLiteral("\"%1\" %2").arg(where, why));
}

// Copies the entry into dst's folder under a temporary name, reads it back, gives it its name,
// and only then removes the source, entry by entry where each is still what was copied. Nothing
// is copied of an item that the target cannot hold or that could not leave its place
// afterwards; a failed or cancelled copy is removed. Either way the item stays whole in the
// source.
void Mover::CopyThenRemove(FolderChain& src, FolderChain& dst, const QByteArray& name, bool replace,
                           const MountBarrier& mounts) {
    const QString host = src.HostOf(name);
    SurveyOptions check;
    check.forRemoval = true;
    check.limits = LimitsAt(dst.Top(), dst.Host());
    check.maxProblems = 1;
    const TreeSurvey survey = SurveyAt(src, name, mounts, check, {});
    if (!survey.problems.isEmpty()) return FailItem(host, survey.firstWhere, survey.firstWhy);

    const int to = dst.Top();
    if (to < 0) return Fail(result_, host, WalkErrorText(errno));
    const QByteArray temp = TemporaryName(to, name);
    FileOperationResult copyFailures;
    CopiedEntry record;
    const bool copied = CopyEntry(src, dst, name, temp, mounts, record, copyFailures);
    const bool named = copied && (replace ? ::renameat(to, temp.constData(), to, name.constData())
                                          : ::renameat2(to, temp.constData(), to, name.constData(),
                                                        RENAME_NOREPLACE)) == 0;
    if (!named) {
        const int error = errno;
        Progress quiet(noProgress_);
        FileOperationResult ignored;
        RemoveEntry(dst, temp, MountBarrier(), quiet, ignored, false);
        if (!copyFailures.failed.isEmpty()) {
            // The copy stops at its first failure: that entry, with the system's words.
            const QString& at = copyFailures.failed.front();
            const QString& failure = copyFailures.failures.front();
            const QString prefix = u'"' + at + QLatin1String("\": ");
            const QString words = failure.startsWith(prefix) ? failure.mid(prefix.size()) : failure;
            if (at == FromHostPath(host))
                Fail(result_, host, words);
            else
                FailItem(host, at, QStringLiteral("could not be copied (%1)").arg(words));
        } else if (!progress_.cancelled) {
            Fail(result_, host, SystemText(error));
        }
        return;
    }
    result_.moved += 1;
    ::fsync(to);
    RemoveCopied(src, record);
}

bool Mover::CopyFile(FolderChain& src, FolderChain& dst, const QByteArray& name,
                     const EntryIdentity& st, const QByteArray& dstName, CopiedEntry& record,
                     FileOperationResult& failures) {
    const QString host = src.HostOf(name);
    Fd in(::openat(src.Top(), name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    EntryIdentity before;
    struct stat meta {};
    if (!in.valid() || !StatFd(in.get(), before) || ::fstat(in.get(), &meta) != 0) {
        Fail(failures, host, SystemText(errno));
        return false;
    }
    if (!before.SameFile(st)) {
        Fail(failures, host, WalkErrorText(ESTALE));
        return false;
    }
    const int to = dst.Top();
    Fd out(::openat(to, dstName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0600));
    if (!out.valid()) {
        Fail(failures, host, SystemText(errno));
        return false;
    }
    QCryptographicHash hash(QCryptographicHash::Sha1);
    std::vector<char> buffer(1 << 20);
    int64_t copied = 0;
    for (;;) {
        const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
        if (got < 0) {
            Fail(failures, host, SystemText(errno));
            return false;
        }
        if (got == 0) break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out.get(), buffer.data() + done, got - done);
            if (put < 0) {
                Fail(failures, host, SystemText(errno));
                return false;
            }
            done += put;
        }
        hash.addData(QByteArrayView(buffer.data(), got));
        copied += got;
        progress_.state.doneBytes += got;
        if (!progress_.Tick(host)) return false;
    }
    record.identity = before;
    EntryIdentity after;
    if (!StatFd(in.get(), after) || !after.Unchanged(before) || copied != before.size) {
        // A program wrote to it meanwhile: this copy holds no one moment of it. It stays in the
        // source alone, and the removal says so.
        out.reset();
        ::unlinkat(to, dstName.constData(), 0);
        record.copied = false;
        return true;
    }
    KeepMetadata(out.get(), meta);
    if (::fsync(out.get()) != 0) {
        Fail(failures, host, SystemText(errno));
        return false;
    }
    // Dropping the cached pages makes the read-back come from the disk itself.
    ::posix_fadvise(out.get(), 0, 0, POSIX_FADV_DONTNEED);
    if (!ReadBackMatches(to, dstName, copied, hash.result())) {
        Fail(failures, host, QStringLiteral("the copy does not read back as the original"));
        return false;
    }
    return true;
}

bool Mover::CopyEntry(FolderChain& src, FolderChain& dst, const QByteArray& name,
                      const QByteArray& dstName, const MountBarrier& mounts, CopiedEntry& record,
                      FileOperationResult& failures) {
    const QString host = src.HostOf(name);
    const int from = src.Top();
    const int to = dst.Top();
    EntryIdentity st;
    bool mountRoot = false;
    struct stat meta {};
    if (from < 0 || to < 0 || !StatAt(from, name.constData(), st, &mountRoot) ||
        ::fstatat(from, name.constData(), &meta, AT_SYMLINK_NOFOLLOW) != 0) {
        Fail(failures, host, WalkErrorText(errno));
        return false;
    }
    record.name = name;
    record.identity = st;
    bool ok = true;
    if (st.IsFolder()) {
        if (mounts.Stops(st, mountRoot, src.TopDevice())) {
            record.copied = false;  // it stays, with the folders that hold it
            return true;
        }
        std::vector<QByteArray> names;
        int error = 0;
        if (!src.Enter(name, st)) {
            Fail(failures, host, WalkErrorText(errno));
            return false;
        }
        EntryIdentity made;
        if (!ListNames(src.Top(), names, error) || ::mkdirat(to, dstName.constData(), 0700) != 0 ||
            !StatAt(to, dstName.constData(), made) || !dst.Enter(dstName, made)) {
            Fail(failures, host, SystemText(error ? error : errno));
            src.Leave();
            return false;
        }
        for (const QByteArray& child : names) {
            if (!progress_.Tick(host) || !CopyEntry(src, dst, child, child, mounts,
                                                    record.children.emplace_back(), failures)) {
                ok = false;
                break;
            }
        }
        if (ok) {
            KeepMetadata(dst.Top(), meta);
            ok = ::fsync(dst.Top()) == 0;
            if (!ok) Fail(failures, host, SystemText(errno));
        }
        dst.Leave();
        src.Leave();
        if (!ok) return false;
    } else if (st.IsFile()) {
        if (!CopyFile(src, dst, name, st, dstName, record, failures)) return false;
    } else if (st.IsLink()) {
        QByteArray target(qsizetype(st.size) + 1, '\0');
        const ssize_t length = ::readlinkat(from, name.constData(), target.data(), target.size());
        ok = length >= 0 && length < target.size();
        if (ok) {
            target.truncate(length);
            ok = ::symlinkat(target.constData(), to, dstName.constData()) == 0;
        }
        if (ok) {
            const struct timespec times[2] = {meta.st_atim, meta.st_mtim};
            ::utimensat(to, dstName.constData(), times, AT_SYMLINK_NOFOLLOW);
        }
    } else if (S_ISFIFO(st.mode)) {
        ok = ::mkfifoat(to, dstName.constData(), st.mode & 07777) == 0;
    } else {
        Fail(failures, host,
             QStringLiteral("sockets and device files cannot be moved to another drive"));
        return false;
    }
    if (!ok) {
        Fail(failures, host, SystemText(errno));
        return false;
    }
    progress_.state.doneEntries += 1;
    return progress_.Tick(host);
}

// Removes from the source what the copy took, where it is still what was copied; what changed
// or was added meanwhile stays, and the result names it.
bool Mover::RemoveCopied(FolderChain& src, const CopiedEntry& record) {
    const QString host = src.HostOf(record.name);
    progress_.Tick(host);
    const int from = src.Top();
    if (from < 0) {
        Fail(result_, host, WalkErrorText(errno));
        return false;
    }
    if (!record.copied) {
        Fail(result_, host,
             record.identity.IsFolder()
                 ? MountedText()
                 : QStringLiteral("was written to while it was being moved; it stays in the "
                                  "source and was not copied"));
        return false;
    }
    EntryIdentity now;
    if (!StatAt(from, record.name.constData(), now)) {
        if (errno == ENOENT) return true;  // gone meanwhile: nothing to remove
        Fail(result_, host, SystemText(errno));
        return false;
    }
    if (record.identity.IsFolder()) {
        if (!now.SameFile(record.identity) || !src.Enter(record.name, now)) {
            Fail(result_, host, WalkErrorText(ESTALE));
            return false;
        }
        bool all = true;
        for (const CopiedEntry& child : record.children) all = RemoveCopied(src, child) && all;
        src.Leave();
        if (!all) return false;
        const int dir = src.Top();
        if (dir >= 0 && ::unlinkat(dir, record.name.constData(), AT_REMOVEDIR) == 0) return true;
        Fail(result_, host,
             errno == ENOTEMPTY || errno == EEXIST
                 ? QStringLiteral("entries were added to it while it was being moved; they "
                                  "stay in the source")
                 : WalkErrorText(errno));
        return false;
    }
    if (!now.Unchanged(record.identity)) {
        Fail(result_, host,
             QStringLiteral("changed after it was copied; the source keeps its newer version"));
        return false;
    }
    if (::unlinkat(from, record.name.constData(), 0) != 0) {
        Fail(result_, host, SystemText(errno));
        return false;
    }
    return true;
}

}  // namespace platform::fileops
