#include "platform/FileOperations.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/Drives.h"
#include "platform/FindFile.h"
#include "platform/MessageBox.h"

namespace platform {

namespace {

const QString kCaption = QStringLiteral("Quillon Pro");

QString SystemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray Local(const QString& hostPath) {
    return QFile::encodeName(hostPath);
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    // Takes a new descriptor, closing the one held.
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

QString ParentOf(const QString& host) {
    const qsizetype slash = host.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : host.left(slash);
}

QString NameOf(const QString& host) {
    return host.mid(host.lastIndexOf(u'/') + 1);
}

QString Join(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// The names in an open folder, "." and ".." left out. The folder's own descriptor stays open.
bool ListNames(int dirFd, std::vector<QByteArray>& names, int& error) {
    const int copy = ::dup(dirFd);
    DIR* dir = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!dir) {
        error = errno;
        if (copy >= 0) ::close(copy);
        return false;
    }
    ::rewinddir(dir);
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
        errno = 0;
    }
    error = errno;
    ::closedir(dir);
    return error == 0;
}

bool IsDriveHostRoot(const QString& host) {
    if (host == QLatin1String("/")) return true;
    for (const DriveMapping& d : DriveMap()) {
        if (d.hostRoot == host) return true;
    }
    return false;
}

// Progress, cancel and the event pump of one operation.
class Progress {
public:
    Progress(QWidget* owner, const FileOperationCallbacks& callbacks, const QString& label)
        : callbacks_(callbacks) {
        clock_.start();
        if (!callbacks_.progress && !IsOffscreen()) {
            dialog_ =
                std::make_unique<QProgressDialog>(label, QStringLiteral("Cancel"), 0, 1000, owner);
            dialog_->setWindowTitle(kCaption);
            dialog_->setWindowModality(Qt::WindowModal);
            dialog_->setMinimumDuration(800);
            dialog_->setAutoReset(false);
            dialog_->setValue(0);
        }
    }

    FileOperationProgress state;
    bool cancelled = false;

    // After each piece of work; false once the operation is cancelled. A caller's callback
    // hears of every step; the dialog and the event pump are fed at most every 40 ms.
    bool Tick(const QString& host, bool force = false) {
        if (cancelled) return false;
        if (callbacks_.progress) {
            FileOperationProgress now = state;
            now.item = FromHostPath(host);
            if (counting) now.totalEntries = 0, now.totalBytes = 0;
            if (!callbacks_.progress(now)) cancelled = true;
            return !cancelled;
        }
        if (!force && clock_.elapsed() - last_ < 40) return true;
        last_ = clock_.elapsed();
        if (dialog_) {
            dialog_->setLabelText(FromHostPath(host));
            dialog_->setValue(Permille());
            if (dialog_->wasCanceled()) cancelled = true;
        } else {
            QCoreApplication::processEvents();
        }
        return !cancelled;
    }

    bool counting = false;  // the totals are still being added up

    void Close() {
        if (dialog_) dialog_->reset();
    }

private:
    int Permille() const {
        if (state.totalBytes > 0)
            return static_cast<int>(
                std::min<int64_t>(1000, state.doneBytes * 1000 / state.totalBytes));
        if (state.totalEntries > 0)
            return std::min(1000, state.doneEntries * 1000 / state.totalEntries);
        return 0;
    }

    const FileOperationCallbacks& callbacks_;
    std::unique_ptr<QProgressDialog> dialog_;
    QElapsedTimer clock_;
    qint64 last_ = -1000;
};

// Records a failure in the result (path: a host or a program path); the first one gives the
// error text.
void Fail(FileOperationResult& result, const QString& path, const QString& why) {
    const QString program = path.startsWith(u'/') ? FromHostPath(path) : path;
    if (!result.failed.contains(program)) result.failed.append(program);
    if (result.errorText.isEmpty())
        result.errorText =
            QStringLiteral("\"%1\": %2").arg(program.isEmpty() ? path : program, why);
}

void Finish(QWidget* owner, unsigned flags, const QString& verb, FileOperationResult& result,
            Progress& progress) {
    progress.Close();
    if (progress.cancelled && result.failed.isEmpty())
        result.status = FileOperationStatus::Cancelled;
    else if (!result.failed.isEmpty())
        result.status = FileOperationStatus::Failed;
    if (result.status == FileOperationStatus::Failed && !(flags & NoErrorUi)) {
        QString text = QStringLiteral("Cannot %1 %2").arg(verb, result.errorText);
        if (result.failed.size() > 1)
            text += QStringLiteral("\n\n%1 items could not be done.").arg(result.failed.size());
        ShowMessage(owner, {kCaption, text, MessageIcon::Error, Ok});
    }
}

// Adds what a tree holds (entries and bytes) to the totals, without entering other file systems.
void CountBelow(int parentFd, const QByteArray& name, dev_t parentDev, Progress& progress,
                const QString& host) {
    struct stat st {};
    if (::fstatat(parentFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    progress.state.totalEntries += 1;
    if (S_ISREG(st.st_mode)) progress.state.totalBytes += st.st_size;
    if (!S_ISDIR(st.st_mode) || st.st_dev != parentDev) return;
    Fd dir(::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    std::vector<QByteArray> names;
    int error = 0;
    if (!dir.valid() || !ListNames(dir.get(), names, error)) return;
    for (const QByteArray& child : names) {
        if (!progress.Tick(host)) return;
        CountBelow(dir.get(), child, st.st_dev, progress, Join(host, QFile::decodeName(child)));
    }
}

void CountEntry(int parentFd, const QByteArray& name, dev_t parentDev, Progress& progress,
                const QString& host) {
    progress.counting = true;
    CountBelow(parentFd, name, parentDev, progress, host);
    progress.counting = false;
}

// Removes one entry with everything below it, through descriptors so that no link in the tree
// is ever followed. Siblings are still tried after a failure, so that as much goes as can.
bool RemoveEntry(int parentFd, const QByteArray& name, dev_t parentDev, const QString& host,
                 Progress& progress, FileOperationResult& result, bool countEntries = true) {
    struct stat st {};
    if (::fstatat(parentFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return true;
        Fail(result, host, SystemText(errno));
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        if (st.st_dev != parentDev) {
            Fail(result, host, QStringLiteral("another file system is mounted on this folder"));
            return false;
        }
        Fd dir(
            ::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        std::vector<QByteArray> names;
        int error = 0;
        if (!dir.valid() || !ListNames(dir.get(), names, error)) {
            Fail(result, host, SystemText(dir.valid() ? error : errno));
            return false;
        }
        bool all = true;
        for (const QByteArray& child : names) {
            if (!progress.Tick(host)) return false;
            all = RemoveEntry(dir.get(), child, st.st_dev, Join(host, QFile::decodeName(child)),
                              progress, result, countEntries) &&
                  all;
        }
        if (!all || progress.cancelled) return false;
        if (::unlinkat(parentFd, name.constData(), AT_REMOVEDIR) != 0) {
            Fail(result, host, SystemText(errno));
            return false;
        }
    } else if (::unlinkat(parentFd, name.constData(), 0) != 0) {
        Fail(result, host, SystemText(errno));
        return false;
    }
    if (countEntries) {
        progress.state.doneEntries += 1;
        if (S_ISREG(st.st_mode)) progress.state.doneBytes += st.st_size;
    }
    progress.Tick(host);
    return true;
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

bool Confirm(QWidget* owner, unsigned flags, const QString& caption, const QString& text,
             MessageButton defaultButton) {
    if (flags & NoConfirmation) return true;
    return ShowMessage(owner, {caption, text, MessageIcon::Question, Yes | No, defaultButton}) ==
           Yes;
}

// The question before an operation: one item by its name, several by their number (one and
// many hold "%1" where that goes).
bool ConfirmItems(QWidget* owner, unsigned flags, const QString& caption, const QStringList& items,
                  const char* one, const char* many, MessageButton defaultButton) {
    const QString text = items.size() == 1 ? QString::fromLatin1(one).arg(Quoted(items))
                                           : QString::fromLatin1(many).arg(items.size());
    return Confirm(owner, flags, caption, text, defaultButton);
}

// ---- Trash -----------------------------------------------------------------------------------

// Creates a folder and its missing parents, each new one private to the user.
bool MakePrivatePath(const QString& host) {
    QString done;
    for (const QString& part : host.split(u'/', Qt::SkipEmptyParts)) {
        done += u'/' + part;
        if (::mkdir(Local(done).constData(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return ::lstat(Local(host).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString DataHome() {
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(xdg)) return QDir::cleanPath(xdg);
    const QString home = qEnvironmentVariable("HOME");
    return QDir::isAbsolutePath(home) ? QDir::cleanPath(home) + QLatin1String("/.local/share")
                                      : QString();
}

struct TrashPlace {
    QString folder;  // holds files/ and info/
    QString topdir;  // empty for the home trash, whose Path= lines are absolute
};

bool UsableTrash(const QString& folder, dev_t dev) {
    if (!MakePrivatePath(folder + QLatin1String("/files")) ||
        !MakePrivatePath(folder + QLatin1String("/info")))
        return false;
    struct stat st {};
    return ::lstat(Local(folder + QLatin1String("/files")).constData(), &st) == 0 &&
           st.st_dev == dev;
}

// The top of the file system that holds a path: its highest ancestor on the same device.
QString TopDirOf(const QString& host, dev_t dev) {
    QString top = ParentOf(host);
    while (top != QLatin1String("/")) {
        struct stat st {};
        const QString up = ParentOf(top);
        if (::lstat(Local(up).constData(), &st) != 0 || st.st_dev != dev) break;
        top = up;
    }
    return top;
}

bool FindTrash(const QString& host, dev_t dev, TrashPlace& place, QString& why) {
    const QString dataHome = DataHome();
    if (!dataHome.isEmpty()) {
        const QString home = dataHome + QLatin1String("/Trash");
        if (Join(home, {}).startsWith(Join(host, {}))) {
            why = QStringLiteral("the Trash is inside it");
            return false;
        }
        if (MakePrivatePath(dataHome)) {
            struct stat st {};
            if (::stat(Local(dataHome).constData(), &st) == 0 && st.st_dev == dev &&
                UsableTrash(home, dev)) {
                place = {home, {}};
                return true;
            }
        }
    }
    const QString top = TopDirOf(host, dev);
    const QString uid = QString::number(::getuid());
    const QString shared = Join(top, QStringLiteral(".Trash"));
    struct stat st {};
    if (::lstat(Local(shared).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
        (st.st_mode & S_ISVTX) && UsableTrash(Join(shared, uid), dev)) {
        place = {Join(shared, uid), top};
        return true;
    }
    const QString own = Join(top, QStringLiteral(".Trash-") + uid);
    if (::mkdir(Local(own).constData(), 0700) != 0 && errno != EEXIST) {
        why = QStringLiteral("no trash can be made on its drive (%1)").arg(SystemText(errno));
        return false;
    }
    if (::lstat(Local(own).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
        st.st_uid == ::getuid() && UsableTrash(own, dev)) {
        place = {own, top};
        return true;
    }
    why = QStringLiteral("no trash can be used on its drive");
    return false;
}

QByteArray TrashInfo(const QString& host, const QString& topdir) {
    QString path = host;
    if (!topdir.isEmpty()) path = host.mid(topdir == QLatin1String("/") ? 1 : topdir.size() + 1);
    return "[Trash Info]\nPath=" + QUrl::toPercentEncoding(path, "/") + "\nDeletionDate=" +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() +
           "\n";
}

// Moves one item into a trash: an info file claimed first under a free name, then the rename.
bool MoveToTrash(TopItem& item, const TrashPlace& place, QString& why) {
    const QString base = NameOf(item.host);
    const QByteArray info = TrashInfo(item.host, place.topdir);
    for (int n = 1; n < 10000; ++n) {
        const QString name = n == 1 ? base : QStringLiteral("%1.%2").arg(base).arg(n);
        const QString infoPath =
            place.folder + QLatin1String("/info/") + name + QLatin1String(".trashinfo");
        Fd out(::open(Local(infoPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!out.valid()) {
            if (errno == EEXIST) continue;
            why = SystemText(errno);
            return false;
        }
        const bool written = ::write(out.get(), info.constData(), info.size()) == info.size() &&
                             ::fsync(out.get()) == 0;
        const QByteArray target = Local(place.folder + QLatin1String("/files/") + name);
        if (written && ::renameat2(item.parent.get(), item.name.constData(), AT_FDCWD,
                                   target.constData(), RENAME_NOREPLACE) == 0)
            return true;
        const int error = written ? errno : EIO;
        ::unlink(Local(infoPath).constData());
        if (error == EEXIST) continue;
        why = SystemText(error);
        return false;
    }
    why = SystemText(EEXIST);
    return false;
}

// ---- Copy across file systems ----------------------------------------------------------------

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

bool CopyEntry(int srcDir, const QByteArray& name, dev_t srcDev, int dstDir,
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

// ---- Move ------------------------------------------------------------------------------------

class Mover {
public:
    Mover(QWidget* owner, unsigned flags, Progress& progress, FileOperationResult& result)
        : owner_(owner), flags_(flags), progress_(progress), result_(result) {}

    // Moves the entry at src into the folder dstFolder (host paths) under its own name.
    void MoveInto(const QString& src, const QString& dstFolder) {
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

        if (S_ISDIR(st.st_mode) && S_ISDIR(existing.st_mode)) return Merge(src, dst, st);
        if (S_ISDIR(st.st_mode) || S_ISDIR(existing.st_mode))
            return Fail(result_, src,
                        QStringLiteral("\"%1\" already exists").arg(FromHostPath(dst)));
        if (!MayReplace(dst)) return;
        if (::renameat(AT_FDCWD, Local(src).constData(), AT_FDCWD, Local(dst).constData()) == 0)
            return Moved(src);
        if (errno == EXDEV) return CopyThenRemove(src, dstFolder, true);
        Fail(result_, src, SystemText(errno));
    }

private:
    void Moved(const QString& src) {
        progress_.state.doneEntries += 1;
        progress_.Tick(src);
    }

    void Merge(const QString& src, const QString& dst, const struct stat& st) {
        Fd dir(::open(Local(src).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        std::vector<QByteArray> names;
        int error = 0;
        if (!dir.valid() || !ListNames(dir.get(), names, error))
            return Fail(result_, src, SystemText(dir.valid() ? error : errno));
        struct stat dstSt {};
        if (::lstat(Local(dst).constData(), &dstSt) == 0 && dstSt.st_dev != st.st_dev) {
            // Entries crossing to another file system are copied: count them for the progress.
            for (const QByteArray& n : names)
                CountEntry(dir.get(), n, st.st_dev, progress_, Join(src, QFile::decodeName(n)));
        }
        for (const QByteArray& n : names) MoveInto(Join(src, QFile::decodeName(n)), dst);
        // What the user chose to keep stays in the source, which then stays too.
        if (::rmdir(Local(src).constData()) != 0 && errno != ENOTEMPTY && errno != EEXIST)
            Fail(result_, src, SystemText(errno));
    }

    bool MayReplace(const QString& dst) {
        if (flags_ & NoConfirmation) return true;
        const MessageButton answer =
            ShowMessage(owner_, {kCaption,
                                 QStringLiteral("\"%1\" already exists. Do you want to replace it?")
                                     .arg(FromHostPath(dst)),
                                 MessageIcon::Question, Yes | No | Cancel, No});
        if (answer == Cancel) progress_.cancelled = true;
        return answer == Yes;
    }

    // Copies src into dstFolder under a temporary name, reads it back, gives it its name, and
    // only then removes the source. A failed or cancelled copy is removed; the source stays.
    void CopyThenRemove(const QString& src, const QString& dstFolder, bool replace) {
        Fd srcDir(::open(Local(ParentOf(src)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        Fd dstDir(::open(Local(dstFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat srcDirSt {};
        if (!srcDir.valid() || !dstDir.valid() || ::fstat(srcDir.get(), &srcDirSt) != 0)
            return Fail(result_, src, SystemText(errno));
        const QByteArray name = Local(NameOf(src));
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
            Progress quiet(nullptr, noProgress_, {});
            FileOperationResult ignored;
            RemoveEntry(dstDir.get(), temp, DevOf(dstDir.get()), {}, quiet, ignored, false);
            if (!copyResult.failed.isEmpty()) {
                for (const QString& f : copyResult.failed)
                    if (!result_.failed.contains(f)) result_.failed.append(f);
                if (result_.errorText.isEmpty()) result_.errorText = copyResult.errorText;
            } else if (!progress_.cancelled) {
                Fail(result_, src, SystemText(error));
            }
            return;
        }
        ::fsync(dstDir.get());
        Progress quiet(nullptr, noProgress_, {});
        RemoveEntry(srcDir.get(), name, srcDirSt.st_dev, src, quiet, result_, false);
    }

    static dev_t DevOf(int fd) {
        struct stat st {};
        return ::fstat(fd, &st) == 0 ? st.st_dev : 0;
    }

    QWidget* owner_;
    unsigned flags_;
    Progress& progress_;
    FileOperationResult& result_;
    FileOperationCallbacks noProgress_{[](const FileOperationProgress&) { return true; }};
};

bool IsSameOrBelow(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(Join(folder, {}));
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

QString HomeTrashFolder() {
    const QString dataHome = DataHome();
    return dataHome.isEmpty() ? QString() : dataHome + QLatin1String("/Trash");
}

FileOperationResult DeleteItems(QWidget* owner, const QStringList& paths, unsigned flags,
                                const FileOperationCallbacks& callbacks) {
    FileOperationResult result;
    const QStringList items = ExpandAll(paths);
    if (items.isEmpty()) return result;
    if (!ConfirmItems(owner, flags, QStringLiteral("Delete"), items,
                      "Are you sure you want to permanently delete %1?",
                      "Are you sure you want to permanently delete these %1 items?", No)) {
        result.status = FileOperationStatus::Declined;
        return result;
    }
    Progress progress(owner, callbacks, QStringLiteral("Deleting..."));
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
    Finish(owner, flags, QStringLiteral("delete"), result, progress);
    return result;
}

FileOperationResult RecycleItems(QWidget* owner, const QStringList& paths, unsigned flags,
                                 const FileOperationCallbacks& callbacks) {
    FileOperationResult result;
    const QStringList items = ExpandAll(paths);
    if (items.isEmpty()) return result;
    if (!ConfirmItems(owner, flags, QStringLiteral("Move to Trash"), items,
                      "Are you sure you want to move %1 to the Trash?",
                      "Are you sure you want to move these %1 items to the Trash?", Yes)) {
        result.status = FileOperationStatus::Declined;
        return result;
    }
    Progress progress(owner, callbacks, QStringLiteral("Moving to the Trash..."));
    progress.state.totalEntries = static_cast<int>(items.size());
    qsizetype declined = 0;
    for (const QString& program : items) {
        if (!progress.Tick(ToHostPath(program), true)) break;
        TopItem item;
        if (!OpenTopItem(program, item, result)) continue;
        TrashPlace place;
        QString why;
        if (FindTrash(item.host, item.st.st_dev, place, why) && MoveToTrash(item, place, why)) {
            progress.state.doneEntries += 1;
            continue;
        }
        // Nothing can take it back later: deleting it instead is the user's call, always.
        const MessageButton answer = ShowMessage(
            owner, {QStringLiteral("Move to Trash"),
                    QStringLiteral("%1 cannot be moved to the Trash: %2.\n\nDo you want to "
                                   "delete it permanently?")
                        .arg(Quoted({program}), why),
                    MessageIcon::Warning, Yes | No, No});
        if (answer != Yes) {
            Fail(result, item.host,
                 QStringLiteral("it cannot be moved to the Trash (%1)").arg(why));
            ++declined;
            continue;
        }
        RemoveEntry(item.parent.get(), item.name, item.parentDev, item.host, progress, result);
    }
    // The items the user chose to keep were the user's answer, not an error to report.
    const unsigned ui = result.failed.size() == declined ? unsigned{NoErrorUi} : 0u;
    Finish(owner, flags | ui, QStringLiteral("move to the Trash"), result, progress);
    return result;
}

FileOperationResult MoveItems(QWidget* owner, const QStringList& paths, const QString& targetFolder,
                              unsigned flags, const FileOperationCallbacks& callbacks) {
    FileOperationResult result;
    const QStringList items = ExpandAll(paths);
    const QString target = ToHostPath(targetFolder);
    if (target.isEmpty()) {
        Fail(result, targetFolder, QStringLiteral("the path is on no drive"));
        result.status = FileOperationStatus::Failed;
        return result;
    }
    struct stat targetSt {};
    if (::lstat(Local(target).constData(), &targetSt) != 0) {
        if (!Confirm(owner, flags, kCaption,
                     QStringLiteral("The folder \"%1\" does not exist. Do you want to create it?")
                         .arg(targetFolder),
                     Yes)) {
            result.status = FileOperationStatus::Declined;
            return result;
        }
        if (!QDir().mkpath(target) || ::lstat(Local(target).constData(), &targetSt) != 0) {
            Fail(result, target, SystemText(errno));
            result.status = FileOperationStatus::Failed;
            return result;
        }
    }
    if (!S_ISDIR(targetSt.st_mode)) {
        Fail(result, targetFolder, SystemText(ENOTDIR));
        result.status = FileOperationStatus::Failed;
        return result;
    }
    Progress progress(owner, callbacks, QStringLiteral("Moving..."));
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
    Mover mover(owner, flags, progress, result);
    for (const TopItem& top : tops) {
        if (top.parent.valid()) mover.MoveInto(top.host, target);
    }
    Finish(owner, flags, QStringLiteral("move"), result, progress);
    return result;
}

FileOperationResult MoveFolder(QWidget* owner, const QString& source, const QString& target,
                               unsigned flags, const FileOperationCallbacks& callbacks) {
    QString from = source;
    while (from.endsWith(u'\\')) from.chop(1);
    const QString host = ToHostPath(from);
    const QString targetHost = ToHostPath(target);
    FileOperationResult result;
    if (!host.isEmpty() && !targetHost.isEmpty() && IsSameOrBelow(targetHost, host)) {
        Fail(result, host, QStringLiteral("it cannot be moved into itself"));
        result.status = FileOperationStatus::Failed;
        if (!(flags & NoErrorUi))
            ShowMessage(owner, {kCaption, QStringLiteral("Cannot move ") + result.errorText,
                                MessageIcon::Error, Ok});
        return result;
    }
    result = MoveItems(owner, {from + QLatin1String("\\*")}, target, flags, callbacks);
    if (result.status == FileOperationStatus::Declined || host.isEmpty()) return result;
    if (::rmdir(Local(host).constData()) != 0 && errno != ENOENT && result.ok()) {
        Fail(result, host, SystemText(errno));
        result.status = FileOperationStatus::Failed;
    }
    return result;
}

}  // namespace platform
