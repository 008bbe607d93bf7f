#include "platform/TreeRemoval.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <vector>

namespace platform::fileops {

bool RemoveEntry(int parentFd, const QByteArray& name, DeviceId parentDev, const QString& host,
                 Progress& progress, FileOperationResult& result, bool countEntries) {
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

}  // namespace platform::fileops
