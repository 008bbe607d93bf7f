#include "platform/FileOperationSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <type_traits>

#include "platform/Drives.h"

namespace platform::fileops {

static_assert(std::is_same_v<DeviceId, dev_t>);

QString SystemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray Local(const QString& hostPath) {
    return QFile::encodeName(hostPath);
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

namespace {

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

}  // namespace

void CountEntry(int parentFd, const QByteArray& name, DeviceId parentDev, Progress& progress,
                const QString& host) {
    progress.counting = true;
    CountBelow(parentFd, name, parentDev, progress, host);
    progress.counting = false;
}

}  // namespace platform::fileops
