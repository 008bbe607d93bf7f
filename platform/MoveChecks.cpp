#include "platform/MoveChecks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <vector>

#include "platform/Drives.h"

namespace platform::fileops {

namespace {

constexpr long kMsdosMagic = 0x4d44;
constexpr long kExfatMagic = 0x2011BAB0;
constexpr int64_t kFatLargestFile = 0xFFFFFFFFLL;

// The reason a name cannot be kept on the target; empty when it can.
QString NameProblem(const QString& name, const QString& kind) {
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || QStringView(u"\\/:*?\"<>|").contains(c))
            return QStringLiteral(
                       "has a name with characters a %1 drive does not allow (\\ / : * ? \" < > | "
                       "or control characters)")
                .arg(kind);
    }
    if (name.endsWith(u'.') || name.endsWith(u' '))
        return QStringLiteral(
                   "has a name ending in a dot or a blank, which a %1 drive does not keep")
            .arg(kind);
    return {};
}

bool Refuse(const QString& host, const QString& reason, QString& where, QString& why) {
    where = FromHostPath(host);
    if (where.isEmpty()) where = host;
    why = reason;
    return false;
}

bool Walk(int parentFd, const QByteArray& name, DeviceId parentDev, const QString& host,
          const TargetLimits& limits, QString& where, QString& why) {
    struct stat st {};
    if (::fstatat(parentFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Refuse(host, QStringLiteral("cannot be read: %1").arg(SystemText(errno)), where,
                      why);
    const QString& kind = limits.kind;
    if (!kind.isEmpty()) {
        const QString problem = NameProblem(QFile::decodeName(name), kind);
        if (!problem.isEmpty()) return Refuse(host, problem, where, why);
        if (S_ISLNK(st.st_mode))
            return Refuse(
                host, QStringLiteral("is a symbolic link, which a %1 drive cannot hold").arg(kind),
                where, why);
        if (S_ISFIFO(st.st_mode))
            return Refuse(host,
                          QStringLiteral("is a named pipe, which a %1 drive cannot hold").arg(kind),
                          where, why);
    }
    if (S_ISREG(st.st_mode)) {
        if (limits.maxFileSize >= 0 && st.st_size > limits.maxFileSize)
            return Refuse(
                host,
                QStringLiteral("is 4 GB or larger; a %1 drive holds no file that large").arg(kind),
                where, why);
        if (::faccessat(parentFd, name.constData(), R_OK, AT_EACCESS) != 0)
            return Refuse(host, QStringLiteral("cannot be read: %1").arg(SystemText(errno)), where,
                          why);
        return true;
    }
    if (S_ISLNK(st.st_mode) || S_ISFIFO(st.st_mode)) return true;
    if (!S_ISDIR(st.st_mode))
        return Refuse(host,
                      QStringLiteral("is a socket or a device file, which cannot be moved to "
                                     "another drive"),
                      where, why);
    if (st.st_dev != parentDev)
        return Refuse(host, QStringLiteral("has another file system mounted on it"), where, why);
    if (::faccessat(parentFd, name.constData(), R_OK | X_OK, AT_EACCESS) != 0)
        return Refuse(host, QStringLiteral("cannot be read: %1").arg(SystemText(errno)), where,
                      why);
    if (::faccessat(parentFd, name.constData(), W_OK, AT_EACCESS) != 0)
        return Refuse(host, QStringLiteral("cannot be emptied: %1").arg(SystemText(errno)), where,
                      why);
    Fd dir(::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    std::vector<QByteArray> names;
    int error = 0;
    if (!dir.valid() || !ListNames(dir.get(), names, error))
        return Refuse(
            host, QStringLiteral("cannot be read: %1").arg(SystemText(dir.valid() ? error : errno)),
            where, why);
    for (const QByteArray& child : names) {
        if (!Walk(dir.get(), child, st.st_dev, Join(host, QFile::decodeName(child)), limits, where,
                  why))
            return false;
    }
    return true;
}

}  // namespace

TargetLimits LimitsOf(int dirFd, const QString& hostFolder) {
    QString type;
    struct statfs fs {};
    if (::fstatfs(dirFd, &fs) == 0) {
        if (long(fs.f_type) == kMsdosMagic)
            type = QStringLiteral("vfat");
        else if (long(fs.f_type) == kExfatMagic)
            type = QStringLiteral("exfat");
    }
    if (type.isEmpty()) {
        const QString program = FromHostPath(hostFolder);
        if (const DriveMapping* drive = program.isEmpty() ? nullptr : FindDrive(program[0]))
            type = drive->mountType;
    }
    if (type == QLatin1String("vfat") || type == QLatin1String("msdos"))
        return {QStringLiteral("FAT"), kFatLargestFile};
    if (type == QLatin1String("exfat")) return {QStringLiteral("exFAT"), -1};
    return {};
}

bool CheckMovable(int parentFd, const QByteArray& name, DeviceId parentDev, const QString& host,
                  const TargetLimits& limits, QString& where, QString& why) {
    // The entry leaves its folder at the end: that folder must let it go.
    if (::faccessat(parentFd, ".", W_OK | X_OK, AT_EACCESS) != 0)
        return Refuse(
            host, QStringLiteral("cannot be removed from its folder: %1").arg(SystemText(errno)),
            where, why);
    return Walk(parentFd, name, parentDev, host, limits, where, why);
}

}  // namespace platform::fileops
