#include "platform/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QUrl>
#include <cerrno>
#include <cstdio>

namespace platform {

namespace fileops {

namespace {

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

QByteArray TrashInfo(const QString& host, const QString& topdir) {
    QString path = host;
    if (!topdir.isEmpty()) path = host.mid(topdir == QLatin1String("/") ? 1 : topdir.size() + 1);
    return "[Trash Info]\nPath=" + QUrl::toPercentEncoding(path, "/") + "\nDeletionDate=" +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() +
           "\n";
}

}  // namespace

bool FindTrash(const QString& host, DeviceId dev, TrashPlace& place, QString& why) {
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

bool MoveToTrash(int parentFd, const QByteArray& name, const QString& host, const TrashPlace& place,
                 QString& why) {
    const QString base = NameOf(host);
    const QByteArray info = TrashInfo(host, place.topdir);
    for (int n = 1; n < 10000; ++n) {
        const QString trashName = n == 1 ? base : QStringLiteral("%1.%2").arg(base).arg(n);
        const QString infoPath =
            place.folder + QLatin1String("/info/") + trashName + QLatin1String(".trashinfo");
        Fd out(::open(Local(infoPath).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!out.valid()) {
            if (errno == EEXIST) continue;
            why = SystemText(errno);
            return false;
        }
        const bool written = ::write(out.get(), info.constData(), info.size()) == info.size() &&
                             ::fsync(out.get()) == 0;
        const QByteArray target = Local(place.folder + QLatin1String("/files/") + trashName);
        if (written && ::renameat2(parentFd, name.constData(), AT_FDCWD, target.constData(),
                                   RENAME_NOREPLACE) == 0)
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

}  // namespace fileops

QString DataHome() {
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(xdg)) return QDir::cleanPath(xdg);
    const QString home = qEnvironmentVariable("HOME");
    return QDir::isAbsolutePath(home) ? QDir::cleanPath(home) + QLatin1String("/.local/share")
                                      : QString();
}

QString HomeTrashFolder() {
    const QString dataHome = DataHome();
    return dataHome.isEmpty() ? QString() : dataHome + QLatin1String("/Trash");
}

}  // namespace platform
