#include "platform/PinnedFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/Drives.h"
#include "platform/FileOperationSupport.h"
#include "platform/HostNames.h"

namespace platform {

using namespace fileops;

bool EntryIdentity::IsFolder() const {
    return S_ISDIR(mode);
}

bool EntryIdentity::IsFile() const {
    return S_ISREG(mode);
}

bool EntryIdentity::IsLink() const {
    return S_ISLNK(mode);
}

PinnedFolder::~PinnedFolder() {
    Close();
}

PinnedFolder::PinnedFolder(PinnedFolder&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      path_(std::move(other.path_)),
      host_(std::move(other.host_)),
      identity_(other.identity_) {}

PinnedFolder& PinnedFolder::operator=(PinnedFolder&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        host_ = std::move(other.host_);
        identity_ = other.identity_;
    }
    return *this;
}

void PinnedFolder::Adopt(int fd, const QString& path, const QString& host,
                         const EntryIdentity& identity) {
    Close();
    fd_ = fd;
    path_ = path;
    host_ = host;
    identity_ = identity;
}

void PinnedFolder::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

QString PinnedFolder::HandlePath() const {
    return QStringLiteral("/proc/self/fd/%1").arg(fd_);
}

namespace {

QString Quoted(const QString& host) {
    const QString program = FromHostPath(host);
    return u'"' + (program.isEmpty() ? host : program) + u'"';
}

// Why a part of a path could not be opened as a folder: a link, something else, or the
// system's words.
QString RefusalOf(int parentFd, const QByteArray& name, const QString& host, int error) {
    EntryIdentity st;
    if ((error == ENOTDIR || error == ELOOP) && StatAt(parentFd, name.constData(), st)) {
        if (st.IsLink()) return Quoted(host) + QStringLiteral(" is a symbolic link");
        if (!st.IsFolder()) return Quoted(host) + QStringLiteral(" is not a folder");
    }
    if (error == ENOENT) return Quoted(host) + QStringLiteral(" does not exist");
    return Quoted(host) + QStringLiteral(": ") + SystemText(error);
}

// "T:\a\b" without its trailing backslashes (a drive's root keeps its own), and the folder
// that holds it.
QString WithoutBackslash(QString path) {
    while (path.size() > 3 && path.endsWith(u'\\')) path.chop(1);
    return path;
}

QString ParentProgramPath(const QString& path) {
    const qsizetype cut = path.lastIndexOf(u'\\');
    return cut <= 2 ? path.left(2) + u'\\' : path.left(cut);
}

}  // namespace

bool PinFolder(const QString& path, PinnedFolder& folder, QString& why, bool createMissing,
               bool* created) {
    folder.Close();
    if (created) *created = false;
    const QString host = ToHostPath(path);
    const DriveMapping* drive = host.isEmpty() ? nullptr : FindDrive(path[0]);
    if (!drive) {
        why = u'"' + path + QStringLiteral("\" is on no drive");
        return false;
    }
    Fd fd(::open(Local(drive->hostRoot).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) {
        why = Quoted(drive->hostRoot) + QStringLiteral(": ") + SystemText(errno);
        return false;
    }
    QString reached = drive->hostRoot;
    for (const QString& part : host.mid(drive->hostRoot.size()).split(u'/', Qt::SkipEmptyParts)) {
        const QByteArray name = Local(part);
        reached = Join(reached, part);
        int next =
            ::openat(fd.get(), name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0 && errno == ENOENT && createMissing) {
            const bool made = ::mkdirat(fd.get(), name.constData(), 0777) == 0;
            if (!made && errno != EEXIST) {
                why = Quoted(reached) + QStringLiteral(": ") + SystemText(errno);
                return false;
            }
            if (created) *created = made;
            next =
                ::openat(fd.get(), name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        } else if (created) {
            *created = false;
        }
        if (next < 0) {
            why = RefusalOf(fd.get(), name, reached, errno);
            return false;
        }
        fd.reset(next);
    }
    // Listing needs a folder opened for reading; one the user may only pass through stays a
    // path, which the *at calls take as well.
    const int readable = ::openat(fd.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readable >= 0) fd.reset(readable);
    EntryIdentity identity;
    if (!StatFd(fd.get(), identity)) {
        why = Quoted(reached) + QStringLiteral(": ") + SystemText(errno);
        return false;
    }
    folder.Adopt(fd.release(), path, host, identity);
    return true;
}

bool PinItem(const QString& path, PinnedItem& item, QString& why) {
    item.path = WithoutBackslash(path);
    item.host = ToHostPath(item.path);
    const DriveMapping* drive = item.host.isEmpty() ? nullptr : FindDrive(path[0]);
    if (!drive) {
        why = QStringLiteral("the path is on no drive");
        return false;
    }
    if (item.host == drive->hostRoot || item.host == QLatin1String("/")) {
        why = QStringLiteral("a drive cannot be acted on as a whole");
        return false;
    }
    if (!PinFolder(ParentProgramPath(item.path), item.parent, why)) return false;
    item.name = Local(NameOf(item.host));
    bool mountRoot = false;
    if (!StatAt(item.parent.Descriptor(), item.name.constData(), item.identity, &mountRoot)) {
        why = SystemText(errno);
        return false;
    }
    item.mountPoint = item.identity.IsFolder() &&
                      (mountRoot || item.identity.device != item.parent.Identity().device ||
                       IsForeignMountPoint(item.host, drive->hostRoot));
    return true;
}

bool RepinUnchangedItem(PinnedItem& item, QString& why) {
    PinnedItem again;
    if (!PinItem(item.path, again, why)) return false;
    if (!again.parent.Identity().SameFile(item.parent.Identity()) ||
        !again.identity.SameFile(item.identity)) {
        why = QStringLiteral("it was replaced after it was chosen; nothing was done to it");
        return false;
    }
    item = std::move(again);
    return true;
}

QStringList MountPointsInside(const PinnedFolder& folder, const QByteArray& name) {
    QString real = RealPathOf(folder.Descriptor());
    if (real.isEmpty()) return {};
    if (!name.isEmpty()) real = JoinName(real, name);
    const QString prefix = real.endsWith(u'/') ? real : real + u'/';
    QStringList inside;
    const auto consider = [&](const QString& host) {
        if (host.startsWith(prefix) && !inside.contains(host)) inside << host;
    };
    Fd table(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
    QByteArray text;
    char buffer[65536];
    for (ssize_t n; table.valid() && (n = ::read(table.get(), buffer, sizeof buffer)) > 0;)
        text.append(buffer, n);
    for (const MountEntry& mount : ParseMountInfo(text)) consider(mount.mountPoint);
    for (const DriveMapping& drive : DriveMap()) {
        Fd root(::open(Local(drive.hostRoot).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (root.valid()) consider(RealPathOf(root.get()));
    }
    return inside;
}

bool StatEntryIn(const PinnedFolder& folder, const QByteArray& name, EntryIdentity& identity,
                 QString& why) {
    if (StatAt(folder.Descriptor(), name.constData(), identity)) return true;
    why = SystemText(errno);
    return false;
}

bool RemoveFileIn(const PinnedFolder& folder, const QByteArray& name, const EntryIdentity& expected,
                  QString& why) {
    EntryIdentity now;
    if (!StatEntryIn(folder, name, now, why)) return false;
    if (!now.Unchanged(expected)) {
        why = QStringLiteral("it changed meanwhile; it was not deleted");
        return false;
    }
    if (::unlinkat(folder.Descriptor(), name.constData(), 0) == 0) return true;
    why = SystemText(errno);
    return false;
}

bool RemoveEmptyFolderIn(const PinnedFolder& folder, const QByteArray& name, QString& why) {
    if (::unlinkat(folder.Descriptor(), name.constData(), AT_REMOVEDIR) == 0) return true;
    why = SystemText(errno);
    return false;
}

PinnedFile::~PinnedFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool PinnedFile::Open(const PinnedFolder& folder, const QByteArray& name, QString& why) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = ::openat(folder.Descriptor(), name.constData(),
                   O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        why = errno == ELOOP ? QStringLiteral("it is a symbolic link") : SystemText(errno);
        return false;
    }
    if (!StatFd(fd_, identity_) || !identity_.IsFile()) {
        why = QStringLiteral("it is not a file");
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

QByteArray PinnedFile::ReadAt(int64_t offset, int64_t length) const {
    QByteArray bytes(qsizetype(std::max<int64_t>(length, 0)), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n =
            ::pread(fd_, bytes.data() + got, size_t(bytes.size() - got), off_t(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {};
        if (n == 0) break;
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

QString PinnedFile::HandlePath() const {
    return QStringLiteral("/proc/self/fd/%1").arg(fd_);
}

bool OpenHostFolder(const QString& host, PinnedFolder& folder) {
    const int fd = ::open(EncodeHostName(host).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    folder.Adopt(fd, {}, host, {});
    return true;
}

}  // namespace platform
