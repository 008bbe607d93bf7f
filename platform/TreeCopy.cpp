#include "platform/TreeCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/Drives.h"
#include "platform/MoveChecks.h"
#include "platform/TreeRemoval.h"

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

bool CopyFile(int srcDir, const QByteArray& name, const struct stat& st, int dstDir,
              const QByteArray& dstName, const QString& host, Progress& progress,
              FileOperationResult& result) {
    Fd in(::openat(srcDir, name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    Fd out(in.valid() ? ::openat(dstDir, dstName.constData(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)
                      : -1);
    if (!out.valid()) {
        Fail(result, host, SystemText(errno));
        return false;
    }
    QCryptographicHash hash(QCryptographicHash::Sha1);
    std::vector<char> buffer(1 << 20);
    int64_t copied = 0;
    for (;;) {
        const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
        if (got < 0) {
            Fail(result, host, SystemText(errno));
            return false;
        }
        if (got == 0) break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out.get(), buffer.data() + done, got - done);
            if (put < 0) {
                Fail(result, host, SystemText(errno));
                return false;
            }
            done += put;
        }
        hash.addData(QByteArrayView(buffer.data(), got));
        copied += got;
        progress.state.doneBytes += got;
        if (!progress.Tick(host)) return false;
    }
    KeepMetadata(out.get(), st);
    if (::fsync(out.get()) != 0) {
        Fail(result, host, SystemText(errno));
        return false;
    }
    // Dropping the cached pages makes the read-back come from the disk itself.
    ::posix_fadvise(out.get(), 0, 0, POSIX_FADV_DONTNEED);
    if (!ReadBackMatches(dstDir, dstName, copied, hash.result())) {
        Fail(result, host, QStringLiteral("the copy does not read back as the original"));
        return false;
    }
    return true;
}

dev_t DevOf(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? st.st_dev : 0;
}

}  // namespace

bool CopyEntry(int srcDir, const QByteArray& name, DeviceId srcDev, int dstDir,
               const QByteArray& dstName, const QString& host, Progress& progress,
               FileOperationResult& result) {
    struct stat st {};
    if (::fstatat(srcDir, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        Fail(result, host, SystemText(errno));
        return false;
    }
    bool ok = true;
    if (S_ISDIR(st.st_mode)) {
        if (st.st_dev != srcDev) {
            Fail(result, host, QStringLiteral("another file system is mounted on this folder"));
            return false;
        }
        Fd src(::openat(srcDir, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        std::vector<QByteArray> names;
        int error = 0;
        if (!src.valid())
            error = errno;
        else if (!ListNames(src.get(), names, error)) {
        } else if (::mkdirat(dstDir, dstName.constData(), 0700) != 0)
            error = errno;
        if (error != 0) {
            Fail(result, host, SystemText(error));
            return false;
        }
        Fd dst(
            ::openat(dstDir, dstName.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!dst.valid()) {
            Fail(result, host, SystemText(errno));
            return false;
        }
        for (const QByteArray& child : names) {
            if (!progress.Tick(host) ||
                !CopyEntry(src.get(), child, st.st_dev, dst.get(), child,
                           Join(host, QFile::decodeName(child)), progress, result))
                return false;
        }
        KeepMetadata(dst.get(), st);
        ok = ::fsync(dst.get()) == 0;
    } else if (S_ISREG(st.st_mode)) {
        if (!CopyFile(srcDir, name, st, dstDir, dstName, host, progress, result)) return false;
    } else if (S_ISLNK(st.st_mode)) {
        QByteArray target(static_cast<qsizetype>(st.st_size) + 1, '\0');
        const ssize_t length = ::readlinkat(srcDir, name.constData(), target.data(), target.size());
        ok = length >= 0 && length < target.size();
        if (ok) {
            target.truncate(length);
            ok = ::symlinkat(target.constData(), dstDir, dstName.constData()) == 0;
        }
        if (ok) {
            const struct timespec times[2] = {st.st_atim, st.st_mtim};
            ::utimensat(dstDir, dstName.constData(), times, AT_SYMLINK_NOFOLLOW);
        }
    } else if (S_ISFIFO(st.st_mode)) {
        ok = ::mkfifoat(dstDir, dstName.constData(), st.st_mode & 07777) == 0;
    } else {
        Fail(result, host,
             QStringLiteral("sockets and device files cannot be moved to another drive"));
        return false;
    }
    if (!ok) {
        Fail(result, host, SystemText(errno));
        return false;
    }
    progress.state.doneEntries += 1;
    return progress.Tick(host);
}

void Mover::MoveInto(const QString& src, const QString& dstFolder) {
    if (progress_.cancelled) return;
    const QString dst = Join(dstFolder, NameOf(src));
    struct stat st {};
    if (::lstat(Local(src).constData(), &st) != 0) return Fail(result_, src, SystemText(errno));
    if (::renameat2(AT_FDCWD, Local(src).constData(), AT_FDCWD, Local(dst).constData(),
                    RENAME_NOREPLACE) == 0)
        return Moved(src);
    int error = errno;
    struct stat existing {};
    const bool taken = ::lstat(Local(dst).constData(), &existing) == 0;
    if (!taken && error == EINVAL) {
        // A file system without RENAME_NOREPLACE: the name is free, a plain rename does.
        if (::renameat(AT_FDCWD, Local(src).constData(), AT_FDCWD, Local(dst).constData()) == 0)
            return Moved(src);
        error = errno;
    }
    if (!taken && error == EXDEV) return CopyThenRemove(src, dstFolder, false);
    if (!taken || (error != EEXIST && error != EXDEV && error != EINVAL))
        return Fail(result_, src, SystemText(error));

    if (S_ISDIR(st.st_mode) && S_ISDIR(existing.st_mode)) return Merge(src, dst);
    if (S_ISDIR(st.st_mode) || S_ISDIR(existing.st_mode))
        return Fail(result_, src, QStringLiteral("\"%1\" already exists").arg(FromHostPath(dst)));
    if (!MayReplace(dst)) return;
    if (::renameat(AT_FDCWD, Local(src).constData(), AT_FDCWD, Local(dst).constData()) == 0)
        return Moved(src);
    if (errno == EXDEV) return CopyThenRemove(src, dstFolder, true);
    Fail(result_, src, SystemText(errno));
}

void Mover::Moved(const QString& src) {
    result_.moved += 1;
    progress_.state.doneEntries += 1;
    progress_.Tick(src);
}

void Mover::Merge(const QString& src, const QString& dst) {
    Fd dir(::open(Local(src).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    std::vector<QByteArray> names;
    int error = 0;
    if (!dir.valid() || !ListNames(dir.get(), names, error))
        return Fail(result_, src, SystemText(dir.valid() ? error : errno));
    // What crosses to another file system was counted when the operation began.
    for (const QByteArray& n : names) MoveInto(Join(src, QFile::decodeName(n)), dst);
    // What the user chose to keep stays in the source, which then stays too.
    if (::rmdir(Local(src).constData()) != 0 && errno != ENOTEMPTY && errno != EEXIST)
        Fail(result_, src, SystemText(errno));
}

bool Mover::MayReplace(const QString& dst) {
    if (flags_ & NoConfirmation) return true;
    const ReplaceAnswer answer =
        callbacks_.replace
            ? callbacks_.replace(QCoreApplication::applicationName(),
                                 QStringLiteral("\"%1\" already exists. Do you want to replace it?")
                                     .arg(FromHostPath(dst)))
            : ReplaceAnswer::Keep;
    if (answer == ReplaceAnswer::Cancel) progress_.cancelled = true;
    return answer == ReplaceAnswer::Replace;
}

// The failure of the item src, whose entry at where (program path) stopped it: the item is
// what remains, the entry and the reason say why.
void Mover::FailItem(const QString& src, const QString& where, const QString& why) {
    if (where == FromHostPath(src)) return Fail(result_, src, why);
    Fail(result_, src, QStringLiteral("\"%1\" %2").arg(where, why));
}

// Copies src into dstFolder under a temporary name, reads it back, gives it its name, and
// only then removes the source. Nothing is copied of an item that the target cannot hold or
// that could not leave its place afterwards; a failed or cancelled copy is removed. Either
// way the item stays whole in the source.
void Mover::CopyThenRemove(const QString& src, const QString& dstFolder, bool replace) {
    Fd srcDir(::open(Local(ParentOf(src)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    Fd dstDir(::open(Local(dstFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat srcDirSt {};
    if (!srcDir.valid() || !dstDir.valid() || ::fstat(srcDir.get(), &srcDirSt) != 0)
        return Fail(result_, src, SystemText(errno));
    const QByteArray name = Local(NameOf(src));
    QString where, why;
    if (!CheckMovable(srcDir.get(), name, srcDirSt.st_dev, src, LimitsOf(dstDir.get(), dstFolder),
                      where, why))
        return FailItem(src, where, why);
    QByteArray temp;
    for (int n = 0; temp.isEmpty() ||
                    ::faccessat(dstDir.get(), temp.constData(), F_OK, AT_SYMLINK_NOFOLLOW) == 0;
         ++n)
        temp = "." + name + ".quillon-move-" + QByteArray::number(n);

    FileOperationResult copyResult;
    const bool copied = CopyEntry(srcDir.get(), name, srcDirSt.st_dev, dstDir.get(), temp, src,
                                  progress_, copyResult);
    const bool named =
        copied &&
        (replace ? ::renameat(dstDir.get(), temp.constData(), dstDir.get(), name.constData())
                 : ::renameat2(dstDir.get(), temp.constData(), dstDir.get(), name.constData(),
                               RENAME_NOREPLACE)) == 0;
    if (!named) {
        const int error = errno;
        Progress quiet(noProgress_);
        FileOperationResult ignored;
        RemoveEntry(dstDir.get(), temp, DevOf(dstDir.get()), {}, quiet, ignored, false);
        if (!copyResult.failed.isEmpty()) {
            // The copy stops at its first failure: that entry, with the system's words.
            const QString& at = copyResult.failed.front();
            const QString& failure = copyResult.failures.front();
            const QString prefix = u'"' + at + QLatin1String("\": ");
            const QString words = failure.startsWith(prefix) ? failure.mid(prefix.size()) : failure;
            if (at == FromHostPath(src))
                Fail(result_, src, words);
            else
                FailItem(src, at, QStringLiteral("could not be copied (%1)").arg(words));
        } else if (!progress_.cancelled) {
            Fail(result_, src, SystemText(error));
        }
        return;
    }
    result_.moved += 1;
    ::fsync(dstDir.get());
    Progress quiet(noProgress_);
    RemoveEntry(srcDir.get(), name, srcDirSt.st_dev, src, quiet, result_, false);
}

}  // namespace platform::fileops
