#include "platform/FileOperationSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Drives.h"
#include "platform/HostNames.h"

namespace platform::fileops {

namespace {

constexpr unsigned kStatxMask =
    STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_CTIME | STATX_INO | STATX_NLINK;

int64_t Nanoseconds(const struct statx_timestamp& t) {
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

uint64_t DeviceOf(const struct statx& sx) {
    return (uint64_t(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
}

void Fill(const struct statx& sx, EntryIdentity& identity) {
    identity.device = DeviceOf(sx);
    identity.inode = sx.stx_ino;
    identity.mode = sx.stx_mode;
    identity.size = int64_t(sx.stx_size);
    identity.modified = Nanoseconds(sx.stx_mtime);
    identity.changed = Nanoseconds(sx.stx_ctime);
    identity.links = sx.stx_nlink;
}

// A part of the open-file limit for each chain: an operation may hold two at once, and the
// program keeps descriptors for everything else.
size_t ChainBudget() {
    struct rlimit limit {};
    rlim_t files = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 ? limit.rlim_cur : 1024;
    if (files == RLIM_INFINITY) files = 1024;
    return std::clamp<size_t>(size_t(files) / 8, 2, 128);
}

}  // namespace

QString SystemText(int error) {
    return SystemErrorText(error);
}

QString WalkErrorText(int error) {
    if (error == ESTALE)
        return QStringLiteral("it was replaced by another entry meanwhile; nothing was done there");
    return SystemErrorText(error);
}

QByteArray Local(const QString& hostPath) {
    return EncodeHostName(hostPath);
}

void Fd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

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

QString JoinName(const QString& folder, const QByteArray& name) {
    return Join(folder, DecodeHostName(name));
}

bool StatAt(int dirFd, const char* name, EntryIdentity& identity, bool* mountRoot,
            uint64_t* attributes) {
    struct statx sx {};
    const int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | (*name ? 0 : AT_EMPTY_PATH);
    if (::statx(dirFd, name, flags, kStatxMask, &sx) != 0) return false;
    Fill(sx, identity);
    if (mountRoot)
        *mountRoot = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
                     (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
    if (attributes) *attributes = sx.stx_attributes & sx.stx_attributes_mask;
    return true;
}

bool StatFd(int fd, EntryIdentity& identity) {
    return StatAt(fd, "", identity);
}

bool IsImmutable(uint64_t attributes) {
    return attributes & (STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND);
}

bool ListNames(int dirFd, std::vector<QByteArray>& names, int& error) {
    const int copy = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!dir) {
        error = errno;
        if (copy >= 0) ::close(copy);
        return false;
    }
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

QString RealPathOf(int fd) {
    char buffer[PATH_MAX + 1];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t n = ::readlink(link.constData(), buffer, PATH_MAX);
    if (n <= 0 || buffer[0] != '/') return {};
    return DecodeHostName(buffer, n);
}

MountBarrier::MountBarrier(int dirFd, const QByteArray& name) {
    PinnedFolder folder;
    // Borrowed for the query only: MountPointsInside reads the descriptor, it never closes it.
    folder.Adopt(::dup(dirFd), {}, {}, {});
    for (const QString& host : MountPointsInside(folder, name)) {
        struct statx sx {};
        if (::statx(AT_FDCWD, Local(host).constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                    STATX_INO, &sx) == 0)
            roots_.emplace_back(DeviceOf(sx), sx.stx_ino);
        places_ << host;
    }
}

bool MountBarrier::AnyInside(const QString& real) const {
    const QString prefix = real.endsWith(u'/') ? real : real + u'/';
    for (const QString& place : places_)
        if (place.startsWith(prefix)) return true;
    return false;
}

bool MountBarrier::Stops(const EntryIdentity& child, bool mountRoot, DeviceId parentDev) const {
    if (mountRoot || child.device != parentDev) return true;
    return std::find(roots_.begin(), roots_.end(), std::pair(child.device, child.inode)) !=
           roots_.end();
}

FolderChain::FolderChain(int root, QString host)
    : root_(root), host_(std::move(host)), budget_(ChainBudget()) {
    EntryIdentity identity;
    if (StatFd(root, identity)) rootDevice_ = identity.device;
}

FolderChain::~FolderChain() {
    for (Level& level : levels_)
        if (level.fd >= 0) ::close(level.fd);
}

bool FolderChain::Enter(const QByteArray& name, const EntryIdentity& seen) {
    const int parent = Top();
    if (parent < 0) return false;
    const int fd =
        ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    EntryIdentity now;
    if (fd < 0) return false;
    if (!StatFd(fd, now) || !now.SameFile(seen)) {
        ::close(fd);
        errno = ESTALE;
        return false;
    }
    levels_.push_back({name, now, fd});
    Trim();
    return true;
}

void FolderChain::Leave() {
    if (levels_.empty()) return;
    if (levels_.back().fd >= 0) ::close(levels_.back().fd);
    levels_.pop_back();
    firstOpen_ = std::min(firstOpen_, levels_.size());
}

void FolderChain::Trim() {
    while (levels_.size() - firstOpen_ > budget_) {
        Level& oldest = levels_[firstOpen_++];
        ::close(oldest.fd);
        oldest.fd = -1;
    }
}

int FolderChain::Top() {
    if (levels_.empty()) return root_;
    if (levels_.back().fd < 0 && !Reopen()) return -1;
    return levels_.back().fd;
}

DeviceId FolderChain::TopDevice() const {
    return levels_.empty() ? rootDevice_ : levels_.back().identity.device;
}

// Opens the folders that were let go again from the root, checking that each is the folder
// entered before; the deepest ones (a budget's worth) stay open for the way back up.
bool FolderChain::Reopen() {
    const size_t keepFrom = levels_.size() > budget_ ? levels_.size() - budget_ : 0;
    int fd = root_;
    for (size_t i = 0; i < levels_.size(); ++i) {
        Level& level = levels_[i];
        if (level.fd >= 0) {
            fd = level.fd;
            continue;
        }
        const int next =
            ::openat(fd, level.name.constData(),
                     (i >= keepFrom ? O_RDONLY : O_PATH) | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd != root_ && levels_[i - 1].fd < 0) ::close(fd);
        EntryIdentity now;
        if (next < 0) return false;
        if (!StatFd(next, now) || !now.SameFile(level.identity)) {
            ::close(next);
            errno = ESTALE;
            return false;
        }
        if (i >= keepFrom) level.fd = next;
        fd = next;
    }
    firstOpen_ = keepFrom;
    return true;
}

QString FolderChain::Host() const {
    QString host = host_;
    for (const Level& level : levels_) host = JoinName(host, level.name);
    return host;
}

Progress::Progress(const FileOperationCallbacks& callbacks) : callbacks_(callbacks) {
    clock_.start();
}

bool Progress::Tick(const QString& host, bool force) {
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
    QCoreApplication::processEvents();
    return !cancelled;
}

void Fail(FileOperationResult& result, const QString& path, const QString& why) {
    const QString program = path.startsWith(u'/') ? FromHostPath(path) : path;
    if (result.failed.contains(program)) return;
    result.failed.append(program);
    result.failures.append(
        QStringLiteral("\"%1\": %2").arg(program.isEmpty() ? path : program, why));
    if (result.errorText.isEmpty()) result.errorText = result.failures.last();
}

QString MountedText() {
    return QStringLiteral(
        "another file system is mounted on it; it stays, with the folders that hold it");
}

namespace {

void CountBelow(FolderChain& chain, const QByteArray& name, const MountBarrier& mounts,
                Progress& progress) {
    EntryIdentity st;
    bool mountRoot = false;
    const int dir = chain.Top();
    if (dir < 0 || !StatAt(dir, name.constData(), st, &mountRoot)) return;
    progress.state.totalEntries += 1;
    if (st.IsFile()) progress.state.totalBytes += st.size;
    if (!st.IsFolder() || mounts.Stops(st, mountRoot, chain.TopDevice())) return;
    if (!chain.Enter(name, st)) return;
    std::vector<QByteArray> names;
    int error = 0;
    if (ListNames(chain.Top(), names, error)) {
        for (const QByteArray& child : names) {
            if (!progress.Tick(chain.Host())) break;
            CountBelow(chain, child, mounts, progress);
        }
    }
    chain.Leave();
}

}  // namespace

void CountEntry(FolderChain& chain, const QByteArray& name, const MountBarrier& mounts,
                Progress& progress) {
    progress.counting = true;
    CountBelow(chain, name, mounts, progress);
    progress.counting = false;
}

}  // namespace platform::fileops
