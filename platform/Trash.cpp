#include "platform/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <cerrno>

#include "platform/HostNames.h"

namespace platform {

namespace fileops {

namespace {

constexpr qsizetype kMaxName = 255;
const QByteArray kInfoSuffix = ".trashinfo";

// Creates a folder and its missing parents by path, each new one private to the user: the
// user's own data folder may well be reached through links.
bool MakePrivatePath(const QString& host) {
    QString done;
    for (const QString& part : host.split(u'/', Qt::SkipEmptyParts)) {
        done += u'/' + part;
        if (::mkdir(Local(done).constData(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// Opens (creating it when missing) the folder name of dirFd, never through a link.
int OpenPrivateFolder(int dirFd, const char* name) {
    if (::mkdirat(dirFd, name, 0700) != 0 && errno != EEXIST) return -1;
    return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The trash folder trashFd, made ready: its files/ and info/ on the item's file system.
bool UseTrash(Fd trash, DeviceId dev, const QString& topdir, TrashPlace& place) {
    EntryIdentity st;
    if (!trash.valid() || !StatFd(trash.get(), st) || st.device != dev) return false;
    place.files.reset(OpenPrivateFolder(trash.get(), "files"));
    place.info.reset(OpenPrivateFolder(trash.get(), "info"));
    EntryIdentity files;
    if (!place.files.valid() || !place.info.valid() || !StatFd(place.files.get(), files) ||
        files.device != dev)
        return false;
    place.real = RealPathOf(trash.get());
    place.topdir = topdir;
    return true;
}

// The top of the file system that holds a real host path: its highest ancestor on the same
// device.
QString TopDirOf(const QString& real, DeviceId dev) {
    QString top = ParentOf(real);
    while (top != QLatin1String("/")) {
        EntryIdentity st;
        const QString up = ParentOf(top);
        Fd fd(::open(Local(up).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!fd.valid() || !StatFd(fd.get(), st) || st.device != dev) break;
        top = up;
    }
    return top;
}

QByteArray TrashInfo(const QString& real, const QString& topdir) {
    QString path = real;
    if (!topdir.isEmpty()) path = real.mid(topdir == QLatin1String("/") ? 1 : topdir.size() + 1);
    // The bytes of the name, as the standard asks: a name that is not UTF-8 comes back whole.
    return "[Trash Info]\nPath=" + Local(path).toPercentEncoding("/") + "\nDeletionDate=" +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() +
           "\n";
}

// The n-th name to try in the trash for an item: its own, then with a number; cut short so that
// the info file's name (the name and ".trashinfo") still fits a folder.
QByteArray TrashName(const QByteArray& base, int n) {
    const QByteArray suffix = n == 1 ? QByteArray() : '.' + QByteArray::number(n);
    const qsizetype room = kMaxName - kInfoSuffix.size() - suffix.size();
    if (base.size() <= room) return base + suffix;
    qsizetype cut = room;
    // Not inside a UTF-8 character.
    while (cut > 0 && (uchar(base[cut]) & 0xC0) == 0x80) --cut;
    return base.left(cut) + suffix;
}

}  // namespace

bool FindTrash(int parentFd, const QByteArray& name, DeviceId dev, TrashPlace& place,
               QString& why) {
    const QString real = JoinName(RealPathOf(parentFd), name);
    const QString prefix = real + u'/';
    const QString dataHome = DataHome();
    if (!dataHome.isEmpty() && MakePrivatePath(dataHome)) {
        Fd data(::open(Local(dataHome).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        EntryIdentity dataSt;
        const bool sameDrive = data.valid() && StatFd(data.get(), dataSt) && dataSt.device == dev;
        Fd home(sameDrive ? OpenPrivateFolder(data.get(), "Trash") : -1);
        const QString homeReal = home.valid() ? RealPathOf(home.get()) : QString();
        if (!homeReal.isEmpty() && (homeReal + u'/').startsWith(prefix)) {
            why = QStringLiteral("the Trash is inside it");
            return false;
        }
        if (UseTrash(std::move(home), dev, {}, place)) return true;
    }
    const QString top = TopDirOf(real, dev);
    Fd topFd(::open(Local(top).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!topFd.valid()) {
        why = QStringLiteral("no trash can be made on its drive (%1)").arg(SystemText(errno));
        return false;
    }
    const QByteArray uid = QByteArray::number(::getuid());
    EntryIdentity st;
    Fd shared(::openat(topFd.get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (shared.valid() && StatFd(shared.get(), st) && (st.mode & S_ISVTX)) {
        Fd mine(OpenPrivateFolder(shared.get(), uid.constData()));
        EntryIdentity own;
        if (mine.valid() && StatFd(mine.get(), own) && UseTrash(std::move(mine), dev, top, place))
            return true;
    }
    const QByteArray ownName = ".Trash-" + uid;
    Fd own(OpenPrivateFolder(topFd.get(), ownName.constData()));
    if (!own.valid()) {
        why = QStringLiteral("no trash can be made on its drive (%1)").arg(SystemText(errno));
        return false;
    }
    struct stat ownSt {};
    if (::fstat(own.get(), &ownSt) == 0 && ownSt.st_uid == ::getuid() &&
        UseTrash(std::move(own), dev, top, place))
        return true;
    why = QStringLiteral("no trash can be used on its drive");
    return false;
}

bool MoveToTrash(int parentFd, const QByteArray& name, const TrashPlace& place, QString& why) {
    const QByteArray info = TrashInfo(JoinName(RealPathOf(parentFd), name), place.topdir);
    for (int n = 1; n < 10000; ++n) {
        const QByteArray trashName = TrashName(name, n);
        const QByteArray infoName = trashName + kInfoSuffix;
        // O_EXCL: a link of that name is never written through, it only makes the name taken.
        Fd out(::openat(place.info.get(), infoName.constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out.valid()) {
            if (errno == EEXIST) continue;
            why = SystemText(errno);
            return false;
        }
        const bool written = ::write(out.get(), info.constData(), info.size()) == info.size() &&
                             ::fsync(out.get()) == 0;
        if (written && ::renameat2(parentFd, name.constData(), place.files.get(),
                                   trashName.constData(), RENAME_NOREPLACE) == 0)
            return true;
        const int error = written ? errno : EIO;
        ::unlinkat(place.info.get(), infoName.constData(), 0);
        if (error == EEXIST) continue;
        why = SystemText(error);
        return false;
    }
    why = SystemText(EEXIST);
    return false;
}

}  // namespace fileops

QString DataHome() {
    const QString xdg = DecodeHostName(qgetenv("XDG_DATA_HOME"));
    if (QDir::isAbsolutePath(xdg)) return QDir::cleanPath(xdg);
    const QString home = DecodeHostName(qgetenv("HOME"));
    return QDir::isAbsolutePath(home) ? QDir::cleanPath(home) + QLatin1String("/.local/share")
                                      : QString();
}

QString HomeTrashFolder() {
    const QString dataHome = DataHome();
    return dataHome.isEmpty() ? QString() : dataHome + QLatin1String("/Trash");
}

}  // namespace platform
