#include "platform/HostFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "platform/Drives.h"
#include "platform/FileOperationSupport.h"
#include "platform/HostNames.h"
#include "platform/PinnedFolder.h"

namespace platform {

using namespace fileops;

namespace {

constexpr qsizetype kReadPiece = 1 << 16;

bool Failed(QString* why, const QString& text) {
    if (why) *why = text;
    return false;
}

bool FailedErrno(QString* why) {
    return Failed(why, SystemText(errno));
}

bool WriteAll(int fd, const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

bool ReadAll(int fd, QByteArray& bytes) {
    bytes.clear();
    char piece[kReadPiece];
    for (;;) {
        const ssize_t n = ::read(fd, piece, sizeof piece);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        bytes.append(piece, n);
    }
}

// A name for the new file beside name that fits the folder whatever the length of name.
QByteArray TemporaryName(const QByteArray& name, int attempt) {
    return '.' + QByteArray::number(qHash(name), 16) + ".new-" + QByteArray::number(::getpid()) +
           '-' + QByteArray::number(attempt);
}

bool ReplaceAt(int dirFd, const QByteArray& name, const QByteArray& bytes, QString* why) {
    struct stat existing {};
    // The old file's permissions carry over; a new one gets what the umask leaves.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode_t mode = 0666 & ~mask;
    if (::fstatat(dirFd, name.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(existing.st_mode)) return Failed(why, QStringLiteral("it is a symbolic link"));
        if (!S_ISREG(existing.st_mode)) return Failed(why, QStringLiteral("it is not a file"));
        mode = existing.st_mode & 07777;
    } else if (errno != ENOENT) {
        return FailedErrno(why);
    }
    // The new contents go into a file without a name first, so that a crash while they are
    // written leaves nothing behind; it gets a name beside the old file only to be renamed
    // over it. A file system without such files gets a named one from the start.
    Fd out(::openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    const bool unnamed = out.valid();
    QByteArray temp;
    for (int attempt = 0; attempt < 100 && !out.valid(); ++attempt) {
        temp = TemporaryName(name, attempt);
        out.reset(::openat(dirFd, temp.constData(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out.valid() && errno != EEXIST) return FailedErrno(why);
    }
    if (!out.valid()) return FailedErrno(why);
    bool written =
        WriteAll(out.get(), bytes) && ::fchmod(out.get(), mode) == 0 && ::fsync(out.get()) == 0;
    if (written && unnamed) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(out.get());
        written = false;
        for (int attempt = 0; attempt < 100 && !written; ++attempt) {
            temp = TemporaryName(name, attempt);
            written = ::linkat(AT_FDCWD, self.constData(), dirFd, temp.constData(),
                               AT_SYMLINK_FOLLOW) == 0;
            if (!written && errno != EEXIST) break;
        }
    }
    const int error = errno;
    out.reset();
    // rename replaces a link that appeared meanwhile itself; it never writes through it.
    if (!written || ::renameat(dirFd, temp.constData(), dirFd, name.constData()) != 0) {
        const int failure = written ? errno : error;
        if (written || !unnamed) ::unlinkat(dirFd, temp.constData(), 0);
        return Failed(why, SystemText(failure));
    }
    // The new name is to last too. The folder may be held by an O_PATH descriptor, which
    // cannot be flushed itself (EBADF): it is opened for reading to be flushed.
    if (const Fd folder(::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)); folder.valid())
        ::fsync(folder.get());
    return true;
}

// Reads the regular file name of the folder dirFd whole, never through a link; a missing one
// reads as empty with missing set.
bool ReadFileAt(int dirFd, const QByteArray& name, QByteArray& bytes, bool& missing, QString* why) {
    bytes.clear();
    missing = false;
    Fd in(::openat(dirFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in.valid()) {
        if (errno == ENOENT) return missing = true;
        return Failed(why,
                      errno == ELOOP ? QStringLiteral("it is a symbolic link") : SystemText(errno));
    }
    struct stat st {};
    if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return Failed(why, QStringLiteral("it is not a file"));
    return ReadAll(in.get(), bytes) || FailedErrno(why);
}

}  // namespace

HostEntry HostEntryAt(const QString& host, bool followLink) {
    struct stat st {};
    const QByteArray path = Local(host);
    if ((followLink ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st)) != 0)
        return errno == ENOENT || errno == ENOTDIR ? HostEntry::Missing : HostEntry::Unknown;
    if (S_ISREG(st.st_mode)) return HostEntry::File;
    if (S_ISDIR(st.st_mode)) return HostEntry::Folder;
    if (S_ISLNK(st.st_mode)) return HostEntry::Link;
    return HostEntry::Other;
}

std::optional<HostFileStamp> HostFileStampAt(const QString& host) {
    struct stat st {};
    if (::lstat(Local(host).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    const auto nanoseconds = [](const struct timespec& t) {
        return int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    };
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const int64_t changed = nanoseconds(st.st_ctim);
    return HostFileStamp{uint64_t(st.st_dev),
                         uint64_t(st.st_ino),
                         int64_t(st.st_size),
                         nanoseconds(st.st_mtim),
                         changed,
                         nanoseconds(now) - changed > 1'000'000'000};
}

bool ReadHostFile(const QString& host, QByteArray& bytes, QString* why) {
    bool missing = false;
    return ReadFileAt(AT_FDCWD, Local(host), bytes, missing, why) &&
           (!missing || Failed(why, SystemText(ENOENT)));
}

bool ReplaceHostFile(const QString& host, const QByteArray& bytes, QString* why,
                     bool createFolders) {
    if (createFolders && !MakeHostFolders(ParentOf(host), why)) return false;
    Fd folder(::open(Local(ParentOf(host)).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) return FailedErrno(why);
    return ReplaceAt(folder.get(), Local(NameOf(host)), bytes, why);
}

bool CanReplaceHostFile(const QString& host) {
    switch (HostEntryAt(host)) {
        case HostEntry::File:
            return ::access(Local(host).constData(), W_OK) == 0 &&
                   ::access(Local(ParentOf(host)).constData(), W_OK | X_OK) == 0;
        case HostEntry::Missing:
            break;
        default:
            return false;
    }
    QString folder = ParentOf(host);
    while (HostEntryAt(folder) == HostEntry::Missing && folder != QLatin1String("/"))
        folder = ParentOf(folder);
    struct stat st {};
    return ::stat(Local(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(Local(folder).constData(), W_OK | X_OK) == 0;
}

bool ReplaceFileIn(const PinnedFolder& folder, const QByteArray& name, const QByteArray& bytes,
                   QString* why) {
    return ReplaceAt(folder.Descriptor(), name, bytes, why);
}

bool ReadFileIn(const PinnedFolder& folder, const QByteArray& name, QByteArray& bytes,
                bool& missing, QString* why) {
    return ReadFileAt(folder.Descriptor(), name, bytes, missing, why);
}

QString RealHostPath(const QString& host) {
    QString existing = AbsoluteHostPath(host);
    QString rest;
    for (;;) {
        Fd fd(::open(Local(existing).constData(), O_PATH | O_CLOEXEC));
        const QString real = fd.valid() ? RealPathOf(fd.get()) : QString();
        if (!real.isEmpty() || existing == QLatin1String("/"))
            return real == QLatin1String("/") && !rest.isEmpty() ? rest : real + rest;
        rest.prepend(u'/' + NameOf(existing));
        existing = ParentOf(existing);
    }
}

bool RemoveHostFile(const QString& host, QString* why) {
    if (::unlink(Local(host).constData()) == 0 || errno == ENOENT) return true;
    return FailedErrno(why);
}

bool MakeHostFolders(const QString& host, QString* why) {
    QString done;
    for (const QString& part : host.split(u'/', Qt::SkipEmptyParts)) {
        done += u'/' + part;
        if (::mkdir(Local(done).constData(), 0777) != 0 && errno != EEXIST) return FailedErrno(why);
    }
    struct stat st {};
    if (::stat(Local(host.isEmpty() ? QStringLiteral("/") : host).constData(), &st) == 0 &&
        S_ISDIR(st.st_mode))
        return true;
    return Failed(why, QStringLiteral("Cannot create the folder %1").arg(host));
}

bool RemoveHostFolder(const QString& host) {
    return ::rmdir(Local(host).constData()) == 0;
}

HostInputFile::~HostInputFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool HostInputFile::Open(const QString& host, QString* why) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = ::open(Local(host).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool notFile = fd_ >= 0;
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        return notFile ? Failed(why, QStringLiteral("it is not a file")) : FailedErrno(why);
    }
    size_ = st.st_size;
    position_ = 0;
    buffer_.clear();
    bufferStart_ = 0;
    return true;
}

bool HostInputFile::Seek(int64_t position) {
    if (fd_ < 0 || position < 0 || position > size_) return false;
    position_ = position;
    return true;
}

bool HostInputFile::Fill() {
    buffer_.resize(kReadPiece);
    ssize_t n;
    do n = ::pread(fd_, buffer_.data(), size_t(buffer_.size()), off_t(position_));
    while (n < 0 && errno == EINTR);
    buffer_.resize(n > 0 ? qsizetype(n) : 0);
    bufferStart_ = position_;
    return n > 0;
}

bool HostInputFile::Read(char* into, int64_t count) {
    if (fd_ < 0) return false;
    while (count > 0) {
        const int64_t offset = position_ - bufferStart_;
        if (offset < 0 || offset >= buffer_.size()) {
            if (!Fill()) return false;
            continue;
        }
        const int64_t n = std::min<int64_t>(count, buffer_.size() - offset);
        std::copy_n(buffer_.constData() + offset, n, into);
        into += n;
        count -= n;
        position_ += n;
    }
    return true;
}

}  // namespace platform
